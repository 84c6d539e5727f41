#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/terrain_model.h"
#include "edit/land_grid.h"
#include "files/land_file.h"
#include "render/view/height_legend.h"
#include "render/view/map_view.h"
#include "tests/unit/harness.h"
#include "ui/display.h"

namespace {

// The view the tests draw; show_targets as the setting Enable_Targets.
ViewState view;
int show_targets;

void draw_view(BITMAP *bmp, int cx, int cy) {
  ViewState v = view;
  v.cursor_x = cx;
  v.cursor_y = cy;
  draw_map_view(bmp, v, show_targets);
}

int sample_colour(int v) { return makecol(v % 251, (v / 7) % 253, (v * 13) % 255); }

// The view as drawn by the library's own calls, cell by cell and pixel by
// pixel, without the overlay: the oracle for the renderer's direct writes.
// The cells the edges cut are drawn in part; black only off the terrain.
void reference_view(BITMAP *bmp, int cx, int cy) {
  const int S = 1 << (8 - view.zoom_level), W = bmp->w, H = display.status_y;
  const int nx = W / S, ny = H / S, X0 = cx - nx / 2, Y0 = cy - ny / 2;
  const int cells_x = (W + S - 1) / S, cells_y = (H + S - 1) / S;
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  for (int j = 0; j < cells_y; j++) {
    for (int i = 0; i < cells_x; i++) {
      const int x = X0 + i, y = Y0 + j;
      if (x < 0 || y < 0 || x >= tx || y >= ty) continue;
      const Tile &tile = tile_at(x, y);
      const TextureEntry &entry = texture_table.textures[tile.texture];
      if (view.edit_mode == EDIT_HEIGHTS) {
        for (int v = 0; v < S; v++)
          for (int u = 0; u < S; u++) {
            int h = height_map.heights[4 * x + 4 * u / S][4 * y + 4 * v / S];
            putpixel(bmp, i * S + u, j * S + v, height_palette[h > 9999 ? 9999 : h]);
          }
      } else if (view.zoom_level == 8) {
        putpixel(bmp, i, j, entry.sample_color);
      } else {
        BITMAP *level = tile.texture >= 1 && tile.texture <= texture_table.texture_count
                            ? entry.levels[view.zoom_level]
                            : nullptr;
        if (level)
          rotate_sprite(bmp, level, i * S, j * S, itofix(tile.rotation * 64));
        else
          rectfill(bmp, i * S, j * S, i * S + S - 1, j * S + S - 1, entry.sample_color);
      }
    }
  }
  if (view.zoom_level <= 4)
    rect(bmp, S * (nx / 2), S * (ny / 2), S * (nx / 2 + 1) - 1, S * (ny / 2 + 1) - 1,
         display.colour_black);
  const double fx = S * (nx / 2 + 0.5), fy = S * (ny / 2 + 0.5);
  hline(bmp, (int)(fx - 6), (int)fy, (int)(fx + 6), display.colour_red);
  vline(bmp, (int)fx, (int)(fy - 6), (int)(fy + 6), display.colour_red);
  const int b = display.colour_black;
  if (X0 + cells_x > tx) rectfill(bmp, S * (tx - X0), 0, W - 1, H - 1, b);
  if (Y0 + cells_y > ty) rectfill(bmp, 0, S * (ty - Y0), W - 1, H - 1, b);
  if (X0 < 0) rectfill(bmp, 0, 0, S * -X0 - 1, H - 1, b);
  if (Y0 < 0) rectfill(bmp, 0, 0, W - 1, S * -Y0 - 1, b);
}

// Index of the first pixel above the status strip where the two differ, or -1.
long first_difference(BITMAP *a, BITMAP *b, int rows) {
  for (int y = 0; y < rows; y++)
    for (int x = 0; x < a->w; x++)
      if (getpixel(a, x, y) != getpixel(b, x, y)) return (long)y * a->w + x;
  return -1;
}

void fill_noise(BITMAP *bmp, unsigned seed) {
  srand(seed);
  for (int y = 0; y < bmp->h; y++)
    for (int x = 0; x < bmp->w; x++) putpixel(bmp, x, y, makecol(rand() % 256, rand() % 256, 77));
}

class MapView : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    view = ViewState();
    saved_status_y = display.status_y;
    show_targets = 0;
    for (int v = 0; v <= MAX_HEIGHT; v++) height_palette[v] = sample_colour(v);
  }
  void TearDown() override {
    display.status_y = saved_status_y;
    for (BITMAP *b : bitmaps) destroy_bitmap(b);
    reset_program_state();
  }
  BITMAP *bitmap(int w, int h) {
    BITMAP *b = create_bitmap_ex(32, w, h);
    clear_to_color(b, makecol(1, 2, 3));
    bitmaps.push_back(b);
    return b;
  }
  // Textures 1..n with noisy levels, some pixels in the mask colour.
  void make_textures(int n) {
    srand(11);
    texture_table.texture_count = n;
    for (int t = 1; t <= n; t++)
      for (int k = 0; k < TEXTURE_LEVELS; k++) {
        BITMAP *b = create_bitmap(256 >> k, 256 >> k);
        for (int y = 0; y < b->h; y++)
          for (int x = 0; x < b->w; x++)
            putpixel(b, x, y,
                     rand() % 9 == 0 ? bitmap_mask_color(b)
                                     : makecol(rand() % 256, rand() % 256, rand() % 256));
        texture_table.textures[t].levels[k] = b;
      }
  }
  void make_terrain(int tx, int ty, int textures) {
    tile_map.tiles_x = tx;
    tile_map.tiles_y = ty;
    height_map.samples_x = 4 * tx;
    height_map.samples_y = 4 * ty;
    srand(5);
    for (int x = 0; x < tx; x++)
      for (int y = 0; y < ty; y++) {
        Tile &t = tile_at(x, y);
        t.texture = (int16_t)(rand() % (textures + 2));  // 0 and one past the count too
        t.rotation = (uint8_t)(rand() % 5 == 0 ? 255 : rand() % 4);
      }
    for (int X = 0; X < 4 * tx; X++)
      for (int Y = 0; Y < 4 * ty; Y++) height_map.heights[X][Y] = (uint16_t)(rand() % 10000);
    height_map.heights[1][1] = 40000;  // beyond the palette: shown as 9999
  }
  int saved_status_y = 0;
  std::vector<BITMAP *> bitmaps;
};

