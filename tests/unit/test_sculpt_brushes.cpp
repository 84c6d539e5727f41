// The sculpt brushes against a plain model of one dab written here, the
// properties the erosion and flatten brushes promise, strokes whose dabs
// do not depend on how the pointer got there, and random strokes that undo
// and redo to the exact bytes.
#include <cmath>
#include <random>
#include <vector>

#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "edit/sculpt_brushes.h"
#include "tests/unit/harness.h"

namespace {

enum { COLUMNS = 16, ROWS = 12, SX = 4 * COLUMNS, SY = 4 * ROWS };

using Samples = std::vector<int>;  // [X * SY + Y]

Samples samples() {
  Samples s;
  for (int x = 0; x < SX; x++)
    for (int y = 0; y < SY; y++) s.push_back(height_map.heights[x][y]);
  return s;
}

long long differing(const Samples &a, const Samples &b) {
  long long n = 0;
  for (size_t k = 0; k < a.size(); k++) n += a[k] != b[k];
  return n;
}

// The falloff as the manual words it, in 1/65536.
long long model_weight(const SculptBrush &b, double d) {
  if (d >= b.radius) return 0;
  const double t = d / b.radius, inner = b.hardness / 100.0;
  if (b.falloff == SCULPT_FALLOFF_CONSTANT || t <= inner) return 65536;
  const double u = (t - inner) / (1 - inner);
  return std::lround(65536 * (b.falloff == SCULPT_FALLOFF_LINEAR ? 1 - u : 1 - 3 * u * u + 2 * u * u * u));
}

// h moved by the fraction k / 65536 of the way to goal, rounded half away from zero.
int towards(int h, int goal, long long k) {
  const long long d = goal - h, step = d >= 0 ? (d * k + 32768) / 65536 : -((-d * k + 32768) / 65536);
  return step ? (int)std::clamp(h + step, 0LL, 9999LL) : h;
}

double distance(int dx, int dy) { return std::sqrt((double)(dx * dx + dy * dy)); }

// One dab of any brush but erode on the model, from the samples before it.
Samples model_dab(const Samples &old, const SculptBrush &b, int cx, int cy, int target) {
  Samples s = old;
  const int r4 = std::max(1, b.radius / 4);
  double weighted = 0, weights = 0;
  for (int x = 0; x < SX; x++)
    for (int y = 0; y < SY; y++) {
      const long long w = model_weight(b, distance(x - cx, y - cy));
      weighted += w * sculpt_noise(b.seed, b.radius, x, y);
      weights += w;
    }
  for (int x = 0; x < SX; x++)
    for (int y = 0; y < SY; y++) {
      const long long w = model_weight(b, distance(x - cx, y - cy));
      const int h = old[x * SY + y];
      int &v = s[x * SY + y];
      const long long amount = (b.strength * w + 32768) / 65536, k = b.strength * w / 100;
      if (w == 0) continue;
      switch (b.kind) {
        case SCULPT_RAISE: v = amount > 0 && h < 9999 ? std::min(h + (int)amount, 9999) : h; break;
        case SCULPT_LOWER: v = amount > 0 && h > 0 ? std::clamp(h - (int)amount, 0, 9999) : h; break;
        case SCULPT_FLATTEN: v = towards(h, target, k); break;
        case SCULPT_SMOOTH: {
          long long sum = 0, n = 0;
          for (int i = std::max(x - r4, 0); i <= std::min(x + r4, SX - 1); i++)
            for (int j = std::max(y - r4, 0); j <= std::min(y + r4, SY - 1); j++) sum += old[i * SY + j], n++;
          v = towards(h, (int)((sum + n / 2) / n), k);
          break;
        }
        case SCULPT_NOISE: {
          const double n = sculpt_noise(b.seed, b.radius, x, y) - weighted / weights;
          const double scale = 100.0 * b.strength / (100.0 * 65536);
          const long long step = std::llround(scale * w * n);
          if (step) v = (int)std::clamp(h + step, 0LL, 9999LL);
          break;
        }
      }
    }
  return s;
}

class SculptBrushes : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    tile_map.tiles_x = COLUMNS;
    tile_map.tiles_y = ROWS;
    height_map.samples_x = SX;
    height_map.samples_y = SY;
    height_map.heights_loaded = 1;
    fill(7);
  }
  // Rough heights, a tenth at either bound and a few above the top.
  void fill(unsigned seed) {
    std::mt19937 r(seed);
    for (int x = 0; x < SX; x++)
      for (int y = 0; y < SY; y++) {
        const unsigned pick = r() % 20;
        height_map.heights[x][y] =
            (uint16_t)(pick == 0 ? 0 : pick == 1 ? 9999 : pick == 2 ? 10000 + r() % 50 : 3000 + (x * 131 + y * 71) % 900 + r() % 400);
      }
  }
};

