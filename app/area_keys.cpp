#include "app/area_keys.h"

#include <cstdio>

#include "app/session.h"
#include "core/text_numbers.h"
#include "edit/height_edits.h"
#include "ui/text_prompt.h"

namespace {

void on_selection(KeyCommand &c, int rule) { area_apply(rule, c.view->selection, session.tile_clipboard); }

void heights_on_selection(KeyCommand &c, int rule) {
  heights_apply(rule, c.view->selection, 0, session.height_clipboard);
}

void heights_on_area(KeyCommand &c, int rule, int value) {
  const ViewState &v = *c.view;
  const TileRect here = {v.cursor_x, v.cursor_y, v.cursor_x, v.cursor_y};
  heights_apply(rule, v.selected ? v.selection : here, value, session.height_clipboard);
}

}  // namespace

void select_whole_map(KeyCommand &c) {
  if (map_columns() == 0 || map_rows() == 0) return;
  c.view->selected = 1;
  c.view->selection = {0, 0, map_columns() - 1, map_rows() - 1};
}

void copy_selection(KeyCommand &c) {
  if (!c.view->selected) {
    key_note(c, "Nothing selected.");
    return;
  }
  const TileRect &r = c.view->selection;
  copy_stamp(&session.tile_clipboard, r.left, r.top, r.right, r.bottom);
  if (c.view->edit_mode == EDIT_HEIGHTS) copy_height_stamp(&session.height_stamp, r);
  char text[64];
  snprintf(text, sizeof(text), "Copied %d x %d tiles.", r.width(), r.height());
  key_note(c, text);
}

void paste_stamp_at_corner(KeyCommand &c) { area_stamp(session.tile_clipboard, c.view->cursor_x, c.view->cursor_y); }

void fill_selection(KeyCommand &c) {
  if (!c.view->selected) {
    key_note(c, "Nothing selected.");
    return;
  }
  area_fill(session.tile_clipboard, c.view->selection);
}

void paste_height_stamp_at_corner(KeyCommand &c) {
  if (session.height_stamp.w == 0) {
    key_note(c, "No heights copied.");
    return;
  }
  heights_stamp(session.height_stamp, c.view->cursor_x, c.view->cursor_y);
}

void fill_selection_heights(KeyCommand &c) {
  if (!c.view->selected) {
    key_note(c, "Nothing selected.");
  } else if (session.height_stamp.w == 0) {
    key_note(c, "No heights copied.");
  } else {
    heights_fill(session.height_stamp, c.view->selection);
  }
}

void raise_selected_heights(KeyCommand &c) { heights_on_selection(c, HEIGHTS_RAISE); }
void lower_selected_heights(KeyCommand &c) { heights_on_selection(c, HEIGHTS_LOWER); }
void turn_selected_heights(KeyCommand &c) { heights_on_selection(c, HEIGHTS_TURN); }
void paste_heights_on_selection(KeyCommand &c) { heights_on_selection(c, HEIGHTS_PASTE); }
void level_heights(KeyCommand &c) { heights_on_area(c, HEIGHTS_LEVEL, 0); }
void smooth_heights(KeyCommand &c) { heights_on_area(c, HEIGHTS_SMOOTH, 0); }
void ramp_heights(KeyCommand &c) { heights_on_area(c, HEIGHTS_RAMP, 0); }

void set_heights(KeyCommand &c) {
  c.redraw = 1;
  char text[40];
  if (!ask_text("Set height (0-9999):", text, sizeof(text)) || !text[0]) return;
  long height;
  if (parse_whole_numbers(text, &height, 1) != 0 || height > MAX_HEIGHT) {
    char line[80];
    snprintf(line, sizeof(line), "Not a height of 0 to 9999: %s", text);
    key_note(c, line);
    return;
  }
  heights_on_area(c, HEIGHTS_SET, (int)height);
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
