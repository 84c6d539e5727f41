// The map view's overlay: target areas with their targets, and the height
// numbers of height editing. The labels are placed first (label_places.h),
// then everything is drawn in the order it always was.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "render/export/label_places.h"
#include "render/view/map_layers.h"
#include "ui/display.h"

namespace {

// Labels are built here; a longer text is cut to 63 characters.
enum { LABEL_SIZE = 64 };

// "~" followed by a name or type of its 64-byte field; a full field loses
// its last character.
void tilde_label(char *label, const char *text) {
  size_t n = strnlen(text, NAME_SIZE);
  if (n > LABEL_SIZE - 2) n = LABEL_SIZE - 2;
  label[0] = '~';
  memcpy(label + 1, text, n);
  label[n + 1] = 0;
}

// Truncated toward zero, kept within int.
int truncated(float value) {
  double v = value;
  if (!(v > INT32_MIN)) return v != v ? 0 : INT32_MIN;
  if (v > INT32_MAX) return INT32_MAX;
  return (int)v;
}

// Pixel position of a point E metres east and N metres north of the
// terrain's south-west corner.
void project(const MapGeometry &g, long long e, long long n, long long *px, long long *py) {
  *px = (e - 2000LL * g.X0) * g.S / 2000;
  *py = (2000LL * (tile_map.tiles_y - g.Y0) - n) * g.S / 2000;
}

void draw_runway_symbol(const MapGeometry &g, int m, int heading, long long px, long long py) {
  BITMAP *symbol = display.runway_symbols[m - 1];
  if (!symbol) return;
  const double half = 259.5 / (1 << g.zoom);
  const fixed angle = ftofix(heading * 256.0 / 360.0);
  const fixed scale = ftofix(1.0 / (1 << g.zoom));
  const int x = round_to_int(px - half), y = round_to_int(py - half);
  // rotate_scaled_sprite itself, with its left shift of x and y (negative
  // for a symbol reaching past the top or left edge) written as a product.
  g.bmp->vtable->pivot_scaled_sprite_flip(g.bmp, symbol, x * 65536 + (symbol->w * scale) / 2,
                                          y * 65536 + (symbol->h * scale) / 2, symbol->w << 15,
                                          symbol->h << 15, angle, scale, FALSE);
}

// Whether area n is drawn in the part of the overlay asked for.
bool in_part(const MapGeometry &g, int n) {
  return g.overlay_part == OVERLAY_ALL || (g.overlay_part == OVERLAY_SELECTED) == (n == g.target_area);
}

// Whether the point (metres) lies within reach of the view, with a tile
// more to spare for rounding (NaN never does).
bool near_view(const MapGeometry &g, double east, double north, double reach) {
  const double e0 = 2000.0 * g.X0, n1 = 2000.0 * (tile_map.tiles_y - g.Y0), r = reach + 2000;
  return east + r >= e0 && east - r <= e0 + 2000.0 * (g.W + 1) / g.S && north - r <= n1 &&
         north + r >= n1 - 2000.0 * (display.status_y + 1) / g.S;
}

// Whether a target of the area may be in the view: false only when the
// farthest lies outside it.
bool targets_may_show(const MapGeometry &g, const TargetArea &area) {
  if (!area.reach_known || !(area.reach >= 0)) return true;
  return near_view(g, area.pos_x, area.pos_y, area.reach);
}

// The target's pixel, 0 when it is drawn (inside the view).
int target_pixel(const MapGeometry &g, const TargetArea &area, int k, int *x, int *y) {
  const Target &target = area.targets[k];
  // Most of a large file lies far outside the view: those are told off in
  // floating point before the exact whole metres.
  if (!near_view(g, (double)area.pos_x + target.offset_x, (double)area.pos_y + target.offset_y, 0)) return 1;
  const long long e = (long long)drawn_metres(area.pos_x) + drawn_metres(target.offset_x);
  const long long n = (long long)drawn_metres(area.pos_y) + drawn_metres(target.offset_y);
  long long px, py;
  project(g, e, n, &px, &py);
  if (px < 0 || px > g.W || py < 0 || py > display.status_y) return 1;
  *x = (int)px;
  *y = (int)py;
  return 0;
}

// The area's pixel, 0 when its mark is drawn.
int area_pixel(const MapGeometry &g, const TargetArea &area, int *x, int *y) {
  long long px, py;
  project(g, drawn_metres(area.pos_x), drawn_metres(area.pos_y), &px, &py);
  if (!(px > 0 && px < g.W && py > 0 && py < display.status_y - 6)) return 1;
  *x = (int)px;
  *y = (int)py;
  return 0;
}

bool has_runway_symbol(const TargetArea &area, int k) {
  return k == 1 && area.runway_number >= 1 && area.runway_number <= 6;
}

bool target_labels_shown(const MapGeometry &g) { return g.zoom <= 1 && g.overlay_mode >= 2 && g.overlay_mode <= 4; }

void target_label(const MapGeometry &g, const TargetArea &area, int k, char *label) {
  const Target &target = area.targets[k];
  if (g.overlay_mode == 2)
    tilde_label(label, target.type);
  else if (g.overlay_mode == 3)
    snprintf(label, LABEL_SIZE, "~%d", k);
  else
    snprintf(label, LABEL_SIZE, "~%d,%d", truncated(target.file_offset_x), truncated(target.file_offset_y));
}

// The painted part of a runway symbol, from its centre, as drawn at zoom
// level 0 unturned; found once for each symbol bitmap.
LabelBox symbol_extent(BITMAP *symbol) {
  static BITMAP *seen[RUNWAY_SYMBOLS];
  static LabelBox extent[RUNWAY_SYMBOLS];
  int slot = 0;
  for (; slot < RUNWAY_SYMBOLS && seen[slot] && seen[slot] != symbol; slot++) {
  }
  if (slot == RUNWAY_SYMBOLS) slot = 0;
  if (seen[slot] == symbol) return extent[slot];
  LabelBox b = {symbol->w, symbol->h, -1, -1};
  const int mask = bitmap_mask_color(symbol);
  for (int y = 0; y < symbol->h; y++)
    for (int x = 0; x < symbol->w; x++)
      if (getpixel(symbol, x, y) != mask) {
        if (x < b.x1) b.x1 = x;
        if (x > b.x2) b.x2 = x;
        if (y < b.y1) b.y1 = y;
        if (y > b.y2) b.y2 = y;
      }
  const int cx = symbol->w / 2, cy = symbol->h / 2;
  b = {b.x1 - cx, b.y1 - cy, b.x2 - cx, b.y2 - cy};
  seen[slot] = symbol;
  extent[slot] = b;
  return b;
}

// The runway symbol as the view draws it: turned by the heading about its
// centre at (x, y), scaled down by the zoom level. Blocks the labels on the
// pixels it paints, not on the box around it, so that a name finds room
// between the arms of crossing runways. The box around it, empty for none.
LabelBox block_runway(LabelPlacer &placer, const MapGeometry &g, int m, int heading, int x, int y) {
  BITMAP *symbol = display.runway_symbols[m - 1];
  const LabelBox e = symbol ? symbol_extent(symbol) : LabelBox{0, 0, -1, -1};
  if (e.x2 < e.x1) return e;
  const double a = heading * M_PI / 180, grow = 1 << g.zoom;
  const double c = cos(a), s = sin(a);
  double x1 = 1e9, y1 = 1e9, x2 = -1e9, y2 = -1e9;
  for (int corner = 0; corner < 4; corner++) {
    const double u = (corner & 1 ? e.x2 + 1 : e.x1) / grow, v = (corner & 2 ? e.y2 + 1 : e.y1) / grow;
    const double px = x + u * c - v * s, py = y + u * s + v * c;
    x1 = std::min(x1, px), y1 = std::min(y1, py), x2 = std::max(x2, px), y2 = std::max(y2, py);
  }
  const LabelBox outer = {(int)floor(x1), (int)floor(y1), (int)ceil(x2), (int)ceil(y2)};
  const int mask = bitmap_mask_color(symbol), cx = symbol->w / 2, cy = symbol->h / 2;
  placer.block(outer, [=](const LabelBox &b) {
    // Each pixel of the box, turned back onto the symbol.
    for (int py = std::max(b.y1, outer.y1); py <= std::min(b.y2, outer.y2); py++)
      for (int px = std::max(b.x1, outer.x1); px <= std::min(b.x2, outer.x2); px++) {
        const double dx = px + 0.5 - x, dy = py + 0.5 - y;
        const int u = (int)floor((dx * c + dy * s) * grow) + cx, v = (int)floor((-dx * s + dy * c) * grow) + cy;
        if (u >= 0 && v >= 0 && u < symbol->w && v < symbol->h && getpixel(symbol, u, v) != mask) return true;
      }
    return false;
  });
  return outer;
}

// Where each label of this drawing goes, found before anything is drawn so
// that the drawing keeps its order: -1 for a label left out.
struct LabelPlan {
  std::vector<LabelBox> area_box;   // by area number; x2 < x1: none
  std::vector<int> first_target;    // by area number: index of its target 1 in target_box
  std::vector<LabelBox> target_box;
};

LabelPlan plan_labels(const MapGeometry &g, int areas) {
  LabelPlan plan;
  const LabelBox none = {0, 0, -1, -1};
  plan.area_box.assign((size_t)areas + 1, none);
  plan.first_target.assign((size_t)areas + 1, 0);
  LabelPlacer placer;
  // Runway symbols first: no label covers one.
  std::vector<LabelBox> symbol_box((size_t)areas + 1, none);
  if (g.zoom <= 4)
    for (int n = 1; n <= areas; n++) {
      if (!in_part(g, n)) continue;
      const TargetArea &area = targets.areas[n];
      int x, y;
      if (area.target_count >= 1 && has_runway_symbol(area, 1) && target_pixel(g, area, 1, &x, &y) == 0)
        symbol_box[(size_t)n] = block_runway(placer, g, area.runway_number, area.targets[1].heading, x, y);
    }
  const bool target_labels = g.zoom <= 4 && target_labels_shown(g);
  if (target_labels)
    for (int n = 1; n <= areas; n++) {
      plan.first_target[(size_t)n] = (int)plan.target_box.size();
      const int shown = targets.areas[n].target_count < MAX_TARGETS - 1 ? targets.areas[n].target_count : MAX_TARGETS - 1;
      plan.target_box.resize(plan.target_box.size() + (size_t)std::max(shown, 0), none);
    }
  // Airfields first, then the other areas, each in number order.
  for (int pass = 0; pass < 2; pass++)
    for (int n = 1; n <= areas; n++) {
      if (!in_part(g, n)) continue;
      const TargetArea &area = targets.areas[n];
      if ((area.runway_number > 0) != (pass == 0)) continue;
      char label[LABEL_SIZE];
      int x, y;
      if (g.zoom <= 5 && area_pixel(g, area, &x, &y) == 0) {
        tilde_label(label, area.name);
        // An airfield's name may go out as far as clears its own runways.
        const LabelBox &s = symbol_box[(size_t)n];
        const int out = s.x1 <= s.x2 ? std::max(std::max(s.x2 - x, x - s.x1), std::max(s.y2 - y, y - s.y1)) + 1 : 0;
        LabelBox b;
        if (placer.place_out_to(x, y, text_length(display.area_font, label), text_height(display.area_font), out, &b) == 0)
          plan.area_box[(size_t)n] = b;
      }
      if (!target_labels || !targets_may_show(g, area)) continue;
      const int shown = area.target_count < MAX_TARGETS - 1 ? area.target_count : MAX_TARGETS - 1;
      for (int k = 1; k <= shown; k++) {
        if (target_pixel(g, area, k, &x, &y) != 0) continue;
        target_label(g, area, k, label);
        LabelBox b;
        if (placer.place(x, y, text_length(display.target_font, label), text_height(display.target_font), &b) == 0)
          plan.target_box[(size_t)(plan.first_target[(size_t)n] + k - 1)] = b;
      }
    }
  return plan;
}

void draw_target_label(const MapGeometry &g, const TargetArea &area, int k, const LabelBox &label_box) {
  if (!target_labels_shown(g) || label_box.x1 > label_box.x2) return;
  char label[LABEL_SIZE];
  target_label(g, area, k, label);
  textout_ex(g.bmp, display.target_font, label, label_box.x1, label_box.y1, display.colour_black, display.colour_pale_blue);
}

void draw_area_label(const MapGeometry &g, const TargetArea &area, const LabelBox &label_box) {
  if (g.zoom > 5 || label_box.x1 > label_box.x2) return;
  char label[LABEL_SIZE];
  tilde_label(label, area.name);
  textout_ex(g.bmp, display.area_font, label, label_box.x1, label_box.y1, display.colour_white, display.colour_slate);
}

void draw_target(const MapGeometry &g, const TargetArea &area, int k, int colour, const LabelBox &label_box) {
  int x, y;
  if (target_pixel(g, area, k, &x, &y) != 0) return;
  const Target &target = area.targets[k];
  if (has_runway_symbol(area, k)) draw_runway_symbol(g, area.runway_number, target.heading, x, y);
  draw_target_label(g, area, k, label_box);

  if (g.overlay_mode > 0) {
    const int a = g.zoom <= 1 ? 2 : 1;
    hline(g.bmp, x - a, y, x + a, colour);
    vline(g.bmp, x, y - a, y + a, colour);
  }
}

void draw_area_mark(const MapGeometry &g, const TargetArea &area, int colour, const LabelBox &label_box) {
  int x, y;
  if (area_pixel(g, area, &x, &y) != 0) return;
  const bool runway = area.runway_number > 0;
  if (g.zoom <= 5) {
    draw_area_label(g, area, label_box);
    if (runway)
      circle(g.bmp, x, y, 3, colour);
    else
      rect(g.bmp, x - 2, y - 2, x + 2, y + 2, colour);
  } else {
    if (runway)
      circle(g.bmp, x, y, 2, colour);
    else
      rect(g.bmp, x - 1, y - 1, x + 1, y + 1, colour);
  }
}

}  // namespace

