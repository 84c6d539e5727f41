// The texture palette: its layout against a model of the cells, the keys
// that move through it and the frame it draws. A pick used as the copy is
// held by the new terrain's journey.
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/texture_palette_keys.h"
#include "core/land_table.h"
#include "core/terrain_model.h"
#include "files/land_file.h"
#include "edit/sculpt_brushes.h"
#include "render/view/texture_palette.h"
#include "tests/unit/harness.h"
#include "ui/display.h"

namespace {

int plain_colour(int t) { return makecol(10 * t % 256, 200 - t, 40 + 3 * t % 200); }

// Textures 1..count declared, each a file read as one plain colour in every
// level; those in missing are declared but were not read.
void declare_textures(int count, std::vector<int> missing = {}) {
  texture_table.last_declared_texture = texture_table.textures_declared = texture_table.texture_count = count;
  for (int t = 1; t <= count; t++) {
    TextureEntry &e = texture_table.textures[t];
    snprintf(e.filename, sizeof(e.filename), "tex%03d.bmp", t);
    e.loaded = 1;
    e.file_width = e.file_height = 512;
    for (int k = 0; k < TEXTURE_LEVELS; k++) {
      e.levels[k] = create_bitmap(256 >> k, 256 >> k);
      clear_to_color(e.levels[k], plain_colour(t));
    }
  }
  for (int t : missing) texture_table.textures[t].loaded = 0;
}

class TexturePalette : public testing::Test {
 protected:
  void SetUp() override { reset_program_state(); }
  void TearDown() override { reset_program_state(); }
};

TEST_F(TexturePalette, PicturesAreAsLargeAsLetAllFit) {
  struct Case {
    int w, h, count, picture, columns, rows;
  } cases[] = {
      {640, 480, 511, 64, 8, 5},     // scrolls: the smallest
      {640, 480, 16, 96, 6, 3},      // 18 cells of 96 hold all 16; 15 of 112 do not
      {1920, 1080, 4, 128, 14, 7},   // the largest, however few
      {100, 60, 3, 64, 1, 1},        // smaller than a cell: still one
  };
  for (const Case &c : cases) {
    const PaletteLayout l = palette_layout(c.w, c.h, c.count);
    EXPECT_EQ(c.picture, l.picture) << c.w << "x" << c.h << " " << c.count;
    EXPECT_EQ(c.columns, l.columns) << c.count;
    EXPECT_EQ(c.rows, l.rows_visible) << c.count;
    EXPECT_EQ((c.count + c.columns - 1) / c.columns, l.total_rows);
  }
}

// Every pixel against the cells as drawn: a cell reaches half the gap
// either side of its picture and from its frame's top to the next one's.
TEST_F(TexturePalette, TextureAtEveryPixelMatchesTheCells) {
  for (int count : {511, 45, 16}) {
    const PaletteLayout l = palette_layout(640, 480, count);
    const int first_row = palette_last_first_row(l) > 0 ? 1 : 0;
    std::vector<int> model((size_t)l.width * l.height, 0);
    for (int r = 0; r < l.rows_visible; r++)
      for (int c = 0; c < l.columns; c++) {
        const int t = (first_row + r) * l.columns + c + 1;
        if (t > count) continue;
        const int x0 = l.left + c * l.cell_w - PALETTE_GAP / 2, y0 = l.top + r * l.cell_h - 4;
        for (int y = y0; y < y0 + l.cell_h && y < l.info_y; y++)
          for (int x = x0; x < x0 + l.cell_w && x < l.width; x++) model[(size_t)y * l.width + x] = t;
      }
    int wrong = 0;
    for (int y = -2; y < l.height + 2; y++)
      for (int x = -2; x < l.width + 2; x++) {
        const bool inside = x >= 0 && y >= 0 && x < l.width && y < l.height;
        const int want = inside ? model[(size_t)y * l.width + x] : 0;
        wrong += palette_texture_at(l, first_row, x, y) != want;
      }
    EXPECT_EQ(0, wrong) << count;
  }
}

TEST_F(TexturePalette, KeysMoveTheChoiceAndKeepItInView) {
  // 45 textures at 640 x 480: 8 columns, 5 rows shown of 6, the last 41..45.
  const PaletteLayout l = palette_layout(640, 480, 45);
  ASSERT_EQ(8, l.columns);
  ASSERT_EQ(5, l.rows_visible);
  struct Case {
    int start, first_row, key, choice, outcome;
  } cases[] = {
      {1, 0, KEY_LEFT, 1, PALETTE_KEEP_OPEN},   {1, 0, KEY_RIGHT, 2, PALETTE_KEEP_OPEN},
      {8, 0, KEY_6_PAD, 9, PALETTE_KEEP_OPEN},  {45, 1, KEY_RIGHT, 45, PALETTE_KEEP_OPEN},
      {3, 0, KEY_UP, 3, PALETTE_KEEP_OPEN},     {11, 0, KEY_8_PAD, 3, PALETTE_KEEP_OPEN},
      {38, 0, KEY_DOWN, 45, PALETTE_KEEP_OPEN},  // no cell below: the last
      {43, 1, KEY_DOWN, 43, PALETTE_KEEP_OPEN},  {3, 0, KEY_PGDN, 43, PALETTE_KEEP_OPEN},
      {8, 0, KEY_3_PAD, 45, PALETTE_KEEP_OPEN},  {43, 1, KEY_PGUP, 3, PALETTE_KEEP_OPEN},
      {20, 0, KEY_HOME, 1, PALETTE_KEEP_OPEN},   {20, 0, KEY_1_PAD, 45, PALETTE_KEEP_OPEN},
      {20, 0, KEY_ENTER, 20, PALETTE_PICK},      {20, 0, KEY_ESC, 20, PALETTE_CLOSE},
      {20, 0, KEY_X, 20, PALETTE_CLOSE},         {20, 0, KEY_A, 20, PALETTE_KEEP_OPEN},
  };
  for (const Case &c : cases) {
    PaletteChoice p;
    p.choice = c.start;
    p.first_row = c.first_row;
    EXPECT_EQ(c.outcome, palette_key(p, l, c.key, 0)) << c.start << " key " << c.key;
    EXPECT_EQ(c.choice, p.choice) << c.start << " key " << c.key;
    const int row = palette_row_of(l, p.choice);
    EXPECT_TRUE(row >= p.first_row && row < p.first_row + l.rows_visible) << c.start << " key " << c.key;
    EXPECT_TRUE(p.first_row >= 0 && p.first_row <= palette_last_first_row(l));
  }
}

TEST_F(TexturePalette, TypedDigitsJumpToTheirNumber) {
  const PaletteLayout l = palette_layout(640, 480, 45);
  struct Case {
    const char *digits;
    int gap_ms;  // between the digits
    int choice;  // from 20
  } cases[] = {
      {"12", 100, 12}, {"12", 1500, 2},  // a pause starts a new number
      {"46", 100, 6},                    // beyond the last: a new number
      {"0", 100, 20},  {"07", 100, 7},   {"99", 100, 9}, {"450", 100, 45},
  };
  for (const Case &c : cases) {
    PaletteChoice p;
    p.choice = 20;
    long long now = 5000;
    for (const char *d = c.digits; *d; d++, now += c.gap_ms) palette_key(p, l, KEY_0 + (*d - '0'), now);
    EXPECT_EQ(c.choice, p.choice) << c.digits << " " << c.gap_ms;
  }
  // Any other key ends the number.
  PaletteChoice p;
  palette_key(p, l, KEY_1, 0);
  palette_key(p, l, KEY_RIGHT, 10);
  palette_key(p, l, KEY_5, 20);
  EXPECT_EQ(5, p.choice);
}

// The pictures at 64 and 128 are the texture's levels, any other side is
// scaled once; a file not read shows its placeholder colour. The choice is
// framed in white.
TEST_F(TexturePalette, FramesShowEachTexturesPictureInItsCell) {
  for (int count : {20, 45}) {
    declare_textures(count, {3});
    const PaletteLayout l = palette_layout(640, 480, count);
    PalettePictures pictures(l.picture);
    BITMAP *bmp = create_bitmap(640, 480);
    PaletteFrame f;
    f.choice = f.named = 2;
    draw_palette(bmp, l, pictures, f);
    for (int t = 1; t <= count; t++) {
      const int row = palette_row_of(l, t), column = (t - 1) % l.columns;
      if (row >= l.rows_visible) continue;
      const int x = l.left + column * l.cell_w, y = l.top + row * l.cell_h;
      const int want = t == 3 ? texture_table.textures[3].sample_color : plain_colour(t);
      EXPECT_EQ(want, getpixel(bmp, x + 2, y + l.picture - 3)) << count << " texture " << t;
      EXPECT_EQ(t == 2 ? display.colour_white : display.colour_dark_slate, getpixel(bmp, x - 2, y + 5)) << t;
    }
    destroy_bitmap(bmp);
    reset_program_state();
  }
}

// The lands as the palette's items: item n is land n, a gap drawn "none",
// each cell its land's colour with its name beneath and named at the bottom.
TEST_F(TexturePalette, LandItemsAreTheLandsByNumber) {
  const std::string text = "[Land001]\nName=Water\nColor=40,90,170\n[Land003]\nName=Grass\nColor=90,160,60\n";
  ASSERT_EQ(RESULT_OK, read_land_text(text.data(), (long)text.size()));
  ASSERT_EQ(3, last_declared_land());
  const PaletteLayout l = palette_layout(640, 480, last_declared_land());
  LandPaletteItems items;
  BITMAP *bmp = create_bitmap(640, 480);
  PaletteFrame f;
  f.choice = f.named = 3;
  draw_palette(bmp, l, items, f);
  const int want[] = {0, makecol(40, 90, 170), display.colour_slate, makecol(90, 160, 60)};
  const char *labels[] = {"", "Water", "none", "Grass"};
  for (int n = 1; n <= 3; n++) {
    EXPECT_EQ(want[n], getpixel(bmp, l.left + (n - 1) * l.cell_w + 2, l.top + 2)) << n;
    char label[64];
    items.label(n, label, sizeof(label));
    EXPECT_STREQ(labels[n], label);
  }
  char line[96];
  items.line(3, line, sizeof(line));
  EXPECT_STREQ("Land 3: Grass, colour 90,160,60", line);
  items.line(2, line, sizeof(line));
  EXPECT_STREQ("Land 2: not declared", line);
  destroy_bitmap(bmp);
  clear_land_table();
}

// The brushes as items: item k + 1 is brush kind k, as its number key picks
// it; each picture a profile whose ground differs from every other's, so
// that no two brushes look alike.
TEST_F(TexturePalette, SculptItemsAreTheBrushesByTheirKeys) {
  SculptPaletteItems items;
  BITMAP *bmp = create_bitmap(SCULPT_KINDS * 32, 32);
  clear_to_color(bmp, 0);
  std::vector<std::string> columns;
  for (int k = 0; k < SCULPT_KINDS; k++) {
    char label[64], line[128];
    items.label(k + 1, label, sizeof(label));
    EXPECT_STREQ(sculpt_kind_name(k), label);
    items.line(k + 1, line, sizeof(line));
    EXPECT_EQ("Brush " + std::to_string(k + 1) + ": " + sculpt_kind_name(k) + ":", std::string(line).substr(0, 10 + strlen(sculpt_kind_name(k))));
    items.draw_picture(bmp, k + 1, 32 * k, 0, 32);
    std::string ground;
    for (int x = 0; x < 32; x++)
      for (int y = 0; y < 32; y++) ground += getpixel(bmp, 32 * k + x, y) == display.colour_steel ? '.' : '#';
    for (const std::string &other : columns) EXPECT_NE(other, ground) << sculpt_kind_name(k);
    columns.push_back(ground);
  }
  char line[16] = "x";
  items.line(SCULPT_KINDS + 1, line, sizeof(line));
  EXPECT_STREQ("", line);
  destroy_bitmap(bmp);
}

}  // namespace
