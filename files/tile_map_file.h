// The .TFD tile map file: 16-byte header, rows from the south edge,
// six little-endian words per tile.
#pragma once

#include <cstdint>

#include "core/reporter.h"
#include "core/terrain_model.h"
#include "core/safe_file.h"

// 0, or RESULT_CANNOT_OPEN, RESULT_BAD_HEADER (nothing stored) or
// RESULT_BAD_DATA (a texture number outside the table: the tiles up to it
// are stored).
int load_tile_map(const char *path, const Reporter *reporter);

// The tile map read through, on every core, for a picture that reads its
// rows again itself (read_tile_rows): the same checks and results as
// load_tile_map, the sizes, header and counts in the model, but no tile
// stored. used (MAX_TEXTURES entries) is set for every texture number a
// tile names; RESULT_NO_MEMORY when the buffers cannot be had.
int scan_tile_map(const char *path, uint8_t *used);

// The tile map file opened again for its rows: a descriptor to close, or
// -1 when it does not open or its sizes are no longer the model's.
int open_tile_rows(const char *path);

// Memory rows y0..y0 + rows - 1 of the file open as fd, decoded into out
// (row y at out + (y - y0) * tiles_x) through buffer (rows records of
// tiles_x each); words past the end read as end of file. Safe on several
// threads at once.
void read_tile_rows(int fd, int y0, int rows, Tile *out, unsigned char *buffer);

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
