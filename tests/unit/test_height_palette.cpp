#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/height_palette.h"
#include "core/relief_shading.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "tests/unit/harness.h"

namespace {

struct Hsv {
  float h, s, v;
};
Hsv hsv_of(int colour) {
  Hsv out;
  rgb_to_hsv(getr(colour), getg(colour), getb(colour), &out.h, &out.s, &out.v);
  return out;
}

class HeightPalette : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    sentinel = makecol(1, 2, 3);
    for (int i = 0; i <= MAX_HEIGHT; i++) height_palette[i] = sentinel;
  }
  int sentinel = 0;
};

TEST_F(HeightPalette, BandsForAThousandMetres) {
  height_map.max_height = 1000;
  build_height_palette();
  EXPECT_EQ(makecol(0, 63, 88), height_palette[0]);
  // Heights raised above the map's top by edits take the top colour.
  EXPECT_EQ(height_palette[1000], height_palette[1001]);
  EXPECT_EQ(height_palette[1000], height_palette[MAX_HEIGHT]);
  for (int i = 1; i <= 1000; i++) ASSERT_NE(sentinel, height_palette[i]) << i;

  // Upper band: full value, hue running from red at 819 on to magenta.
  for (int i = 819; i <= 1000; i++) {
    int c = height_palette[i];
    EXPECT_EQ(255, std::max({getr(c), getg(c), getb(c)})) << i;
  }
  EXPECT_NEAR(336.5, hsv_of(height_palette[900]).h, 1.0);
  EXPECT_NEAR(307.4, hsv_of(height_palette[1000]).h, 1.0);
  // The lower band starts again at red just below and loses value downward,
  // its hue turning through green to blue.
  EXPECT_EQ(makecol(255, 115, 115), height_palette[818]);
  EXPECT_NEAR(0.952, hsv_of(height_palette[700]).v, 0.005);
  Hsv low = hsv_of(height_palette[41]);
  EXPECT_NEAR(226.0, low.h, 2.0);
  EXPECT_NEAR(0.68, low.v, 0.01);
  for (int i = 818; i >= 20; i -= 10) {
    EXPECT_GE(hsv_of(height_palette[i - 10]).h + 0.5f, hsv_of(height_palette[i]).h) << i;
    EXPECT_LE(hsv_of(height_palette[i - 10]).v, hsv_of(height_palette[i]).v + 0.005f) << i;
  }
  // The lowest 4 percent are darkened a little further.
  EXPECT_LT(hsv_of(height_palette[1]).v, hsv_of(height_palette[41]).v - 0.01f);
  for (int i = 1; i <= 1000; i++) EXPECT_NEAR(0.55, hsv_of(height_palette[i]).s, 0.02) << i;
}

TEST_F(HeightPalette, BandLimitsFollowSinglePrecision) {
  // For 101 m, G = 83.0000033 but its single-precision copy is exactly 83:
  // the upper band ends at height 83 (hue 360) and the lower band starts at
  // 82 with hue 0, at full value; it then runs one index past 0.
  height_map.max_height = 101;
  build_height_palette();
  EXPECT_EQ(makecol(255, 115, 115), height_palette[83]);
  EXPECT_EQ(makecol(255, 115, 115), height_palette[82]);
  EXPECT_NE(height_palette[81], height_palette[82]);
  EXPECT_EQ(makecol(0, 63, 88), height_palette[0]);
}

TEST_F(HeightPalette, FlatMapHasOnlyTheSeaColour) {
  height_map.max_height = 0;
  build_height_palette();
  EXPECT_EQ(makecol(0, 63, 88), height_palette[0]);
  EXPECT_EQ(makecol(0, 63, 88), height_palette[1]);
}

TEST_F(HeightPalette, EveryHeightOfTheHighestMapIsColoured) {
  for (int m : {1, 2, 3, 9999}) {
    for (int i = 0; i <= MAX_HEIGHT; i++) height_palette[i] = sentinel;
    height_map.max_height = m;
    build_height_palette();
    for (int i = 0; i <= m; i++) ASSERT_NE(sentinel, height_palette[i]) << m << " " << i;
    if (m < MAX_HEIGHT) {
      EXPECT_EQ(height_palette[m], height_palette[m + 1]);
    }
  }
}

