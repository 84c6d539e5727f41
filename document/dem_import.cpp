#include "document/dem_import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "document/height_import.h"
#include "document/new_terrain.h"
#include "document/open_terrain.h"
#include "document/terrain_geo.h"
#include "files/geo_file.h"
#include "geo/dem_warp.h"
#include "geo/terrain_place.h"

namespace {

const double SAMPLE_METRES = 500, TILE_METRES = 2000;

using GridBytes = std::vector<unsigned char, HugePageAllocator<unsigned char>>;

// The warped grid (the north row first) as the height map's words (the
// south row first), rounded to the metre (halves away from 0) and brought
// within 0..MAX_HEIGHT; NaN counts as below. The counts are kept apart
// from the loop so that it stays a plain one over the row.
GridBytes height_words(const DemWarp &w, int sx, int sy, DemCounts *counts) {
  GridBytes words(2 * (size_t)sx * sy);
  long long below = 0, above = 0;
  for (int r = 0; r < sy; r++) {
    const float *in = w.heights.data() + (size_t)(sy - 1 - r) * sx;
    unsigned char *out = words.data() + 2 * (size_t)r * sx;
    for (int x = 0; x < sx; x++) {
      const float f = in[x];
      long v = 0;
      if (f >= 9999.5f) {
        above++;
        v = MAX_HEIGHT;
      } else if (f >= 0) {
        // Exact in a double: a float's half is one more bit.
        v = (long)((double)f + 0.5);
      } else {
        below += !(f > -0.5f);  // -0.4 rounds to 0, -0.5 to -1
      }
      out[2 * x] = (unsigned char)v;
      out[2 * x + 1] = (unsigned char)(v >> 8);
    }
  }
  counts->below += below;
  counts->above += above;
  return words;
}

void take_counts(const DemWarp &w, DemCounts *counts) {
  counts->resampling = w.resampling;
  counts->voids_filled = w.voids_filled;
  counts->voids_left = w.voids_left;
  counts->uncovered = w.uncovered;
}

}  // namespace

std::vector<std::string> dem_count_lines(const DemCounts &c) {
  char line[5][96];
  snprintf(line[0], sizeof(line[0]), "Resampling: %s", c.resampling.c_str());
  snprintf(line[1], sizeof(line[1]), "Voids filled from their surroundings: %lld (too far from any height, set to 0: %lld)",
           c.voids_filled, c.voids_left);
  snprintf(line[2], sizeof(line[2]), "Samples no elevation model covers, set to 0: %lld", c.uncovered);
  snprintf(line[3], sizeof(line[3]), "Samples below 0, set to 0: %lld", c.below);
  snprintf(line[4], sizeof(line[4]), "Samples above 9999, set to 9999: %lld", c.above);
  return std::vector<std::string>(line, line + 5);
}

DemImport import_dems(const std::vector<std::string> &dems, const char *tfd_path, const char *resampling,
                      const Reporter *reporter) {
  DemImport im{IMPORT_REFUSED, "", DemCounts()};
  char why[8 * PATH_SIZE] = "";
  int columns, rows;
  if (read_terrain_size(tfd_path, &columns, &rows, why, sizeof(why)) != 0) {
    im.why = why;
    return im;
  }
  GeoPlacePtr place = read_terrain_place(tfd_path, &im.why);
  if (!place) return im;
  HeightTarget target;
  if (prepare_height_target(tfd_path, &target, why, sizeof(why)) != 0) {
    im.why = why;
    return im;
  }
  DemGrid grid;
  grid.wkt = place_wkt(*place);
  grid.west = place_origin_east(*place);
  grid.south = place_origin_north(*place);
  grid.cell = SAMPLE_METRES;
  grid.columns = 4 * columns;
  grid.rows = 4 * rows;
  const DemWarp w = warp_dems(dems, grid, resampling, reporter);
  if (w.outcome != DEM_WARPED) {
    im.outcome = w.outcome == DEM_REFUSED ? IMPORT_REFUSED : IMPORT_CANNOT_WRITE;
    im.why = w.why;
    return im;
  }
  take_counts(w, &im.counts);
  const GridBytes words = height_words(w, grid.columns, grid.rows, &im.counts);
  im.outcome = write_height_target(target, grid.columns, grid.rows, words.data(), why, sizeof(why));
  if (im.outcome != IMPORT_WRITTEN) {
    im.why = why;
    return im;
  }
  char sizes[96];
  snprintf(sizes, sizeof(sizes), " (%d x %d samples from %zu elevation model%s).", grid.columns, grid.rows, dems.size(),
           dems.size() == 1 ? "" : "s");
  im.why = "Wrote " + std::string(QuotedName(target.hfd).text) + sizes;
  return im;
}

DemImport dem_heights(const std::vector<std::string> &dems, GeoPlace &place, int columns, int rows,
                      const char *resampling, const Reporter *reporter, std::vector<uint16_t> *heights) {
  DemImport im{IMPORT_REFUSED, "", DemCounts()};
  DemGrid grid;
  grid.wkt = place_wkt(place);
  grid.west = place_origin_east(place);
  grid.south = place_origin_north(place);
  grid.cell = SAMPLE_METRES;
  grid.columns = 4 * columns;
  grid.rows = 4 * rows;
  DemWarp w = warp_dems(dems, grid, resampling, reporter);
  if (w.outcome != DEM_WARPED) {
    im.outcome = w.outcome == DEM_REFUSED ? IMPORT_REFUSED : IMPORT_CANNOT_WRITE;
    im.why = w.why;
    return im;
  }
  take_counts(w, &im.counts);
  // Both the north row first: the grid's order is the map's.
  heights->resize(w.heights.size());
  for (size_t i = 0; i < w.heights.size(); i++) {
    long v = lround(w.heights[i]);
    if (v < 0) im.counts.below++, v = 0;
    if (v > MAX_HEIGHT) im.counts.above++, v = MAX_HEIGHT;
    (*heights)[i] = (uint16_t)v;
  }
  im.outcome = IMPORT_WRITTEN;
  return im;
}

