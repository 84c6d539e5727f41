// The area commands against a plain model of the grid written here, and
// the history of their steps: undo and redo walk back and forth through the
// exact states, and the steps stay within their memory bound.
#include <random>
#include <vector>

#include "edit/area_edits.h"
#include "edit/edit_history.h"
#include "tests/unit/harness.h"

namespace {

enum { COLUMNS = 23, ROWS = 17 };

using Grid = std::vector<Tile>;  // [x * ROWS + y]

bool same(const Tile &a, const Tile &b) {
  return a.texture == b.texture && a.rotation == b.rotation && a.tag == b.tag && a.extra[0] == b.extra[0] &&
         a.extra[1] == b.extra[1] && a.extra[2] == b.extra[2];
}

Grid grid() {
  Grid g;
  for (int x = 0; x < COLUMNS; x++)
    for (int y = 0; y < ROWS; y++) g.push_back(tile_at(x, y));
  return g;
}

bool equal(const Grid &a, const Grid &b) {
  for (size_t k = 0; k < a.size(); k++)
    if (!same(a[k], b[k])) return false;
  return true;
}

// The paste rule as the documents state it.
void paste(Grid &g, int x, int y, const StampCell &c) {
  if (x < 0 || y < 0 || x >= COLUMNS || y >= ROWS || c.texture <= 0) return;
  Tile &t = g[x * ROWS + y];
  t = {c.texture, c.rotation, c.tag, {c.extra, c.extra, c.extra}};
}

TileRect random_rect(std::mt19937 &r) {
  const int x0 = (int)(r() % COLUMNS), x1 = (int)(r() % COLUMNS), y0 = (int)(r() % ROWS), y1 = (int)(r() % ROWS);
  return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

class AreaEdits : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    tile_map.tiles_x = COLUMNS;
    tile_map.tiles_y = ROWS;
    texture_table.texture_count = 4;
    std::mt19937 r(3);
    for (int x = 0; x < COLUMNS; x++)
      for (int y = 0; y < ROWS; y++)
        tile_at(x, y) = {(int16_t)(r() % 3), (uint8_t)(r() % 4), (uint8_t)(r() % 3), {1, 2, (uint8_t)(r() % 9)}};
  }
};

// Random commands, each checked against the model; then every step undone
// and redone, each state exactly as it was.
TEST_F(AreaEdits, CommandsMatchTheModelAndUndoWalksBackExactly) {
  std::mt19937 r(11);
  std::vector<Grid> states{grid()};
  TileStamp stamp;
  for (int n = 0; n < 400; n++) {
    Grid want = states.back();
    const TileRect rect = random_rect(r);
    const int command = (int)(r() % 8);
    SCOPED_TRACE(testing::Message() << "command " << n << ": " << command);
    if (command == 0) {
      copy_stamp(&stamp, rect.left - 1, rect.top, rect.right, rect.bottom + 1);  // cells off the map too
      continue;
    }
    if (command <= 5) {
      const int rule = command - 1;
      area_apply(rule, rect, stamp);
      for (int x = rect.left; x <= rect.right; x++)
        for (int y = rect.top; y <= rect.bottom; y++) {
          Tile &t = want[x * ROWS + y];
          if (rule == AREA_RAISE_TEXTURE && t.texture < 4) t.texture++;
          if (rule == AREA_LOWER_TEXTURE && t.texture > 1) t.texture--;
          if (rule == AREA_TURN) t.rotation = t.rotation < 3 ? t.rotation + 1 : 0;
          if (rule == AREA_NEXT_TAG) t.tag = t.tag < 2 ? t.tag + 1 : 0;
          if (rule == AREA_PASTE_CENTRE) paste(want, x, y, stamp.at(stamp.w / 2, stamp.h / 2));
        }
    } else if (command == 6) {
      const int x0 = rect.left - 2, y0 = rect.top - 3;
      if (r() % 2) {
        area_stamp(stamp, x0, y0);
        for (int i = 0; i < stamp.w; i++)
          for (int j = 0; j < stamp.h; j++) paste(want, x0 + i, y0 + j, stamp.at(i, j));
      } else {
        area_fill(stamp, rect);
        for (int x = rect.left; x <= rect.right; x++)
          for (int y = rect.top; y <= rect.bottom; y++)
            paste(want, x, y, stamp.at((x - rect.left) % stamp.w, (y - rect.top) % stamp.h));
      }
    } else {
      // Flood within the selection or the whole map: the model's region by
      // repeated growth until nothing joins.
      const int x = (int)(r() % COLUMNS), y = (int)(r() % ROWS);
      const bool within = r() % 2;
      const TileRect all = {0, 0, COLUMNS - 1, ROWS - 1}, &b = within ? rect : all;
      std::vector<char> in(COLUMNS * ROWS, 0);
      const bool inside = x >= b.left && x <= b.right && y >= b.top && y <= b.bottom;
      if (inside) in[x * ROWS + y] = 1;
      for (bool grew = inside; grew;) {
        grew = false;
        for (int tx = b.left; tx <= b.right; tx++)
          for (int ty = b.top; ty <= b.bottom; ty++) {
            if (in[tx * ROWS + ty] || want[tx * ROWS + ty].texture != want[x * ROWS + y].texture) continue;
            const bool joined = (tx > b.left && in[(tx - 1) * ROWS + ty]) || (tx < b.right && in[(tx + 1) * ROWS + ty]) ||
                                (ty > b.top && in[tx * ROWS + ty - 1]) || (ty < b.bottom && in[tx * ROWS + ty + 1]);
            if (joined) in[tx * ROWS + ty] = grew = 1;
          }
      }
      const long long region = std::count(in.begin(), in.end(), 1);
      EXPECT_EQ(region, area_flood(stamp.centre(), x, y, within ? &rect : nullptr));
      if (!inside) continue;  // nothing happens: no step
      const StampCell cell = stamp.centre();
      for (int k = 0; k < COLUMNS * ROWS; k++)
        if (in[k]) paste(want, k / ROWS, k % ROWS, cell);
    }
    ASSERT_TRUE(equal(want, grid()));
    // A command that changed nothing is no step.
    if (!equal(want, states.back())) states.push_back(want);
  }
  // A stroke of a few random lines, each tile painted once.
  stroke_begin(BRUSH_TILES, stamp.centre());
  for (int k = 0; k < 5; k++) stroke_line((int)(r() % 40) - 8, (int)(r() % 30) - 6, (int)(r() % 40) - 8, (int)(r() % 30) - 6, 1 + k);
  stroke_end();
  if (!equal(grid(), states.back())) states.push_back(grid());

  int x, y;
  char text[HISTORY_TEXT_SIZE];
  for (size_t n = states.size() - 1; n > 0; n--) {
    ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
    ASSERT_TRUE(equal(states[n - 1], grid())) << "undo " << n << ": " << text;
  }
  EXPECT_EQ(1, history_undo(&x, &y, text, sizeof(text)));
  for (size_t n = 1; n < states.size(); n++) {
    ASSERT_EQ(0, history_redo(&x, &y, text, sizeof(text)));
    ASSERT_TRUE(equal(states[n], grid())) << "redo " << n << ": " << text;
  }
}

