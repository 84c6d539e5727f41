#include "render/export/briefing_picture.h"

#include <vector>

#include "core/relief_shading.h"
#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "render/export/export_passes.h"
#include "render/export/shade_cache.h"
#include "render/export/shaded_blocks.h"
#include "render/export/tile_blocks.h"

namespace {

// Tile columns per part of the parallel pass: the relief of their sample
// columns and the picture rows they write stay in the cache.
enum { PART_TILES = 32 };

// Samples per tile along each side, as the height map has them.
enum { SAMPLES = 4 };

}  // namespace

int briefing_pixels_per_tile(int tx, int ty) {
  for (int p : {4, 2, 1})
    if (3LL * p * tx * p * ty <= BRIEFING_PICTURE_BYTES) return p;
  return 1;
}

void make_briefing_picture(int p, uint32_t *pixels, long stride) {
  int tx, ty;
  export_extent(&tx, &ty);
  if (tx <= 0 || ty <= 0 || p <= 0) return;
  const int step = SAMPLES / p, first = step / 2;
  const int rows = p * ty;
  const PixelShifts shifts = current_pixel_shifts();
  prepare_relief();
  if (prepare_tile_blocks() != 0) {
    // Blocks that cannot stand for the sprites: each tile in its texture's
    // sample colour, shaded here, as the cache must not be shared.
    reset_shade_cache();
    std::vector<uint8_t> column((size_t)rows);
    for (int X = first; X < SAMPLES * tx; X += step) {
      relief_samples(X, first, step, rows, column.data());
      for (int y = 0; y < rows; y++) {
        const Tile &tile = tile_at(X / SAMPLES, y / p);
        const int colour = tile.texture >= 0 && tile.texture < MAX_TEXTURES
                               ? texture_table.textures[tile.texture].sample_color
                               : 0;
        const uint8_t shade = column[(size_t)y];
        pixels[y * stride + X / step] = pixel_to_bgr((uint32_t)cached_shade(colour, shade), shifts);
      }
    }
    return;
  }
  prepare_shaded_blocks(shifts, 1);
  const ShadedBlocks &blocks = shaded_blocks();
  const uint32_t *shaded = blocks.bgr.data();
  // Each part takes every parts-th strip, with buffers of its own.
  const int strips = (tx + PART_TILES - 1) / PART_TILES;
  const int parts = work_thread_count() < strips ? work_thread_count() : strips;
  run_parts(parts, [&](int part) {
    std::vector<uint8_t> relief((size_t)rows);
    std::vector<uint32_t> strip((size_t)p * PART_TILES * rows);
    for (int k = part; k < strips; k += parts) {
      const int x0 = k * PART_TILES, x1 = x0 + PART_TILES < tx ? x0 + PART_TILES : tx;
      const int columns = p * (x1 - x0);
      // The strip is made column by column, as the tiles and heights are
      // stored, then written out row by row.
      for (int c = 0; c < columns; c++) {
        const int X = SAMPLES * x0 + c * step + first;
        relief_samples(X, first, step, rows, relief.data());
        const Tile *tiles = tile_map.tiles[X / SAMPLES];
        uint32_t *out = strip.data() + (size_t)c * rows;
        for (int y = 0; y < rows; y++) {
          const int Y = y * step + first;
          const Tile &tile = tiles[Y / SAMPLES];
          const uint16_t colour =
              blocks.colours[rotation_turn[tile.rotation]][block_index(tile)][(Y % SAMPLES) * 4 + X % SAMPLES];
          out[y] = shaded[colour * 256 + relief[y]];
        }
      }
      for (int y = 0; y < rows; y++) {
        uint32_t *out = pixels + y * stride + p * x0;
        for (int c = 0; c < columns; c++) out[c] = strip[(size_t)c * rows + y];
      }
    }
  });
}
