// The _TARGETS.ini target areas file.
#pragma once

#include "terrain/reporter.h"

// Reads the areas into targets from area 1 on, adding to area_count and
// target_total. 0 when at least one area is held; RESULT_CANNOT_OPEN when the
// file is empty, missing or cannot be read; RESULT_NOTHING_READ when it
// holds no area. The first progress text is followed by a pause.
int load_target_areas(const char *path, const Reporter *reporter);
