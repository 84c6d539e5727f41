// The map view: tiles, target overlay, cursor marks and the blanking of what
// lies off the map. The status strip is drawn by its caller afterwards.
#pragma once

#include <allegro.h>

#include "edit/area_edits.h"

enum EditMode { EDIT_TILES = 1, EDIT_HEIGHTS = 2 };

enum {
  ZOOM_LEVELS = 9,
  ZOOM_FARTHEST = 8,
  BRUSH_SIZE_MAX = 64,
  BRUSH_PAINT_MIN_SCALE = 16,  // pixels a tile edge from which the brush shows its paint
};

// What the view shows and where.
struct ViewState {
  int zoom_level = ZOOM_FARTHEST;  // 0..8, map scale 2^(8 - zoom_level) pixels per tile
  int edit_mode = EDIT_TILES;      // EDIT_TILES or EDIT_HEIGHTS
  int overlay_mode = 0;            // 0..4: what the target overlay labels
  int height_sample = 0;           // 0..15, row by row from the tile's north-west corner
  int cursor_x = 0;                // cursor tile, drawn at the centre of the view
  int cursor_y = 0;
  int selected = 0;                // 1 while there is a selection
  TileRect selection = {0, 0, -1, -1};  // the selected tiles, on the map
  int paint_mode = 0;              // P: the left button paints
  int brush_size = 1;              // 1..BRUSH_SIZE_MAX tiles a side
  int overview = 0;                // O: the whole terrain instead of the map
};

// Paints the view into bmp above the status strip; the target overlay only
// when show_targets is set.
void draw_map_view(BITMAP *bmp, const ViewState &view, int show_targets);

// Paint mode's brush square, view.brush_size tiles a side, as a dab on tile
// (tile_x, tile_y) paints it: outlined (white, black outside) at every zoom
// level and, where a tile is BRUSH_PAINT_MIN_SCALE pixels or more on a
// 32-bit memory bitmap, the paint faintly over the map's tiles under it
// (none for a cell without a texture). Drawn after draw_map_view; only the
// window shows it.
void draw_brush_outline(BITMAP *bmp, const ViewState &view, int tile_x, int tile_y, const StampCell &paint);
