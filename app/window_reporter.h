// The window's side of the reports of loaders, writers and exports:
// progress texts in the status strip, warnings as alert boxes.
#pragma once

#include "core/reporter.h"

// Progress at (3, status_y + 13) on the screen in SCHEME_VALUE; a warning as
// an alert with its message, an empty line and its path, one button "OK",
// but a note as a line in the strip that stays after the next redraw;
// pauses as rest().
const Reporter *window_reporter();
