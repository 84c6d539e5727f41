#include "app/editing.h"

int tilemap_modified;
int heightmap_modified;
ClipboardCell tile_clipboard[3][3];
int32_t height_clipboard[4][4];

void clear_clipboards() {
  for (auto &row : tile_clipboard)
    for (auto &cell : row) cell.texture = -1;
  height_clipboard[0][0] = -1;
}
