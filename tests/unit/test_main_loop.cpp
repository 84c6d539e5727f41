#include <dirent.h>
#include <unistd.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <random>
#include <string>

#include "app/editing.h"
#include "app/key_table.h"
#include "app/main_loop.h"
#include "app/mouse_gestures.h"
#include "app/save_prompt.h"
#include "app/startup.h"
#include "app/status_bar.h"
#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "edit/land_grid.h"
#include "files/land_file.h"
#include "render/view/map_view.h"
#include "render/view/ruler.h"
#include "tests/unit/dialog_answers.h"
#include "tests/unit/harness.h"

namespace {

const int TEXTURES = 6;

// Entries as the texture loader leaves them: every level a plain square.
void give_textures_levels() {
  texture_table.texture_count = TEXTURES;
  for (int t = 1; t <= TEXTURES; t++)
    for (int k = 0; k < TEXTURE_LEVELS; k++) {
      BITMAP *level = create_bitmap(256 >> k, 256 >> k);
      clear_to_color(level, makecol(40 * t, 100, 0));
      texture_table.textures[t].levels[k] = level;
    }
}

void open_map(int tx, int ty) {
  tile_map.tiles_x = tx;
  tile_map.tiles_y = ty;
  for (int x = 0; x < tx; x++)
    for (int y = 0; y < ty; y++) tile_at(x, y).texture = (int16_t)(1 + (x + y) % TEXTURES);
  session.terrain_open = 1;
  reset_view();
}

void hold(std::initializer_list<int> keys, int state) {
  for (int k : keys) key[k] = (char)state;
}

// The last key is pressed while the others are held.
KeyPress press_of(std::initializer_list<int> keys) {
  hold(keys, 1);
  KeyPress p = key_press_now(*(keys.end() - 1));
  hold(keys, 0);
  return p;
}

// A whole pass with the press waiting in the buffer, as when typed.
void press(std::initializer_list<int> keys) {
  hold(keys, 1);
  simulate_ukeypress(0, *(keys.end() - 1));
  main_loop_pass();
  hold(keys, 0);
  clear_keybuf();
}

// The command alone; true when it asked for a redraw.
bool command(std::initializer_list<int> keys) {
  loop_pacing().prev_x = view.cursor_x;
  loop_pacing().prev_y = view.cursor_y;
  run_key_command(press_of(keys));
  return loop_pacing().prev_y == -1;
}

int files_in_working_dir() {
  int n = 0;
  DIR *dir = opendir(".");
  while (dirent *e = readdir(dir)) n += e->d_name[0] != '.';
  closedir(dir);
  return n;
}

class MainLoop : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    give_textures_levels();
    snprintf(terrain_paths.tfd_path, PATH_SIZE, "%s", dir.file("plain.TFD").c_str());
    open_map(50, 40);
  }
  void TearDown() override {
    for (int k = 0; k < KEY_MAX; k++) key[k] = 0;
    clear_keybuf();
    close_requested = 0;
    reset_program_state();
  }
  void use_heights(int detected_step) {
    height_map.samples_x = 4 * tile_map.tiles_x;
    height_map.samples_y = 4 * tile_map.tiles_y;
    height_map.heights_loaded = 1;
    height_map.max_height = 500;
    height_map.detected_height_step = height_map.height_step = detected_step;
  }
  TempDir dir;
};

TEST_F(MainLoop, StartState) {
  open_map(200, 200);
  EXPECT_EQ(100, view.cursor_x);
  EXPECT_EQ(99, view.cursor_y);
  EXPECT_EQ(8, view.zoom_level);
  EXPECT_EQ(EDIT_TILES, view.edit_mode);
  EXPECT_EQ(-1, loop_pacing().prev_x);
  EXPECT_EQ(-1, loop_pacing().prev_y);
  EXPECT_EQ(1, loop_pacing().key_delay);

  // The first pass draws at once and remembers the cursor.
  main_loop_pass();
  EXPECT_EQ(100, loop_pacing().prev_x);
  EXPECT_EQ(99, loop_pacing().prev_y);
}

TEST_F(MainLoop, ShiftRActsAsRWhenTargetsAreOff) {
  view.zoom_level = 4;
  session.enable_targets = 0;
  tile_at(view.cursor_x, view.cursor_y).rotation = 1;
  EXPECT_TRUE(command({KEY_LSHIFT, KEY_R}));
  EXPECT_EQ(2, tile_at(view.cursor_x, view.cursor_y).rotation);
  EXPECT_EQ(1, tile_map_unsaved());
}

std::string note_of(std::initializer_list<int> keys);

TEST_F(MainLoop, ShiftRReloadsTargetsAndWarns) {
  view.zoom_level = 4;
  snprintf(terrain_paths.targets_ini_path, PATH_SIZE, "%s", dir.file("plain_TARGETS.ini").c_str());
  write_text(terrain_paths.targets_ini_path, "[Nothing]\nSomething=1\n");
  targets.area_count = 7;
  targets.target_total = 30;
  AlertAnswers alerts;
  alerts.answer('o');
  EXPECT_TRUE(command({KEY_LSHIFT, KEY_R}));
  EXPECT_EQ(0, targets.area_count);
  EXPECT_EQ(0, targets.target_total);
  EXPECT_EQ(0, tile_at(view.cursor_x, view.cursor_y).rotation);
  EXPECT_EQ(0, tile_map_unsaved());
  ASSERT_EQ(1u, alerts.shown.size());
  EXPECT_EQ(0, alerts.unanswered);
  const ShownAlert &box = alerts.shown.back();
  EXPECT_EQ("Warning: Error reading _TARGETS.INI file.", box.lines[0]);
  EXPECT_EQ("", box.lines[1]);
  EXPECT_EQ(terrain_paths.targets_ini_path, box.lines[2]);
  EXPECT_EQ(std::vector<std::string>{"OK"}, box.buttons);
  EXPECT_EQ(std::vector<int>{'o'}, box.keys);

  // No file at all: no box, the strip says so.
  remove(terrain_paths.targets_ini_path);
  EXPECT_EQ("No target areas file.", note_of({KEY_LSHIFT, KEY_R}));
  EXPECT_EQ(1u, alerts.shown.size());
}

TEST_F(MainLoop, ShiftTabStepsBackOnlyForSamplesAtZoomZero) {
  use_heights(10);
  view.zoom_level = 0;
  EXPECT_TRUE(command({KEY_LSHIFT, KEY_TAB}));  // tile mode: as Tab
  EXPECT_EQ(1, view.overlay_mode);

  view.edit_mode = EDIT_HEIGHTS;
  EXPECT_TRUE(command({KEY_LSHIFT, KEY_TAB}));
  EXPECT_EQ(15, view.height_sample);
  EXPECT_TRUE(command({KEY_TAB}));
  EXPECT_EQ(0, view.height_sample);
  EXPECT_EQ(1, view.overlay_mode);

  view.zoom_level = 1;
  view.overlay_mode = 4;
  EXPECT_TRUE(command({KEY_LSHIFT, KEY_TAB}));
  EXPECT_EQ(0, view.overlay_mode);
  EXPECT_EQ(0, view.height_sample);
}

