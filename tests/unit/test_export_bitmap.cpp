#include <cerrno>
#include <climits>
#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <png.h>

#include "app/startup.h"
#include "core/height_palette.h"
#include "core/relief_shading.h"
#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "document/height_import.h"
#include "files/height_map_file.h"
#include "render/export/export_bitmap.h"
#include "render/export/planning_map.h"
#include "render/export/tile_blocks.h"
#include "render/view/screenshot.h"
#include "tests/unit/harness.h"
#include "tests/unit/sample_images.h"

namespace {

const int TEXTURES = 6;

// A 4 x 4 level with random colours and a few mask-colour pixels.
void make_texture(int t) {
  BITMAP *level = create_bitmap_ex(32, 4, 4);
  for (int k = 0; k < 16; k++)
    putpixel(level, k % 4, k / 4,
             rand() % 5 == 0 ? bitmap_mask_color(level)
                             : makecol(rand() % 256, rand() % 256, rand() % 256));
  texture_table.textures[t].levels[TILE_LEVEL] = level;
}

// Random tiles over textures 0..TEXTURES + 1 (0 and the last have no
// level), rotations 0..3 and a few out-of-range ones, rolling heights.
void make_terrain(int tx, int ty, unsigned seed) {
  srand(seed);
  for (int t = 1; t <= TEXTURES; t++) make_texture(t);
  texture_table.texture_count = TEXTURES;
  texture_table.last_declared_texture = TEXTURES;
  tile_map.tiles_x = tx;
  tile_map.tiles_y = ty;
  const int rotations[] = {0, 1, 2, 3, 0, 1, 2, 3, 4, 255};
  for (int x = 0; x < tx; x++)
    for (int y = 0; y < ty; y++) {
      Tile &tile = tile_at(x, y);
      tile.texture = (int16_t)(rand() % (TEXTURES + 2));
      tile.rotation = (uint8_t)rotations[rand() % 10];
      tile.tag = (uint8_t)(rand() % 3);
    }
  height_map.samples_x = 4 * tx;
  height_map.samples_y = 4 * ty;
  height_map.max_height = 0;
  for (int X = 0; X < 4 * tx; X++)
    for (int Y = 0; Y < 4 * ty; Y++) {
      int h = (X * 7 + Y * 3) % 500 + rand() % 40;
      height_map.heights[X][Y] = (uint16_t)h;
      if (h > height_map.max_height) height_map.max_height = h;
    }
  height_map.heights_loaded = 1;
}

// The texture picture drawn the plain way: a cleared bitmap, one sprite per
// tile, optionally apply_shade on every pixel.
BITMAP *reference_picture(int shaded) {
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  BITMAP *work = create_bitmap_ex(32, 4 * tx, 4 * ty);
  clear_to_color(work, 0);
  for (int y = 0; y < ty; y++)
    for (int x = 0; x < tx; x++) {
      const Tile &tile = tile_at(x, y);
      BITMAP *level = tile.texture >= 1 && tile.texture <= TEXTURES
                          ? texture_table.textures[tile.texture].levels[TILE_LEVEL]
                          : nullptr;
      if (level)
        rotate_sprite(work, level, 4 * x, 4 * y, itofix(64 * tile.rotation));
      else
        rectfill(work, 4 * x, 4 * y, 4 * x + 3, 4 * y + 3,
                 texture_table.textures[tile.texture].sample_color);
    }
  // The relief worked out whole, from the heights as they are now.
  if (shaded) compute_shade_map();
  if (shaded)
    for (int Y = 0; Y < work->h; Y++)
      for (int X = 0; X < work->w; X++)
        putpixel(work, X, Y, apply_shade(getpixel(work, X, Y), shade_map[X][Y]));
  return work;
}

// Number of pixels whose colours differ; the first few are printed.
int differences(BITMAP *a, BITMAP *b) {
  EXPECT_EQ(a->w, b->w);
  EXPECT_EQ(a->h, b->h);
  if (a->w != b->w || a->h != b->h) return -1;
  int count = 0;
  for (int y = 0; y < a->h; y++)
    for (int x = 0; x < a->w; x++)
      if (!(pixel_rgb(a, x, y) == pixel_rgb(b, x, y)) && count++ < 5)
        ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << pixel_rgb(a, x, y) << " vs "
                      << pixel_rgb(b, x, y);
  return count;
}

BITMAP *load(const std::string &name) {
  BITMAP *bmp = load_bitmap(name.c_str(), nullptr);
  EXPECT_TRUE(bmp != nullptr) << name;
  return bmp;
}

int files_in(const std::string &dir) {
  std::string cmd = "ls -A '" + dir + "' | wc -l";
  FILE *p = popen(cmd.c_str(), "r");
  int n = -1;
  if (p && fscanf(p, "%d", &n) != 1) n = -1;
  if (p) pclose(p);
  return n;
}

const Rgb BLACK = {0, 0, 0}, RED = {255, 0, 0}, BLUE = {0, 0, 255}, WHITE = {255, 255, 255},
          SLATE = {79, 101, 125};

// Runs an export answering any alert with "OK"; the alert texts go to
// *texts.
int export_answering(int kind, std::string *texts) {
  ReportLog log;
  int result = export_bitmap(kind, log.get());
  *texts = log.texts();
  return result;
}

class ExportBitmap : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    strcpy(terrain_paths.tfd_path, "/no/such/folder/Islands.TFD");
  }
  void TearDown() override {
    clear_keybuf();
    reset_program_state();
  }
  TempDir dir;
};

