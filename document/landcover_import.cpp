#include "document/landcover_import.h"

#include <algorithm>
#include <map>

#include "core/land_table.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "document/terrain_geo.h"
#include "edit/sea_level.h"
#include "files/class_table.h"
#include "files/height_map_file.h"
#include "geo/dem_warp.h"

namespace {

const double POINT_CELL_METRES = 2000;

std::string named(const char *path) { return QuotedName(get_filename(path)).text; }

// The table's classes as lands: value to land, a class naming no land noted
// and left out. "" or why the table cannot be used.
std::string class_lands(const char *path, std::map<long long, int> &to_land, std::vector<std::string> &notes) {
  ClassTable table;
  const int read = load_class_table(path, &table);
  const std::string name = QuotedName(path).text;
  if (read == RESULT_NO_FILE) return name + " does not exist.";
  for (const std::string &p : table.problems) notes.push_back(name + ": " + p);
  if (read == RESULT_CANNOT_OPEN) return name + ": the class table cannot be read.";
  if (read == RESULT_NOTHING_READ) return name + ": no class VALUE=LAND in [Classes].";
  for (const ClassEntry &c : table.entries) {
    const int land = land_named(c.land.c_str());
    if (land) to_land[c.value] = land;
    else notes.push_back(name + ": line " + std::to_string(c.line) + ": " + c.land + " is no land of " +
                         named(terrain_paths.lands_ini_path) + "; class " + std::to_string(c.value) + " is left out");
  }
  return "";
}

// The sea's land and the height map it needs; "" or why not.
std::string sea_land(const char *sea, int *land) {
  *land = land_named(sea);
  if (!*land) return std::string("--sea: \"") + sea + "\" is no land of " + named(terrain_paths.lands_ini_path) + ".";
  if (!terrain_paths.hfd_path[0] || load_height_map(terrain_paths.hfd_path, nullptr) != RESULT_OK)
    return named(terrain_paths.hfd_path) + ": the height map cannot be used, and --sea needs it.";
  return "";
}

// The grid of the points' cells, in the terrain's projection.
DemGrid point_grid(GeoPlace &place) {
  DemGrid grid;
  grid.wkt = place_wkt(place);
  grid.cell = POINT_CELL_METRES;
  grid.west = place_origin_east(place) - POINT_CELL_METRES / 2;
  grid.south = place_origin_north(place) - POINT_CELL_METRES / 2;
  grid.columns = map_columns() + 1;
  grid.rows = map_rows() + 1;
  return grid;
}

// The warped classes (the north row first) as points column by column, counted.
std::vector<uint8_t> points_of_classes(const ClassWarp &w, const std::map<long long, int> &to_land, int sea,
                                       LandCoverImport &out) {
  const int columns = map_columns() + 1, rows = map_rows() + 1;
  std::vector<uint8_t> points((size_t)columns * rows, 0);
  std::map<long long, long long> counted;
  for (int y = 0; y < rows; y++)
    for (int x = 0; x < columns; x++) {
      const int32_t v = w.classes[(size_t)y * columns + x];
      if (v == CLASS_NONE) out.no_class++;
      else counted[v]++;
      const auto land = v == CLASS_NONE ? to_land.end() : to_land.find(v);
      if (land != to_land.end()) points[(size_t)x * rows + y] = (uint8_t)land->second;
      if (sea && highest_sample_around(x, y) <= 0) {
        points[(size_t)x * rows + y] = (uint8_t)sea;
        out.sea_points++;
      }
    }
  for (const auto &c : counted) {
    const auto land = to_land.find(c.first);
    (land == to_land.end() ? out.unlisted : out.taken)
        .push_back({c.first, land == to_land.end() ? 0 : land->second, c.second});
  }
  out.points = (long long)columns * rows;
  return points;
}

}  // namespace

LandCoverImport import_landcover(const LandCoverRequest &r, const Reporter *reporter) {
  LandCoverImport out;
  LandImport &im = out.lands;
  im.why = open_tile_map_and_lands(r.tfd, im.notes);
  if (!im.why.empty()) return out;
  std::map<long long, int> to_land;
  im.why = class_lands(r.classes, to_land, im.notes);
  int sea = 0;
  if (im.why.empty() && r.sea) im.why = sea_land(r.sea, &sea);
  if (!im.why.empty()) return out;
  GeoPlacePtr place = read_terrain_place(r.tfd, &im.why);
  if (!place) return out;
  const ClassWarp w = warp_classes(r.raster, point_grid(*place), reporter);
  if (w.outcome != DEM_WARPED) {
    im.outcome = w.outcome == DEM_REFUSED ? LAND_IMPORT_REFUSED : LAND_IMPORT_NOT_WRITTEN;
    im.why = w.why;
    return out;
  }
  const std::vector<uint8_t> points = points_of_classes(w, to_land, sea, out);
  lay_land_points(points.data(), r.tfd, im);
  return out;
}