TEST_F(MainLoop, EditingKeysFallThroughAboveZoomFour) {
  use_heights(10);
  const Tile before = tile_at(view.cursor_x, view.cursor_y);
  for (int zoom = 5; zoom <= 8; zoom++) {
    view.zoom_level = zoom;
    for (int mode : {EDIT_TILES, EDIT_HEIGHTS}) {
      view.edit_mode = mode;
      for (int k : {KEY_PGUP, KEY_PGDN, KEY_R, KEY_T, KEY_C, KEY_V, KEY_B, KEY_D, KEY_F}) {
        loop_pacing().key_delay = 3;
        EXPECT_FALSE(command({k})) << "zoom " << zoom << " key " << k;
        EXPECT_EQ(4, loop_pacing().key_delay) << "zoom " << zoom << " key " << k;
      }
    }
  }
  EXPECT_EQ(0, memcmp(&before, &tile_at(view.cursor_x, view.cursor_y), sizeof(Tile)));
  EXPECT_EQ(10, height_map.height_step);
  EXPECT_EQ(0, tile_map_unsaved());
  EXPECT_EQ(0, height_map_unsaved());
  EXPECT_TRUE(height_clipboard_empty());

  loop_pacing().key_delay = 10;
  command({KEY_Q});
  EXPECT_EQ(10, loop_pacing().key_delay);
}

TEST_F(MainLoop, MovementStepsAndEdges) {
  view.zoom_level = 7;
  view.cursor_x = 48;
  loop_pacing().key_delay = 2;
  press({KEY_RIGHT});
  EXPECT_EQ(49, view.cursor_x);
  EXPECT_EQ(1, loop_pacing().key_delay);
  EXPECT_EQ(49, loop_pacing().prev_x);  // the moved cursor was drawn
  press({KEY_6_PAD});
  EXPECT_EQ(49, view.cursor_x);
  EXPECT_EQ(0, loop_pacing().key_delay);
  press({KEY_LEFT});
  EXPECT_EQ(46, view.cursor_x);
  EXPECT_EQ(0, loop_pacing().key_delay);

  view.zoom_level = 5;
  view.cursor_y = 1;
  press({KEY_UP});
  EXPECT_EQ(0, view.cursor_y);
  press({KEY_2_PAD});
  EXPECT_EQ(2, view.cursor_y);

  view.zoom_level = 4;
  press({KEY_8_PAD});
  EXPECT_EQ(1, view.cursor_y);
  view.cursor_x = 0;
  press({KEY_4_PAD});
  EXPECT_EQ(0, view.cursor_x);
  EXPECT_EQ(0, loop_pacing().prev_x);
}

TEST_F(MainLoop, TextureKeysKeepTheRange) {
  view.zoom_level = 0;
  Tile &tile = tile_at(view.cursor_x, view.cursor_y);
  tile.texture = TEXTURES;
  EXPECT_TRUE(command({KEY_PGUP}));
  EXPECT_EQ(TEXTURES, tile.texture);
  EXPECT_EQ(0, tile_map_unsaved());  // unchanged: no step, not marked

  tile.texture = 1;
  EXPECT_TRUE(command({KEY_PGDN}));
  EXPECT_EQ(1, tile.texture);
  tile.texture = 0;
  command({KEY_PGDN});
  EXPECT_EQ(0, tile.texture);
  command({KEY_PGUP});
  EXPECT_EQ(1, tile.texture);

  tile.texture = 3;
  press({KEY_PGDN});
  EXPECT_EQ(2, tile.texture);
  EXPECT_EQ(0, height_map_unsaved());
}

TEST_F(MainLoop, TagAndStepKeys) {
  view.zoom_level = 2;
  EXPECT_TRUE(command({KEY_T}));
  EXPECT_EQ(1, tile_at(view.cursor_x, view.cursor_y).tag);

  use_heights(4);
  view.edit_mode = EDIT_HEIGHTS;
  EXPECT_FALSE(command({KEY_T}));
  EXPECT_EQ(10, height_map.height_step);
  command({KEY_T});
  EXPECT_EQ(4, height_map.height_step);
  EXPECT_EQ(1, tile_at(view.cursor_x, view.cursor_y).tag);
  EXPECT_EQ(0, height_map_unsaved());

  height_map.detected_height_step = height_map.height_step = 10;
  command({KEY_T});
  EXPECT_EQ(10, height_map.height_step);
}

TEST_F(MainLoop, HeightKeysMarkTheHeightMap) {
  use_heights(10);
  view.zoom_level = 3;
  EXPECT_FALSE(command({KEY_F}));  // empty clipboard: nothing
  EXPECT_EQ(0, height_map_unsaved());

  EXPECT_TRUE(command({KEY_M}));
  EXPECT_EQ(EDIT_HEIGHTS, view.edit_mode);
  height_map.heights[4 * view.cursor_x][4 * view.cursor_y] = 7;
  EXPECT_TRUE(command({KEY_PGUP}));
  EXPECT_EQ(17, height_map.heights[4 * view.cursor_x][4 * view.cursor_y]);
  EXPECT_EQ(0, tile_map_unsaved());
  EXPECT_EQ(1, height_map_unsaved());

  EXPECT_FALSE(command({KEY_D}));
  view.cursor_x++;
  EXPECT_TRUE(command({KEY_F}));
  EXPECT_EQ(17, height_map.heights[4 * view.cursor_x][4 * view.cursor_y]);
  EXPECT_TRUE(command({KEY_R}));
  EXPECT_EQ(17, height_map.heights[4 * view.cursor_x + 3][4 * view.cursor_y]);
  EXPECT_TRUE(command({KEY_PGDN}));
  EXPECT_EQ(7, height_map.heights[4 * view.cursor_x + 3][4 * view.cursor_y]);

  EXPECT_TRUE(command({KEY_M}));
  EXPECT_EQ(EDIT_TILES, view.edit_mode);
  EXPECT_EQ(0, tile_map_unsaved());
}

TEST_F(MainLoop, CommandsWithoutTheirDataDoNothing) {
  view.zoom_level = 3;
  EXPECT_FALSE(command({KEY_M}));
  EXPECT_EQ(EDIT_TILES, view.edit_mode);
  EXPECT_FALSE(command({KEY_D}));
  EXPECT_TRUE(height_clipboard_empty());

  texture_table.last_declared_texture = 0;
  const int before = files_in_working_dir();
  for (int k : {KEY_F6, KEY_F8, KEY_F9, KEY_F10}) EXPECT_FALSE(command({k}));
  EXPECT_EQ(before, files_in_working_dir());
  EXPECT_EQ(0, tile_map_unsaved());
  EXPECT_EQ(0, height_map_unsaved());
}

