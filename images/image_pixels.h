// Pictures read from the files today's image tools write (PNG, JPEG, BMPs
// with the newer info headers): each reader turns a whole file's bytes into
// 8-bit RGBA rows, and one routine makes the texture bitmap of them.
#pragma once

#include <allegro.h>

struct ImagePixels {
  int width, height;
  unsigned char *rgba;  // width * height * 4 bytes, top row first (malloc)
};

void free_image_pixels(ImagePixels *image);

// For the readers: out sized width x height with fresh, zeroed pixels; 1 when
// the size is refused as a texture (image_size_accepted) or memory is short.
int start_image_pixels(ImagePixels *out, long long width, long long height);

// A 32-bit bitmap of the pixels; a pixel whose alpha is below 128 becomes
// the mask colour, as a masked BMP pixel is. Null when memory is short.
BITMAP *image_pixels_bitmap(const ImagePixels &image);

// Readers: 0 with out filled, 1 when the bytes are not a sound file of the
// kind or its size is refused as a texture (nothing to free then).
int read_png_pixels(const unsigned char *data, long size, ImagePixels *out);
int read_jpeg_pixels(const unsigned char *data, long size, ImagePixels *out);
// A picture handed over a row at a time: start(context, width, height,
// channels) once, 0 to go on; then row(context, y, pixels) for y from 0 (the
// top) down, width * channels bytes a row: RGBA, or RGB (channels 3) for a
// picture opaque throughout.
struct PixelRows {
  int (*start)(void *context, int width, int height, int channels);
  void (*row)(void *context, int y, const unsigned char *pixels);
  void *context;
};

// A PNG's rows as read_png_pixels makes them (but RGB where it has no alpha
// or transparent colour), without the whole picture in memory (but for an
// interlaced one): 0, or 1 as read_png_pixels; rows may have been handed
// over before a fault is found.
int read_png_rows(const unsigned char *data, long size, const PixelRows &taker);

// A Windows bitmap with a 52-, 56-, 64-, 108- or 124-byte info header.
int read_bmp_info_pixels(const unsigned char *data, long size, ImagePixels *out);

// 1 when path's extension names one of the readers below (png, jpg, jpeg,
// bmp).
int image_pixels_extension(const char *path);

// A whole file's bytes through the reader path's extension names: 0 with out
// filled, 1 as the readers (also for an extension of none of them).
int read_image_pixels(const char *path, const unsigned char *data, long size, ImagePixels *out);

// The file at path through the reader its extension names (png, jpg, jpeg,
// bmp), read whole within the plain copies' file limit; null when it cannot
// be read, is not sound, or memory is short.
BITMAP *load_image_pixels(const char *path);

// The file's own colour and alpha of one pixel (x from the left, y from the
// top) as load_image_pixels reads it, before a transparent pixel becomes the
// mask colour: 0, or 1 when the file does not read so or the pixel is off it.
int image_pixel_rgba(const char *path, int x, int y, unsigned char rgba[4]);