TEST_F(ExportBitmap, NamesCountUpAndNeverOverwrite) {
  make_terrain(3, 2, 1);
  char name[PATH_SIZE];
  ASSERT_EQ(0, numbered_output_name("_Data1x_", name));
  EXPECT_STREQ("Islands_Data1x_000.bmp", name);
  ASSERT_EQ(0, export_bitmap(EXPORT_DATA, nullptr));
  ASSERT_EQ(0, export_bitmap(EXPORT_DATA, nullptr));
  EXPECT_TRUE(file_exists(dir.file("Islands_Data1x_000.bmp")));
  EXPECT_TRUE(file_exists(dir.file("Islands_Data1x_001.bmp")));
  ASSERT_EQ(0, numbered_output_name("_screenshot_", name));
  EXPECT_STREQ("Islands_screenshot_000.bmp", name);

  // 999 taken names leave nothing to write.
  for (int n = 0; n < 999; n++) {
    char file[64];
    snprintf(file, sizeof(file), "Islands_Water1x_%03d.bmp", n);
    write_text(dir.file(file), "x");
  }
  const int before = files_in(dir.path());
  EXPECT_EQ(RESULT_NO_FREE_NAME, numbered_output_name("_Water1x_", name));
  std::string texts;
  EXPECT_EQ(RESULT_NO_FREE_NAME, export_answering(EXPORT_WATER, &texts));
  EXPECT_EQ("No free file name for the export.||", texts);
  EXPECT_EQ(before, files_in(dir.path()));
  EXPECT_FALSE(file_exists(dir.file("Islands_Water1x_999.bmp")));
  EXPECT_NE(0, export_bitmap(3, nullptr));
  EXPECT_EQ(before, files_in(dir.path()));
}

TEST_F(ExportBitmap, DataMapChannelsSaturate) {
  make_terrain(5, 3, 2);
  tile_at(1, 2) = Tile{300, 2, 1, {0, 0, 0}};
  tile_at(0, 0) = Tile{5, 0, 0, {0, 0, 0}};
  tile_at(4, 1) = Tile{7, 255, 2, {0, 0, 0}};
  ASSERT_EQ(0, export_bitmap(EXPORT_DATA, nullptr));
  BITMAP *bmp = load("Islands_Data1x_000.bmp");
  ASSERT_TRUE(bmp);
  EXPECT_EQ(5, bmp->w);
  EXPECT_EQ(3, bmp->h);
  EXPECT_EQ((Rgb{255, 128, 64}), pixel_rgb(bmp, 1, 2));
  EXPECT_EQ((Rgb{5, 0, 0}), pixel_rgb(bmp, 0, 0));
  EXPECT_EQ((Rgb{7, 255, 128}), pixel_rgb(bmp, 4, 1));
  destroy_bitmap(bmp);
}

TEST_F(ExportBitmap, WaterMapIsEightBitWithItsOwnPalette) {
  make_terrain(4, 3, 3);
  texture_table.textures[1].has_water = 2;
  texture_table.textures[2].has_water = 1;
  for (int x = 0; x < 4; x++)
    for (int y = 0; y < 3; y++) tile_at(x, y).texture = (int16_t)(1 + (x + y) % 3);
  tile_at(3, 2).texture = 0;
  ASSERT_EQ(0, export_bitmap(EXPORT_WATER, nullptr));
  set_color_conversion(COLORCONV_NONE);
  PALETTE pal;
  BITMAP *bmp = load_bitmap("Islands_Water1x_000.bmp", pal);
  set_color_conversion(COLORCONV_TOTAL);
  ASSERT_TRUE(bmp);
  EXPECT_EQ(8, bitmap_color_depth(bmp));
  ASSERT_EQ(4, bmp->w);
  ASSERT_EQ(3, bmp->h);
  for (int x = 0; x < 4; x++)
    for (int y = 0; y < 3; y++)
      EXPECT_EQ(tile_at(x, y).texture == 1 ? 1 : 0, getpixel(bmp, x, y)) << x << "," << y;
  EXPECT_EQ(32, pal[1].r);
  EXPECT_EQ(0, pal[1].g + pal[1].b + pal[0].r + pal[0].g + pal[0].b + pal[2].r + pal[255].r);
  destroy_bitmap(bmp);
}

// Copied tile blocks must equal the library's sprites pixel for pixel, for
// every turn, mask pixels and tiles without a level, with and without
// relief shading; also at the far edges of the largest map.
TEST_F(ExportBitmap, TexturePicturesEqualDrawnSprites) {
  make_terrain(37, 23, 4);
  ASSERT_EQ(0, prepare_tile_blocks());
  for (int kind : {EXPORT_TEXTURES_4X, EXPORT_EMBOSSED_4X}) {
    ASSERT_EQ(0, export_bitmap(kind, nullptr));
    BITMAP *ref = reference_picture(kind == EXPORT_EMBOSSED_4X);
    BITMAP *out = load(kind == EXPORT_TEXTURES_4X ? "Islands_Textures4x_000.bmp"
                                                  : "Islands_Embossed4x_000.bmp");
    ASSERT_TRUE(out);
    EXPECT_EQ(0, differences(ref, out)) << "kind " << kind;
    destroy_bitmap(ref);
    destroy_bitmap(out);
  }

  for (int wide = 0; wide < 2; wide++) {
    reset_program_state();
    strcpy(terrain_paths.tfd_path, "Islands.TFD");
    make_terrain(wide ? 4000 : 2, wide ? 2 : 4000, 5);
    ASSERT_EQ(0, export_bitmap(EXPORT_TEXTURES_4X, nullptr));
    BITMAP *ref = reference_picture(0);
    BITMAP *out = load(wide ? "Islands_Textures4x_002.bmp" : "Islands_Textures4x_001.bmp");
    ASSERT_TRUE(out);
    EXPECT_EQ(0, differences(ref, out)) << (wide ? "wide" : "tall");
    destroy_bitmap(ref);
    destroy_bitmap(out);
  }
}

