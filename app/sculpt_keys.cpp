#include "app/sculpt_keys.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/main_loop.h"
#include "core/terrain_model.h"
#include "edit/sculpt_brushes.h"
#include "program/session.h"
#include "render/view/sculpt_outline.h"
#include "ui/display.h"

namespace {

// Shift + click's height for the flatten brush; -1: the height under each press.
int flatten_to = -1;

// The brush as the last frame drew it.
struct Shown {
  int on = 0, x = 0, y = 0, radius = 0, hardness = 0;
  bool operator==(const Shown &o) const {
    return on == o.on && (!on || (x == o.x && y == o.y && radius == o.radius && hardness == o.hardness));
  }
};
Shown shown;

int shift_down() { return key[KEY_LSHIFT] || key[KEY_RSHIFT]; }

// Where pixel (mx, my) of the map view lies in samples, sample X covering
// X to X + 1: the middle of the pixel, so that at zoom levels where a
// sample spans pixels its floor is the sample drawn there.
void pointer_sample(const ViewState &view, int mx, int my, double *x, double *y) {
  const MapPixel corner = map_pixel(view, display.screen_width, display.status_y, 0, 0);
  const double per_pixel = 4.0 / (1 << (8 - std::clamp(view.zoom_level, 0, 8)));
  *x = 4.0 * corner.tile_x + (mx + 0.5) * per_pixel;
  *y = 4.0 * corner.tile_y + (my + 0.5) * per_pixel;
}

int in_view(int mx, int my) { return mx >= 0 && my >= 0 && mx < display.screen_width && my < display.status_y; }


void resize(int by) { sculpt_brush.radius = std::clamp(sculpt_brush.radius + by, (int)SCULPT_RADIUS_MIN, (int)SCULPT_RADIUS_MAX); }
void restrength(int by) {
  sculpt_brush.strength = std::clamp(sculpt_brush.strength + by, (int)SCULPT_STRENGTH_STEP, 100);
}

}  // namespace

void toggle_sculpt_mode(KeyCommand &c) {
  c.view->left_button = c.view->left_button == LEFT_BUTTON_SCULPT ? LEFT_BUTTON_PAN : LEFT_BUTTON_SCULPT;
  c.view->target_area = c.view->target = 0;
}

// Choosing flatten again goes back to the height under each press.
void choose_sculpt_brush(int kind) {
  sculpt_brush.kind = kind;
  if (kind == SCULPT_FLATTEN) flatten_to = -1;
}

static void choose(KeyCommand &c, int kind) {
  choose_sculpt_brush(kind);
  c.redraw = 1;
}

void sculpt_raise(KeyCommand &c) { choose(c, SCULPT_RAISE); }
void sculpt_lower(KeyCommand &c) { choose(c, SCULPT_LOWER); }
void sculpt_smooth(KeyCommand &c) { choose(c, SCULPT_SMOOTH); }
void sculpt_flatten(KeyCommand &c) { choose(c, SCULPT_FLATTEN); }
void sculpt_noise(KeyCommand &c) { choose(c, SCULPT_NOISE); }
void sculpt_erode(KeyCommand &c) { choose(c, SCULPT_ERODE); }

// With the Shift of the key's press, not of the moment the loop looks.
static int shifted(const KeyCommand &c) { return (c.modifiers & (KEY_MOD_LSHIFT | KEY_MOD_RSHIFT)) != 0; }
void grow_sculpt_brush(KeyCommand &c) { resize(shifted(c) ? 16 : 1); }
void shrink_sculpt_brush(KeyCommand &c) { resize(shifted(c) ? -16 : -1); }
void stronger_sculpt_brush(KeyCommand &) { restrength(SCULPT_STRENGTH_STEP); }
void weaker_sculpt_brush(KeyCommand &) { restrength(-SCULPT_STRENGTH_STEP); }

int sculpt_press(const ViewState &view, int mx, int my, int ctrl, int shift) {
  double x, y;
  pointer_sample(view, mx, my, &x, &y);
  SculptBrush brush = sculpt_brush;
  if (brush.kind == SCULPT_FLATTEN && shift) {
    const MapPixel p = map_pixel(view, display.screen_width, display.status_y, mx, my);
    if (!p.on_map) return 0;
    flatten_to = std::min((int)height_map.heights[p.sample_x][p.sample_y], (int)MAX_HEIGHT);
    char text[KEY_NOTE_SIZE];
    snprintf(text, sizeof(text), "Flatten to %d m.", flatten_to);
    note_in_strip(text);
    return 0;
  }
  if (ctrl && brush.kind == SCULPT_RAISE) brush.kind = SCULPT_LOWER;
  else if (ctrl && brush.kind == SCULPT_LOWER) brush.kind = SCULPT_RAISE;
  sculpt_stroke_begin(brush, x, y, flatten_to);
  return 1;
}

int sculpt_drag(const ViewState &view, int mx, int my) {
  if (!sculpt_stroke_on()) return 0;
  double x, y;
  pointer_sample(view, mx, my, &x, &y);
  return sculpt_stroke_to(x, y);
}

void sculpt_release() {
  if (!sculpt_stroke_on()) return;
  const long long changed = sculpt_stroke_end();
  // Each stroke of the noise brush gets noise of its own.
  sculpt_brush.seed = sculpt_brush.seed * 1664525u + 1013904223u;
  char text[KEY_NOTE_SIZE];
  if (changed)
    snprintf(text, sizeof(text), "Sculpted %lld sample%s.", changed, changed == 1 ? "" : "s");
  else
    snprintf(text, sizeof(text), "Nothing changed.");
  note_in_strip(text);
}

int sculpt_wheel(const ViewState &view, int notches) {
  if (!sculpting(view) || view.overview || !shift_down()) return 0;
  restrength(SCULPT_STRENGTH_STEP * notches);
  return 1;
}

static Shown brush_here(const ViewState &view) {
  Shown s;
  const int mx = mouse_x, my = mouse_y;
  if (!sculpting(view) || view.overview || !in_view(mx, my) || !tile_on_map(view.cursor_x, view.cursor_y)) return s;
  double x, y;
  pointer_sample(view, mx, my, &x, &y);
  s.on = 1;
  s.x = (int)std::floor(x), s.y = (int)std::floor(y);
  s.radius = sculpt_brush.radius, s.hardness = sculpt_brush.falloff == SCULPT_FALLOFF_CONSTANT ? 100 : sculpt_brush.hardness;
  return s;
}

void draw_sculpt_brush(BITMAP *bmp, const ViewState &view) {
  shown = brush_here(view);
  if (shown.on) draw_sculpt_outline(bmp, view, shown.x, shown.y, shown.radius, shown.radius * shown.hardness / 100.0);
}

int sculpt_brush_moved(const ViewState &view) { return !(brush_here(view) == shown); }

void sculpt_mode_text(const ViewState &view, char *text, int size) {
  if (size <= 0) return;
  text[0] = 0;
  if (sculpting(view)) sculpt_strip_text(sculpt_brush, flatten_to, text, size);
}
