#include "edit/land_grid.h"

#include <algorithm>
#include <vector>

#include "core/work_threads.h"

uint8_t land_grid[LAND_GRID_SIZE][LAND_GRID_SIZE];

namespace {

// What the tiles of column x say, tile y at said[y + 1]; the ends and a
// column off the map say nothing.
void column_said(int x, uint32_t *said) {
  const int rows = map_rows();
  said[0] = said[rows + 1] = 0;
  if (x < 0 || x >= map_columns()) {
    std::fill(said + 1, said + rows + 1, 0u);
    return;
  }
  const Tile *column = tile_map.tiles[x];
  const LandCorners *turned = lands.turned;
  for (int y = 0; y < rows; y++) {
    const int t = column[y].texture;
    said[y + 1] = (unsigned)t < (unsigned)MAX_TEXTURES ? turned[4 * t + (column[y].rotation & 3)] : 0;
  }
}

// Point column x from the columns of tiles west (w) and east (e) of it.
void vote_column(int x, const uint32_t *w, const uint32_t *e) {
  uint8_t *out = land_grid[x];
  const int rows = map_rows();
  for (int y = 0; y <= rows; y++)
    out[y] = (uint8_t)land_vote(w[y] >> 16 & 255, e[y] >> 24, w[y + 1] >> 8 & 255, e[y + 1] & 255);
}

// A 32-bit mix of the place: cheap, and no pattern a builder would see.
uint32_t place_hash(int x, int y) {
  uint32_t h = (uint32_t)x * 0x9E3779B1u ^ ((uint32_t)y + 0x7F4A7C15u) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  return h ^ h >> 15;
}

int matching(LandCorners a, LandCorners b) {
  int n = 0;
  for (int i = 0; i < LAND_CORNERS; i++) n += (a >> 8 * i & 255) == (b >> 8 * i & 255);
  return n;
}

// The nearest candidate for corners no texture shows, remembered for as
// many corners as six lands can make: a coast meets the same ones often,
// and an import of a whole map meets them by the hundred thousand.
enum { NEAREST_SLOTS = 4096 };
struct Nearest {
  uint32_t generation = 0;
  std::vector<LandCorners> key;  // 0 (never wanted: all four are known) for an empty slot
  std::vector<const LandCandidate *> best;
};
thread_local Nearest nearest_cache;

const LandCandidate *nearest_candidate(LandCorners want) {
  Nearest &n = nearest_cache;
  if (n.generation != lands.generation || n.key.empty()) {
    n.key.assign(NEAREST_SLOTS, 0);
    n.best.assign(NEAREST_SLOTS, nullptr);
    n.generation = lands.generation;
  }
  const unsigned slot = (want * 0x9E3779B1u) >> 20;
  if (n.key[slot] == want) return n.best[slot];
  const LandCandidate *best = nullptr;
  int best_match = -1;
  for (const LandCandidate &c : lands.candidates) {
    const int m = matching(c.corners, want);
    const bool better = !best || m > best_match ||
                        (m == best_match && (c.weight > best->weight ||
                                             (c.weight == best->weight && (c.texture < best->texture ||
                                                                           (c.texture == best->texture && c.rotation < best->rotation)))));
    if (better) best = &c, best_match = m;
  }
  n.key[slot] = want;
  n.best[slot] = best;
  return best;
}

}  // namespace

void read_land_grid() {
  const int columns = map_columns(), rows = map_rows();
  if (columns <= 0 || rows <= 0) return;
  const int points = columns + 1;
  const int parts = std::min(points, 8 * work_thread_count());
  run_parts(parts, [&](int k) {
    const int x0 = (int)((long long)points * k / parts), x1 = (int)((long long)points * (k + 1) / parts);
    std::vector<uint32_t> a((size_t)rows + 2), b((size_t)rows + 2);
    uint32_t *west = a.data(), *east = b.data();
    column_said(x0 - 1, west);
    for (int x = x0; x < x1; x++) {
      column_said(x, east);
      vote_column(x, west, east);
      std::swap(west, east);
    }
  });
}

void read_land_points(const TileRect &rect) {
  TileRect r = rect;
  if (!clip_to_map(r)) return;
  auto said = [](int x, int y) { return tile_on_map(x, y) ? tile_said_corners(tile_map.tiles[x][y]) : 0u; };
  for (int x = r.left; x <= r.right + 1; x++)
    for (int y = r.top; y <= r.bottom + 1; y++)
      land_grid[x][y] = (uint8_t)land_vote(said(x - 1, y - 1) >> 16 & 255, said(x, y - 1) >> 24,
                                      said(x - 1, y) >> 8 & 255, said(x, y) & 255);
}

// The last look-up again: the tiles of a fill mostly want the same corners.
struct LastCandidates {
  uint32_t generation = 0;
  LandCorners corners = 0;
  const LandCandidate *first = nullptr;
  uint32_t count = 0;
  uint64_t total = 0;
};
// One per thread: the land edits retile on every core.
static thread_local LastCandidates last_candidates;

int choose_land_tile(Tile &tile, int x, int y, LandCorners want) {
  if (tile_said_corners(tile) == want && lands.weight[tile.texture] > 0) return 0;
  LastCandidates &last = last_candidates;
  if (last.corners != want || last.generation != lands.generation) {
    last.first = land_candidates(want, &last.count, &last.total);
    last.corners = want;
    last.generation = lands.generation;
  }
  const uint32_t count = last.count;
  const uint64_t total = last.total;
  const LandCandidate *pick = last.first;
  int missing = 0;
  if (!pick) {
    pick = nearest_candidate(want);
    missing = 1;
    if (!pick) return 1;
  } else if (count > 1) {
    // The hash scaled to the summed weight (below 2^32: weights are at most
    // a million, candidates at most 2044): no division per tile. A count of
    // the runs' sums it passes, without branches: a pick by chance is one
    // the processor cannot foresee.
    const uint32_t h = (uint32_t)((uint64_t)place_hash(x, y) * total >> 32);
    if (count <= 16) {
      uint32_t passed = 0;
      for (uint32_t k = 0; k + 1 < count; k++) passed += h >= pick[k].upto;
      pick += passed;
    } else {
      pick = std::upper_bound(pick, pick + count, h, [](uint32_t v, const LandCandidate &c) { return v < c.upto; });
    }
  }
  tile.texture = pick->texture;
  tile.rotation = pick->rotation;
  return missing;
}
