#include <climits>
#include <dirent.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>
#include <ctime>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/editing.h"
#include "app/save_prompt.h"
#include "app/startup.h"
#include "core/file_stamp.h"
#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "edit/target_edits.h"
#include "files/height_map_file.h"
#include "files/target_areas.h"
#include "files/tile_map_file.h"
#include "tests/unit/dialog_answers.h"
#include "tests/unit/harness.h"

namespace {

const int TX = 3, TY = 2;

// Six words per tile, rows from the south edge.
std::vector<uint16_t> tile_words() {
  std::vector<uint16_t> words;
  for (int n = 0; n < TX * TY; n++) {
    const uint16_t record[6] = {(uint16_t)(n + 2), (uint16_t)(n % 4), (uint16_t)(n % 3),
                                (uint16_t)(0x40 + n), (uint16_t)(0x50 + n), (uint16_t)(0x60 + n)};
    words.insert(words.end(), record, record + 6);
  }
  return words;
}

std::vector<unsigned char> tile_file(const std::vector<uint16_t> &words) {
  std::vector<unsigned char> out;
  put_le32(out, TX);
  put_le32(out, TY);
  put_le32(out, 0x0BADF00D);
  put_le32(out, -7);
  for (uint16_t w : words) put_le16(out, w);
  return out;
}

// The height map's file image, made from the model.
std::vector<unsigned char> height_file_of_model() {
  std::vector<unsigned char> out;
  put_le32(out, height_map.samples_x);
  put_le32(out, height_map.samples_y);
  put_le32(out, height_map.header3);
  put_le32(out, height_map.header4);
  for (int i = 0; i < height_map.samples_y; i++)
    for (int x = 0; x < height_map.samples_x; x++)
      put_le16(out, height_map.heights[x][height_map.samples_y - 1 - i]);
  return out;
}

int leftover_files(const std::string &path, const char *ending) {
  int n = 0;
  DIR *dir = opendir(path.c_str());
  while (dirent *e = readdir(dir)) {
    const std::string name = e->d_name;
    const size_t len = strlen(ending);
    n += name.size() >= len && name.compare(name.size() - len, len, ending) == 0;
  }
  closedir(dir);
  return n;
}

class SavePrompt : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    tfd = dir.file("land.TFD");
    hfd = dir.file("land.hfd");
    original_tiles = tile_file(tile_words());
    write_file(tfd, original_tiles);
    ASSERT_EQ(0, load_tile_map(tfd.c_str(), nullptr));
    snprintf(terrain_paths.tfd_path, PATH_SIZE, "%s", tfd.c_str());
    snprintf(terrain_paths.hfd_path, PATH_SIZE, "%s", hfd.c_str());

