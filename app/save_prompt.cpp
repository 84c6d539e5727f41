#include "app/save_prompt.h"

#include <climits>
#include <string>

#include "app/editing.h"
#include "app/status_bar.h"
#include "core/file_stamp.h"
#include "core/safe_file.h"
#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "files/height_map_file.h"
#include "files/target_file_writer.h"
#include "files/tile_map_file.h"
#include "program/session.h"

// Padded to 59 characters so that they cover the tail of a longer message.
static const char SAVING_TFD[] = "Saving TFD...                                              ";
static const char SAVING_HFD[] = "Saving HFD...                                              ";
static const char SAVING_TARGETS[] = "Saving target areas...                                     ";
static_assert(sizeof(SAVING_TFD) == 60 && sizeof(SAVING_HFD) == 60 && sizeof(SAVING_TARGETS) == 60, "59 characters");

// The run state each answer leads to: Yes saves and ends, No ends without
// saving, Return (or Esc) goes back to the map.
static int ask_to_save(const char *question, const char *path, const char *before) {
  switch (alert3(question, path, before, "&Yes", "&No", "&Return", 'y', 'n', 'r')) {
    case 1: return RUN_SAVED;
    case 2: return RUN_END;
    default: return RUN_CONTINUE;
  }
}

// Which files of the terrain the user has let go of in this prompt, though
// another program had changed them.
struct OverwriteAnswers {
  int tiles, heights;
};

// 1 when the file is as this program last saw it, or the user agrees to go
// on all the same; each changed file is asked about once per prompt.
static int overwrite_agreed(const FileStamp *stamp, const char *path, int *agreed) {
  if (*agreed || !file_changed_on_disk(stamp, path)) return 1;
  const int answer =
      alert("Changed on disk since it was opened:", path, "Overwrite it?", "&Yes", "&No", 'y', 'n');
  if (answer != 1) return 0;
  *agreed = 1;
  return 1;
}

// Before any map is written, both files of the terrain are compared with what
// was read: the two on disk must never end up from two different programs
// without the user having been asked.
static int terrain_files_agreed(OverwriteAnswers *answers) {
  if (!overwrite_agreed(&tile_map.stamp, terrain_paths.tfd_path, &answers->tiles)) return 0;
  return height_map.heights_loaded <= 0 ||
         overwrite_agreed(&height_map.stamp, terrain_paths.hfd_path, &answers->heights);
}

// Saves one map; a failed save leaves the original file untouched and the
// map still changed, and so does a no to overwriting a changed file, with
// nothing written. 0 when saved.
static int save_map(const char *message, int (*save)(const char *, WriteError *), const char *path,
                    const char *error, int map, OverwriteAnswers *answers) {
  if (!terrain_files_agreed(answers)) return 1;
  show_progress("%s", message);
  WriteError why{0, 0};
  if (save(path, &why) != RESULT_OK) {
    // The file, then why: the system's reason, or the folder it cannot be made in.
    char reason[4 * PATH_MAX + 128];
    write_failure_text(path, why, reason, sizeof(reason));
    alert(error, reason[0] ? path : "", reason[0] ? reason : path, "OK", nullptr, 'o', 0);
    return 1;
  }
  history_mark_saved(map);
  return 0;
}

static int save_tiles(OverwriteAnswers *answers) {
  return save_map(SAVING_TFD, save_tile_map, terrain_paths.tfd_path, "Error writing TFD file.",
                  HISTORY_TILE_MAP, answers);
}

static int save_heights(OverwriteAnswers *answers) {
  return save_map(SAVING_HFD, save_height_map, terrain_paths.hfd_path, "Error writing HFD file.",
                  HISTORY_HEIGHT_MAP, answers);
}

// The target areas: another program's change is asked about as the maps'
// are; a file the reader would not read back as the areas is not written.
static int save_targets() {
  const char *path = terrain_paths.targets_ini_path;
  show_progress("%s", SAVING_TARGETS);
  std::string why;
  int saved = save_target_file(path, &targets.stamp, targets, &why);
  if (saved == TARGET_FILE_CHANGED) {
    if (alert("Changed on disk since it was opened:", path, "Overwrite it?", "&Yes", "&No", 'y', 'n') != 1) return 1;
    saved = save_target_file(path, &targets.stamp, targets, &why, 1);
  }
  if (saved != RESULT_OK) {
    alert("Error writing target areas file.", path, why.c_str(), "OK", nullptr, 'o', 0);
    return 1;
  }
  history_mark_saved(HISTORY_TARGET_FILE);
  return 0;
}

int targets_unsaved() { return history_map_changed(HISTORY_TARGET_FILE); }

int tile_map_unsaved() { return history_map_changed(HISTORY_TILE_MAP); }

// Without a loaded height map there is nothing that could be saved.
int height_map_unsaved() {
  return height_map.heights_loaded > 0 && history_map_changed(HISTORY_HEIGHT_MAP);
}

int save_changed_maps() {
  OverwriteAnswers answers = {0, 0};
  if (tile_map_unsaved() && save_tiles(&answers) != 0) return 1;
  if (height_map_unsaved() && save_heights(&answers) != 0) return 1;
  if (targets_unsaved() && save_targets() != 0) return 1;
  return 0;
}

// The exit prompt's questions, asked before the terrain is left for
// whatever before names; the run state the answers lead to.
static int settle_changes(const char *before) {
  const int ask_tiles = tile_map_unsaved();
  const int ask_heights = height_map_unsaved();
  const int ask_targets = targets_unsaved();
  if (!ask_tiles && !ask_heights && !ask_targets) return RUN_END;
  OverwriteAnswers answers = {0, 0};
  int state = RUN_END;
  if (ask_tiles) {
    state = ask_to_save("Save changes to TileMap:", terrain_paths.tfd_path, before);
    if (state == RUN_SAVED && save_tiles(&answers) != 0) state = RUN_CONTINUE;
    if (state == RUN_CONTINUE) return state;
  }
  if (ask_heights) {
    state = ask_to_save("Save changes to HeightMap:", terrain_paths.hfd_path, before);
    if (state == RUN_SAVED && save_heights(&answers) != 0) state = RUN_CONTINUE;
    if (state == RUN_CONTINUE) return state;
  }
  if (ask_targets) {
    state = ask_to_save("Save changes to target areas:", terrain_paths.targets_ini_path, before);
    if (state == RUN_SAVED && save_targets() != 0) state = RUN_CONTINUE;
  }
  return state;
}

int target_changes_settled(const char *before) {
  const int state = ask_to_save("Save changes to target areas:", terrain_paths.targets_ini_path, before);
  if (state == RUN_SAVED) return save_targets() == 0;
  return state == RUN_END;
}

void confirm_exit() { session.run_state = settle_changes("before exit?"); }

int changes_settled(const char *before) { return settle_changes(before) != RUN_CONTINUE; }
