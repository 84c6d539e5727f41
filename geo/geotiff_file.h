// Rasters of a terrain as GeoTIFFs in its projection, each pixel its own
// square of the ground (the first's west edge on the terrain's west edge,
// the north row first), written row band by row band through GDAL's GTiff
// driver so that memory stays small whatever the size: the heights (one
// 16-bit band, a pixel a sample, so that warping the file back onto the
// terrain gives every sample back) and the pictures of the exports (three
// 8-bit bands, red, green and blue).
#pragma once

#include <cstdint>
#include <string>

#include "geo/terrain_place.h"

struct HeightRows {
  int columns, rows;
  double cell;  // metres
  // Row y (0: the north row) into out, columns values.
  void (*row)(void *context, int y, uint16_t *out);
  void *context;
};

// Writes the GeoTIFF at path (a new file, created or truncated by GDAL);
// 0, or 1 with why set.
int write_height_geotiff(const char *path, GeoPlace &place, const HeightRows &heights, std::string *why);

struct PictureRows {
  int columns, rows;
  double cell;    // metres a pixel
  int band_rows;  // rows asked for at once
  // Rows y0..y1 - 1 (0: the north row) into out, one after the other,
  // each columns pixels of red, green and blue bytes; scratch is as long
  // as out, the caller's to use. Bands are made on the work threads
  // (core/work_threads.h), several at once, and written in order.
  void (*rows_of)(const void *context, int y0, int y1, unsigned char *out, unsigned char *scratch);
  const void *context;
};

// The same for a picture of three 8-bit bands; 0, or 1 with why set.
int write_picture_geotiff(const char *path, GeoPlace &place, const PictureRows &picture, std::string *why);
