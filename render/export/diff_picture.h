// The picture of two terrains' differences: one pixel per tile, the north
// row at the top; dim grey where nothing differs, red where the tile record
// does, blue where the heights do, magenta where both do.
#pragma once

#include <cstdint>

#include "core/reporter.h"

// Writes <terrain>_Diff_NNN.bmp (or .png with png set) into the working
// directory, named after terrain_paths.tfd_path, from a DiffMark per tile
// (the north row first). 0 with the name in written (PATH_SIZE bytes), or
// the failure reported and returned.
int write_diff_picture(const uint8_t *marks, int tiles_x, int tiles_y, int png, const Reporter *reporter,
                       char *written);