// A dab at the middle, at an edge and at a corner, of each brush with each
// falloff, gives the model's samples; nothing at or beyond the rim moves.
TEST_F(SculptBrushes, DabsMatchTheModel) {
  const int places[][2] = {{30, 20}, {0, 17}, {SX - 1, SY - 1}, {-3, 5}};
  for (int kind : {SCULPT_RAISE, SCULPT_LOWER, SCULPT_SMOOTH, SCULPT_FLATTEN, SCULPT_NOISE})
    for (int falloff : {SCULPT_FALLOFF_SMOOTH, SCULPT_FALLOFF_LINEAR, SCULPT_FALLOFF_CONSTANT})
      for (int radius : {1, 2, 7, 13})
        for (const auto &at : places) {
          fill(kind * 100 + radius);
          SculptBrush b;
          b.kind = kind, b.falloff = falloff, b.radius = radius, b.strength = 35 + radius, b.hardness = 20, b.seed = 9;
          const Samples old = samples(), want = model_dab(old, b, at[0], at[1], 4321);
          const long long changed = sculpt_dab(b, at[0], at[1], 4321);
          ASSERT_EQ(want, samples()) << sculpt_kind_name(kind) << " falloff " << falloff << " radius " << radius
                                     << " at " << at[0] << ", " << at[1];
          EXPECT_EQ(differing(old, want), changed);
        }
}

TEST_F(SculptBrushes, FalloffIsFullInsideAndNothingAtTheRim) {
  for (int falloff : {SCULPT_FALLOFF_SMOOTH, SCULPT_FALLOFF_LINEAR, SCULPT_FALLOFF_CONSTANT}) {
    EXPECT_EQ(SCULPT_WEIGHT_ONE, sculpt_weight(falloff, 25, 40, 0));
    EXPECT_EQ(SCULPT_WEIGHT_ONE, sculpt_weight(falloff, 25, 40, 10));
    EXPECT_EQ(0, sculpt_weight(falloff, 25, 40, 40));
    EXPECT_EQ(0, sculpt_weight(falloff, 0, 1, 1));
    // Falling all the way, never rising.
    for (double d = 0; d < 40; d += 0.25) {
      EXPECT_GE(sculpt_weight(falloff, 0, 40, d), sculpt_weight(falloff, 0, 40, d + 0.25));
    }
  }
  EXPECT_LT(sculpt_weight(SCULPT_FALLOFF_SMOOTH, 0, 40, 39.5), 100);
  EXPECT_EQ(SCULPT_WEIGHT_ONE / 2, sculpt_weight(SCULPT_FALLOFF_LINEAR, 50, 40, 30));
}

// Every sample the flatten brush changes ends between where it was and the
// target, never past it, whatever the brush.
TEST_F(SculptBrushes, FlattenNeverMovesASampleAwayFromItsTarget) {
  std::mt19937 r(3);
  for (int k = 0; k < 60; k++) {
    SculptBrush b;
    b.kind = SCULPT_FLATTEN, b.radius = 1 + (int)(r() % 30), b.strength = 5 * (1 + (int)(r() % 20));
    b.falloff = (int)(r() % 3), b.hardness = (int)(r() % 101);
    const int target = (int)(r() % 10000);
    const Samples old = samples();
    sculpt_dab(b, (int)(r() % SX), (int)(r() % SY), target);
    const Samples now = samples();
    for (size_t p = 0; p < old.size(); p++) {
      if (old[p] == now[p]) continue;
      ASSERT_LE(std::abs(now[p] - target), std::abs(old[p] - target));
      ASSERT_TRUE((old[p] - target) * (now[p] - target) >= 0) << old[p] << " went past " << target << " to " << now[p];
    }
  }
}

