#include <cmath>
#include <cstdint>
#include <cstring>

#include "terrain/relief_shading.h"
#include "terrain/terrain_model.h"

namespace {

// Light from the north-west, 30 degrees above the horizon, scaled to 255.9.
enum { LIGHT_X = -142, LIGHT_Y = 169, LIGHT_Z = 127 };

// Differences of three samples within 0..max_height lie within
// +-3 max_height, so their gradients (difference * 255 / max_height) lie
// within +-765. Both steps go through tables; samples above max_height
// (left by a failed load) take the long way.
enum { SHADE_SPAN = 3 * MAX_HEIGHT, SHADE_SLOPE = 3 * 255, SHADE_SIDE = 2 * SHADE_SLOPE + 1 };

// Gradient of each difference, offset by SHADE_SLOPE; rebuilt for every max_height.
int16_t gradient_index[2 * SHADE_SPAN + 1];

// Shade of each pair of gradients, [gx][gy] offset by SHADE_SLOPE; built once.
uint8_t shade_of[SHADE_SIDE * SHADE_SIDE];
bool shade_table_ready = false;

int shade_for(int64_t gx, int64_t gy) {
  if (gx == 0 && gy == 0) return LIGHT_Z;
  int64_t d = gx * LIGHT_X + gy * LIGHT_Y + 255 * LIGHT_Z;
  if (d < 0) return 0;
  return (int)((double)d / std::sqrt((double)(gx * gx + gy * gy + 65025)));
}

void build_shade_table() {
  for (int gx = -SHADE_SLOPE; gx <= SHADE_SLOPE; gx++)
    for (int gy = -SHADE_SLOPE; gy <= SHADE_SLOPE; gy++)
      shade_of[(gx + SHADE_SLOPE) * SHADE_SIDE + gy + SHADE_SLOPE] = (uint8_t)shade_for(gx, gy);
  shade_table_ready = true;
}

// One column X of the shading, rows 1 to rows - 2, from the height columns
// west (X - 1), here and east (X + 1). Heights are contiguous along Y.
void shade_column(const uint16_t *west, const uint16_t *here, const uint16_t *east, uint8_t *out,
                  int rows, int span, int64_t max_height) {
  const unsigned limit = 2u * (unsigned)span;
  for (int y = 1; y < rows - 1; y++) {
    int a = (west[y - 1] + west[y] + west[y + 1]) - (east[y - 1] + east[y] + east[y + 1]);
    int b = (west[y + 1] + here[y + 1] + east[y + 1]) - (west[y - 1] + here[y - 1] + east[y - 1]);
    if ((unsigned)(a + span) <= limit && (unsigned)(b + span) <= limit) {
      out[y] = shade_of[gradient_index[a + span] * SHADE_SIDE + gradient_index[b + span]];
    } else {
      out[y] = (uint8_t)shade_for((int64_t)a * 255 / max_height, (int64_t)b * 255 / max_height);
    }
  }
}

}  // namespace

void compute_shade_map() {
  const int columns = height_map.samples_x, rows = height_map.samples_y;
  if (columns <= 0 || rows <= 0) return;
  int64_t max_height = height_map.max_height;

  if (columns < 3 || rows < 3 || max_height <= 0) {
    // No inner samples to take a slope from, or a flat map: level ground.
    for (int x = 0; x < columns; x++) memset(shade_map[x], LIGHT_Z, (size_t)rows);
    return;
  }

  if (!shade_table_ready) build_shade_table();
  int span = max_height <= MAX_HEIGHT ? 3 * (int)max_height : 0;
  for (int d = -span; d <= span; d++)
    gradient_index[d + span] = (int16_t)(d * 255 / max_height + SHADE_SLOPE);

  for (int x = 1; x < columns - 1; x++) {
    shade_column(height_map.heights[x - 1], height_map.heights[x], height_map.heights[x + 1],
                 shade_map[x], rows, span, max_height);
    shade_map[x][0] = shade_map[x][1];
    shade_map[x][rows - 1] = shade_map[x][rows - 2];
  }
  memcpy(shade_map[0], shade_map[1], (size_t)rows);
  memcpy(shade_map[columns - 1], shade_map[columns - 2], (size_t)rows);
}
