#include "document/terrain_geo.h"

#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "document/open_terrain.h"
#include "files/geo_file.h"

GeoPlacePtr read_terrain_place(const char *tfd_path, std::string *why) {
  char path[2 * PATH_SIZE];
  sibling_path_of(tfd_path, SIBLING_GEO_INI, path, sizeof(path));
  GeoFile file;
  const int read = load_geo_file(path, &file);
  const std::string name = QuotedName(path).text;
  if (read == RESULT_NO_FILE) {
    *why = QuotedName(tfd_path).text + std::string(" has no place on the Earth: ") + name +
           " does not exist (--new --area writes one).";
    return nullptr;
  }
  if (read != 0) {
    *why = name + ": " + file.problems[0] + ".";
    return nullptr;
  }
  std::string reason;
  GeoPlacePtr place = make_geo_place(file, &reason);
  if (!place) *why = name + ": " + reason + ".";
  return place;
}
