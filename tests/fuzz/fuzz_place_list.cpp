// The list of places of --import-targets on arbitrary bytes: the first byte
// says whether they are a CSV or a GeoJSON file, the rest is the file. A
// list read gives places with finite degrees and, where placed, finite
// metres; every row left out, and a list that cannot be read, is one line.
#include <cmath>
#include <string>

#include "files/geo_file.h"
#include "geo/place_list.h"
#include "geo/terrain_place.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool one_line(const std::string &s) { return s.find_first_of("\r\n") == std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  static GeoPlacePtr place;
  if (!place) {
    GeoFile geo;
    geo.projection = "EPSG:32633";
    geo.origin_east = 400000, geo.origin_north = 4700000;
    std::string why;
    place = make_geo_place(geo, &why);
    if (!place) __builtin_trap();
  }
  if (size < 1) return 0;
  const bool csv = data[0] & 1;
  const std::string path = fuzz_file(csv ? "places.csv" : "places.geojson", data + 1, size - 1);
  const PlaceList list = read_place_list(path.c_str(), *place);
  if (!one_line(list.why) || (!list.why.empty() && !list.places.empty())) __builtin_trap();
  for (const std::string &p : list.problems)
    if (!one_line(p)) __builtin_trap();
  long last = 0;
  for (const ListedPlace &p : list.places) {
    if (p.row <= last || !std::isfinite(p.latitude) || !std::isfinite(p.longitude)) __builtin_trap();
    if (csv && (std::fabs(p.latitude) > 90 || std::fabs(p.longitude) > 180)) __builtin_trap();
    if (p.name.empty()) __builtin_trap();
    if (p.placed && (!std::isfinite(p.east) || !std::isfinite(p.north))) __builtin_trap();
    last = p.row;
  }
  return 0;
}