TEST_F(MapView, DirectWritesMatchTheLibraryAtEveryZoomLevel) {
  make_textures(4);
  make_terrain(37, 23, 4);
  // One level missing: that entry is drawn as a cell of its sample colour there.
  destroy_bitmap(texture_table.textures[2].levels[3]);
  texture_table.textures[2].levels[3] = nullptr;
  display.status_y = 471;
  BITMAP *got = bitmap(701, 497), *want = bitmap(701, 497);
  const int cursors[][2] = {{0, 0}, {18, 11}, {36, 22}, {3, 20}};
  for (int mode : {EDIT_TILES, EDIT_HEIGHTS}) {
    for (int z = 0; z <= 8; z++) {
      for (const auto &c : cursors) {
        view.edit_mode = mode;
        view.zoom_level = z;
        fill_noise(got, z * 7 + mode);
        blit(got, want, 0, 0, 0, 0, got->w, got->h);
        draw_view(got, c[0], c[1]);
        reference_view(want, c[0], c[1]);
        ASSERT_EQ(-1, first_difference(got, want, display.status_y))
            << "mode " << mode << " zoom " << z << " cursor " << c[0] << "," << c[1];
      }
    }
  }
}

TEST_F(MapView, ClippedAndShortBitmapsAreNotWrittenOutside) {
  make_textures(3);
  make_terrain(40, 40, 3);
  display.status_y = 500;  // deeper than the bitmap
  BITMAP *got = bitmap(300, 200), *want = bitmap(300, 200);
  for (int mode : {EDIT_TILES, EDIT_HEIGHTS}) {
    for (int z = 0; z <= 8; z++) {
      view.edit_mode = mode;
      view.zoom_level = z;
      fill_noise(got, 3);
      blit(got, want, 0, 0, 0, 0, got->w, got->h);
      set_clip_rect(got, 13, 7, 250, 180);
      set_clip_rect(want, 13, 7, 250, 180);
      draw_view(got, 20, 20);
      reference_view(want, 20, 20);
      ASSERT_EQ(-1, first_difference(got, want, got->h)) << "mode " << mode << " zoom " << z;
    }
  }
}

