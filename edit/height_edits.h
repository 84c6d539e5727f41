// Commands on the heights of many tiles at once, each one step of the
// history, and the rules by which one tile's samples change: the single-tile
// keys and the area commands share them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "edit/area_edits.h"

// A raise stops at the format's highest height and never lowers a sample
// above it; a lower stops at 0.
inline uint16_t raised_height(uint16_t h) {
  const int32_t step = height_map.height_step, top = MAX_HEIGHT;
  if ((int32_t)h < top - step) return (uint16_t)(h + step);
  return (uint16_t)std::max((int32_t)h, top);
}
inline uint16_t lowered_height(uint16_t h) {
  const int32_t step = height_map.height_step;
  return (uint16_t)((int32_t)h > step ? h - step : 0);
}

// A quarter turn clockwise with north up: the north-west sample goes north-east.
void turn_tile_samples(int x, int y);
// The 16 samples of the height clipboard ([j][i]) on tile (x, y).
void paste_tile_samples(int x, int y, const int32_t samples[4][4]);

enum HeightRule {
  HEIGHTS_RAISE,   // Page Up on each tile
  HEIGHTS_LOWER,   // Page Down
  HEIGHTS_TURN,    // R
  HEIGHTS_PASTE,   // F: the height clipboard on each tile
  HEIGHTS_LEVEL,   // L: every sample the mean
  HEIGHTS_SMOOTH,  // S: every sample the mean of its 3 x 3 neighbourhood
  HEIGHTS_SET,     // H: every sample one value
  HEIGHTS_RAMP,    // G: an even slope between the means of the two far sides
};

// The rule on the samples of rect's tiles (on the map); value: the height
// of HEIGHTS_SET, samples: the clipboard of HEIGHTS_PASTE.
void heights_apply(int rule, const TileRect &rect, int value, const int32_t samples[4][4]);

// Copied heights: w x h tiles, 4w columns of 4h samples, column by column.
struct HeightStamp {
  int w = 0, h = 0;
  std::vector<uint16_t> samples;
  uint16_t at(int sx, int sy) const { return samples[(size_t)sx * 4 * h + sy]; }
};

void copy_height_stamp(HeightStamp *stamp, const TileRect &rect);
// Every cell with cell (0, 0) on tile (x0, y0); cells off the map are skipped.
void heights_stamp(const HeightStamp &stamp, int x0, int y0);
// rect filled with the stamp repeated from its top-left tile.
void heights_fill(const HeightStamp &stamp, const TileRect &rect);
