#include "render/view/ruler.h"

#include <algorithm>

#include "ui/display.h"

void cursor_tile_centre(const ViewState &view, int width, int height, int *x, int *y) {
  const long long S = 1LL << (8 - std::clamp(view.zoom_level, 0, 8));
  const MapPixel first = map_pixel(view, width, height, 0, 0);
  *x = (int)(S * (view.cursor_x - first.tile_x) + S / 2);
  *y = (int)(S * (view.cursor_y - first.tile_y) + S / 2);
}

PixelBox draw_ruler(BITMAP *bmp, const ViewState &view, int width, int height, int mx, int my, const char *text) {
  PixelBox box;
  if (!bmp || width <= 0 || height <= 0) return box;
  int cx, cy;
  cursor_tile_centre(view, width, height, &cx, &cy);
  FONT *f = display.message_font ? display.message_font : font;
  // Beside the pointer, below and right of it, or where the area leaves room.
  const int pad = 3, tw = text_length(f, text) + 2 * pad, th = text_height(f) + 2 * pad;
  int tx = mx + 14, ty = my + 14;
  if (tx + tw > width) tx = mx - 6 - tw;
  if (ty + th > height) ty = my - 6 - th;

  const int saved_clip = get_clip_state(bmp);
  int cl, ct, cr, cb;
  get_clip_rect(bmp, &cl, &ct, &cr, &cb);
  set_clip_rect(bmp, 0, 0, width - 1, height - 1);
  set_clip_state(bmp, TRUE);
  // Black either side of a white line: seen on any texture and any height colour.
  line(bmp, cx + 1, cy, mx + 1, my, display.colour_black);
  line(bmp, cx, cy + 1, mx, my + 1, display.colour_black);
  line(bmp, cx - 1, cy, mx - 1, my, display.colour_black);
  line(bmp, cx, cy - 1, mx, my - 1, display.colour_black);
  line(bmp, cx, cy, mx, my, display.colour_white);
  rectfill(bmp, tx, ty, tx + tw - 1, ty + th - 1, display.colour_pale_blue);
  rect(bmp, tx, ty, tx + tw - 1, ty + th - 1, display.colour_dark_slate);
  textout_ex(bmp, f, text, tx + pad, ty + pad, display.colour_blue, -1);
  set_clip_rect(bmp, cl, ct, cr, cb);
  set_clip_state(bmp, saved_clip);

  box.x1 = std::max(0, std::min({cx, mx, tx}) - 2);
  box.y1 = std::max(0, std::min({cy, my, ty}) - 2);
  box.x2 = std::min(width - 1, std::max({cx, mx, tx + tw - 1}) + 2);
  box.y2 = std::min(height - 1, std::max({cy, my, ty + th - 1}) + 2);
  return box;
}
