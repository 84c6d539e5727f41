#include "edit/sea_level.h"

#include <algorithm>

#include "core/work_threads.h"
#include "edit/edit_history.h"
#include "edit/land_grid.h"

namespace {

// Column bands of the point pass: enough for every core.
enum { SEA_BANDS = 32 };

// The highest of the samples around point (x, y) that lie on the map.
int highest_around(int x, int y, int sample_columns, int sample_rows) {
  int high = 0;
  for (int sx = 4 * x - 1; sx <= 4 * x; sx++)
    for (int sy = 4 * y - 1; sy <= 4 * y; sy++)
      if (sx >= 0 && sy >= 0 && sx < sample_columns && sy < sample_rows)
        high = std::max(high, (int)height_map.heights[sx][sy]);
  return high;
}

// The land most of the given lands have, a tie to the lower; 0 for none.
int most_common(const uint8_t *said, int n) {
  int best = 0, best_count = 0;
  for (int i = 0; i < n; i++) {
    int count = 0;
    for (int j = 0; j < n; j++) count += said[j] == said[i];
    if (count > best_count || (count == best_count && said[i] < best)) best = said[i], best_count = count;
  }
  return best;
}

}  // namespace

int highest_sample_around(int x, int y) { return highest_around(x, y, 4 * map_columns(), 4 * map_rows()); }

SeaPoints sea_points_from_heights(const SeaRule &rule) {
  SeaPoints out;
  const int columns = map_columns(), rows = map_rows();
  if (columns <= 0 || rows <= 0) return out;
  const size_t stride = (size_t)rows + 1, count = (size_t)(columns + 1) * stride;
  const uint8_t sea = (uint8_t)rule.sea;
  out.points.assign(count, 0);
  // The land each point ends with (0: none, or not decided yet) and the
  // points of the sea's land that leave it.
  std::vector<uint8_t> land(count);
  std::vector<uint32_t> leaving;
  std::vector<std::vector<uint32_t>> band_leaving(SEA_BANDS);
  std::vector<long long> band_sea(SEA_BANDS, 0);
  run_parts(SEA_BANDS, [&](int k) {
    const int x0 = (int)((long long)(columns + 1) * k / SEA_BANDS), x1 = (int)((long long)(columns + 1) * (k + 1) / SEA_BANDS);
    for (int x = x0; x < x1; x++)
      for (int y = 0; y <= rows; y++) {
        const size_t p = (size_t)x * stride + y;
        if (highest_around(x, y, 4 * columns, 4 * rows) <= rule.level) {
          land[p] = out.points[p] = sea;
          band_sea[(size_t)k]++;
        } else if (land_grid[x][y] == sea) {
          band_leaving[(size_t)k].push_back((uint32_t)p);
        } else {
          land[p] = land_grid[x][y];
        }
      }
  });
  for (int k = 0; k < SEA_BANDS; k++) {
    out.sea_points += band_sea[(size_t)k];
    leaving.insert(leaving.end(), band_leaving[(size_t)k].begin(), band_leaving[(size_t)k].end());
  }
  if (rule.shore) {
    for (uint32_t p : leaving) out.points[p] = (uint8_t)rule.shore;
    return out;
  }
  // Ring by ring: each round decides the points next to a point decided
  // before it, from those alone, so the order within a round cannot matter.
  std::vector<uint8_t> queued(count, 0);
  auto speaks = [&](size_t p) { return land[p] != 0 && land[p] != sea; };
  auto each_neighbour = [&](size_t p, auto &&visit) {
    const int x = (int)(p / stride), y = (int)(p % stride);
    for (int dx = -1; dx <= 1; dx++)
      for (int dy = -1; dy <= 1; dy++)
        if ((dx || dy) && x + dx >= 0 && x + dx <= columns && y + dy >= 0 && y + dy <= rows)
          visit((size_t)(x + dx) * stride + (size_t)(y + dy));
  };
  std::vector<uint32_t> ring;
  for (uint32_t p : leaving) queued[p] = 1;
  for (uint32_t p : leaving) {
    bool next_to_land = false;
    each_neighbour(p, [&](size_t q) { next_to_land |= speaks(q); });
    if (next_to_land) ring.push_back(p), queued[p] = 2;
  }
  std::vector<uint8_t> chosen;
  long long decided = 0;
  while (!ring.empty()) {
    chosen.assign(ring.size(), 0);
    for (size_t i = 0; i < ring.size(); i++) {
      uint8_t said[8];
      int n = 0;
      each_neighbour(ring[i], [&](size_t q) {
        if (speaks(q)) said[n++] = land[q];
      });
      chosen[i] = (uint8_t)most_common(said, n);
    }
    std::vector<uint32_t> next;
    for (size_t i = 0; i < ring.size(); i++) land[ring[i]] = out.points[ring[i]] = chosen[i];
    decided += (long long)ring.size();
    for (uint32_t p : ring)
      each_neighbour(p, [&](size_t q) {
        if (queued[q] == 1) next.push_back((uint32_t)q), queued[q] = 2;
      });
    ring.swap(next);
  }
  out.stranded = (long long)leaving.size() - decided;
  return out;
}

LandResult lands_from_heights(const SeaPoints &sea, int stepped) {
  if (sea.points.empty()) return LandResult();
  return stepped ? land_set_points_step(HISTORY_AREA_LANDS_FROM_HEIGHTS, sea.points.data())
                 : land_set_all_points(sea.points.data());
}

SeaBedResult heights_from_lands(int sea, int depth, int stepped) {
  SeaBedResult r;
  const int columns = map_columns(), rows = map_rows();
  const LandCorners all_sea = land_corners(sea, sea, sea, sea);
  const uint16_t d = (uint16_t)std::clamp(depth, 0, (int)MAX_HEIGHT);
  // The tiles to change, and their rectangle for the history's copy.
  TileRect b = {columns, rows, -1, -1};
  for (int x = 0; x < columns; x++)
    for (int y = 0; y < rows; y++) {
      if (grid_corners(x, y) != all_sea) continue;
      r.sea_tiles++;
      bool differs = false;
      for (int i = 0; i < 16 && !differs; i++) differs = height_map.heights[4 * x + i / 4][4 * y + i % 4] != d;
      if (differs) b = {std::min(b.left, x), std::min(b.top, y), std::max(b.right, x), std::max(b.bottom, y)};
    }
  if (b.right < b.left) return r;
  if (stepped) history_begin_area(HISTORY_AREA_HEIGHTS_FROM_LANDS, b.left, b.top, b.right, b.bottom);
  for (int x = b.left; x <= b.right; x++)
    for (int y = b.top; y <= b.bottom; y++) {
      if (grid_corners(x, y) != all_sea) continue;
      long long changed = 0;
      for (int i = 0; i < 4; i++) {
        uint16_t *column = &height_map.heights[4 * x + i][4 * y];
        for (int j = 0; j < 4; j++) changed += column[j] != d, column[j] = d;
      }
      r.samples += changed;
      r.tiles += changed > 0;
    }
  if (stepped) r.stepped = history_end_area(r.tiles, b.width(), b.height(), b.left, b.top, b.right, b.bottom);
  return r;
}
