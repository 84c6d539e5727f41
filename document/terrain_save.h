// Saving the open terrain: every changed file of it, in one order (tile map,
// height map, target areas), each compared with the file on disk first and
// written through its format's safe writer, so that a failed save leaves the
// file as it was and the edits in memory. A save marks its file saved in the
// edit history. What a save must ask (to write over a file another program
// changed) and how a failure is shown, the caller's SaveQuestions decide:
// the window asks with boxes, the command line answers for itself.
#pragma once

#include <string>

#include "core/reporter.h"

enum TerrainFile { TERRAIN_TILE_MAP, TERRAIN_HEIGHT_MAP, TERRAIN_TARGET_FILE, TERRAIN_FILES };

struct SaveQuestions {
  // 1 to write over path, which another program changed since it was read.
  int (*overwrite)(void *context, const char *path);
  // A file was not written: line names its kind ("Error writing TFD file."),
  // why is the system's reason ("" when the path itself says it).
  void (*failed)(void *context, const char *line, const char *path, const char *why);
  void *context;
};

// The answers of one save: a file the user agreed to write over is asked
// about once, however many saves follow in the same prompt.
struct SaveAnswers {
  int agreed[TERRAIN_FILES] = {0, 0, 0};
};

// Whether the file has changes not saved (the height map only when loaded).
int terrain_file_unsaved(int file);

// Saves one file of the terrain to its own path, its progress text through
// reporter: RESULT_OK, or RESULT_CANNOT_WRITE when it was not written (the
// user kept the other program's file, or writing failed: told through
// questions).
int save_terrain_file(int file, const Reporter *reporter, const SaveQuestions &questions, SaveAnswers *answers);

// Saves every changed file in order, stopping at the first that is not
// saved: RESULT_OK when nothing is left unsaved.
int save_changed_files(const Reporter *reporter, const SaveQuestions &questions);

// "Saved A, B and C." naming the files of the open terrain just saved, or
// "Nothing saved.".
std::string saved_files_text(int tile_map, int height_map, int target_file);
// "Not saved: A." for the first of the files that was to be saved and was
// not (the tile map, else the height map, else the target file).
std::string unsaved_file_text(int tile_map, int height_map);
