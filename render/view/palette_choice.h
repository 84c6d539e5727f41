// The palette's choice: which texture is chosen and which rows are shown,
// moved by the keys' moves and by typed digits. No keys or window: the
// shell maps its keys to these moves.
#pragma once

#include "edit/tile_stamp.h"
#include "render/view/texture_palette.h"

// Digits typed within this pause of each other make one number.
enum { PALETTE_TYPING_PAUSE_MS = 1000 };

// The keyboard's choice and the rows shown, kept between keys.
struct PaletteChoice {
  int choice = 1;
  int first_row = 0;
  int typed = 0;           // the number the digits typed so far make; 0: none
  long long typed_ms = 0;  // when the last of them came
};

enum PaletteMove {
  PALETTE_BACK,       // one texture back
  PALETTE_ON,         // one texture on
  PALETTE_ROW_UP,     // one row up
  PALETTE_ROW_DOWN,   // one row down; from above a short last row, to the last texture
  PALETTE_PAGE_UP,    // a screenful of rows, keeping the column
  PALETTE_PAGE_DOWN,
  PALETTE_FIRST,
  PALETTE_LAST,
};

// The move, then the rows shown so that the choice is among them. A move
// that would leave the textures leaves the choice where it is.
void palette_move(PaletteChoice &c, const PaletteLayout &layout, int move);

// A digit typed at now_ms jumps to the number the digits make. A digit
// after the pause, or one that would make a number beyond the last texture,
// starts a new number.
void palette_type_digit(PaletteChoice &c, const PaletteLayout &layout, int digit, long long now_ms);

// The choice the palette opens on: the clipboard's centre texture when it
// is one of 1..count, else the cursor tile's when it is, else 1.
int palette_start_choice(const TileStamp &clipboard, int cursor_texture, int count);
