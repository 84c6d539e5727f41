// The edit history against snapshots of the model: whatever the edits, undo
// walks back through exactly the states they passed and redo forward again.
#include <cstring>
#include <random>
#include <vector>

#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "tests/unit/harness.h"

namespace {

enum { COLUMNS = 7, ROWS = 5 };

struct Snapshot {
  std::vector<unsigned char> tiles;
  std::vector<uint16_t> heights;
  bool operator==(const Snapshot &o) const { return tiles == o.tiles && heights == o.heights; }
};

Snapshot snapshot() {
  Snapshot s;
  for (int x = 0; x < COLUMNS; x++)
    for (int y = 0; y < ROWS; y++) {
      const Tile &t = tile_at(x, y);
      const unsigned char bytes[7] = {(unsigned char)t.texture, (unsigned char)(t.texture >> 8),
                                      t.rotation, t.tag, t.extra[0], t.extra[1], t.extra[2]};
      s.tiles.insert(s.tiles.end(), bytes, bytes + 7);
    }
  for (int x = 0; x < 4 * COLUMNS; x++)
    for (int y = 0; y < 4 * ROWS; y++) s.heights.push_back(height_map.heights[x][y]);
  return s;
}

class EditHistory : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    tile_map.tiles_x = COLUMNS;
    tile_map.tiles_y = ROWS;
    height_map.samples_x = 4 * COLUMNS;
    height_map.samples_y = 4 * ROWS;
    for (int x = 0; x < COLUMNS; x++)
      for (int y = 0; y < ROWS; y++) tile_at(x, y) = {(int16_t)(x + y), 0, 0, {0, 0, 0}};
    for (int x = 0; x < 4 * COLUMNS; x++)
      for (int y = 0; y < 4 * ROWS; y++) height_map.heights[x][y] = (uint16_t)(10 * x + y);
    history_clear();
  }

  // One edit as the editing commands make it: any change inside the region
  // the action names.
  void edit(int action, int x, int y, std::mt19937 &random) {
    history_begin(action, x, y, (int)(random() % 16));
    if (action >= HISTORY_RAISE) {
      for (int k = 0; k < 16; k++) height_map.heights[4 * x + k % 4][4 * y + k / 4] = (uint16_t)random();
    } else {
      const int reach = action == HISTORY_PASTE_BLOCK ? 1 : 0;
      for (int dy = -reach; dy <= reach; dy++)
        for (int dx = -reach; dx <= reach; dx++) {
          const int tx = x + dx, ty = y + dy;
          if (tx < 0 || ty < 0 || tx >= COLUMNS || ty >= ROWS) continue;
          Tile &t = tile_at(tx, ty);
          t.texture = (int16_t)(random() % 512);
          t.rotation = (uint8_t)(random() % 4);
          t.tag = (uint8_t)(random() % 3);
          t.extra[2] = (uint8_t)random();
        }
    }
    history_end();
  }

  void edit(int action, int x, int y) {
    std::mt19937 random(action * 131 + x * 7 + y);
    edit(action, x, y, random);
  }
};

TEST_F(EditHistory, UndoAndRedoWalkThroughEveryStateTheEditsPassed) {
  std::mt19937 random(7);
  std::vector<Snapshot> states{snapshot()};
  for (int n = 0; n < 300; n++) {
    edit((int)(random() % HISTORY_AREA_TEXTURE), (int)(random() % COLUMNS), (int)(random() % ROWS), random);
    states.push_back(snapshot());
  }
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  for (int n = 300; n > 0; n--) {
    ASSERT_EQ(history_undo(&x, &y, text, sizeof(text)), 0);
    ASSERT_TRUE(snapshot() == states[n - 1]) << "after undoing step " << n;
  }
  EXPECT_EQ(history_undo(&x, &y, text, sizeof(text)), 1);
  for (int n = 1; n <= 300; n++) {
    ASSERT_EQ(history_redo(&x, &y, text, sizeof(text)), 0);
    ASSERT_TRUE(snapshot() == states[n]) << "after redoing step " << n;
  }
  EXPECT_EQ(history_redo(&x, &y, text, sizeof(text)), 1);
}

TEST_F(EditHistory, NewEditDropsTheRedoSteps) {
  edit(HISTORY_TEXTURE, 1, 1);
  edit(HISTORY_TAG, 2, 2);
  edit(HISTORY_ROTATION, 3, 3);
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  history_undo(&x, &y, text, sizeof(text));
  history_undo(&x, &y, text, sizeof(text));
  EXPECT_EQ(history_redo_count(), 2);
  const Snapshot before_new_edit = snapshot();
  edit(HISTORY_RAISE, 0, 0);
  EXPECT_EQ(history_redo_count(), 0);
  EXPECT_EQ(history_redo(&x, &y, text, sizeof(text)), 1);
  EXPECT_EQ(history_undo_count(), 2);
  history_undo(&x, &y, text, sizeof(text));
  EXPECT_TRUE(snapshot() == before_new_edit);
}

