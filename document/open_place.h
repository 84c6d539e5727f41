// The open terrain's place on the Earth: its _GEO.ini read when the terrain
// opens and the transformation made then, kept until the next opening, so
// that the strip's readout, the go-to and the ruler never make it anew.
#pragma once

#include <string>

#include "geo/terrain_place.h"

struct TerrainPlace {
  GeoPlacePtr place;    // null: the terrain has no place, or one that cannot be used
  std::string problem;  // why the file beside the tile map cannot be used; "" when none is there or it does
};

// Owned by the opening: read_open_place writes it, everyone else reads.
extern TerrainPlace terrain_place;

// Reads the _GEO.ini beside terrain_paths.tfd_path into terrain_place in
// place of the last terrain's. 1 when the terrain now has a place.
int read_open_place();

// The point (metres east and north of the south-west corner) as the strip
// gives it: "43°12.3'N 19°05.6'E", or with decimal set "43.2050°N
// 19.0933°E", the degree sign in UTF-8; "" without a place or an image.
std::string place_readout(double east, double north, int decimal);