// Erosion moves material downhill only: the sum stays, the highest sample
// never rises and the lowest never falls, nothing outside the brush moves,
// and a slope steeper than the talus gets gentler.
TEST_F(SculptBrushes, ErosionKeepsTheSumAndTheExtremes) {
  std::mt19937 r(11);
  for (int k = 0; k < 40; k++) {
    for (int x = 0; x < SX; x++)
      for (int y = 0; y < SY; y++) height_map.heights[x][y] = (uint16_t)(k % 2 ? r() % 10000 : 60 * x + 25 * y + r() % 200);
    SculptBrush b;
    b.kind = SCULPT_ERODE, b.radius = 2 + (int)(r() % 20), b.strength = 5 * (1 + (int)(r() % 20));
    b.falloff = (int)(r() % 3);
    const int cx = (int)(r() % SX), cy = (int)(r() % SY);
    const Samples old = samples();
    const long long changed = sculpt_dab(b, cx, cy, 0);
    const Samples now = samples();
    long long sum_old = 0, sum_now = 0;
    for (size_t p = 0; p < old.size(); p++) {
      sum_old += old[p], sum_now += now[p];
      const int x = (int)p / SY, y = (int)p % SY;
      if (distance(x - cx, y - cy) >= b.radius) {
        ASSERT_EQ(old[p], now[p]) << x << ", " << y;
      }
    }
    EXPECT_EQ(sum_old, sum_now);
    EXPECT_LE(*std::max_element(now.begin(), now.end()), *std::max_element(old.begin(), old.end()));
    EXPECT_GE(*std::min_element(now.begin(), now.end()), *std::min_element(old.begin(), old.end()));
    EXPECT_EQ(differing(old, now), changed);
    if (k % 2 && b.radius > 4) {
      EXPECT_GT(changed, 0);
    }
  }
  // A cliff in the middle of the brush: its step shrinks towards the talus.
  for (int x = 0; x < SX; x++)
    for (int y = 0; y < SY; y++) height_map.heights[x][y] = (uint16_t)(x < 30 ? 2000 : 1000);
  SculptBrush b;
  b.kind = SCULPT_ERODE, b.radius = 12, b.strength = 100;
  sculpt_dab(b, 30, 20, 0);
  EXPECT_LT(height_map.heights[29][20] - height_map.heights[30][20], 1000);
  EXPECT_GE(height_map.heights[29][20] - height_map.heights[30][20], 0);
}

// Dabs fall every quarter radius along the way, however many moves it took.
TEST_F(SculptBrushes, DabsDoNotDependOnThePointersSpeed) {
  SculptBrush b;
  b.kind = SCULPT_RAISE, b.radius = 8, b.strength = 20;
  for (int x = 0; x < SX; x++)
    for (int y = 0; y < SY; y++) height_map.heights[x][y] = 1000;
  const Samples start = samples();
  sculpt_stroke_begin(b, 6.5, 20.5, -1);
  sculpt_stroke_to(58.5, 20.5);
  sculpt_stroke_end();
  const Samples fast = samples();
  history_clear();
  for (int x = 0; x < SX; x++)
    for (int y = 0; y < SY; y++) height_map.heights[x][y] = 1000;
  sculpt_stroke_begin(b, 6.5, 20.5, -1);
  for (double x = 6.5; x < 58.5; x += 0.25) sculpt_stroke_to(x + 0.25, 20.5);
  sculpt_stroke_end();
  EXPECT_EQ(fast, samples());
  // A dab every 2 samples from 6 to 58: those within 8 of sample 30 raise it.
  long long raised = 0;
  for (int x = 6; x <= 58; x += 2) raised += (20 * model_weight(b, std::abs(x - 30)) + 32768) / 65536;
  EXPECT_EQ(1000 + raised, fast[30 * SY + 20]);
  EXPECT_EQ(1000, fast[30 * SY + 28]);
}

