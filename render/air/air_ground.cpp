#include "render/air/air_ground.h"

#include <allegro.h>

#include <atomic>
#include <cstring>
#include <new>

#include "core/relief_shading.h"
#include "edit/edit_history.h"
#include "images/texture_levels.h"

namespace {

// The shading of every 2^m-th sample both ways, kept in blocks of 64 x 64
// cells (65 x 65 values, so that a cell's four corners share a block),
// made when a frame first reads them and kept while the maps stay as they
// are. A whole frame reads a few dozen blocks; a long flight is held to a
// budget by starting afresh.
enum { BLOCK_CELLS = SHADE_BLOCK_CELLS, BLOCK_SIDE = SHADE_BLOCK_SIDE, BLOCK_BUDGET = 4096 };

struct ShadeLevel {
  std::atomic<uint8_t *> *blocks = nullptr;
  int across = 0, down = 0;
};

struct ShadeCache {
  ShadeLevel levels[SHADE_LEVELS];
  std::atomic<int> made{0};
  // What the kept blocks were made from.
  unsigned changes = 0;
  int columns = -1, rows = -1, max_height = -1;
  bool forgotten = true;
} cache;

// Made once: a block for when memory runs out, level ground throughout.
uint8_t level_block[BLOCK_SIDE * BLOCK_SIDE];

void clear_cache() {
  for (ShadeLevel &l : cache.levels) {
    if (!l.blocks) continue;
    for (int k = 0; k < l.across * l.down; k++) delete[] l.blocks[k].load();
    delete[] l.blocks;
    l = ShadeLevel();
  }
  cache.made = 0;
}

void size_cache(int columns, int rows) {
  for (int m = 0; m < SHADE_LEVELS; m++) {
    ShadeLevel &l = cache.levels[m];
    const int span = BLOCK_CELLS << m;
    l.across = (columns + span - 1) / span + 1;
    l.down = (rows + span - 1) / span + 1;
    l.blocks = new (std::nothrow) std::atomic<uint8_t *>[(size_t)l.across * l.down];
    if (!l.blocks) {
      l.across = l.down = 0;
      continue;
    }
    for (int k = 0; k < l.across * l.down; k++) l.blocks[k] = nullptr;
  }
}

// Values (i, j) of block (bx, by) at level m: the relief of sample
// ((64 bx + i) 2^m, (64 by + j) 2^m), the last sample where that lies past
// the map. Column by column, as the heights lie.
void fill_block(uint8_t *out, int m, int bx, int by, int columns, int rows) {
  const int step = 1 << m;
  const int y0 = (BLOCK_CELLS * by) << m;
  // The rows within the map, then the last one repeated.
  int inside = 0;
  while (inside < BLOCK_SIDE && y0 + inside * step < rows) inside++;
  for (int i = 0; i < BLOCK_SIDE; i++) {
    int x = (BLOCK_CELLS * bx + i) << m;
    if (x > columns - 1) x = columns - 1;
    uint8_t *column = out + i * BLOCK_SIDE;
    if (inside > 0) relief_samples(x, y0, step, inside, column);
    const uint8_t last = inside > 0 ? column[inside - 1] : relief_at(x, rows - 1);
    for (int j = inside; j < BLOCK_SIDE; j++) column[j] = last;
  }
}

const uint8_t *find_block(int m, int bx, int by, int columns, int rows) {
  ShadeLevel &l = cache.levels[m];
  if (bx < 0 || by < 0 || bx >= l.across || by >= l.down) return level_block;
  std::atomic<uint8_t *> &slot = l.blocks[(size_t)by * l.across + bx];
  uint8_t *block = slot.load(std::memory_order_acquire);
  if (block) return block;
  if (cache.made.load(std::memory_order_relaxed) >= BLOCK_BUDGET) return level_block;
  uint8_t *made = new (std::nothrow) uint8_t[BLOCK_SIDE * BLOCK_SIDE];
  if (!made) return level_block;
  fill_block(made, m, bx, by, columns, rows);
  // Two threads may make the same block: the first one kept wins.
  if (!slot.compare_exchange_strong(block, made, std::memory_order_acq_rel)) {
    delete[] made;
    return block;
  }
  cache.made++;
  return made;
}

void prepare_levels(AirGround &g) {
  for (int t = 0; t < MAX_TEXTURES; t++) {
    GroundTexture &out = g.textures[t];
    const TextureEntry &entry = texture_table.textures[t];
    out.sample = (uint32_t)entry.sample_color;
    out.mask = (uint32_t)MASK_COLOR_32;
    for (int k = 0; k < TEXTURE_LEVELS; k++) {
      BITMAP *b = t >= 1 && t <= texture_table.texture_count ? entry.levels[k] : nullptr;
      const int size = TEXTURE_SIZE >> k;
      // Only plain 32-bit pixels of the level's own size are read directly.
      const bool plain = b && is_memory_bitmap(b) && bitmap_color_depth(b) == 32 && b->w == size && b->h == size;
      // The walks read the rows as one run of pixels.
      const bool run = plain && b->line[size - 1] == b->line[0] + (size_t)(size - 1) * size * 4;
      out.levels[k] = {run ? (const uint32_t *)b->line[0] : nullptr, size};
    }
  }
}

void make_texel_walks() {
  for (int k = 0; k < TEXTURE_LEVELS; k++) {
    const int S = TEXTURE_SIZE >> k;
    // As the map draws a level turned: in[v][u], in[S-1-u][v], in[S-1-v][S-1-u], in[u][S-1-v].
    texel_walks[k][0] = {0, 1, S};
    texel_walks[k][1] = {(S - 1) * S, -S, 1};
    texel_walks[k][2] = {(S - 1) * S + S - 1, -1, -S};
    texel_walks[k][3] = {S - 1, S, -1};
  }
}

}  // namespace

