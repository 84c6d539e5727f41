// A rectangle of tiles (or of samples) with inclusive corners, as selections,
// brushes and edits name the places they cover.
#pragma once

#include <algorithm>

#include "core/terrain_model.h"

struct TileRect {
  int left, top, right, bottom;
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};

// rect cut to the map; false when nothing of it is left.
inline bool clip_to_map(TileRect &r) {
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, map_columns() - 1);
  r.bottom = std::min(r.bottom, map_rows() - 1);
  return r.left <= r.right && r.top <= r.bottom;
}
