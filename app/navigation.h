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

// Reads a place typed for Ctrl + G into the tile (x, y) of the map: a tile
// "x, y" as above; kilometres from the west and south edges, "33 km, 47 km"
// or "33.5, 47 km" (the strip's km: its tile's centre); or a latitude and
// longitude, "43.2N 19.1E", "43°12'N 19°06'E" or "43d12'N 19d06'E", for a
// terrain with a place on the Earth. GOTO_FOUND, or another outcome with
// the strip's line in why ("43.2000N 19.1000E is off the terrain: 14 km
// west of it.").
enum GoToOutcome { GOTO_FOUND = 0, GOTO_UNREADABLE = 1, GOTO_OFF_MAP = 2, GOTO_NO_PLACE = 3 };
int read_go_to(const char *text, int *x, int *y, char *why, int size);

enum { RULER_TEXT_SIZE = 64 };

// "12.4 km 047": from the centre of tile (x, y) to the point (east, north)
// metres, bearing clockwise from the grid's north; for a terrain with a
// place on the Earth then the geodesic's length and its bearing from true
// north at the tile: "12.4 km 047, true 12.4 km 045". 0 with the text.
int ruler_text(int x, int y, long long east, long long north, char *text, int size);
