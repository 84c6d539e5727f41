// Transition pictures between lands: for corner lands at a texture's four
// corners, a square picture of each corner's land blended with the others
// under a mask of seeded noise. Pictures of one set meet without a seam in
// any rotation wherever the shared edge has the same two corner lands:
// the pixels of an edge's outer band are a function of that edge's two
// lands and the seed alone, read the same from either end when the lands
// are one, and each corner's land fills the square of an eighth of the side
// at its corner. No library state is touched: safe on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/land_table.h"

enum {
  LAND_SET_LANDS_MAX = 8,
  LAND_SET_SIZE_MIN = 16,  // pixels a side, a power of two
  LAND_SET_SIZE_MAX = 1024,
  LAND_SET_VARIANTS_MAX = 8,  // one per turn and mirror of a land's picture inside
  LAND_SET_BORDER_MAX = 100,
  LAND_SET_BORDER_DEFAULT = 40,
};

// A land's picture as read: RGB rows, the top row first.
struct LandSource {
  std::string name;  // keys its edges' noise (in any case), so that a set is the same whatever the order given
  int width, height;
  const unsigned char *rgb;  // width * height * 3 bytes
  // A picture a set made of this land alone, at the set's size: taken as it
  // is, so that what a new set makes meets the old set's pictures.
  bool prepared = false;
};

struct LandSetStyle {
  int size = 256;      // pixels a side: a power of two, LAND_SET_SIZE_MIN..MAX
  uint32_t seed = 1;
  int border = LAND_SET_BORDER_DEFAULT;  // 0 (sharp, fine-grained) .. 100 (soft, broad)
};

// What every picture of a set is made from, prepared once.
struct LandTransitions {
  LandSetStyle style;
  int lands = 0;
  int nodes = 0;  // the mask's lattice: nodes + 1 points a side
  // Per land (index 0 is land 1): its picture at the set's size with every
  // edge band alike and symmetric, RGB bytes, and the hash of its name.
  std::vector<std::vector<unsigned char>> pictures;
  std::vector<uint32_t> keys;
  // Per pair of lands (edge_slot): the noise of their edges on the lattice
  // in the edge's own frame, from its first land's end (by name).
  std::vector<std::vector<float>> edge_noise;
  std::vector<std::vector<float>> edge_shares;  // its first land's share in the edges' bands, size x size / 8
  std::vector<uint8_t> first_of_pair;  // the land index (1-based) whose end the frame starts at
};

// Prepares a set of sources.size() lands (1..LAND_SET_LANDS_MAX) in the
// style; each source is scaled to the set's size (its middle square).
// With only (a flag per source), only those lands' pictures and the edges
// between them are made, the others left empty: enough for the pictures of
// those lands' patterns, the very ones the whole set has.
void prepare_land_transitions(const std::vector<LandSource> &sources, const LandSetStyle &style, LandTransitions *out,
                              const std::vector<bool> *only = nullptr);

// Every corner pattern of lands 1..count up to a quarter turn: each the
// turn that reads lowest as (north-west, north-east, south-east,
// south-west), in that order. 2 lands give 6, 3 give 24, 4 give 70.
std::vector<LandCorners> land_set_patterns(int count);

// The picture of corners (lands 1..set.lands) as variant 0..
// LAND_SET_VARIANTS_MAX - 1 into rgb (size * size * 3 bytes, top row first).
// With weights (size * size * 4 floats, may be null): for each pixel, the
// share of corner i's land (north-west, north-east, south-east, south-west).
void make_land_transition(const LandTransitions &set, LandCorners corners, int variant, unsigned char *rgb,
                          float *weights = nullptr);

// The number of pictures a set makes: patterns times variants.
inline int land_set_pictures(int lands, int variants) { return (int)land_set_patterns(lands).size() * variants; }
