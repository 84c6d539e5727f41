// One frame of the view from the air as its parts share it: the depths each
// column looks at, the sky, the marks that need to know what nearer ground
// covers, the runways painted on the ground.
#pragma once

#include <allegro.h>

#include <cstdint>
#include <vector>

#include "render/air/air_camera.h"
#include "render/air/air_ground.h"
#include "render/air/air_view.h"

// The depths every column looks at, nearest first, with what each needs.
struct AirSchedule {
  std::vector<double> depth;       // metres ahead
  std::vector<float> rows_per_m;   // focal / depth
  std::vector<uint8_t> level;      // the texture level whose pixels are no smaller than a screen pixel there
  std::vector<uint8_t> shade_level;
  std::vector<uint16_t> haze;      // 0..256 of the haze colour
  std::vector<uint8_t> coarse;     // the nearest sample's height, not the samples interpolated
};

// A point whose column must tell how far up the nearer ground reaches.
struct AirProbe {
  int column;
  int step;   // the first depth at or beyond the point
  int mark;   // which mark
  int cover;  // filled in: the first row the nearer ground covers
};

// A runway symbol laid on the ground: its centre in places, the turn, the
// places its symbol can reach.
struct AirRunway {
  int x, y;
  float cos_h, sin_h;
  int x0, y0, x1, y1;
  const uint32_t *const *lines;
  int w, h;
  uint32_t mask;
};

struct AirFrame {
  AirProjection p;
  AirCamera camera;
  AirLook look;
  const AirGround *ground;
  AirSchedule schedule;
  std::vector<uint32_t> sky;  // by row
  uint32_t haze_colour;
  uint32_t plain;             // the plain beyond the edges, as lit
  uint32_t **lines;
  double x0, y0;  // the camera in sample units
  // Probes by column: those of column c are probes[first[c]] .. probes[first[c + 1] - 1], nearest first.
  std::vector<AirProbe> probes;
  std::vector<int> first;
  // Runways by cell of RUNWAY_CELL samples: cell k's are runway_of[cell_first[k] ..].
  std::vector<AirRunway> runways;
  std::vector<int> cell_first, runway_of;
  std::vector<int> cell_reach;  // by cell, four a cell: the places its runways can cover (x0, y0, x1, y1)
  int cells_x = 0, cells_y = 0;
};

enum { RUNWAY_CELL = 32 };  // samples a side: 8 tiles
static_assert(RUNWAY_CELL * 256 == 1 << 13, "a runway cell is 2^13 places");

// The marks of the target areas: their probes and runways before the
// columns are drawn (the caller's thread), and the marks themselves after.
struct AirMarks;
AirMarks *plan_air_marks(AirFrame &frame);
void draw_air_marks(BITMAP *bmp, const AirFrame &frame, AirMarks *marks);

// The runway painted at a place among those of cell k.
uint32_t runway_in_cell(const AirFrame &f, int k, GroundPlace p, uint32_t colour);

// The runway painted at a place, or the colour given when none is.
inline uint32_t runway_paint(const AirFrame &f, GroundPlace p, uint32_t colour) {
  // RUNWAY_CELL samples of 256 places.
  const int cx = p.x >> 13, cy = p.y >> 13;
  if (cx >= f.cells_x || cy >= f.cells_y) return colour;
  const int k = cy * f.cells_x + cx;
  const int *reach = &f.cell_reach[4 * (size_t)k];
  if (p.x < reach[0] || p.y < reach[1] || p.x > reach[2] || p.y > reach[3]) return colour;
  return runway_in_cell(f, k, p, colour);
}