TEST_F(ExportBitmap, HeightMapGreysAndBlueSeaLevel) {
  make_terrain(25, 20, 6);
  EXPECT_EQ(0, export_bitmap(EXPORT_TEXTURES_4X, nullptr));
  height_map.max_height = 1000;
  height_map.heights[0][0] = 4;
  height_map.heights[1][0] = 3;
  height_map.heights[2][0] = 1000;
  height_map.heights[3][0] = 0;
  height_map.heights[99][79] = 500;
  ASSERT_EQ(0, export_bitmap(EXPORT_HEIGHT_4X, nullptr));
  BITMAP *bmp = load("Islands_Height4x_000.bmp");
  ASSERT_TRUE(bmp);
  EXPECT_EQ(100, bmp->w);
  EXPECT_EQ(80, bmp->h);
  EXPECT_EQ((Rgb{1, 1, 1}), pixel_rgb(bmp, 0, 0));
  EXPECT_EQ(BLUE, pixel_rgb(bmp, 1, 0));
  EXPECT_EQ(WHITE, pixel_rgb(bmp, 2, 0));
  EXPECT_EQ(BLUE, pixel_rgb(bmp, 3, 0));
  EXPECT_EQ((Rgb{127, 127, 127}), pixel_rgb(bmp, 99, 79));
  destroy_bitmap(bmp);
  bmp = load("Islands_Textures4x_000.bmp");
  ASSERT_TRUE(bmp);
  EXPECT_EQ(100, bmp->w);
  EXPECT_EQ(80, bmp->h);
  destroy_bitmap(bmp);

  // A flat map at 0: no division, every sample blue.
  height_map.max_height = 0;
  ASSERT_EQ(0, export_bitmap(EXPORT_HEIGHT_4X, nullptr));
  bmp = load("Islands_Height4x_001.bmp");
  ASSERT_TRUE(bmp);
  int blue = 0;
  for (int y = 0; y < bmp->h; y++)
    for (int x = 0; x < bmp->w; x++) blue += pixel_rgb(bmp, x, y) == BLUE;
  EXPECT_EQ(100 * 80, blue);
  destroy_bitmap(bmp);
}

// The planning maps' picture is the stretched shaded texture picture; the
// frame and the grid lie on the listed rows and columns. A terrain that is
// not square keeps its proportions: stretched into the middle of the map,
// black around it, the grid's cells square from its north-west corner.
TEST_F(ExportBitmap, PlanningMapsStretchTheShadedPictureUnderAGrid) {
  const int lines[3][9] = {{51, 102, 154, 205, 256, 307, 358, 410, 461},
                           {102, 205, 307, 410, 512, 614, 717, 819, 922},
                           {205, 410, 614, 819, 1024, 1229, 1434, 1638, 1843}};
  const int sizes[][2] = {{37, 23}, {300, 170}, {130, 600}, {40, 40}};
  int number = 0;
  for (const auto &size : sizes) {
    reset_program_state();
    strcpy(terrain_paths.tfd_path, "Islands.TFD");
    make_terrain(size[0], size[1], 7 + number);
    const int longer = size[0] > size[1] ? size[0] : size[1];
    for (int kind = 8; kind <= 10; kind++) {
      ASSERT_EQ(0, export_bitmap(kind, nullptr));
      const int E = 512 * planning_scale(kind);
      const int w = (E * size[0] + longer / 2) / longer, h = (E * size[1] + longer / 2) / longer;
      const int x0 = (E - w) / 2, y0 = (E - h) / 2;
      BITMAP *picture = reference_picture(1);
      BITMAP *ref = create_bitmap_ex(32, E, E);
      clear_to_color(ref, display.colour_black);
      stretch_blit(picture, ref, 0, 0, picture->w, picture->h, x0, y0, w, h);
      rect(ref, x0, y0, x0 + w - 1, y0 + h - 1, display.colour_black);
      for (int row : lines[kind - 8])
        if (row < h - 1) hline(ref, x0 + 1, y0 + row, x0 + w - 2, display.colour_black);
      for (int column : lines[kind - 8])
        if (column < w - 1) vline(ref, x0 + column, y0 + 1, y0 + h - 2, display.colour_black);
      char name[64];
      snprintf(name, sizeof(name), "Islands_PlanningMap%d_%03d.bmp", kind - 7, number);
      BITMAP *out = load(name);
      ASSERT_TRUE(out);
      EXPECT_EQ(0, differences(ref, out)) << name;
      // The terrain's own aspect, within a pixel of rounding.
      EXPECT_NEAR((double)size[0] / size[1], (double)w / h, 2.0 / (w < h ? w : h)) << name;
      destroy_bitmap(picture);
      destroy_bitmap(ref);
      destroy_bitmap(out);
    }
    number++;
  }
}

