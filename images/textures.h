// Texture bitmaps: eight levels and a sample colour per texture entry.
#pragma once

#include <allegro.h>

#include "core/reporter.h"

// Levels for entries 1..texture_count from their files in the tile map's
// folder (the sample colour where a file is missing). 0, or RESULT_NO_MEMORY
// when a bitmap cannot be created.
int load_textures(const Reporter *reporter);

// The file's bitmap in the program's colour depth, its palette into palette,
// or null when the file is missing, not a regular file, damaged or of a size
// refused as a texture.
BITMAP *read_texture_file(const char *path, RGB *palette);

// Levels 1..7 and the sample colour from level 0. 0, RESULT_BAD_DATA for an
// entry without level 0, or RESULT_NO_MEMORY.
int make_texture_levels(int t);
