// Sea level and lands made to agree, both ways: the sea's land on the corner
// points from the heights, and the heights of the sea's tiles from the lands.
//
// Corner point (x, y) of the land grid (land_grid.h) is where four tiles
// meet, and with them four height samples, each a 500 m cell: (4x - 1,
// 4y - 1) north-west of it, (4x, 4y - 1) north-east, (4x - 1, 4y)
// south-west and (4x, 4y) south-east, samples counted [X][Y] as the height
// map keeps them, Y growing southward. On the map's edges only the samples
// on the map count (two, or one at a corner of the map).
//
// A tile is the sea's when all four of its corner points have the sea's land.
#pragma once

#include <cstdint>
#include <vector>

#include "edit/land_edits.h"

// The highest of the samples around corner point (x, y) that lie on the
// map, by the rule above. Needs the height map.
int highest_sample_around(int x, int y);

struct SeaRule {
  int sea;    // the sea's land, 1..255
  int level;  // metres: a point whose samples are all at or below it is sea
  int shore;  // the land a point that leaves the sea takes; 0: its neighbours'
};

// The lands of the points for the rule, points[x * (rows + 1) + y], 0 where
// a point stays as it is: every point whose samples are at or below the
// level gets the sea; every other point of the sea's land gets the shore
// land, or else the land most of its eight neighbour points have (a tie to
// the lower number), neither the sea nor no land counting; such points
// inside a wider stretch take theirs ring by ring from the points decided
// before them. A point no other land reaches keeps the sea and is counted
// in stranded. Needs the height map.
struct SeaPoints {
  std::vector<uint8_t> points;
  long long sea_points = 0;  // points at or below the level
  long long stranded = 0;
};
SeaPoints sea_points_from_heights(const SeaRule &rule);

// The points laid on the map (land_set_all_points), the tiles retiled; as
// one history step ("lands from heights, N points") when stepped.
LandResult lands_from_heights(const SeaPoints &sea, int stepped);

// Every sample of the sea's tiles gets depth (0..MAX_HEIGHT), the others
// stay; as one history step ("heights from lands, N tiles") when stepped.
struct SeaBedResult {
  long long sea_tiles = 0;  // tiles whose corners are all the sea's
  long long tiles = 0;      // tiles with a sample changed
  long long samples = 0;    // samples changed
  int stepped = 0;
};
SeaBedResult heights_from_lands(int sea, int depth, int stepped);
