// The .TFD tile map file: 16-byte header, rows from the south edge,
// six little-endian words per tile.
#pragma once

int load_tile_map(const char *path);  // 0 success, 1 failure
int save_tile_map(const char *path);  // 0 success, 1 failure (original kept)
