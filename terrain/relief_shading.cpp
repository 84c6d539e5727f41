#include <cmath>
#include <cstdint>
#include <cstring>

#include "terrain/height_palette.h"
#include "terrain/terrain_model.h"

namespace {

// Light from the north-west, 30 degrees above the horizon, scaled to 255.9.
enum { LIGHT_X = -142, LIGHT_Y = 169, LIGHT_Z = 127 };

// One column X of the shading, rows 1 to rows - 2, from the height columns
// west (X - 1), here and east (X + 1). Heights are contiguous along Y.
void shade_column(const uint16_t *west, const uint16_t *here, const uint16_t *east, uint8_t *out,
                  int rows, int64_t max_height) {
  for (int y = 1; y < rows - 1; y++) {
    int64_t west_sum = (int64_t)west[y - 1] + west[y] + west[y + 1];
    int64_t east_sum = (int64_t)east[y - 1] + east[y] + east[y + 1];
    int64_t south_sum = (int64_t)west[y + 1] + here[y + 1] + east[y + 1];
    int64_t north_sum = (int64_t)west[y - 1] + here[y - 1] + east[y - 1];
    int64_t gx = (west_sum - east_sum) * 255 / max_height;
    int64_t gy = (south_sum - north_sum) * 255 / max_height;
    int s;
    if (gx == 0 && gy == 0) {
      s = LIGHT_Z;
    } else {
      int64_t d = gx * LIGHT_X + gy * LIGHT_Y + 255 * LIGHT_Z;
      s = d < 0 ? 0 : (int)((double)d / std::sqrt((double)(gx * gx + gy * gy + 65025)));
    }
    out[y] = (uint8_t)s;
  }
}

}  // namespace

void compute_shade_map() {
  int columns = height_map.samples_x, rows = height_map.samples_y;
  if (columns > MAX_SAMPLES) columns = MAX_SAMPLES;
  if (rows > MAX_SAMPLES) rows = MAX_SAMPLES;
  if (columns <= 0 || rows <= 0) return;
  int64_t max_height = height_map.max_height;

  if (columns < 3 || rows < 3 || max_height <= 0) {
    // No inner samples to take a slope from, or a flat map: level ground.
    for (int x = 0; x < columns; x++) memset(shade_map[x], LIGHT_Z, (size_t)rows);
    return;
  }

  for (int x = 1; x < columns - 1; x++) {
    shade_column(height_map.heights[x - 1], height_map.heights[x], height_map.heights[x + 1],
                 shade_map[x], rows, max_height);
    shade_map[x][0] = shade_map[x][1];
    shade_map[x][rows - 1] = shade_map[x][rows - 2];
  }
  memcpy(shade_map[0], shade_map[1], (size_t)rows);
  memcpy(shade_map[columns - 1], shade_map[columns - 2], (size_t)rows);
}