TEST_F(MainLoop, EmptyClipboardPasteChangesNothing) {
  view.zoom_level = 4;
  const Tile before = tile_at(view.cursor_x, view.cursor_y);
  EXPECT_TRUE(command({KEY_V}));
  EXPECT_TRUE(command({KEY_B}));
  EXPECT_EQ(0, tile_map_unsaved());
  EXPECT_EQ(0, history_undo_count());
  EXPECT_EQ(0, memcmp(&before, &tile_at(view.cursor_x, view.cursor_y), sizeof(Tile)));

  EXPECT_FALSE(command({KEY_C}));
  EXPECT_EQ(0, tile_map_unsaved());
  EXPECT_EQ(before.texture, clipboards.tiles.centre().texture);
}

TEST_F(MainLoop, TileInformationBox) {
  view.zoom_level = 6;  // not an editing command: any zoom level
  tile_at(view.cursor_x, view.cursor_y).texture = 3;
  snprintf(texture_table.textures[3].filename, PATH_SIZE, "meadow.bmp");
  texture_table.textures[3].file_width = 256;
  texture_table.textures[3].file_height = 128;
  AlertAnswers alerts;
  alerts.answer('r');
  EXPECT_FALSE(command({KEY_I}));
  ASSERT_EQ(1u, alerts.shown.size());
  EXPECT_EQ(0, alerts.unanswered);
  const ShownAlert &box = alerts.shown[0];
  EXPECT_EQ("Tile File &Info:", box.lines[0]);
  EXPECT_EQ("meadow.bmp", box.lines[1]);
  EXPECT_EQ("256x128", box.lines[2]);
  EXPECT_EQ(std::vector<std::string>{"&Return"}, box.buttons);
  EXPECT_EQ(std::vector<int>{'r'}, box.keys);

  tile_at(view.cursor_x, view.cursor_y).texture = 5;  // never loaded
  alerts.answer('r');
  command({KEY_I});
  EXPECT_EQ("0x0", alerts.shown.back().lines[2]);
  EXPECT_EQ(0, tile_map_unsaved());
}

// A failed export has its alert; the strip is then drawn again, so that its
// "Exporting..." line does not stay. A finished export keeps its message.
TEST_F(MainLoop, FailedExportRedrawsTheStrip) {
  AlertAnswers alerts;
  alerts.answer_every(KEY_ANSWER_OK);
  EXPECT_FALSE(command({KEY_F5}));
  EXPECT_TRUE(alerts.shown.empty());
  for (int n = 1; n < 999; n++) {
    char name[64];
    snprintf(name, sizeof(name), "plain_Data1x_%03d.bmp", n);
    write_text(dir.file(name), "x");
  }
  const int files = files_in_working_dir();
  EXPECT_TRUE(command({KEY_F5}));
  ASSERT_EQ(1u, alerts.shown.size());
  EXPECT_EQ("No free file name for the export.", alerts.shown[0].lines[0]);
  EXPECT_EQ(files, files_in_working_dir());
}

TEST_F(MainLoop, EscAnsweredReturnGoesOn) {
  view.zoom_level = 4;
  press({KEY_R});
  AlertAnswers alerts;
  alerts.answer('r');
  const int x = view.cursor_x, y = view.cursor_y;
  press({KEY_ESC});
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  ASSERT_EQ(1u, alerts.shown.size());
  EXPECT_EQ("Save changes to TileMap:", alerts.shown[0].lines[0]);
  EXPECT_EQ(1, tile_map_unsaved());
  EXPECT_EQ(x, view.cursor_x);
  EXPECT_EQ(y, view.cursor_y);
  EXPECT_EQ(4, view.zoom_level);
}

TEST_F(MainLoop, CloseButtonActsAsEsc) {
  view.zoom_level = 4;
  command({KEY_R});
  AlertAnswers alerts;
  alerts.answer('r');
  close_requested = 1;
  main_loop_pass();
  EXPECT_EQ(0, close_requested);
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  ASSERT_EQ(1u, alerts.shown.size());
  EXPECT_EQ("Save changes to TileMap:", alerts.shown[0].lines[0]);

  // Nothing changed: the program ends without a question.
  history_mark_saved(HISTORY_TILE_MAP);
  close_requested = 1;
  main_loop_pass();
  EXPECT_EQ(RUN_END, session.run_state);
  EXPECT_EQ(1u, alerts.shown.size());
}

TEST_F(MainLoop, StartZoomFromTheSetting) {
  session.start_zoom = 3;
  open_map(200, 200);
  EXPECT_EQ(3, view.zoom_level);
  // By default the closest level that shows a small terrain whole; a large
  // one opens at the farthest.
  session.start_zoom = START_ZOOM_FIT;
  open_map(20, 12);
  EXPECT_EQ(3, view.zoom_level);  // 20 x 12 tiles of 32 pixels in 768 x 512
  // As many rows as level 6 shows: all of them, the cursor one row lower.
  open_map(100, 128);
  EXPECT_EQ(6, view.zoom_level);
  EXPECT_EQ(64, view.cursor_y);
  open_map(1000, 900);
  EXPECT_EQ(ZOOM_FARTHEST, view.zoom_level);
}

TEST_F(MainLoop, LoopStartsFreshAndEndsOnClose) {
  view.cursor_x = 3;
  view.zoom_level = 2;
  close_requested = 1;
  main_loop();
  EXPECT_EQ(RUN_END, session.run_state);
  EXPECT_EQ(25, view.cursor_x);
  EXPECT_EQ(19, view.cursor_y);
  EXPECT_EQ(8, view.zoom_level);

  // Not entered at all without an open terrain or once the state is set.
  session.run_state = RUN_CONTINUE;
  session.terrain_open = 0;
  close_requested = 1;
  main_loop();
  EXPECT_EQ(1, close_requested);
}

TEST_F(MainLoop, MouseReadout) {
  open_map(200, 200);
  ASSERT_EQ(768, display.screen_width);
  ASSERT_EQ(512, display.status_y);
  int x, y;
  mouse_readout(0, 0, &x, &y);
  EXPECT_EQ(-1, x);
  EXPECT_EQ(-1, y);
  mouse_readout(384, 256, &x, &y);
  EXPECT_EQ(200000, x);  // west edge of the cursor tile
  EXPECT_EQ(202000, y);  // its north edge
  mouse_readout(385, 257, &x, &y);
  EXPECT_EQ(202000, x);
  EXPECT_EQ(200000, y);

  // The east edge still reads, one pixel beyond does not; likewise south.
  view.cursor_x = 199;
  mouse_readout(385, 256, &x, &y);
  EXPECT_EQ(400000, x);
  mouse_readout(386, 256, &x, &y);
  EXPECT_EQ(-1, x);
  EXPECT_EQ(-1, y);
  mouse_readout(300, 357, &x, &y);
  EXPECT_EQ(0, y);
  mouse_readout(300, 358, &x, &y);
  EXPECT_EQ(-1, y);

  // At zoom level 0 a tile is 256 pixels; the cursor tile starts at (256, 256).
  view.zoom_level = 0;
  view.cursor_x = 100;
  mouse_readout(256, 256, &x, &y);
  EXPECT_EQ(200000, x);
  EXPECT_EQ(202000, y);
  mouse_readout(511, 511, &x, &y);
  EXPECT_EQ(201992, x);
  EXPECT_EQ(200008, y);
}

