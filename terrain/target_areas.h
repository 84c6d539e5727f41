// The _TARGETS.ini target areas file.
#pragma once

// area_count after reading (0: no area read), or 1 when the file is empty,
// missing or cannot be opened.
int load_target_areas(const char *path);

// How long the first progress message stays before the areas are read, ms.
extern int target_load_pause_ms;

float parse_float(const char *text);
float parse_float_after_comma(const char *text);