TEST_F(MapView, ScreenGoesThroughTheLibraryWithTheSamePixels) {
  // The screen is not a memory bitmap: the plain library path draws it.
  make_textures(3);
  make_terrain(30, 30, 3);
  BITMAP *mem = bitmap(SCREEN_W, SCREEN_H), *shown = bitmap(SCREEN_W, SCREEN_H);
  for (int mode : {EDIT_TILES, EDIT_HEIGHTS}) {
    for (int z : {1, 6, 7, 8}) {
      view.edit_mode = mode;
      view.zoom_level = z;
      clear_to_color(screen, 0);
      clear_to_color(mem, 0);
      draw_view(screen, 15, 15);
      draw_view(mem, 15, 15);
      blit(screen, shown, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
      ASSERT_EQ(-1, first_difference(shown, mem, display.status_y)) << "mode " << mode << " zoom " << z;
    }
  }
}

TEST_F(MapView, GeometryOfA1024x768ScreenAtZoomLevel8) {
  display.status_y = 742;
  tile_map.tiles_x = tile_map.tiles_y = 2000;
  for (int t = 1; t <= 3; t++) texture_table.textures[t].sample_color = makecol(10 * t, 20, 30);
  for (int x = 400; x < 1600; x++)
    for (int y = 600; y < 1400; y++) tile_at(x, y).texture = (int16_t)(1 + (x + y) % 3);
  tile_at(1000 - 512, 1000 - 371).texture = 3;
  tile_at(1000 - 511, 1000 - 371).texture = 1;
  BITMAP *bmp = bitmap(1024, 768);
  draw_view(bmp, 1000, 1000);
  const Rgb red = {255, 0, 0};
  for (int x = 506; x <= 518; x++) EXPECT_EQ(red, pixel_rgb(bmp, x, 371)) << x;
  for (int y = 365; y <= 377; y++) EXPECT_EQ(red, pixel_rgb(bmp, 512, y)) << y;
  EXPECT_FALSE(red == pixel_rgb(bmp, 505, 371));
  EXPECT_FALSE(red == pixel_rgb(bmp, 519, 371));
  EXPECT_FALSE(red == pixel_rgb(bmp, 512, 378));
  // Pixel (0, 0) is tile (cursor_x - 512, cursor_y - 371).
  EXPECT_EQ(texture_table.textures[3].sample_color, getpixel(bmp, 0, 0));
  EXPECT_EQ(texture_table.textures[1].sample_color, getpixel(bmp, 1, 0));
  // nx = 1024 and ny = 742 cover the whole view: nothing is blanked.
  EXPECT_EQ(texture_table.textures[1 + (1511 + 1370) % 3].sample_color, getpixel(bmp, 1023, 741));
}

TEST_F(MapView, GeometryOfA1024x768ScreenAtZoomLevel0) {
  display.status_y = 742;
  make_textures(1);
  tile_map.tiles_x = tile_map.tiles_y = 10;
  for (int x = 0; x < 10; x++)
    for (int y = 0; y < 10; y++) tile_at(x, y).texture = 1;
  view.zoom_level = 0;
  BITMAP *bmp = bitmap(1024, 768);
  draw_view(bmp, 5, 5);
  const Rgb black = {0, 0, 0};
  // The cursor cell spans (512, 256)..(767, 511), outlined in black.
  for (int y = 256; y <= 511; y += 17) {
    EXPECT_EQ(black, pixel_rgb(bmp, 512, y));
    EXPECT_EQ(black, pixel_rgb(bmp, 767, y));
  }
  for (int x = 520; x <= 767; x += 19) {
    EXPECT_EQ(black, pixel_rgb(bmp, x, 256));
    EXPECT_EQ(black, pixel_rgb(bmp, x, 511));
  }
  const Rgb red = {255, 0, 0};
  EXPECT_EQ(red, pixel_rgb(bmp, 640, 384));
  EXPECT_EQ(red, pixel_rgb(bmp, 634, 384));
  EXPECT_EQ(red, pixel_rgb(bmp, 640, 390));
  // Tile (3, 4) is in cell (0, 0): its level 0 without turning. Rows
  // 512..741, below the last whole row, show the top 230 rows of tile
  // (3, 6), cut by the strip.
  BITMAP *level = texture_table.textures[1].levels[0];
  int same = 0, cut_same = 0;
  for (int v = 0; v < 256; v++)
    for (int u = 0; u < 256; u++) {
      const bool masked = getpixel(level, u, v) == bitmap_mask_color(level);
      if (masked || getpixel(level, u, v) == getpixel(bmp, u, v)) same++;
      if (v < 230 && (masked || getpixel(level, u, v) == getpixel(bmp, u, 512 + v))) cut_same++;
    }
  EXPECT_EQ(256 * 256, same);
  EXPECT_EQ(256 * 230, cut_same);
}

TEST_F(MapView, WestEdgeOfAFiveColumnView) {
  display.status_y = 256;
  tile_map.tiles_x = tile_map.tiles_y = 8;
  for (int x = 0; x < 8; x++)
    for (int y = 0; y < 8; y++) tile_at(x, y).texture = (int16_t)(1 + x);
  view.zoom_level = 2;  // S = 64, nx = 5, ny = 4
  BITMAP *bmp = bitmap(5 * 64 + 10, 282);
  draw_view(bmp, 2, 2);
  // X0 = 0: pixel column 0 shows tile column 0, nothing blanked on the west.
  for (int y = 0; y < 256; y += 9)
    EXPECT_EQ(texture_table.textures[1].sample_color, getpixel(bmp, 0, y));
  draw_view(bmp, 0, 2);
  // X0 = -2: pixel columns 0..127 are black, column 128 shows tile column 0.
  const Rgb black = {0, 0, 0};
  for (int y = 0; y < 256; y += 9) {
    EXPECT_EQ(black, pixel_rgb(bmp, 0, y));
    EXPECT_EQ(black, pixel_rgb(bmp, 127, y));
    if (y < 100 || y > 200) {  // away from the cursor marks
      EXPECT_EQ(texture_table.textures[1].sample_color, getpixel(bmp, 128, y)) << y;
    }
  }
  // Right of the last whole column, tile column 3 cut by the edge.
  for (int x = 320; x < 330; x++) EXPECT_EQ(texture_table.textures[4].sample_color, getpixel(bmp, x, 10));
}

TEST_F(MapView, TilesWithoutLevelBitmapsShowTheirSampleColour) {
  make_textures(2);
  tile_map.tiles_x = tile_map.tiles_y = 3;
  tile_at(0, 0).texture = 0;  // no texture
  tile_at(1, 0).texture = 1;
  tile_at(2, 0).texture = 2;
  destroy_bitmap(texture_table.textures[2].levels[5]);
  texture_table.textures[2].levels[5] = nullptr;
  texture_table.textures[0].sample_color = makecol(200, 0, 201);
  texture_table.textures[2].sample_color = makecol(202, 0, 203);
  for (int z = 0; z <= 8; z++) {
    // A view of exactly 3 x 3 cells: cell (i, j) shows tile (i, j).
    const int S = 1 << (8 - z);
    display.status_y = 3 * S;
    BITMAP *bmp = bitmap(3 * S, 3 * S + 26);
    view.zoom_level = z;
    draw_view(bmp, 1, 1);
    EXPECT_EQ(makecol(200, 0, 201), getpixel(bmp, 0, 0)) << z;
    EXPECT_EQ(makecol(200, 0, 201), getpixel(bmp, S - 1, S - 1)) << z;
    if (z == 5 || z == 8) {
      EXPECT_EQ(makecol(202, 0, 203), getpixel(bmp, 2 * S, 0)) << z;
    } else {
      EXPECT_NE(makecol(202, 0, 203), getpixel(bmp, 2 * S, 0)) << z;
    }
  }
}

TEST_F(MapView, HeightColoursAtZoomLevel7UseTheEvenSamples) {
  tile_map.tiles_x = tile_map.tiles_y = 300;
  for (int X = 0; X < 1200; X++)
    for (int Y = 0; Y < 1200; Y++) height_map.heights[X][Y] = (uint16_t)((X * 7 + Y * 3) % 10000);
  view.edit_mode = EDIT_HEIGHTS;
  view.zoom_level = 7;
  display.status_y = 200;
  BITMAP *bmp = bitmap(200, 226);
  draw_view(bmp, 150, 150);
  // Cell (0, 0) shows tile (100, 100).
  const int x = 100, y = 100;
  for (int v = 0; v < 2; v++)
    for (int u = 0; u < 2; u++)
      EXPECT_EQ(height_palette[height_map.heights[4 * x + 2 * u][4 * y + 2 * v]],
                getpixel(bmp, u, v));
  EXPECT_NE(getpixel(bmp, 0, 0), getpixel(bmp, 1, 0));
  EXPECT_NE(getpixel(bmp, 0, 0), getpixel(bmp, 0, 1));
}

// A target area around tile (tx, ty) of a 20 x 20 map, as metres.
TargetArea &add_area(float east, float north, int runway) {
  TargetArea &a = targets.areas[++targets.area_count];
  memset(&a, 0, sizeof(a));
  strcpy(a.name, "Field");
  a.pos_x = east;
  a.pos_y = north;
  a.enemy = 1;
  a.runway_number = runway;
  return a;
}

TEST_F(MapView, OverlayOnlyWhenTargetsAreEnabled) {
  make_textures(1);
  tile_map.tiles_x = tile_map.tiles_y = 20;
  for (int x = 0; x < 20; x++)
    for (int y = 0; y < 20; y++) tile_at(x, y).texture = 1;
  display.status_y = 512;
  view.zoom_level = 0;
  view.edit_mode = EDIT_HEIGHTS;
  BITMAP *with = bitmap(768, 538), *without = bitmap(768, 538);
  draw_view(without, 10, 10);
  TargetArea &a = add_area(2000 * 10 + 500, 2000 * 10 - 300, 1);
  a.target_count = 1;
  a.targets[1].heading = 30;
  view.overlay_mode = 3;
  draw_view(with, 10, 10);
  EXPECT_EQ(-1, first_difference(with, without, display.status_y));
  show_targets = 1;
  draw_view(with, 10, 10);
  EXPECT_NE(-1, first_difference(with, without, display.status_y));
  // Without areas, height editing at zoom level 0 still adds the numbers.
  targets.area_count = 0;
  draw_view(with, 10, 10);
  EXPECT_NE(-1, first_difference(with, without, display.status_y));
}

int count_colour(BITMAP *bmp, int x0, int y0, int x1, int y1, int colour) {
  int n = 0;
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++)
      if (getpixel(bmp, x, y) == colour) n++;
  return n;
}

