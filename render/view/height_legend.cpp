#include "render/view/height_legend.h"

#include <algorithm>
#include <cstdio>

#include "core/terrain_model.h"
#include "ui/display.h"

std::vector<int> legend_heights(int top) {
  std::vector<int> heights;
  if (top <= 0) return heights;
  // The smallest round step that gives twelve labels or fewer.
  int step = 1;
  for (int scale = 1; scale <= 10000; scale *= 10) {
    bool found = false;
    for (int m : {1, 2, 5})
      if (top / (m * scale) <= 12) {
        step = m * scale;
        found = true;
        break;
      }
    if (found) break;
  }
  // The step before gave more than twelve: this one gives at least five.
  for (int h = step; h <= top; h += step) heights.push_back(h);
  return heights;
}

void draw_height_legend(BITMAP *bmp, int width, int height) {
  FONT *f = display.message_font ? display.message_font : font;
  if (!bmp || !f) return;
  const int top = std::clamp((int)height_map.max_height, 0, (int)MAX_HEIGHT);
  const std::vector<int> labels = legend_heights(top);
  const int th = text_height(f), gap = th / 2;
  const int label_w = text_length(f, "9999 m"), sea_w = text_length(f, "0 m sea");
  const int bar_w = std::max(8, th);
  // Room for every label a line apart, and never less than a third of the area.
  const int bar_h = std::max({(int)labels.size() * (th + 2), height / 3, 4 * th});
  const int pad = gap + 2;
  const int box_w = pad + bar_w + gap + std::max(label_w, sea_w) + pad;
  const int box_h = pad + th / 2 + bar_h + gap + th + pad;
  const int x0 = width - box_w - 6, y0 = 6;
  if (x0 < 0 || y0 + box_h > height) return;

  rectfill(bmp, x0, y0, x0 + box_w - 1, y0 + box_h - 1, display.colour_pale_blue);
  rect(bmp, x0, y0, x0 + box_w - 1, y0 + box_h - 1, display.colour_dark_slate);
  // The bar from 1 m at its foot to the top height at its head.
  const int bx = x0 + pad, by = y0 + pad + th / 2;
  for (int r = 0; r < bar_h; r++) {
    const int h = top <= 1 ? top : 1 + (int)((long long)(top - 1) * (bar_h - 1 - r) / std::max(bar_h - 1, 1));
    hline(bmp, bx, by + r, bx + bar_w - 1, height_palette[h]);
  }
  rect(bmp, bx - 1, by - 1, bx + bar_w, by + bar_h, display.colour_dark_slate);
  char text[32];
  for (int h : labels) {
    const int r = top <= 1 ? 0 : (int)((long long)(bar_h - 1) * (top - h) / (top - 1));
    hline(bmp, bx + bar_w, by + r, bx + bar_w + gap / 2, display.colour_dark_slate);
    snprintf(text, sizeof(text), "%d m", h);
    textout_ex(bmp, f, text, bx + bar_w + gap, by + r - th / 2, display.colour_black, -1);
  }
  // The sea: height 0 has a colour of its own.
  const int sy = by + bar_h + gap;
  rectfill(bmp, bx, sy, bx + bar_w - 1, sy + th - 1, height_palette[0]);
  rect(bmp, bx - 1, sy - 1, bx + bar_w, sy + th, display.colour_dark_slate);
  textout_ex(bmp, f, "0 m sea", bx + bar_w + gap, sy, display.colour_black, -1);
}
