// The _TARGETS.ini target areas file.
#pragma once

#include "core/reporter.h"

// Reads the areas into targets from area 1 on, adding to area_count and
// target_total. 0 when at least one area is held; RESULT_NO_FILE when
// nothing has the name (a terrain without target areas); RESULT_CANNOT_OPEN
// when the file is empty or cannot be read; RESULT_NOTHING_READ when it
// holds no area. The first progress text is followed by a pause.
int load_target_areas(const char *path, const Reporter *reporter);

// What a terrain without a target file is told, in the strip and on the
// command line.
#define NO_TARGET_FILE_TEXT "No target areas file."

// 1 when nothing at all has the name: no file, no folder, no link.
int target_file_absent(const char *path);

// Reads the areas from the file's text in memory (size > 0 bytes) as
// load_target_areas does, without its first text and pause; 0 when at least
// one area is held, else RESULT_NOTHING_READ. Each area is looked for in a
// window of the text that begins one section header further on than the
// last one's, as the file's readers have always done.
int read_target_text(const char *text, long size, const Reporter *reporter);
