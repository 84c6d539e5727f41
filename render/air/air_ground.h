// The ground under the view from the air as its columns read it: heights,
// tiles, texture levels and the relief's shading, made ready on the
// caller's thread so that the work threads only read memory.
#pragma once

#include <cstdint>

#include "core/terrain_model.h"

// Places are in sample units: sample (X, Y) (Y from the north edge) lies at
// (X, Y), its cell from X - 0.5 to X + 0.5; tile (x, y) covers 4x - 0.5 to
// 4x + 3.5 one way and 4y - 0.5 to 4y + 3.5 the other. A column reads
// them as a GroundPlace, in whole numbers.
inline double sample_x_of(double east) { return east / 500.0 - 0.5; }
inline double sample_y_of(double north, int tiles_y) { return (2000.0 * tiles_y - north) / 500.0 - 0.5; }

// A texture level as plain pixels, row after row; null where the entry has none.
struct GroundLevel {
  const uint32_t *pixels;
  int size;
};

struct GroundTexture {
  GroundLevel levels[TEXTURE_LEVELS];
  uint32_t mask;    // the library's mask colour: shown as the sample colour
  uint32_t sample;  // the entry's sample colour
  int water;        // HasWater=2: flat at sea level, unshaded
};

struct AirGround {
  int tiles_x, tiles_y;
  int samples_x, samples_y;  // 0 without heights
  float exaggeration;
  float height_scale;  // exaggeration / 65536: for heights in 65536ths
  int max_raw;  // no sample of the map is higher (unexaggerated)
  unsigned place_x_end, place_y_end;  // the terrain's extent as GroundPlace counts it
  unsigned inner_x, inner_y;          // places whose four samples all lie on the map, less 128
  uint8_t flat[MAX_TEXTURES];         // the texture's tiles lie at 0: water, or no heights at all
  GroundTexture textures[MAX_TEXTURES];
  uint32_t plain;  // the plain ground beyond the terrain's edges
};

// What the frames read, for the open terrain; also clears the shading kept
// when the maps changed since the last call. The caller's thread, before
// any work thread reads.
void prepare_air_ground(AirGround &ground, double exaggeration);

// The same without textures or shading: heights and tiles alone.
void prepare_air_heights(AirGround &ground, double exaggeration);

inline int ground_on_terrain(const AirGround &g, double sx, double sy) {
  return sx >= -0.5 && sy >= -0.5 && sx < 4.0 * g.tiles_x - 0.5 && sy < 4.0 * g.tiles_y - 0.5;
}

// A place on the terrain in 256ths of a sample from its west and north
// edges: bits 10 and up are the tile, bits 2 and up the level-0 texel (64 a
// sample), 8 and up the sample's cell.
struct GroundPlace {
  int x, y;
};

// The place of (sx, sy), within a million samples of the terrain: true when
// it lies on the terrain. Whole numbers are taken from a positive bias, so
// that places west or north of the edges round down too.
enum { PLACE_BIAS = 1 << 29 };
inline bool ground_place_on(const AirGround &g, double sx, double sy, GroundPlace *p) {
  p->x = (int)(sx * 256 + (128.0 + PLACE_BIAS)) - PLACE_BIAS;
  p->y = (int)(sy * 256 + (128.0 + PLACE_BIAS)) - PLACE_BIAS;
  return (unsigned)p->x < g.place_x_end && (unsigned)p->y < g.place_y_end;
}

// The tile holding a place on the terrain.
inline const Tile &ground_tile(const AirGround &, GroundPlace p) { return tile_map.tiles[p.x >> 10][p.y >> 10]; }

inline int texture_number(const Tile &tile) { return (unsigned)tile.texture < MAX_TEXTURES ? tile.texture : 0; }

// 256ths of a sample from sample 0, within the samples.
inline int within_samples(int p, int samples) {
  const int u = p - 128, most = (samples - 1) * 256;
  return u < 0 ? 0 : (u > most ? most : u);
}

