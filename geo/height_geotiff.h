// Heights as a 16-bit GeoTIFF: one pixel a height sample, in the terrain's
// projection, each pixel the sample's own cell (500 m east of the one before
// it), so that warping the file back onto the terrain gives every sample
// back as it was.
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
