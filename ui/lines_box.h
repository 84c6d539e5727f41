// A box of several lines answered with OK, Enter or Esc: for messages that
// say more than the library's three-line alert holds.
#pragma once

enum { LINES_BOX_MAX = 12 };

// Shows the first LINES_BOX_MAX lines, centred; a line wider than the
// screen is cut in the middle.
void show_lines_box(const char *const *lines, int count);
