// Block-averaging reduction of a 32-bit bitmap.
#pragma once

#include <allegro.h>

// A new 32-bit bitmap, each pixel the average of an x_factor by y_factor
// block of the source; null when it cannot be created.
BITMAP *shrink_bitmap(BITMAP *source, int x_factor, int y_factor);