// Random strokes of every brush, each one step; undo back to the start and
// redo to the end give every sample back, the step says how many samples
// changed, and the journal's watcher learns at least those places. A stroke
// that changes nothing is no step.
TEST_F(SculptBrushes, StrokesUndoAndRedoToTheBytes) {
  static long long watched;
  history_watch([](const HistoryChange &c) {
    if (c.event == HISTORY_KEPT) watched = c.samples.listed;
  });
  std::mt19937 r(21);
  std::vector<Samples> states = {samples()};
  for (int k = 0; k < 30; k++) {
    SculptBrush b;
    b.kind = (int)(r() % SCULPT_KINDS), b.radius = 1 + (int)(r() % 24), b.strength = 5 * (1 + (int)(r() % 20));
    b.falloff = (int)(r() % 3), b.hardness = (int)(r() % 80), b.seed = r();
    const int steps = history_undo_count();
    const double x0 = (double)(r() % (SX + 10)) - 5, y0 = (double)(r() % (SY + 10)) - 5;
    const int target = r() % 2 ? -1 : (int)(r() % 10000);
    sculpt_stroke_begin(b, x0, y0, target);
    for (int m = (int)(r() % 5); m > 0; m--) {
      const double x1 = (double)(r() % 1000) / 10 - 20;
      sculpt_stroke_to(x1, (double)(r() % 700) / 10 - 10);
    }
    watched = -1;
    const long long changed = sculpt_stroke_end();
    const Samples now = samples();
    ASSERT_EQ(differing(states.back(), now), changed);
    ASSERT_EQ(steps + (changed > 0), history_undo_count());
    if (!changed) continue;
    // Also any sample a later dab put back, which undo swaps with itself.
    EXPECT_GE(watched, changed);
    int x, y;
    char text[HISTORY_TEXT_SIZE], want[HISTORY_TEXT_SIZE];
    ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
    snprintf(want, sizeof(want), "sculpt %s, %lld samples", sculpt_kind_name(b.kind), changed);
    EXPECT_STREQ(want, text);
    ASSERT_EQ(states.back(), samples());
    ASSERT_EQ(0, history_redo(&x, &y, text, sizeof(text)));
    states.push_back(now);
  }
  history_watch(nullptr);
  ASSERT_GT(states.size(), 20u);
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  while (history_undo(&x, &y, text, sizeof(text)) == 0) {}
  EXPECT_EQ(states.front(), samples());
  while (history_redo(&x, &y, text, sizeof(text)) == 0) {}
  EXPECT_EQ(states.back(), samples());

  // Raising where every sample is at the top changes nothing.
  for (int px = 0; px < SX; px++)
    for (int py = 0; py < SY; py++) height_map.heights[px][py] = 9999;
  const int steps = history_undo_count();
  SculptBrush raise;
  sculpt_stroke_begin(raise, 20, 20, -1);
  sculpt_stroke_to(40, 30);
  EXPECT_EQ(0, sculpt_stroke_end());
  EXPECT_EQ(steps, history_undo_count());
}

TEST(SculptText, StripAndSettingWords) {
  SculptBrush b;
  char text[64];
  sculpt_strip_text(b, -1, text, sizeof(text));
  EXPECT_STREQ("Sculpt: raise 24 samples 50 %", text);
  b.kind = SCULPT_FLATTEN, b.radius = 1, b.strength = 100;
  sculpt_strip_text(b, 1234, text, sizeof(text));
  EXPECT_STREQ("Sculpt: flatten 1 sample 100 % to 1234 m", text);
  EXPECT_EQ(SCULPT_FALLOFF_LINEAR, sculpt_falloff_named("Linear"));
  EXPECT_EQ(SCULPT_FALLOFF_CONSTANT, sculpt_falloff_named("constant"));
  EXPECT_EQ(-1, sculpt_falloff_named("soft"));
}

}  // namespace
