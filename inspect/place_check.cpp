#include "inspect/place_check.h"

#include "core/reporter.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "document/open_terrain.h"
#include "files/geo_file.h"
#include "geo/terrain_place.h"

std::string check_place(const char *tfd_path, int columns, int rows, bool *problem) {
  *problem = false;
  char path[2 * PATH_SIZE];
  sibling_path_of(tfd_path, SIBLING_GEO_INI, path, sizeof(path));
  GeoFile file;
  const int read = load_geo_file(path, &file);
  if (read == RESULT_NO_FILE) return "";
  const std::string name = QuotedName(path).text;
  *problem = true;
  if (read != 0) return name + ": " + file.problems[0];
  std::string why;
  GeoPlacePtr place = make_geo_place(file, &why);
  if (!place) return name + ": " + why;
  const double error = place_corner_scale_error(*place, 2000.0 * columns, 2000.0 * rows);
  if (error < 0) return name + ": " + place_projection_name(*place) + " gives some corner of the terrain no place";
  *problem = false;
  return name + ": note: " + place_projection_name(*place) + "; " + scale_error_text(error);
}