TEST_F(MapView, AreaMarksAndRunwaySymbols) {
  tile_map.tiles_x = tile_map.tiles_y = 20;
  display.status_y = 512;
  show_targets = 1;
  view.zoom_level = 0;
  BITMAP *plain = bitmap(768, 538), *marked = bitmap(768, 538);
  draw_view(plain, 10, 10);
  // X0 = 9, Y0 = 9: east 2000 * 10 + 1000 m is px 384; north 20437 m is py 200.
  const float east = 2000 * 10 + 1000, north = 20437;
  for (int runway : {-1, 0, 7, 1}) {
    targets.area_count = 0;
    TargetArea &a = add_area(east, north, runway);
    a.target_count = 1;
    a.targets[1].heading = 0;
    draw_view(marked, 10, 10);
    // Circle of radius 3 for a runway area, square of +-2 otherwise.
    const bool circle_mark = runway > 0;
    EXPECT_EQ(circle_mark, getpixel(marked, 387, 200) == display.colour_red) << runway;
    EXPECT_EQ(circle_mark, getpixel(marked, 384, 197) == display.colour_red) << runway;
    EXPECT_EQ(!circle_mark, getpixel(marked, 382, 199) == display.colour_red) << runway;
    // The runway symbol only for numbers 1..6: it changes the picture away from the mark.
    const bool symbol = runway >= 1 && runway <= 6;
    bool changed = false;
    for (int y = 0; y < 512 && !changed; y++)
      for (int x = 0; x < 768 && !changed; x++)
        if ((x < 370 || x > 560 || y < 184 || y > 214) &&
            getpixel(marked, x, y) != getpixel(plain, x, y))
          changed = true;
    EXPECT_EQ(symbol, changed) << runway;
  }
  // The symbol is the datafile object turned by the heading and scaled by the
  // zoom level, centred on target 1: at zoom level 1 its corner is
  // (round(384 - 259.5 / 2), round(200 - 259.5 / 2)).
  view.zoom_level = 1;  // X0 = 7, Y0 = 8
  targets.area_count = 0;
  TargetArea &field = add_area(20000, 20875, 2);
  field.target_count = 1;
  field.targets[1].heading = 30;
  draw_view(marked, 10, 10);
  targets.area_count = 0;
  draw_view(plain, 10, 10);
  rotate_scaled_sprite(plain, display.runway_symbols[1], 254, 70, ftofix(30 * 256.0 / 360.0), ftofix(0.5));
  int differing = 0;
  for (int y = 0; y < 512; y++)
    for (int x = 0; x < 768; x++) {
      const bool mark = x >= 370 && x <= 560 && y >= 184 && y <= 214;
      const bool cursor = x >= 380 && x <= 520 && y >= 250 && y <= 390;
      // The name, beside the runways where they leave no room near the mark.
      const bool name = getpixel(marked, x, y) == display.colour_slate || getpixel(marked, x, y) == display.colour_white;
      if (!mark && !cursor && !name && getpixel(marked, x, y) != getpixel(plain, x, y)) differing++;
    }
  EXPECT_EQ(0, differing);

  // At zoom levels 6..8 the marks shrink: circle of radius 2, square of +-1.
  view.zoom_level = 6;  // S = 4, nx = 192, X0 = -86, Y0 = -54
  targets.area_count = 0;
  add_area(2000 * 5, 2000 * 10, 0);  // px = 4 * (5 + 86) = 364, py = 4 * (54 + 10) = 256
  draw_view(marked, 10, 10);
  EXPECT_EQ(display.colour_red, getpixel(marked, 363, 255));
  EXPECT_NE(display.colour_red, getpixel(marked, 362, 254));
  EXPECT_EQ(0, count_colour(marked, 370, 240, 400, 260, display.colour_slate));  // no label
}