TEST_F(ExportBitmap, PlanningMapMarksAndNames) {
  make_terrain(50, 40, 9);
  // One texture everywhere, light grey, so that marks stand out.
  for (int x = 0; x < 50; x++)
    for (int y = 0; y < 40; y++) tile_at(x, y).texture = TEXTURES + 1;
  texture_table.textures[TEXTURES + 1].sample_color = makecol(200, 200, 200);
  for (int X = 0; X < 200; X++)
    for (int Y = 0; Y < 160; Y++) height_map.heights[X][Y] = 100;
  targets.area_count = 4;
  // Centre, with a runway, enemy, and a name longer than a label can hold.
  TargetArea &a1 = targets.areas[1];
  memset(a1.name, 'N', sizeof(a1.name));
  a1.pos_x = 50000;
  a1.pos_y = 40000;
  a1.enemy = 1;
  a1.runway_number = 2;
  // Without a runway, friendly.
  TargetArea &a2 = targets.areas[2];
  strcpy(a2.name, "Depot");
  a2.pos_x = 25000;
  a2.pos_y = 21000;
  a2.enemy = 0;
  a2.runway_number = -1;
  // At the south-west corner, with a runway.
  TargetArea &a3 = targets.areas[3];
  strcpy(a3.name, "Corner");
  a3.runway_number = 1;
  // Far off the map.
  TargetArea &a4 = targets.areas[4];
  a4.pos_x = 3e38f;
  a4.pos_y = -3e38f;
  a4.runway_number = 3;

  // 50 x 40 tiles: 819 of the 1024 rows from row 102, 1638 of 2048 from 205.
  int px, py;
  ASSERT_EQ(0, planning_position(0, 0, 2, &px, &py));
  EXPECT_EQ(0, px);
  EXPECT_EQ(102 + 819, py);
  ASSERT_EQ(0, planning_position(100000, 80000, 4, &px, &py));
  EXPECT_EQ(2048, px);
  EXPECT_EQ(205, py);
  ASSERT_EQ(0, planning_position(50000, 40000, 1, &px, &py));
  EXPECT_EQ(256, px);
  EXPECT_EQ(256, py);

  for (int kind = 8; kind <= 10; kind++) ASSERT_EQ(0, export_bitmap(kind, nullptr));
  BITMAP *first = load("Islands_PlanningMap1_000.bmp");
  ASSERT_TRUE(first);
  const Rgb grey = pixel_rgb(first, 20, 240);
  destroy_bitmap(first);
  for (int kind = 8; kind <= 10; kind++) {
    const int f = planning_scale(kind), E = 512 * f;
    char name[64];
    snprintf(name, sizeof(name), "Islands_PlanningMap%d_000.bmp", kind - 7);
    BITMAP *map = load(name);
    ASSERT_TRUE(map);
    const int radius = kind == 8 ? 2 : 3;
    const int cx = 256 * f, cy = 256 * f;
    EXPECT_EQ(RED, pixel_rgb(map, cx + radius, cy)) << name;
    EXPECT_EQ(RED, pixel_rgb(map, cx, cy - radius)) << name;
    // The south-west corner's circle is cut by the map's edge.
    int corner_x, corner_y;
    ASSERT_EQ(0, planning_position(0, 0, f, &corner_x, &corner_y));
    EXPECT_EQ(BLUE, pixel_rgb(map, 0, corner_y - radius)) << name;
    // The depot: a 3 x 3 square outline in kinds 9 and 10 only.
    int dx, dy;
    ASSERT_EQ(0, planning_position(25000, 21000, f, &dx, &dy));
    if (kind == 8) {
      EXPECT_EQ(grey, pixel_rgb(map, dx + 1, dy + 1)) << name;
    } else {
      EXPECT_EQ(BLUE, pixel_rgb(map, dx + 1, dy + 1)) << name;
      EXPECT_EQ(BLUE, pixel_rgb(map, dx - 1, dy)) << name;
      EXPECT_EQ(grey, pixel_rgb(map, dx, dy)) << name;
    }
    // Names: only areas with a runway, and only in kinds 9 and 10; slate
    // behind white text from (px + 6, py - 5).
    int slate = 0, white = 0, depot_label = 0;
    for (int y = cy - 5; y < cy + 5; y++)
      for (int x = cx + 6; x < E; x++) {
        slate += pixel_rgb(map, x, y) == SLATE;
        white += pixel_rgb(map, x, y) == WHITE;
      }
    for (int y = dy - 5; y < dy + 5; y++)
      for (int x = dx + 6; x < dx + 60; x++) depot_label += pixel_rgb(map, x, y) == SLATE;
    EXPECT_EQ(0, depot_label) << name;
    if (kind == 8) {
      EXPECT_EQ(0, slate + white) << name;
    } else {
      EXPECT_GT(slate, 50) << name;
      EXPECT_GT(white, 50) << name;
      // The full name does not fit: "~" and 62 of its letters.
      int right = 0;
      for (int x = cx + 6; x < E; x++)
        if (pixel_rgb(map, x, cy - 5) == SLATE || pixel_rgb(map, x, cy - 5) == WHITE) right = x;
      const int end = cx + 6 + text_length(display.label_font, ("~" + std::string(62, 'N')).c_str()) - 1;
      EXPECT_EQ(end < E - 1 ? end : E - 1, right) << name;
    }
    destroy_bitmap(map);
  }

  // No tiles: the maps still come out, the areas have no place.
  reset_program_state();
  strcpy(terrain_paths.tfd_path, "Empty.TFD");
  targets.area_count = 1;
  targets.areas[1].runway_number = 1;
  EXPECT_EQ(1, planning_position(0, 0, 1, &px, &py));
  ASSERT_EQ(0, export_bitmap(EXPORT_PLANNING_MAP_2, nullptr));
  BITMAP *map = load("Empty_PlanningMap2_000.bmp");
  ASSERT_TRUE(map);
  EXPECT_EQ(1024, map->w);
  EXPECT_EQ(BLACK, pixel_rgb(map, 102, 500));
  destroy_bitmap(map);
  std::string texts;
  EXPECT_EQ(RESULT_NO_TILES, export_answering(EXPORT_DATA, &texts));
  EXPECT_EQ("The terrain has no tiles to export.|Empty_Data1x_000.bmp|", texts);
  EXPECT_FALSE(file_exists(dir.file("Empty_Data1x_000.bmp")));
}

