// Tile and height editing of the cursor tile.
#pragma once

#include <cstdint>

struct ClipboardCell {
  int16_t texture;  // -1: no tile
  uint8_t rotation;
  uint8_t tag;
  uint8_t extra;
};

extern int tilemap_modified;
extern int heightmap_modified;
extern ClipboardCell tile_clipboard[3][3];  // [dy + 1][dx + 1]
extern int32_t height_clipboard[4][4];      // [j][i]; empty while [0][0] is -1

void clear_clipboards();
int height_clipboard_empty();

// The tile map's extent, kept within the grid's capacity.
int map_columns();
int map_rows();
int tile_on_map(int x, int y);

// Tile commands; a tile off the map is left alone.
void next_texture(int x, int y);
void previous_texture(int x, int y);
void rotate_tile(int x, int y);
void next_tag(int x, int y);
void copy_tile_block(int x, int y);
void paste_tile(int x, int y);
void paste_tile_block(int x, int y);

// Height commands: all 16 samples of the tile, or at zoom level 0 only the
// one selected by height_sample.
void raise_heights(int x, int y);
void lower_heights(int x, int y);
void rotate_tile_heights(int x, int y);
void copy_tile_heights(int x, int y);
void paste_tile_heights(int x, int y);