bool on_water(const TargetArea &area, int k) {
  double e, n;
  return target_ground(area, k, &e, &n) == TARGET_ON_WATER;
}

// Target mode's marks over the overlay: the selection in a double ring,
// white within black, and each target on water in a red ring. The ring's
// centre in *ring_x, *ring_y; 1 when it is drawn.
int draw_target_mode_marks(const MapGeometry &g, int *ring_x, int *ring_y) {
  const int areas = areas_in_use();
  for (int n = 1; n <= areas && g.zoom <= 4; n++) {
    if (!in_part(g, n)) continue;
    const TargetArea &area = targets.areas[n];
    for (int k = 1; k <= area.target_count && k < MAX_TARGETS && targets_may_show(g, area); k++) {
      int x, y;
      if (target_pixel(g, area, k, &x, &y) == 0 && on_water(area, k)) circle(g.bmp, x, y, 7, display.colour_red);
    }
  }
  if (g.target_area < 1 || g.target_area > areas || g.overlay_part == OVERLAY_ALL_BUT_SELECTED) return 0;
  const TargetArea &area = targets.areas[g.target_area];
  int x, y;
  const int hidden = g.target > 0 && g.target <= area.target_count ? target_pixel(g, area, g.target, &x, &y)
                                                                   : area_pixel(g, area, &x, &y);
  if (hidden) return 0;
  circle(g.bmp, x, y, 10, display.colour_black);
  circle(g.bmp, x, y, 9, display.colour_white);
  circle(g.bmp, x, y, 8, display.colour_black);
  *ring_x = x, *ring_y = y;
  return 1;
}

