// The layers of the map view, painted in order by draw_map_view: tiles
// (textures or height colours), then the target overlay and height numbers.
#pragma once

#include <allegro.h>

// Where the view stands for one redraw. Cell (i, j) shows tile (X0 + i, Y0 + j)
// with its top-left pixel at (i * S, j * S).
struct MapGeometry {
  BITMAP *bmp;
  int zoom;    // 0..8
  int shift;   // 8 - zoom: S = 1 << shift
  int S;       // pixels per tile edge
  int W;       // bitmap width
  int nx, ny;  // whole tile columns and rows in the view
  int cells_x, cells_y;  // columns and rows of cells drawn: the whole ones and those the edges cut
  int X0, Y0;  // tile shown in the top-left cell
  // The on-map cells, the cut ones too: i0 <= i < i1, j0 <= j < j1 (empty
  // when i0 >= i1 or j0 >= j1).
  int i0, i1, j0, j1;
  int overlay_mode;   // what the target overlay labels, 0..4
  int height_sample;  // the picked sample of the cursor tile, 0..15
  // Target mode: its selection drawn highlighted, targets on water ringed red.
  int target_mode = 0, target_area = 0, target = 0;
  // Which areas the target overlay draws: while one is dragged, the others
  // are drawn once with the map and the dragged one on each frame.
  int overlay_part = 0;  // OverlayPart
};
enum OverlayPart { OVERLAY_ALL, OVERLAY_ALL_BUT_SELECTED, OVERLAY_SELECTED };

struct ViewState;

// The view's geometry in bmp, the map centred on the cursor tile.
MapGeometry view_geometry(BITMAP *bmp, const ViewState &view);

// Textures (zoom levels 0..7: the level bitmap turned by the tile's rotation;
// 8: one pixel of the entry's sample colour).
void draw_texture_layer(const MapGeometry &g);

// Height colours, one palette look-up of the raw sample per pixel.
void draw_height_layer(const MapGeometry &g);

// Land mode's points, tints and red marks (land_overlay.cpp); nothing
// without lands.
void draw_land_overlay(const MapGeometry &g);

// Whether the land layer writes every on-map tile's pixel itself, the
// texture layer's colour tinted (a pixel a tile), so that the texture
// layer need not be drawn under it.
int land_layer_draws_tiles(const MapGeometry &g);

// Target areas with their targets, runway symbols, labels, crosses and marks.
void draw_target_overlay(const MapGeometry &g);

// The sixteen sample values of every on-map tile (zoom level 0 only).
void draw_height_numbers(const MapGeometry &g, int cursor_x, int cursor_y);
