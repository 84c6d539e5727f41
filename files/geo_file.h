// The terrain's place on the Earth (NAME_GEO.ini beside the tile map),
// Veldkit's own file; a terrain without it has no place and shows none.
//
//   Projection=PROJ     a PROJ string, EPSG:n or WKT, on one line
//   Origin=E, N         projected metres of the terrain's south-west corner
//
// Both keys come before any section; a terrain metre east or north is a
// projected metre east or north. Turning the text into a transformation is
// geo/'s; this module reads and writes the two values only.
#pragma once

#include <string>
#include <vector>

struct GeoFile {
  std::string projection;
  double origin_east = 0, origin_north = 0;
  std::vector<std::string> problems;  // "line 3: Origin takes E, N in metres, not \"x\""
};

// RESULT_NO_FILE when nothing has the name, RESULT_CANNOT_OPEN when it
// cannot be read (one problem says why), RESULT_BAD_DATA when a key is
// missing or wrong (the problems say which), else 0.
int load_geo_file(const char *path, GeoFile *geo);

// The same from text in memory (size bytes).
int read_geo_text(const char *text, long size, GeoFile *geo);

// The file's text for a place, as load_geo_file reads it back exactly.
std::string geo_file_text(const GeoFile &geo);
