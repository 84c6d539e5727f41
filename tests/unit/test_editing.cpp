#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/editing.h"
#include "app/main_loop.h"
#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "tests/unit/harness.h"

namespace {

class Editing : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    tile_map.tiles_x = 6;
    tile_map.tiles_y = 5;
    texture_table.texture_count = 20;
    for (int x = 0; x < 6; x++)
      for (int y = 0; y < 5; y++) {
        Tile &t = tile_at(x, y);
        t.texture = (int16_t)(1 + x + 6 * y % 19);
        t.rotation = (uint8_t)(x % 4);
        t.tag = (uint8_t)(y % 3);
        t.extra[0] = 10;
        t.extra[1] = 11;
        t.extra[2] = (uint8_t)(100 + 6 * y + x);
      }
    height_map.samples_x = 24;
    height_map.samples_y = 20;
    height_map.heights_loaded = 1;
    height_map.max_height = 100;
    height_map.height_step = height_map.detected_height_step = 10;
  }
  void TearDown() override { reset_program_state(); }

  static void fill_tile_heights(int x, int y, uint16_t v) {
    for (int i = 0; i < 4; i++)
      for (int j = 0; j < 4; j++) height_map.heights[4 * x + i][4 * y + j] = v;
  }
  static uint16_t &h(int x, int y, int i, int j) { return height_map.heights[4 * x + i][4 * y + j]; }
};

TEST_F(Editing, TileFieldsStayInTheirRanges) {
  Tile &t = tile_at(2, 2);
  t.rotation = 2;
  rotate_tile(2, 2);
  EXPECT_EQ(3, t.rotation);
  rotate_tile(2, 2);
  EXPECT_EQ(0, t.rotation);
  t.rotation = 200;  // as read from a file
  rotate_tile(2, 2);
  EXPECT_EQ(0, t.rotation);

  t.tag = 1;
  next_tag(2, 2);
  EXPECT_EQ(2, t.tag);
  next_tag(2, 2);
  EXPECT_EQ(0, t.tag);
  t.tag = 7;
  next_tag(2, 2);
  EXPECT_EQ(0, t.tag);

  // Off the map nothing is touched, not even the grid beyond the map.
  tile_at(6, 0).texture = 3;
  next_texture(6, 0);
  rotate_tile(-1, 0);
  paste_tile_heights(0, 5);
  EXPECT_EQ(3, tile_at(6, 0).texture);
}

TEST_F(Editing, CornerCopyPastesOnlyTheFourMapTiles) {
  copy_tile_block(0, 0);
  int off_map = 0;
  for (auto &cell : clipboards.tiles.cells) off_map += cell.texture == -1;
  EXPECT_EQ(5, off_map);
  EXPECT_EQ(tile_at(1, 1).texture, clipboards.tiles.at(2, 2).texture);
  EXPECT_EQ(tile_at(1, 0).extra[2], clipboards.tiles.at(2, 1).extra);

  const Tile a = tile_at(0, 0), b = tile_at(1, 0), c = tile_at(0, 1), d = tile_at(1, 1);
  Tile before[6][5];
  for (int x = 0; x < 6; x++)
    for (int y = 0; y < 5; y++) before[x][y] = tile_at(x, y);

  paste_tile_block(3, 3);
  int changed = 0;
  for (int x = 0; x < 6; x++)
    for (int y = 0; y < 5; y++)
      changed += memcmp(&before[x][y], &tile_at(x, y), sizeof(Tile)) != 0;
  EXPECT_EQ(4, changed);
  EXPECT_EQ(a.texture, tile_at(3, 3).texture);
  EXPECT_EQ(b.texture, tile_at(4, 3).texture);
  EXPECT_EQ(c.texture, tile_at(3, 4).texture);
  EXPECT_EQ(d.texture, tile_at(4, 4).texture);
  EXPECT_EQ(d.rotation, tile_at(4, 4).rotation);
  EXPECT_EQ(d.tag, tile_at(4, 4).tag);
  // All three extra bytes take the copied third one.
  for (int k = 0; k < 3; k++) EXPECT_EQ(d.extra[2], tile_at(4, 4).extra[k]);
}

TEST_F(Editing, BlockPasteAtTheEdgeStaysOnTheMap) {
  copy_tile_block(2, 2);
  tile_at(6, 5).texture = 9;  // beyond the map, inside the grid
  paste_tile_block(5, 4);
  EXPECT_EQ(tile_at(1, 1).texture, tile_at(4, 3).texture);
  EXPECT_EQ(9, tile_at(6, 5).texture);
}

