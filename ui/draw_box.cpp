#include "ui/draw_box.h"

int shade_color(int colour, int amount) {
  int n = (int)(2.0 * amount / 3.0 + 0.5);
  int r = getr(colour), g = getg(colour), b = getb(colour);
  int mean = (int)((r + g + b) / 3.0);
  int dr, dg, db;
  if (mean > 0) {
    // Each channel moves in proportion to its own size.
    dr = (int)((double)r / mean * n);
    dg = (int)((double)g / mean * n);
    db = (int)((double)b / mean * n);
  } else {
    // Black and its nearest neighbours have no proportions to keep: move
    // every channel by n, as a grey would.
    dr = dg = db = n;
  }
  if (n > 0) {
    // Lightening favours red and green, which keeps the tint warm.
    dr += (int)(dr * 0.5);
    dg += (int)(dg * 0.5);
  }
  r += dr;
  g += dg;
  b += db;
  r = r < 0 ? 0 : r > 255 ? 255 : r;
  g = g < 0 ? 0 : g > 255 ? 255 : g;
  b = b < 0 ? 0 : b > 255 ? 255 : b;
  return makecol(r, g, b);
}

namespace {

struct BoxShades {
  int inner_top_left;
  int inner_bottom_right;
  int outer_top_left;
  int outer_bottom_right;
};

BoxShades box_shades(int style) {
  switch (style) {
    case BOX_RAISED:
    case BOX_WINDOW: return {50, -60, 30, -50};
    case BOX_SUNKEN:
    case BOX_SUNKEN_FRAME: return {-40, 20, -20, 40};
    case BOX_BUTTON: return {45, -60, -50, -100};
    case BOX_BUTTON_PRESSED: return {25, -25, -80, -160};
    case BOX_GROOVE: return {30, -30, -30, 30};
    case BOX_RIDGE: return {-30, 30, 30, -30};
    case BOX_PANEL: return {0, 0, 35, -40};
    default: return {0, 0, 0, 0};
  }
}

}  // namespace

void draw_box(BITMAP *bmp, int x1, int y1, int x2, int y2, int colour, int style) {
  if (!bmp) return;
  BoxShades shades = box_shades(style);
  if (style == BOX_BUTTON) colour = shade_color(colour, 2);
  if (style == BOX_BUTTON_PRESSED) colour = shade_color(colour, -3);

  if (style != BOX_GROOVE && style != BOX_SUNKEN_FRAME) rectfill(bmp, x1 + 2, y1 + 2, x2 - 2, y2 - 2, colour);

  solid_mode();
  int base = (style == BOX_SUNKEN || style == BOX_SUNKEN_FRAME) ? gui_bg_color : colour;
  int inner_light = shade_color(base, shades.inner_top_left);
  int inner_dark = shade_color(base, shades.inner_bottom_right);
  int outer_light = shade_color(base, shades.outer_top_left);
  int outer_dark = shade_color(base, shades.outer_bottom_right);

  // Later lines overwrite the corners of earlier ones: only the top-left
  // corner of each ring keeps the light shade.
  hline(bmp, x1 + 1, y1 + 1, x2 - 1, inner_light);
  vline(bmp, x1 + 1, y1 + 1, y2 - 1, inner_light);
  hline(bmp, x1 + 1, y2 - 1, x2 - 1, inner_dark);
  vline(bmp, x2 - 1, y1 + 1, y2 - 1, inner_dark);
  hline(bmp, x1, y1, x2, outer_light);
  vline(bmp, x1, y1, y2, outer_light);
  hline(bmp, x1, y2, x2, outer_dark);
  vline(bmp, x2, y1, y2, outer_dark);
}
