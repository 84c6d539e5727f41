// The land grid under the tile map: a land (1..255, 0 for none) at each
// corner point, (columns + 1) x (rows + 1) points, and the choice of a tile
// for four corner lands. Point (x, y) counts as tiles do, y growing
// southward; tile (x, y) has the points (x, y) north-west, (x + 1, y)
// north-east, (x + 1, y + 1) south-east and (x, y + 1) south-west.
//
// The grid is the open terrain's: read it from the tile map after opening
// (and after the lands file is read again); the land edits (land_edits.h)
// keep it and the tiles together, undo and redo included. Other tile edits
// do not touch it: after them, read_land_points over the tiles they changed
// (or read_land_grid) brings it back in line with the map.
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/land_table.h"
#include "core/tile_rect.h"

enum { LAND_GRID_SIZE = MAX_TILES + 1 };

// The land most of a, b, c, d say (0 says nothing), a tie to the lower: a
// point's land from the up to four tiles around it.
// Without branches: on a varied map they would mostly go astray. Each
// land scores its count above its distance from 255, so the highest score
// is the land said most often, the lower of a tie.
inline unsigned land_vote(unsigned a, unsigned b, unsigned c, unsigned d) {
  auto score = [&](unsigned v) {
    const unsigned n = (v == a) + (v == b) + (v == c) + (v == d);
    return v ? n << 8 | (255 - v) : 0u;
  };
  const unsigned s = std::max(std::max(score(a), score(b)), std::max(score(c), score(d)));
  return s ? 255 - (s & 255) : 0;
}

extern uint8_t land_grid[LAND_GRID_SIZE][LAND_GRID_SIZE];  // [x][y]

inline uint8_t &land_point(int x, int y) { return land_grid[x][y]; }
inline int land_point_on_map(int x, int y) { return x >= 0 && y >= 0 && x <= map_columns() && y <= map_rows(); }

// What tile says of its corners through its texture and rotation; 0 when
// its texture has no Corners (or lies outside 0..511).
inline LandCorners tile_said_corners(const Tile &tile) {
  const int t = tile.texture;
  return t >= 0 && t < MAX_TEXTURES ? lands.turned[4 * t + (tile.rotation & 3)] : 0;
}

// The grid's lands at the corners of tile (x, y) on the map.
inline LandCorners grid_corners(int x, int y) {
  return land_corners(land_grid[x][y], land_grid[x + 1][y], land_grid[x + 1][y + 1], land_grid[x][y + 1]);
}

// The land most of the up to four tiles around each point say it has, a
// tie going to the lower land number; 0 where none says anything. The
// whole grid (every point of the map; the rest zeroed), spread over the
// work threads.
void read_land_grid();

// The same for the corner points of the tiles of rect (clipped to the map),
// the tiles around those points all heard.
void read_land_points(const TileRect &rect);

// Gives tile (x, y) a texture and rotation showing want (all four known):
// kept when it shows them already (weight above 0); else one of the
// candidates, by chance in proportion to weight drawn from a hash of the
// place; else, when no texture shows them, the one matching most corners
// (then highest weight, lower texture, lower rotation), and 1 is returned
// (a missing transition). Only texture and rotation change. A terrain
// whose textures all have weight 0 leaves the tile as it is (still 1).
int choose_land_tile(Tile &tile, int x, int y, LandCorners want);
