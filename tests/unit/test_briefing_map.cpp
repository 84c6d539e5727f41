// The briefing map: the grid rules, the label placer against a plain model,
// the names of areas as text, and the PDF and PNG as a user gets them.
#include <algorithm>
#include <cairo.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/terrain_model.h"
#include "files/height_map_file.h"
#include "files/tile_map_file.h"
#include "render/export/briefing_grid.h"
#include "render/export/briefing_map.h"
#include "render/export/briefing_page.h"
#include "render/export/briefing_picture.h"
#include "render/export/export_bitmap.h"
#include "render/export/label_places.h"
#include "render/export/tile_blocks.h"
#include "tests/unit/harness.h"

namespace {

TEST(BriefingGrid, CellSizesFollowTheRule) {
  // The longer side in km: the smallest preferred size with 6 to 14 cells,
  // else the nearest of the wider series.
  const struct {
    double km;
    int cell;
  } cases[] = {{30, 5},   {70, 5},    {70.5, 10}, {140, 10},  {141, 20},  {256, 20},  {280, 20},
               {281, 25}, {400, 50},  {700, 50},  {701, 100}, {1400, 100}, {1401, 200}, {8000, 1000},
               {20, 2},   {2, 1},     {25, 2},    {5000, 500}};
  for (const auto &c : cases) EXPECT_EQ(c.cell, briefing_cell_km(c.km)) << c.km;
  // Wherever a preferred size can give 6 to 14 cells, the one chosen does.
  for (double km = 26; km <= 1400; km += 0.5) {
    const int cells = briefing_cells(km, briefing_cell_km(km));
    EXPECT_TRUE(cells >= 6 && cells <= 14) << km;
  }
}

TEST(BriefingGrid, NamesSquaresDesignatorsAndSteps) {
  const struct {
    int column;
    const char *name;
  } columns[] = {{0, "A"}, {3, "D"}, {25, "Z"}, {26, "AA"}, {27, "AB"}, {701, "ZZ"}, {702, "AAA"}};
  char text[BRIEFING_GRID_NAME_SIZE];
  for (const auto &c : columns) {
    briefing_column_name(c.column, text);
    EXPECT_STREQ(c.name, text);
  }
  // 256 x 200 km in 20 km cells: columns from the west, rows from the north;
  // the east and south edges belong to the last cells.
  const struct {
    double east, north;
    const char *square;
  } squares[] = {{0, 200000, "A1"},   {19999, 180001, "A1"}, {20000, 180000, "B2"}, {256000, 0, "M10"},
                 {70000, 130000, "D4"}, {-1, 5, ""},         {5, 200001, ""}};
  for (const auto &s : squares) {
    EXPECT_EQ(s.square[0] == 0, briefing_grid_square(s.east, s.north, 256000, 200000, 20, text) != 0);
    EXPECT_STREQ(s.square, text) << s.east << ", " << s.north;
  }
  const struct {
    int heading;
    const char *ends;
  } runways[] = {{0, "18/36"}, {90, "09/27"}, {270, "09/27"}, {4, "18/36"}, {5, "01/19"},
                 {184, "18/36"}, {355, "18/36"}, {-90, "09/27"}, {725, "01/19"}, {135, "14/32"}};
  for (const auto &r : runways) {
    briefing_runway_designators(r.heading, text);
    EXPECT_STREQ(r.ends, text) << r.heading;
  }
  EXPECT_DOUBLE_EQ(20, briefing_scale_step(100, 4));
  EXPECT_DOUBLE_EQ(50, briefing_scale_step(200, 4));
  EXPECT_DOUBLE_EQ(10, briefing_scale_step(40, 4));
  EXPECT_DOUBLE_EQ(0.2, briefing_scale_step(1, 4));
  EXPECT_EQ(0, briefing_scale_step(0, 4));
}

// The placer's rule, the plain way: every box against every box.
struct ModelPlacer {
  PlacerBox bounds;
  double gap;
  std::vector<PlacerBox> taken;
  bool place(const PlacerBox &m, double w, double h, PlacerBox *out) {
    const int places[][2] = {{1, 0}, {-1, 0}, {0, -1}, {0, 1}, {1, -1}, {1, 1}, {-1, -1}, {-1, 1}};
    for (const auto &p : places) {
      const double x0 = p[0] > 0 ? m.x1 + gap : p[0] < 0 ? m.x0 - gap - w : (m.x0 + m.x1) / 2 - w / 2;
      const double y0 = p[1] > 0 ? m.y1 + gap : p[1] < 0 ? m.y0 - gap - h : (m.y0 + m.y1) / 2 - h / 2;
      const PlacerBox b{x0, y0, x0 + w, y0 + h};
      bool free = b.x0 >= bounds.x0 && b.y0 >= bounds.y0 && b.x1 <= bounds.x1 && b.y1 <= bounds.y1;
      for (const PlacerBox &t : taken) free = free && !boxes_overlap(b, t);
      if (!free) continue;
      taken.push_back(b);
      *out = b;
      return true;
    }
    return false;
  }
};

TEST(BoundedPlacer, MatchesThePlainModelAndNeverOverlaps) {
  srand(4);
  for (int round = 0; round < 40; round++) {
    const PlacerBox bounds{10, 20, 60.0 + rand() % 400, 70.0 + rand() % 300};
    const int n = 1 + rand() % 300;
    std::vector<PlacerBox> marks;
    for (int i = 0; i < n; i++) {
      const double x = bounds.x0 + (bounds.x1 - bounds.x0) * (rand() % 1000) / 1000.0;
      const double y = bounds.y0 + (bounds.y1 - bounds.y0) * (rand() % 1000) / 1000.0;
      const double r = 1 + rand() % 4;
      marks.push_back(PlacerBox{x - r, y - r, x + r, y + r});
    }
    BoundedPlacer placer(bounds, 0.6);
    ModelPlacer model{bounds, 0.6, {}};
    for (const PlacerBox &m : marks) {
      placer.add_obstacle(m);
      model.taken.push_back(m);
    }
    std::vector<PlacerBox> labels;
    for (int i = 0; i < n; i++) {
      const double w = 5 + rand() % 60, h = 4 + rand() % 6;
      PlacerBox got{}, expected{};
      const bool placed = placer.place(marks[i], w, h, &got);
      ASSERT_EQ(model.place(marks[i], w, h, &expected), placed) << round << " " << i;
      if (!placed) continue;
      EXPECT_EQ(expected.x0, got.x0);
      EXPECT_EQ(expected.y0, got.y0);
      labels.push_back(got);
    }
    // No two labels overlap, no label covers a mark, all stay inside.
    for (size_t a = 0; a < labels.size(); a++) {
      EXPECT_TRUE(labels[a].x0 >= bounds.x0 && labels[a].x1 <= bounds.x1 && labels[a].y0 >= bounds.y0 &&
                  labels[a].y1 <= bounds.y1);
      for (size_t b = a + 1; b < labels.size(); b++) EXPECT_FALSE(boxes_overlap(labels[a], labels[b]));
      for (const PlacerBox &m : marks) EXPECT_FALSE(boxes_overlap(labels[a], m));
    }
  }
}

TEST(BriefingText, ValidUtf8StaysOtherBytesAreLatin1) {
  const struct {
    const char *bytes, *text;
  } cases[] = {{"Kestrel AB", "Kestrel AB"},
               {"W\xc3\xbcste", "W\xc3\xbcste"},  // already UTF-8
               {"W\xfcste", "W\xc3\xbcste"},      // Latin-1
               {"a\tb\x7f", "a?b?"},
               {"\x80\x9f", "??"},
               {"\xe2\x82", "\xc3\xa2?"},  // a cut sequence: its lead byte as Latin-1
               {"\xed\xa0\x80", "\xc3\xad\xc2\xa0?"}};  // a surrogate is no UTF-8
  for (const auto &c : cases) EXPECT_EQ(c.text, briefing_text(c.bytes)) << c.bytes;
}

// A terrain of one grey texture, gentle heights, and areas: a few named
// ones, a cluster too tight for all its names, one off the map.
void make_briefing_terrain(int tx, int ty) {
  tile_map.tiles_x = tx;
  tile_map.tiles_y = ty;
  for (int x = 0; x < tx; x++)
    for (int y = 0; y < ty; y++) tile_at(x, y) = Tile{};
  texture_table.texture_count = 0;
  texture_table.textures[0].sample_color = makecol(120, 160, 90);
  height_map.samples_x = 4 * tx;
  height_map.samples_y = 4 * ty;
  height_map.max_height = 0;
  for (int X = 0; X < 4 * tx; X++)
    for (int Y = 0; Y < 4 * ty; Y++) {
      height_map.heights[X][Y] = (uint16_t)((X * 5 + Y * 3) % 400);
      if (height_map.heights[X][Y] > height_map.max_height) height_map.max_height = height_map.heights[X][Y];
    }
  height_map.heights_loaded = 1;
  const double w = tx * 2000.0, h = ty * 2000.0;
  int n = 0;
  const auto add = [&](const std::string &name, double x, double y, int enemy, int heading) {
    TargetArea &a = targets.areas[++n];
    snprintf(a.name, sizeof(a.name), "%s", name.c_str());
    a.pos_x = (float)x;
    a.pos_y = (float)y;
    a.enemy = enemy;
    a.target_count = 1;
    strcpy(a.targets[1].type, heading >= 0 ? "Runway2" : "Hangar");
    a.targets[1].heading = heading >= 0 ? heading : 0;
    a.runway_number = heading >= 0 ? 2 : -1;
  };
  add("Kestrel Island AB", w * 0.3, h * 0.7, 0, 90);
  add("Saltmere", w * 0.7, h * 0.2, 1, -1);
  add("W\xfcstenfort", w * 0.5, h * 0.5, 1, -1);
  for (int k = 0; k < 24; k++) add("Crowded Depot " + std::to_string(k), w * 0.8 + k * 9, h * 0.8 + (k % 5) * 11, k % 2, -1);
  add("Far Away", -5000, h / 2, 0, -1);
  targets.area_count = n;
}

// Width and height from a PNG's header.
bool png_size(const std::string &path, int *w, int *h) {
  const std::vector<unsigned char> b = read_file(path);
  if (b.size() < 24) return false;
  *w = b[16] << 24 | b[17] << 16 | b[18] << 8 | b[19];
  *h = b[20] << 24 | b[21] << 16 | b[22] << 8 | b[23];
  return true;
}

std::string command_output(const std::string &command) {
  std::string out;
  FILE *p = popen(command.c_str(), "r");
  char buffer[4096];
  size_t got;
  while (p && (got = fread(buffer, 1, sizeof(buffer), p)) > 0) out.append(buffer, got);
  if (p) pclose(p);
  return out;
}

bool have_poppler() { return system("command -v pdftotext > /dev/null && command -v pdfinfo > /dev/null") == 0; }

class BriefingExport : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    strcpy(terrain_paths.tfd_path, "Islands.TFD");
    set_config_string("Export", "Briefing_Page", nullptr);
    set_config_string("Export", "Briefing_Pixels", nullptr);
  }
  void TearDown() override {
    set_config_string("Export", "Briefing_Page", nullptr);
    set_config_string("Export", "Briefing_Pixels", nullptr);
    reset_program_state();
  }
  TempDir dir;
};

