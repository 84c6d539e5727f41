// The target areas in the view from the air: an upright mark in its side's
// colour over each area, its name above, a short one over each target when
// the overlay asks for them, and the airfields' runway symbols laid on the
// ground. A mark shows where it rises above the nearer ground, which its
// column tells through a probe at the mark's depth.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/terrain_model.h"
#include "render/air/air_frame.h"
#include "ui/display.h"

namespace {

enum {
  AREA_POLE = 26,    // pixels at the interface's scale
  TARGET_POLE = 9,
  FLAG_W = 8, FLAG_H = 5,
  TARGET_REACH_M = 30000,  // targets farther off get no mark
  NEAREST_MARK_M = 20,
};

struct Mark {
  int area, target;  // target 0: the area's own mark
  int column;
  double depth, base;  // base: the continuous row of its foot
  int probe;
};

}  // namespace

struct AirMarks {
  std::vector<Mark> marks;
};

namespace {

// The mark of a point east, north (metres) when it lies ahead within reach.
bool place_mark(AirFrame &f, double east, double north, double reach, Mark *m) {
  const AirProjection &p = f.p;
  const double de = east - f.camera.east, dn = north - f.camera.north;
  const double z = de * p.forward_east + dn * p.forward_north, x = de * p.right_east + dn * p.right_north;
  if (!(z > NEAREST_MARK_M && z < reach)) return false;
  const double column = std::floor(p.width / 2.0 + x / z * p.focal);
  if (!(column >= 0 && column < p.width)) return false;
  const double g = air_ground_height(east, north, f.ground->exaggeration);
  m->column = (int)column;
  m->depth = z;
  m->base = p.horizon_row + (f.camera.altitude - g) * p.focal / z;
  return true;
}

const TargetArea *area_of(int n) { return &targets.areas[n]; }

void plan_runways(AirFrame &f, int areas, double reach) {
  const AirGround &g = *f.ground;
  for (int n = 1; n <= areas; n++) {
    const TargetArea &area = *area_of(n);
    if (area.target_count < 1 || area.runway_number < 1 || area.runway_number > RUNWAY_SYMBOLS) continue;
    BITMAP *symbol = display.runway_symbols[area.runway_number - 1];
    if (!symbol || !is_memory_bitmap(symbol) || bitmap_color_depth(symbol) != 32) continue;
    const double east = (double)drawn_metres(area.pos_x) + drawn_metres(area.targets[1].offset_x);
    const double north = (double)drawn_metres(area.pos_y) + drawn_metres(area.targets[1].offset_y);
    if (!(std::hypot(east - f.camera.east, north - f.camera.north) < reach + 5000)) continue;
    const double a = area.targets[1].heading * M_PI / 180;
    // Four places a symbol pixel; its circle bounds what it can cover.
    const double x = (sample_x_of(east) + 0.5) * 256, y = (sample_y_of(north, g.tiles_y) + 0.5) * 256;
    const double reach = 2 * std::hypot(symbol->w, symbol->h) + 8;
    if (!(std::fabs(x) < 1e9 && std::fabs(y) < 1e9)) continue;
    f.runways.push_back({(int)x, (int)y, (float)std::cos(a), (float)std::sin(a), (int)(x - reach), (int)(y - reach),
                         (int)(x + reach), (int)(y + reach), (const uint32_t *const *)symbol->line, symbol->w,
                         symbol->h, (uint32_t)bitmap_mask_color(symbol)});
  }
  if (f.runways.empty()) return;
  // Each runway goes into every cell its symbol's circle touches.
  f.cells_x = (4 * g.tiles_x + RUNWAY_CELL - 1) / RUNWAY_CELL;
  f.cells_y = (4 * g.tiles_y + RUNWAY_CELL - 1) / RUNWAY_CELL;
  f.cell_first.assign((size_t)f.cells_x * f.cells_y + 1, 0);
  std::vector<int> cells;  // pairs: cell, runway
  for (size_t k = 0; k < f.runways.size(); k++) {
    const AirRunway &r = f.runways[k];
    const int x0 = std::max(0, (int)std::floor(r.x0 / 8192.0)), x1 = std::min(f.cells_x - 1, (int)std::floor(r.x1 / 8192.0));
    const int y0 = std::max(0, (int)std::floor(r.y0 / 8192.0)), y1 = std::min(f.cells_y - 1, (int)std::floor(r.y1 / 8192.0));
    for (int y = y0; y <= y1; y++)
      for (int x = x0; x <= x1; x++) cells.push_back(y * f.cells_x + x), cells.push_back((int)k);
  }
  // An empty cell reaches nothing.
  f.cell_reach.assign(4 * ((size_t)f.cells_x * f.cells_y), 0);
  for (size_t k = 0; k < f.cell_reach.size(); k += 4) f.cell_reach[k] = f.cell_reach[k + 1] = 1 << 30;
  for (size_t i = 0; i < cells.size(); i += 2) {
    int *reach = &f.cell_reach[4 * (size_t)cells[i]];
    const AirRunway &r = f.runways[(size_t)cells[i + 1]];
    reach[0] = std::min(reach[0], r.x0), reach[1] = std::min(reach[1], r.y0);
    reach[2] = std::max(reach[2], r.x1), reach[3] = std::max(reach[3], r.y1);
  }
  for (size_t i = 0; i < cells.size(); i += 2) f.cell_first[(size_t)cells[i] + 1]++;
  for (size_t k = 1; k < f.cell_first.size(); k++) f.cell_first[k] += f.cell_first[k - 1];
  f.runway_of.assign(cells.size() / 2, 0);
  std::vector<int> at(f.cell_first.begin(), f.cell_first.end() - 1);
  for (size_t i = 0; i < cells.size(); i += 2) f.runway_of[(size_t)at[(size_t)cells[i]]++] = cells[i + 1];
}

}  // namespace

