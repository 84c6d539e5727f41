// Heights from the real world: elevation models (any number, any
// projections) warped onto a georeferenced terrain's samples and written as
// the height map, as a save writes it; and a new terrain for an area of the
// Earth, its tile map, heights and place written together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/reporter.h"
#include "geo/terrain_place.h"

// What the heights took, for standard output.
struct DemCounts {
  std::string resampling;
  long long voids_filled = 0, voids_left = 0, uncovered = 0, below = 0, above = 0;
};

// The counts as lines: "Resampling: average", "Voids filled: 12", ...
std::vector<std::string> dem_count_lines(const DemCounts &counts);

struct DemImport {
  int outcome;      // HeightImportResult
  std::string why;  // the refusal or failure, or once written "Wrote Desert.hfd (...)."
  DemCounts counts;
};

// Writes the height map of the tile map at tfd_path, whose _GEO.ini places
// it, from the rasters; sample i, j is the 500 m cell 500 i m east and 500 j
// m north of the south-west corner. resampling null: by the rasters' cells.
// Heights are rounded to the metre, those below 0 become 0 and those above
// 9999 become 9999, counted.
DemImport import_dems(const std::vector<std::string> &dems, const char *tfd_path, const char *resampling,
                      const Reporter *reporter);

// The same heights for a terrain of columns x rows tiles at place, into
// heights (sample columns times rows, the north row first) rather than a
// file, for the window's import into the map in memory.
DemImport dem_heights(const std::vector<std::string> &dems, GeoPlace &place, int columns, int rows,
                      const char *resampling, const Reporter *reporter, std::vector<uint16_t> *heights);

// A new terrain for an area (degrees, south < north, west < east): the
// projection given or the one projection_for_area picks, the size given
// (columns 0: the area's extent at 2000 m tiles, the terrain then centred on
// it), the heights from the rasters, every tile texture 1.
struct AreaTerrain {
  double south, west, north, east;
  int columns = 0, rows = 0;
  const char *projection = nullptr;
  const char *resampling = nullptr;
};

enum AreaOutcome {
  AREA_WRITTEN = 0,
  AREA_REFUSED = 1,  // the area, projection or rasters do not do, or a name is taken: nothing written
  AREA_FAILED = 2,   // a file could not be written: nothing left behind
};

struct AreaResult {
  int outcome;
  std::string why;  // the refusal or failure, or once written "Wrote ..."
  DemCounts counts;
  int columns = 0, rows = 0;
};

AreaResult write_area_terrain(const char *tfd_path, const AreaTerrain &area, const std::vector<std::string> &dems,
                              const Reporter *reporter);