TEST_F(BriefingExport, PdfAndPngOfEveryNameAndLabel) {
  make_briefing_terrain(150, 100);
  char name[PATH_SIZE];
  ASSERT_EQ(0, export_bitmap(EXPORT_BRIEFING, nullptr, nullptr, name));
  EXPECT_STREQ("Islands_Briefing_000.pdf", name);
  int w = 0, h = 0;
  ASSERT_TRUE(png_size(dir.file("Islands_Briefing_000.png"), &w, &h));
  // A3 landscape for a wide terrain, 4096 pixels across.
  EXPECT_EQ(4096, w);
  EXPECT_EQ(2896, h);

  // The layout itself: every area labelled on the map, numbered, or off it.
  cairo_surface_t *scratch = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
  cairo_t *cr = cairo_create(scratch);
  cairo_font_face_t *face = cairo_toy_font_face_create("sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  BriefingLayout layout;
  lay_out_briefing(cr, BriefingFonts{face, face}, BriefingTerrain{"Islands", "today", 150, 100, BRIEFING_A3},
                   &layout);
  ASSERT_EQ((size_t)targets.area_count, layout.areas.size());
  int numbered = 0;
  for (const BriefingArea &a : layout.areas) {
    EXPECT_EQ(1, (a.labelled ? 1 : 0) + (a.number > 0 ? 1 : 0) + (a.on_map ? 0 : 1)) << a.name;
    numbered += a.number > 0;
  }
  EXPECT_GT(numbered, 0);  // the cluster cannot name everyone
  EXPECT_EQ(25, layout.cell_km);  // 300 km: 15 cells of 20 km are too many
  EXPECT_EQ(12, layout.columns);
  EXPECT_EQ(8, layout.rows);
  cairo_font_face_destroy(face);
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);

  if (!have_poppler()) GTEST_SKIP() << "poppler-utils is not installed: the PDF is not read back";
  const std::string info = command_output("pdfinfo Islands_Briefing_000.pdf");
  EXPECT_NE(std::string::npos, info.find("Page size:       1190.55 x 841.89 pts (A3)")) << info;
  EXPECT_NE(std::string::npos, info.find("Pages:           1")) << info;
  const std::string text = command_output("pdftotext -raw Islands_Briefing_000.pdf -");
  std::vector<std::string> words = {"Islands", "300 x 200 km", "km", "NM", "N", "Kestrel Island AB 09/27",
                                    "Saltmere", "W\xc3\xbcstenfort", "Far Away: off the map"};
  for (int k = 0; k < 24; k++) words.push_back("Crowded Depot " + std::to_string(k));
  for (const char *column : {"A", "B", "H", "L"}) words.push_back(column);
  for (int row = 1; row <= 8; row++) words.push_back(std::to_string(row));
  for (const std::string &word : words) EXPECT_NE(std::string::npos, text.find(word)) << word << "\n" << text;
  EXPECT_NE(std::string::npos, text.find("Kestrel Island AB: D3")) << text;
}