void draw_target_overlay(const MapGeometry &g) {
  const int areas = areas_in_use();
  const LabelPlan plan = plan_labels(g, areas);
  const LabelBox none = {0, 0, -1, -1};
  for (int n = 1; n <= areas; n++) {
    if (!in_part(g, n)) continue;
    const TargetArea &area = targets.areas[n];
    const int colour = area.enemy == 0 ? display.colour_blue : display.colour_red;
    if (g.zoom <= 4 && targets_may_show(g, area)) {
      const int shown = area.target_count < MAX_TARGETS - 1 ? area.target_count : MAX_TARGETS - 1;
      for (int k = 1; k <= shown; k++) {
        const size_t at = (size_t)plan.first_target[(size_t)n] + (size_t)(k - 1);
        draw_target(g, area, k, colour, at < plan.target_box.size() ? plan.target_box[at] : none);
      }
    }
    draw_area_mark(g, area, colour, plan.area_box[(size_t)n]);
  }
  int x, y;
  if (!g.target_mode || !draw_target_mode_marks(g, &x, &y)) return;
  // The ring passes under the labels it reaches: they are drawn again.
  const LabelBox ring = {x - 10, y - 10, x + 10, y + 10};
  for (int n = 1; n <= areas; n++) {
    if (!in_part(g, n)) continue;
    if (boxes_overlap(ring, plan.area_box[(size_t)n])) draw_area_label(g, targets.areas[n], plan.area_box[(size_t)n]);
    const int shown = std::min(targets.areas[n].target_count, MAX_TARGETS - 1);
    for (int k = 1; k <= shown && g.zoom <= 4; k++) {
      const size_t at = (size_t)plan.first_target[(size_t)n] + (size_t)(k - 1);
      if (at < plan.target_box.size() && boxes_overlap(ring, plan.target_box[at]))
        draw_target_label(g, targets.areas[n], k, plan.target_box[at]);
    }
  }
}

