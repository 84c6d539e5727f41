// The tile blocks (see tile_blocks.h) ready for threads that must not ask
// the library: as file bytes, and as numbered colours with every relief
// shading of each colour worked out in advance.
#pragma once

#include <cstdint>
#include <vector>

#include "render/export/bmp_rows.h"
#include "render/export/tile_blocks.h"

struct ShadedBlocks {
  // The blocks' four rows as the file stores them: 12 bytes each.
  unsigned char rows[TILE_BLOCK_TURNS][MAX_TEXTURES + 1][4 * 12];
  // The blocks' pixels as colour numbers, and for each number and shade
  // byte apply_shade(colour, shade) as a 32-bit pixel and as file bytes:
  // [number * 256 + shade].
  uint16_t colours[TILE_BLOCK_TURNS][MAX_TEXTURES + 1][16];
  std::vector<uint32_t> pixels;
  std::vector<uint32_t> bgr;
};

// What prepare_shaded_blocks made last; read-only while rows are made.
const ShadedBlocks &shaded_blocks();

// From the blocks prepare_tile_blocks made, on the main thread. The
// shading tables only when shading is set (a few milliseconds per hundred
// distinct colours).
void prepare_shaded_blocks(const PixelShifts &shifts, int shading);

inline int block_index(const Tile &tile) {
  return (tile.texture >= 0 && tile.texture < MAX_TEXTURES) ? tile.texture
                                                            : (int)TILE_BLOCK_OUTSIDE;
}