// An airfield with room around it is named at every level that names
// areas, however its runways lie, and its name covers no pixel its runway
// symbol paints (the symbol drawn alone as the test above draws it); in
// target mode the selection's ring leaves every pixel of the name as it was.
TEST_F(MapView, AirfieldsAreNamedClearOfTheirRunways) {
  tile_map.tiles_x = tile_map.tiles_y = 20;
  display.status_y = 512;
  show_targets = 1;
  BITMAP *bare = bitmap(768, 538), *symbol = bitmap(768, 538), *named = bitmap(768, 538), *ringed = bitmap(768, 538);
  const int fields[][2] = {{1, 45}, {2, 90}, {3, 0}, {6, 135}};  // runway, heading
  for (const auto &f : fields)
    for (int zoom = 1; zoom <= 5; zoom++) {
      SCOPED_TRACE(testing::Message() << "Runway" << f[0] << " at " << f[1] << ", level " << zoom);
      view = ViewState();
      view.zoom_level = zoom;
      targets.area_count = 0;
      draw_view(bare, 10, 10);
      blit(bare, symbol, 0, 0, 0, 0, bare->w, bare->h);
      // The middle of the cursor tile, where the area lies.
      const int S = 1 << (8 - zoom), px = 768 / S / 2 * S + S / 2, py = 512 / S / 2 * S + S / 2;
      const double half = 259.5 / (1 << zoom);
      if (zoom <= 4)
        rotate_scaled_sprite(symbol, display.runway_symbols[f[0] - 1], (int)lround(px - half), (int)lround(py - half),
                             ftofix(f[1] * 256.0 / 360.0), ftofix(1.0 / (1 << zoom)));
      TargetArea &a = add_area(2000 * 10 + 1000, 2000 * 10 - 1000, f[0]);
      strcpy(a.name, "Saltmere AB");
      a.target_count = 1;
      a.targets[1].heading = f[1];
      draw_view(named, 10, 10);
      view.left_button = LEFT_BUTTON_TARGETS, view.target_area = 1;
      draw_view(ringed, 10, 10);
      int label = 0, covered = 0, rung = 0;
      for (int y = 0; y < 512; y++)
        for (int x = 0; x < 768; x++) {
          const int c = getpixel(named, x, y);
          if (c != display.colour_slate && c != display.colour_white) continue;
          label++;
          covered += getpixel(symbol, x, y) != getpixel(bare, x, y);
          rung += getpixel(ringed, x, y) != c;
        }
      EXPECT_LT(100, label);
      EXPECT_EQ(0, covered);
      EXPECT_EQ(0, rung);
    }
}

TEST_F(MapView, VisibilityLimitsOfTargetsAndAreas) {
  tile_map.tiles_x = tile_map.tiles_y = 20;
  display.status_y = 512;
  show_targets = 1;
  view.zoom_level = 0;
  view.overlay_mode = 1;  // crosses, no labels
  BITMAP *bmp = bitmap(768, 538);
  // X0 = 9, Y0 = 9, S = 256: px = W = 768 at east 2000 * 12; py = 512 at north 2000 * 9.
  auto target_at = [&](float east, float north) {
    targets.area_count = 0;
    TargetArea &a = add_area(0, 0, -1);  // the area itself lies off the view
    a.target_count = 1;
    a.targets[1].offset_x = east;
    a.targets[1].offset_y = north;
    draw_view(bmp, 10, 10);
  };
  target_at(2000 * 12, 2000 * 10);  // px = W passes: its cross reaches column W - 1
  EXPECT_EQ(display.colour_red, getpixel(bmp, 767, 256));
  target_at(2000 * 12 + 8, 2000 * 10);  // px = W + 1 is skipped
  EXPECT_NE(display.colour_red, getpixel(bmp, 767, 256));
  target_at(19563, 2000 * 9);  // px = 200, py = status_y passes
  EXPECT_EQ(display.colour_red, getpixel(bmp, 200, 511));
  target_at(19563, 2000 * 9 - 8);  // py = status_y + 1 is skipped
  EXPECT_NE(display.colour_red, getpixel(bmp, 200, 511));

  // Areas: px = W and py = status_y - 6 are not drawn, one pixel less is.
  auto area_at = [&](float east, float north) {
    targets.area_count = 0;
    add_area(east, north, -1);
    draw_view(bmp, 10, 10);
  };
  area_at(23993, 2000 * 10);  // px = 767
  EXPECT_EQ(display.colour_red, getpixel(bmp, 765, 256));
  area_at(24000, 2000 * 10);  // px = 768
  EXPECT_NE(display.colour_red, getpixel(bmp, 766, 256));
  area_at(19563, 18054);  // py = 505
  EXPECT_EQ(display.colour_red, getpixel(bmp, 200, 503));
  area_at(19563, 18046);  // py = 506
  EXPECT_NE(display.colour_red, getpixel(bmp, 200, 504));
}

