// Lists of places read through OGR and put into a terrain's projection: a
// CSV of rows name,latitude,longitude[,side[,type[,heading]]] (WGS 84
// degrees, decimal or as degrees_text.h reads them; quoted fields; a first
// line whose latitude and longitude are no angles is a header), or any
// vector file OGR reads of points (GeoJSON, in its own coordinates) with
// the properties name, side, type and heading.
#pragma once

#include <string>
#include <vector>

#include "geo/terrain_place.h"

struct ListedPlace {
  long row;                       // the CSV's row (1: the first line) or the feature's number
  std::string name, side, type;   // as given, blanks around them dropped; "" when not given
  int heading = 0, has_heading = 0;
  double latitude = 0, longitude = 0;  // WGS 84
  double east = 0, north = 0;          // terrain metres; valid when placed
  int placed = 0;                      // 0: no image in the projection
};

struct PlaceList {
  std::vector<ListedPlace> places;
  std::vector<std::string> problems;  // a row left out, each "row 4: ..."
  std::string why;                    // the file cannot be read at all: the one line
};

// Reads the list at path; a row of no name, of no angle where one must be
// or of a heading that is no whole number is a problem and left out.
PlaceList read_place_list(const char *path, GeoPlace &place);