// A line with a 1-tile brush paints exactly its tiles; a square brush covers
// x - (n - 1) / 2 .. x + n / 2. The step names what it painted and undo goes
// to the middle of it.
TEST_F(AreaEdits, StrokesPaintTheLineAndTheirSquares) {
  const StampCell cell = {3, 1, 2, 7};
  stroke_begin(BRUSH_TILES, cell);
  stroke_line(2, 5, 9, 5, 1);  // 8 tiles
  stroke_line(9, 5, 12, 8, 1);  // 3 more on the diagonal
  stroke_line(20, 2, 20, 2, 4);  // 19..22 x 1..4: 16 tiles
  stroke_end();
  int painted = 0;
  for (int x = 0; x < COLUMNS; x++)
    for (int y = 0; y < ROWS; y++) {
      const bool line = (y == 5 && x >= 2 && x <= 9) || (x >= 10 && x <= 12 && y == x - 4);
      const bool square = x >= 19 && x <= 22 && y >= 1 && y <= 4;
      EXPECT_EQ(line || square, tile_at(x, y).texture == 3 && tile_at(x, y).extra[0] == 7) << x << "," << y;
      painted += line || square;
    }
  EXPECT_EQ(27, painted);
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
  EXPECT_STREQ("paint stroke of 27 tiles", text);
  EXPECT_EQ(2 + (22 - 2) / 2, x);
  EXPECT_EQ(1 + (8 - 1) / 2, y);
}

// A whole-map fill keeps at most the bytes of the tiles it changed, and
// the history drops its oldest steps to stay within its bound.
TEST_F(AreaEdits, HistoryStaysWithinItsBytes) {
  tile_map.tiles_x = tile_map.tiles_y = 2000;
  for (int x = 0; x < 2000; x++)
    for (int y = 0; y < 2000; y++) tile_at(x, y) = {3, 0, 0, {0, 0, 0}};
  const long long map_bytes = 2000LL * 2000 * sizeof(Tile);
  for (int n = 0; n < 20; n++) {
    // Every fill changes every tile.
    TileStamp stamp;
    stamp.cells = std::vector<StampCell>(9, StampCell{(int16_t)(1 + n % 2), 0, 0, 0});
    area_fill(stamp, {0, 0, 1999, 1999});
    EXPECT_LE(history_area_bytes(), HISTORY_MAX_BYTES);
    if (n == 0) {
      EXPECT_LE(history_area_bytes(), map_bytes);
    }
  }
  EXPECT_EQ(HISTORY_MAX_BYTES / map_bytes, history_undo_count());
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
  EXPECT_STREQ("fill of 2000 x 2000 tiles", text);
  EXPECT_EQ(999, x);
}

}  // namespace