TEST(ApplyShade, SetsTheValueFromHalfTheColourAndTheShade) {
  int white = makecol(255, 255, 255);
  EXPECT_EQ(makecol(128, 128, 128), apply_shade(white, 0));
  EXPECT_EQ(white, apply_shade(white, 255));
  EXPECT_EQ(white, apply_shade(white, 0x1FF));  // only the low byte counts
  Hsv in = hsv_of(makecol(200, 100, 50));
  Hsv out = hsv_of(apply_shade(makecol(200, 100, 50), 127));
  EXPECT_NEAR(in.h, out.h, 1.0);
  EXPECT_NEAR(127 / 511.0 + in.v * 0.5, out.v, 0.01);
}

class ShadeMap : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    height_map.samples_x = 8;
    height_map.samples_y = 12;
    height_map.max_height = 100;
    memset(shade_map[8], 99, 16);
    shade_map[0][12] = 99;
  }
  void fill(int (*height)(int x, int y)) {
    for (int x = 0; x < height_map.samples_x; x++)
      for (int y = 0; y < height_map.samples_y; y++) height_map.heights[x][y] = (uint16_t)height(x, y);
  }
  void expect_everywhere(int value) {
    for (int x = 0; x < height_map.samples_x; x++)
      for (int y = 0; y < height_map.samples_y; y++) ASSERT_EQ(value, shade_map[x][y]) << x << "," << y;
  }
  void expect_extent_only() {
    EXPECT_EQ(99, shade_map[8][0]);
    EXPECT_EQ(99, shade_map[0][12]);
  }
};

TEST_F(ShadeMap, FlatGroundIsLevelEverywhere) {
  fill([](int, int) { return 50; });
  compute_shade_map();
  expect_everywhere(127);
  expect_extent_only();

  // A map whose highest point is 0 divides by nothing.
  height_map.max_height = 0;
  fill([](int x, int y) { return (x * 7 + y) % 5; });
  compute_shade_map();
  expect_everywhere(127);
}

TEST_F(ShadeMap, SlopesFacingAwayFromTheLightAreDarker) {
  // West higher: gx = 60 * 255 / 100 = 153, facing away from the light.
  fill([](int x, int) { return 100 - 10 * x; });
  compute_shade_map();
  expect_everywhere(35);
  // East higher faces the north-west light from the other side: brighter.
  fill([](int x, int) { return 10 * x + 20; });
  compute_shade_map();
  expect_everywhere(181);
  // Southward rising ground (y grows southward) has a positive gy.
  fill([](int, int y) { return 5 * y; });
  compute_shade_map();
  EXPECT_GT(shade_map[3][5], 127);
  expect_extent_only();
}

// The shading written out plainly, sample by sample, as a reference for the
// table-driven routine.
int reference_shade(int x, int y, int m) {
  auto h = [](int i, int j) { return (int)height_map.heights[i][j]; };
  int gx = ((h(x - 1, y - 1) + h(x - 1, y) + h(x - 1, y + 1)) - (h(x + 1, y - 1) + h(x + 1, y) + h(x + 1, y + 1))) * 255 / m;
  int gy = ((h(x - 1, y + 1) + h(x, y + 1) + h(x + 1, y + 1)) - (h(x - 1, y - 1) + h(x, y - 1) + h(x + 1, y - 1))) * 255 / m;
  if (gx == 0 && gy == 0) return 127;
  int d = gx * -142 + gy * 169 + 255 * 127;
  return d < 0 ? 0 : (int)(d / std::sqrt((double)(gx * gx + gy * gy + 65025)));
}

TEST_F(ShadeMap, RoughGroundMatchesThePlainFormula) {
  height_map.samples_x = 64;
  height_map.samples_y = 48;
  for (int m : {1, 2, 3, 7, 37, 255, 256, 500, 1021, 4096, 7919, 9973, 9999}) {
    height_map.max_height = m;
    srand(m);
    fill([](int, int) { return rand() % (height_map.max_height + 1); });
    compute_shade_map();
    for (int x = 1; x < 63; x++)
      for (int y = 1; y < 47; y++) ASSERT_EQ(reference_shade(x, y, m), shade_map[x][y]) << m << " " << x << "," << y;
  }
}

// Cliffs of the full height next to flat ground give the steepest
// gradients the tables hold, in every direction.
TEST_F(ShadeMap, SteepestSlopesMatchThePlainFormula) {
  height_map.samples_x = 40;
  height_map.samples_y = 40;
  for (int m : {1, 3, 999, 9998, 9999}) {
    height_map.max_height = m;
    srand(m + 1);
    fill([](int, int) { return rand() % 2 ? height_map.max_height : 0; });
    compute_shade_map();
    for (int x = 1; x < 39; x++)
      for (int y = 1; y < 39; y++) ASSERT_EQ(reference_shade(x, y, m), shade_map[x][y]) << m << " " << x << "," << y;
  }
}

