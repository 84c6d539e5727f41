#include "render/export/briefing_graticule.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const int SPACINGS[] = {1, 2, 5, 10, 30, 60, 120, 300, 600, 1800};
const int MOST_LINES = 8;
// Points on each edge of the outline, and on each line: enough that the
// projection's curves stay smooth at the page's scale.
const int OUTLINE_POINTS = 32, LINE_POINTS = 96;

// Where the polyline crosses the level of one coordinate (the other
// interpolated), each crossing once.
void crossings(const std::vector<double> &a, const std::vector<double> &b, double level, int edge,
               std::vector<GraticuleEnd> &ends) {
  for (size_t k = 1; k < a.size(); k++) {
    const double a0 = a[k - 1] - level, a1 = a[k] - level;
    if ((a0 < 0) == (a1 < 0) || a0 == a1) continue;
    const double t = a0 / (a0 - a1);
    ends.push_back({edge, b[k - 1] + t * (b[k] - b[k - 1])});
  }
}

}  // namespace

int graticule_count(double low, double high, int minutes) {
  const double step = minutes / 60.0;
  const double first = std::floor(low / step) + 1, last = std::ceil(high / step) - 1;
  return last >= first ? (int)(last - first + 1) : 0;
}

int graticule_minutes(double low, double high) {
  for (int s : SPACINGS)
    if (graticule_count(low, high, s) <= MOST_LINES) return s;
  return SPACINGS[sizeof(SPACINGS) / sizeof(SPACINGS[0]) - 1];
}

std::string graticule_label(double degrees, bool latitude, const char *degree_sign) {
  const long minutes = std::lround(std::fabs(degrees) * 60);
  const char hemisphere = minutes == 0 ? 0 : latitude ? (degrees > 0 ? 'N' : 'S') : (degrees > 0 ? 'E' : 'W');
  char text[48];
  if (minutes % 60 == 0) snprintf(text, sizeof(text), "%ld%s", minutes / 60, degree_sign);
  else snprintf(text, sizeof(text), "%ld%s%02ld'", minutes / 60, degree_sign, minutes % 60);
  std::string out = text;
  if (hemisphere) out += hemisphere;
  return out;
}

std::string convergence_text(double degrees, const char *degree_sign) {
  if (std::fabs(degrees) < 0.05) return "grid north is true north";
  char text[80];
  snprintf(text, sizeof(text), "grid north %.1f%s %s of true north", std::fabs(degrees), degree_sign,
           degrees > 0 ? "east" : "west");
  return text;
}

Graticule make_graticule(GeoPlace &place, double width, double height) {
  Graticule g;
  // The terrain's extent in degrees, from its outline.
  double lat_low = 90, lat_high = -90, lon_low = 180, lon_high = -180;
  for (int k = 0; k <= OUTLINE_POINTS; k++) {
    const double t = (double)k / OUTLINE_POINTS;
    const double es[4] = {t * width, t * width, 0, width}, ns[4] = {0, height, t * height, t * height};
    for (int m = 0; m < 4; m++) {
      double lat, lon;
      if (!place_to_degrees(place, es[m], ns[m], &lat, &lon)) return g;
      lat_low = std::min(lat_low, lat), lat_high = std::max(lat_high, lat);
      lon_low = std::min(lon_low, lon), lon_high = std::max(lon_high, lon);
    }
  }
  g.latitude_minutes = graticule_minutes(lat_low, lat_high);
  g.longitude_minutes = graticule_minutes(lon_low, lon_high);
  for (int axis = 0; axis < 2; axis++) {
    const bool parallel = axis == 0;
    const int minutes = parallel ? g.latitude_minutes : g.longitude_minutes;
    const double low = parallel ? lat_low : lon_low, high = parallel ? lat_high : lon_high;
    const double other_low = parallel ? lon_low : lat_low, other_high = parallel ? lon_high : lat_high;
    const double step = minutes / 60.0;
    for (double k = std::floor(low / step) + 1; k * step < high; k++) {
      GraticuleLine line;
      line.parallel = parallel;
      line.degrees = k * step;
      line.label = graticule_label(line.degrees, parallel);
      for (int p = 0; p <= LINE_POINTS; p++) {
        const double other = other_low + (other_high - other_low) * p / LINE_POINTS;
        double e, n;
        if (!place_from_degrees(place, parallel ? line.degrees : other, parallel ? other : line.degrees, &e, &n))
          continue;
        line.east.push_back(e);
        line.north.push_back(n);
      }
      crossings(line.north, line.east, height, GRATICULE_NORTH, line.ends);
      crossings(line.north, line.east, 0, GRATICULE_SOUTH, line.ends);
      crossings(line.east, line.north, 0, GRATICULE_WEST, line.ends);
      crossings(line.east, line.north, width, GRATICULE_EAST, line.ends);
      // Only the crossings on the edges themselves, not on their lines beyond.
      line.ends.erase(std::remove_if(line.ends.begin(), line.ends.end(),
                                     [&](const GraticuleEnd &end) {
                                       const double side = end.edge <= GRATICULE_SOUTH ? width : height;
                                       return end.along < 0 || end.along > side;
                                     }),
                      line.ends.end());
      g.lines.push_back(line);
    }
  }
  // True north at the centre, as the grid shows it.
  double lat, lon, e0, n0, e1, n1;
  if (place_to_degrees(place, width / 2, height / 2, &lat, &lon) && place_from_degrees(place, lat, lon, &e0, &n0) &&
      place_from_degrees(place, lat + 0.01, lon, &e1, &n1))
    g.convergence = -std::atan2(e1 - e0, n1 - n0) * 180 / M_PI;
  g.made = true;
  return g;
}
