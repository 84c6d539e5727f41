// The square planning maps: the shaded texture picture stretched to
// E x E pixels (E = 512, 1024, 2048 for kinds 8, 9, 10), a grid of ten
// square cells along the longer side and the target areas. A terrain that
// is not square keeps its proportions, centred in the square with the
// frame's colour around it.
#pragma once

#include <allegro.h>

// f = 1, 2, 4 for kinds 8, 9, 10.
int planning_scale(int kind);

// The finished map, or NULL when a bitmap cannot be had. Kind 8 first
// recomputes the relief; kinds 9 and 10 use it as it is.
BITMAP *make_planning_map(int kind);

// The relief of the terrain's heights at every sample the three planning
// maps pick, kept for the maps that follow. The embossed export and the
// first planning map recompute it; clearing sets it to 0 as at start-up.
// The planning maps never need the whole relief of the terrain.
void refresh_planning_relief();
void clear_planning_relief();

// Where the terrain lies on an E x E map: the whole map for a square one.
struct PlanningFrame {
  int x, y, w, h;
};
PlanningFrame planning_frame(int size);

// Where an area position (metres east and north of the south-west corner)
// lies on the map; 1 when the terrain has no tiles to place it on.
int planning_position(float pos_x, float pos_y, int f, int *px, int *py);
