#include "app/save_prompt.h"

#include "app/status_bar.h"
#include "core/terrain_model.h"
#include "document/terrain_save.h"
#include "program/session.h"

namespace {

// The run state each answer leads to: Yes saves and ends, No ends without
// saving, Return (or Esc) goes back to the map.
int ask_to_save(const char *question, const char *path, const char *before) {
  switch (alert3(question, path, before, "&Yes", "&No", "&Return", 'y', 'n', 'r')) {
    case 1: return RUN_SAVED;
    case 2: return RUN_END;
    default: return RUN_CONTINUE;
  }
}

// The window's answers to a save's questions: boxes.
int overwrite_asked(void *, const char *path) {
  return alert("Changed on disk since it was opened:", path, "Overwrite it?", "&Yes", "&No", 'y', 'n') == 1;
}

void failure_shown(void *, const char *line, const char *path, const char *why) {
  alert(line, why[0] ? path : "", why[0] ? why : path, "OK", nullptr, 'o', 0);
}

const SaveQuestions WINDOW_QUESTIONS = {overwrite_asked, failure_shown, nullptr};

int save_file(int file, SaveAnswers *answers) {
  return save_terrain_file(file, window_reporter(), WINDOW_QUESTIONS, answers) != RESULT_OK;
}

}  // namespace

int targets_unsaved() { return terrain_file_unsaved(TERRAIN_TARGET_FILE); }

int tile_map_unsaved() { return terrain_file_unsaved(TERRAIN_TILE_MAP); }

int height_map_unsaved() { return terrain_file_unsaved(TERRAIN_HEIGHT_MAP); }

int save_changed_maps() { return save_changed_files(window_reporter(), WINDOW_QUESTIONS) != RESULT_OK; }

namespace {

// The exit prompt's questions, asked before the terrain is left for
// whatever before names; the run state the answers lead to.
int settle_changes(const char *before) {
  const int ask_tiles = tile_map_unsaved();
  const int ask_heights = height_map_unsaved();
  const int ask_targets = targets_unsaved();
  if (!ask_tiles && !ask_heights && !ask_targets) return RUN_END;
  SaveAnswers answers;
  int state = RUN_END;
  if (ask_tiles) {
    state = ask_to_save("Save changes to TileMap:", terrain_paths.tfd_path, before);
    if (state == RUN_SAVED && save_file(TERRAIN_TILE_MAP, &answers) != 0) state = RUN_CONTINUE;
    if (state == RUN_CONTINUE) return state;
  }
  if (ask_heights) {
    state = ask_to_save("Save changes to HeightMap:", terrain_paths.hfd_path, before);
    if (state == RUN_SAVED && save_file(TERRAIN_HEIGHT_MAP, &answers) != 0) state = RUN_CONTINUE;
    if (state == RUN_CONTINUE) return state;
  }
  if (ask_targets) {
    state = ask_to_save("Save changes to target areas:", terrain_paths.targets_ini_path, before);
    if (state == RUN_SAVED && save_file(TERRAIN_TARGET_FILE, &answers)) state = RUN_CONTINUE;
  }
  return state;
}

}  // namespace

int target_changes_settled(const char *before) {
  const int state = ask_to_save("Save changes to target areas:", terrain_paths.targets_ini_path, before);
  SaveAnswers answers;
  if (state == RUN_SAVED) return save_file(TERRAIN_TARGET_FILE, &answers) == 0;
  return state == RUN_END;
}

void confirm_exit() { session.run_state = settle_changes("before exit?"); }

int changes_settled(const char *before) { return settle_changes(before) != RUN_CONTINUE; }
