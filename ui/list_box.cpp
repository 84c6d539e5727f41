#include "ui/list_box.h"

#include <cstdint>

#include "ui/dialog_theme.h"
#include "ui/draw_box.h"

typedef char *(*ListGetter)(int index, int *count);

#define LIST_TEXT_SIZE 1024

// Width of the scroll bar area: divider, track and the frame's right edge.
#define LIST_BAR_HIT 13

static int item_count(DIALOG *d) {
  int count = 0;
  if (d->dp) ((ListGetter)d->dp)(-1, &count);
  return count < 0 ? 0 : count;
}

static const char *item_text(DIALOG *d, int index) {
  const char *s = ((ListGetter)d->dp)(index, nullptr);
  return s ? s : "";
}

static int row_count(DIALOG *d) { return (d->h - 4) / text_height(font); }

static int mouse_on_bar(DIALOG *d) { return gui_mouse_x() >= d->x + d->w - LIST_BAR_HIT; }

// Redraws the object straight away, the pointer hidden meanwhile.
static void redraw_now(DIALOG *d) {
  scare_mouse();
  object_message(d, MSG_DRAW, 0);
  unscare_mouse();
}

static int clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

void idle_tick() { broadcast_dialog_message(MSG_IDLE, 0); }

void draw_scroll_frame(DIALOG *d, int count, int offset, int visible, int colour) {
  int x = d->x, y = d->y, w = d->w, h = d->h;
  draw_box(screen, x, y, x + w - 1, y + h - 1, gui_bg_color, BOX_SUNKEN_FRAME);
  if (count <= visible) return;

  vline(screen, x + w - 14, y + 2, y + h - 3, colour);
  int t = ((h - 5) * visible + count / 2) / count;
  int xl = x + w - 13, yy = y + 2;
  if (offset > 0) {
    int len = ((h - 5) * offset + count / 2) / count;
    rectfill(screen, xl, yy, xl + 10, yy + len, colour);
    yy += len;
  }
  if (yy + t < y + h - 3) {
    draw_box(screen, xl, yy, xl + 10, yy + t, colour, BOX_PANEL);
    rectfill(screen, xl, yy + t + 1, xl + 10, y + h - 3, colour);
  } else {
    draw_box(screen, xl, yy, xl + 10, y + h - 3, colour, BOX_PANEL);
  }
}

static int limit_offset(int value, int count, int visible) {
  if (value > count - visible) value = count - visible;
  if (value < 0) value = 0;
  return value;
}

// Waits while the button is held, up to ms milliseconds; the other objects
// keep animating meanwhile.
static void hold_pause(int ms) {
  for (int waited = 0; waited < ms && gui_mouse_b(); waited += 10) rest_callback(10, idle_tick);
}

void scroll_bar_click(DIALOG *d, int count, int *offset, int visible) {
  if (!gui_mouse_b() || count <= 0) return;
  int hh = d->h - 5;
  if (hh <= 0) return;
  int pages = 0;
  while (gui_mouse_b()) {
    int top = (*offset * hh + count / 2) / count + 2;
    int t = (hh * visible + count / 2) / count;
    int my = gui_mouse_y();
    if (my >= d->y + top && my <= d->y + top + t) {
      int grab = my + 2 - top;
      while (gui_mouse_b()) {
        int value = limit_offset(((gui_mouse_y() - grab) * count + hh / 2) / hh, count, visible);
        if (value != *offset) {
          *offset = value;
          redraw_now(d);
        }
        broadcast_dialog_message(MSG_IDLE, 0);
      }
    } else {
      int value = my <= d->y + top ? *offset - visible : *offset + visible;
      value = limit_offset(value, count, visible);
      if (value != *offset) {
        *offset = value;
        redraw_now(d);
      }
      // Paging repeats while the button is held, at a pace the eye can
      // follow: a short click pages once.
      hold_pause(pages++ == 0 ? 300 : 80);
    }
    broadcast_dialog_message(MSG_IDLE, 0);
  }
}

void keep_cursor_visible(DIALOG *d, int count, int *cursor, int *offset) {
  if (count <= 0) {
    *cursor = 0;
    *offset = 0;
    return;
  }
  int rows = row_count(d);
  if (*cursor < 0) *cursor = 0;
  if (*cursor >= count) *cursor = count - 1;
  while (*offset > 0 && *offset + rows > count) (*offset)--;
  if (*offset >= *cursor) {
    *offset = *cursor;
  } else {
    while (*offset + rows - 1 < *cursor) (*offset)++;
  }
}