TexelWalk texel_walks[TEXTURE_LEVELS][4];

static_assert(TEXTURE_SIZE >> (TEXTURE_LEVELS - 1) >= 1, "every level has a pixel");

void prepare_air_heights(AirGround &g, double exaggeration) {
  g.tiles_x = map_columns();
  g.tiles_y = map_rows();
  const bool heights = height_map.heights_loaded > 0 && height_map.samples_x >= 2 && height_map.samples_y >= 2;
  g.samples_x = heights ? height_map.samples_x : 0;
  g.samples_y = heights ? height_map.samples_y : 0;
  g.exaggeration = (float)exaggeration;
  g.height_scale = (float)(exaggeration / 65536);
  g.max_raw = heights && height_map.max_height > 0 ? height_map.max_height : 0;
  g.place_x_end = (unsigned)g.tiles_x << 10, g.place_y_end = (unsigned)g.tiles_y << 10;
  g.inner_x = heights ? (unsigned)(g.samples_x - 1) * 256 : 0;
  g.inner_y = heights ? (unsigned)(g.samples_y - 1) * 256 : 0;
  for (int t = 0; t < MAX_TEXTURES; t++) {
    g.textures[t].water = texture_table.textures[t].has_water == 2;
    g.flat[t] = g.textures[t].water || !heights;
  }
}

void prepare_air_ground(AirGround &g, double exaggeration) {
  prepare_air_heights(g, exaggeration);
  prepare_levels(g);
  make_texel_walks();
  g.plain = (uint32_t)makecol32(112, 116, 96);
  if (!level_block[0]) memset(level_block, LEVEL_SHADE, sizeof(level_block));
  // The relief's scale follows the highest height; its tables are the caller's.
  prepare_relief();
  const bool changed = cache.forgotten || cache.changes != history_changes() || cache.columns != g.samples_x ||
                       cache.rows != g.samples_y || cache.max_height != height_map.max_height;
  if (changed || cache.made >= BLOCK_BUDGET) {
    clear_cache();
    if (g.samples_x > 0) size_cache(g.samples_x, g.samples_y);
    cache.changes = history_changes();
    cache.columns = g.samples_x;
    cache.rows = g.samples_y;
    cache.max_height = height_map.max_height;
    cache.forgotten = false;
  }
}

void forget_air_shading() { cache.forgotten = true; }

const uint8_t *shade_block(const AirGround &g, int level, int bx, int by) {
  return find_block(level, bx, by, g.samples_x, g.samples_y);
}