TEST_F(Editing, EmptyClipboardAndTextureZeroCellsPasteNothing) {
  const Tile before = tile_at(2, 2);
  paste_tile(2, 2);
  paste_tile_block(2, 2);
  EXPECT_EQ(0, memcmp(&before, &tile_at(2, 2), sizeof(Tile)));

  tile_at(1, 1).texture = 0;
  copy_tile_block(1, 1);
  const Tile target = tile_at(4, 3);
  paste_tile(4, 3);
  EXPECT_EQ(0, memcmp(&target, &tile_at(4, 3), sizeof(Tile)));
  paste_tile_block(4, 3);
  EXPECT_EQ(0, memcmp(&target, &tile_at(4, 3), sizeof(Tile)));
  EXPECT_EQ(tile_at(0, 0).texture, tile_at(3, 2).texture);
}

// The highest height at opening (100) is no cap: a raise goes up to 9999
// and never lowers a sample; one that changes nothing is no step.
TEST_F(Editing, RaiseStopsAt9999AndNeverLowers) {
  for (const auto &c : {std::make_pair(95, 105), {500, 510}, {9995, 9999}, {9999, 9999}}) {
    fill_tile_heights(1, 1, (uint16_t)c.first);
    raise_heights(1, 1, 6);  // one sample: column 2, row 1
    EXPECT_EQ(c.second, h(1, 1, 2, 1)) << c.first;
    EXPECT_EQ(c.first, h(1, 1, 1, 2)) << c.first;
  }
  EXPECT_EQ(3, history_undo_count());
}

TEST_F(Editing, LowerStopsAtZero) {
  fill_tile_heights(2, 3, 0);
  h(2, 3, 0, 0) = 11;
  h(2, 3, 1, 0) = 10;
  h(2, 3, 2, 0) = 3;
  h(2, 3, 3, 3) = 9999;
  lower_heights(2, 3, -1);
  EXPECT_EQ(1, h(2, 3, 0, 0));
  EXPECT_EQ(0, h(2, 3, 1, 0));
  EXPECT_EQ(0, h(2, 3, 2, 0));
  EXPECT_EQ(0, h(2, 3, 0, 1));
  EXPECT_EQ(9989, h(2, 3, 3, 3));
}

TEST_F(Editing, ZoomZeroChangesTheSelectedSampleOnly) {
  fill_tile_heights(3, 2, 40);
  raise_heights(3, 2, 6);
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) EXPECT_EQ(i == 2 && j == 1 ? 50 : 40, h(3, 2, i, j)) << i << "," << j;
  lower_heights(3, 2, 15);
  EXPECT_EQ(30, h(3, 2, 3, 3));
  EXPECT_EQ(40, h(3, 2, 0, 0));

  fill_tile_heights(3, 2, 40);
  raise_heights(3, 2, -1);
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) EXPECT_EQ(50, h(3, 2, i, j));
  EXPECT_EQ(0, h(2, 2, 3, 0));  // the neighbours keep theirs
  EXPECT_EQ(0, h(3, 3, 0, 0));
}

TEST_F(Editing, RotationTurnsClockwise) {
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) h(2, 1, i, j) = (uint16_t)(10 * i);  // rising eastward
  h(2, 1, 0, 0) = 77;                                                 // north-west corner
  rotate_tile_heights(2, 1);
  EXPECT_EQ(77, h(2, 1, 3, 0));  // now north-east
  for (int i = 0; i < 4; i++)
    for (int j = 1; j < 4; j++) EXPECT_EQ(10 * j, h(2, 1, i, j)) << i << "," << j;  // rising southward

  srand(3);
  uint16_t original[4][4];
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) original[i][j] = h(4, 4, i, j) = (uint16_t)(rand() % 10000);
  for (int k = 0; k < 3; k++) rotate_tile_heights(4, 4);
  EXPECT_NE(original[0][0], h(4, 4, 0, 0));
  rotate_tile_heights(4, 4);
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) EXPECT_EQ(original[i][j], h(4, 4, i, j));
}

TEST_F(Editing, HeightPasteCopiesEverySampleIncludingZeros) {
  EXPECT_TRUE(height_clipboard_empty());
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) h(0, 0, i, j) = (uint16_t)((i + j) % 2 ? 0 : 100 * i + j);
  h(0, 0, 0, 0) = 0;
  copy_tile_heights(0, 0);
  EXPECT_FALSE(height_clipboard_empty());
  EXPECT_EQ(0, clipboards.heights[0][0]);
  EXPECT_EQ(301, clipboards.heights[1][3]);  // [j][i]

  fill_tile_heights(5, 4, 555);
  paste_tile_heights(5, 4);
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) EXPECT_EQ(h(0, 0, i, j), h(5, 4, i, j));
  // The clipboard survives the paste.
  fill_tile_heights(1, 4, 555);
  paste_tile_heights(1, 4);
  EXPECT_EQ(h(0, 0, 3, 1), h(1, 4, 3, 1));
}

