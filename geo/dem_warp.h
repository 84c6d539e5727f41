// Elevation models onto a terrain's grid: any number of georeferenced
// rasters in any projections, mosaicked as they are (never scaled file by
// file), warped onto the grid's cells, their voids filled from around them.
#pragma once

#include <string>
#include <vector>

#include "core/reporter.h"

// The grid: columns x rows cells of cell metres in the projection (WKT),
// the south-west corner at west, south. Cell i, j covers cell i to
// cell (i + 1) metres east and cell j to cell (j + 1) north of it.
struct DemGrid {
  std::string wkt;
  double west = 0, south = 0, cell = 500;
  int columns = 0, rows = 0;
};

enum DemWarpOutcome {
  DEM_WARPED = 0,
  DEM_REFUSED = 1,  // a raster cannot be used, or none covers the grid: why says which
  DEM_FAILED = 2,   // memory, or GDAL failed midway
};

// The resampling methods a warp takes, as gdalwarp names them.
bool dem_resampling_known(const char *name);

struct DemWarp {
  int outcome = DEM_FAILED;
  std::string why;
  std::string resampling;       // the one used
  std::vector<float> heights;   // columns * rows, the north row first, metres (0 where none)
  long long voids_filled = 0;   // cells without a value (or with NaN, infinite) inside some raster, filled from around them
  long long voids_left = 0;     // the same, too far from any value: 0
  long long uncovered = 0;      // cells no raster covers: 0
};

// Warps the rasters at paths onto the grid. resampling null or "": average
// from rasters finer than the cell, bilinear from coarser. Progress texts
// go to reporter once the work has taken a second.
DemWarp warp_dems(const std::vector<std::string> &paths, const DemGrid &grid, const char *resampling,
                  const Reporter *reporter);