TEST_F(MapView, TargetLabelsAndLongNames) {
  tile_map.tiles_x = tile_map.tiles_y = 20;
  display.status_y = 512;
  show_targets = 1;
  view.zoom_level = 0;
  BITMAP *got = bitmap(768, 538), *want = bitmap(768, 538);
  // Area off the view, one target at (px, py) = (128, 128).
  TargetArea &a = add_area(0, 0, -1);
  a.target_count = 1;
  a.targets[1].offset_x = 2000 * 9 + 1000;
  a.targets[1].offset_y = 2000 * 11 - 1000;
  a.targets[1].file_offset_x = 12.9f;
  a.targets[1].file_offset_y = -7.9f;
  memset(a.targets[1].type, 'T', NAME_SIZE - 1);
  a.targets[1].type[NAME_SIZE - 1] = 0;

  const std::string long_type = "~" + std::string(NAME_SIZE - 2, 'T');
  const struct {
    int mode;
    std::string text;
  } cases[] = {{4, "~12,-7"}, {3, "~1"}, {2, long_type}};
  for (const auto &c : cases) {
    view.overlay_mode = 1;
    draw_view(want, 10, 10);
    textout_ex(want, display.map_font, c.text.c_str(), 128 + 6, 128 - 5, display.colour_black, display.colour_pale_blue);
    view.overlay_mode = c.mode;
    draw_view(got, 10, 10);
    EXPECT_EQ(-1, first_difference(got, want, display.status_y)) << c.text;
  }
  // Level 2 has crosses but no labels.
  view.zoom_level = 2;
  view.overlay_mode = 3;
  draw_view(got, 10, 10);
  EXPECT_EQ(0, count_colour(got, 0, 0, 767, 511, display.colour_pale_blue));
}

TEST_F(MapView, HeightNumbersMarkTheChosenSample) {
  tile_map.tiles_x = tile_map.tiles_y = 4;
  display.status_y = 512;
  show_targets = 1;
  view.zoom_level = 0;
  view.edit_mode = EDIT_HEIGHTS;
  view.height_sample = 6;  // row 1, column 2
  BITMAP *bmp = bitmap(768, 538);
  draw_view(bmp, 1, 1);  // X0 = 0, Y0 = 0: the cursor tile is cell (1, 1)
  for (int b = 0; b < 4; b++)
    for (int a = 0; a < 4; a++) {
      const int x = 256 + 64 * a, y = 256 + 64 * b;
      const int n = count_colour(bmp, x, y, x + 63, y + 63, display.colour_terracotta);
      EXPECT_EQ(4 * b + a == 6, n > 0) << a << "," << b;
    }
  EXPECT_EQ(0, count_colour(bmp, 0, 0, 255, 255, display.colour_terracotta));
  EXPECT_LT(0, count_colour(bmp, 0, 0, 255, 255, display.colour_pale_blue));
}

}  // namespace

