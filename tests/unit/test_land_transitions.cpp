// Land transition pictures over random land sets: every pair of pictures
// that can lie side by side in any turns with the same two corner lands on
// the shared edge meets without a seam, each corner's square is its land
// alone and its corner point that land's own pixel, variants keep their
// edges, and the patterns are exactly the quarter-turn classes of all
// corner words (counted by brute force here).
#include <map>
#include <random>
#include <set>
#include <vector>

#include "images/land_transitions.h"
#include "tests/unit/harness.h"

namespace {

// A picture of smooth random waves with grain: a land's texture of any size.
std::vector<unsigned char> random_picture(std::mt19937 &r, int w, int h) {
  std::vector<unsigned char> rgb((size_t)w * h * 3);
  const int base[3] = {(int)(r() % 200), (int)(r() % 200), (int)(r() % 200)};
  const float fx = 0.05f + (r() % 100) / 300.0f, fy = 0.05f + (r() % 100) / 300.0f;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      for (int c = 0; c < 3; c++)
        rgb[((size_t)y * w + x) * 3 + c] = (unsigned char)(base[c] + 25 * (1 + std::sin(fx * x + fy * y * (c + 1))) + r() % 8);
  return rgb;
}

// The picture turned r quarter turns clockwise, as a tile of that rotation shows it.
std::vector<unsigned char> turned(const std::vector<unsigned char> &rgb, int n, int r) {
  std::vector<unsigned char> out(rgb);
  for (int k = 0; k < r; k++) {
    std::vector<unsigned char> next(out.size());
    for (int y = 0; y < n; y++)
      for (int x = 0; x < n; x++)
        memcpy(&next[((size_t)y * n + x) * 3], &out[((size_t)(n - 1 - x) * n + y) * 3], 3);
    out.swap(next);
  }
  return out;
}

// The mean difference of columns a and b.
double column_gap(const std::vector<unsigned char> &p, int n, int a, const std::vector<unsigned char> &q, int b) {
  long sum = 0;
  for (int y = 0; y < n; y++)
    for (int c = 0; c < 3; c++) sum += std::abs((int)p[((size_t)y * n + a) * 3 + c] - (int)q[((size_t)y * n + b) * 3 + c]);
  return (double)sum / (3.0 * n);
}

struct Laid {
  std::vector<unsigned char> rgb;  // turned
  double inner_east, inner_west;   // the gap of the two columns next to each edge
};

TEST(LandTransitions, PatternsAreTheQuarterTurnClassesOfEveryCornerWord) {
  for (int lands = 1; lands <= LAND_SET_LANDS_MAX; lands++) {
    const std::vector<LandCorners> patterns = land_set_patterns(lands);
    std::map<LandCorners, int> class_of;
    for (size_t k = 0; k < patterns.size(); k++)
      for (int r = 0; r < 4; r++) {
        const LandCorners w = turned_corners(patterns[k], r);
        ASSERT_TRUE(!class_of.count(w) || class_of[w] == (int)k) << lands;
        class_of[w] = (int)k;
      }
    const int words = lands * lands * lands * lands;
    EXPECT_EQ(words, (int)class_of.size()) << lands;  // every word in exactly one class
    EXPECT_EQ((words + lands * lands + 2 * lands) / 4, (int)patterns.size()) << lands;
  }
  EXPECT_EQ(6u, land_set_patterns(2).size());
  EXPECT_EQ(24u, land_set_patterns(3).size());
  EXPECT_EQ(70u, land_set_patterns(4).size());
}

TEST(LandTransitions, NeighboursInAnyTurnsMeetWithoutASeamAndCornersAreTheirLands) {
  std::mt19937 r(46);
  for (int round = 0; round < 10; round++) {
    const int lands = 2 + round % 4, n = 16 << (r() % 3), variants = 1 + (int)(r() % 3);
    std::vector<std::vector<unsigned char>> pictures;
    std::vector<LandSource> sources;
    for (int l = 0; l < lands; l++) {
      const int w = 10 + (int)(r() % 140), h = 10 + (int)(r() % 140);
      pictures.push_back(random_picture(r, w, h));
      sources.push_back({"Land" + std::to_string(r() % 1000) + "_" + std::to_string(l), w, h, pictures.back().data()});
    }
    LandSetStyle style;
    style.size = n;
    style.seed = r();
    style.border = (int)(r() % 101);
    LandTransitions set;
    prepare_land_transitions(sources, style, &set);
    const std::vector<LandCorners> patterns = land_set_patterns(lands);
    const int m = n - 1, pure = n / 8;
    std::map<int, std::vector<unsigned char>> one_land;  // land -> its one-land picture, variant 0
    std::map<std::pair<int, int>, std::vector<Laid>> east, west;  // by the edge's lands, north end first
    for (LandCorners p : patterns)
      for (int v = 0; v < variants; v++) {
        std::vector<unsigned char> rgb((size_t)n * n * 3);
        std::vector<float> weights((size_t)n * n * 4);
        make_land_transition(set, p, v, rgb.data(), weights.data());
        if (v == 0 && p == land_corners(corner_land(p, 0), corner_land(p, 0), corner_land(p, 0), corner_land(p, 0)))
          one_land[corner_land(p, 0)] = rgb;
        // Each corner's square holds its land alone.
        const int corner_x[4] = {0, m, m, 0}, corner_y[4] = {0, 0, m, m};
        for (int c = 0; c < 4; c++)
          for (int dy = 0; dy < pure; dy++)
            for (int dx = 0; dx < pure; dx++) {
              const int x = corner_x[c] ? m - dx : dx, y = corner_y[c] ? m - dy : dy;
              ASSERT_FLOAT_EQ(1.0f, weights[((size_t)y * n + x) * 4 + c]) << round << " corner " << c;
            }
        for (int t = 0; t < 4; t++) {
          const LandCorners c = turned_corners(p, t);
          Laid laid{turned(rgb, n, t), 0, 0};
          laid.inner_east = column_gap(laid.rgb, n, m, laid.rgb, m - 1);
          laid.inner_west = column_gap(laid.rgb, n, 0, laid.rgb, 1);
          east[{corner_land(c, 1), corner_land(c, 2)}].push_back(laid);
          west[{corner_land(c, 0), corner_land(c, 3)}].push_back(laid);
        }
      }
    // A corner point is its land's own pixel, whatever the pattern.
    for (LandCorners p : patterns) {
      std::vector<unsigned char> rgb((size_t)n * n * 3);
      make_land_transition(set, p, variants - 1, rgb.data());
      const std::vector<unsigned char> &own = one_land[corner_land(p, 0)];
      ASSERT_EQ(0, memcmp(&own[0], &rgb[0], 3)) << round;
    }
    long pairs = 0;
    for (const auto &k : east) {
      const std::vector<Laid> &left = k.second, &right = west[k.first];
      ASSERT_FALSE(right.empty());
      for (const Laid &a : left)
        for (const Laid &b : right) {
          const double seam = column_gap(a.rgb, n, m, b.rgb, 0);
          ASSERT_LE(seam, std::max(a.inner_east, b.inner_west)) << "round " << round << " lands " << k.first.first << ","
                                                                << k.first.second;
          pairs++;
        }
    }
    EXPECT_GT(pairs, 0);
  }
}

TEST(LandTransitions, VariantsDifferInsideOnlyAndBordersWander) {
  std::mt19937 r(7);
  const int n = 64;
  std::vector<unsigned char> a = random_picture(r, 80, 80), b = random_picture(r, 64, 64);
  LandTransitions set;
  LandSetStyle style;
  style.size = n;
  prepare_land_transitions({{"Water", 80, 80, a.data()}, {"Sand", 64, 64, b.data()}}, style, &set);
  for (LandCorners p : land_set_patterns(2)) {
    std::vector<unsigned char> first((size_t)n * n * 3), second(first.size());
    make_land_transition(set, p, 0, first.data());
    make_land_transition(set, p, 1, second.data());
    EXPECT_NE(first, second);
    for (int k = 0; k < n; k++)  // the outer ring of pixels
      for (int edge = 0; edge < 4; edge++) {
        const int x = edge == 0 ? k : edge == 1 ? n - 1 : edge == 2 ? k : 0, y = edge == 0 ? 0 : edge == 1 ? k : edge == 2 ? n - 1 : k;
        ASSERT_EQ(0, memcmp(&first[((size_t)y * n + x) * 3], &second[((size_t)y * n + x) * 3], 3));
      }
  }
  // Half water, half sand: where the sand begins differs from column to column.
  std::vector<unsigned char> rgb((size_t)n * n * 3);
  std::vector<float> weights((size_t)n * n * 4);
  make_land_transition(set, land_corners(1, 1, 2, 2), 0, rgb.data(), weights.data());
  std::set<int> rows;
  for (int x = 0; x < n; x++) {
    int y = 0;
    while (y < n && weights[((size_t)y * n + x) * 4 + 3] < 0.5f) y++;
    rows.insert(y);
  }
  EXPECT_GT(rows.size(), 3u);
}

}  // namespace
