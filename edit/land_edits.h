// Painting lands: commands that set the land of corner points of the land
// grid (land_grid.h) and give the tiles whose corner points changed, and
// only those, a tile showing their corners (choose_land_tile). A tile with
// a corner of no land is left as it is. Each command is one step of the
// history holding both the tiles and the points, so undo and redo restore
// the two together. Nothing happens without lands (lands_in_use()).
#pragma once

#include <string>

#include "core/land_table.h"
#include "edit/area_edits.h"

enum { LAND_MISSING_KEPT = 10 };

// Corners some tiles needed that no texture shows, and how many tiles.
struct LandMissing {
  LandCorners corners;
  long long tiles;
};

// What a land command did, for the strip ("312 tiles; 4 without a
// transition: Water, Sand, Sand, Grass", land_result_text) and the command
// line (the first LAND_MISSING_KEPT corner combinations with counts).
struct LandResult {
  long long tiles_changed = 0;   // tiles given another texture or rotation
  long long points_changed = 0;  // grid points given another land
  long long missing = 0;         // tiles given corners no texture shows
  int missing_kinds = 0;         // entries of first_missing in use
  LandMissing first_missing[LAND_MISSING_KEPT] = {};  // in the order met
  int stepped = 0;               // 1 when a history step was kept
};

// Every corner point of the tiles of rect (clipped to the map) gets land:
// undone as "land fill of W x H tiles".
LandResult land_fill(int land, const TileRect &rect);

// The points 4-connected to point (x, y) that have its land (0 included),
// within the corner points of the tiles of *within when given, get land:
// "land flood of N tiles", N the tiles changed. Nothing when (x, y) lies
// off the map's points or outside within, or has land already.
LandResult land_flood(int land, int x, int y, const TileRect *within);

// A land brush stroke: begin, then squares of size x size tiles along each
// line (the tiles of stroke_line's rule in area_edits.h), each of their
// corner points getting the land, the tiles around changed points retiled
// at once so that each frame shows them; end keeps the step ("land stroke
// of N tiles", N the tiles changed) and says what the stroke did.
void land_stroke_begin(int land);
void land_stroke_line(int x0, int y0, int x1, int y1, int size);
LandResult land_stroke_end();

// Every point of the map takes the land at points[x * (rows + 1) + y]
// (column by column, (columns + 1) x (rows + 1) of them), 0 leaving the
// point as it is: a picture of lands laid on the map. No step of the
// history: the import that lays it writes the map at once, with nothing to
// undo, and a copy of the whole map for a step would cost it a third of its
// time.
LandResult land_set_all_points(const uint8_t *points);

// The same as one step of the history of the given land action, its
// rectangle the points that change: for a whole-map command in the window.
LandResult land_set_points_step(int action, const uint8_t *points);

// "312 tiles" or "312 tiles; 4 without a transition: Water, Sand, Sand,
// Grass" (the first corners no texture shows).
std::string land_result_text(const LandResult &result);
