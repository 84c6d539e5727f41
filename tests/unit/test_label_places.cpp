// The label placer against a model that paints every taken pixel into a
// grid (a runway's shape only where it has pixels): the same places chosen
// (also where a label may go farther out), the same labels left out, no two
// placed labels sharing a pixel, and a label with nothing near it where
// labels have always been drawn.
#include <algorithm>
#include <vector>

#include "render/export/label_places.h"
#include "tests/unit/harness.h"

namespace {

enum { GRID = 240 };

struct PixelGrid {
  std::vector<char> taken = std::vector<char>(GRID * GRID, 0);
  // Pixels outside the grid count as free; the labels stay well inside it.
  bool free(const LabelBox &b) const {
    for (int y = b.y1; y <= b.y2; y++)
      for (int x = b.x1; x <= b.x2; x++)
        if (x >= 0 && y >= 0 && x < GRID && y < GRID && taken[(size_t)(y * GRID + x)]) return false;
    return true;
  }
  void take(const LabelBox &b) {
    for (int y = b.y1; y <= b.y2; y++)
      for (int x = b.x1; x <= b.x2; x++)
        if (x >= 0 && y >= 0 && x < GRID && y < GRID) taken[(size_t)(y * GRID + x)] = 1;
  }
};

TEST(LabelPlaces, AgreeWithAPixelModel) {
  srand(6);
  for (int round = 0; round < 200; round++) {
    LabelPlacer placer;
    PixelGrid model;
    std::vector<LabelBox> placed;
    const int runways = rand() % 4;
    for (int r = 0; r < runways; r++) {
      const int x = 40 + rand() % 160, y = 40 + rand() % 160;
      const LabelBox b = {x, y, x + rand() % 40, y + rand() % 40};
      if (r % 2 == 0) {
        placer.block(b);
        model.take(b);
        continue;
      }
      // A shape: the diagonal of its box, which labels may straddle.
      const int d = std::min(b.x2 - b.x1, b.y2 - b.y1);
      placer.block(b, [=](const LabelBox &l) {
        for (int k = 0; k <= d; k++)
          if (x + k >= l.x1 && x + k <= l.x2 && y + k >= l.y1 && y + k <= l.y2) return true;
        return false;
      });
      for (int k = 0; k <= d; k++) model.take(LabelBox{x + k, y + k, x + k, y + k});
    }
    const int labels = 1 + rand() % 30;
    for (int n = 0; n < labels; n++) {
      const int x = 60 + rand() % 120, y = 60 + rand() % 120, w = 5 + rand() % 40, h = 6 + rand() % 6;
      // Every other label may go farther out: the eight places again and
      // again, each round LABEL_GAP_STEP farther, until the gap passes farthest.
      const int farthest = n % 2 ? LABEL_GAP + rand() % 50 : LABEL_GAP;
      int want = -1, gap = LABEL_GAP;
      for (;; gap += LABEL_GAP_STEP) {
        for (int k = 0; k < LABEL_PLACES && want < 0; k++)
          if (model.free(label_place(x, y, w, h, k, gap))) want = k;
        if (want >= 0 || gap >= farthest) break;
      }
      LabelBox got;
      const int result = n % 2 ? placer.place_out_to(x, y, w, h, farthest, &got) : placer.place(x, y, w, h, &got);
      ASSERT_EQ(want < 0 ? 1 : 0, result) << "round " << round << " label " << n;
      if (want < 0) continue;
      const LabelBox expected = label_place(x, y, w, h, want, gap);
      ASSERT_TRUE(got.x1 == expected.x1 && got.y1 == expected.y1 && got.x2 == expected.x2 && got.y2 == expected.y2);
      ASSERT_EQ(w - 1, got.x2 - got.x1);
      ASSERT_EQ(h - 1, got.y2 - got.y1);
      for (const LabelBox &other : placed) ASSERT_FALSE(boxes_overlap(got, other));
      model.take(got);
      placed.push_back(got);
    }
  }
  // Alone, a label keeps its old place: right of the mark, its top 5 above it.
  LabelPlacer alone;
  LabelBox b;
  ASSERT_EQ(0, alone.place(100, 50, 30, 9, &b));
  EXPECT_TRUE(b.x1 == 106 && b.y1 == 45 && b.x2 == 135 && b.y2 == 53);
}

}  // namespace
