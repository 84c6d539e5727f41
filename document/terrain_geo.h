// The open terrain's place on the Earth, read from its _GEO.ini beside the
// tile map: what every command and export of the real world starts from,
// and the one line each says when the terrain has none.
#pragma once

#include <string>

#include "geo/terrain_place.h"

// The place of the tile map at tfd_path, or null with why the one line to
// show ("Desert.TFD has no place on the Earth: Desert_GEO.ini does not
// exist (--new --area writes one).", or the file's first problem).
GeoPlacePtr read_terrain_place(const char *tfd_path, std::string *why);
