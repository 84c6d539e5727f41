#include "render/export/briefing_picture.h"

#include <vector>

#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "files/height_map_file.h"
#include "render/export/export_passes.h"
#include "render/export/shade_cache.h"
#include "render/export/shaded_blocks.h"
#include "render/export/tile_blocks.h"

namespace {

// Tile columns per part of the parallel pass: the picture rows they write
// stay in the cache.
enum { PART_TILES = 32 };

// Samples per tile along each side, as the height map has them.
enum { SAMPLES = 4 };

// Every step-th sample from first on, both ways, for the current terrain.
void relief_samples_of(int *step, int *first) {
  int tx, ty;
  export_extent(&tx, &ty);
  *step = SAMPLES / briefing_pixels_per_tile(tx, ty);
  *first = *step / 2;
}

}  // namespace

int briefing_pixels_per_tile(int tx, int ty) {
  for (int p : {4, 2, 1})
    if (3LL * p * tx * p * ty <= BRIEFING_PICTURE_BYTES) return p;
  return 1;
}

int briefing_relief_from_heights(ReliefGrid *relief) {
  int step, first;
  relief_samples_of(&step, &first);
  return relief_grid_from_heights(step, first, relief) == 0 ? RESULT_OK : RESULT_NO_MEMORY;
}

int read_briefing_relief(const char *hfd_path, ReliefGrid *relief) {
  int step, first;
  relief_samples_of(&step, &first);
  return read_height_relief(hfd_path, step, first, relief);
}

void make_briefing_picture(const ReliefGrid &relief, uint32_t *pixels, long stride) {
  int tx, ty;
  export_extent(&tx, &ty);
  const int step = relief.step, first = relief.first, p = step > 0 ? SAMPLES / step : 0;
  if (tx <= 0 || ty <= 0 || p <= 0 || relief.columns != p * tx || relief.rows != p * ty) return;
  const int rows = p * ty, columns = relief.columns;
  const uint8_t *shades = relief.shades.data();
  const PixelShifts shifts = current_pixel_shifts();
  if (prepare_tile_blocks() != 0) {
    // Blocks that cannot stand for the sprites: each tile in its texture's
    // sample colour, shaded here, as the cache must not be shared.
    reset_shade_cache();
    for (int c = 0; c < columns; c++)
      for (int y = 0; y < rows; y++) {
        const Tile &tile = tile_at(c / p, y / p);
        const int colour = tile.texture >= 0 && tile.texture < MAX_TEXTURES
                               ? texture_table.textures[tile.texture].sample_color
                               : 0;
        const uint8_t shade = shades[(size_t)c * rows + y];
        pixels[y * stride + c] = pixel_to_bgr((uint32_t)cached_shade(colour, shade), shifts);
      }
    return;
  }
  prepare_shaded_blocks(shifts, 1);
  const ShadedBlocks &blocks = shaded_blocks();
  const uint32_t *shaded = blocks.bgr.data();
  // Each part takes every parts-th strip, with a buffer of its own.
  const int strips = (tx + PART_TILES - 1) / PART_TILES;
  const int parts = work_thread_count() < strips ? work_thread_count() : strips;
  run_parts(parts, [&](int part) {
    std::vector<uint32_t> strip((size_t)p * PART_TILES * rows);
    for (int k = part; k < strips; k += parts) {
      const int x0 = k * PART_TILES, x1 = x0 + PART_TILES < tx ? x0 + PART_TILES : tx;
      const int strip_columns = p * (x1 - x0);
      // The strip is made column by column, as the tiles and the relief
      // are stored, then written out row by row.
      for (int c = 0; c < strip_columns; c++) {
        const int X = SAMPLES * x0 + c * step + first;
        const Tile *tiles = tile_map.tiles[X / SAMPLES];
        const uint8_t *shade = shades + (size_t)(p * x0 + c) * rows;
        uint32_t *out = strip.data() + (size_t)c * rows;
        for (int y = 0; y < rows; y++) {
          const int Y = y * step + first;
          const Tile &tile = tiles[Y / SAMPLES];
          const uint16_t colour =
              blocks.colours[rotation_turn[tile.rotation]][block_index(tile)][(Y % SAMPLES) * 4 + X % SAMPLES];
          out[y] = shaded[colour * 256 + shade[y]];
        }
      }
      for (int y = 0; y < rows; y++) {
        uint32_t *out = pixels + y * stride + p * x0;
        for (int c = 0; c < strip_columns; c++) out[c] = strip[(size_t)c * rows + y];
      }
    }
  });
}
