#include "edit/land_edits.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/work_threads.h"
#include "edit/edit_history.h"
#include "edit/land_grid.h"

namespace {

// Column bands of a land edit: enough for every core, few enough that a
// small area is not cut into slivers.
enum { LAND_BANDS = 32 };

void note_missing(LandResult &r, LandCorners want) {
  r.missing++;
  for (int k = 0; k < r.missing_kinds; k++)
    if (r.first_missing[k].corners == want) {
      r.first_missing[k].tiles++;
      return;
    }
  if (r.missing_kinds < LAND_MISSING_KEPT) r.first_missing[r.missing_kinds++] = {want, 1};
}

// Retiles tile (x, y) for the grid's corners when all are known.
void retile(LandResult &r, int x, int y) {
  const LandCorners want = grid_corners(x, y);
  if (!corners_known(want)) return;
  Tile &tile = tile_map.tiles[x][y];
  const int16_t texture = tile.texture;
  const uint8_t rotation = tile.rotation;
  if (choose_land_tile(tile, x, y, want)) note_missing(r, want);
  r.tiles_changed += (tile.texture != texture) | (tile.rotation != rotation);
}

// Adds a band's tiles to r, its missing corners after r's, as one pass
// would have met them. (A band that met more kinds than it keeps counts the
// rest in r.missing only, as one pass does past the kept ones.)
void add_result(LandResult &r, const LandResult &band) {
  r.tiles_changed += band.tiles_changed;
  r.missing += band.missing;
  for (int k = 0; k < band.missing_kinds; k++) {
    const LandMissing &m = band.first_missing[k];
    int j = 0;
    while (j < r.missing_kinds && r.first_missing[j].corners != m.corners) j++;
    if (j < r.missing_kinds)
      r.first_missing[j].tiles += m.tiles;
    else if (r.missing_kinds < LAND_MISSING_KEPT)
      r.first_missing[r.missing_kinds++] = m;
  }
}

// Sets the points of the rectangle pl..pr x pt..pb (on the map's points)
// to want(x, y) (0: left as it is), then retiles each tile with a changed
// corner. Both passes run on every core in bands of columns; the bands'
// results are added in column order, as one pass would meet them. The
// history step is begun and ended by the caller.
template <class Want>
void set_points(LandResult &r, int pl, int pt, int pr, int pb, const Want &want) {
  const int columns = map_columns(), rows = map_rows();
  if (pr < pl || pb < pt) return;
  // A mark per point, a zero row above and below each column: every byte
  // is written by the bands, so the buffer needs no pass of zeros first.
  const size_t stride = (size_t)(pb - pt) + 3;
  std::unique_ptr<uint8_t[]> changed(new uint8_t[(size_t)(pr - pl + 1) * stride]);
  const std::vector<uint8_t> unchanged(stride, 0);
  const int bands = std::min((int)LAND_BANDS, pr - pl + 1);
  std::vector<LandResult> parts((size_t)bands);
  run_parts(bands, [&](int k) {
    const int x0 = pl + (int)((long long)(pr - pl + 1) * k / bands);
    const int x1 = pl + (int)((long long)(pr - pl + 1) * (k + 1) / bands);
    for (int x = x0; x < x1; x++) {
      uint8_t *column = land_grid[x], *marks = &changed[(size_t)(x - pl) * stride];
      marks[0] = marks[stride - 1] = 0;
      long long points = 0;
      for (int y = pt; y <= pb; y++) {
        const int land = want(x, y);
        const int differs = land && column[y] != land;
        marks[y - pt + 1] = (uint8_t)differs;
        if (differs) column[y] = (uint8_t)land;
        points += differs;
      }
      parts[(size_t)k].points_changed += points;
    }
  });
  // Point column x's marks, mark (x, y) at [y - pt + 1]; none off the rectangle.
  auto marks_of = [&](int x) { return x >= pl && x <= pr ? &changed[(size_t)(x - pl) * stride] : unchanged.data(); };
  const int t0 = std::max(pl - 1, 0), t1 = std::min(pr, columns - 1);
  const int y0 = std::max(pt - 1, 0), y1 = std::min(pb, rows - 1);
  std::vector<LandResult> tiles((size_t)bands);
  if (t1 >= t0)
    run_parts(bands, [&](int k) {
      const int x0 = t0 + (int)((long long)(t1 - t0 + 1) * k / bands);
      const int x1 = t0 + (int)((long long)(t1 - t0 + 1) * (k + 1) / bands);
      for (int tx = x0; tx < x1; tx++) {
        const uint8_t *west = marks_of(tx), *east = marks_of(tx + 1);
        // Tile ty's corners are the marks at j and j + 1, j = ty - pt + 1.
        for (int j = y0 - pt + 1; j <= y1 - pt + 1; j++)
          if (west[j] | west[j + 1] | east[j] | east[j + 1]) retile(tiles[(size_t)k], tx, j + pt - 1);
      }
    });
  for (const LandResult &part : parts) r.points_changed += part.points_changed;
  for (const LandResult &part : tiles) add_result(r, part);
}

// The points of rect's tiles, clipped to the map's points; false when none.
bool points_of(const TileRect &rect, TileRect &p) {
  TileRect r = rect;
  if (!clip_to_map(r)) return false;
  p = {r.left, r.top, r.right + 1, r.bottom + 1};
  return true;
}

struct LandStroke {
  int running = 0;
  int land = 0;
  LandResult result;
  TileRect bounds = {0, 0, -1, -1};
  // Each tile retiled, with its texture and rotation before the stroke,
  // and where it is in that list (one more, 0 for none) at
  // listed[x * MAX_TILES + y]: zeroed lazily by the system, so only the
  // pages under the stroke are ever touched, and no table is rebuilt as
  // it grows, in the middle of a frame.
  std::vector<std::pair<int64_t, std::pair<int16_t, uint8_t>>> tiles;
  std::unique_ptr<uint32_t, void (*)(void *)> listed{nullptr, free};
};
LandStroke stroke;

void paint_points(int x, int y, int size) {
  TileRect r = {x - (size - 1) / 2, y - (size - 1) / 2, x + size / 2, y + size / 2};
  TileRect p;
  if (!points_of(r, p)) return;
  const int w = p.width();
  std::vector<uint8_t> changed((size_t)w * p.height());
  bool any = false;
  for (int px = p.left; px <= p.right; px++)
    for (int py = p.top; py <= p.bottom; py++) {
      if (land_grid[px][py] == stroke.land) continue;
      history_land_touch(px, py);
      land_grid[px][py] = (uint8_t)stroke.land;
      changed[(size_t)(py - p.top) * w + (px - p.left)] = 1;
      stroke.result.points_changed++;
      any = true;
    }
  if (!any) return;
  auto point_changed = [&](int px, int py) {
    return px >= p.left && px <= p.right && py >= p.top && py <= p.bottom &&
           changed[(size_t)(py - p.top) * w + (px - p.left)];
  };
  TileRect t = {p.left - 1, p.top - 1, p.right, p.bottom};
  clip_to_map(t);
  for (int tx = t.left; tx <= t.right; tx++)
    for (int ty = t.top; ty <= t.bottom; ty++) {
      if (!point_changed(tx, ty) && !point_changed(tx + 1, ty) && !point_changed(tx + 1, ty + 1) &&
          !point_changed(tx, ty + 1))
        continue;
      if (!corners_known(grid_corners(tx, ty))) continue;
      Tile &tile = tile_map.tiles[tx][ty];
      const int64_t index = (int64_t)tx * MAX_TILES + ty;
      uint32_t &listed = stroke.listed.get()[index];
      if (!listed) {
        history_touch(tx, ty);
        stroke.tiles.push_back({index, {tile.texture, tile.rotation}});
        listed = (uint32_t)stroke.tiles.size();
      } else {
        // Chosen afresh from the tile as the stroke found it, so that one
        // showing the final corners is kept, as a fill keeps it.
        const auto &was = stroke.tiles[listed - 1].second;
        tile.texture = was.first;
        tile.rotation = was.second;
      }
      LandResult ignored;
      retile(ignored, tx, ty);
    }
  if (stroke.bounds.right < stroke.bounds.left) {
    stroke.bounds = t;
    return;
  }
  stroke.bounds = {std::min(stroke.bounds.left, t.left), std::min(stroke.bounds.top, t.top),
                   std::max(stroke.bounds.right, t.right), std::max(stroke.bounds.bottom, t.bottom)};
}

int usable_land(int land) { return lands_in_use() && land >= 1 && land < MAX_LANDS && lands.lands[land].name[0]; }

}  // namespace

