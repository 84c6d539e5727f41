// The map view's overlay: target areas with their targets, and the height
// numbers of height editing.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/terrain_model.h"
#include "core/text_numbers.h"
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

// Metres as a whole number. Values far outside any terrain (and NaN) are
// brought to a distance that still rounds within int and stays off the view.
int whole_metres(float value) {
  const double far = 1e9;
  double v = value;
  if (!(v > -far)) v = -far;
  if (v > far) v = far;
  return round_to_int(v);
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

void draw_target(const MapGeometry &g, const TargetArea &area, int k, int colour) {
  const Target &target = area.targets[k];
  const long long e = (long long)whole_metres(area.pos_x) + whole_metres(target.offset_x);
  const long long n = (long long)whole_metres(area.pos_y) + whole_metres(target.offset_y);
  long long px, py;
  project(g, e, n, &px, &py);
  if (px < 0 || px > g.W || py < 0 || py > display.status_y) return;
  const int x = (int)px, y = (int)py;

  if (k == 1 && area.runway_number >= 1 && area.runway_number <= 6)
    draw_runway_symbol(g, area.runway_number, target.heading, px, py);

  if (g.zoom <= 1 && g.overlay_mode >= 2 && g.overlay_mode <= 4) {
    char label[LABEL_SIZE];
    if (g.overlay_mode == 2)
      tilde_label(label, target.type);
    else if (g.overlay_mode == 3)
      snprintf(label, sizeof(label), "~%d", k);
    else
      snprintf(label, sizeof(label), "~%d,%d", truncated(target.file_offset_x),
               truncated(target.file_offset_y));
    textout_ex(g.bmp, display.map_font, label, x + 6, y - 5, display.colour_black, display.colour_pale_blue);
  }

  if (g.overlay_mode > 0) {
    const int a = g.zoom <= 1 ? 2 : 1;
    hline(g.bmp, x - a, y, x + a, colour);
    vline(g.bmp, x, y - a, y + a, colour);
  }
}

void draw_area_mark(const MapGeometry &g, const TargetArea &area, int colour) {
  long long px, py;
  project(g, whole_metres(area.pos_x), whole_metres(area.pos_y), &px, &py);
  if (!(px > 0 && px < g.W && py > 0 && py < display.status_y - 6)) return;
  const int x = (int)px, y = (int)py;
  const bool runway = area.runway_number > 0;
  if (g.zoom <= 5) {
    char label[LABEL_SIZE];
    tilde_label(label, area.name);
    textout_ex(g.bmp, display.label_font, label, x + 6, y - 5, display.colour_white, display.colour_slate);
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

void draw_target_overlay(const MapGeometry &g) {
  const int areas = targets.area_count < MAX_AREAS - 1 ? targets.area_count : MAX_AREAS - 1;
  for (int n = 1; n <= areas; n++) {
    const TargetArea &area = targets.areas[n];
    const int colour = area.enemy == 0 ? display.colour_blue : display.colour_red;
    if (g.zoom <= 4) {
      const int shown = area.target_count < MAX_TARGETS - 1 ? area.target_count : MAX_TARGETS - 1;
      for (int k = 1; k <= shown; k++) draw_target(g, area, k, colour);
    }
    draw_area_mark(g, area, colour);
  }
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