    height_map.samples_x = 4 * TX;
    height_map.samples_y = 4 * TY;
    height_map.header3 = 17;
    height_map.header4 = -3;
    for (int x = 0; x < 4 * TX; x++)
      for (int y = 0; y < 4 * TY; y++) height_map.heights[x][y] = (uint16_t)(100 * x + y);
    height_map.max_height = 1107;
    height_map.heights_loaded = 1;
    original_heights = std::vector<unsigned char>(16 + 2 * 16 * TX * TY, 0xEE);
    write_file(hfd, original_heights);
    session.terrain_open = 1;
  }
  void TearDown() override { reset_program_state(); }

  // The texture of tile (1, 0) goes up by one: the second record of the last file row.
  std::vector<unsigned char> edit_tiles() {
    history_begin(HISTORY_TEXTURE, 1, 0, 0);
    tile_at(1, 0).texture++;
    history_end();
    std::vector<uint16_t> words = tile_words();
    words[((TY - 1) * TX + 1) * 6]++;
    return tile_file(words);
  }
  std::vector<unsigned char> edit_heights() {
    history_begin(HISTORY_LOWER_SAMPLE, 1, 0, 1);
    height_map.heights[5][0] = 0;
    history_end();
    history_begin(HISTORY_RAISE_SAMPLE, 0, 1, 12);
    height_map.heights[0][7] = 1107;
    history_end();
    return height_file_of_model();
  }
  // The height-map writer may still be missing; the tests that need a
  // written height map wait for it.
  static void expect_question(const ShownAlert &box, const char *question, const char *path) {
    EXPECT_EQ(question, box.lines[0]);
    EXPECT_EQ(path, box.lines[1]);
    EXPECT_EQ("before exit?", box.lines[2]);
    EXPECT_EQ((std::vector<std::string>{"&Yes", "&No", "&Return"}), box.buttons);
    EXPECT_EQ((std::vector<int>{'y', 'n', 'r'}), box.keys);
  }
  // The file, then the system's reason.
  static void expect_error(const ShownAlert &box, const char *text, const char *path, const std::string &reason) {
    EXPECT_EQ(text, box.lines[0]);
    EXPECT_EQ(path, box.lines[1]);
    EXPECT_EQ(reason, box.lines[2]);
    EXPECT_EQ(std::vector<std::string>{"OK"}, box.buttons);
    EXPECT_EQ(std::vector<int>{'o'}, box.keys);
  }

  TempDir dir;
  std::string tfd, hfd;
  std::vector<unsigned char> original_tiles, original_heights;
  AlertAnswers alerts;
};

