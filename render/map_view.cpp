#include "render/map_view.h"

void draw_map_view(BITMAP *, int, int) {}
