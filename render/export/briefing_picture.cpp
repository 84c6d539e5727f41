#include "render/export/briefing_picture.h"

#include <atomic>
#include <new>
#include <vector>

#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "files/grid_file.h"
#include "files/height_map_file.h"
#include "files/tile_map_file.h"
#include "render/export/export_passes.h"
#include "render/export/shade_cache.h"
#include "render/export/shaded_blocks.h"
#include "render/export/tile_blocks.h"

namespace {

// Tile rows made together: a band's tiles are gathered from the table's
// columns a run of this many at a time.
enum { BAND_TILE_ROWS = 8 };

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

int make_briefing_picture(const ReliefGrid &relief, int tiles_fd, uint32_t *pixels, long stride) {
  int tx, ty;
  export_extent(&tx, &ty);
  const int step = relief.step, first = relief.first, p = step > 0 ? SAMPLES / step : 0;
  if (tx <= 0 || ty <= 0 || p <= 0 || relief.columns != p * tx || relief.rows != p * ty) return 0;
  const int columns = relief.columns;
  const PixelShifts shifts = current_pixel_shifts();
  const bool blocks_ready = prepare_tile_blocks() == 0;
  if (blocks_ready) prepare_shaded_blocks(shifts, 1);
  else reset_shade_cache();
  const ShadedBlocks &blocks = shaded_blocks();
  const uint32_t *shaded = blocks.bgr.data();
  // A band of tile rows at a time, row by row as the picture is stored:
  // its tiles gathered from the table's columns, or read from the file.
  const int bands = (ty + BAND_TILE_ROWS - 1) / BAND_TILE_ROWS;
  const int parts = !blocks_ready ? 1 : work_thread_count() < bands ? work_thread_count() : bands;
  std::atomic<int> failed(0);
  run_parts(parts, [&](int part) {
    std::vector<Tile> tiles;
    std::vector<unsigned char> records;
    try {
      tiles.resize((size_t)BAND_TILE_ROWS * tx);
      if (tiles_fd >= 0) records.resize((size_t)BAND_TILE_ROWS * tx * TILE_RECORD_BYTES);
    } catch (const std::bad_alloc &) {
      failed = 1;
      return;
    }
    for (int band = part; band < bands; band += parts) {
      const int y0 = band * BAND_TILE_ROWS, n = y0 + BAND_TILE_ROWS < ty ? BAND_TILE_ROWS : ty - y0;
      if (tiles_fd >= 0)
        read_tile_rows(tiles_fd, y0, n, tiles.data(), records.data());
      else
        for (int x = 0; x < tx; x++)
          for (int r = 0; r < n; r++) tiles[(size_t)r * tx + x] = tile_map.tiles[x][y0 + r];
      for (int y = y0 * p; y < (y0 + n) * p; y++) {
        // The block's sample row, and the sample of each of the tile's
        // pixels along it.
        const int sample_row = ((y % p) * step + first) * SAMPLES;
        const Tile *row = tiles.data() + (size_t)(y / p - y0) * tx;
        const uint8_t *shade = relief.shades.data() + (size_t)y * columns;
        uint32_t *out = pixels + y * stride;
        for (int x = 0; x < tx; x++, shade += p, out += p) {
          const Tile &tile = row[x];
          if (!blocks_ready) {
            // Blocks that cannot stand for the sprites: the texture's sample
            // colour, shaded here, as the cache must not be shared.
            const int colour = tile.texture >= 0 && tile.texture < MAX_TEXTURES
                                   ? texture_table.textures[tile.texture].sample_color
                                   : 0;
            for (int q = 0; q < p; q++) out[q] = pixel_to_bgr((uint32_t)cached_shade(colour, shade[q]), shifts);
            continue;
          }
          const uint16_t *colours = blocks.colours[rotation_turn[tile.rotation]][block_index(tile)] + sample_row + first;
          for (int q = 0; q < p; q++) out[q] = shaded[colours[q * step] * 256 + shade[q]];
        }
      }
    }
  });
  return failed ? 1 : 0;
}
