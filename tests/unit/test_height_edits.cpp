// The height commands on areas against a plain model of the samples written
// here, at the map's edges and the height bounds; then undo and redo walk
// through the exact states. The brush raises each tile once per stroke, and
// a step keeps only what changed.
#include <random>
#include <vector>

#include "core/work_threads.h"
#include "edit/edit_history.h"
#include "edit/height_edits.h"
#include "tests/unit/harness.h"

namespace {

enum { COLUMNS = 9, ROWS = 7, SX = 4 * COLUMNS, SY = 4 * ROWS };

using Samples = std::vector<int>;  // [X * SY + Y]

Samples samples() {
  Samples s;
  for (int x = 0; x < SX; x++)
    for (int y = 0; y < SY; y++) s.push_back(height_map.heights[x][y]);
  return s;
}

TileRect random_rect(std::mt19937 &r) {
  const int x0 = (int)(r() % COLUMNS), x1 = (int)(r() % COLUMNS), y0 = (int)(r() % ROWS), y1 = (int)(r() % ROWS);
  return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

int mean(long long sum, long long n) { return (int)((sum + n / 2) / n); }

// The commands as the documents state them, on the model.
void model_rule(Samples &s, int rule, const TileRect &t, int value, const int32_t clip[4][4]) {
  const Samples old = s;
  const int x0 = 4 * t.left, x1 = 4 * t.right + 3, y0 = 4 * t.top, y1 = 4 * t.bottom + 3;
  const int step = height_map.height_step, top = 9999;
  long long sum = 0, n = 0;
  for (int x = x0; x <= x1; x++)
    for (int y = y0; y <= y1; y++) sum += old[x * SY + y], n++;
  const int w = x1 - x0 + 1, h = y1 - y0 + 1, along_x = w > h, lines = along_x ? w : h;
  long long first = 0, last = 0;
  for (int k = 0; k < (along_x ? h : w); k++) {
    first += along_x ? old[x0 * SY + y0 + k] : old[(x0 + k) * SY + y0];
    last += along_x ? old[x1 * SY + y0 + k] : old[(x0 + k) * SY + y1];
  }
  for (int x = x0; x <= x1; x++)
    for (int y = y0; y <= y1; y++) {
      int &v = s[x * SY + y];
      const int i = (x - x0) % 4, j = (y - y0) % 4, c = along_x ? x - x0 : y - y0, across = along_x ? h : w;
      switch (rule) {
        case HEIGHTS_RAISE: v = v < top - step ? v + step : std::max(v, top); break;
        case HEIGHTS_LOWER: v = v > step ? v - step : 0; break;
        case HEIGHTS_TURN: v = old[(x - i + j) * SY + (y - j + 3 - i)]; break;
        case HEIGHTS_PASTE: v = clip[j][i]; break;
        case HEIGHTS_LEVEL: v = mean(sum, n); break;
        case HEIGHTS_SET: v = value; break;
        case HEIGHTS_SMOOTH: {
          long long near = 0, count = 0;
          for (int dx = -1; dx <= 1; dx++)
            for (int dy = -1; dy <= 1; dy++)
              if (x + dx >= 0 && x + dx < SX && y + dy >= 0 && y + dy < SY) near += old[(x + dx) * SY + y + dy], count++;
          v = mean(near, count);
          break;
        }
        default: {
          // floor(a + (b - a) c / (lines - 1) + 1/2), a = first / across, b = last / across.
          const long long num = first * (lines - 1 - c) + last * c, den = (long long)across * (lines - 1);
          v = (int)((2 * num + den) / (2 * den));
        }
      }
    }
}

class HeightEdits : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    tile_map.tiles_x = COLUMNS;
    tile_map.tiles_y = ROWS;
    height_map.samples_x = SX;
    height_map.samples_y = SY;
    height_map.heights_loaded = 1;
    // The highest height at opening: raises go past it up to 9999, and never
    // lower the samples above it.
    height_map.max_height = 500;
    height_map.height_step = 250;
    std::mt19937 r(5);
    // Half the values at the bounds, where raising or lowering changes nothing.
    for (int x = 0; x < SX; x++)
      for (int y = 0; y < SY; y++) height_map.heights[x][y] = (uint16_t)(r() % 2 ? r() % 10000 : r() % 2 * 9999);
  }
};

