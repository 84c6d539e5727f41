// X: the texture palette over the map, with its own keys and mouse. The
// texture picked becomes the tile clipboard, a 1 x 1 stamp, which every
// paste, fill and the brush then use as they use a copy.
#pragma once

#include "app/key_table.h"
#include "render/view/palette_choice.h"

enum PaletteOutcome { PALETTE_KEEP_OPEN, PALETTE_PICK, PALETTE_CLOSE };

// One key at now_ms: arrows (and keypad 4/6/8/2) move the choice by one
// texture or one row, Page Up/Down (keypad 9/3) by a screenful of rows,
// Home/End (keypad 7/1) to the first/last texture, each showing the choice;
// digits jump to the number they make. A digit after the pause, or one that
// would make a number beyond the last texture, starts a new number. Return
// picks the choice; Esc and X close.
int palette_key(PaletteChoice &c, const PaletteLayout &layout, int scancode, long long now_ms);

// The tile clipboard becomes texture t alone: rotation, tag and extra 0.
void pick_texture(int t);

// The key table's action for X.
void open_texture_palette(KeyCommand &c);

// X in land mode: the same palette over the lands; the land picked is the
// one land mode paints.
void open_land_palette(KeyCommand &c);

// X in sculpt mode: the brushes, each pictured; the one picked is the brush.
void open_sculpt_palette(KeyCommand &c);
