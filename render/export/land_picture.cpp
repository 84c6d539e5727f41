#include "render/export/land_picture.h"

#include <cstdint>

#include "core/land_table.h"
#include "core/terrain_model.h"
#include "edit/land_grid.h"

namespace {

struct LandRows {
  uint32_t bgr[MAX_LANDS];  // file bytes of each land's colour; 0 for none
};

LandRows land_rows;

void produce_rows(const void *context, int y0, int y1, unsigned char *out, long row_bytes) {
  const LandRows &rows = *(const LandRows *)context;
  const int width = map_columns() + 1;
  for (int k = 0; k < y1 - y0; k++) {
    const int y = y1 - 1 - k;
    unsigned char *row = out + k * row_bytes;
    int x = 0;
    // Four bytes a pixel, the next pixel overwriting the fourth.
    for (; x + 1 < width; x++) put_bgr4(rows.bgr[land_grid[x][y]], row + 3 * x);
    put_bgr(rows.bgr[land_grid[x][y]], row + 3 * x);
  }
}

}  // namespace

RowSource land_row_source() {
  read_land_grid();
  for (int n = 0; n < MAX_LANDS; n++) {
    const Land &land = lands.lands[n];
    land_rows.bgr[n] = n == 0 ? 0 : (uint32_t)land.b | (uint32_t)land.g << 8 | (uint32_t)land.r << 16;
  }
  return RowSource{map_columns() + 1, map_rows() + 1, 24, nullptr, produce_rows, &land_rows};
}