uint32_t runway_in_cell(const AirFrame &f, int k, GroundPlace p, uint32_t colour) {
  for (int n = f.cell_first[(size_t)k]; n < f.cell_first[(size_t)k + 1]; n++) {
    const AirRunway &r = f.runways[(size_t)f.runway_of[(size_t)n]];
    if (p.x < r.x0 || p.x > r.x1 || p.y < r.y0 || p.y > r.y1) continue;
    // Symbol pixels are 2000 / 256 m, a place 500 / 256 m: four places a pixel.
    const float dx = (p.x - r.x) * 0.25f, dy = (p.y - r.y) * 0.25f;
    const float u = dx * r.cos_h + dy * r.sin_h + r.w / 2, v = -dx * r.sin_h + dy * r.cos_h + r.h / 2;
    if (!(u >= 0 && v >= 0 && u < r.w && v < r.h)) continue;
    const uint32_t c = r.lines[(int)v][(int)u];
    if (c != r.mask) return c;
  }
  return colour;
}

AirMarks *plan_air_marks(AirFrame &f) {
  static AirMarks marks;
  marks.marks.clear();
  const int areas = std::min(targets.area_count, MAX_AREAS - 1);
  const double reach = f.schedule.depth.empty() ? 0 : f.schedule.depth.back();
  plan_runways(f, areas, reach);
  for (int n = 1; n <= areas; n++) {
    const TargetArea &area = *area_of(n);
    Mark m{n, 0, 0, 0, 0, 0};
    if (place_mark(f, drawn_metres(area.pos_x), drawn_metres(area.pos_y), reach, &m)) marks.marks.push_back(m);
    if (f.look.overlay_mode < 1) continue;
    const int shown = std::min(area.target_count, MAX_TARGETS - 1);
    for (int k = 1; k <= shown; k++) {
      const double east = (double)drawn_metres(area.pos_x) + drawn_metres(area.targets[k].offset_x);
      const double north = (double)drawn_metres(area.pos_y) + drawn_metres(area.targets[k].offset_y);
      Mark t{n, k, 0, 0, 0, 0};
      if (place_mark(f, east, north, std::min(reach, (double)TARGET_REACH_M), &t)) marks.marks.push_back(t);
    }
  }
  // The probes by column, nearest first; each mark keeps its probe's place.
  std::vector<size_t> order(marks.marks.size());
  for (size_t k = 0; k < order.size(); k++) order[k] = k;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const Mark &x = marks.marks[a], &y = marks.marks[b];
    return x.column != y.column ? x.column < y.column : x.depth < y.depth;
  });
  const std::vector<double> &depth = f.schedule.depth;
  f.probes.clear();
  for (size_t k : order) {
    Mark &m = marks.marks[k];
    const int step = (int)(std::lower_bound(depth.begin(), depth.end(), m.depth) - depth.begin());
    m.probe = (int)f.probes.size();
    f.probes.push_back({m.column, step, (int)k, 0});
    f.first[(size_t)m.column + 1]++;
  }
  for (size_t c = 1; c < f.first.size(); c++) f.first[c] += f.first[c - 1];
  return &marks;
}

void draw_air_marks(BITMAP *bmp, const AirFrame &f, AirMarks *marks) {
  const int saved_clip = get_clip_state(bmp);
  int cl, ct, cr, cb;
  get_clip_rect(bmp, &cl, &ct, &cr, &cb);
  set_clip_rect(bmp, 0, 0, f.p.width - 1, f.p.height - 1);
  set_clip_state(bmp, TRUE);
  // Farthest first, so that nearer marks and names lie over them.
  std::vector<const Mark *> order;
  for (const Mark &m : marks->marks) order.push_back(&m);
  std::sort(order.begin(), order.end(), [](const Mark *a, const Mark *b) { return a->depth > b->depth; });
  for (const Mark *m : order) {
    const TargetArea &area = *area_of(m->area);
    const int colour = area.enemy == 0 ? display.colour_blue : display.colour_red;
    const int cover = f.probes[(size_t)m->probe].cover;
    const int foot = (int)std::min(std::floor(m->base), (double)cover - 1);
    const int top = (int)std::floor(m->base) - ui_size(m->target ? TARGET_POLE : AREA_POLE);
    if (top > foot) continue;  // nearer ground hides it
    const int x = m->column;
    vline(bmp, x, top, foot, colour);
    if (m->target) continue;
    vline(bmp, x + 1, top, foot, colour);
    rectfill(bmp, x + 2, top, x + 1 + ui_size(FLAG_W), std::min(top + ui_size(FLAG_H), foot), colour);
    FONT *font_used = display.area_font;
    if (!font_used) continue;
    char name[NAME_SIZE];
    snprintf(name, sizeof(name), "%s", area.name);
    const int w = text_length(font_used, name), h = text_height(font_used);
    textout_ex(bmp, font_used, name, x - w / 2, top - h - ui_size(2), display.colour_white, display.colour_slate);
  }
  set_clip_rect(bmp, cl, ct, cr, cb);
  set_clip_state(bmp, saved_clip);
}
