// Remembered results of apply_shade for the exports: a picture shaded pixel
// by pixel meets few distinct (colour, shade) pairs, and apply_shade goes
// through two colour-space conversions each time.
#pragma once

#include <cstdint>

#include "core/height_palette.h"

enum { SHADE_CACHE_BITS = 18, SHADE_CACHE_SIZE = 1 << SHADE_CACHE_BITS };

// Direct-mapped: a slot holds the last pair that hashed to it. Keys carry a
// marker bit, so an all-zero slot is empty.
struct ShadeCacheSlot {
  uint64_t key;
  int32_t value;
};
extern ShadeCacheSlot shade_cache[SHADE_CACHE_SIZE];

// Empties the cache; every export starts with it.
void reset_shade_cache();

// The key of a pair and the slot it goes to, apart so that a loop can look
// a few slots ahead.
inline uint64_t shade_key(int colour, uint8_t shade) {
  return ((uint64_t)(uint32_t)colour << 8) | shade | ((uint64_t)1 << 40);
}
inline ShadeCacheSlot *shade_slot(uint64_t key) {
  return &shade_cache[(key * 0x9E3779B97F4A7C15ull) >> (64 - SHADE_CACHE_BITS)];
}
inline int shade_in_slot(ShadeCacheSlot *slot, uint64_t key, int colour, uint8_t shade) {
  if (slot->key != key) {
    slot->key = key;
    slot->value = apply_shade(colour, shade);
  }
  return slot->value;
}

// apply_shade(colour, shade) for a shade byte, remembered.
inline int cached_shade(int colour, uint8_t shade) {
  const uint64_t key = shade_key(colour, shade);
  return shade_in_slot(shade_slot(key), key, colour, shade);
}