TEST_F(BriefingExport, PortraitPageSettingsAndNumbersFreeForBoth) {
  make_briefing_terrain(40, 90);
  set_config_string("Export", "Briefing_Page", "letter");
  set_config_string("Export", "Briefing_Pixels", "600");
  // 001 is taken by a PNG only: the pair goes to 002.
  ASSERT_EQ(0, export_bitmap(EXPORT_BRIEFING, nullptr));
  write_text(dir.file("Islands_Briefing_001.png"), "x");
  char name[PATH_SIZE];
  ASSERT_EQ(0, export_bitmap(EXPORT_BRIEFING, nullptr, nullptr, name));
  EXPECT_STREQ("Islands_Briefing_002.pdf", name);
  EXPECT_FALSE(file_exists(dir.file("Islands_Briefing_001.pdf")));
  int w = 0, h = 0;
  ASSERT_TRUE(png_size(dir.file("Islands_Briefing_002.png"), &w, &h));
  EXPECT_EQ(464, w);  // 612 x 792 points, portrait
  EXPECT_EQ(600, h);
  const BriefingSettings s = read_briefing_settings();
  EXPECT_EQ(BRIEFING_LETTER, s.paper);
  set_config_string("Export", "Briefing_Pixels", "99999");
  set_config_string("Export", "Briefing_Page", "B5");
  EXPECT_EQ(BRIEFING_PIXELS_MOST, read_briefing_settings().pixels);
  EXPECT_EQ(BRIEFING_A3, read_briefing_settings().paper);
  if (!have_poppler()) GTEST_SKIP() << "poppler-utils is not installed: the PDF is not read back";
  EXPECT_NE(std::string::npos, command_output("pdfinfo Islands_Briefing_002.pdf").find("612 x 792 pts (letter)"));
}

