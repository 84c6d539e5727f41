// Tile and height editing of the cursor tile.
#pragma once

#include <cstdint>

#include "edit/clipboards.h"
#include "program/session.h"

// Tile commands; a tile off the map is left alone.
void next_texture(int x, int y);
void previous_texture(int x, int y);
void rotate_tile(int x, int y);
void next_tag(int x, int y);
void copy_tile_block(int x, int y);
void paste_tile(int x, int y);
void paste_tile_block(int x, int y);

// Height commands: all 16 samples of the tile, or only the sample picked
// (0..15, row by row from the north-west corner) when picked is not -1.
void raise_heights(int x, int y, int picked);
void lower_heights(int x, int y, int picked);
void rotate_tile_heights(int x, int y);
void copy_tile_heights(int x, int y);
void paste_tile_heights(int x, int y);
