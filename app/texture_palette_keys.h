// X: the texture palette over the map, with its own keys and mouse. The
// texture picked becomes the tile clipboard, a 1 x 1 stamp, which every
// paste, fill and the brush then use as they use a copy.
#pragma once

#include "app/key_table.h"
#include "render/view/texture_palette.h"

enum PaletteOutcome { PALETTE_KEEP_OPEN, PALETTE_PICK, PALETTE_CLOSE };

// Digits typed within this pause of each other make one number.
enum { PALETTE_TYPING_PAUSE_MS = 1000 };

// The keyboard's choice and the rows shown, kept between keys.
struct PaletteChoice {
  int choice = 1;
  int first_row = 0;
  int typed = 0;          // the number the digits typed so far make; 0: none
  long long typed_ms = 0;  // when the last of them came
};

// One key at now_ms: arrows (and keypad 4/6/8/2) move the choice by one
// texture or one row, Page Up/Down (keypad 9/3) by a screenful of rows,
// Home/End (keypad 7/1) to the first/last texture, each showing the choice;
// digits jump to the number they make. A digit after the pause, or one that
// would make a number beyond the last texture, starts a new number. Return
// picks the choice; Esc and X close.
int palette_key(PaletteChoice &c, const PaletteLayout &layout, int scancode, long long now_ms);

// The choice the palette opens on: the clipboard's centre texture when it
// is one of 1..count, else the cursor tile's when it is, else 1.
int palette_start_choice(const TileStamp &clipboard, int cursor_texture, int count);

// The tile clipboard becomes texture t alone: rotation, tag and extra 0.
void pick_texture(int t);

// The key table's action for X.
void open_texture_palette(KeyCommand &c);
