// The _TARGETS.ini target areas file.
#pragma once

// area_count after reading (0: no area read), or 1 when the file is empty,
// missing or cannot be opened.
int load_target_areas(const char *path);

// Reads the areas from the file's text in memory (size > 0 bytes), adding
// to area_count and target_total as load_target_areas does; returns
// area_count. Each area is looked for in a window of the text that begins
// one section header further on than the last one's, as the file's readers
// have always done.
int read_target_text(const char *text, long size);

// How long the first progress message stays before the areas are read, ms.
extern int target_load_pause_ms;

float parse_float(const char *text);
float parse_float_after_comma(const char *text);
