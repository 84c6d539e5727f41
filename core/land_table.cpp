#include "core/land_table.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

LandTable lands;

void clear_land_table() {
  lands.file_read = 0;
  lands.land_count = 0;
  memset(lands.lands, 0, sizeof(lands.lands));
  memset(lands.corners, 0, sizeof(lands.corners));
  memset(lands.weight, 0, sizeof(lands.weight));
  memset(lands.turned, 0, sizeof(lands.turned));
  lands.candidates.clear();
  lands.index_key.clear();
  lands.index_first.clear();
  lands.index_count.clear();
  lands.index_total.clear();
  lands.problems.clear();
}

static uint32_t slot_of(LandCorners corners, size_t slots) {
  uint32_t h = corners * 0x9E3779B1u;
  return (h ^ h >> 15) & (uint32_t)(slots - 1);
}

void index_land_table() {
  lands.generation++;
  lands.candidates.clear();
  for (int t = 0; t < MAX_TEXTURES; t++)
    for (int r = 0; r < 4; r++) {
      const LandCorners c = t > 0 ? turned_corners(lands.corners[t], r) : 0;
      lands.turned[4 * t + r] = c;
      if (c && lands.weight[t] > 0) lands.candidates.push_back({c, (int16_t)t, (uint8_t)r, lands.weight[t], 0});
    }
  std::sort(lands.candidates.begin(), lands.candidates.end(), [](const LandCandidate &a, const LandCandidate &b) {
    if (a.corners != b.corners) return a.corners < b.corners;
    return a.texture != b.texture ? a.texture < b.texture : a.rotation < b.rotation;
  });
  // At most a quarter of the slots in use, so that a look-up rarely probes twice.
  size_t slots = 16;
  while (slots < 4 * lands.candidates.size()) slots *= 2;
  lands.index_key.assign(slots, 0);
  lands.index_first.assign(slots, 0);
  lands.index_count.assign(slots, 0);
  lands.index_total.assign(slots, 0);
  for (size_t k = 0; k < lands.candidates.size();) {
    const LandCorners c = lands.candidates[k].corners;
    size_t end = k;
    uint64_t total = 0;
    while (end < lands.candidates.size() && lands.candidates[end].corners == c) {
      total += lands.candidates[end].weight;
      lands.candidates[end++].upto = (uint32_t)total;
    }
    uint32_t s = slot_of(c, slots);
    while (lands.index_key[s]) s = (s + 1) & (uint32_t)(slots - 1);
    lands.index_key[s] = c;
    lands.index_first[s] = (uint32_t)k;
    lands.index_count[s] = (uint32_t)(end - k);
    lands.index_total[s] = total;
    k = end;
  }
}

const LandCandidate *land_candidates(LandCorners corners, uint32_t *count, uint64_t *total) {
  *count = 0;
  *total = 0;
  const size_t slots = lands.index_key.size();
  if (slots == 0 || corners == 0) return nullptr;
  for (uint32_t s = slot_of(corners, slots);; s = (s + 1) & (uint32_t)(slots - 1)) {
    const uint32_t key = lands.index_key[s];
    if (key == 0) return nullptr;
    if (key != corners) continue;
    *count = lands.index_count[s];
    *total = lands.index_total[s];
    return &lands.candidates[lands.index_first[s]];
  }
}

int land_named(const char *name) {
  for (int n = 1; n < MAX_LANDS; n++)
    if (lands.lands[n].name[0] && strcasecmp(lands.lands[n].name, name) == 0) return n;
  return 0;
}

std::string land_corner_names(LandCorners corners) {
  std::string text;
  for (int i = 0; i < LAND_CORNERS; i++) {
    const int n = corner_land(corners, i);
    if (i) text += ", ";
    text += n && lands.lands[n].name[0] ? lands.lands[n].name : "none";
  }
  return text;
}
