#include "edit/clipboards.h"

Clipboards clipboards;

void clear_clipboards() { clipboards = Clipboards(); }

int height_clipboard_empty() { return clipboards.heights[0][0] == -1; }

int tile_clipboard_empty() { return clipboards.tiles.pastes_nothing(); }
