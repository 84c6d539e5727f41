// Finding the way on a big terrain: the overview, going to a tile or to a
// target area, and the ruler; the key table's actions and what they compute.
#pragma once

#include <vector>

#include "app/key_table.h"

void toggle_overview(KeyCommand &c);
void leave_overview(KeyCommand &c);
void go_to_tile(KeyCommand &c);
void find_target_area(KeyCommand &c);

// The areas (numbers 1..) whose name holds typed, in any case, in number order.
void filter_target_areas(const char *typed, std::vector<int> *areas);

// Reads "x, y" as the status strip counts (rows from the south edge) into
// the tile (x, y) of the map: 0 with it; 1 unreadable, 2 off the map.
int read_tile_place(const char *text, int *x, int *y, long *typed_x, long *typed_y);

enum { RULER_TEXT_SIZE = 32 };

// "12.4 km 047": from the centre of tile (x, y) to the point (east, north)
// metres, bearing clockwise from north. 0 with the text.
int ruler_text(int x, int y, long long east, long long north, char *text, int size);
