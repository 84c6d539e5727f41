// The .HFD height map file: 16-byte header, rows from the south edge,
// one little-endian 16-bit sample each.
#pragma once

int load_height_map(const char *path);  // 0 success, 1 failure
int save_height_map(const char *path);  // 0 success, 1 failure (original kept)
