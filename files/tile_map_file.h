// The .TFD tile map file: 16-byte header, rows from the south edge,
// six little-endian words per tile.
#pragma once

#include "core/reporter.h"
#include "core/safe_file.h"

// 0, or RESULT_CANNOT_OPEN, RESULT_BAD_HEADER (nothing stored) or
// RESULT_BAD_DATA (a texture number outside the table: the tiles up to it
// are stored).
int load_tile_map(const char *path, const Reporter *reporter);

// 0, or RESULT_CANNOT_WRITE with the original file kept and why in why
// (may be null).
int save_tile_map(const char *path, WriteError *why = nullptr);

// The same, but a file another program changed since it was read
// (tile_map.stamp) is kept and TILE_MAP_CHANGED returned: looked at last,
// just before the new file takes its place.
enum { TILE_MAP_CHANGED = 100 };
int save_tile_map_unless_changed(const char *path, WriteError *why);

// The one line for a tile map that cannot be opened, the same in every
// mode: "Desert.TFD: the tile map does not exist." when nothing has the name
// (error ENOENT), else "Desert.TFD: the tile map cannot be read: REASON."
// with the reason for error, an errno value left by open_regular_file, or
// for error 0 the format's reason given. The name is quoted as quote_name
// does. Into line (size bytes).
void tile_map_failure_line(const char *path, int error, const char *reason, char *line, int size);

// 0 when the tile map at path opens as a regular file, else 1 with the
// line above.
int tile_map_unopened(const char *path, char *line, int size);