TEST_F(SavePrompt, NothingChangedEndsWithoutQuestion) {
  confirm_exit();
  EXPECT_EQ(RUN_END, session.run_state);
  EXPECT_TRUE(alerts.shown.empty());

  // A height step without a loaded height map has nothing to save either.
  edit_heights();
  height_map.heights_loaded = 0;
  session.run_state = RUN_CONTINUE;
  confirm_exit();
  EXPECT_EQ(RUN_END, session.run_state);
  EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(SavePrompt, TileMapYesWritesIt) {
  const auto expected = edit_tiles();
  alerts.answer('y');
  confirm_exit();
  EXPECT_EQ(RUN_SAVED, session.run_state);
  ASSERT_EQ(1u, alerts.shown.size());
  expect_question(alerts.shown[0], "Save changes to TileMap:", terrain_paths.tfd_path);
  EXPECT_EQ(expected, read_file(tfd));
  EXPECT_EQ(original_heights, read_file(hfd));
  EXPECT_EQ(0, tile_map_unsaved());
}

TEST_F(SavePrompt, TileMapNoKeepsTheFile) {
  edit_tiles();
  alerts.answer('n');
  confirm_exit();
  EXPECT_EQ(RUN_END, session.run_state);
  EXPECT_EQ(1u, alerts.shown.size());
  EXPECT_EQ(original_tiles, read_file(tfd));
}

TEST_F(SavePrompt, TileMapReturnSkipsTheHeightQuestion) {
  edit_tiles();
  edit_heights();
  alerts.answer('r');
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  EXPECT_EQ(1u, alerts.shown.size());
  EXPECT_EQ(original_tiles, read_file(tfd));
  EXPECT_EQ(original_heights, read_file(hfd));
  EXPECT_EQ(1, tile_map_unsaved());
  EXPECT_EQ(1, height_map_unsaved());

  // The next Esc asks about both again.
  alerts.answer('n');
  alerts.answer('n');
  confirm_exit();
  EXPECT_EQ(RUN_END, session.run_state);
  ASSERT_EQ(3u, alerts.shown.size());
  expect_question(alerts.shown[1], "Save changes to TileMap:", terrain_paths.tfd_path);
  expect_question(alerts.shown[2], "Save changes to HeightMap:", terrain_paths.hfd_path);
  EXPECT_EQ(0, alerts.unanswered);
  EXPECT_EQ(original_tiles, read_file(tfd));
  EXPECT_EQ(original_heights, read_file(hfd));
}

TEST_F(SavePrompt, HeightMapOnlyAsksOnce) {
  edit_heights();
  alerts.answer('n');
  confirm_exit();
  EXPECT_EQ(RUN_END, session.run_state);
  ASSERT_EQ(1u, alerts.shown.size());
  expect_question(alerts.shown[0], "Save changes to HeightMap:", terrain_paths.hfd_path);
  EXPECT_EQ(original_heights, read_file(hfd));

  alerts.answer('r');
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
}

TEST_F(SavePrompt, HeightMapYesWritesIt) {
  const auto expected = edit_heights();
  alerts.answer('y');
  confirm_exit();
  EXPECT_EQ(RUN_SAVED, session.run_state);
  EXPECT_EQ(1u, alerts.shown.size());
  EXPECT_EQ(expected, read_file(hfd));
  EXPECT_EQ(original_tiles, read_file(tfd));
}

TEST_F(SavePrompt, TileNoHeightYesWritesOnlyHeights) {
  edit_tiles();
  const auto expected = edit_heights();
  alerts.answer('n');
  alerts.answer('y');
  confirm_exit();
  EXPECT_EQ(RUN_SAVED, session.run_state);
  EXPECT_EQ(2u, alerts.shown.size());
  EXPECT_EQ(original_tiles, read_file(tfd));
  EXPECT_EQ(expected, read_file(hfd));
}

TEST_F(SavePrompt, TileYesHeightReturnGoesOn) {
  const auto expected = edit_tiles();
  edit_heights();
  alerts.answer('y');
  alerts.answer('r');
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  EXPECT_EQ(2u, alerts.shown.size());
  EXPECT_EQ(expected, read_file(tfd));
  EXPECT_EQ(original_heights, read_file(hfd));

  // The saved tile map is no change any more: only the heights are asked about.
  alerts.answer('n');
  confirm_exit();
  EXPECT_EQ(RUN_END, session.run_state);
  ASSERT_EQ(3u, alerts.shown.size());
  expect_question(alerts.shown[2], "Save changes to HeightMap:", terrain_paths.hfd_path);
  EXPECT_EQ(0, alerts.unanswered);
}

// A directory with content in the file's place: no rename can replace it,
// whoever runs the test.
TEST_F(SavePrompt, FailedTileSaveReturnsToTheMap) {
  const std::string blocked = dir.file("blocked.TFD");
  ASSERT_EQ(0, mkdir(blocked.c_str(), 0755));
  write_text(blocked + "/keep", "x");
  snprintf(terrain_paths.tfd_path, PATH_SIZE, "%s", blocked.c_str());
  edit_tiles();
  edit_heights();
  alerts.answer('y');
  alerts.answer('o');
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  ASSERT_EQ(2u, alerts.shown.size());  // no height question after the failure
  expect_error(alerts.shown[1], "Error writing TFD file.", terrain_paths.tfd_path, "Is a directory.");
  EXPECT_EQ(0, alerts.unanswered);
  EXPECT_EQ(1, tile_map_unsaved());
  EXPECT_EQ(1, height_map_unsaved());
  EXPECT_TRUE(file_exists(blocked + "/keep"));
  EXPECT_EQ(0, leftover_files(dir.path(), ".saving"));
  EXPECT_EQ(original_heights, read_file(hfd));
}

TEST_F(SavePrompt, FailedTileSaveInReadOnlyFolderKeepsTheOriginal) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  const std::string folder = dir.file("locked");
  ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
  const std::string locked = folder + "/land.TFD";
  write_file(locked, original_tiles);
  ASSERT_EQ(0, chmod(folder.c_str(), 0555));
  snprintf(terrain_paths.tfd_path, PATH_SIZE, "%s", locked.c_str());
  edit_tiles();
  alerts.answer('y');
  alerts.answer('o');
  confirm_exit();
  chmod(folder.c_str(), 0755);
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  ASSERT_EQ(2u, alerts.shown.size());
  char resolved[PATH_MAX];
  ASSERT_TRUE(realpath(folder.c_str(), resolved));
  expect_error(alerts.shown[1], "Error writing TFD file.", terrain_paths.tfd_path,
               "No file can be created in " + std::string(resolved) + ": Permission denied.");
  EXPECT_EQ(original_tiles, read_file(locked));
}