TEST_F(MainLoop, DegenerateMapsKeepTheCursorOnTheMap) {
  const int sizes[][2] = {{5, 1}, {1, 1}, {1, 7}, {0, 0}, {6, 0}, {0, 6}};
  for (auto &size : sizes) {
    SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1]);
    reset_program_state();
    give_textures_levels();
    open_map(size[0], size[1]);
    use_heights(10);
    const bool has_tiles = size[0] > 0 && size[1] > 0;
    EXPECT_EQ(size[0] > 0 ? size[0] / 2 : 0, view.cursor_x);
    // The middle row or, where that makes every row show, the one below.
    const int middle = size[1] > 1 ? size[1] / 2 - 1 : 0;
    EXPECT_TRUE(view.cursor_y == middle || (size[1] > 1 && view.cursor_y == middle + 1)) << view.cursor_y;

    // Whole passes for the moves and the redraws, the commands alone for the rest.
    clear_to_color(display.back_buffer, makecol(255, 255, 255));
    for (int zoom : {8, 0}) {
      view.zoom_level = zoom;
      for (int k : {KEY_LEFT, KEY_UP, KEY_RIGHT, KEY_DOWN, KEY_DOWN, KEY_RIGHT}) {
        press({k});
        ASSERT_TRUE(view.cursor_x >= 0 && view.cursor_y >= 0);
        if (has_tiles) {
          ASSERT_TRUE(tile_on_map(view.cursor_x, view.cursor_y));
        }
      }
    }
    for (int zoom : {4, 0}) {
      view.zoom_level = zoom;
      for (int mode : {EDIT_TILES, EDIT_HEIGHTS}) {
        view.edit_mode = mode;
        for (int k : {KEY_PGUP, KEY_PGDN, KEY_R, KEY_T, KEY_C, KEY_V, KEY_B, KEY_D, KEY_F})
          command({k});
      }
    }
    press({KEY_TAB});
    // The information box needs a tile: no box on an empty map.
    AlertAnswers alerts;
    if (has_tiles) alerts.answer('r');
    command({KEY_I});
    EXPECT_EQ(has_tiles ? 1u : 0u, alerts.shown.size());
    EXPECT_EQ(0, alerts.unanswered);

    EXPECT_EQ(has_tiles, tile_map_unsaved() == 1);
    EXPECT_EQ(has_tiles, height_map_unsaved() == 1);
    if (!has_tiles) {
      int x, y;
      EXPECT_EQ(Rgb({0, 0, 0}), pixel_rgb(display.back_buffer, 10, 10));  // the empty view
      for (int mx : {0, 384, 767})
        for (int my : {0, 256, 537}) {
          mouse_readout(mx, my, &x, &y);
          EXPECT_EQ(-1, x);
          EXPECT_EQ(-1, y);
        }
    }
  }
}

