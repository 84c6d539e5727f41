// The tile clipboard, a stamp of any size, and the rules by which one tile
// is changed: the single-tile keys and every area command share them, so
// that each tile of an area changes exactly as the key changes one tile.
#pragma once

#include <cstdint>
#include <vector>

#include "core/terrain_model.h"

struct StampCell {
  int16_t texture = -1;  // -1: no tile (off the map when copied)
  uint8_t rotation = 0;
  uint8_t tag = 0;
  uint8_t extra = 0;  // the tile's third extra byte
};

// w x h cells, row by row: cell (i, j) at cells[j * w + i].
struct TileStamp {
  int w = 3, h = 3;
  std::vector<StampCell> cells = std::vector<StampCell>(9);
  const StampCell &at(int i, int j) const { return cells[(size_t)j * w + i]; }
  const StampCell &centre() const { return at(w / 2, h / 2); }
  // No cell would paste: none has a texture above 0.
  bool pastes_nothing() const {
    for (const StampCell &cell : cells)
      if (cell.texture > 0) return false;
    return true;
  }
};

// The tiles of the rectangle (inclusive corners) as a stamp; tiles off the
// map become empty cells.
void copy_stamp(TileStamp *stamp, int left, int top, int right, int bottom);

// The paste rule: only a cell with a texture above 0 is pasted; all three
// extra bytes get the cell's extra value.
inline void paste_cell(const StampCell &cell, Tile &tile) {
  if (cell.texture <= 0) return;
  tile.texture = cell.texture;
  tile.rotation = cell.rotation;
  tile.tag = cell.tag;
  tile.extra[0] = tile.extra[1] = tile.extra[2] = cell.extra;
}

inline void raise_texture(Tile &tile) {
  if (tile.texture < texture_table.texture_count) tile.texture++;
}
inline void lower_texture(Tile &tile) {
  if (tile.texture > 1) tile.texture--;
}
inline void turn_tile(Tile &tile) { tile.rotation = tile.rotation < 3 ? tile.rotation + 1 : 0; }
inline void next_tile_tag(Tile &tile) { tile.tag = tile.tag < 2 ? tile.tag + 1 : 0; }
