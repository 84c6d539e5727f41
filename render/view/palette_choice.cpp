#include "render/view/palette_choice.h"

#include <algorithm>

namespace {

// The choice moved by delta, or left where it is when that leaves the textures.
void step(PaletteChoice &c, const PaletteLayout &l, int delta) {
  const int t = c.choice + delta;
  if (t >= 1 && t <= l.count) c.choice = t;
}

// Down from a cell with none below it, in the row above a short last row,
// goes to the last texture.
void row_down(PaletteChoice &c, const PaletteLayout &l) {
  if (c.choice + l.columns <= l.count)
    c.choice += l.columns;
  else if (palette_row_of(l, c.choice) < palette_row_of(l, l.count))
    c.choice = l.count;
}

// A screenful of rows up or down, the rows shown moving with the choice; at
// either end the choice keeps its column, as far as the last row has one.
void page(PaletteChoice &c, const PaletteLayout &l, int rows) {
  const int column = (c.choice - 1) % l.columns;
  const int last_row = palette_row_of(l, l.count);
  const int row = std::clamp(palette_row_of(l, c.choice) + rows, 0, last_row);
  c.choice = std::min(row * l.columns + column + 1, l.count);
  c.first_row = palette_clamped_first_row(l, c.first_row + rows);
}

}  // namespace

void palette_move(PaletteChoice &c, const PaletteLayout &l, int move) {
  switch (move) {
    case PALETTE_BACK: step(c, l, -1); break;
    case PALETTE_ON: step(c, l, 1); break;
    case PALETTE_ROW_UP: step(c, l, -l.columns); break;
    case PALETTE_ROW_DOWN: row_down(c, l); break;
    case PALETTE_PAGE_UP: page(c, l, -l.rows_visible); break;
    case PALETTE_PAGE_DOWN: page(c, l, l.rows_visible); break;
    case PALETTE_FIRST: c.choice = 1; break;
    case PALETTE_LAST: c.choice = std::max(1, l.count); break;
    default: return;
  }
  c.first_row = palette_first_row_showing(l, c.first_row, c.choice);
}

void palette_type_digit(PaletteChoice &c, const PaletteLayout &l, int digit, long long now_ms) {
  if (now_ms - c.typed_ms > PALETTE_TYPING_PAUSE_MS) c.typed = 0;
  c.typed_ms = now_ms;
  const long long number = (long long)c.typed * 10 + digit;
  c.typed = number > l.count ? digit : (int)number;
  if (c.typed >= 1 && c.typed <= l.count) c.choice = c.typed;
  c.first_row = palette_first_row_showing(l, c.first_row, c.choice);
}

int palette_start_choice(const TileStamp &clipboard, int cursor_texture, int count) {
  const int copied = clipboard.centre().texture;
  if (copied >= 1 && copied <= count) return copied;
  if (cursor_texture >= 1 && cursor_texture <= count) return cursor_texture;
  return 1;
}