int pick_target_mark(const ViewState &view, int px, int py, int *picked_area, int *picked_target) {
  const MapGeometry g = view_geometry(display.back_buffer, view);
  const int areas = areas_in_use();
  long long best = 8 * 8 + 1;
  int best_kind = 2;
  *picked_area = *picked_target = 0;
  auto consider = [&](int x, int y, int n, int k) {
    const long long d = (long long)(x - px) * (x - px) + (long long)(y - py) * (y - py);
    const int kind = k > 0 ? 0 : 1;  // a target before an area as near
    if (d > best || (d == best && kind >= best_kind)) return;
    best = d, best_kind = kind, *picked_area = n, *picked_target = k;
  };
  for (int n = 1; n <= areas; n++) {
    const TargetArea &area = targets.areas[n];
    int x, y;
    // Targets are drawn from zoom level 4 in: only those can be picked.
    for (int k = 1; g.zoom <= 4 && k <= area.target_count && k < MAX_TARGETS && targets_may_show(g, area); k++)
      if (target_pixel(g, area, k, &x, &y) == 0) consider(x, y, n, k);
    if (area_pixel(g, area, &x, &y) == 0) consider(x, y, n, 0);
  }
  return *picked_area > 0;
}

void pixel_metres(const ViewState &view, int px, int py, double *east, double *north) {
  const MapGeometry g = view_geometry(display.back_buffer, view);
  // The inverse of project().
  *east = 2000.0 * g.X0 + 2000.0 * px / g.S;
  *north = 2000.0 * (tile_map.tiles_y - g.Y0) - 2000.0 * py / g.S;
}

void draw_height_numbers(const MapGeometry &g, int cursor_x, int cursor_y) {
  for (int j = g.j0; j < g.j1; j++) {
    for (int i = g.i0; i < g.i1; i++) {
      const int x = g.X0 + i, y = g.Y0 + j;
      const bool cursor_tile = x == cursor_x && y == cursor_y;
      for (int b = 0; b < 4; b++) {
        for (int a = 0; a < 4; a++) {
          char label[LABEL_SIZE];
          snprintf(label, sizeof(label), "~%d", height_map.heights[4 * x + a][4 * y + b]);
          const bool chosen = cursor_tile && 4 * b + a == g.height_sample;
          textout_ex(g.bmp, display.map_font, label, 256 * i + 64 * a + 26, 256 * j + 64 * b + 26,
                     chosen ? display.colour_black : display.colour_dark_slate,
                     chosen ? display.colour_terracotta : display.colour_pale_blue);
        }
      }
    }
  }
}
