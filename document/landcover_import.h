// Lands from a land cover raster: every corner point of a georeferenced
// terrain takes the class most of its cell holds, through a class table
// (files/class_table.h) to a land of the lands file, and the tiles follow
// as --import-lands lays them (land_import.h's one way).
//
// The cells: a grid of (columns + 1) x (rows + 1) points, point (x, y)
// (x from the west edge, y from the north edge, as the land grid counts
// them) at 2000 x metres east and 2000 (rows - y) metres north of the
// terrain's south-west corner, its cell the 2000 m square centred on it;
// the cells of the edge points reach 1000 m beyond the terrain.
#pragma once

#include <string>
#include <vector>

#include "core/reporter.h"
#include "document/land_import.h"

struct LandCoverRequest {
  const char *raster;   // any raster GDAL reads, georeferenced
  const char *tfd;      // the tile map, with its _GEO.ini and _LANDS.ini
  const char *classes;  // the class table
  const char *sea;      // a land for the points the height map puts at 0 m, or null
};

struct ClassCount {
  long long value;
  int land;  // 0 for a class the table gives no land
  long long points;
};

struct LandCoverImport {
  LandImport lands;                // outcome, why, notes, what the lands did, written
  std::vector<ClassCount> taken;   // the classes that gave their points a land, by value
  std::vector<ClassCount> unlisted;  // the classes without a land, by value: points left as they are
  long long no_class = 0;          // points of no class (nodata, or off the raster): left as they are
  long long sea_points = 0;        // points at 0 m given the sea's land
  long long points = 0;            // every corner point
};

// Reads the table, the tile map, its lands, its place (and with a sea its
// height map), warps the raster onto the points and lays their lands. The
// library must be started (32-bit colour).
LandCoverImport import_landcover(const LandCoverRequest &request, const Reporter *reporter);
