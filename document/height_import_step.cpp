#include "document/height_import_step.h"

#include <algorithm>
#include <allegro.h>
#include <cstdio>
#include <vector>

#include "core/terrain_model.h"
#include "core/tile_rect.h"
#include "core/text_numbers.h"
#include "document/height_import.h"
#include "document/open_place.h"
#include "document/open_terrain.h"
#include "document/terrain_geo.h"
#include "edit/edit_history.h"

namespace {

bool is_picture(const char *path) {
  const char *ext = get_extension(path);
  return ustricmp(ext, "png") == 0 || ustricmp(ext, "r16") == 0 || ustricmp(ext, "raw") == 0;
}

// "dem.tif: 1600 samples changed; voids filled 12, clamped 3, uncovered 0."
std::string step_text(const char *path, const HeightStep &s) {
  char line[PATH_SIZE + 200], left[48] = "";
  const DemCounts &c = s.counts;
  if (c.voids_left > 0) snprintf(left, sizeof(left), " (%lld too far, set to 0)", c.voids_left);
  snprintf(line, sizeof(line), "%s: %lld samples changed; voids filled %lld%s, clamped %lld, uncovered %lld.",
           get_filename(path), s.samples_changed, c.voids_filled, left, c.below + c.above, c.uncovered);
  return line;
}

}  // namespace

long long put_heights_as_step(const std::vector<uint16_t> &samples, int *stepped) {
  *stepped = 0;
  const int columns = map_columns(), rows = map_rows(), sx = 4 * columns;
  if ((long long)samples.size() != 16LL * columns * rows) return 0;
  auto at = [&](int x, int y) { return samples[(size_t)y * sx + x]; };
  // The rectangle of the tiles that change, for the history's copy.
  TileRect b = {columns, rows, -1, -1};
  long long tiles = 0;
  for (int x = 0; x < columns; x++)
    for (int y = 0; y < rows; y++) {
      bool differs = false;
      for (int i = 0; i < 16 && !differs; i++)
        differs = height_map.heights[4 * x + i / 4][4 * y + i % 4] != at(4 * x + i / 4, 4 * y + i % 4);
      if (!differs) continue;
      tiles++;
      b = {std::min(b.left, x), std::min(b.top, y), std::max(b.right, x), std::max(b.bottom, y)};
    }
  if (b.right < b.left) return 0;
  history_begin_area(HISTORY_AREA_IMPORT_HEIGHTS, b.left, b.top, b.right, b.bottom);
  long long changed = 0;
  for (int X = 4 * b.left; X < 4 * (b.right + 1); X++)
    for (int Y = 4 * b.top; Y < 4 * (b.bottom + 1); Y++) {
      changed += height_map.heights[X][Y] != at(X, Y);
      height_map.heights[X][Y] = at(X, Y);
    }
  *stepped = history_end_area(tiles, b.width(), b.height(), b.left, b.top, b.right, b.bottom);
  return changed;
}

HeightStep import_heights_step(const char *path, const Reporter *reporter) {
  HeightStep s{IMPORT_REFUSED, "", DemCounts()};
  const int columns = map_columns(), rows = map_rows();
  if (height_map.heights_loaded <= 0 || columns <= 0 || rows <= 0) {
    s.why = std::string("No height map to import into: ") + get_filename(terrain_paths.hfd_path) + " did not open.";
    return s;
  }
  std::vector<uint16_t> samples;
  if (is_picture(path)) {
    char why[4 * PATH_SIZE];
    long long over = 0;
    if (read_height_picture(path, terrain_paths.tfd_path, columns, rows, &samples, &over, why, sizeof(why)) != 0) {
      s.why = why;
      return s;
    }
    // The window has no --fit to ask for: heights over the top are set to it, and counted.
    for (uint16_t &v : samples) v = std::min(v, (uint16_t)MAX_HEIGHT);
    s.counts.above = over;
  } else {
    if (!terrain_place.place) {
      // Read again only to say why, as the command line says it.
      read_terrain_place(terrain_paths.tfd_path, &s.why);
      if (s.why.empty()) s.why = std::string(get_filename(terrain_paths.tfd_path)) + " has no place on the Earth.";
      return s;
    }
    const DemImport im = dem_heights({path}, *terrain_place.place, columns, rows, nullptr, reporter, &samples);
    if (im.outcome != IMPORT_WRITTEN) {
      s.outcome = IMPORT_REFUSED;
      s.why = im.why;
      return s;
    }
    s.counts = im.counts;
  }
  s.samples_changed = put_heights_as_step(samples, &s.stepped);
  s.outcome = IMPORT_WRITTEN;
  s.why = s.stepped ? step_text(path, s)
                    : std::string("Nothing changed: ") + get_filename(path) + " gives the heights the map has.";
  return s;
}
