// Rasters onto a terrain's grid: elevation models (any number of
// georeferenced rasters in any projections, mosaicked as they are, never
// scaled file by file) warped onto the grid's cells, their voids filled
// from around them; and a land cover raster, each cell taking its class.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/huge_pages.h"
#include "core/reporter.h"

// A grid of cells, the north row first.
using GridFloats = std::vector<float, HugePageAllocator<float>>;

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

// The void cells of a grid (kind[k] == void_mark, holding the no-value
// mark) filled from the cells around them as GDALFillNodata fills them over
// the whole grid, but only in the blocks that hold a void: the cells of no
// value that are no void (beyond every model) cost nothing. false when GDAL
// fails.
bool fill_dem_voids(GridFloats &heights, int columns, int rows, const std::vector<unsigned char> &kind,
                    unsigned char void_mark);

struct DemWarp {
  int outcome = DEM_FAILED;
  std::string why;
  std::string resampling;       // the one used
  GridFloats heights;           // columns * rows, the north row first, metres (0 where none)
  long long voids_filled = 0;   // cells without a value (or with NaN, infinite) inside some raster, filled from around them
  long long voids_left = 0;     // the same, too far from any value: 0
  long long uncovered = 0;      // cells no raster covers: 0
};

// Warps the rasters at paths onto the grid. resampling null or "": average
// from rasters finer than the cell, bilinear from coarser. Progress texts
// go to reporter once the work has taken a second.
DemWarp warp_dems(const std::vector<std::string> &paths, const DemGrid &grid, const char *resampling,
                  const Reporter *reporter);

// A cell of a land cover grid that the raster says nothing of: its nodata,
// or off the raster.
const int32_t CLASS_NONE = INT32_MIN;

struct ClassWarp {
  int outcome = DEM_FAILED;     // DemWarpOutcome
  std::string why;
  std::vector<int32_t> classes;  // columns * rows, the north row first; CLASS_NONE for none
};

// Warps the first band of the raster at path onto the grid, each cell the
// class most of the raster's pixels within it hold (gdalwarp's mode: the
// raster's nodata pixels do not count). Progress as warp_dems.
ClassWarp warp_classes(const std::string &path, const DemGrid &grid, const Reporter *reporter);
