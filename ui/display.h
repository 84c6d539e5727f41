// What start-up makes once for the whole run and every drawing module reads:
// the window's size, the back buffer, the colours, the datafile fonts and
// the runway symbols. Written only by start-up (and by test set-ups).
#pragma once

#include <allegro.h>

enum { RUNWAY_SYMBOLS = 6 };

struct Display {
  int screen_width;
  int screen_height;
  int status_y;  // top row of the status strip: screen_height - 26 * ui_scale
  int ui_scale = 1;  // 1..3: the interface's texts and boxes this many times their size; the map keeps its pixels
  BITMAP *back_buffer;

  int colour_black, colour_white, colour_red, colour_terracotta, colour_blue;
  int colour_steel, colour_slate, colour_dark_slate, colour_pale_blue;

  FONT *label_font;    // area names on the planning maps (scale 1, as exported)
  FONT *map_font;      // height numbers in the map view (scale 1, in cells of fixed size)
  FONT *message_font;  // the strip and the interface, at ui_scale
  FONT *dialog_font;   // dialogs, lists and the manual, at ui_scale
  FONT *area_font;     // area names on the map view, at ui_scale
  FONT *target_font;   // target labels on the map view, at ui_scale
  BITMAP *runway_symbols[RUNWAY_SYMBOLS];
};

extern Display display;

// A length of the interface (a strip offset, a dialog's side) at its scale.
inline int ui_size(int pixels) { return pixels * display.ui_scale; }

// Makes the nine colours for the current colour depth.
void make_display_colours();
