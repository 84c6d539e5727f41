#include "render/view/sculpt_outline.h"

#include <algorithm>
#include <cmath>

#include "render/view/map_layers.h"
#include "ui/display.h"

namespace {

// A ring of radius r pixels about (x, y): white on the circle, black just
// outside it. Nothing when the view lies wholly inside it (a large brush
// close in), where the library would still walk every point.
void ring(BITMAP *bmp, double x, double y, double r, int w, int h) {
  const double far_x = std::max(x, w - x), far_y = std::max(y, h - y);
  if (r > std::hypot(far_x, far_y) + 2) return;
  const int cx = (int)std::lround(x), cy = (int)std::lround(y), ri = (int)std::lround(r);
  circle(bmp, cx, cy, ri + 1, display.colour_black);
  circle(bmp, cx, cy, ri, display.colour_white);
}

}  // namespace

void draw_sculpt_outline(BITMAP *bmp, const ViewState &view, int sample_x, int sample_y, double radius, double inner) {
  if (!bmp) return;
  const MapGeometry g = view_geometry(bmp, view);
  const int w = bmp->w, h = std::min(bmp->h, std::max(display.status_y, 0));
  if (w <= 0 || h <= 0) return;
  // Four samples a tile edge: a quarter of a tile's pixels each.
  const double unit = g.S / 4.0;
  const double x = (sample_x + 0.5 - 4.0 * g.X0) * unit, y = (sample_y + 0.5 - 4.0 * g.Y0) * unit;
  const double outer = std::max(radius * unit, 3.0);
  const int saved_clip = get_clip_state(bmp);
  int cl, ct, cr, cb;
  get_clip_rect(bmp, &cl, &ct, &cr, &cb);
  set_clip_rect(bmp, 0, 0, w - 1, h - 1);
  set_clip_state(bmp, TRUE);
  ring(bmp, x, y, outer, w, h);
  const double full = inner * unit;
  if (inner > 0 && inner < radius && full >= 2 && full < outer - 2) ring(bmp, x, y, full, w, h);
  set_clip_rect(bmp, cl, ct, cr, cb);
  set_clip_state(bmp, saved_clip);
}
