// Sea level and lands against a reference written here from the other
// side: each height sample is a cell that touches the corner points on its
// edges, and the points that leave the sea are decided in whole passes over
// the grid until a pass decides none. Random maps, heights, levels and
// lands; with and without a shore; then the sea bed and its undo.
#include <random>
#include <string>
#include <vector>

#include "core/land_table.h"
#include "edit/edit_history.h"
#include "edit/land_grid.h"
#include "edit/sea_level.h"
#include "files/land_file.h"
#include "tests/unit/harness.h"

namespace {

enum { WATER = 1, LANDS = 3 };

const char LANDS_TEXT[] = "[Land001]\nName=Water\nColor=0,0,200\n[Land002]\nName=Sand\nColor=200,200,0\n"
                          "[Land003]\nName=Grass\nColor=0,200,0\n";

struct Map {
  int columns, rows;
  std::vector<int> heights;  // [X * 4 rows + Y]
  std::vector<int> grid;     // [x * (rows + 1) + y]
};

Map random_map(std::mt19937 &r) {
  Map m;
  m.columns = 1 + (int)(r() % 12);
  m.rows = 1 + (int)(r() % 9);
  tile_map.tiles_x = m.columns;
  tile_map.tiles_y = m.rows;
  height_map.samples_x = 4 * m.columns;
  height_map.samples_y = 4 * m.rows;
  height_map.heights_loaded = 1;
  // Mostly water, so that wide stretches leave the sea; some points of no land.
  for (int x = 0; x <= m.columns; x++)
    for (int y = 0; y <= m.rows; y++) {
      const int roll = (int)(r() % 10);
      m.grid.push_back(roll < 6 ? WATER : roll < 9 ? 2 + roll % 2 : 0);
      land_point(x, y) = (uint8_t)m.grid.back();
    }
  for (int X = 0; X < 4 * m.columns; X++)
    for (int Y = 0; Y < 4 * m.rows; Y++) {
      m.heights.push_back((int)(r() % 7));
      height_map.heights[X][Y] = (uint16_t)m.heights.back();
    }
  return m;
}

// What the rule makes of each point: its land, 0 where it stays; -1 for a
// point left with the sea above the level.
std::vector<int> reference_points(const Map &m, const SeaRule &rule) {
  const int stride = m.rows + 1;
  std::vector<int> high((size_t)(m.columns + 1) * stride, 0);
  for (int X = 0; X < 4 * m.columns; X++)
    for (int Y = 0; Y < 4 * m.rows; Y++)
      for (int x : {X / 4, (X + 1) / 4})
        for (int y : {Y / 4, (Y + 1) / 4})
          if ((X == 4 * x || X + 1 == 4 * x) && (Y == 4 * y || Y + 1 == 4 * y))
            high[(size_t)x * stride + y] = std::max(high[(size_t)x * stride + y], m.heights[(size_t)X * 4 * m.rows + Y]);
  std::vector<int> out(high.size(), 0), land = m.grid;
  std::vector<bool> open(high.size(), false);
  for (size_t p = 0; p < high.size(); p++) {
    if (high[p] <= rule.level) {
      out[p] = land[p] = rule.sea;
    } else if (m.grid[p] == rule.sea) {
      open[p] = true;
      land[p] = 0;
      if (rule.shore) out[p] = rule.shore, open[p] = false;
    }
  }
  for (bool more = !rule.shore; more;) {
    more = false;
    std::vector<int> next = land;
    for (size_t p = 0; p < high.size(); p++) {
      if (!open[p]) continue;
      int count[MAX_LANDS] = {}, best = 0;
      const int x = (int)p / stride, y = (int)p % stride;
      for (int dx = -1; dx <= 1; dx++)
        for (int dy = -1; dy <= 1; dy++) {
          const int nx = x + dx, ny = y + dy;
          if ((dx || dy) && nx >= 0 && ny >= 0 && nx <= m.columns && ny <= m.rows) {
            const int l = land[(size_t)nx * stride + ny];
            if (l && l != rule.sea) count[l]++;
          }
        }
      for (int l = 1; l < MAX_LANDS; l++)
        if (count[l] > count[best]) best = l;
      if (!best) continue;
      next[p] = out[p] = best;
      open[p] = false;
      more = true;
    }
    land = next;
  }
  for (size_t p = 0; p < high.size(); p++)
    if (open[p]) out[p] = -1;
  return out;
}

TEST(SeaLevel, CornerPointsFromHeightsAsTheRuleSays) {
  std::mt19937 r(11);
  int stranded_rounds = 0, shore_rounds = 0;
  for (int round = 0; round < 300; round++) {
    reset_program_state();
    history_clear();
    ASSERT_EQ(RESULT_OK, read_land_text(LANDS_TEXT, (long)sizeof(LANDS_TEXT) - 1));
    const Map m = random_map(r);
    const SeaRule rule = {WATER, (int)(r() % 6), r() % 4 == 0 ? 2 + (int)(r() % 2) : 0};
    const std::vector<int> want = reference_points(m, rule);
    const SeaPoints got = sea_points_from_heights(rule);
    ASSERT_EQ(want.size(), got.points.size());
    long long stranded = 0, sea = 0;
    for (size_t p = 0; p < want.size(); p++) {
      stranded += want[p] < 0;
      sea += want[p] == WATER;
      EXPECT_EQ(std::max(want[p], 0), got.points[p]) << "round " << round << " point " << p / (m.rows + 1) << ", "
                                                     << p % (m.rows + 1);
    }
    EXPECT_EQ(stranded, got.stranded) << round;
    EXPECT_EQ(sea, got.sea_points) << round;
    stranded_rounds += stranded > 0;
    shore_rounds += rule.shore > 0;

    // As one step: the grid takes the points, and undo gives the grid back.
    if (got.stranded) continue;
    const LandResult done = lands_from_heights(got, 1);
    for (size_t p = 0; p < want.size(); p++) {
      const int x = (int)p / (m.rows + 1), y = (int)p % (m.rows + 1);
      EXPECT_EQ(want[p] ? want[p] : m.grid[p], land_point(x, y)) << round;
    }
    if (!done.stepped) continue;
    int ux, uy;
    char text[HISTORY_TEXT_SIZE];
    ASSERT_EQ(0, history_undo(&ux, &uy, text, sizeof(text)));
    EXPECT_EQ("lands from heights, " + std::to_string(done.points_changed) + " points", std::string(text));
    for (size_t p = 0; p < want.size(); p++)
      EXPECT_EQ(m.grid[p], land_point((int)p / (m.rows + 1), (int)p % (m.rows + 1))) << round;
  }
  // The draws reached every branch of the rule.
  EXPECT_GT(stranded_rounds, 10);
  EXPECT_GT(shore_rounds, 30);
  reset_program_state();
}

TEST(SeaLevel, TheSeasTilesTakeTheDepthAndUndoGivesTheHeightsBack) {
  std::mt19937 r(5);
  for (int round = 0; round < 100; round++) {
    reset_program_state();
    history_clear();
    ASSERT_EQ(RESULT_OK, read_land_text(LANDS_TEXT, (long)sizeof(LANDS_TEXT) - 1));
    const Map m = random_map(r);
    const int depth = (int)(r() % 4), stride = m.rows + 1;
    long long sea_tiles = 0, tiles = 0, samples = 0;
    std::vector<int> want = m.heights;
    for (int x = 0; x < m.columns; x++)
      for (int y = 0; y < m.rows; y++) {
        bool sea = true;
        for (int px : {x, x + 1})
          for (int py : {y, y + 1}) sea &= m.grid[(size_t)px * stride + py] == WATER;
        if (!sea) continue;
        sea_tiles++;
        long long changed = 0;
        for (int X = 4 * x; X < 4 * x + 4; X++)
          for (int Y = 4 * y; Y < 4 * y + 4; Y++) {
            int &h = want[(size_t)X * 4 * m.rows + Y];
            changed += h != depth;
            h = depth;
          }
        samples += changed;
        tiles += changed > 0;
      }
    const SeaBedResult got = heights_from_lands(WATER, depth, 1);
    EXPECT_EQ(sea_tiles, got.sea_tiles);
    EXPECT_EQ(tiles, got.tiles);
    EXPECT_EQ(samples, got.samples);
    EXPECT_EQ(samples > 0, got.stepped != 0);
    auto heights_are = [&](const std::vector<int> &h) {
      for (int X = 0; X < 4 * m.columns; X++)
        for (int Y = 0; Y < 4 * m.rows; Y++)
          if (height_map.heights[X][Y] != h[(size_t)X * 4 * m.rows + Y]) return false;
      return true;
    };
    EXPECT_TRUE(heights_are(want)) << round;
    if (!got.stepped) continue;
    EXPECT_EQ(1, history_map_changed(HISTORY_HEIGHT_MAP));
    int ux, uy;
    char text[HISTORY_TEXT_SIZE];
    ASSERT_EQ(0, history_undo(&ux, &uy, text, sizeof(text)));
    EXPECT_EQ("heights from lands, " + std::to_string(tiles) + " tiles", std::string(text));
    EXPECT_TRUE(heights_are(m.heights)) << round;
    ASSERT_EQ(0, history_redo(&ux, &uy, text, sizeof(text)));
    EXPECT_TRUE(heights_are(want)) << round;
  }
  reset_program_state();
}

}  // namespace
