#include "app/area_keys.h"

#include <cstdio>

#include "app/session.h"
#include "terrain/area/area_edits.h"

namespace {

// Padded like the progress messages, so that it covers a longer text.
void say(KeyCommand &c, const char *text) { snprintf(c.note, sizeof(c.note), "%-59s", text); }

void on_selection(KeyCommand &c, int rule) { area_apply(rule, c.view->selection, session.tile_clipboard); }

}  // namespace

void select_whole_map(KeyCommand &c) {
  if (map_columns() == 0 || map_rows() == 0) return;
  c.view->selected = 1;
  c.view->selection = {0, 0, map_columns() - 1, map_rows() - 1};
}

void copy_selection(KeyCommand &c) {
  if (!c.view->selected) {
    say(c, "Nothing selected.");
    return;
  }
  const TileRect &r = c.view->selection;
  copy_stamp(&session.tile_clipboard, r.left, r.top, r.right, r.bottom);
  char text[64];
  snprintf(text, sizeof(text), "Copied %d x %d tiles.", r.width(), r.height());
  say(c, text);
}

void paste_stamp_at_corner(KeyCommand &c) { area_stamp(session.tile_clipboard, c.view->cursor_x, c.view->cursor_y); }

void fill_selection(KeyCommand &c) {
  if (!c.view->selected) {
    say(c, "Nothing selected.");
    return;
  }
  area_fill(session.tile_clipboard, c.view->selection);
}

void raise_selected_textures(KeyCommand &c) { on_selection(c, AREA_RAISE_TEXTURE); }
void lower_selected_textures(KeyCommand &c) { on_selection(c, AREA_LOWER_TEXTURE); }
void turn_selected_tiles(KeyCommand &c) { on_selection(c, AREA_TURN); }
void next_selected_tags(KeyCommand &c) { on_selection(c, AREA_NEXT_TAG); }
void paste_on_selection(KeyCommand &c) { on_selection(c, AREA_PASTE_CENTRE); }

void toggle_paint_mode(KeyCommand &c) { c.view->paint_mode = !c.view->paint_mode; }
void grow_brush(KeyCommand &c) {
  if (c.view->brush_size < BRUSH_SIZE_MAX) c.view->brush_size++;
}
void shrink_brush(KeyCommand &c) {
  if (c.view->brush_size > 1) c.view->brush_size--;
}
