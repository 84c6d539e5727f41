// What start-up makes once for the whole run and every drawing module reads:
// the window's size, the back buffer, the colours, the datafile fonts and
// the runway symbols. Written only by start-up (and by test set-ups).
#pragma once

#include <allegro.h>

enum { RUNWAY_SYMBOLS = 6 };

struct Display {
  int screen_width;
  int screen_height;
  int status_y;  // top row of the status strip: screen_height - 26
  BITMAP *back_buffer;

  int colour_black, colour_white, colour_red, colour_terracotta, colour_blue;
  int colour_steel, colour_slate, colour_dark_slate, colour_pale_blue;

  FONT *label_font;
  FONT *map_font;
  FONT *message_font;
  FONT *dialog_font;
  BITMAP *runway_symbols[RUNWAY_SYMBOLS];
};

extern Display display;

// Makes the nine colours for the current colour depth.
void make_display_colours();