LandResult land_fill(int land, const TileRect &rect) {
  LandResult r;
  TileRect p;
  if (!usable_land(land) || !points_of(rect, p)) return r;
  const int w = p.width() - 1, h = p.height() - 1;
  history_begin_area(HISTORY_AREA_LAND_FILL, p.left - 1, p.top - 1, p.right, p.bottom);
  history_land_rect(p.left, p.top, p.right, p.bottom);
  set_points(r, p.left, p.top, p.right, p.bottom, [land](int, int) { return land; });
  history_area_counted(r.tiles_changed, r.points_changed);
  r.stepped = history_end_area((long long)w * h, w, h, p.left, p.top, p.right - 1, p.bottom - 1);
  return r;
}

LandResult land_flood(int land, int x, int y, const TileRect *within) {
  LandResult r;
  TileRect b = {0, 0, map_columns(), map_rows()};
  if (!usable_land(land) || (within && !points_of(*within, b)) || map_columns() <= 0 || map_rows() <= 0) return r;
  if (x < b.left || x > b.right || y < b.top || y > b.bottom) return r;
  const uint8_t from = land_grid[x][y];
  if (from == land) return r;
  // The points' region, found as the tile flood finds its tiles.
  const FloodRegion f = flood_region(b, x, y, [&](int px, int py) { return land_grid[px][py] == from; });
  const TileRect &region = f.bounds;
  history_begin_area(HISTORY_AREA_LAND_FLOOD, region.left - 1, region.top - 1, region.right, region.bottom);
  history_land_rect(region.left, region.top, region.right, region.bottom);
  set_points(r, region.left, region.top, region.right, region.bottom,
             [&](int px, int py) { return f.has(px, py) ? land : 0; });
  history_area_counted(r.tiles_changed, r.points_changed);
  r.stepped = history_end_area(r.tiles_changed, region.width(), region.height(), region.left - 1, region.top - 1,
                               region.right, region.bottom);
  return r;
}

