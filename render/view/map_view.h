// The map view: tiles, target overlay, cursor marks and the blanking of what
// lies off the map. The status strip is drawn by its caller afterwards.
#pragma once

#include <allegro.h>

#include "core/tile_rect.h"
#include "edit/tile_stamp.h"

enum EditMode { EDIT_TILES = 1, EDIT_HEIGHTS = 2 };

// What the left button does on the map: one field, so that the modes that
// give it another use exclude each other.
enum LeftButton {
  LEFT_BUTTON_PAN,    // drag the map, click the cursor, Ctrl + click flood-fills tiles
  LEFT_BUTTON_PAINT,  // P: paint the copy (or raise heights)
  LEFT_BUTTON_LANDS,  // N: paint lands (on tiles; on heights it pans)
  LEFT_BUTTON_TARGETS,  // E: select, drag and turn target areas and targets
  LEFT_BUTTON_SCULPT,   // K: sculpt the heights with a round brush (in height display; on tiles it pans)
};

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
  int left_button = LEFT_BUTTON_PAN;  // LeftButton
  int brush_size = 1;              // 1..BRUSH_SIZE_MAX tiles a side, for paint and lands
  int land = 0;                    // the land that land mode paints; 0: the first declared
  int overview = 0;                // O: the whole terrain instead of the map
  int air_view = 0;                // F3: the view from the air instead of the map
  // Target mode's selection: an area (target 0) or one of its targets; area 0 for none.
  int target_area = 0;
  int target = 0;
  // While marks are dragged the map under them does not change: its layers
  // as first drawn are put back on each frame rather than drawn again.
  int map_layers_kept = 0;
};

// Paints the view into bmp above the status strip, to the area's edges
// (the cells the right and bottom edges cut are drawn in part); the target
// overlay only when show_targets is set.
void draw_map_view(BITMAP *bmp, const ViewState &view, int show_targets);

// What one pixel of the map view shows, for a map area of width x height
// pixels. The one place that says it: the drawing, the readout, clicks,
// drags, the wheel and the overview's outline all ask it. The cursor tile's
// top-left corner lies at S * floor(floor(width / S) / 2), S * floor(floor(height
// / S) / 2) for S pixels a tile edge; every other tile lies by it.
struct MapPixel {
  long long tile_x, tile_y;  // the tile drawn there, rows from the north edge as the model counts; may be off the map
  long long east, north;     // metres from the terrain's south-west corner to the pixel's west and north edges
  long long sample_x, sample_y;  // the height sample whose colour is drawn there (4 a tile edge, rows from the north)
  int on_map;                // the pixel is in the area and shows a tile of the terrain
};
MapPixel map_pixel(const ViewState &view, int width, int height, long long px, long long py);

// The start of Start_Zoom=fit: view at the closest zoom level at which every
// tile of the terrain lies whole in a map area of width x height, the
// cursor moved the least from where view has it to make them so (a terrain
// as large as a level's whole cells opens at that level); the farthest
// level, the cursor kept, when none does. Returns the level.
int fit_view(ViewState *view, int width, int height);

inline int painting(const ViewState &v) { return v.left_button == LEFT_BUTTON_PAINT; }
inline int editing_targets(const ViewState &v) { return v.left_button == LEFT_BUTTON_TARGETS; }

// The nearest area mark or target mark within 8 pixels of pixel (px, py)
// of the map view, targets before areas when both are as near: 1 with
// *area and *target (0 for the area itself), 0 for none.
int pick_target_mark(const ViewState &view, int px, int py, int *area, int *target);

// Where pixel (px, py) of the map view lies, in metres east and north of
// the terrain's south-west corner.
void pixel_metres(const ViewState &view, int px, int py, double *east, double *north);
// Land mode where it acts: on the tiles (texture display).
inline int painting_lands(const ViewState &v) {
  return v.left_button == LEFT_BUTTON_LANDS && v.edit_mode == EDIT_TILES;
}
// Sculpt mode where it acts: on the heights (height display).
inline int sculpting(const ViewState &v) { return v.left_button == LEFT_BUTTON_SCULPT && v.edit_mode == EDIT_HEIGHTS; }
// The left button paints with the brush: the brush square shows, [ and ] size it.
inline int brush_in_use(const ViewState &v) { return painting(v) || painting_lands(v); }

// The land land mode paints: view.land when it is declared, else the
// lowest-numbered land; 0 without lands.
int current_land(const ViewState &view);

// Paint mode's brush square, view.brush_size tiles a side, as a dab on tile
// (tile_x, tile_y) paints it: outlined (white, black outside) at every zoom
// level and, where a tile is BRUSH_PAINT_MIN_SCALE pixels or more on a
// 32-bit memory bitmap, the paint faintly over the map's tiles under it
// (none for a cell without a texture). Drawn after draw_map_view; only the
// window shows it.
void draw_brush_outline(BITMAP *bmp, const ViewState &view, int tile_x, int tile_y, const StampCell &paint);
