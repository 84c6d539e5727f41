// The lands file reader on arbitrary text: whatever it keeps must hold the
// land table's invariants, and every problem must be one line naming its
// section and line.
#include <cstring>
#include <strings.h>

#include "core/land_table.h"
#include "files/land_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void check_lands() {
  int named = 0;
  for (int n = 1; n < MAX_LANDS; n++) {
    const Land &l = lands.lands[n];
    const size_t length = strnlen(l.name, LAND_NAME_SIZE);
    if (length >= LAND_NAME_SIZE) __builtin_trap();
    if (!length) continue;
    named++;
    if (strchr(l.name, ',')) __builtin_trap();
    for (int m = 1; m < n; m++) {
      const Land &o = lands.lands[m];
      if (!o.name[0]) continue;
      if (strcasecmp(o.name, l.name) == 0) __builtin_trap();
      if (o.r == l.r && o.g == l.g && o.b == l.b) __builtin_trap();
    }
    if (land_named(l.name) != n) __builtin_trap();
  }
  if (lands.lands[0].name[0] || named != lands.land_count) __builtin_trap();
  // Every corner a declared land, every weight within its limit, and each
  // turn of a texture's corners found among the candidates of its corners.
  size_t expected = 0;
  for (int t = 0; t < MAX_TEXTURES; t++) {
    const LandCorners c = lands.corners[t];
    if (lands.weight[t] > LAND_WEIGHT_MAX) __builtin_trap();
    if (!c) continue;
    if (t == 0 || !corners_known(c)) __builtin_trap();
    for (int i = 0; i < LAND_CORNERS; i++)
      if (!lands.lands[corner_land(c, i)].name[0]) __builtin_trap();
    for (int r = 0; r < 4; r++) {
      if (lands.turned[4 * t + r] != turned_corners(c, r)) __builtin_trap();
      if (!lands.weight[t]) continue;
      expected++;
      uint32_t count = 0;
      uint64_t total = 0;
      const LandCandidate *k = land_candidates(turned_corners(c, r), &count, &total);
      bool met = false;
      uint64_t sum = 0;
      for (uint32_t i = 0; k && i < count; i++) {
        if (k[i].corners != turned_corners(c, r)) __builtin_trap();
        sum += k[i].weight;
        if (k[i].upto != sum) __builtin_trap();
        met |= k[i].texture == t && k[i].rotation == r;
      }
      if (!met || sum != total) __builtin_trap();
    }
  }
  if (lands.candidates.size() != expected) __builtin_trap();
  for (const LandProblem &p : lands.problems)
    if (p.what.find('\n') != std::string::npos || p.what.find('\r') != std::string::npos ||
        p.what.find(", line ") == std::string::npos)
      __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  const int result = read_land_text((const char *)data, (long)size);
  if ((result == 0) != lands.problems.empty() || !lands.file_read) __builtin_trap();
  check_lands();
  // The textures a copy names are those whose sections give Corners.
  for (int t : land_file_textures((const char *)data, (long)size))
    if (t < 1 || t >= MAX_TEXTURES) __builtin_trap();
  return 0;
}