TEST_F(HeightEdits, CommandsMatchTheModelAndUndoWalksBackExactly) {
  static const char *const names[] = {"heights raised on", "heights lowered on", "heights rotated on",
                                      "heights pasted on", "level of",           "smooth of",
                                      "set height of",     "ramp of",            "height paste of",
                                      "height fill of"};
  for (int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    set_work_threads(threads);
    history_clear();
    std::mt19937 r(7 + threads);
    std::vector<Samples> states{samples()};
    std::vector<std::string> texts;
    HeightStamp stamp;
    int32_t clip[4][4];
    for (auto &row : clip)
      for (int32_t &v : row) v = (int32_t)(r() % 10000);
    for (int n = 0; n < 300; n++) {
      Samples want = states.back();
      const TileRect t = random_rect(r);
      const int command = (int)(r() % 11);
      SCOPED_TRACE(testing::Message() << "command " << n << ": " << command);
      if (command == 10) {
        copy_height_stamp(&stamp, t);
        continue;
      }
      if (command < 8) {
        const int value = (int)(r() % 10000);
        heights_apply(command, t, value, clip);
        model_rule(want, command, t, value, clip);
      } else if (stamp.w == 0) {
        continue;
      } else if (command == 8) {
        // Partly off the map: cells there are skipped.
        const int x0 = t.left - 2, y0 = t.top - 3;
        heights_stamp(stamp, x0, y0);
        for (int x = std::max(4 * x0, 0); x < std::min(4 * (x0 + stamp.w), (int)SX); x++)
          for (int y = std::max(4 * y0, 0); y < std::min(4 * (y0 + stamp.h), (int)SY); y++)
            want[x * SY + y] = stamp.at(x - 4 * x0, y - 4 * y0);
      } else {
        heights_fill(stamp, t);
        for (int x = 4 * t.left; x <= 4 * t.right + 3; x++)
          for (int y = 4 * t.top; y <= 4 * t.bottom + 3; y++)
            want[x * SY + y] = stamp.at((x - 4 * t.left) % (4 * stamp.w), (y - 4 * t.top) % (4 * stamp.h));
      }
      ASSERT_EQ(want, samples());
      if (want == states.back()) continue;  // no step
      states.push_back(want);
      texts.push_back(names[command]);
    }
    int x, y;
    char text[HISTORY_TEXT_SIZE];
    for (size_t n = states.size() - 1; n > 0; n--) {
      ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
      ASSERT_EQ(states[n - 1], samples()) << "undo " << n << ": " << text;
      ASSERT_EQ(0, std::string(text).rfind(texts[n - 1], 0)) << text;
      EXPECT_TRUE(history_map_changed(HISTORY_HEIGHT_MAP) == (n > 1)) << n;
      EXPECT_FALSE(history_map_changed(HISTORY_TILE_MAP));
    }
    EXPECT_EQ(1, history_undo(&x, &y, text, sizeof(text)));
    for (size_t n = 1; n < states.size(); n++) {
      ASSERT_EQ(0, history_redo(&x, &y, text, sizeof(text)));
      ASSERT_EQ(states[n], samples()) << "redo " << n << ": " << text;
    }
  }
  set_work_threads(0);
}

// A stroke that passes a tile many times raises it once; Ctrl lowers.
TEST_F(HeightEdits, BrushChangesEachTileOncePerStroke) {
  for (int kind : {BRUSH_RAISE_HEIGHTS, BRUSH_LOWER_HEIGHTS}) {
    Samples want = samples();
    stroke_begin(kind, StampCell());
    for (int k = 0; k < 4; k++) stroke_line(0, 2, 5, 2, 3);  // tiles 0..6 x 1..3, back and forth
    stroke_line(5, 2, 0, 2, 3);
    stroke_end();
    const int raise = kind == BRUSH_RAISE_HEIGHTS;
    model_rule(want, raise ? HEIGHTS_RAISE : HEIGHTS_LOWER, {0, 1, 6, 3}, 0, nullptr);
    ASSERT_EQ(want, samples());
    int x, y;
    char text[HISTORY_TEXT_SIZE];
    ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
    EXPECT_STREQ("height stroke of 21 tiles", text);
    ASSERT_EQ(0, history_redo(&x, &y, text, sizeof(text)));
    EXPECT_EQ(want, samples());
  }
}

// Levelling a large, nearly level area keeps only the few samples that
// changed; one that changes nothing keeps nothing.
TEST_F(HeightEdits, StepsKeepOnlyTheChangedSamples) {
  tile_map.tiles_x = tile_map.tiles_y = 1000;
  height_map.samples_x = height_map.samples_y = 4000;
  for (int x = 0; x < 4000; x++)
    for (int y = 0; y < 4000; y++) height_map.heights[x][y] = 500;
  for (int k = 0; k < 40; k++) height_map.heights[100 * k][3999 - 97 * k] = 501;
  const TileRect all = {0, 0, 999, 999};
  heights_apply(HEIGHTS_LEVEL, all, 0, nullptr);
  EXPECT_EQ(500, height_map.heights[0][3999]);
  EXPECT_LE(history_area_bytes(), 1 << 20);  // not the 32 MB of the area
  const long long bytes = history_area_bytes();
  heights_apply(HEIGHTS_SET, all, 500, nullptr);
  EXPECT_EQ(bytes, history_area_bytes());
}

}  // namespace