// Any window of samples, at the edges, across them and past the height
// map's extent, has the values the whole shade map has there.
TEST_F(ShadeMap, WindowsEqualTheWholeMap) {
  for (int m : {0, 1, 613}) {
    height_map.samples_x = 37;
    height_map.samples_y = 29;
    height_map.max_height = m;
    srand(m + 5);
    fill([](int x, int y) {
      const int h = rand() % (height_map.max_height + 1);
      return (x + y) % 17 == 0 ? h + 20000 : h;  // some samples far above the highest
    });
    compute_shade_map();
    prepare_relief();
    uint8_t window[45 * 40];
    for (int trial = 0; trial < 60; trial++) {
      const int x0 = rand() % 40, x1 = x0 + 1 + rand() % 6, y0 = rand() % 33, y1 = y0 + 1 + rand() % 8;
      relief_columns(x0, x1, y0, y1, window, y1 - y0);
      for (int x = x0; x < x1; x++)
        for (int y = y0; y < y1; y++) {
          const int whole = x < 37 && y < 29 ? shade_map[x][y] : 0;
          ASSERT_EQ(whole, window[(x - x0) * (y1 - y0) + (y - y0)]) << m << " " << x << "," << y;
          ASSERT_EQ(whole, relief_at(x, y));
        }
      // Every step-th sample of a column, from anywhere, edges included.
      const int step = 1 + rand() % 5, count = 1 + rand() % 9;
      relief_samples(x0, y0, step, count, window);
      for (int k = 0; k < count; k++) ASSERT_EQ(relief_at(x0, y0 + k * step), window[k]) << m << " " << x0;
      // And every step-th sample of a row from the rows around it as a file
      // has them, the outermost rows standing for their inner neighbours.
      const int y = y0 % 29, inner = std::min(std::max(y, 1), 27), along = std::min(count, (36 - x0 % 37) / step + 1);
      uint16_t rows[3][37];
      for (int r = 0; r < 3; r++)
        for (int x = 0; x < 37; x++) rows[r][x] = height_map.heights[x][inner - 1 + r];
      relief_row_samples(rows[0], rows[1], rows[2], x0 % 37, step, along, window);
      for (int k = 0; k < along; k++) ASSERT_EQ(relief_at(x0 % 37 + k * step, y), window[k]) << m << " " << y;
    }
  }
}

TEST_F(ShadeMap, SamplesAboveTheHighestPointDoNotOverflow) {
  // Left behind by a failed load: far above max_height, gradients of millions.
  height_map.max_height = 10;
  fill([](int x, int) { return x < 4 ? 30000 : 0; });
  compute_shade_map();
  EXPECT_EQ(0, shade_map[4][5]);
  EXPECT_EQ(127, shade_map[2][5]);
  fill([](int x, int) { return x < 4 ? 0 : 30000; });
  compute_shade_map();
  EXPECT_EQ(142, shade_map[4][5]);
}

TEST_F(ShadeMap, EdgesRepeatTheirInnerNeighbours) {
  srand(11);
  fill([](int, int) { return rand() % 101; });
  compute_shade_map();
  int sx = height_map.samples_x, sy = height_map.samples_y;
  bool varied = false;
  for (int x = 1; x < sx - 1; x++) {
    EXPECT_EQ(shade_map[x][1], shade_map[x][0]) << x;
    EXPECT_EQ(shade_map[x][sy - 2], shade_map[x][sy - 1]) << x;
    varied |= shade_map[x][3] != shade_map[x][4];
  }
  for (int y = 0; y < sy; y++) {
    EXPECT_EQ(shade_map[1][y], shade_map[0][y]) << y;
    EXPECT_EQ(shade_map[sx - 2][y], shade_map[sx - 1][y]) << y;
  }
  EXPECT_EQ(shade_map[1][1], shade_map[0][0]);
  EXPECT_EQ(shade_map[sx - 2][sy - 2], shade_map[sx - 1][sy - 1]);
  EXPECT_TRUE(varied);
  expect_extent_only();
}

TEST_F(ShadeMap, TinyAndEmptyMapsAreSafe) {
  height_map.samples_x = 0;
  compute_shade_map();
  EXPECT_EQ(99, shade_map[0][12]);
  height_map.samples_x = 2;
  height_map.samples_y = 5;
  fill([](int x, int y) { return x * 50 + y; });
  compute_shade_map();
  expect_everywhere(127);
}

}  // namespace