// What a command wants said in the strip, without the padding.
std::string note_of(std::initializer_list<int> keys) {
  KeyCommand c = {&view, &loop_pacing().key_delay};
  int redraw;
  run_key_table(c, press_of(keys), &redraw);
  std::string text = c.note;
  if (!text.empty()) {
    EXPECT_LE(59u, text.size()) << text;
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// P and N set the one field of what the left button does, so each ends the
// other's mode; N needs lands; land mode's Ctrl + F fills lands on tiles
// only, and in height display Ctrl + F is the height fill it was.
TEST_F(MainLoop, PaintAndLandModesExcludeEachOther) {
  const std::string lands_file = "[Land002]\nName=Water\nColor=40,90,170\n[Land005]\nName=Grass\nColor=90,160,60\n"
                                 "[Texture001]\nCorners=Water,Water,Water,Water\n"
                                 "[Texture002]\nCorners=Grass,Grass,Grass,Grass\n";
  const struct {
    int key, lands, want;
    const char *note;
  } steps[] = {
      {KEY_N, 0, LEFT_BUTTON_PAN, "No lands: land mode needs a _LANDS.ini file that declares lands."},
      {KEY_P, 0, LEFT_BUTTON_PAINT, ""},   {KEY_N, 1, LEFT_BUTTON_LANDS, ""},
      {KEY_P, 1, LEFT_BUTTON_PAINT, ""},   {KEY_P, 1, LEFT_BUTTON_PAN, ""},
      {KEY_N, 1, LEFT_BUTTON_LANDS, ""},   {KEY_N, 1, LEFT_BUTTON_PAN, ""},
      {KEY_N, 1, LEFT_BUTTON_LANDS, ""},
  };
  for (int x = 0; x < tile_map.tiles_x; x++)
    for (int y = 0; y < tile_map.tiles_y; y++) tile_at(x, y).texture = 1;
  for (const auto &s : steps) {
    if (s.lands && !lands_in_use()) {
      ASSERT_EQ(RESULT_OK, read_land_text(lands_file.data(), (long)lands_file.size()));
      read_land_grid();
    }
    EXPECT_EQ(s.note, note_of({s.key})) << s.key;
    EXPECT_EQ(s.want, view.left_button) << s.key;
  }
  char strip[96];
  selection_and_brush_text(view, strip, sizeof(strip));
  EXPECT_STREQ("Land: Water 1 x 1", strip);  // the lowest-numbered land first

  view.land = 5;
  note_of({KEY_LCONTROL, KEY_A});
  EXPECT_EQ("2000 tiles", note_of({KEY_LCONTROL, KEY_F}));
  EXPECT_EQ(2, tile_at(49, 39).texture);
  EXPECT_EQ(1, history_undo_count());
  use_heights(10);
  view.edit_mode = EDIT_HEIGHTS;
  EXPECT_EQ("No heights copied.", note_of({KEY_LCONTROL, KEY_F}));
  clear_land_table();
}

TEST_F(MainLoop, UndoAndRedoGoToTheTileAndSaySo) {
  view.zoom_level = 4;
  const int x0 = view.cursor_x, y0 = view.cursor_y;
  Tile &first = tile_at(x0, y0);
  const Tile first_before = first;
  press({KEY_PGUP});
  press({KEY_RIGHT});
  press({KEY_DOWN});
  const Tile second_before = tile_at(x0 + 1, y0 + 1);
  press({KEY_R});
  const Tile second_after = tile_at(x0 + 1, y0 + 1);
  view.cursor_x = view.cursor_y = 0;

  EXPECT_EQ("Undo: rotation of tile 26, 19", note_of({KEY_LCONTROL, KEY_Z}));
  EXPECT_EQ(0, memcmp(&second_before, &tile_at(x0 + 1, y0 + 1), sizeof(Tile)));
  EXPECT_EQ(x0 + 1, view.cursor_x);
  EXPECT_EQ(y0 + 1, view.cursor_y);
  EXPECT_EQ("Undo: texture of tile 25, 20", note_of({KEY_RCONTROL, KEY_Z}));
  EXPECT_EQ(0, memcmp(&first_before, &first, sizeof(Tile)));
  EXPECT_EQ(x0, view.cursor_x);
  EXPECT_EQ(0, tile_map_unsaved());  // back at the opened state
  EXPECT_EQ("Nothing to undo.", note_of({KEY_LCONTROL, KEY_Z}));

  EXPECT_EQ("Redo: texture of tile 25, 20", note_of({KEY_LCONTROL, KEY_Y}));
  EXPECT_EQ(1, tile_map_unsaved());
  EXPECT_EQ("Redo: rotation of tile 26, 19", note_of({KEY_RCONTROL, KEY_LSHIFT, KEY_Z}));
  EXPECT_EQ(0, memcmp(&second_after, &tile_at(x0 + 1, y0 + 1), sizeof(Tile)));
  EXPECT_EQ("Nothing to redo.", note_of({KEY_LCONTROL, KEY_RSHIFT, KEY_Z}));

  // Without Ctrl the keys are no commands: only the pacing slows down.
  loop_pacing().key_delay = 2;
  EXPECT_EQ("", note_of({KEY_Z}));
  EXPECT_EQ(3, loop_pacing().key_delay);
  EXPECT_EQ("", note_of({KEY_LSHIFT, KEY_Y}));
  EXPECT_EQ(1, tile_map_unsaved());
  // With Ctrl they do not slow it down.
  note_of({KEY_LCONTROL, KEY_Y});
  EXPECT_EQ(4, loop_pacing().key_delay);
}

// An edit key that changes no byte makes no step, leaves the map as saved
// and says why. Each press counts once, with the modifiers of its press,
// however short; a held key's repeats still queued when it is let go do not.
TEST_F(MainLoop, NoOpEditsSaySoAndEveryPressCountsOnce) {
  use_heights(10);
  view.zoom_level = 4;
  tile_at(view.cursor_x, view.cursor_y).texture = TEXTURES;
  const struct {
    int mode, key;
    uint16_t height;
    const char *note;
  } cases[] = {
      {EDIT_TILES, KEY_PGUP, 0, "Nothing changed."},
      {EDIT_HEIGHTS, KEY_PGUP, 9999, "Nothing changed: the heights are at 9999."},
      {EDIT_HEIGHTS, KEY_PGDN, 0, "Nothing changed: the heights are at 0."},
  };
  for (const auto &c : cases) {
    view.edit_mode = c.mode;
    for (int x = 0; x < 4 * tile_map.tiles_x; x++)
      for (int y = 0; y < 4 * tile_map.tiles_y; y++) height_map.heights[x][y] = c.height;
    EXPECT_EQ(c.note, note_of({c.key}));
    EXPECT_EQ(0, history_undo_count());
    EXPECT_EQ(0, tile_map_unsaved() + height_map_unsaved());
  }

  install_key_recorder();
  view.edit_mode = EDIT_TILES;
  view.left_button = LEFT_BUTTON_PAINT;
  for (int n = 0; n < 9; n++) simulate_ukeypress(0, KEY_CLOSEBRACE);
  for (int n = 0; n < 9; n++) main_loop_pass();
  EXPECT_EQ(10, view.brush_size);
  view.left_button = LEFT_BUTTON_PAN;
  // Ctrl let go before the loop looks, after dialogs read more keys than
  // the record holds, is still Ctrl + Z.
  for (int n = 0; n < 300; n++) {
    simulate_ukeypress('a', KEY_A);
    while (n % 50 == 49 && keypressed()) readkey();
  }
  while (keypressed()) readkey();
  const int tag = tile_at(view.cursor_x, view.cursor_y).tag;
  simulate_ukeypress(0, KEY_T);
  main_loop_pass();
  hold({KEY_LCONTROL}, 1);
  simulate_ukeypress(0, KEY_Z);
  hold({KEY_LCONTROL}, 0);
  main_loop_pass();
  EXPECT_EQ(tag, tile_at(view.cursor_x, view.cursor_y).tag);
  EXPECT_EQ(0, history_undo_count());
  EXPECT_EQ(1, history_redo_count());

  const int x = view.cursor_x;
  key[KEY_RIGHT] = 1;
  for (int n = 0; n < 2; n++) {  // a press, then a repeat
    keyboard_lowlevel_callback(KEY_RIGHT);
    simulate_ukeypress(0, KEY_RIGHT);
  }
  keyboard_lowlevel_callback(KEY_RIGHT | 0x80);
  key[KEY_RIGHT] = 0;
  for (int n = 0; n < 3; n++) main_loop_pass();
  EXPECT_EQ(x + 1, view.cursor_x);
  keyboard_lowlevel_callback = nullptr;
  keyboard_ucallback = nullptr;
}

// Each command names what it did, in the order a user would press them;
// an edit that made no step says so instead, and a save or an export names
// its files and their folder.
TEST_F(MainLoop, CommandsSayWhatTheyDid) {
  use_heights(10);
  for (int x = 0; x < 4 * tile_map.tiles_x; x++)
    for (int y = 0; y < 4 * tile_map.tiles_y; y++) height_map.heights[x][y] = (uint16_t)(x * 7 % 300 + y);
  view.zoom_level = 4;
  view.cursor_x = 10, view.cursor_y = 10;
  write_text(terrain_paths.tfd_path, "old");
  snprintf(terrain_paths.hfd_path, PATH_SIZE, "%s", dir.file("plain.hfd").c_str());
  AlertAnswers alerts;
  const struct {
    std::function<void()> before;
    std::initializer_list<int> keys;
    std::string note;
  } steps[] = {
      {[] {}, {KEY_V}, "Nothing copied: C or Ctrl + C copies tiles, X picks a texture."},
      {[] {}, {KEY_C}, "Copied 3 x 3 tiles."},
      {[] { view.cursor_x++; }, {KEY_V}, "Pasted 1 tile."},
      {[] {}, {KEY_V}, "Nothing changed."},
      {[] { view.selected = 1, view.selection = {2, 3, 11, 8}; }, {KEY_LCONTROL, KEY_F}, "Filled 60 tiles."},
      {[] {}, {KEY_B}, "Pasted 3 x 3 tiles."},
      {[] { view.edit_mode = EDIT_HEIGHTS; }, {KEY_S}, "Smoothed 10 x 6 tiles."},
      {[] { height_map.heights[8][12] = 5000; }, {KEY_L}, "Level: 10 x 6 tiles at "},
      {[] {}, {KEY_L}, "Nothing changed."},
      {[] { view.selected = 0; }, {KEY_D}, "Copied the heights of 1 tile."},
      {[] {}, {KEY_PGDN}, "Lowered 1 tile (step 10 m)."},
      {[] { height_map.detected_height_step = 4; }, {KEY_T}, "Height step 4 m."},
      {[] { view.zoom_level = 0; }, {KEY_PGUP}, "Raised 1 sample (step 4 m)."},
      {[] { view.zoom_level = 4; }, {KEY_T}, "Height step 10 m."},
      {[] { view.selected = 1; }, {KEY_PGUP}, "Raised 10 x 6 tiles (step 10 m)."},
      {[] {}, {KEY_LCONTROL, KEY_S}, "Saved plain.TFD and plain.hfd."},
      {[] {}, {KEY_LCONTROL, KEY_S}, "Nothing to save: no unsaved edits."},
      {[] {}, {KEY_F5}, "Wrote plain_Data1x_000.bmp in "},
      {[] {}, {KEY_LSHIFT, KEY_F10}, "Wrote plain_Briefing_000.pdf and .png in "},
      {[] {}, {KEY_PRTSCR}, "Saved screenshot plain_screenshot_000.bmp."},
      // Target mode on a runway area: its heading and its side.
      {[] {
         view.selected = 0;
         session.enable_targets = 1;
         TargetArea &a = targets.areas[targets.area_count = 1] = TargetArea();
         snprintf(a.name, sizeof(a.name), "Saltmere AB");
         a.target_count = 1;
         snprintf(a.targets[1].type, sizeof(a.targets[1].type), "Runway2");
         a.targets[1].heading = 90;
       },
       {KEY_E}, ""},
      {[] { view.target_area = 1; }, {KEY_CLOSEBRACE}, "Runway heading 091."},
      {[] {}, {KEY_OPENBRACE}, "Runway heading 090."},
      {[] {}, {KEY_LSHIFT, KEY_ENTER}, "Saltmere AB: enemy."},
      {[] {}, {KEY_LSHIFT, KEY_ENTER}, "Saltmere AB: friendly."},
  };
  for (const auto &step : steps) {
    step.before();
    const std::string note = note_of(step.keys);
    EXPECT_EQ(step.note, note.substr(0, step.note.size())) << note;
  }
  EXPECT_EQ("", alerts.texts());
  // Target mode says so where paint and land mode do.
  char strip[96];
  selection_and_brush_text(view, strip, sizeof(strip));
  EXPECT_STREQ("Targets", strip);
  view.left_button = LEFT_BUTTON_PAN;
  view.edit_mode = EDIT_HEIGHTS;
  // The level named is the one every sample now has.
  view.cursor_x = 30;
  height_map.heights[120][40] = 900;
  EXPECT_EQ("Level: 1 tile at " + std::to_string(height_map.heights[121][43]) + " m.", note_of({KEY_L}));
  EXPECT_NE(900, height_map.heights[120][40]);
}

// The pass draws the view first and the note over it, where progress
// messages go: drawing the same text once more changes no pixel.
TEST_F(MainLoop, UndoNoteIsShownAfterTheRedraw) {
  MemoryScreen memory;
  view.zoom_level = 4;
  press({KEY_T});
  press({KEY_LEFT});
  press({KEY_LCONTROL, KEY_Z});
  BITMAP *copy = create_bitmap(screen->w, screen->h);
  blit(screen, copy, 0, 0, 0, 0, screen->w, screen->h);
  char expected[64];
  snprintf(expected, sizeof(expected), "%-59s", "Undo: tag of tile 25, 20");
  show_message(copy, 3, display.status_y + 13, SCHEME_VALUE, "%s", expected);
  int differing = 0, strip = 0;
  for (int y = 0; y < screen->h; y++)
    for (int x = 0; x < screen->w; x++) {
      differing += getpixel(copy, x, y) != getpixel(screen, x, y);
      strip += getpixel(screen, x, y) == display.colour_blue;
    }
  EXPECT_EQ(0, differing);
  EXPECT_GT(strip, 50);  // the text is there in blue
  destroy_bitmap(copy);
}

TEST_F(MainLoop, SaveKeyWritesChangedMapsAndStays) {
  write_text(terrain_paths.tfd_path, "old");
  view.zoom_level = 4;
  press({KEY_PGUP});
  AlertAnswers alerts;
  loop_pacing().key_delay = 5;
  press({KEY_RCONTROL, KEY_S});
  EXPECT_EQ(5, loop_pacing().key_delay);
  EXPECT_TRUE(alerts.shown.empty());
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  EXPECT_EQ(0, tile_map_unsaved());
  EXPECT_EQ(16u + 12u * 50 * 40, read_file(terrain_paths.tfd_path).size());

  // A plain S is no save.
  press({KEY_T});
  press({KEY_S});
  EXPECT_EQ(1, tile_map_unsaved());
  press({KEY_LCONTROL, KEY_S});
  EXPECT_EQ(0, tile_map_unsaved());
  press({KEY_ESC});
  EXPECT_EQ(RUN_END, session.run_state);
  EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(MainLoop, SaveKeyFailureShowsTheErrorAndKeepsTheEdits) {
  snprintf(terrain_paths.tfd_path, PATH_SIZE, "%s", dir.file("folder.TFD").c_str());
  ASSERT_EQ(0, mkdir(terrain_paths.tfd_path, 0755));
  view.zoom_level = 4;
  press({KEY_PGUP});
  const Tile edited = tile_at(view.cursor_x, view.cursor_y);
  AlertAnswers alerts;
  alerts.answer('o');
  press({KEY_LCONTROL, KEY_S});
  ASSERT_EQ(1u, alerts.shown.size());
  EXPECT_EQ("Error writing TFD file.", alerts.shown[0].lines[0]);
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  EXPECT_EQ(1, tile_map_unsaved());
  EXPECT_EQ(0, memcmp(&edited, &tile_at(view.cursor_x, view.cursor_y), sizeof(Tile)));
}

// Each texture its own colour, so that a pixel of the view names its tile.
class MouseOnTheMap : public MainLoop {
 protected:
  enum { COLUMNS = 9, ROWS = 7 };
  void SetUp() override {
    reset_program_state();
    snprintf(terrain_paths.tfd_path, PATH_SIZE, "%s", dir.file("plain.TFD").c_str());
    texture_table.texture_count = COLUMNS * ROWS;
    for (int t = 1; t <= COLUMNS * ROWS; t++) {
      const int colour = makecol(3 * t, 250 - 3 * t, 77);
      texture_of[colour] = t;
      texture_table.textures[t].sample_color = colour;  // the one-pixel view
      for (int k = 0; k < TEXTURE_LEVELS; k++) {
        BITMAP *level = create_bitmap(256 >> k, 256 >> k);
        clear_to_color(level, colour);
        texture_table.textures[t].levels[k] = level;
      }
    }
    tile_map.tiles_x = COLUMNS;
    tile_map.tiles_y = ROWS;
    for (int x = 0; x < COLUMNS; x++)
      for (int y = 0; y < ROWS; y++) tile_at(x, y).texture = (int16_t)(1 + x + COLUMNS * y);
    session.terrain_open = 1;
    reset_view();
  }
  std::map<int, int> texture_of;
};

TEST_F(MouseOnTheMap, TheTileUnderThePointerIsTheOneDrawnThere) {
  BITMAP *bmp = display.back_buffer;
  const int cursors[][2] = {{4, 2}, {0, 0}, {8, 6}, {1, 5}};
  for (int zoom = 0; zoom <= ZOOM_FARTHEST; zoom++)
    for (auto &cursor : cursors) {
      SCOPED_TRACE(testing::Message() << "zoom " << zoom << " cursor " << cursor[0] << "," << cursor[1]);
      view.zoom_level = zoom;
      view.cursor_x = cursor[0];
      view.cursor_y = cursor[1];
      draw_map_view(bmp, view, 0);
      int matched = 0, wrong = 0, black_named = 0;
      for (int my = 0; my < display.status_y; my++)
        for (int mx = 0; mx < display.screen_width; mx++) {
          const int colour = getpixel(bmp, mx, my);
          const auto drawn = texture_of.find(colour);
          int x, y;
          const int off = tile_under_pointer(mx, my, &x, &y);
          if (drawn == texture_of.end()) {
            // Black is off the map, or the cursor's frame on it.
            black_named += colour == display.colour_black && off == 0;
            continue;
          }
          if (off != 0 || tile_at(x, y).texture != drawn->second) {
            if (wrong++ < 3) ADD_FAILURE() << "pixel " << mx << "," << my;
          } else {
            matched++;
          }
        }
      EXPECT_EQ(0, wrong);
      EXPECT_GT(matched, 0);
      EXPECT_LE(black_named, zoom <= 4 ? 4 * (1 << (8 - zoom)) : 0);
      int x, y;
      EXPECT_EQ(1, tile_under_pointer(display.screen_width / 2, display.status_y, &x, &y));
      EXPECT_EQ(1, tile_under_pointer(display.screen_width / 2, display.screen_height - 1, &x, &y));
    }
}

// The ruler's line is drawn over the frame on the screen only while Ctrl is
// held, follows the pointer, and leaves nothing behind once Ctrl goes.
TEST_F(MouseOnTheMap, RulerLineGoesWithCtrl) {
  MemoryScreen memory;
  view.zoom_level = 2;
  mouse_x = 700;
  mouse_y = 200;
  main_loop_pass();
  auto map_as_frame = [] {
    // The library's pointer, drawn on the screen when the window has none
    // of its own (another test's window may hold the X pointer), is no part
    // of the frame.
    show_mouse(nullptr);
    for (int y = 0; y < display.status_y; y++)
      for (int x = 0; x < display.screen_width; x++)
        if (getpixel(screen, x, y) != getpixel(display.back_buffer, x, y)) return false;
    return true;
  };
  ASSERT_TRUE(map_as_frame());
  hold({KEY_LCONTROL}, 1);
  main_loop_pass();
  int cx, cy;
  cursor_tile_centre(view, display.screen_width, display.status_y, &cx, &cy);
  int white = 0;
  for (int k = 1; k < 10; k++) {
    const int x = cx + (700 - cx) * k / 10, y = cy + (200 - cy) * k / 10;
    for (int d = -1; d <= 1; d++) white += getpixel(screen, x, y + d) == display.colour_white;
  }
  EXPECT_GE(white, 7);
  EXPECT_FALSE(map_as_frame());
  mouse_x = 650;
  main_loop_pass();
  hold({KEY_LCONTROL}, 0);
  main_loop_pass();
  EXPECT_TRUE(map_as_frame());
}

// Target mode: a click selects the mark under the pointer (the target
// before its area when both are there), a click on nothing clears, and a
// drag on the selection moves it as one step that undo takes back.
TEST_F(MouseOnTheMap, TargetModeSelectsAndDragsMarks) {
  session.enable_targets = 1;
  // A second area, near the first: drawn with the map while the first is dragged.
  targets.area_count = 2;
  TargetArea &other = targets.areas[2];
  other = TargetArea();
  snprintf(other.name, sizeof(other.name), "Radar");
  other.pos_x = 13000, other.pos_y = 3000;
  other.enemy = 1;
  other.target_count = 2;
  other.targets[2].file_offset_x = -1500;
  turn_area_targets(other);
  TargetArea &area = targets.areas[1];
  area = TargetArea();
  snprintf(area.name, sizeof(area.name), "Depot");
  area.pos_x = 9000, area.pos_y = 7000;  // the middle of tile 4, 3
  area.target_count = 1;
  snprintf(area.targets[1].type, sizeof(area.targets[1].type), "Hangar");
  area.targets[1].offset_y = area.targets[1].file_offset_y = 500;
  history_clear();
  view.zoom_level = 2;  // 64 pixels a tile: the cursor tile's cell starts at (384, 256)
  view.cursor_x = 4;
  view.cursor_y = 3;
  view.left_button = LEFT_BUTTON_TARGETS;
  main_loop_pass();
  const struct {
    int x, y, area, target;
  } clicks[] = {{416, 288, 1, 0}, {417, 272, 1, 1}, {600, 100, 0, 0}, {416, 289, 1, 0}};
  for (const auto &c : clicks) {
    record_mouse_event(MOUSE_LEFT_DOWN, c.x, c.y);
    record_mouse_event(MOUSE_LEFT_UP, c.x, c.y);
    main_loop_pass();
    EXPECT_EQ(c.area, view.target_area) << c.x << "," << c.y;
    EXPECT_EQ(c.target, view.target) << c.x << "," << c.y;
  }
  // Two tiles east, dragged on the selected area from beside its mark's
  // middle: it moves by the pointer's way, without a jump, and its target
  // goes with it.
  record_mouse_event(MOUSE_LEFT_DOWN, 419, 290);
  mouse_b = 1, mouse_x = 419, mouse_y = 290;
  main_loop_pass();
  mouse_x = 419 + 128;
  main_loop_pass();
  // The frame of the drag, its map and other area kept from the press, is
  // the picture a whole drawing gives.
  {
    BITMAP *whole = create_bitmap(display.back_buffer->w, display.back_buffer->h);
    ViewState fresh = view;
    fresh.map_layers_kept = 0;
    ASSERT_TRUE(view.map_layers_kept);
    draw_map_view(whole, fresh, 1);
    int differing = 0;
    for (int y = 0; y < display.status_y; y++)
      for (int x = 0; x < whole->w; x++) differing += getpixel(whole, x, y) != getpixel(display.back_buffer, x, y);
    destroy_bitmap(whole);
    EXPECT_EQ(0, differing);
  }
  record_mouse_event(MOUSE_LEFT_UP, 419 + 128, 290);
  mouse_b = 0;
  main_loop_pass();
  EXPECT_EQ(13000.0f, targets.areas[1].pos_x);
  EXPECT_EQ(7000.0f, targets.areas[1].pos_y);
  EXPECT_EQ(500.0f, targets.areas[1].targets[1].file_offset_y);
  EXPECT_EQ(1, history_undo_count());
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
  EXPECT_STREQ("move of TargetArea001", text);
  EXPECT_EQ(9000.0f, targets.areas[1].pos_x);
  EXPECT_FALSE(view.map_layers_kept);
}

TEST_F(MouseOnTheMap, AShortClickMovesTheCursor) {
  view.zoom_level = 2;  // 64 pixels a tile: the cursor tile's cell starts at (384, 256)
  view.cursor_x = 4;
  view.cursor_y = 3;
  main_loop_pass();
  // Pressed and released between two passes: only the press was recorded.
  note_left_press(384 + 64 + 10, 256 - 64 + 5);
  main_loop_pass();
  EXPECT_EQ(5, view.cursor_x);
  EXPECT_EQ(2, view.cursor_y);
  EXPECT_EQ(5, loop_pacing().prev_x);  // drawn there

  // Nothing on the strip or off the map; the next pass does not repeat a click.
  note_left_press(10, display.status_y + 3);
  main_loop_pass();
  note_left_press(2, 2);
  main_loop_pass();
  EXPECT_EQ(5, view.cursor_x);
  EXPECT_EQ(2, view.cursor_y);

  // Two clicks between passes: the last one counts.
  note_left_press(384 - 64, 256);
  note_left_press(384 + 64, 256 + 64);
  main_loop_pass();
  EXPECT_EQ(6, view.cursor_x);
  EXPECT_EQ(3, view.cursor_y);

  // Clicks made while a dialog was open were meant for the dialog.
  note_left_press(384 + 64, 256);
  forget_mouse_input();
  main_loop_pass();
  EXPECT_EQ(6, view.cursor_x);
}

// A left drag moves the map by the pointer's travel in whole tiles; one
// that travels less than a tile is a click.
TEST_F(MouseOnTheMap, ADragMovesTheMapByWholeTiles) {
  const struct {
    int zoom, dx, dy, want_x, want_y;
  } cases[] = {{2, 130, -70, 2, 4}, {2, -64, 0, 5, 3}, {2, 63, -63, 4, 3},  // 63 pixels: a click on the press tile
               {2, 1000, 0, 0, 3},  {8, 3, 2, 1, 1},     {5, -17, 9, 6, 2}};
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << "zoom " << c.zoom << " travel " << c.dx << "," << c.dy);
    view.zoom_level = c.zoom;
    view.cursor_x = 4;
    view.cursor_y = 3;
    main_loop_pass();
    record_mouse_event(MOUSE_LEFT_DOWN, 386, 257);  // on the map at every zoom
    record_mouse_event(MOUSE_LEFT_UP, 386 + c.dx, 257 + c.dy);
    main_loop_pass();
    EXPECT_EQ(c.want_x, view.cursor_x);
    EXPECT_EQ(c.want_y, view.cursor_y);
  }
}

// A notch keeps the tile under the pointer under it, unless the map's edge
// stops the cursor.
TEST_F(MouseOnTheMap, WheelZoomsAboutThePointer) {
  tile_map.tiles_x = 300;
  tile_map.tiles_y = 200;
  std::mt19937 r(23);
  for (int n = 0, x, y, after_x, after_y; n < 400; n++) {
    // The cursor moves (mx - 384) (1 / s - 1 / s') tiles: at most 48 across, 32 down from zoom 5.
    view.zoom_level = 1 + (int)(r() % 5);
    view.cursor_x = 50 + (int)(r() % 200);
    view.cursor_y = 40 + (int)(r() % 120);
    // Pixels of its own: the library's mouse thread may move mouse_x and mouse_y.
    const int mx = (int)(r() % (unsigned)display.screen_width), my = (int)(r() % (unsigned)display.status_y);
    if (tile_under_pointer(mx, my, &x, &y) != 0) continue;
    zoom_about(view, view.zoom_level + (r() % 2 ? 1 : -1), mx, my);
    ASSERT_EQ(0, tile_under_pointer(mx, my, &after_x, &after_y));
    ASSERT_TRUE(x == after_x && y == after_y) << n << ": " << x << "," << y << " became " << after_x << "," << after_y;
  }
}

TEST_F(MouseOnTheMap, WheelZoomsOneLevelPerNotch) {
  view.cursor_x = 2;
  view.cursor_y = 5;
  // The pointer on the cursor tile at every zoom level: the cursor stays.
  mouse_x = display.screen_width / 2;
  mouse_y = display.status_y / 2;
  main_loop_pass();
  EXPECT_EQ(8, view.zoom_level);
  mouse_z += 3;  // three notches away from the user
  main_loop_pass();
  EXPECT_EQ(5, view.zoom_level);
  EXPECT_EQ(2, view.cursor_x);
  EXPECT_EQ(5, view.cursor_y);
  mouse_z -= 1;
  main_loop_pass();
  EXPECT_EQ(6, view.zoom_level);
  // Past the last level the wheel stops there, and turns back at once.
  mouse_z += 20;
  main_loop_pass();
  EXPECT_EQ(0, view.zoom_level);
  mouse_z -= 1;
  main_loop_pass();
  EXPECT_EQ(1, view.zoom_level);
  mouse_z -= 30;
  main_loop_pass();
  EXPECT_EQ(ZOOM_FARTHEST, view.zoom_level);
  EXPECT_EQ(2, view.cursor_x);
  EXPECT_EQ(5, view.cursor_y);
}

// F12 through its dialog: a value typed and saved goes into Veldkit.ini
// beside the file's other lines; one out of range is refused with its
// range, and the dialog then left with Esc writes nothing.
TEST_F(MainLoop, SettingsDialogSavesAndRefuses) {
  write_text("Veldkit.ini", "; mine\n[Export]\nFormat=bmp\n");
  AlertAnswers alerts;
  alerts.answer_text("0");  // the width field has the focus: 768 becomes 7680
  EXPECT_EQ("Saved Veldkit.ini; the window size from the next start.", note_of({KEY_F12}));
  std::vector<unsigned char> written = read_file("Veldkit.ini");
  EXPECT_EQ("; mine\n[Export]\nFormat=bmp\n\n[Display]\nScreen-Width=7680\n", std::string(written.begin(), written.end()));
  alerts.answer_text("0");
  alerts.answer('o');
  EXPECT_EQ("", note_of({KEY_F12}));
  ASSERT_EQ(4u, alerts.shown.size());  // the dialog, the refusal, the dialog again
  EXPECT_EQ("Window width must be a whole number", alerts.shown[2].lines[0]);
  EXPECT_EQ("from 640 to 16384, not 76800.", alerts.shown[2].lines[1]);
  EXPECT_EQ(1, alerts.unanswered);
  written = read_file("Veldkit.ini");
  EXPECT_EQ("; mine\n[Export]\nFormat=bmp\n\n[Display]\nScreen-Width=7680\n", std::string(written.begin(), written.end()));
  set_config_data("", 0);
}

}  // namespace