void list_click(DIALOG *d) {
  int count = item_count(d);
  if (count == 0) return;
  int th = text_height(font);
  int rows = row_count(d);
  int my = gui_mouse_y();
  int i = (my - d->y - 2) / th;
  if (i > rows - 1) i = rows - 1;
  if (i < 0) i = 0;
  i += d->d2;
  if (i > d->d2 + rows - 1) i = d->d2 + rows - 1;
  if (i > count - 1) i = count - 1;
  if (my <= d->y) {
    i = i - 1 > 0 ? i - 1 : 0;
  } else if (my >= d->y + d->h - 1) {
    i = i + 1 < count - 1 ? i + 1 : count - 1;
  }
  if (i < 0) i = 0;
  if (i == d->d1) return;

  char *selection = (char *)d->dp2;
  if (selection && (key_shifts & (KB_SHIFT_FLAG | KB_CTRL_FLAG))) {
    if ((key_shifts & KB_SHIFT_FLAG) || (d->flags & D_INTERNAL)) {
      int from = clamp(i < d->d1 ? i : d->d1, 0, count - 1);
      int to = clamp(i > d->d1 ? i : d->d1, 0, count - 1);
      for (int k = from; k <= to; k++) selection[k] = 1;
    } else {
      selection[i] = !selection[i];
    }
  }
  int old_offset = d->d2;
  d->d1 = i;
  keep_cursor_visible(d, count, &d->d1, &d->d2);
  d->flags |= D_DIRTY;
  if (d->d2 != old_offset) rest_callback(clamp(16 * th - d->h - 1, 10, 100), idle_tick);
}

void draw_list_rows(DIALOG *d) {
  int x = d->x, y = d->y, w = d->w, h = d->h;
  d->bg = theme.light_color;
  int count = item_count(d);
  int th = text_height(font);
  int rows = row_count(d);
  int bar = count > rows;
  int right = bar ? x + w - 15 : x + w - 3;
  int ordinary = (d->flags & D_DISABLED) ? gui_mg_color : d->fg;
  int limit = bar ? w - 1 - 22 : w - 1 - 10;
  if (limit < 1) limit = 1;
  const char *selection = (const char *)d->dp2;
  char text[LIST_TEXT_SIZE];

  for (int i = 0; i < rows; i++) {
    int k = d->d2 + i;
    int yy = y + 2 + i * th;
    if (k >= count || k < 0) {
      rectfill(screen, x + 2, yy, right, y + 1 + (i + 1) * th, d->bg);
      continue;
    }
    int fg = ordinary, bg = d->bg;
    if (k == d->d1) {
      fg = theme.light_color;
      bg = theme.mid_color;
    } else if (selection && selection[k]) {
      fg = d->bg;
      bg = gui_mg_color;
    }
    ustrzcpy(text, sizeof(text), item_text(d, k));
    rectfill(screen, x + 2, yy, x + 9, yy + th - 1, bg);
    int len = ustrlen(text);
    while (len > 0 && text_length(font, text) >= limit) usetat(text, --len, 0);
    textout_ex(screen, font, text, x + 10, yy, fg, bg);
    if ((d->flags & D_GOTFOCUS) && k == d->d1) {
      triangle(screen, x + 3, yy + 2, x + 3, yy + th - 3, x + 7, yy + 1 + (th - 3) / 2,
               theme.focus_color);
      putpixel(screen, x + 3, yy + th - 3, theme.focus_color);
    }
    int text_w = text_length(font, text);
    if (x + 10 + text_w <= right) rectfill(screen, x + 10 + text_w, yy, right, yy + th - 1, bg);
  }
  if (y + 2 + rows * th <= y + h - 3) rectfill(screen, x + 2, y + 2 + rows * th, right, y + h - 3, d->bg);
  draw_scroll_frame(d, count, d->d2, rows, d->bg);
}

// The cursor's new place for one of the six moving keys, or -1 for any
// other key.
static int moved_cursor(int key, int cursor, int offset, int bottom, int count, int page) {
  switch (key) {
    case KEY_UP: return cursor - 1;
    case KEY_DOWN: return cursor + 1;
    case KEY_HOME: return 0;
    case KEY_END: return count - 1;
    case KEY_PGUP: return cursor > offset ? offset : cursor - page;
    case KEY_PGDN: return cursor < bottom ? bottom : cursor + page;
  }
  return -1;
}

static int list_char(DIALOG *d, int c) {
  int count = item_count(d);
  if (count == 0) return D_O_K;
  int key = c >> 8;
  if (key != KEY_UP && key != KEY_DOWN && key != KEY_HOME && key != KEY_END && key != KEY_PGUP &&
      key != KEY_PGDN)
    return D_O_K;
  int rows = row_count(d);
  int bottom = d->d2 + rows - 1 < count - 1 ? d->d2 + rows - 1 : count - 1;
  int old = d->d1;
  int page = bottom - d->d2;
  if (page == 0) page = 1;
  int cursor = moved_cursor(key, old, d->d2, bottom, count, page);

  char *selection = (char *)d->dp2;
  if (selection) {
    int shift = key_shifts & KB_SHIFT_FLAG, ctrl = key_shifts & KB_CTRL_FLAG;
    if (!shift && !ctrl) {
      for (int k = 0; k < count; k++) selection[k] = 0;
    } else if (shift) {
      int from = clamp(old < cursor ? old : cursor, 0, count - 1);
      int to = clamp(old > cursor ? old : cursor, 0, count - 1);
      for (int k = from; k <= to; k++) {
        if (!ctrl) selection[k] = (char)255;
        else selection[k] = k == cursor ? 0 : 1;
      }
    }
  }
  d->d1 = cursor;
  keep_cursor_visible(d, count, &d->d1, &d->d2);
  d->flags |= D_DIRTY;
  return D_USED_CHAR;
}

