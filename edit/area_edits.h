// Commands on many tiles at once, each one step of the history: a rule on
// every tile of a rectangle, stamps, fills, flood fills and brush strokes.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include "core/tile_rect.h"
#include "edit/tile_stamp.h"

enum AreaRule {
  AREA_RAISE_TEXTURE,  // Page Up on each tile
  AREA_LOWER_TEXTURE,  // Page Down
  AREA_TURN,           // R
  AREA_NEXT_TAG,       // T
  AREA_PASTE_CENTRE,   // V: the clipboard's centre cell
};

// The rule on every tile of rect (on the map).
void area_apply(int rule, const TileRect &rect, const TileStamp &stamp);

// Every cell of the stamp, cell (0, 0) on tile (x0, y0); cells off the map
// are skipped.
void area_stamp(const TileStamp &stamp, int x0, int y0);

// rect filled with the stamp repeated from its top-left tile.
void area_fill(const TileStamp &stamp, const TileRect &rect);

// The 4-connected tiles of the texture of tile (x, y), within *within when
// given, get the cell. Returns the tiles filled (0: none, the tile lying
// outside).
long long area_flood(const StampCell &cell, int x, int y, const TileRect *within);

// A brush stroke: begin, then squares of size x size tiles (tiles x - (size
// - 1) / 2 .. x + size / 2, likewise y) along each straight line, then end.
// Each tile under it changes once: it gets the cell, or its heights are
// raised or lowered by the height step.
enum BrushKind { BRUSH_TILES, BRUSH_RAISE_HEIGHTS, BRUSH_LOWER_HEIGHTS };

// The 4-connected cells from (x, y), within b, for which same(x, y) holds,
// found by spans down the columns (each span seeds the runs beside it).
struct FloodRegion {
  TileRect b, bounds;        // the search's limits; the region's bounds
  long long rows = 0, cells = 0;
  std::vector<uint64_t> marks;  // a bit per cell of b, column by column
  bool has(int x, int y) const {
    const long long bit = (long long)(x - b.left) * rows + (y - b.top);
    return marks[(size_t)bit / 64] >> (bit % 64) & 1;
  }
};
template <class Same>
FloodRegion flood_region(const TileRect &b, int x, int y, const Same &same) {
  FloodRegion f{b, {x, y, x, y}, b.height(), 0, {}};
  f.marks.assign((size_t)((long long)b.width() * f.rows + 63) / 64, 0);
  auto fits = [&](int cx, int cy) { return same(cx, cy) && !f.has(cx, cy); };
  std::vector<std::pair<int, int>> seeds = {{x, y}};
  while (!seeds.empty()) {
    const auto [sx, sy] = seeds.back();
    seeds.pop_back();
    if (!fits(sx, sy)) continue;
    int y0 = sy, y1 = sy;
    while (y0 > b.top && fits(sx, y0 - 1)) y0--;
    while (y1 < b.bottom && fits(sx, y1 + 1)) y1++;
    for (int cy = y0; cy <= y1; cy++) {
      const long long bit = (long long)(sx - b.left) * f.rows + (cy - b.top);
      f.marks[(size_t)bit / 64] |= 1ULL << (bit % 64);
    }
    f.cells += y1 - y0 + 1;
    f.bounds = {std::min(f.bounds.left, sx), std::min(f.bounds.top, y0), std::max(f.bounds.right, sx),
                std::max(f.bounds.bottom, y1)};
    for (int nx : {sx - 1, sx + 1}) {
      if (nx < b.left || nx > b.right) continue;
      for (int cy = y0; cy <= y1; cy++)
        if (fits(nx, cy) && (cy == y0 || !fits(nx, cy - 1))) seeds.push_back({nx, cy});
    }
  }
  return f;
}

// Every tile of the straight line from (x0, y0) to (x1, y1), both ends
// included, so that a fast stroke leaves no gap.
template <class Visit>
void each_line_tile(int x0, int y0, int x1, int y1, const Visit &visit) {
  const int dx = x1 > x0 ? x1 - x0 : x0 - x1, dy = -(y1 > y0 ? y1 - y0 : y0 - y1);
  const int step_x = x0 < x1 ? 1 : -1, step_y = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  for (;;) {
    visit(x0, y0);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * error;
    if (e2 >= dy) error += dy, x0 += step_x;
    if (e2 <= dx) error += dx, y0 += step_y;
  }
}
void stroke_begin(int kind, const StampCell &cell);
void stroke_line(int x0, int y0, int x1, int y1, int size);
void stroke_end();
