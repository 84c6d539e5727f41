// Commands on many tiles at once, each one step of the history: a rule on
// every tile of a rectangle, stamps, fills, flood fills and brush strokes.
#pragma once

#include "edit/tile_stamp.h"

// Inclusive corners.
struct TileRect {
  int left, top, right, bottom;
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};

// rect cut to the map; false when nothing of it is left.
bool clip_to_map(TileRect &rect);

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
void stroke_begin(int kind, const StampCell &cell);
void stroke_line(int x0, int y0, int x1, int y1, int size);
void stroke_end();
