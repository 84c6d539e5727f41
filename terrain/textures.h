// Texture bitmaps: eight levels and a sample colour per texture entry.
#pragma once

#include "terrain/reporter.h"

// Levels for entries 1..texture_count from their files in the tile map's
// folder (the sample colour where a file is missing). 0, or RESULT_NO_MEMORY
// when a bitmap cannot be created.
int load_textures(const Reporter *reporter);

// Levels 1..7 and the sample colour from level 0. 0, RESULT_BAD_DATA for an
// entry without level 0, or RESULT_NO_MEMORY.
int make_texture_levels(int t);
