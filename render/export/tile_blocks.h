// The 4 x 4 pixels each tile leaves in an export at 4 pixels per tile: the
// library's rotate_sprite of the texture's 4 x 4 level, made once per
// texture and turn, so that the export copies them instead of drawing
// millions of sprites.
#pragma once

#include <allegro.h>
#include <cstdint>

#include "core/terrain_model.h"

enum {
  TILE_BLOCK_TURNS = 8,              // distinct pixel mappings among the 256 rotation values
  TILE_BLOCK_OUTSIDE = MAX_TEXTURES, // block for a texture number outside the table: black
  TILE_LEVEL = 6,                    // the 4 x 4 level
};

// [turn][texture][row * 4 + column], 32-bit pixels. Pixels the sprite leaves
// untouched (mask colour) are 0, as in a working bitmap cleared to 0.
extern uint32_t tile_blocks[TILE_BLOCK_TURNS][MAX_TEXTURES + 1][16];
// The block turn used for each rotation value.
extern uint8_t rotation_turn[256];

// Fills the blocks for the current textures. 0 when every rotation keeps the
// sprite inside its own 4 x 4 cell (then tiles never overlap and copying a
// block equals drawing the sprite on a cleared bitmap); 1 when the blocks
// cannot stand for the sprite and tiles must be drawn one by one.
int prepare_tile_blocks();

// The level a tile is drawn with, or NULL when its texture has none usable
// (texture 0, a number above texture_count, a missing or odd-sized level).
BITMAP *tile_level(int texture);

inline const uint32_t *tile_block(const Tile &tile) {
  const int index = (tile.texture >= 0 && tile.texture < MAX_TEXTURES) ? tile.texture
                                                                       : (int)TILE_BLOCK_OUTSIDE;
  return tile_blocks[rotation_turn[tile.rotation]][index];
}

// Draws tile (x, y) with its top-left corner at (4x, 4y): rotate_sprite of
// its level, or a 4 x 4 square of the entry's sample colour without one.
void draw_tile_sprite(BITMAP *bmp, int x, int y);
