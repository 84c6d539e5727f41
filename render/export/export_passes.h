// The pixel passes of the whole-terrain exports. Each writes every pixel of
// a working bitmap made for the current terrain: tiles_x x tiles_y pixels
// for the data and water maps, four times that for the others (one pixel
// per height sample). 32-bit bitmaps except the 8-bit water map.
#pragma once

#include <allegro.h>

// The tile extent the exports work on: the map's.
void export_extent(int *tiles_x, int *tiles_y);

// Data map: red the texture number, green 64 per quarter turn, blue 64 per
// tag, each saturating at 255.
void draw_data_pass(BITMAP *work);

// Water map, 8-bit: 1 where the tile's texture has water value 2, else 0.
void draw_water_pass(BITMAP *work);

// Grey heights scaled to max_height, pure blue where the scaled value is 0
// (everywhere when max_height is 0).
void draw_height_pass(BITMAP *work);

// Texture picture at 4 pixels per tile, each pixel shaded by its shade_map
// value when shaded is set. Uses the tile blocks when blocks_ready (see
// prepare_tile_blocks), else draws every sprite on the cleared bitmap.
void draw_texture_pass(BITMAP *work, int shaded, int blocks_ready);
