// What Ctrl + C copied, for the pastes, fills and brushes that use it: the
// tiles around the cursor (or a selection's), the heights around the cursor
// and a selection's heights. Kept for the run, across terrains; emptied
// with clear_clipboards.
#pragma once

#include <cstdint>

#include "edit/height_edits.h"
#include "edit/tile_stamp.h"

struct Clipboards {
  TileStamp tiles;                    // 3 x 3 empty cells until a copy
  int32_t heights[4][4] = {{-1}};     // [j][i]; empty while [0][0] is -1
  HeightStamp height_stamp;           // the selection's heights at Ctrl + C in height display
};

extern Clipboards clipboards;

void clear_clipboards();
int height_clipboard_empty();
// No cell of the tile clipboard would paste (none has a texture above 0).
int tile_clipboard_empty();
