#include "edit/area_edits.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "edit/edit_history.h"
#include "edit/height_edits.h"

namespace {

const int AREA_ACTIONS[] = {HISTORY_AREA_TEXTURE, HISTORY_AREA_TEXTURE, HISTORY_AREA_ROTATION, HISTORY_AREA_TAG,
                            HISTORY_AREA_PASTE};

template <class Change>
void each_tile(const TileRect &r, const Change &change) {
  for (int x = r.left; x <= r.right; x++) {
    Tile *column = tile_map.tiles[x];
    for (int y = r.top; y <= r.bottom; y++) change(x, y, column[y]);
  }
}

void end_rect(long long covered, int w, int h, const TileRect &r) {
  history_end_area(covered, w, h, r.left, r.top, r.right, r.bottom);
}

struct Stroke {
  int running = 0;
  int kind = BRUSH_TILES;
  StampCell cell;
  long long painted = 0;
  TileRect bounds = {0, 0, -1, -1};
};
Stroke stroke;

void paint_square(int x, int y, int size) {
  TileRect r = {x - (size - 1) / 2, y - (size - 1) / 2, x + size / 2, y + size / 2};
  if (!clip_to_map(r)) return;
  each_tile(r, [&](int tx, int ty, Tile &tile) {
    if (!history_touch(tx, ty)) return;
    stroke.painted++;
    if (stroke.kind == BRUSH_TILES) {
      paste_cell(stroke.cell, tile);
      return;
    }
    for (int i = 0; i < 4; i++) {
      uint16_t *column = height_map.heights[4 * tx + i] + 4 * ty;
      for (int j = 0; j < 4; j++)
        column[j] = stroke.kind == BRUSH_RAISE_HEIGHTS ? raised_height(column[j]) : lowered_height(column[j]);
    }
  });
  if (stroke.bounds.right < stroke.bounds.left) {
    stroke.bounds = r;
    return;
  }
  stroke.bounds = {std::min(stroke.bounds.left, r.left), std::min(stroke.bounds.top, r.top),
                   std::max(stroke.bounds.right, r.right), std::max(stroke.bounds.bottom, r.bottom)};
}

}  // namespace

void area_apply(int rule, const TileRect &rect, const TileStamp &stamp) {
  if (rule < AREA_RAISE_TEXTURE || rule > AREA_PASTE_CENTRE) return;
  TileRect r = rect;
  if (!clip_to_map(r)) return;
  history_begin_area(AREA_ACTIONS[rule], r.left, r.top, r.right, r.bottom);
  const StampCell centre = stamp.centre();
  each_tile(r, [&](int, int, Tile &tile) {
    switch (rule) {
      case AREA_RAISE_TEXTURE: raise_texture(tile); break;
      case AREA_LOWER_TEXTURE: lower_texture(tile); break;
      case AREA_TURN: turn_tile(tile); break;
      case AREA_NEXT_TAG: next_tile_tag(tile); break;
      default: paste_cell(centre, tile); break;
    }
  });
  end_rect((long long)r.width() * r.height(), r.width(), r.height(), r);
}

void area_stamp(const TileStamp &stamp, int x0, int y0) {
  TileRect r = {x0, y0, x0 + stamp.w - 1, y0 + stamp.h - 1};
  const TileRect placed = r;
  if (!clip_to_map(r)) r = {x0, y0, x0 - 1, y0 - 1};
  history_begin_area(HISTORY_AREA_STAMP, r.left, r.top, r.right, r.bottom);
  if (r.left <= r.right) each_tile(r, [&](int x, int y, Tile &tile) { paste_cell(stamp.at(x - x0, y - y0), tile); });
  end_rect((long long)stamp.w * stamp.h, stamp.w, stamp.h, r.left <= r.right ? r : placed);
}

void area_fill(const TileStamp &stamp, const TileRect &rect) {
  TileRect r = rect;
  if (!clip_to_map(r)) return;
  history_begin_area(HISTORY_AREA_FILL, r.left, r.top, r.right, r.bottom);
  // Column by column: the stamp's column for x, its rows repeating down.
  for (int x = r.left; x <= r.right; x++) {
    const int i = (x - rect.left) % stamp.w;
    Tile *column = tile_map.tiles[x];
    int j = (r.top - rect.top) % stamp.h;
    for (int y = r.top; y <= r.bottom; y++) {
      paste_cell(stamp.at(i, j), column[y]);
      if (++j == stamp.h) j = 0;
    }
  }
  end_rect((long long)r.width() * r.height(), r.width(), r.height(), r);
}

long long area_flood(const StampCell &cell, int x, int y, const TileRect *within) {
  TileRect b = within ? *within : TileRect{0, 0, map_columns() - 1, map_rows() - 1};
  if (!clip_to_map(b) || x < b.left || x > b.right || y < b.top || y > b.bottom) return 0;
  const int16_t texture = tile_at(x, y).texture;
  const FloodRegion f = flood_region(b, x, y, [&](int tx, int ty) { return tile_map.tiles[tx][ty].texture == texture; });
  const TileRect &region = f.bounds;
  const long long filled = f.cells;
  history_begin_area(HISTORY_AREA_FLOOD, region.left, region.top, region.right, region.bottom);
  for (int tx = region.left; tx <= region.right; tx++) {
    Tile *column = tile_map.tiles[tx];
    for (int ty = region.top; ty <= region.bottom; ty++)
      if (f.has(tx, ty)) paste_cell(cell, column[ty]);
  }
  end_rect(filled, region.width(), region.height(), region);
  return filled;
}

void stroke_begin(int kind, const StampCell &cell) {
  stroke = Stroke();
  stroke.running = 1;
  stroke.kind = kind;
  stroke.cell = cell;
  history_begin_touches(kind == BRUSH_TILES ? HISTORY_AREA_STROKE : HISTORY_AREA_HEIGHT_STROKE);
}

void stroke_line(int x0, int y0, int x1, int y1, int size) {
  if (!stroke.running) return;
  size = std::clamp(size, 1, (int)MAX_TILES);
  each_line_tile(x0, y0, x1, y1, [size](int x, int y) { paint_square(x, y, size); });
}

void stroke_end() {
  if (!stroke.running) return;
  stroke.running = 0;
  const TileRect &r = stroke.bounds;
  history_end_area(stroke.painted, r.width(), r.height(), r.left, r.top, r.right, r.bottom);
}
