#include "ui/display.h"

Display display;

void make_display_colours() {
  display.colour_black = makecol(0, 0, 0);
  display.colour_white = makecol(255, 255, 255);
  display.colour_red = makecol(255, 0, 0);
  display.colour_terracotta = makecol(215, 120, 80);
  display.colour_blue = makecol(0, 0, 255);
  display.colour_steel = makecol(131, 153, 177);
  display.colour_slate = makecol(79, 101, 125);
  display.colour_dark_slate = makecol(56, 72, 89);
  display.colour_pale_blue = makecol(173, 197, 222);
}
