// The Windows bitmaps texture sets are made of (bottom-up, uncompressed, 24
// bits, or 8 bits with a whole palette, 40-byte info header) read straight
// from their file into 32-bit values, a few rows at a time: the values the
// library's loader and its conversion to the program's 32-bit colour depth
// give, without a bitmap between. Safe on a work thread.
#pragma once

#include <cstdint>

struct BmpRows {
  int width, height, bits;  // bits 24 or 8
  long long offset;         // where the bottom row begins
  long long stride;         // bytes a row, padding included
  // 8 bits: each index's 32-bit value, and the palette as the library keeps
  // it (components 0..63).
  uint32_t colours[256];
  unsigned char palette[256][3];
};

// 1 with rows filled when the file's first n bytes describe such a bitmap,
// the file of file_size bytes holds all its rows, and the program's pixel
// format lets the values be made here (32-bit depth, each component in one
// of the low three bytes; for 8 bits no kept transparency).
int bmp_rows_layout(const unsigned char *header, long n, uint64_t file_size, BmpRows *rows);

// 1 when makecol32 puts red, green and blue each in its own one of the low
// three bytes, so that a pixel's components can be placed there directly.
int components_in_low_bytes();

// The byte each of a 24-bit row's three bytes (blue, green, red) lands in
// within a 32-bit value.
void bmp_rows_places(int place[3]);

// Reads the rows from fd in the file's order, bottom first, and hands each
// row's bytes to take(context, y, bytes), y counted from the top. 0, or 1
// when the file could not be read to its last row.
int read_bmp_rows(int fd, const BmpRows &rows, void (*take)(void *context, int y, const unsigned char *row),
                  void *context);

// A row's bytes as 32-bit values, width of them.
void bmp_row_values(const BmpRows &rows, const unsigned char *row, uint32_t *values);
