// Image files the library's loaders cannot be given as they are: top-down
// bitmaps (refused outright) and run-length bitmaps, run-length Targas and
// interleaved bitmaps (decoded past their rows when damaged). Each is
// decoded here within checked bounds into the plain file with the same
// pixels, and the library's loader for plain files reads that from memory.
#pragma once

#include <allegro.h>

struct PlainImage {
  unsigned char *bytes;  // a whole plain BMP or Targa file (malloc)
  long size;
  int targa;  // 1 for a Targa, 0 for a Windows bitmap
};

// Each takes a whole file's bytes and returns 0 with out filled (release it
// with free_plain_image), or 1 when the bytes are not a sound file of the
// kinds named.
// Windows bitmap: top-down (negative height), or RLE8 or RLE4.
int plain_bmp(const unsigned char *data, long size, PlainImage *out);
// Targa: run-length (types 9, 10, 11), or with a 15-bit colour map, which
// the library misreads and which becomes the 16-bit map with the same colours.
int plain_tga(const unsigned char *data, long size, PlainImage *out);
// Interleaved (ILBM) or chunky (PBM) bitmap, plain or ByteRun1 packed:
// becomes an 8-bit Windows bitmap with the colour map as its palette.
int plain_lbm(const unsigned char *data, long size, PlainImage *out);

void free_plain_image(PlainImage *image);

// The library's loader on the plain file; null when it cannot read it.
BITMAP *load_plain_bytes(const PlainImage *image, RGB *palette);

// Above any sound texture file of the kinds read whole.
enum { IMAGE_FILE_MAX_BYTES = 128 << 20 };

// The whole file in fresh memory (malloc), or null when it cannot be read or
// is larger than any sound image file (IMAGE_FILE_MAX_BYTES).
unsigned char *read_image_file(const char *path, long *size);

// The file at path by its extension (bmp, tga, lbm) through the above; null
// when it cannot be read or is not sound.
BITMAP *load_plain_image(const char *path, RGB *palette);
