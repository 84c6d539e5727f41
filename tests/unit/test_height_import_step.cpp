// Ctrl + I's library: a raw height grid and an ASCII grid elevation model,
// both written here, put on the open terrain as one step each; undo gives
// the map's bytes back, redo the imported ones, and nothing is written.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <unistd.h>

#include "core/terrain_model.h"
#include "document/height_import_step.h"
#include "document/new_terrain.h"
#include "document/open_place.h"
#include "document/open_terrain.h"
#include "edit/edit_history.h"
#include "files/geo_file.h"
#include "harness.h"

namespace {

const int COLUMNS = 6, ROWS = 4, SX = 4 * COLUMNS, SY = 4 * ROWS;

// The map's samples, the north row first, as the imports give them.
std::vector<uint16_t> map_samples() {
  std::vector<uint16_t> v;
  for (int y = 0; y < SY; y++)
    for (int x = 0; x < SX; x++) v.push_back(height_map.heights[x][y]);
  return v;
}

// A 6 x 4 terrain of heights 100 + x + y, placed 8 km west and south of
// 43N 19E in a transverse Mercator on that point; opened.
void open_placed_terrain(const TempDir &dir) {
  std::vector<unsigned char> words;
  for (int j = 0; j < SY; j++)  // the south row first
    for (int i = 0; i < SX; i++) {
      const int h = 100 + i + j;
      words.push_back((unsigned char)h), words.push_back((unsigned char)(h >> 8));
    }
  GeoFile geo;
  geo.projection = "+proj=tmerc +lat_0=43 +lon_0=19 +k=1 +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs";
  geo.origin_east = geo.origin_north = -8000;
  const std::string geo_text = geo_file_text(geo);
  NewTerrain t = {COLUMNS, ROWS, 1, 0, nullptr, 0};
  t.height_words = words.data();
  t.geo_ini = geo_text.c_str();
  t.geo_ini_size = (long)geo_text.size();
  NewTerrainFailure failure;
  const std::string tfd = dir.file("T.TFD");
  ASSERT_EQ(NEW_TERRAIN_WRITTEN, write_new_terrain(tfd.c_str(), t, &failure));
  reset_program_state();
  history_clear();
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", tfd.c_str());
  OpenReport report;
  ASSERT_EQ(OPEN_DONE, open_terrain_files(0, nullptr, &report));
  ASSERT_TRUE(terrain_place.place);
}

// Undo gives back the map as it was, redo the import, and the file beside
// the terrain is the one written before.
void expect_one_step(const std::vector<uint16_t> &before, const std::vector<uint16_t> &after,
                     const std::vector<unsigned char> &hfd) {
  EXPECT_EQ(1, history_undo_count());
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
  EXPECT_EQ(before, map_samples());
  EXPECT_EQ(0, history_map_changed(HISTORY_HEIGHT_MAP));
  ASSERT_EQ(0, history_redo(&x, &y, text, sizeof(text)));
  EXPECT_EQ(after, map_samples());
  EXPECT_NE(nullptr, strstr(text, "heights imported on")) << text;
  EXPECT_EQ(hfd, read_file(terrain_paths.hfd_path));
}

TEST(HeightImportStep, PictureIsOneStepClampedAtTheTopAndUndoneToTheBytes) {
  TempDir dir;
  open_placed_terrain(dir);
  const std::vector<uint16_t> before = map_samples();
  const std::vector<unsigned char> hfd = read_file(terrain_paths.hfd_path);
  // A raw grid, the north row first: the west half as the map has it, the
  // east half 5000 + x, and three samples over the top.
  std::vector<uint16_t> want = before;
  std::vector<unsigned char> raw;
  for (int y = 0; y < SY; y++)
    for (int x = 0; x < SX; x++) {
      uint16_t v = x < SX / 2 ? before[(size_t)y * SX + x] : (uint16_t)(5000 + x);
      if (y == 0 && x >= SX - 3) v = 60000;
      want[(size_t)y * SX + x] = std::min(v, (uint16_t)9999);
      raw.push_back((unsigned char)v), raw.push_back((unsigned char)(v >> 8));
    }
  write_file(dir.file("h.r16"), raw);
  const HeightStep s = import_heights_step(dir.file("h.r16").c_str(), nullptr);
  ASSERT_EQ(IMPORT_WRITTEN, s.outcome) << s.why;
  EXPECT_EQ(1, s.stepped);
  EXPECT_EQ((long long)SX / 2 * SY, s.samples_changed);
  EXPECT_EQ(3, s.counts.above);
  EXPECT_EQ(want, map_samples());
  EXPECT_EQ("h.r16: 192 samples changed; voids filled 0, clamped 3, uncovered 0.", s.why);
  expect_one_step(before, want, hfd);
  // The same again changes nothing and makes no step; a grid of the wrong size is refused.
  const HeightStep again = import_heights_step(dir.file("h.r16").c_str(), nullptr);
  EXPECT_EQ(0, again.stepped);
  EXPECT_EQ("Nothing changed: h.r16 gives the heights the map has.", again.why);
  write_file(dir.file("small.r16"), std::vector<unsigned char>(20, 0));
  const HeightStep wrong = import_heights_step(dir.file("small.r16").c_str(), nullptr);
  EXPECT_EQ(IMPORT_REFUSED, wrong.outcome);
  EXPECT_NE(std::string::npos, wrong.why.find("T.TFD needs 24 x 16")) << wrong.why;
  EXPECT_EQ(1, history_undo_count());
}

// An ASCII grid in degrees over the terrain and beyond, of height 1000 +
// 100 x (hundredths of a degree north of 42.8): a void of some 3 km around
// 43N 19E in it is filled, and each sample gets the model's height at its
// centre within a few metres, those the void took from its edges within
// the slope across it.
TEST(HeightImportStep, ElevationModelIsWarpedThroughThePlaceAsOneStep) {
  TempDir dir;
  open_placed_terrain(dir);
  const std::vector<uint16_t> before = map_samples();
  const std::vector<unsigned char> hfd = read_file(terrain_paths.hfd_path);
  FILE *f = fopen(dir.file("dem.asc").c_str(), "w");
  ASSERT_NE(nullptr, f);
  const int n = 80;  // 0.005 degrees a cell from 42.8N 18.8E
  fprintf(f, "ncols %d\nnrows %d\nxllcorner 18.8\nyllcorner 42.8\ncellsize 0.005\nNODATA_value -9999\n", n, n);
  for (int r = 0; r < n; r++) {
    for (int c = 0; c < n; c++) {
      const double lat = 42.8 + 0.005 * (n - r - 0.5);
      fprintf(f, "%s%d", c ? " " : "", std::abs(r - 40) < 4 && std::abs(c - 40) < 4 ? -9999 : (int)std::lround(1000 + 100 * (lat - 42.8) * 100));
    }
    fprintf(f, "\n");
  }
  fclose(f);
  write_text(dir.file("dem.prj"), "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],"
                                  "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]]");
  const HeightStep s = import_heights_step(dir.file("dem.asc").c_str(), nullptr);
  ASSERT_EQ(IMPORT_WRITTEN, s.outcome) << s.why;
  EXPECT_EQ(1, s.stepped);
  EXPECT_GT(s.counts.voids_filled, 0);
  EXPECT_EQ(0, s.counts.uncovered);
  const std::vector<uint16_t> after = map_samples();
  for (int y = 0; y < SY; y++)
    for (int x = 0; x < SX; x++) {
      double lat, lon;
      ASSERT_TRUE(place_to_degrees(*terrain_place.place, 500 * (x + 0.5), 500 * (SY - y - 0.5), &lat, &lon));
      const bool by_void = std::fabs(lat - 43) < 0.03 && std::fabs(lon - 19) < 0.04;
      EXPECT_NEAR(1000 + 10000 * (lat - 42.8), after[(size_t)y * SX + x], by_void ? 300 : 4) << x << ", " << y;
    }
  expect_one_step(before, after, hfd);
  // Without a place an elevation model is refused, and nothing changes.
  unlink(dir.file("T_GEO.ini").c_str());
  terrain_place = TerrainPlace();
  const HeightStep refused = import_heights_step(dir.file("dem.asc").c_str(), nullptr);
  EXPECT_EQ(IMPORT_REFUSED, refused.outcome);
  EXPECT_NE(std::string::npos, refused.why.find("no place on the Earth")) << refused.why;
  EXPECT_EQ(after, map_samples());
}

}  // namespace
