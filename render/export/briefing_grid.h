// The briefing map's reference system: the grid of round square cells
// lettered from the west and numbered from the north, the grid square of a
// position, the scale bar's steps and a runway's designators. Plain rules
// on numbers, apart from any drawing.
#pragma once

enum { BRIEFING_GRID_NAME_SIZE = 16 };

// Metres per tile and per nautical mile.
enum { BRIEFING_TILE_METRES = 2000, BRIEFING_NAUTICAL_MILE = 1852 };

// The cell size in km for a terrain whose longer side is longer_km: among
// 5, 10, 20, 25, 50 and 100 km the smallest that gives 6 to 14 cells
// (partial cells counted) along that side. Terrains too small or too large
// for any of them continue the same round series (1, 2 km; 200, 250,
// 500 km ...) and take the size whose count comes nearest to that range.
int briefing_cell_km(double longer_km);

// The cells along a side of side_km: partial ones count.
int briefing_cells(double side_km, int cell_km);

// Column letters from the west: A .. Z, then AA, AB ... (as many letters as
// needed); out holds BRIEFING_GRID_NAME_SIZE bytes.
void briefing_column_name(int column, char *out);

// The grid square ("D4") of a position in metres east and north of the
// south-west corner of a terrain of width_m x height_m; 1 with out empty
// when the position lies outside the terrain.
int briefing_grid_square(double east_m, double north_m, double width_m, double height_m, int cell_km,
                         char *out);

// The runway's designators from its heading (degrees clockwise from
// north): the two ends' numbers, the lower first, "09/27"; a heading of 0
// or 360 is runway 36, so "18/36".
void briefing_runway_designators(int heading, char *out);

// The step of a scale bar of `segments` equal steps that fits in at most
// `longest` units: the largest 1, 2 or 5 times a power of ten; 0 when not
// even a step of 0.001 fits.
double briefing_scale_step(double longest, int segments);