TEST_F(EditHistory, OldestStepsGoFirstAtTheLimit) {
  const int extra = 25;
  std::vector<Snapshot> early;
  std::mt19937 random(3);
  for (int n = 0; n < HISTORY_MAX_STEPS + extra; n++) {
    edit(n % 2 ? HISTORY_TEXTURE : HISTORY_LOWER, n % COLUMNS, (n / COLUMNS) % ROWS, random);
    if (n >= extra - 1) early.push_back(snapshot());
  }
  // Told once: the first report counts the steps dropped so far, later ones nothing.
  EXPECT_EQ(extra, history_take_dropped());
  edit(HISTORY_TEXTURE, 0, 0, random);
  EXPECT_EQ(0, history_take_dropped());
  EXPECT_EQ(history_undo_count(), HISTORY_MAX_STEPS);
  int x, y, undone = 0;
  char text[HISTORY_TEXT_SIZE];
  while (history_undo(&x, &y, text, sizeof(text)) == 0) undone++;
  EXPECT_EQ(undone, HISTORY_MAX_STEPS);
  EXPECT_TRUE(snapshot() == early[1]) << "the state after the dropped steps";
  // The opening state lies beyond the kept steps: both maps stay changed.
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 1);
  EXPECT_EQ(history_map_changed(HISTORY_HEIGHT_MAP), 1);
}

TEST_F(EditHistory, SavedStateIsTrackedThroughUndoAndRedo) {
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 0);
  edit(HISTORY_TEXTURE, 1, 1);
  edit(HISTORY_RAISE, 1, 1);
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 1);
  EXPECT_EQ(history_map_changed(HISTORY_HEIGHT_MAP), 1);

  // Back to the opening: both unchanged again.
  history_undo(&x, &y, text, sizeof(text));
  EXPECT_EQ(history_map_changed(HISTORY_HEIGHT_MAP), 0);
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 1);
  history_undo(&x, &y, text, sizeof(text));
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 0);

  // Saved after the texture edit: undoing past the save changes the map,
  // redoing back to it does not; height steps never touch the tile map's state.
  history_redo(&x, &y, text, sizeof(text));
  history_mark_saved(HISTORY_TILE_MAP);
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 0);
  history_redo(&x, &y, text, sizeof(text));
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 0);
  EXPECT_EQ(history_map_changed(HISTORY_HEIGHT_MAP), 1);
  history_undo(&x, &y, text, sizeof(text));
  history_undo(&x, &y, text, sizeof(text));
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 1);
  history_redo(&x, &y, text, sizeof(text));
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 0);

  // A new edit after undoing past the save leaves the saved state out of reach.
  history_undo(&x, &y, text, sizeof(text));
  edit(HISTORY_TAG, 2, 2);
  history_undo(&x, &y, text, sizeof(text));
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 1);
  history_mark_saved(HISTORY_TILE_MAP);
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 0);

  // An edit that changes nothing is no step: the map stays as saved.
  history_begin(HISTORY_TAG, 3, 3, 0);
  EXPECT_EQ(0, history_end());
  history_begin(HISTORY_RAISE, 3, 3, 0);
  EXPECT_EQ(0, history_end());
  EXPECT_EQ(history_map_changed(HISTORY_TILE_MAP), 0);
  EXPECT_EQ(history_redo(&x, &y, text, sizeof(text)), 0);  // the tag edit's redo survives
}

TEST_F(EditHistory, StepsNameTheirTileAndStayOnTheMap) {
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  edit(HISTORY_TEXTURE, 6, 4);
  ASSERT_EQ(history_undo(&x, &y, text, sizeof(text)), 0);
  EXPECT_EQ(x, 6);
  EXPECT_EQ(y, 4);
  // Named as the strip names the tile: its row counted from the south edge.
  EXPECT_STREQ(text, "texture of tile 6, 0");
  history_begin(HISTORY_RAISE_SAMPLE, 2, 3, 6);
  height_map.heights[8 + 2][12 + 1]++;
  history_end();
  ASSERT_EQ(history_undo(&x, &y, text, sizeof(text)), 0);
  EXPECT_EQ(y, 3);
  EXPECT_STREQ(text, "height sample 6 raised on tile 2, 1");

  // A 3 x 3 paste at the corner covers the four tiles on the map and
  // nothing beyond; a tile off the map is no step.
  const Snapshot before = snapshot();
  edit(HISTORY_PASTE_BLOCK, 0, 0);
  edit(HISTORY_PASTE_HEIGHTS, COLUMNS, 0);
  edit(HISTORY_TEXTURE, -1, 2);
  EXPECT_EQ(history_undo_count(), 1);
  while (history_undo(&x, &y, text, sizeof(text)) == 0) {
  }
  EXPECT_TRUE(snapshot() == before);
}

}  // namespace