// The samples interpolated at a place on the terrain (nearest: the sample
// whose cell holds it), exaggerated; water flat at 0. In whole numbers to
// the last step: 256ths of a sample each way.
inline float ground_height(const AirGround &g, GroundPlace p, const Tile &tile, int nearest = 0) {
  if (g.flat[texture_number(tile)]) return 0;
  if (nearest) return g.exaggeration * height_map.heights[p.x >> 8][p.y >> 8];
  int u = p.x - 128, v = p.y - 128;
  // Within half a sample of an edge the outermost samples stand for the ground.
  if ((unsigned)u >= g.inner_x || (unsigned)v >= g.inner_y) {
    u = within_samples(p.x, g.samples_x), v = within_samples(p.y, g.samples_y);
    if (u >= (g.samples_x - 1) * 256) u = (g.samples_x - 1) * 256 - 1;
    if (v >= (g.samples_y - 1) * 256) v = (g.samples_y - 1) * 256 - 1;
  }
  const uint16_t *west = height_map.heights[u >> 8] + (v >> 8), *east = west + MAX_SAMPLES;
  const int fx = u & 255, fy = v & 255;
  const int north = west[0] * 256 + (east[0] - west[0]) * fx, south = west[1] * 256 + (east[1] - west[1]) * fx;
  return g.height_scale * (float)((int64_t)north * 256 + (int64_t)(south - north) * fy);
}

// The height sample whose cell holds the place, raw.
inline int ground_sample(const AirGround &g, GroundPlace p) {
  if (g.samples_x <= 0) return 0;
  const int x = p.x >> 8, y = p.y >> 8;
  return height_map.heights[x < g.samples_x ? x : g.samples_x - 1][y < g.samples_y ? y : g.samples_y - 1];
}

// The relief's shade (as the embossed map's: 127 on level ground) at a
// place given by its level-0 texels, interpolated between every 2^level-th
// sample both ways. The shading is kept in blocks of 64 x 64 cells; a
// column keeps the block it read last in its cursor. Safe on any thread
// between two prepare_air_ground calls.
enum { SHADE_LEVELS = 9, LEVEL_SHADE = 127, SHADE_BLOCK_CELLS = 64, SHADE_BLOCK_SIDE = SHADE_BLOCK_CELLS + 1 };
struct ShadeCursor {
  int level = -1, bx = -1, by = -1;
  const uint8_t *block = nullptr;
};
// Block (bx, by) of a level: value (i, j) at [i * SHADE_BLOCK_SIDE + j].
const uint8_t *shade_block(const AirGround &g, int level, int bx, int by);

inline uint8_t ground_shade(const AirGround &g, ShadeCursor &cursor, GroundPlace p, int level) {
  if (g.samples_x <= 0) return LEVEL_SHADE;
  // In 64ths of a level-m cell; within half a sample of an edge, the edge's.
  int u = p.x - 128, v = p.y - 128;
  if ((unsigned)u > g.inner_x || (unsigned)v > g.inner_y) u = within_samples(p.x, g.samples_x), v = within_samples(p.y, g.samples_y);
  u >>= level + 2, v >>= level + 2;
  const unsigned i = (unsigned)u >> 6, j = (unsigned)v >> 6, fu = u & 63, fv = v & 63;
  const int bx = (int)(i / SHADE_BLOCK_CELLS), by = (int)(j / SHADE_BLOCK_CELLS);
  if (bx != cursor.bx || by != cursor.by || level != cursor.level) {
    cursor.block = shade_block(g, level, bx, by);
    cursor.bx = bx, cursor.by = by, cursor.level = level;
  }
  const uint8_t *west = cursor.block + (i % SHADE_BLOCK_CELLS) * SHADE_BLOCK_SIDE + j % SHADE_BLOCK_CELLS;
  const uint8_t *east = west + SHADE_BLOCK_SIDE;
  const unsigned north = west[0] * (64 - fu) + east[0] * fu, south = west[1] * (64 - fu) + east[1] * fu;
  return (uint8_t)((north * (64 - fv) + south * fv + 2048) >> 12);
}

// Where texel (u, v) of a level of size 2^-k of level 0, turned r quarter
// turns clockwise as the map turns it, lies among its pixels: start + u *
// along_u + v * along_v. [k][r], made by prepare_air_ground.
struct TexelWalk {
  int start, along_u, along_v;
};
extern TexelWalk texel_walks[TEXTURE_LEVELS][4];

// Where the turned texel of a place at level k lies.
inline const uint32_t *ground_texel_at(const GroundLevel &level, int k, int rotation, GroundPlace p) {
  const TexelWalk &w = texel_walks[k][rotation & 3];
  const int mask = level.size - 1;
  return level.pixels + w.start + w.along_u * ((p.x >> (k + 2)) & mask) + w.along_v * ((p.y >> (k + 2)) & mask);
}


// Forgets the kept shading: the heights changed without the history knowing.
void forget_air_shading();
