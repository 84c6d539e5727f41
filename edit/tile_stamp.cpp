#include "edit/tile_stamp.h"

void copy_stamp(TileStamp *stamp, int left, int top, int right, int bottom) {
  stamp->w = right - left + 1;
  stamp->h = bottom - top + 1;
  stamp->cells.assign((size_t)stamp->w * stamp->h, StampCell());
  for (int x = left; x <= right; x++)
    for (int y = top; y <= bottom; y++) {
      if (!tile_on_map(x, y)) continue;
      const Tile &tile = tile_at(x, y);
      StampCell &cell = stamp->cells[(size_t)(y - top) * stamp->w + (x - left)];
      cell.texture = tile.texture;
      cell.rotation = tile.rotation;
      cell.tag = tile.tag;
      cell.extra = tile.extra[2];
    }
}
