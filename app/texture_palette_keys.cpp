#include "app/texture_palette_keys.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>

#include "app/key_presses.h"
#include "app/main_loop.h"
#include "app/sculpt_keys.h"
#include "core/land_table.h"
#include "core/terrain_model.h"
#include "edit/clipboards.h"
#include "edit/sculpt_brushes.h"
#include "program/session.h"
#include "ui/display.h"

namespace {

long long now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Left button presses and releases, recorded on the library's mouse thread
// while the palette is open, as the main loop's recorder does for the map.
struct PaletteClick {
  int down, x, y;
};
enum { PALETTE_CLICKS = 32 };
PaletteClick clicks[PALETTE_CLICKS];
std::atomic<unsigned> clicks_head{0}, clicks_tail{0};

void record_click(int down, int x, int y) {
  const unsigned head = clicks_head.load(std::memory_order_relaxed);
  if (head - clicks_tail.load(std::memory_order_acquire) >= PALETTE_CLICKS) return;
  clicks[head % PALETTE_CLICKS] = {down, x, y};
  clicks_head.store(head + 1, std::memory_order_release);
}

void palette_mouse(int flags) {
  const int x = mouse_x, y = mouse_y;
  if (flags & MOUSE_FLAG_LEFT_DOWN) record_click(1, x, y);
  if (flags & MOUSE_FLAG_LEFT_UP) record_click(0, x, y);
}

// The palette of count items (other's, or else the textures) as its own
// loop until a pick (the item) or a close (0). A click picks when pressed
// and released on the same item. The bottom line names the item under the
// pointer once the pointer moves onto one, and the choice again after a key.
int run_palette(int count, int start, PaletteItems *other) {
  const PaletteLayout l = palette_layout(display.screen_width, display.screen_height, count);
  PalettePictures pictures(l.picture);
  PaletteItems &items = other ? *other : pictures;
  PaletteChoice c;
  c.choice = start;
  // The choice opens in the middle of the rows shown, as far as the ends allow.
  c.first_row = palette_clamped_first_row(l, palette_row_of(l, start) - l.rows_visible / 2);

  void (*saved_callback)(int) = mouse_callback;
  clicks_tail.store(clicks_head.load());
  mouse_callback = palette_mouse;
  int wheel = mouse_z, pressed = 0, name_pointer = 0, last_x = mouse_x, last_y = mouse_y, picked = 0;
  PaletteFrame shown;
  bool dirty = true;
  while (!close_requested) {
    int outcome = PALETTE_KEEP_OPEN;
    KeyPress press;
    if (keypressed() && read_key_press(&press) == 0) {
      outcome = palette_key(c, l, press.scancode, now_ms());
      name_pointer = 0;
      dirty = true;
    }
    for (unsigned tail = clicks_tail.load(); tail != clicks_head.load(std::memory_order_acquire); tail++) {
      const PaletteClick &e = clicks[tail % PALETTE_CLICKS];
      const int t = palette_texture_at(l, c.first_row, e.x, e.y);
      if (e.down) {
        pressed = t;
      } else if (t != 0 && t == pressed && outcome == PALETTE_KEEP_OPEN) {
        c.choice = t;
        outcome = PALETTE_PICK;
      }
      clicks_tail.store(tail + 1, std::memory_order_release);
    }
    if (outcome == PALETTE_PICK) picked = c.choice;
    if (outcome != PALETTE_KEEP_OPEN) break;

    const int notches = mouse_z - wheel;
    if (notches != 0) {
      wheel += notches;
      c.first_row = palette_clamped_first_row(l, c.first_row - notches);
      dirty = true;
    }
    const int x = mouse_x, y = mouse_y;
    const int hover = palette_texture_at(l, c.first_row, x, y);
    if (x != last_x || y != last_y) name_pointer = hover != 0;
    last_x = x;
    last_y = y;
    PaletteFrame f;
    f.first_row = c.first_row;
    f.choice = c.choice;
    f.hover = hover;
    f.named = name_pointer && hover ? hover : c.choice;
    if (dirty || f.hover != shown.hover || f.named != shown.named) {
      draw_palette(display.back_buffer, l, items, f);
      show_mouse(nullptr);
      blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
      show_mouse(screen);
      shown = f;
      dirty = false;
    } else {
      rest(5);
    }
  }
  mouse_callback = saved_callback;
  return picked;
}

}  // namespace