static void list_mouse_click(DIALOG *d) {
  int count = item_count(d);
  if (count > row_count(d) && mouse_on_bar(d)) {
    scroll_bar_click(d, count, &d->d2, row_count(d));
    return;
  }
  char *selection = (char *)d->dp2;
  if (selection && !(key_shifts & KB_CTRL_FLAG)) {
    int any = 0;
    for (int k = 0; k < count; k++) {
      if (selection[k]) any = 1;
      selection[k] = 0;
    }
    if (any) redraw_now(d);
  }
  list_click(d);
  while (gui_mouse_b()) {
    broadcast_dialog_message(MSG_IDLE, 0);
    d->flags |= D_INTERNAL;
    list_click(d);
    d->flags &= ~D_INTERNAL;
  }
}

int theme_list_proc(int msg, DIALOG *d, int c) {
  switch (msg) {
    case MSG_START: {
      int count = item_count(d);
      keep_cursor_visible(d, count, &d->d1, &d->d2);
      return D_O_K;
    }
    case MSG_DRAW:
      draw_list_rows(d);
      return D_O_K;
    case MSG_CLICK:
      list_mouse_click(d);
      return D_O_K;
    case MSG_DCLICK: {
      int count = item_count(d);
      if (count > row_count(d) && mouse_on_bar(d)) return D_O_K;
      if ((d->flags & D_EXIT) && count > 0) {
        int old = d->d1;
        object_message(d, MSG_CLICK, 0);
        // Only a double click that stays on the same item picks it.
        if (d->d1 == old) return D_CLOSE;
      }
      return D_O_K;
    }
    case MSG_KEY:
      if (item_count(d) > 0 && (d->flags & D_EXIT)) return D_CLOSE;
      return D_O_K;
    case MSG_CHAR:
      return list_char(d, c);
    case MSG_WANTFOCUS:
      return D_WANTFOCUS;
    case MSG_WHEEL: {
      int count = item_count(d), rows = row_count(d);
      if (count <= rows) return D_O_K;
      int step = rows > 3 ? 3 : 1;
      int old = d->d2;
      if (c > 0) {
        d->d2 = d->d2 - step > 0 ? d->d2 - step : 0;
      } else {
        d->d2 = d->d2 + step < count - rows ? d->d2 + step : count - rows;
      }
      if (d->d2 != old) redraw_now(d);
      return D_O_K;
    }
  }
  return D_O_K;
}

static int typed_count(DIALOG *d) { return (int)(intptr_t)d->dp3; }
static void set_typed_count(DIALOG *d, int n) { d->dp3 = (void *)(intptr_t)n; }

// Does item text t continue the first n characters of s with character ch?
static int continues_prefix(const char *t, const char *s, int n, int ch) {
  if (ustrlen(t) <= n || ustrlen(s) < n) return 0;
  for (int k = 0; k < n; k++) {
    if (utolower(ugetat(t, k)) != utolower(ugetat(s, k))) return 0;
  }
  return utolower(ugetat(t, n)) == utolower(ch);
}

static int type_ahead(DIALOG *d, int c) {
  int count = item_count(d);
  if (c < 32 || count == 0) return theme_list_proc(MSG_UCHAR, d, c);
  int n = typed_count(d);
  int cursor = clamp(d->d1, 0, count - 1);
  char prefix[LIST_TEXT_SIZE];
  ustrzcpy(prefix, sizeof(prefix), item_text(d, cursor));

  int i = cursor;
  do {
    if (continues_prefix(item_text(d, i), prefix, n, c)) {
      d->d1 = i;
      set_typed_count(d, n + 1);
      char *selection = (char *)d->dp2;
      if (selection) {
        for (int k = 0; k < count; k++) selection[k] = 0;
      }
      keep_cursor_visible(d, count, &d->d1, &d->d2);
      redraw_now(d);
      return D_USED_CHAR;
    }
    i = (i + 1) % count;
  } while (i != cursor);

  if (n != 0) {
    // Start a fresh search from the first character of the names.
    set_typed_count(d, 0);
    return d_text_list_proc(MSG_UCHAR, d, c);
  }
  return theme_list_proc(MSG_UCHAR, d, c);
}

int theme_text_list_proc(int msg, DIALOG *d, int c) {
  switch (msg) {
    case MSG_START:
    case MSG_CLICK:
    case MSG_DCLICK:
    case MSG_WANTFOCUS:
    case MSG_LOSTFOCUS:
      set_typed_count(d, 0);
      break;
    case MSG_CHAR:
      if ((c & 0xFF) < 32) set_typed_count(d, 0);
      break;
    case MSG_UCHAR:
      return type_ahead(d, c);
  }
  return theme_list_proc(msg, d, c);
}