// The whole model as bytes: the tiles field by field, then every sample.
std::vector<int> model_state() {
  std::vector<int> state;
  for (int x = 0; x < 6; x++)
    for (int y = 0; y < 5; y++) {
      const Tile &t = tile_at(x, y);
      state.insert(state.end(), {t.texture, t.rotation, t.tag, t.extra[0], t.extra[1], t.extra[2]});
    }
  for (int x = 0; x < 24; x++)
    for (int y = 0; y < 20; y++) state.push_back(height_map.heights[x][y]);
  return state;
}

struct Command {
  const char *name;
  std::function<void(int, int)> run;
  const char *undo_text;  // what undo says, with %d, %d for the tile as the strip names it
};

// Every editing command, at random tiles and in random order (the edge and
// corner tiles included): each is one step, undo gives back exactly the
// state before it, and redo exactly the state after it.
TEST_F(Editing, EveryEditIsOneStepThatUndoAndRedoWalk) {
  std::mt19937 random(17);
  copy_tile_block(2, 2);
  copy_tile_heights(3, 1);
  const Command commands[] = {
      {"next texture", next_texture, "texture of tile %d, %d"},
      {"previous texture", previous_texture, "texture of tile %d, %d"},
      {"rotate", rotate_tile, "rotation of tile %d, %d"},
      {"tag", next_tag, "tag of tile %d, %d"},
      {"paste", paste_tile, "paste on tile %d, %d"},
      {"paste block", paste_tile_block, "3 x 3 paste around tile %d, %d"},
      {"raise", [](int x, int y) { raise_heights(x, y, -1); }, "heights raised on tile %d, %d"},
      {"lower", [](int x, int y) { lower_heights(x, y, -1); }, "heights lowered on tile %d, %d"},
      {"raise sample", [](int x, int y) { raise_heights(x, y, 6); }, "height sample 6 raised on tile %d, %d"},
      {"lower sample", [](int x, int y) { lower_heights(x, y, 9); }, "height sample 9 lowered on tile %d, %d"},
      {"rotate heights", rotate_tile_heights, "heights rotated on tile %d, %d"},
      {"paste heights", paste_tile_heights, "heights pasted on tile %d, %d"},
  };
  for (int x = 0; x < 24; x++)
    for (int y = 0; y < 20; y++) height_map.heights[x][y] = (uint16_t)(random() % 101);

  std::vector<std::vector<int>> states{model_state()};
  std::vector<std::string> texts;
  for (int n = 0; n < 300; n++) {
    const Command &c = commands[random() % (sizeof(commands) / sizeof(commands[0]))];
    const int x = (int)(random() % 6), y = (int)(random() % 5);
    c.run(x, y);
    // A command that changed nothing is no step.
    if (model_state() == states.back()) continue;
    states.push_back(model_state());
    char text[HISTORY_TEXT_SIZE];
    snprintf(text, sizeof(text), c.undo_text, x, 4 - y);  // rows counted from the south
    texts.push_back(text);
    ASSERT_EQ((int)texts.size(), history_undo_count()) << c.name;
  }
  // Copies change nothing and are no steps.
  const int steps = history_undo_count();
  copy_tile_block(1, 1);
  copy_tile_heights(1, 1);
  EXPECT_EQ(steps, history_undo_count());

  for (int n = steps - 1; n >= 0; n--) {
    int x, y;
    char text[HISTORY_TEXT_SIZE];
    ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
    ASSERT_EQ(texts[n], text);
    ASSERT_EQ(states[n], model_state()) << texts[n];
  }
  for (int n = 0; n < steps; n++) {
    int x, y;
    char text[HISTORY_TEXT_SIZE];
    ASSERT_EQ(0, history_redo(&x, &y, text, sizeof(text)));
    ASSERT_EQ(states[n + 1], model_state()) << texts[n];
  }
}

// A key that changes nothing (the last texture, an empty clipboard) is no
// step: the map stays as saved.
TEST_F(Editing, UnchangingEditsAreNoSteps) {
  tile_at(1, 1).texture = 20;
  const auto before = model_state();
  next_texture(1, 1);
  paste_tile(2, 2);
  EXPECT_EQ(before, model_state());
  EXPECT_EQ(0, history_undo_count());
  EXPECT_FALSE(history_map_changed(HISTORY_TILE_MAP));
  EXPECT_FALSE(history_map_changed(HISTORY_HEIGHT_MAP));

  // Off the map nothing is recorded.
  next_texture(6, 0);
  raise_heights(0, 5, -1);
  EXPECT_EQ(0, history_undo_count());
}

}  // namespace
