// Remembered results of apply_shade for the exports: a picture shaded pixel
// by pixel meets few distinct (colour, shade) pairs, and apply_shade goes
// through two colour-space conversions each time.
#pragma once

#include <cstdint>

#include "terrain/height_palette.h"

enum { SHADE_CACHE_BITS = 14, SHADE_CACHE_SIZE = 1 << SHADE_CACHE_BITS };

// Direct-mapped: a slot holds the last pair that hashed to it. Keys carry a
// marker bit, so an all-zero slot is empty.
extern uint64_t shade_cache_keys[SHADE_CACHE_SIZE];
extern int32_t shade_cache_values[SHADE_CACHE_SIZE];

// Empties the cache; every export starts with it.
void reset_shade_cache();

// apply_shade(colour, shade) for a shade byte, remembered.
inline int cached_shade(int colour, uint8_t shade) {
  const uint64_t key = ((uint64_t)(uint32_t)colour << 8) | shade | ((uint64_t)1 << 40);
  const uint32_t slot = (uint32_t)((key * 0x9E3779B97F4A7C15ull) >> (64 - SHADE_CACHE_BITS));
  if (shade_cache_keys[slot] == key) return shade_cache_values[slot];
  const int result = apply_shade(colour, shade);
  shade_cache_keys[slot] = key;
  shade_cache_values[slot] = result;
  return result;
}