namespace {

// The area's extent in the projection: its outline, a few points an edge,
// projected, and their bounds.
bool area_extent(GeoPlace &place, const AreaTerrain &a, double *w, double *s, double *e, double *n) {
  enum { POINTS = 32 };
  *w = *s = INFINITY;
  *e = *n = -INFINITY;
  for (int k = 0; k <= POINTS; k++) {
    const double t = (double)k / POINTS;
    const double lats[4] = {a.south, a.north, a.south + t * (a.north - a.south), a.south + t * (a.north - a.south)};
    const double lons[4] = {a.west + t * (a.east - a.west), a.west + t * (a.east - a.west), a.west, a.east};
    for (int m = 0; m < 4; m++) {
      double x, y;
      if (!place_from_degrees(place, lats[m], lons[m], &x, &y)) return false;
      *w = std::min(*w, x), *e = std::max(*e, x), *s = std::min(*s, y), *n = std::max(*n, y);
    }
  }
  return true;
}

}  // namespace

AreaResult write_area_terrain(const char *tfd_path, const AreaTerrain &a, const std::vector<std::string> &dems,
                              const Reporter *reporter) {
  AreaResult r{AREA_REFUSED, "", DemCounts()};
  GeoFile file;
  file.projection = a.projection ? a.projection : projection_for_area(a.south, a.west, a.north, a.east);
  std::string reason;
  GeoPlacePtr place = make_geo_place(file, &reason);
  if (!place) {
    r.why = "--projection: " + reason + ".";
    return r;
  }
  double w, s, e, n;
  if (!area_extent(*place, a, &w, &s, &e, &n)) {
    r.why = "the area does not fit the projection: some of it has no place in it.";
    return r;
  }
  r.columns = a.columns ? a.columns : (int)std::max(1.0, std::ceil((e - w) / TILE_METRES - 1e-9));
  r.rows = a.rows ? a.rows : (int)std::max(1.0, std::ceil((n - s) / TILE_METRES - 1e-9));
  if (r.columns > MAX_TILES || r.rows > MAX_TILES) {
    char line[160];
    snprintf(line, sizeof(line), "the area is %.0f x %.0f km, over the %d km a side of %d tiles.", (e - w) / 1000,
             (n - s) / 1000, MAX_TILES * 2, MAX_TILES);
    r.why = line;
    return r;
  }
  // The terrain centred on the area, on whole metres.
  file.origin_east = std::round((w + e) / 2 - r.columns * TILE_METRES / 2);
  file.origin_north = std::round((s + n) / 2 - r.rows * TILE_METRES / 2);
  place = make_geo_place(file, &reason);
  NewTerrain t = {r.columns, r.rows, 1, 0, nullptr, 0};
  const std::string geo_text = geo_file_text(file);
  t.geo_ini = geo_text.c_str();
  t.geo_ini_size = (long)geo_text.size();
  std::string taken;
  if (new_terrain_name_taken(tfd_path, t, &taken)) {
    r.why = QuotedName(taken.c_str()).text + std::string(" exists already. Nothing was written.");
    return r;
  }
  DemGrid grid;
  grid.wkt = place_wkt(*place);
  grid.west = file.origin_east;
  grid.south = file.origin_north;
  grid.cell = SAMPLE_METRES;
  grid.columns = 4 * r.columns;
  grid.rows = 4 * r.rows;
  DemWarp warp = warp_dems(dems, grid, a.resampling, reporter);
  if (warp.outcome != DEM_WARPED) {
    r.outcome = warp.outcome == DEM_REFUSED ? AREA_REFUSED : AREA_FAILED;
    r.why = warp.why;
    return r;
  }
  take_counts(warp, &r.counts);
  const GridBytes words = height_words(warp, grid.columns, grid.rows, &r.counts);
  GridFloats().swap(warp.heights);
  t.height_words = words.data();
  NewTerrainFailure failure;
  const int outcome = write_new_terrain(tfd_path, t, &failure);
  if (outcome != NEW_TERRAIN_WRITTEN) {
    r.outcome = outcome == NEW_TERRAIN_EXISTS ? AREA_REFUSED : AREA_FAILED;
    r.why = QuotedName(failure.path.c_str()).text + std::string(" ") + new_terrain_failure_text(outcome, failure) +
            " Nothing was written.";
    return r;
  }
  std::string names[NEW_FILES];
  new_terrain_names(tfd_path, names);
  char sizes[64];
  snprintf(sizes, sizeof(sizes), " (%d x %d tiles), ", r.columns, r.rows);
  r.why = "Wrote " + std::string(QuotedName(names[NEW_TFD].c_str()).text) + sizes +
          QuotedName(names[NEW_HFD].c_str()).text + " and " + QuotedName(names[NEW_GEO_INI].c_str()).text + ".";
  r.outcome = AREA_WRITTEN;
  return r;
}
