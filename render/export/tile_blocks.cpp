#include "render/export/tile_blocks.h"

#include <cstring>

uint32_t tile_blocks[TILE_BLOCK_TURNS][MAX_TEXTURES + 1][16];
uint8_t rotation_turn[256];

// The sprite goes to (4, 4) of a 12 x 12 scratch bitmap, so that pixels
// landing outside the cell are seen too.
enum { SCRATCH_SIZE = 12, CELL = 4 };

BITMAP *tile_level(int texture) {
  if (texture < 1 || texture > texture_table.texture_count || texture >= MAX_TEXTURES)
    return nullptr;
  BITMAP *level = texture_table.textures[texture].levels[TILE_LEVEL];
  if (!level || level->w != 4 || level->h != 4 || bitmap_color_depth(level) != 32) return nullptr;
  return level;
}

static fixed turn_angle(int rotation) { return itofix(64 * rotation); }

// Where each cell pixel comes from for one rotation value: the source pixel
// index + 1, or 0 when nothing is drawn there. 1 when the sprite reaches
// outside the cell.
static int probe_mapping(BITMAP *scratch, BITMAP *probe, int rotation, uint8_t mapping[16]) {
  clear_to_color(scratch, 0);
  rotate_sprite(scratch, probe, CELL, CELL, turn_angle(rotation));
  for (int y = 0; y < SCRATCH_SIZE; y++) {
    const uint32_t *line = (const uint32_t *)scratch->line[y];
    for (int x = 0; x < SCRATCH_SIZE; x++) {
      const bool inside = x >= CELL && x < 2 * CELL && y >= CELL && y < 2 * CELL;
      if (!inside) {
        if (line[x] != 0) return 1;
        continue;
      }
      const uint32_t v = line[x];
      if (v != 0 && (v < 0x100 || v > 0x10F)) return 1;
      mapping[(y - CELL) * 4 + (x - CELL)] = v ? (uint8_t)(v - 0x100 + 1) : 0;
    }
  }
  return 0;
}

static void fill_block(uint32_t block[16], uint32_t colour) {
  for (int k = 0; k < 16; k++) block[k] = colour;
}

int prepare_tile_blocks() {
  BITMAP *scratch = create_bitmap_ex(32, SCRATCH_SIZE, SCRATCH_SIZE);
  BITMAP *probe = create_bitmap_ex(32, 4, 4);
  int failed = !scratch || !probe;

  // Probe every rotation value with a sprite whose pixels are their own
  // indices; rotation values with the same mapping share one block turn.
  uint8_t mappings[TILE_BLOCK_TURNS][16];
  int representative[TILE_BLOCK_TURNS];
  int turns = 0;
  if (!failed) {
    for (int k = 0; k < 16; k++) ((uint32_t *)probe->line[k / 4])[k % 4] = 0x100 + k;
    for (int r = 0; r < 256 && !failed; r++) {
      uint8_t mapping[16];
      if (probe_mapping(scratch, probe, r, mapping)) {
        failed = 1;
        break;
      }
      int t = 0;
      while (t < turns && memcmp(mappings[t], mapping, 16) != 0) t++;
      if (t == turns) {
        if (turns == TILE_BLOCK_TURNS) {
          failed = 1;
          break;
        }
        memcpy(mappings[turns], mapping, 16);
        representative[turns++] = r;
      }
      rotation_turn[r] = (uint8_t)t;
    }
  }

  // Each block is the library's own drawing of the level on a cleared cell.
  for (int t = 0; t < turns && !failed; t++) {
    for (int texture = 0; texture < MAX_TEXTURES; texture++) {
      uint32_t *block = tile_blocks[t][texture];
      BITMAP *level = tile_level(texture);
      if (!level) {
        fill_block(block, (uint32_t)texture_table.textures[texture].sample_color);
        continue;
      }
      clear_to_color(scratch, 0);
      rotate_sprite(scratch, level, CELL, CELL, turn_angle(representative[t]));
      for (int k = 0; k < 16; k++)
        block[k] = ((const uint32_t *)scratch->line[CELL + k / 4])[CELL + k % 4];
    }
    fill_block(tile_blocks[t][TILE_BLOCK_OUTSIDE], 0);
  }

  if (scratch) destroy_bitmap(scratch);
  if (probe) destroy_bitmap(probe);
  return failed;
}

void draw_tile_sprite(BITMAP *bmp, int x, int y) {
  const Tile &tile = tile_at(x, y);
  BITMAP *level = tile_level(tile.texture);
  if (level) {
    rotate_sprite(bmp, level, 4 * x, 4 * y, turn_angle(tile.rotation));
    return;
  }
  const int colour = (tile.texture >= 0 && tile.texture < MAX_TEXTURES)
                         ? texture_table.textures[tile.texture].sample_color
                         : 0;
  rectfill(bmp, 4 * x, 4 * y, 4 * x + 3, 4 * y + 3, colour);
}
