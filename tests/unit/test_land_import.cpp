// Lands pictures on random small maps and lands files: an exported picture
// imported again changes no byte of the tile map; a random picture sets
// exactly its points (black ones left, a tile picture's points by a plain
// vote written here) and tiles whose corners stay keep every byte. Then the
// refusals, each with its line, and the save that keeps another program's
// change.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/land_table.h"
#include "core/terrain_model.h"
#include "edit/land_grid.h"
#include "files/land_file.h"
#include "document/land_import.h"
#include "files/tile_map_file.h"
#include "render/export/export_bitmap.h"
#include "tests/unit/harness.h"
#include "tests/unit/sample_images.h"

namespace {

enum { LANDS = 4, TEXTURES = 20 };

const int COLOURS[LANDS + 1][3] = {{0, 0, 0}, {40, 90, 170}, {90, 160, 60}, {200, 180, 90}, {120, 120, 120}};

// Lands 1..LANDS and random textures, some without corners, some of weight 0.
std::string random_lands(std::mt19937 &r) {
  std::string text;
  for (int n = 1; n <= LANDS; n++)
    text += "[Land00" + std::to_string(n) + "]\nName=L" + std::to_string(n) + "\nColor=" + std::to_string(COLOURS[n][0]) +
            "," + std::to_string(COLOURS[n][1]) + "," + std::to_string(COLOURS[n][2]) + "\n";
  for (int t = 1; t <= TEXTURES; t++) {
    if (r() % 5 == 0) continue;
    text += "[Texture0" + std::to_string(10 + t) + "]\nCorners=";
    for (int i = 0; i < 4; i++) text += std::string(i ? "," : "") + "L" + std::to_string(1 + r() % 3);
    text += "\nWeight=" + std::to_string(r() % 3) + "\n";
  }
  return text;
}

// A random map of T.TFD with its lands file, written into the working folder.
void write_random_terrain(std::mt19937 &r, int columns, int rows) {
  reset_program_state();
  tile_map.tiles_x = columns;
  tile_map.tiles_y = rows;
  for (int x = 0; x < columns; x++)
    for (int y = 0; y < rows; y++)
      tile_at(x, y) = Tile{(int16_t)(r() % 3 ? 10 + r() % (TEXTURES + 1) : r() % 40), (uint8_t)(r() % 8), (uint8_t)r(),
                           {(uint8_t)r(), (uint8_t)r(), (uint8_t)r()}};
  ASSERT_EQ(RESULT_OK, save_tile_map("T.TFD"));
  write_text("T_LANDS.ini", random_lands(r));
}

// A picture of the given lands (cells[x * h + y], north row at the top);
// -1 stands for a colour no land has.
std::string write_picture(const std::vector<int> &cells, int w, int h, bool png) {
  BITMAP *bmp = create_bitmap_ex(32, w, h);
  for (int x = 0; x < w; x++)
    for (int y = 0; y < h; y++) {
      const int land = cells[(size_t)x * h + y];
      putpixel(bmp, x, y, land < 0 ? makecol32(13, 200, 7) : makecol32(COLOURS[land][0], COLOURS[land][1], COLOURS[land][2]));
    }
  const std::string name = png ? "in.png" : "in.bmp";
  remove(name.c_str());
  EXPECT_EQ(0, png ? save_new_png(name.c_str(), bmp) : save_bmp(name.c_str(), bmp, nullptr));
  destroy_bitmap(bmp);
  return name;
}

// The plain vote of a tile picture: most tiles around, the lower land on a tie.
int voted(const std::vector<int> &tiles, int columns, int rows, int x, int y) {
  int count[LANDS + 1] = {};
  for (int tx = x - 1; tx <= x; tx++)
    for (int ty = y - 1; ty <= y; ty++)
      if (tx >= 0 && ty >= 0 && tx < columns && ty < rows) count[tiles[(size_t)tx * rows + ty]]++;
  int best = 0;
  for (int land = 1; land <= LANDS; land++)
    if (count[land] > count[best] || (best == 0 && count[land] > 0)) best = land;
  return best;
}

TEST(LandImport, ExportThenImportKeepsEveryByteAndPicturesSetExactlyTheirPoints) {
  std::mt19937 r(11);
  for (int round = 0; round < 16; round++) {
    TempDir dir;
    const int columns = 1 + (int)(r() % 12), rows = 1 + (int)(r() % 9);
    write_random_terrain(r, columns, rows);
    const std::vector<unsigned char> before = read_file("T.TFD");

    // The export, by the terrain's own reading of its lands.
    reset_program_state();
    strcpy(terrain_paths.tfd_path, "T.TFD");
    ASSERT_EQ(RESULT_OK, load_tile_map("T.TFD", nullptr));
    load_land_file("T_LANDS.ini");
    char exported[PATH_SIZE];
    const bool png = round % 2;
    ASSERT_EQ(0, export_bitmap(EXPORT_LANDS, nullptr, nullptr, exported, png ? EXPORT_FORMAT_PNG : EXPORT_FORMAT_BMP));
    LandImport im = import_lands(exported, "T.TFD");
    ASSERT_EQ(LAND_IMPORT_WRITTEN, im.outcome) << im.why;
    EXPECT_EQ(0, im.result.tiles_changed);
    EXPECT_EQ(before, read_file("T.TFD")) << round;

    // A random picture: of points or of tiles, some black.
    std::vector<uint8_t> old_grid;
    for (int x = 0; x <= columns; x++)
      for (int y = 0; y <= rows; y++) old_grid.push_back(land_grid[x][y]);
    const bool by_tile = r() % 2;
    const int w = by_tile ? columns : columns + 1, h = by_tile ? rows : rows + 1;
    std::vector<int> cells((size_t)w * h);
    for (int &c : cells) c = r() % 3 ? (int)(r() % (LANDS + 1)) : 0;
    im = import_lands(write_picture(cells, w, h, r() % 2).c_str(), "T.TFD");
    ASSERT_EQ(LAND_IMPORT_WRITTEN, im.outcome) << im.why;
    EXPECT_EQ(im.result.tiles_changed > 0, read_file("T.TFD") != before);
    std::vector<int> want((size_t)(columns + 1) * (rows + 1));
    for (int x = 0; x <= columns; x++)
      for (int y = 0; y <= rows; y++) {
        const size_t k = (size_t)x * (rows + 1) + y;
        const int land = by_tile ? voted(cells, columns, rows, x, y) : cells[k];
        want[k] = land ? land : old_grid[k];
        EXPECT_EQ(want[k], land_grid[x][y]) << round << ": " << x << ", " << y;
      }
    // Tiles whose four corners kept their lands keep every byte.
    reset_program_state();
    tile_map.tiles_x = columns;
    tile_map.tiles_y = rows;
    std::vector<Tile> kept;
    {
      TempDir other;
      write_file("B.TFD", before);
      ASSERT_EQ(RESULT_OK, load_tile_map("B.TFD", nullptr));
      for (int x = 0; x < columns; x++)
        for (int y = 0; y < rows; y++) kept.push_back(tile_at(x, y));
    }
    ASSERT_EQ(RESULT_OK, load_tile_map("T.TFD", nullptr));
    for (int x = 0; x < columns; x++)
      for (int y = 0; y < rows; y++) {
        bool same_corners = true;
        for (int dx = 0; dx <= 1; dx++)
          for (int dy = 0; dy <= 1; dy++) {
            const size_t k = (size_t)(x + dx) * (rows + 1) + y + dy;
            same_corners = same_corners && want[k] == old_grid[k];
          }
        if (same_corners) {
          EXPECT_EQ(0, memcmp(&kept[(size_t)x * rows + y], &tile_at(x, y), sizeof(Tile))) << x << ", " << y;
        }
      }
  }
}

// The vote itself, with the cases a plain count gets wrong: a tie, lands of
// nothing, a corner of one tile.
TEST(LandImport, ATilePicturesPointsTakeTheLandOfMostTilesAroundThem) {
  // Tiles 3 x 2, column by column: 2 1 0 / 2 1 3.
  const uint8_t tiles[] = {2, 2, 1, 1, 0, 3};
  uint8_t points[4 * 3];
  land_points_of_tiles(tiles, 3, 2, points);
  const uint8_t want[] = {2, 2, 2, /**/ 1, 1, 1, /**/ 1, 1, 1, /**/ 0, 3, 3};
  EXPECT_EQ(std::vector<uint8_t>(want, want + 12), std::vector<uint8_t>(points, points + 12));
}

TEST(LandImport, RefusalsNameWhatIsWrongAndWriteNothing) {
  TempDir dir;
  std::mt19937 r(3);
  write_random_terrain(r, 4, 3);
  const std::vector<unsigned char> before = read_file("T.TFD");
  std::vector<int> cells(5 * 4, 1);
  cells[2 * 4 + 1] = -1;
  const std::string bad = write_picture(cells, 5, 4, true);
  // Land 1's colour throughout, but transparent: named as the file has it.
  std::vector<uint16_t> clear;
  for (int k = 0; k < 5 * 4; k++) clear.insert(clear.end(), {40, 90, 170, 0});
  write_file("clear.png", sample_png(5, 4, 6, 8, false, clear));
  struct Case {
    std::string picture, terrain, why;
  };
  const Case cases[] = {
      {bad, "T.TFD", "in.png: pixel 2, 1 is 13,200,7, which is no land's colour."},
      {"clear.png", "T.TFD", "clear.png: pixel 0, 0 is 40,90,170 (alpha 0): a transparent pixel is no land's colour."},
      {write_picture(std::vector<int>(6 * 3, 1), 6, 3, false), "T.TFD",
       "in.bmp: 6 x 3 pixels; T.TFD needs 5 x 4 (a pixel a corner point) or 4 x 3 (a pixel a tile)."},
      {"in.gif", "T.TFD", "in.gif: not a .png or .bmp file."},
      {"in.bmp", "None.TFD", "None.TFD: the tile map does not exist."},
  };
  for (const Case &k : cases) {
    const LandImport im = import_lands(k.picture.c_str(), k.terrain.c_str());
    EXPECT_EQ(LAND_IMPORT_REFUSED, im.outcome) << k.why;
    EXPECT_EQ(k.why, im.why);
  }
  remove("T_LANDS.ini");
  EXPECT_EQ("T_LANDS.ini does not exist; no lands can be imported.", import_lands("in.bmp", "T.TFD").why);
  EXPECT_EQ(before, read_file("T.TFD"));
}

// Another program's change since the reading is not overwritten.
TEST(LandImport, TheSaveKeepsAFileChangedSinceItWasRead) {
  TempDir dir;
  std::mt19937 r(5);
  write_random_terrain(r, 3, 3);
  ASSERT_EQ(RESULT_OK, load_tile_map("T.TFD", nullptr));
  std::vector<unsigned char> theirs = read_file("T.TFD");
  theirs.push_back(0);
  write_file("T.TFD", theirs);
  WriteError why;
  EXPECT_EQ((int)TILE_MAP_CHANGED, save_tile_map_unless_changed("T.TFD", &why));
  EXPECT_EQ(theirs, read_file("T.TFD"));
  ASSERT_EQ(RESULT_OK, load_tile_map("T.TFD", nullptr));
  EXPECT_EQ(RESULT_OK, save_tile_map_unless_changed("T.TFD", &why));
}

}  // namespace