// A file that cannot be written: a warning that names the kind of file and
// the system's reason, no file, RESULT_CANNOT_WRITE.
TEST_F(ExportBitmap, WriteFailureAlertsAndLeavesNoFile) {
  make_terrain(6, 5, 10);
  const struct {
    int kind, format;
    const char *texts;
  } failures[] = {
      {EXPORT_TEXTURES_4X, EXPORT_FORMAT_BMP, "Error writing bitmap file.|Islands_Textures4x_000.bmp|"},
      {EXPORT_DATA, EXPORT_FORMAT_PNG, "Error writing bitmap file.|Islands_Data1x_000.png|"},
      {EXPORT_HEIGHTS16, EXPORT_FORMAT_PNG, "Error writing heights file.|Islands_Heights16_000.png|"},
      {EXPORT_HEIGHTS16, EXPORT_FORMAT_RAW, "Error writing heights file.|Islands_Heights16_000.r16|"},
      // The briefing map's PNG is written first; its PDF is then never begun.
      {EXPORT_BRIEFING, EXPORT_FORMAT_BMP, "Error writing bitmap file.|Islands_Briefing_000.png|"},
  };
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit old_limit;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 100;
  for (const auto &f : failures) {
    ReportLog log;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
    const int result = export_bitmap(f.kind, log.get(), nullptr, nullptr, f.format);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    EXPECT_EQ(RESULT_CANNOT_WRITE, result) << f.texts;
    EXPECT_EQ(f.texts, log.texts());
    ASSERT_EQ(1u, log.warnings.size());
    EXPECT_EQ(std::string(strerror(EFBIG)) + ".", log.warnings[0].detail);
  }
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(0, files_in(dir.path()));
}

