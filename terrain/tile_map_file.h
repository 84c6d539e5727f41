// The .TFD tile map file: 16-byte header, rows from the south edge,
// six little-endian words per tile.
#pragma once

#include "terrain/reporter.h"

// 0, or RESULT_CANNOT_OPEN, RESULT_BAD_HEADER (nothing stored) or
// RESULT_BAD_DATA (a texture number outside the table: the tiles up to it
// are stored).
int load_tile_map(const char *path, const Reporter *reporter);

// 0, or RESULT_CANNOT_WRITE with the original file kept.
int save_tile_map(const char *path);
