// What the tile map and height map files share: the 16-byte header of four
// little-endian 32-bit values and little-endian 16-bit words after it.
#pragma once

#include <allegro.h>
#include <cstdint>

#include "core/file_stamp.h"

// Reads the header; a value the file does not hold reads as -1.
void read_grid_header(PACKFILE *f, int32_t *a, int32_t *b, int32_t *c, int32_t *d);
void write_grid_header(PACKFILE *f, int32_t a, int32_t b, int32_t c, int32_t d);

// Opens a grid file to read and reads its header; stamp keeps what was
// opened, which a later save compares the file on disk with. Null when the
// file does not open.
PACKFILE *open_grid_file(const char *path, FileStamp *stamp, int32_t *a, int32_t *b, int32_t *c, int32_t *d);

// Reads n bytes into buffer. Words the file does not hold completely read as
// 0xFFFF, the packfile layer's end-of-file value. Returns the bytes the
// file held.
long read_grid_words(PACKFILE *f, unsigned char *buffer, long n);

// The same for n bytes at a file offset of descriptor fd, apart from any
// stream position; safe on several threads at once. Returns the bytes the
// file held there.
// A grid file's header, and one tile's record of a tile map (the texture,
// rotation, tag and three extra words).
enum { GRID_HEADER_BYTES = 16, TILE_RECORD_BYTES = 12 };
long read_grid_words_at(int fd, long long offset, unsigned char *buffer, long n);

inline unsigned word_at(const unsigned char *p) { return p[0] | (p[1] << 8); }