namespace {

// The brush against a model: the map as drawn, the paint (its level turned
// as rotate_sprite turns it) blended 5/16 over the shown tiles of the
// square where a tile is 16 pixels or more, a white then a black line
// around the square, nothing on the strip.
TEST_F(MapView, BrushOutlineAndPaintOverTheMap) {
  make_textures(3);
  make_terrain(40, 30, 3);
  display.status_y = 300;
  BITMAP *got = bitmap(400, 320), *want = bitmap(400, 320);
  struct Case {
    int zoom, size, cx, cy, tx, ty, rotation;
  } cases[] = {
      {4, 4, 3, 3, 0, 3, 1},      // a column of the square off the map's west edge
      {4, 4, 20, 15, 20, 23, 0},  // reaching into the strip
      {2, 1, 20, 15, 21, 15, 3},
      {8, 3, 20, 15, 25, 10, 2},  // tiles of a pixel: the outline alone
  };
  for (const Case &c : cases) {
    view.zoom_level = c.zoom;
    view.brush_size = c.size;
    StampCell paint;
    paint.texture = 2;
    paint.rotation = (uint8_t)c.rotation;
    clear_to_color(got, makecol(9, 9, 9));
    draw_view(got, c.cx, c.cy);
    blit(got, want, 0, 0, 0, 0, got->w, got->h);
    view.cursor_x = c.cx;
    view.cursor_y = c.cy;
    draw_brush_outline(got, view, c.tx, c.ty, paint);

    const int S = 1 << (8 - c.zoom), X0 = c.cx - (400 / S) / 2, Y0 = c.cy - (300 / S) / 2;
    const int x1 = (c.tx - (c.size - 1) / 2 - X0) * S, y1 = (c.ty - (c.size - 1) / 2 - Y0) * S;
    const int x2 = x1 + c.size * S - 1, y2 = y1 + c.size * S - 1;
    BITMAP *turned = create_bitmap(S, S);
    clear_to_color(turned, bitmap_mask_color(turned));
    if (S >= 16) rotate_sprite(turned, texture_table.textures[2].levels[c.zoom], 0, 0, itofix(c.rotation * 64));
    for (int y = std::max(y1, 0); S >= 16 && y <= y2 && y < 300; y++)
      for (int x = std::max(x1, 0); x <= x2 && x < 400; x++) {
        const int tile_x = X0 + x / S, tile_y = Y0 + y / S;
        const int p = getpixel(turned, (x - x1) % S, (y - y1) % S), old = getpixel(want, x, y);
        // The cells the edges cut show their tiles, and take the paint.
        const bool shown = tile_on_map(tile_x, tile_y);
        if (!shown || p == bitmap_mask_color(turned)) continue;
        auto mix = [](int o, int n) { return (o >> 1) + (o >> 3) + (o >> 4) + (n >> 2) + (n >> 4); };
        putpixel(want, x, y,
                 makecol(mix(getr(old), getr(p)), mix(getg(old), getg(p)), mix(getb(old), getb(p))));
      }
    destroy_bitmap(turned);
    set_clip_rect(want, 0, 0, 399, 299);
    rect(want, x1 - 2, y1 - 2, x2 + 2, y2 + 2, display.colour_black);
    rect(want, x1 - 1, y1 - 1, x2 + 1, y2 + 1, display.colour_white);
    set_clip_rect(want, 0, 0, 399, 319);
    EXPECT_EQ(-1, first_difference(got, want, got->h)) << "zoom " << c.zoom;
  }
}

// Land mode's layer: a dot of its land's colour on every corner point, red
// edges on a tile whose texture says other corners than the grid, a red
// cross where no texture has the grid's corners; far out, tiles tinted half
// by the land of most corners, a broken one all red.
TEST_F(MapView, LandDotsTintsAndRedMarks) {
  make_textures(3);
  make_terrain(6, 5, 3);
  const std::string text = "[Land001]\nName=Water\nColor=40,90,170\n[Land002]\nName=Grass\nColor=90,160,60\n"
                           "[Texture001]\nCorners=Water,Water,Water,Water\n[Texture002]\nCorners=Grass,Grass,Grass,Grass\n";
  ASSERT_EQ(RESULT_OK, read_land_text(text.data(), (long)text.size()));
  for (int x = 0; x < 6; x++)
    for (int y = 0; y < 5; y++) tile_at(x, y) = Tile{2, (uint8_t)(x % 4), 0, {0, 0, 0}};
  tile_at(2, 2).texture = 1;  // water alone: its points go to the grass around it
  read_land_grid();
  land_point(4, 1) = 1;  // water, grass, grass, grass on tile (4, 1): no texture has it
  display.status_y = 200;
  BITMAP *plain = bitmap(256, 200), *got = bitmap(256, 200);
  const int red = makecol(230, 20, 20), water = makecol(40, 90, 170), grass = makecol(90, 160, 60);
  view.left_button = LEFT_BUTTON_LANDS;
  view.zoom_level = 3;  // 32 pixels a tile; cursor (4, 3) puts tile (0, 0) at the corner
  draw_view(got, 4, 3);
  auto at = [&](int x, int y, int dx, int dy) { return getpixel(got, 32 * x + dx, 32 * y + dy); };
  EXPECT_EQ(grass, at(2, 2, 0, 0));
  EXPECT_EQ(water, at(4, 1, 0, 0));
  EXPECT_EQ(display.colour_black, at(2, 2, -3, -3));
  EXPECT_EQ(red, at(2, 2, 16, 0));   // each edge of the water tile
  EXPECT_EQ(red, at(2, 2, 31, 16));
  EXPECT_NE(red, at(2, 2, 16, 16));  // grass all round has its texture: no cross
  EXPECT_EQ(red, at(4, 1, 16, 16));  // the cross
  EXPECT_NE(red, at(0, 3, 16, 0));   // a tile that agrees
  // 2 pixels a tile, tile (0, 0) at (120, 94); at 1, where the land layer
  // draws the tiles itself, at (124, 97).
  for (const int zoom : {7, 8}) {
    const int S = zoom == 7 ? 2 : 1, x0 = 128 - 4 * S, y0 = 100 - 3 * S;
    view.zoom_level = zoom;
    view.left_button = LEFT_BUTTON_PAN;
    draw_view(plain, 4, 3);
    view.left_button = LEFT_BUTTON_LANDS;
    draw_view(got, 4, 3);
    const int old = getpixel(plain, x0 + S * 1, y0 + S * 4);
    EXPECT_EQ((int)(((old >> 1) & 0x7F7F7F) + ((grass >> 1) & 0x7F7F7F)), getpixel(got, x0 + S, y0 + 4 * S)) << zoom;
    EXPECT_EQ(red, getpixel(got, x0 + S * 2, y0 + S * 2)) << zoom;
  }
  clear_land_table();
}


// The one pixel-to-tile function against what is drawn, over random areas,
// zoom levels and cursors (on the map, near its edges, off it): every
// pixel of the area shows the colour of the tile it names, or black where
// it names none; the whole cells stand where the cursor's middle cell puts
// them, and the metres lie in the named tile.
TEST_F(MapView, EveryPixelShowsTheTileItNames) {
  srand(34);
  const int colours = 200;
  texture_table.texture_count = 0;  // no level bitmaps: each tile its sample colour
  for (int t = 1; t <= colours; t++) texture_table.textures[t].sample_color = makecol(1 + t, 255 - t, 60 + t % 7);
  for (int round = 0; round < 60; round++) {
    const int tx = 1 + rand() % 12, ty = 1 + rand() % 12;
    tile_map.tiles_x = tx;
    tile_map.tiles_y = ty;
    for (int x = 0; x < tx; x++)
      for (int y = 0; y < ty; y++) tile_at(x, y).texture = (int16_t)(1 + (x * 13 + y * 7) % colours);
    const int W = 1 + rand() % 700, H = 1 + rand() % 500;
    display.status_y = H;
    view.zoom_level = rand() % 9;
    view.cursor_x = rand() % (tx + 4) - 2;
    view.cursor_y = rand() % (ty + 4) - 2;
    BITMAP *bmp = create_bitmap_ex(32, W, H + 26), *heights = create_bitmap_ex(32, W, H + 26);
    fill_noise(bmp, round);
    draw_map_view(bmp, view, 0);
    for (int X = 0; X < 4 * tx; X++)
      for (int Y = 0; Y < 4 * ty; Y++) height_map.heights[X][Y] = (uint16_t)(rand() % 10000);
    view.edit_mode = EDIT_HEIGHTS;
    draw_map_view(heights, view, 0);
    view.edit_mode = EDIT_TILES;
    const int S = 1 << (8 - view.zoom_level);
    const int cell_x = (W / S) / 2, cell_y = (H / S) / 2;  // the cursor's cell, with its marks
    for (int py = 0; py < H; py++)
      for (int px = 0; px < W; px++) {
        const MapPixel p = map_pixel(view, W, H, px, py);
        ASSERT_EQ(view.cursor_x - cell_x + px / S, p.tile_x);
        ASSERT_EQ(view.cursor_y - cell_y + py / S, p.tile_y);
        ASSERT_EQ(p.tile_x * 2000 + 2000 * (px % S) / S, p.east);
        ASSERT_EQ((ty - p.tile_y) * 2000 - 2000 * (py % S) / S, p.north);
        // The cursor's cell and red cross are the marks' own.
        if (px / S == cell_x && py / S == cell_y) continue;
        if (std::abs(px - S * cell_x - S / 2) <= 7 && std::abs(py - S * cell_y - S / 2) <= 7) continue;
        const int want = p.on_map ? texture_table.textures[tile_at((int)p.tile_x, (int)p.tile_y).texture].sample_color
                                  : makecol(0, 0, 0);
        ASSERT_EQ(want, getpixel(bmp, px, py)) << "round " << round << " pixel " << px << "," << py << " of " << W
                                               << " x " << H << " zoom " << view.zoom_level;
        // The height display draws the colour of the sample the pixel names.
        if (p.on_map) {
          ASSERT_EQ(height_palette[height_map.heights[p.sample_x][p.sample_y]], getpixel(heights, px, py))
              << "round " << round << " pixel " << px << "," << py;
        }
      }
    destroy_bitmap(bmp);
    destroy_bitmap(heights);
  }
}


// The start's level against the drawing itself: at the level and cursor
// fit_view gives, every tile of the terrain lies whole in the area; at the
// next closer one some tile does not.
TEST_F(MapView, FittedZoomIsTheClosestThatShowsEveryTile) {
  srand(7);
  for (int round = 0; round < 300; round++) {
    tile_map.tiles_x = 1 + rand() % (rand() % 2 ? 20 : 900);
    tile_map.tiles_y = 1 + rand() % (rand() % 2 ? 20 : 900);
    ViewState v;
    v.cursor_x = tile_map.tiles_x / 2;
    v.cursor_y = std::max(tile_map.tiles_y / 2 - 1, 0);
    const int W = 640 + rand() % 3400, H = 454 + rand() % 1900;
    auto all_whole = [&](int zoom) {
      v.zoom_level = zoom;
      const long long S = 1LL << (8 - zoom);
      const MapPixel first = map_pixel(v, W, H, 0, 0);
      // The pixels of the terrain's corners name its corner tiles.
      const long long left = -first.tile_x * S, top = -first.tile_y * S;
      const long long right = left + S * tile_map.tiles_x - 1, bottom = top + S * tile_map.tiles_y - 1;
      return left >= 0 && top >= 0 && right < W && bottom < H &&
             map_pixel(v, W, H, right, bottom).tile_x == tile_map.tiles_x - 1 &&
             map_pixel(v, W, H, right, bottom).tile_y == tile_map.tiles_y - 1;
    };
    const int zoom = fit_view(&v, W, H);
    if (zoom < ZOOM_FARTHEST) {
      EXPECT_TRUE(all_whole(zoom)) << tile_map.tiles_x << " x " << tile_map.tiles_y << " in " << W << " x " << H;
    }
    if (zoom > 0) {
      EXPECT_FALSE(all_whole(zoom - 1)) << tile_map.tiles_x << " x " << tile_map.tiles_y << " in " << W << " x " << H;
    }
  }
}


// The legend's heights: round multiples of one step, ascending within the
// scale, five to twelve of them wherever the scale has five metres.
TEST(HeightLegend, FiveToTwelveRoundHeights) {
  for (int top = 0; top <= MAX_HEIGHT; top++) {
    const std::vector<int> h = legend_heights(top);
    ASSERT_LE(h.size(), 12u) << top;
    ASSERT_GE(h.size(), (size_t)std::min(top, 5)) << top;
    if (h.empty()) continue;
    const int step = h[0];
    int mantissa = step;
    while (mantissa % 10 == 0) mantissa /= 10;
    ASSERT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << top << ": step " << step;
    for (size_t k = 0; k < h.size(); k++) ASSERT_EQ(step * (int)(k + 1), h[k]) << top;
    ASSERT_LE(h.back(), top);
    ASSERT_GT(h.back() + step, top);  // the whole scale is labelled
  }
}

}  // namespace