void land_stroke_begin(int land) {
  stroke = LandStroke();
  if (!usable_land(land)) return;
  stroke.listed.reset((uint32_t *)calloc((size_t)MAX_TILES * MAX_TILES, sizeof(uint32_t)));
  if (!stroke.listed) return;
  stroke.running = 1;
  stroke.land = land;
  history_begin_touches(HISTORY_AREA_LAND_STROKE);
}

void land_stroke_line(int x0, int y0, int x1, int y1, int size) {
  if (!stroke.running) return;
  size = std::clamp(size, 1, (int)MAX_TILES);
  // The tiles of the straight line, as the paint brush goes.
  each_line_tile(x0, y0, x1, y1, [size](int x, int y) { paint_points(x, y, size); });
}

LandResult land_stroke_end() {
  LandResult r;
  if (!stroke.running) return r;
  stroke.running = 0;
  r.points_changed = stroke.result.points_changed;
  // Missing transitions as the stroke left them: a tile retiled twice counts once.
  for (const auto &t : stroke.tiles) {
    const int x = (int)(t.first / MAX_TILES), y = (int)(t.first % MAX_TILES);
    const Tile &tile = tile_map.tiles[x][y];
    r.tiles_changed += tile.texture != t.second.first || tile.rotation != t.second.second;
    const LandCorners want = grid_corners(x, y);
    if (tile_said_corners(tile) != want || lands.weight[tile.texture] == 0) note_missing(r, want);
  }
  const TileRect &b = stroke.bounds;
  r.stepped = history_end_area(r.tiles_changed, b.width(), b.height(), b.left, b.top, b.right, b.bottom);
  stroke = LandStroke();
  return r;
}

LandResult land_set_all_points(const uint8_t *points) {
  LandResult r;
  const int columns = map_columns(), rows = map_rows();
  if (!lands_in_use() || columns <= 0 || rows <= 0) return r;
  const size_t stride = (size_t)rows + 1;
  set_points(r, 0, 0, columns, rows, [&](int x, int y) { return points[(size_t)x * stride + y]; });
  return r;
}

LandResult land_set_points_step(int action, const uint8_t *points) {
  LandResult r;
  const int columns = map_columns(), rows = map_rows();
  if (!lands_in_use() || columns <= 0 || rows <= 0) return r;
  const size_t stride = (size_t)rows + 1;
  // The step copies only the rectangle of the points that change.
  TileRect b = {columns + 1, rows + 1, -1, -1};
  for (int x = 0; x <= columns; x++)
    for (int y = 0; y <= rows; y++) {
      const uint8_t land = points[(size_t)x * stride + y];
      if (!land || land == land_grid[x][y]) continue;
      b = {std::min(b.left, x), std::min(b.top, y), std::max(b.right, x), std::max(b.bottom, y)};
    }
  if (b.right < b.left) return r;
  history_begin_area(action, b.left - 1, b.top - 1, b.right, b.bottom);
  history_land_rect(b.left, b.top, b.right, b.bottom);
  set_points(r, b.left, b.top, b.right, b.bottom, [&](int x, int y) { return points[(size_t)x * stride + y]; });
  history_area_counted(r.tiles_changed, r.points_changed);
  r.stepped = history_end_area(r.points_changed, b.width(), b.height(), b.left - 1, b.top - 1, b.right, b.bottom);
  return r;
}

std::string land_result_text(const LandResult &r) {
  std::string text = std::to_string(r.tiles_changed) + (r.tiles_changed == 1 ? " tile" : " tiles");
  if (r.missing > 0)
    text += "; " + std::to_string(r.missing) + " without a transition: " + land_corner_names(r.first_missing[0].corners);
  return text;
}