// Every kind of directory entry takes a name, so an export never writes
// through a link or into anything but a new file of its own.
TEST_F(ExportBitmap, AnyEntryTakesTheNameAndLinksAreNeverFollowed) {
  make_terrain(4, 3, 12);
  const std::string elsewhere = dir.file("elsewhere");
  ASSERT_EQ(0, mkdir(elsewhere.c_str(), 0755));
  const std::string victim = elsewhere + "/victim.bmp";
  write_text(victim, "keep");
  const std::string first = dir.file("Islands_Data1x_000.bmp");
  ASSERT_EQ(0, symlink((elsewhere + "/made.bmp").c_str(), first.c_str()));
  ASSERT_EQ(0, symlink(victim.c_str(), dir.file("Islands_Data1x_001.bmp").c_str()));
  ASSERT_EQ(0, mkdir(dir.file("Islands_Data1x_002.bmp").c_str(), 0755));
  ASSERT_EQ(0, mkfifo(dir.file("Islands_Data1x_003.bmp").c_str(), 0644));
  char name[PATH_SIZE];
  ASSERT_EQ(0, numbered_output_name("_Data1x_", name));
  EXPECT_STREQ("Islands_Data1x_004.bmp", name);
  ASSERT_EQ(0, export_bitmap(EXPORT_DATA, nullptr));
  struct stat st;
  ASSERT_EQ(0, lstat(dir.file("Islands_Data1x_004.bmp").c_str(), &st));
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_FALSE(file_exists(elsewhere + "/made.bmp"));
  EXPECT_EQ(std::vector<unsigned char>({'k', 'e', 'e', 'p'}), read_file(victim));
  ASSERT_EQ(0, lstat(dir.file("Islands_Data1x_000.bmp").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  // The final file is created afresh: a link planted under the chosen name
  // between choosing and writing makes the write fail, not follow it.
  ASSERT_EQ(0, symlink(victim.c_str(), dir.file("planted.bmp").c_str()));
  BITMAP *bmp = create_bitmap(3, 3);
  clear_to_color(bmp, makecol(1, 2, 3));
  EXPECT_EQ(RESULT_CANNOT_WRITE, save_new_bmp("planted.bmp", bmp, nullptr));
  EXPECT_EQ(RESULT_CANNOT_WRITE, save_new_bmp("Islands_Data1x_004.bmp", bmp, nullptr));
  EXPECT_EQ(std::vector<unsigned char>({'k', 'e', 'e', 'p'}), read_file(victim));
  ASSERT_EQ(0, lstat(dir.file("planted.bmp").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  // An existing file under the name is neither replaced nor removed.
  EXPECT_FALSE(read_file(dir.file("Islands_Data1x_004.bmp")).empty());
  destroy_bitmap(bmp);
}

// The new-file writer gives exactly the bytes of the library's own saver.
TEST_F(ExportBitmap, NewFileBytesMatchTheLibrarySaver) {
  PALETTE palette;
  for (int i = 0; i < 256; i++) {
    const unsigned char r = (unsigned char)(i % 64), b = (unsigned char)(i / 4);
    palette[i] = RGB{r, (unsigned char)(63 - r), b, 0};
  }
  srand(5);
  for (int depth : {8, 32}) {
    for (int w : {1, 3, 17}) {
      BITMAP *bmp = create_bitmap_ex(depth, w, 5);
      for (int y = 0; y < 5; y++)
        for (int x = 0; x < w; x++)
          putpixel(bmp, x, y,
                   depth == 8 ? rand() % 256 : makecol32(rand() % 256, rand() % 256, rand() % 256));
      const std::string ours = dir.file("ours.bmp"), library = dir.file("library.bmp");
      remove(ours.c_str());
      ASSERT_EQ(0, save_new_bmp(ours.c_str(), bmp, depth == 8 ? palette : nullptr));
      ASSERT_EQ(0, save_bmp(library.c_str(), bmp, depth == 8 ? palette : nullptr));
      EXPECT_EQ(read_file(library), read_file(ours)) << depth << " bits, width " << w;
      destroy_bitmap(bmp);
    }
  }
}

// Writing stops part way (file size limit): the partial file is removed.
TEST_F(ExportBitmap, PartlyWrittenFileIsRemoved) {
  make_terrain(40, 30, 12);
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit old_limit;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 5000;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
  std::string texts[2];
  const int results[2] = {export_answering(EXPORT_EMBOSSED_4X, &texts[0]),
                          export_answering(EXPORT_PLANNING_MAP_1, &texts[1])};
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(RESULT_CANNOT_WRITE, results[0]);
  EXPECT_EQ("Error writing bitmap file.|Islands_Embossed4x_000.bmp|", texts[0]);
  EXPECT_EQ(RESULT_CANNOT_WRITE, results[1]);
  EXPECT_EQ("Error writing bitmap file.|Islands_PlanningMap1_000.bmp|", texts[1]);
  EXPECT_EQ(0, files_in(dir.path()));
}

TEST_F(ExportBitmap, ReadOnlyFolderAlertsAndLeavesNoFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  make_terrain(6, 5, 11);
  char folder[PATH_MAX];
  ASSERT_TRUE(realpath(dir.path().c_str(), folder));
  ASSERT_EQ(0, chmod(dir.path().c_str(), 0555));
  for (int kind : {EXPORT_DATA, EXPORT_WATER, EXPORT_PLANNING_MAP_1}) {
    ReportLog log;
    EXPECT_EQ(RESULT_CANNOT_WRITE, export_bitmap(kind, log.get()));
    EXPECT_EQ(0u, log.texts().find("Error writing bitmap file.|Islands_")) << log.texts();
    // A bare name says nothing of where: the folder by its whole path.
    ASSERT_EQ(1u, log.warnings.size());
    EXPECT_EQ("No file can be created in " + std::string(folder) + ": Permission denied.", log.warnings[0].detail);
  }
  chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(0, files_in(dir.path()));
}

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER 1
#endif
#endif

// The largest picture, 16000 x 16000: the library can make it whole (the
// export does so when the tile blocks cannot stand for the sprites), and
// when not even the export's bands can be had the export says so and
// writes nothing.
TEST_F(ExportBitmap, WorkingBitmapOfTheLargestTerrain) {
#ifdef UNDER_ADDRESS_SANITIZER
  GTEST_SKIP() << "address-space limits do not mix with the sanitizer";
#else
  BITMAP *big = create_bitmap_ex(32, 16000, 16000);
  EXPECT_TRUE(big != nullptr);
  if (big) destroy_bitmap(big);

  tile_map.tiles_x = tile_map.tiles_y = 4000;
  struct rlimit old_limit;
  getrlimit(RLIMIT_AS, &old_limit);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 1u << 20;
  FILE *status = fopen("/proc/self/statm", "r");
  unsigned long pages = 0;
  if (status && fscanf(status, "%lu", &pages) == 1)
    limit.rlim_cur += (rlim_t)pages * (rlim_t)sysconf(_SC_PAGESIZE);
  if (status) fclose(status);
  ASSERT_EQ(0, setrlimit(RLIMIT_AS, &limit));
  std::string texts;
  const int result = export_answering(EXPORT_TEXTURES_4X, &texts);
  setrlimit(RLIMIT_AS, &old_limit);
  EXPECT_EQ(RESULT_NO_MEMORY, result);
  EXPECT_EQ("Not enough memory for the export.|Islands_Textures4x_000.bmp|", texts);
  EXPECT_EQ(0, files_in(dir.path()));
#endif
}

}  // namespace

namespace {

// A picture file's rows as the file stores them, top row first: RGB or
// index bytes, or 16-bit words high byte first, and its palette.
struct FileRows {
  int width = 0, height = 0, bits = 0;
  std::vector<std::vector<unsigned char>> rows;
  std::vector<unsigned char> palette;  // r, g, b of each entry
};

void png_error_jump(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// libpng's reader, untransformed, stands for every other program.
bool read_png_rows(const std::string &path, FileRows *out) {
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_error_jump, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  out->width = (int)png_get_image_width(png, info);
  out->height = (int)png_get_image_height(png, info);
  out->bits = png_get_bit_depth(png, info) * png_get_channels(png, info);
  const size_t row_bytes = png_get_rowbytes(png, info);
  png_bytepp rows = png_get_rows(png, info);
  for (int y = 0; y < out->height; y++) out->rows.emplace_back(rows[y], rows[y] + row_bytes);
  png_colorp colours;
  int n = 0;
  if (png_get_PLTE(png, info, &colours, &n))
    for (int i = 0; i < n; i++) out->palette.insert(out->palette.end(), {colours[i].red, colours[i].green, colours[i].blue});
  png_destroy_read_struct(&png, &info, nullptr);
  fclose(f);
  return true;
}

// A BMP's rows turned the PNG way: top row first, red before blue.
FileRows read_bmp_rows(const std::string &path) {
  const std::vector<unsigned char> d = read_file(path);
  FileRows out;
  auto le32 = [&](size_t p) { return (int)(d[p] | d[p + 1] << 8 | d[p + 2] << 16 | (uint32_t)d[p + 3] << 24); };
  out.width = le32(18);
  out.height = le32(22);
  out.bits = d[28];
  const size_t pixel_bytes = (size_t)out.width * out.bits / 8, stride = (pixel_bytes + 3) & ~(size_t)3;
  for (int y = 0; y < out.height; y++) {
    const unsigned char *row = d.data() + le32(10) + (size_t)(out.height - 1 - y) * stride;
    std::vector<unsigned char> r(row, row + pixel_bytes);
    for (size_t i = 0; out.bits == 24 && i < r.size(); i += 3) std::swap(r[i], r[i + 2]);
    out.rows.push_back(r);
  }
  for (int i = 0; out.bits == 8 && i < 256; i++) out.palette.insert(out.palette.end(), {d[56 + 4 * i], d[55 + 4 * i], d[54 + 4 * i]});
  return out;
}

std::string newest(const char *suffix, const char *ext) {
  char name[PATH_SIZE] = "";
  for (int n = 0; n < 999; n++) {
    char candidate[PATH_SIZE];
    snprintf(candidate, sizeof(candidate), "Islands%s%03d.%s", suffix, n, ext);
    if (!file_exists(candidate)) break;
    strcpy(name, candidate);
  }
  return name;
}

}  // namespace

// Every kind and the screenshot as PNG hold the BMP's very pixels (and the
// water map its palette), whatever the number of threads and bands; the
// tallest pictures span many bands.
TEST_F(ExportBitmap, PngHoldsTheBmpsPixels) {
  make_terrain(70, 41, 11);
  texture_table.textures[2].has_water = 2;
  const struct {
    int kind;
    const char *suffix;
  } kinds[] = {{EXPORT_DATA, "_Data1x_"},           {EXPORT_WATER, "_Water1x_"},
               {EXPORT_TEXTURES_4X, "_Textures4x_"}, {EXPORT_EMBOSSED_4X, "_Embossed4x_"},
               {EXPORT_HEIGHT_4X, "_Height4x_"},     {EXPORT_PLANNING_MAP_1, "_PlanningMap1_"},
               {EXPORT_PLANNING_MAP_3, "_PlanningMap3_"}};
  for (int threads : {1, 3}) {
    set_work_threads(threads);
    for (const auto &k : kinds) {
      ASSERT_EQ(0, export_bitmap(k.kind, nullptr));
      char written[PATH_SIZE];
      ASSERT_EQ(0, export_bitmap(k.kind, nullptr, nullptr, written, EXPORT_FORMAT_PNG));
      EXPECT_EQ(newest(k.suffix, "png"), written);
      FileRows png;
      ASSERT_TRUE(read_png_rows(written, &png)) << written;
      const FileRows bmp = read_bmp_rows(newest(k.suffix, "bmp"));
      EXPECT_EQ(bmp.width, png.width) << written;
      EXPECT_EQ(bmp.bits, png.bits) << written;
      EXPECT_TRUE(bmp.rows == png.rows) << written << " on " << threads << " threads";
      EXPECT_TRUE(bmp.palette == png.palette) << written;
    }
  }
  set_work_threads(0);
  BITMAP *window = create_bitmap_ex(32, 300, 200);
  for (int y = 0; y < 200; y++)
    for (int x = 0; x < 300; x++) putpixel(window, x, y, makecol(x, y, x ^ y));
  ASSERT_EQ(0, save_screenshot(window, nullptr, EXPORT_FORMAT_PNG));
  ASSERT_EQ(0, save_screenshot(window, nullptr));
  destroy_bitmap(window);
  FileRows png;
  ASSERT_TRUE(read_png_rows(newest("_screenshot_", "png"), &png));
  EXPECT_TRUE(read_bmp_rows(newest("_screenshot_", "bmp")).rows == png.rows);
}

// The samples out as PNG and raw words, and back: the height map file
// byte for byte; refusals write nothing.
TEST_F(ExportBitmap, HeightsOutAndBackAndRefusals) {
  make_terrain(9, 7, 12);
  height_map.heights[35][27] = 9999;
  height_map.header3 = 77;
  height_map.header4 = -5;
  strcpy(terrain_paths.tfd_path, "Islands.TFD");
  std::vector<unsigned char> tfd;
  for (int32_t v : {9, 7, 0, 0}) put_le32(tfd, v);
  write_file("Islands.TFD", tfd);
  ASSERT_EQ(0, save_height_map("Islands.hfd"));
  const std::vector<unsigned char> original = read_file("Islands.hfd");

  ASSERT_EQ(0, export_bitmap(EXPORT_HEIGHTS16, nullptr, nullptr, nullptr, EXPORT_FORMAT_PNG));
  ASSERT_EQ(0, export_bitmap(EXPORT_HEIGHTS16, nullptr, nullptr, nullptr, EXPORT_FORMAT_RAW));
  FileRows png;
  ASSERT_TRUE(read_png_rows("Islands_Heights16_000.png", &png));
  const std::vector<unsigned char> raw = read_file("Islands_Heights16_000.r16");
  ASSERT_EQ(16, png.bits);
  ASSERT_EQ(28u, png.rows.size());
  ASSERT_EQ(2u * 36 * 28, raw.size());
  for (int y = 0; y < 28; y++)
    for (int x = 0; x < 36; x++) {
      const int v = height_map.heights[x][y];
      ASSERT_EQ(v, png.rows[y][2 * x] << 8 | png.rows[y][2 * x + 1]) << x << "," << y;
      ASSERT_EQ(v, raw[2 * (36 * y + x)] | raw[2 * (36 * y + x) + 1] << 8) << x << "," << y;
    }

  char why[600], written[600];
  for (const char *picture : {"Islands_Heights16_000.png", "Islands_Heights16_000.r16"}) {
    remove("Islands.hfd");
    write_file("Islands.hfd", std::vector<unsigned char>(original.begin(), original.begin() + 16));
    EXPECT_EQ(IMPORT_WRITTEN, import_heights(picture, "Islands.TFD", 0, why, written, sizeof(why))) << why;
    EXPECT_EQ("Wrote Islands.hfd (36 x 28 samples from " + std::string(picture) + ").", why);
    EXPECT_TRUE(read_file("Islands.hfd") == original) << picture;
  }

  // Over 9999: refused with the count, or fitted onto 0..MAX.
  std::vector<unsigned char> high = raw;
  high[0] = high[1] = 0xFF;  // 65535
  high[2] = 0x00, high[3] = 0x80;  // 32768
  high[4] = 0x10, high[5] = 0x27;  // 10000
  write_file("High.raw", high);
  EXPECT_EQ(IMPORT_REFUSED, import_heights("High.raw", "Islands.TFD", 0, why, written, sizeof(why)));
  EXPECT_STREQ("High.raw: 3 samples above 9999; nothing written (--fit MAX scales them).", why);
  EXPECT_TRUE(read_file("Islands.hfd") == original);
  EXPECT_EQ(IMPORT_WRITTEN, import_heights("High.raw", "Islands.TFD", 5000, why, written, sizeof(why)));
  const std::vector<unsigned char> fitted = read_file("Islands.hfd");
  // The file stores rows from the south: the picture's top-left sample is
  // the first word of the last row.
  const size_t north_west = 16 + 2 * 36 * 27;
  EXPECT_EQ(5000, fitted[north_west] | fitted[north_west + 1] << 8);
  EXPECT_EQ(2500, fitted[north_west + 2] | fitted[north_west + 3] << 8);  // 32768 x 5000 / 65535 = 2500.04
  EXPECT_EQ(763, fitted[north_west + 4] | fitted[north_west + 5] << 8);   // 10000 x 5000 / 65535 = 762.95

  const std::vector<unsigned char> png_bytes = read_file("Islands_Heights16_000.png");
  write_file("Cut.png", std::vector<unsigned char>(png_bytes.begin(), png_bytes.begin() + png_bytes.size() / 2));
  write_file("Short.r16", std::vector<unsigned char>(raw.begin(), raw.end() - 2));
  ASSERT_EQ(0, export_bitmap(EXPORT_DATA, nullptr, nullptr, nullptr, EXPORT_FORMAT_PNG));
  write_file("Other.TFD", std::vector<unsigned char>(tfd.begin(), tfd.begin() + 12));
  // Grey of fewer bits, or with alpha, would be widened or cut into heights
  // the file does not hold.
  for (const auto &grey : {std::make_pair(4, 0), {16, 4}}) {
    const std::vector<uint16_t> samples((size_t)(grey.second ? 2 : 1) * 36 * 28, 1);
    write_file("Grey" + std::to_string(grey.first) + (grey.second ? "a" : "") + ".png",
               sample_png(36, 28, grey.second, grey.first, false, samples));
  }
  ASSERT_EQ(0, mkfifo("Pipe.r16", 0644));
  const struct {
    const char *picture, *terrain, *why;
  } refused[] = {
      {"Grey4.png", "Islands.TFD",
       "Grey4.png: a 4-bit grey PNG; heights come from an 8- or 16-bit grey PNG without alpha, or a .r16/.raw file."},
      {"Grey16a.png", "Islands.TFD", "Grey16a.png: a 16-bit grey PNG with alpha; " IMPORT_ACCEPTED_TEXT},
      {"Pipe.r16", "Islands.TFD", "Pipe.r16: cannot be read: not a regular file."},  // never waits for a writer
      {"bad\xff.r16", "Islands.TFD", "$'bad\\xff.r16': cannot be read: No such file or directory."},
      {"Cut.png", "Islands.TFD", "Cut.png: damaged or cut short; nothing written."},
      {"Short.r16", "Islands.TFD", "Short.r16: 1007 samples; Islands.TFD needs 36 x 28."},
      {"Islands_Data1x_000.png", "Islands.TFD",
       "Islands_Data1x_000.png: a colour picture; heights come from an 8- or 16-bit grey PNG without alpha, or a "
       ".r16/.raw file."},
      {"Islands.hfd", "Islands.TFD", "Islands.hfd: not a .png, .r16 or .raw file."},
      {"Islands_Heights16_000.png", "Other.TFD",
       "Other.TFD: the tile map cannot be read: shorter than its 16-byte header."},
      {"Islands_Heights16_000.png", "Gone.TFD", "Gone.TFD: the tile map does not exist."},
      {"Missing.png", "Islands.TFD", "Missing.png: cannot be read: No such file or directory."},
  };
  for (const auto &r : refused) {
    EXPECT_EQ(IMPORT_REFUSED, import_heights(r.picture, r.terrain, 0, why, written, sizeof(why)));
    EXPECT_STREQ(r.why, why);
    EXPECT_TRUE(read_file("Islands.hfd") == fitted) << r.picture;
  }

  // A height map that cannot be written says why, for root too.
  write_file("Dir.TFD", tfd);
  ASSERT_EQ(0, mkdir("Dir.hfd", 0755));
  EXPECT_EQ(IMPORT_CANNOT_WRITE, import_heights("Islands_Heights16_000.r16", "Dir.TFD", 0, why, written, sizeof(why)));
  EXPECT_STREQ("Dir.hfd cannot be written: Is a directory.", why);
}
