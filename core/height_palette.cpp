#include "core/height_palette.h"

#include <allegro.h>

#include "core/terrain_model.h"

void build_height_palette() {
  int m = height_map.max_height;
  if (m < 0) m = 0;
  if (m > MAX_HEIGHT) m = MAX_HEIGHT;

  int a = (int)(m * 1.24);
  // A flat map (a = 0) has only height 0, whose colour is fixed below; the
  // bands would divide zero by zero.
  if (a > 0) {
    int r, g, b;
    float f = (float)a;
    double g_limit = (double)f * (double)0.66f + 0.5;
    float g1 = (float)g_limit;

    // Upper band, full value: from the top height down, hue from red on
    // towards magenta.
    float h = g1;
    int i = a;
    while (h <= f) {
      float hue = h * 360 / f;
      hsv_to_rgb(hue, 0.55f, 1.0f, &r, &g, &b);
      if (i >= 0 && i <= m) height_palette[i] = makecol(r, g, b);
      h = h + 1;
      i--;
    }

    // Lower band: value falls towards the sea, the lowest heights darker still.
    h = 0;
    float double_a = (float)(2 * a);
    do {
      float dim = i <= m / 25 ? (float)((m / 25.0 - i) / 2000.0) : 0.0f;
      float v = (1 - h / double_a) - dim;
      float hue = h * 360 / f;
      hsv_to_rgb(hue, 0.55f, v, &r, &g, &b);
      if (i >= 0 && i <= m) height_palette[i] = makecol(r, g, b);
      h = h + 1;
      i--;
    } while (h < g_limit);
  }
  height_palette[0] = makecol(0, 63, 88);
  // Edits may raise samples above the map's highest height at opening; the
  // scale stays, they take its top colour.
  for (int i = m + 1; i <= MAX_HEIGHT; i++) height_palette[i] = height_palette[m];
}

int apply_shade(int colour, int shade) {
  float hue, sat, value;
  rgb_to_hsv(getr(colour), getg(colour), getb(colour), &hue, &sat, &value);
  float shaded = (shade & 0xFF) / 511.0 + value * 0.5;
  int r, g, b;
  hsv_to_rgb(hue, sat, shaded, &r, &g, &b);
  return makecol(r, g, b);
}