int palette_key(PaletteChoice &c, const PaletteLayout &l, int scancode, long long now_ms) {
  if (scancode >= KEY_0 && scancode <= KEY_9) {
    palette_type_digit(c, l, scancode - KEY_0, now_ms);
    return PALETTE_KEEP_OPEN;
  }
  c.typed = 0;
  switch (scancode) {
    case KEY_ENTER: case KEY_ENTER_PAD: return PALETTE_PICK;
    case KEY_ESC: case KEY_X: return PALETTE_CLOSE;
    case KEY_LEFT: case KEY_4_PAD: palette_move(c, l, PALETTE_BACK); break;
    case KEY_RIGHT: case KEY_6_PAD: palette_move(c, l, PALETTE_ON); break;
    case KEY_UP: case KEY_8_PAD: palette_move(c, l, PALETTE_ROW_UP); break;
    case KEY_DOWN: case KEY_2_PAD: palette_move(c, l, PALETTE_ROW_DOWN); break;
    case KEY_PGUP: case KEY_9_PAD: palette_move(c, l, PALETTE_PAGE_UP); break;
    case KEY_PGDN: case KEY_3_PAD: palette_move(c, l, PALETTE_PAGE_DOWN); break;
    case KEY_HOME: case KEY_7_PAD: palette_move(c, l, PALETTE_FIRST); break;
    case KEY_END: case KEY_1_PAD: palette_move(c, l, PALETTE_LAST); break;
    default: break;
  }
  return PALETTE_KEEP_OPEN;
}

void pick_texture(int t) {
  TileStamp stamp;
  stamp.w = stamp.h = 1;
  stamp.cells.assign(1, StampCell());
  stamp.cells[0].texture = (int16_t)t;
  clipboards.tiles = stamp;
}

void open_texture_palette(KeyCommand &c) {
  const int count = texture_table.last_declared_texture;
  if (count < 1) {
    key_note(c, "No textures declared: the texture list names none.");
    return;
  }
  const ViewState &v = *c.view;
  const int here = tile_on_map(v.cursor_x, v.cursor_y) ? tile_at(v.cursor_x, v.cursor_y).texture : 0;
  const int t = run_palette(count, palette_start_choice(clipboards.tiles, here, count), nullptr);
  if (t == 0) return;
  pick_texture(t);
  const char *name = declared_texture_name(t);
  char text[KEY_NOTE_SIZE];
  if (name)
    snprintf(text, sizeof(text), "Picked texture %d: %s.", t, name);
  else
    snprintf(text, sizeof(text), "Picked texture %d (not declared).", t);
  key_note(c, text);
}

void open_land_palette(KeyCommand &c) {
  // The lands may have gone with Left Shift + R.
  if (!lands_in_use()) {
    key_note(c, NO_LANDS_TEXT);
    return;
  }
  LandPaletteItems items;
  const int n = run_palette(last_declared_land(), current_land(*c.view), &items);
  if (n == 0) return;
  char text[KEY_NOTE_SIZE];
  if (!lands.lands[n].name[0]) {
    snprintf(text, sizeof(text), "Land %d is not declared: the land stays %s.", n, lands.lands[current_land(*c.view)].name);
  } else {
    c.view->land = n;
    snprintf(text, sizeof(text), "Land: %s.", lands.lands[n].name);
  }
  key_note(c, text);
}

void open_sculpt_palette(KeyCommand &c) {
  SculptPaletteItems items;
  const int n = run_palette(SCULPT_KINDS, sculpt_brush.kind + 1, &items);
  if (n < 1 || n > SCULPT_KINDS) return;
  choose_sculpt_brush(n - 1);
  char text[KEY_NOTE_SIZE];
  snprintf(text, sizeof(text), "Brush: %s.", sculpt_kind_name(n - 1));
  key_note(c, text);
}
