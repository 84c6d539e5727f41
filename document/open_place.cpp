#include "document/open_place.h"

#include <allegro.h>

#include "core/terrain_model.h"
#include "document/open_terrain.h"
#include "files/geo_file.h"
#include "geo/degrees_text.h"

TerrainPlace terrain_place;

int read_open_place() {
  terrain_place = TerrainPlace();
  if (!terrain_paths.tfd_path[0]) return 0;
  char path[2 * PATH_SIZE];
  sibling_path(SIBLING_GEO_INI, path, sizeof(path));
  GeoFile file;
  const int read = load_geo_file(path, &file);
  if (read == RESULT_NO_FILE) return 0;
  std::string why;
  if (read == RESULT_OK) terrain_place.place = make_geo_place(file, &why);
  else why = file.problems.empty() ? "it cannot be read" : file.problems[0];
  if (!terrain_place.place) terrain_place.problem = std::string(get_filename(path)) + ": " + why;
  return terrain_place.place != nullptr;
}

std::string place_readout(double east, double north, int decimal) {
  double latitude, longitude;
  if (!terrain_place.place || !place_to_degrees(*terrain_place.place, east, north, &latitude, &longitude)) return "";
  return decimal ? place_decimal_text(latitude, longitude) : place_text(latitude, longitude);
}
