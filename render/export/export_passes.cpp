#include "render/export/export_passes.h"

#include <cstdint>
#include <cstring>

#include "core/terrain_model.h"
#include "render/export/shade_cache.h"
#include "render/export/tile_blocks.h"

// The grids are stored column by column ([x][y]) while bitmaps are stored
// row by row, so every pass walks the map in strips a few dozen columns
// wide: within a strip both the grid columns and the bitmap rows stay in
// the cache.
enum { STRIP_COLUMNS = 64, STRIP_TILES = STRIP_COLUMNS / 4 };

static int min_int(int a, int b) { return a < b ? a : b; }

void export_extent(int *tiles_x, int *tiles_y) {
  *tiles_x = map_columns();
  *tiles_y = map_rows();
}

void draw_data_pass(BITMAP *work) {
  int tx, ty;
  export_extent(&tx, &ty);
  for (int x0 = 0; x0 < tx; x0 += STRIP_COLUMNS) {
    const int x1 = min_int(x0 + STRIP_COLUMNS, tx);
    for (int y = 0; y < ty; y++) {
      uint32_t *line = (uint32_t *)work->line[y];
      for (int x = x0; x < x1; x++) {
        const Tile &tile = tile_map.tiles[x][y];
        const int red = tile.texture < 0 ? 0 : min_int(tile.texture, 255);
        line[x] = (uint32_t)makecol(red, min_int(64 * tile.rotation, 255), min_int(64 * tile.tag, 255));
      }
    }
  }
}

void draw_water_pass(BITMAP *work) {
  int tx, ty;
  export_extent(&tx, &ty);
  uint8_t water[MAX_TEXTURES];
  for (int t = 0; t < MAX_TEXTURES; t++) water[t] = texture_table.textures[t].has_water == 2;
  for (int x0 = 0; x0 < tx; x0 += STRIP_COLUMNS) {
    const int x1 = min_int(x0 + STRIP_COLUMNS, tx);
    for (int y = 0; y < ty; y++) {
      uint8_t *line = work->line[y];
      for (int x = x0; x < x1; x++) {
        const int t = tile_map.tiles[x][y].texture;
        line[x] = (t >= 0 && t < MAX_TEXTURES) ? water[t] : 0;
      }
    }
  }
}

// Colour of every possible sample value for the current max_height.
static uint32_t height_colours[65536];

static void build_height_colours() {
  const int max_height = height_map.max_height;
  uint32_t grey[256];
  grey[0] = (uint32_t)makecol(0, 0, 255);
  for (int g = 1; g < 256; g++) grey[g] = (uint32_t)makecol(g, g, g);
  for (int h = 0; h < 65536; h++)
    height_colours[h] = grey[max_height > 0 ? min_int(h * 255 / max_height, 255) : 0];
}

void draw_height_pass(BITMAP *work) {
  int tx, ty;
  export_extent(&tx, &ty);
  const int sx = 4 * tx, sy = 4 * ty;
  build_height_colours();
  for (int x0 = 0; x0 < sx; x0 += STRIP_COLUMNS) {
    const int x1 = min_int(x0 + STRIP_COLUMNS, sx);
    for (int y = 0; y < sy; y++) {
      uint32_t *line = (uint32_t *)work->line[y];
      for (int x = x0; x < x1; x++) line[x] = height_colours[height_map.heights[x][y]];
    }
  }
}

static void shade_bitmap(BITMAP *work) {
  const int sx = work->w, sy = work->h;
  for (int x0 = 0; x0 < sx; x0 += STRIP_COLUMNS) {
    const int x1 = min_int(x0 + STRIP_COLUMNS, sx);
    for (int y = 0; y < sy; y++) {
      uint32_t *line = (uint32_t *)work->line[y];
      for (int x = x0; x < x1; x++) line[x] = (uint32_t)cached_shade((int)line[x], shade_map[x][y]);
    }
  }
}

static void draw_tile_blocks(BITMAP *work, int shaded) {
  int tx, ty;
  export_extent(&tx, &ty);
  const uint32_t *blocks[STRIP_TILES];
  for (int x0 = 0; x0 < tx; x0 += STRIP_TILES) {
    const int x1 = min_int(x0 + STRIP_TILES, tx);
    for (int y = 0; y < ty; y++) {
      for (int x = x0; x < x1; x++) blocks[x - x0] = tile_block(tile_map.tiles[x][y]);
      for (int j = 0; j < 4; j++) {
        const int row = 4 * y + j;
        uint32_t *line = (uint32_t *)work->line[row];
        for (int x = x0; x < x1; x++) {
          const uint32_t *source = blocks[x - x0] + 4 * j;
          uint32_t *out = line + 4 * x;
          if (!shaded) {
            memcpy(out, source, 4 * sizeof(uint32_t));
            continue;
          }
          for (int i = 0; i < 4; i++)
            out[i] = (uint32_t)cached_shade((int)source[i], shade_map[4 * x + i][row]);
        }
      }
    }
  }
}

void draw_texture_pass(BITMAP *work, int shaded, int blocks_ready) {
  if (blocks_ready) {
    draw_tile_blocks(work, shaded);
    return;
  }
  int tx, ty;
  export_extent(&tx, &ty);
  clear_to_color(work, 0);
  for (int y = 0; y < ty; y++)
    for (int x = 0; x < tx; x++) draw_tile_sprite(work, x, y);
  if (shaded) shade_bitmap(work);
}
