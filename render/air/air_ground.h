// The ground under the view from the air as its columns read it: heights,
// tiles, texture levels and the relief's shading, made ready on the
// caller's thread so that the work threads only read memory.
#pragma once

#include <cstdint>

#include "core/terrain_model.h"

// Places are in sample units: sample (X, Y) (Y from the north edge) lies at
// (X, Y), its cell from X - 0.5 to X + 0.5; tile (x, y) covers 4x - 0.5 to
// 4x + 3.5 one way and 4y - 0.5 to 4y + 3.5 the other.
inline double sample_x_of(double east) { return east / 500.0 - 0.5; }
inline double sample_y_of(double north, int tiles_y) { return (2000.0 * tiles_y - north) / 500.0 - 0.5; }

// A texture level as plain pixels; lines null where the entry has none.
struct GroundLevel {
  const uint32_t *const *lines;
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
  int max_raw;  // no sample of the map is higher (unexaggerated)
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

// The tile holding a place on the terrain.
inline const Tile &ground_tile(const AirGround &g, double sx, double sy) {
  int x = (int)((sx + 0.5) * 0.25), y = (int)((sy + 0.5) * 0.25);
  if (x >= g.tiles_x) x = g.tiles_x - 1;
  if (y >= g.tiles_y) y = g.tiles_y - 1;
  return tile_map.tiles[x][y];
}

inline int texture_number(const Tile &tile) {
  return tile.texture >= 0 && tile.texture < MAX_TEXTURES ? tile.texture : 0;
}

// The samples interpolated at a place on the terrain, exaggerated; water flat at 0.
inline float ground_height(const AirGround &g, double sx, double sy, const Tile &tile) {
  if (g.samples_x <= 0 || g.textures[texture_number(tile)].water) return 0;
  const double cx = sx < 0 ? 0 : (sx > g.samples_x - 1 ? g.samples_x - 1 : sx);
  const double cy = sy < 0 ? 0 : (sy > g.samples_y - 1 ? g.samples_y - 1 : sy);
  int ix = (int)cx, iy = (int)cy;
  if (ix > g.samples_x - 2) ix = g.samples_x - 2;
  if (iy > g.samples_y - 2) iy = g.samples_y - 2;
  const float fx = (float)(cx - ix), fy = (float)(cy - iy);
  const uint16_t *west = height_map.heights[ix], *east = height_map.heights[ix + 1];
  const float north_row = west[iy] + fx * (float)(east[iy] - west[iy]);
  const float south_row = west[iy + 1] + fx * (float)(east[iy + 1] - west[iy + 1]);
  return g.exaggeration * (north_row + fy * (south_row - north_row));
}

// The height sample whose cell holds the place, raw.
inline int ground_sample(const AirGround &g, double sx, double sy) {
  if (g.samples_x <= 0) return 0;
  int x = (int)(sx + 0.5), y = (int)(sy + 0.5);
  x = x < 0 ? 0 : (x >= g.samples_x ? g.samples_x - 1 : x);
  y = y < 0 ? 0 : (y >= g.samples_y ? g.samples_y - 1 : y);
  return height_map.heights[x][y];
}

// The relief's shade (as the embossed map's: 127 on level ground) at a
// place, interpolated between the samples of every 2^level-th sample both
// ways. Safe on any thread between two prepare_air_ground calls.
enum { SHADE_LEVELS = 9, LEVEL_SHADE = 127 };
uint8_t ground_shade(const AirGround &g, double sx, double sy, int level);

// The turned texel of a tile's texture level at a place on the tile.
inline uint32_t ground_texel(const GroundLevel &level, int rotation, double sx, double sy) {
  const int S = level.size;
  const double tx = (sx + 0.5) * 0.25, ty = (sy + 0.5) * 0.25;
  int u = (int)((tx - (int)tx) * S), v = (int)((ty - (int)ty) * S);
  u = u < S ? u : S - 1;
  v = v < S ? v : S - 1;
  // As the map turns a level: r quarter turns clockwise.
  switch (rotation & 3) {
    case 0: return level.lines[v][u];
    case 1: return level.lines[S - 1 - u][v];
    case 2: return level.lines[S - 1 - v][S - 1 - u];
    default: return level.lines[u][S - 1 - v];
  }
}

// Forgets the kept shading: the heights changed without the history knowing.
void forget_air_shading();
