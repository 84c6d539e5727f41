// The _GEO.ini reader on arbitrary text, and the place made of what it
// reads: a file read well writes back as text that reads as the same
// values, each problem is one line, and a place that is made gives finite
// scale errors or says a corner has no image.
#include <cmath>
#include <cstring>
#include <string>

#include "files/geo_file.h"
#include "geo/terrain_place.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  GeoFile geo;
  const int result = read_geo_text((const char *)data, (long)size, &geo);
  if ((result == 0) != geo.problems.empty()) __builtin_trap();
  for (const std::string &p : geo.problems)
    if (p.find('\n') != std::string::npos || p.find('\r') != std::string::npos) __builtin_trap();
  if (result != 0) return 0;
  if (geo.projection.empty() || !std::isfinite(geo.origin_east) || !std::isfinite(geo.origin_north)) __builtin_trap();
  const std::string text = geo_file_text(geo);
  GeoFile again;
  if (read_geo_text(text.data(), (long)text.size(), &again) != 0 || again.projection != geo.projection ||
      memcmp(&again.origin_east, &geo.origin_east, sizeof(double)) != 0 ||
      memcmp(&again.origin_north, &geo.origin_north, sizeof(double)) != 0)
    __builtin_trap();
  std::string why;
  GeoPlacePtr place = make_geo_place(geo, &why);
  if (!place) {
    if (why.empty()) __builtin_trap();
    return 0;
  }
  const double error = place_corner_scale_error(*place, 8000, 6000);
  if (std::isnan(error) || std::isinf(error)) __builtin_trap();
  double lat, lon;
  if (place_to_degrees(*place, 1000, 1000, &lat, &lon) && (!std::isfinite(lat) || !std::isfinite(lon))) __builtin_trap();
  place_projection_name(*place);
  return 0;
}
