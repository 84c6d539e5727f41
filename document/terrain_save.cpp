#include "document/terrain_save.h"

#include <allegro.h>
#include <climits>
#include <string>
#include <vector>

#include "core/file_stamp.h"
#include "core/safe_file.h"
#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "files/height_map_file.h"
#include "document/open_terrain.h"
#include "files/target_file_writer.h"
#include "files/tile_map_file.h"

namespace {

// Padded to 59 characters so that they cover the tail of a longer message.
const char SAVING_TFD[] = "Saving TFD...                                              ";
const char SAVING_HFD[] = "Saving HFD...                                              ";
const char SAVING_TARGETS[] = "Saving target areas...                                     ";
static_assert(sizeof(SAVING_TFD) == 60 && sizeof(SAVING_HFD) == 60 && sizeof(SAVING_TARGETS) == 60, "59 characters");

const int HISTORY_OF[TERRAIN_FILES] = {HISTORY_TILE_MAP, HISTORY_HEIGHT_MAP, HISTORY_TARGET_FILE};

// 1 when the file is as this program last saw it, or the user agrees to go
// on all the same; each changed file is asked about once per save.
int overwrite_agreed(int file, const FileStamp *stamp, const char *path, const SaveQuestions &q, SaveAnswers *a) {
  if (a->agreed[file] || !file_changed_on_disk(stamp, path)) return 1;
  if (!q.overwrite || !q.overwrite(q.context, path)) return 0;
  a->agreed[file] = 1;
  return 1;
}

// Before any map is written, both map files are compared with what was
// read: the two on disk must never end up from two different programs
// without the user having been asked.
int map_files_agreed(const SaveQuestions &q, SaveAnswers *a) {
  if (!overwrite_agreed(TERRAIN_TILE_MAP, &tile_map.stamp, terrain_paths.tfd_path, q, a)) return 0;
  return height_map.heights_loaded <= 0 ||
         overwrite_agreed(TERRAIN_HEIGHT_MAP, &height_map.stamp, terrain_paths.hfd_path, q, a);
}

void tell_failure(const SaveQuestions &q, const char *line, const char *path, const char *why) {
  if (q.failed) q.failed(q.context, line, path, why);
}

int save_map(int file, const Reporter *reporter, const SaveQuestions &q, SaveAnswers *a) {
  if (!map_files_agreed(q, a)) return RESULT_CANNOT_WRITE;
  const bool tiles = file == TERRAIN_TILE_MAP;
  const char *path = tiles ? terrain_paths.tfd_path : terrain_paths.hfd_path;
  report_progress(reporter, "%s", tiles ? SAVING_TFD : SAVING_HFD);
  WriteError why{0, 0};
  if ((tiles ? save_tile_map : save_height_map)(path, &why) != RESULT_OK) {
    // The file, then why: the system's reason, or the folder it cannot be made in.
    char reason[4 * PATH_MAX + 128];
    write_failure_text(path, why, reason, sizeof(reason));
    tell_failure(q, tiles ? "Error writing TFD file." : "Error writing HFD file.", path, reason);
    return RESULT_CANNOT_WRITE;
  }
  return RESULT_OK;
}

// The target areas: another program's change is asked about as the maps'
// are; a file the reader would not read back as the areas is not written.
int save_targets(const Reporter *reporter, const SaveQuestions &q, SaveAnswers *a) {
  const char *path = terrain_paths.targets_ini_path;
  report_progress(reporter, "%s", SAVING_TARGETS);
  std::string why;
  int saved = save_target_file(path, &targets.stamp, targets, &why, a->agreed[TERRAIN_TARGET_FILE], &target_file);
  if (saved == RESULT_CHANGED_ON_DISK) {
    if (!q.overwrite || !q.overwrite(q.context, path)) return RESULT_CANNOT_WRITE;
    a->agreed[TERRAIN_TARGET_FILE] = 1;
    saved = save_target_file(path, &targets.stamp, targets, &why, 1, &target_file);
  }
  if (saved != RESULT_OK) {
    tell_failure(q, "Error writing target areas file.", path, why.c_str());
    return RESULT_CANNOT_WRITE;
  }
  return RESULT_OK;
}

}  // namespace

int terrain_file_unsaved(int file) {
  // Without a loaded height map there is nothing that could be saved.
  if (file == TERRAIN_HEIGHT_MAP && height_map.heights_loaded <= 0) return 0;
  return history_map_changed(HISTORY_OF[file]);
}

int save_terrain_file(int file, const Reporter *reporter, const SaveQuestions &questions, SaveAnswers *answers) {
  const int result = file == TERRAIN_TARGET_FILE ? save_targets(reporter, questions, answers)
                                                 : save_map(file, reporter, questions, answers);
  if (result == RESULT_OK) history_mark_saved(HISTORY_OF[file]);
  return result;
}

int save_changed_files(const Reporter *reporter, const SaveQuestions &questions) {
  SaveAnswers answers;
  for (int file = 0; file < TERRAIN_FILES; file++)
    if (terrain_file_unsaved(file) && save_terrain_file(file, reporter, questions, &answers) != RESULT_OK)
      return RESULT_CANNOT_WRITE;
  return RESULT_OK;
}

std::string saved_files_text(int tile_map, int height_map, int target_file) {
  std::vector<std::string> saved;
  if (tile_map) saved.push_back(get_filename(terrain_paths.tfd_path));
  if (height_map) saved.push_back(get_filename(terrain_paths.hfd_path));
  if (target_file) saved.push_back(get_filename(terrain_paths.targets_ini_path));
  std::string text;
  for (size_t i = 0; i < saved.size(); i++)
    text += (i == 0 ? "" : i + 1 == saved.size() ? " and " : ", ") + saved[i];
  return text.empty() ? "Nothing saved." : "Saved " + text + ".";
}

std::string unsaved_file_text(int tile_map, int height_map) {
  const char *lost = tile_map ? terrain_paths.tfd_path : height_map ? terrain_paths.hfd_path : terrain_paths.targets_ini_path;
  return "Not saved: " + std::string(get_filename(lost)) + ".";
}