// The picture under the map is F8's picture: all of it at 4 pixels a tile,
// the sample nearest each pixel's middle at 2 and 1; the same when its
// relief is read from the file without loading the heights (the outermost
// samples included) and its tiles are read again from the file.
TEST_F(BriefingExport, PictureIsTheEmbossedPictureSampled) {
  make_briefing_terrain(37, 23);
  srand(8);
  height_map.max_height = 0;
  for (int X = 0; X < 4 * 37; X++)
    for (int Y = 0; Y < 4 * 23; Y++) {
      height_map.heights[X][Y] = (uint16_t)(rand() % 900);
      height_map.max_height = std::max(height_map.max_height, (int32_t)height_map.heights[X][Y]);
    }
  ASSERT_EQ(0, save_height_map(dir.file("Islands.hfd").c_str()));
  for (int t = 1; t <= 3; t++) {
    BITMAP *level = create_bitmap_ex(32, 4, 4);
    for (int k = 0; k < 16; k++) putpixel(level, k % 4, k / 4, makecol(rand() % 256, rand() % 256, rand() % 256));
    texture_table.textures[t].levels[TILE_LEVEL] = level;
  }
  texture_table.texture_count = 3;
  texture_table.last_declared_texture = 3;
  for (int x = 0; x < 37; x++)
    for (int y = 0; y < 23; y++) tile_at(x, y) = Tile{(int16_t)(rand() % 4), (uint8_t)(rand() % 4), 0, {0, 0, 0}};
  ASSERT_EQ(0, save_tile_map(dir.file("Islands.TFD").c_str()));
  ASSERT_EQ(0, export_bitmap(EXPORT_EMBOSSED_4X, nullptr));
  BITMAP *embossed = load_bitmap("Islands_Embossed4x_000.bmp", nullptr);
  ASSERT_TRUE(embossed);
  EXPECT_EQ(4, briefing_pixels_per_tile(37, 23));
  EXPECT_EQ(2, briefing_pixels_per_tile(2500, 2000));
  EXPECT_EQ(1, briefing_pixels_per_tile(4000, 4000));
  for (int p : {4, 2, 1}) {
    const long stride = 37 * p + 3;  // rows padded, as cairo may
    std::vector<uint32_t> pixels((size_t)stride * 23 * p);
    ReliefGrid loaded, read;
    ASSERT_EQ(0, relief_grid_from_heights(4 / p, 2 / p, &loaded));
    ASSERT_EQ(0, read_height_relief(dir.file("Islands.hfd").c_str(), 4 / p, 2 / p, &read));
    ASSERT_EQ(37 * p, read.columns);
    ASSERT_EQ(23 * p, read.rows);
    EXPECT_TRUE(loaded.shades == read.shades) << p;
    for (int from_file : {0, 1}) {
      const int fd = from_file ? open_tile_rows(dir.file("Islands.TFD").c_str()) : -1;
      ASSERT_EQ(from_file != 0, fd >= 0);
      ASSERT_EQ(0, make_briefing_picture(from_file ? read : loaded, fd, pixels.data(), stride));
      if (fd >= 0) close(fd);
      int wrong = 0;
      for (int y = 0; y < 23 * p; y++)
        for (int x = 0; x < 37 * p; x++) {
          const int step = 4 / p, X = x * step + step / 2, Y = y * step + step / 2;
          const int c = getpixel(embossed, X, Y);
          const uint32_t v = pixels[(size_t)y * stride + x];
          wrong += v != ((uint32_t)getr(c) << 16 | getg(c) << 8 | getb(c));
        }
      EXPECT_EQ(0, wrong) << p << (from_file ? " from the files" : " loaded");
    }
  }
  destroy_bitmap(embossed);
}

TEST_F(BriefingExport, NoTilesNoFiles) {
  std::string texts;
  ReportLog log;
  EXPECT_EQ(RESULT_NO_TILES, export_bitmap(EXPORT_BRIEFING, log.get()));
  EXPECT_FALSE(file_exists(dir.file("Islands_Briefing_000.pdf")));
  EXPECT_FALSE(file_exists(dir.file("Islands_Briefing_000.png")));
  ASSERT_EQ(1u, log.warnings.size());
  EXPECT_EQ("The terrain has no tiles to export.", log.warnings[0].message);
}

}  // namespace