TEST_F(SavePrompt, FailedTileSaveToADevice) {
  // A device is never replaced, also not by root.
  snprintf(terrain_paths.tfd_path, PATH_SIZE, "/dev/full");
  edit_tiles();
  alerts.answer('y');
  alerts.answer('o');
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  ASSERT_EQ(2u, alerts.shown.size());
  expect_error(alerts.shown[1], "Error writing TFD file.", "/dev/full", "Not a regular file.");
  struct stat st;
  ASSERT_EQ(0, stat("/dev/full", &st));
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(SavePrompt, TilesSavedHeightsFailed) {
  const std::string blocked = dir.file("blocked.hfd");
  ASSERT_EQ(0, mkdir(blocked.c_str(), 0755));
  write_text(blocked + "/keep", "x");
  snprintf(terrain_paths.hfd_path, PATH_SIZE, "%s", blocked.c_str());
  const auto expected = edit_tiles();
  edit_heights();
  alerts.answer('y');
  alerts.answer('y');
  alerts.answer('o');
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  ASSERT_EQ(3u, alerts.shown.size());
  expect_error(alerts.shown[2], "Error writing HFD file.", terrain_paths.hfd_path, "Is a directory.");
  EXPECT_EQ(expected, read_file(tfd));
  EXPECT_TRUE(file_exists(blocked + "/keep"));
  EXPECT_EQ(0, tile_map_unsaved());
  EXPECT_EQ(1, height_map_unsaved());

  // Only the height map is asked about again; this time the user gives up.
  alerts.answer('n');
  confirm_exit();
  EXPECT_EQ(RUN_END, session.run_state);
  ASSERT_EQ(4u, alerts.shown.size());
  expect_question(alerts.shown[3], "Save changes to HeightMap:", terrain_paths.hfd_path);
  EXPECT_EQ(0, alerts.unanswered);
}

// Another program's save: new bytes under a new file, as a rename leaves them.
void save_by_another_program(const std::string &path, unsigned char fill) {
  const std::string temp = path + ".other";
  write_file(temp, std::vector<unsigned char>(40, fill));
  ASSERT_EQ(0, rename(temp.c_str(), path.c_str()));
}

class ChangedOnDisk : public SavePrompt {
 protected:
  void SetUp() override {
    SavePrompt::SetUp();
    // As if the height map had been read from its file as well.
    struct stat st;
    ASSERT_EQ(0, stat(hfd.c_str(), &st));
    record_file_stamp(&height_map.stamp, hfd.c_str(), &st);
  }
  static void expect_overwrite_question(const ShownAlert &box, const std::string &path) {
    EXPECT_EQ("Changed on disk since it was opened:", box.lines[0]);
    EXPECT_EQ(path, box.lines[1]);
    EXPECT_EQ("Overwrite it?", box.lines[2]);
    EXPECT_EQ((std::vector<std::string>{"&Yes", "&No"}), box.buttons);
    EXPECT_EQ((std::vector<int>{'y', 'n'}), box.keys);
  }
};

TEST_F(ChangedOnDisk, YesOverwritesTheOtherVersion) {
  const auto expected = edit_tiles();
  save_by_another_program(tfd, 0x55);
  alerts.answer('y');
  alerts.answer('y');
  confirm_exit();
  EXPECT_EQ(RUN_SAVED, session.run_state);
  ASSERT_EQ(2u, alerts.shown.size());
  expect_question(alerts.shown[0], "Save changes to TileMap:", terrain_paths.tfd_path);
  expect_overwrite_question(alerts.shown[1], tfd);
  EXPECT_EQ(expected, read_file(tfd));
}

TEST_F(ChangedOnDisk, NoReturnsToTheMapWithNothingWritten) {
  const auto tiles = edit_tiles();
  const auto heights = edit_heights();
  save_by_another_program(tfd, 0x55);
  alerts.answer('y');
  alerts.answer('n');
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  ASSERT_EQ(2u, alerts.shown.size());  // no height question either
  expect_overwrite_question(alerts.shown[1], tfd);
  EXPECT_EQ(std::vector<unsigned char>(40, 0x55), read_file(tfd));
  EXPECT_EQ(original_heights, read_file(hfd));
  EXPECT_EQ(1, tile_map_unsaved());
  EXPECT_EQ(1, height_map_unsaved());
  EXPECT_EQ(0, leftover_files(dir.path(), ".saving"));

  // Asked again at the next Esc; a yes then saves both.
  alerts.answer('y');
  alerts.answer('y');
  alerts.answer('y');
  confirm_exit();
  EXPECT_EQ(RUN_SAVED, session.run_state);
  ASSERT_EQ(5u, alerts.shown.size());
  expect_overwrite_question(alerts.shown[3], tfd);
  expect_question(alerts.shown[4], "Save changes to HeightMap:", terrain_paths.hfd_path);
  EXPECT_EQ(tiles, read_file(tfd));
  EXPECT_EQ(heights, read_file(hfd));
}

// The two files belong together: before the first of them is written, a
// change to the other one is asked about too, so that the pair on disk never
// mixes two programs' versions unasked.
TEST_F(ChangedOnDisk, TheOtherFileOfThePairIsAskedAboutFirst) {
  edit_tiles();
  save_by_another_program(hfd, 0x66);
  alerts.answer('y');
  alerts.answer('n');
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  ASSERT_EQ(2u, alerts.shown.size());
  expect_overwrite_question(alerts.shown[1], hfd);
  EXPECT_EQ(original_tiles, read_file(tfd));
  EXPECT_EQ(std::vector<unsigned char>(40, 0x66), read_file(hfd));

  // Heights only (the tile edit undone), tile map changed by the other program.
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
  edit_heights();
  save_by_another_program(tfd, 0x55);
  save_by_another_program(hfd, 0x67);
  alerts.answer('y');
  alerts.answer('n');
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  ASSERT_EQ(4u, alerts.shown.size());
  expect_question(alerts.shown[2], "Save changes to HeightMap:", terrain_paths.hfd_path);
  expect_overwrite_question(alerts.shown[3], tfd);
  EXPECT_EQ(std::vector<unsigned char>(40, 0x67), read_file(hfd));
}

TEST_F(ChangedOnDisk, EachFileIsAskedAboutOncePerPrompt) {
  const auto tiles = edit_tiles();
  edit_heights();
  save_by_another_program(tfd, 0x55);
  save_by_another_program(hfd, 0x66);
  alerts.answer('y');  // save the tile map
  alerts.answer('y');  // over the changed tile map
  alerts.answer('y');  // and beside the changed height map
  alerts.answer('r');  // not the height map, back to the map
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  ASSERT_EQ(4u, alerts.shown.size());
  expect_overwrite_question(alerts.shown[1], tfd);
  expect_overwrite_question(alerts.shown[2], hfd);
  expect_question(alerts.shown[3], "Save changes to HeightMap:", terrain_paths.hfd_path);
  EXPECT_EQ(tiles, read_file(tfd));

  // The tile map saved here is no change; the height map still is one.
  alerts.answer('y');
  alerts.answer('n');
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  ASSERT_EQ(6u, alerts.shown.size());
  expect_overwrite_question(alerts.shown[5], hfd);
  EXPECT_EQ(0, alerts.unanswered);
}

// Saving in place: the same writers and boxes as the exit prompt, without a
// question, and the saved state is what Esc then compares with.
class SaveNow : public ChangedOnDisk {};

TEST_F(SaveNow, NothingChangedWritesNothing) {
  EXPECT_EQ(0, save_changed_maps());
  EXPECT_TRUE(alerts.shown.empty());
  EXPECT_EQ(original_tiles, read_file(tfd));
  EXPECT_EQ(original_heights, read_file(hfd));
  EXPECT_EQ(0, leftover_files(dir.path(), ".saving"));
}

TEST_F(SaveNow, ChangedMapsAreWrittenAndCountAsSaved) {
  const auto tiles = edit_tiles();
  EXPECT_EQ(0, save_changed_maps());
  EXPECT_TRUE(alerts.shown.empty());
  EXPECT_EQ(tiles, read_file(tfd));
  EXPECT_EQ(original_heights, read_file(hfd));  // the heights were not changed
  EXPECT_EQ(0, tile_map_unsaved());

  const auto heights = edit_heights();
  EXPECT_EQ(1, height_map_unsaved());
  EXPECT_EQ(0, save_changed_maps());
  EXPECT_EQ(heights, read_file(hfd));
  EXPECT_EQ(0, height_map_unsaved());

  // Esc now ends without a question.
  confirm_exit();
  EXPECT_EQ(RUN_END, session.run_state);
  EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(SaveNow, UndoingPastTheSaveChangesTheMapAgain) {
  // The texture of tile (1, 0) raised by one or two.
  std::vector<unsigned char> raised[3];
  for (int k = 0; k < 3; k++) {
    std::vector<uint16_t> words = tile_words();
    words[((TY - 1) * TX + 1) * 6] = (uint16_t)(words[((TY - 1) * TX + 1) * 6] + k);
    raised[k] = tile_file(words);
  }
  edit_tiles();
  edit_tiles();
  ASSERT_EQ(0, save_changed_maps());
  EXPECT_EQ(raised[2], read_file(tfd));
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
  EXPECT_EQ(1, tile_map_unsaved());
  ASSERT_EQ(0, history_redo(&x, &y, text, sizeof(text)));
  EXPECT_EQ(0, tile_map_unsaved());
  ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));

  // Saving the undone state writes it; redoing is then a change.
  ASSERT_EQ(0, save_changed_maps());
  EXPECT_EQ(raised[1], read_file(tfd));
  EXPECT_EQ(0, tile_map_unsaved());
  ASSERT_EQ(0, history_redo(&x, &y, text, sizeof(text)));
  EXPECT_EQ(1, tile_map_unsaved());
  ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
  ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
  EXPECT_EQ(1, tile_map_unsaved());  // back at the state as opened, not as saved
  EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(SaveNow, FailedTileSaveKeepsTheOriginalAndTheEdits) {
  const std::string blocked = dir.file("blocked.TFD");
  ASSERT_EQ(0, mkdir(blocked.c_str(), 0755));
  write_text(blocked + "/keep", "x");
  snprintf(terrain_paths.tfd_path, PATH_SIZE, "%s", blocked.c_str());
  edit_tiles();
  edit_heights();
  alerts.answer('o');
  EXPECT_EQ(1, save_changed_maps());
  ASSERT_EQ(1u, alerts.shown.size());
  expect_error(alerts.shown[0], "Error writing TFD file.", terrain_paths.tfd_path, "Is a directory.");
  EXPECT_TRUE(file_exists(blocked + "/keep"));
  // The height map waits for the tile map, as at the exit prompt.
  EXPECT_EQ(original_heights, read_file(hfd));
  EXPECT_EQ(1, tile_map_unsaved());
  EXPECT_EQ(1, height_map_unsaved());
  EXPECT_EQ(0, leftover_files(dir.path(), ".saving"));

  // Esc still asks about both.
  alerts.answer('r');
  confirm_exit();
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  expect_question(alerts.shown[1], "Save changes to TileMap:", terrain_paths.tfd_path);
}

TEST_F(SaveNow, FailedHeightSaveKeepsTheSavedTiles) {
  const std::string blocked = dir.file("blocked.hfd");
  ASSERT_EQ(0, mkdir(blocked.c_str(), 0755));
  snprintf(terrain_paths.hfd_path, PATH_SIZE, "%s", blocked.c_str());
  const auto tiles = edit_tiles();
  edit_heights();
  alerts.answer('o');
  EXPECT_EQ(1, save_changed_maps());
  ASSERT_EQ(1u, alerts.shown.size());
  expect_error(alerts.shown[0], "Error writing HFD file.", terrain_paths.hfd_path, "Is a directory.");
  EXPECT_EQ(tiles, read_file(tfd));
  EXPECT_EQ(0, tile_map_unsaved());
  EXPECT_EQ(1, height_map_unsaved());
}

TEST_F(SaveNow, FileChangedOnDiskIsAskedAboutEveryTime) {
  const auto tiles = edit_tiles();
  save_by_another_program(tfd, 0x55);
  alerts.answer('n');
  EXPECT_EQ(1, save_changed_maps());
  ASSERT_EQ(1u, alerts.shown.size());
  expect_overwrite_question(alerts.shown[0], tfd);
  EXPECT_EQ(std::vector<unsigned char>(40, 0x55), read_file(tfd));
  EXPECT_EQ(1, tile_map_unsaved());

  alerts.answer('y');
  EXPECT_EQ(0, save_changed_maps());
  ASSERT_EQ(2u, alerts.shown.size());
  expect_overwrite_question(alerts.shown[1], tfd);
  EXPECT_EQ(tiles, read_file(tfd));

  // The file as this program saved it is not asked about again.
  edit_tiles();
  EXPECT_EQ(0, save_changed_maps());
  EXPECT_EQ(2u, alerts.shown.size());
}


std::string text_of(const std::vector<unsigned char> &bytes) { return std::string(bytes.begin(), bytes.end()); }

// The target areas are asked about after the maps, and written into their
// file's own line; a file another program changed is asked about first, and
// a no writes nothing.
TEST_F(SavePrompt, TargetAreasAreAskedAboutAndWrittenInPlace) {
  const std::string ini = dir.file("land_TARGETS.ini");
  snprintf(terrain_paths.targets_ini_path, PATH_SIZE, "%s", ini.c_str());
  const std::string text = "; kept\r\n[TargetArea001]\r\nName = Port\r\nPosition = 1000, 3000\r\nAlignment = FRIENDLY\r\n"
                           "Target[001].Type = Crane\r\nTarget[001].Offset = 0, 0";
  for (const bool changed_meanwhile : {false, true}) {
    write_text(ini, text);
    targets.area_count = targets.target_total = 0;
    ASSERT_EQ(RESULT_OK, load_target_areas(ini.c_str(), nullptr));
    history_clear();
    ASSERT_EQ(1, history_target_step(target_area_move(1, 1500, 3000).release()));
    EXPECT_EQ(1, targets_unsaved());
    if (changed_meanwhile) {
      write_text(ini, text + "\r\n; another program\r\n");
      struct timespec later[2] = {{0, UTIME_NOW}, {time(nullptr) + 5, 0}};
      utimensat(AT_FDCWD, ini.c_str(), later, 0);
      alerts.answer('y');
      alerts.answer('n');
    } else {
      alerts.answer('y');
    }
    session.run_state = RUN_CONTINUE;
    confirm_exit();
    ASSERT_FALSE(alerts.shown.empty());
    expect_question(alerts.shown[0], "Save changes to target areas:", terrain_paths.targets_ini_path);
    if (changed_meanwhile) {
      EXPECT_EQ("Changed on disk since it was opened:", alerts.shown[1].lines[0]);
      EXPECT_EQ(RUN_CONTINUE, session.run_state);
      EXPECT_EQ(text + "\r\n; another program\r\n", text_of(read_file(ini)));
      EXPECT_EQ(1, targets_unsaved());
    } else {
      EXPECT_EQ(RUN_SAVED, session.run_state);
      std::string expected = text;
      expected.replace(expected.find("1000, 3000"), 10, "1500, 3000");
      EXPECT_EQ(expected, text_of(read_file(ini)));
      EXPECT_EQ(0, targets_unsaved());
    }
    alerts.shown.clear();
  }
}

}  // namespace
