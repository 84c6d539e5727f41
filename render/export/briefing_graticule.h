// The briefing map's graticule of a terrain placed on the Earth: lines of
// latitude and longitude at a round spacing, as polylines in terrain
// metres with where each meets the terrain's edges, their labels, and the
// grid convergence the north arrow notes. Rules on numbers and the place's
// transformations, apart from any drawing.
#pragma once

#include <string>
#include <vector>

#include "geo/terrain_place.h"

// The spacing of lines in minutes of arc for a span of low..high degrees:
// among whole 1, 2, 5, 10 and 30 minutes and 1, 2, 5, 10 and 30 degrees,
// the smallest whose multiples strictly inside the span are at most 8, so
// that 3 to 8 lines cross the map wherever the series allows; the largest
// for a span that even it crosses more often, the smallest for one too
// short for 3 lines of it.
int graticule_minutes(double low, double high);

// Lines at every multiple of minutes strictly inside low..high.
int graticule_count(double low, double high, int minutes);

// "43°N", "43°20'N", "19°05'E", "0°": the label of a line.
std::string graticule_label(double degrees, bool latitude, const char *degree_sign = "\xC2\xB0");

enum GraticuleEdge { GRATICULE_NORTH, GRATICULE_SOUTH, GRATICULE_WEST, GRATICULE_EAST };

struct GraticuleEnd {
  int edge;      // GraticuleEdge
  double along;  // metres east (north, south edge) or north (west, east edge) of the corner
};

struct GraticuleLine {
  bool parallel;  // a line of latitude; else of longitude
  double degrees;
  std::string label;
  std::vector<double> east, north;  // the polyline in terrain metres, beyond the edges where it runs on
  std::vector<GraticuleEnd> ends;
};

struct Graticule {
  std::vector<GraticuleLine> lines;
  int latitude_minutes = 0, longitude_minutes = 0;
  double convergence = 0;  // degrees grid north lies east of true north at the centre (negative: west)
  bool made = false;       // false when some of the terrain has no latitude and longitude
};

// The graticule of a terrain width x height metres at place.
Graticule make_graticule(GeoPlace &place, double width, double height);

// "grid north 1.2° east of true north", "... west ...", or "grid north is
// true north" within 0.05°.
std::string convergence_text(double degrees, const char *degree_sign = "\xC2\xB0");
