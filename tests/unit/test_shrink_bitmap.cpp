#include <cstdint>
#include <cstdlib>

#include "images/shrink_bitmap.h"
#include "tests/unit/harness.h"

namespace {

uint32_t &at(BITMAP *b, int x, int y) { return ((uint32_t *)b->line[y])[x]; }

// A source whose pixel (x, y) has the bytes 10x + y, 20y, 5x + 3y + 1, 0.
BITMAP *numbered(int w, int h) {
  BITMAP *b = create_bitmap_ex(32, w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      at(b, x, y) = (uint32_t)((10 * x + y) << 16 | (20 * y) << 8 | (5 * x + 3 * y + 1));
  return b;
}

uint32_t average(std::initializer_list<uint32_t> pixels) {
  uint32_t s0 = 0, s1 = 0, s2 = 0, n = 0;
  for (uint32_t p : pixels) {
    s0 += p & 0xFF;
    s1 += (p >> 8) & 0xFF;
    s2 += (p >> 16) & 0xFF;
    n++;
  }
  return (s2 / n) << 16 | (s1 / n) << 8 | (s0 / n);
}

TEST(ShrinkBitmap, PartialEdgeBlocksAverageWhatLiesInside) {
  BITMAP *src = numbered(5, 3);
  BITMAP *out = shrink_bitmap(src, 2, 2);
  ASSERT_NE(nullptr, out);
  EXPECT_EQ(3, out->w);
  EXPECT_EQ(2, out->h);
  EXPECT_EQ(32, bitmap_color_depth(out));
  EXPECT_EQ(at(src, 4, 2), at(out, 2, 1));
  EXPECT_EQ(average({at(src, 0, 0), at(src, 1, 0), at(src, 0, 1), at(src, 1, 1)}), at(out, 0, 0));
  EXPECT_EQ(average({at(src, 4, 0), at(src, 4, 1)}), at(out, 2, 0));
  EXPECT_EQ(average({at(src, 2, 2), at(src, 3, 2)}), at(out, 1, 1));
  destroy_bitmap(out);
  destroy_bitmap(src);
}

TEST(ShrinkBitmap, AveragesTruncateAndTheTopByteIsCleared) {
  BITMAP *src = create_bitmap_ex(32, 4, 4);
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++) at(src, x, y) = 0xFF000000u | (uint32_t)(x + y == 0 ? 0x030201 : 0);
  BITMAP *out = shrink_bitmap(src, 4, 4);
  ASSERT_NE(nullptr, out);
  EXPECT_EQ(0u, at(out, 0, 0));  // 3/16, 2/16, 1/16 all truncate to 0

  BITMAP *same = shrink_bitmap(src, 1, 1);
  ASSERT_NE(nullptr, same);
  EXPECT_EQ(0x030201u, at(same, 0, 0));
  EXPECT_EQ(0u, at(same, 3, 3));
  destroy_bitmap(same);
  destroy_bitmap(out);
  destroy_bitmap(src);
}

TEST(ShrinkBitmap, UnequalFactorsAndLargeBlocks) {
  BITMAP *src = numbered(7, 9);
  BITMAP *out = shrink_bitmap(src, 3, 4);
  ASSERT_NE(nullptr, out);
  EXPECT_EQ(3, out->w);
  EXPECT_EQ(3, out->h);
  EXPECT_EQ(average({at(src, 6, 8)}), at(out, 2, 2));
  destroy_bitmap(out);

  // A factor beyond the size gives one pixel, the mean of everything.
  out = shrink_bitmap(src, 100, 100);
  ASSERT_NE(nullptr, out);
  EXPECT_EQ(1, out->w);
  EXPECT_EQ(1, out->h);
  uint32_t s0 = 0, s1 = 0, s2 = 0;
  for (int y = 0; y < 9; y++)
    for (int x = 0; x < 7; x++) {
      s0 += at(src, x, y) & 0xFF;
      s1 += (at(src, x, y) >> 8) & 0xFF;
      s2 += (at(src, x, y) >> 16) & 0xFF;
    }
  EXPECT_EQ((s2 / 63) << 16 | (s1 / 63) << 8 | (s0 / 63), at(out, 0, 0));
  destroy_bitmap(out);
  destroy_bitmap(src);
}

TEST(ShrinkBitmap, OtherDepthsAreReadThroughTheirColours) {
  BITMAP *src = create_bitmap_ex(16, 2, 2);
  int c = makecol16(248, 128, 64);
  clear_to_color(src, c);
  BITMAP *out = shrink_bitmap(src, 2, 2);
  ASSERT_NE(nullptr, out);
  EXPECT_EQ((uint32_t)makecol32(getr16(c), getg16(c), getb16(c)), at(out, 0, 0));
  destroy_bitmap(out);
  destroy_bitmap(src);
}

TEST(ShrinkBitmap, RefusesWhatItCannotShrink) {
  BITMAP *src = numbered(4, 4);
  EXPECT_EQ(nullptr, shrink_bitmap(src, 0, 2));
  EXPECT_EQ(nullptr, shrink_bitmap(src, 2, -1));
  EXPECT_EQ(nullptr, shrink_bitmap(nullptr, 2, 2));
  destroy_bitmap(src);
}

}  // namespace
