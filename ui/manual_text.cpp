#include "ui/manual_text.h"

#include "ui/dialog_theme.h"
#include "ui/display.h"
#include "ui/list_box.h"

#define MANUAL_TAB_SIZE 8
#define MANUAL_BAR_WIDTH 12

// The character n places before p, or 0 when that lies before the text.
static int char_before(const char *text, const char *p, int n) {
  return p - text >= n ? (unsigned char)p[-n] : 0;
}

// Does the tag closed by '>' at close end the line? Paragraph tags, line
// breaks and heading ends do.
static int is_break_tag(const char *text, const char *close) {
  if (char_before(text, close, 1) == 'P') return 1;
  if (char_before(text, close, 2) == 'B' && char_before(text, close, 1) == 'R') return 1;
  return char_before(text, close, 3) == '/' && char_before(text, close, 2) == 'H';
}

static int char_width(const char *p, int tab_size) {
  if (*p == '\t') return tab_size * text_length(font, " ");
  char one[2] = {*p, 0};
  return text_length(font, one);
}

// Fills only proper rectangles: a box too small for a margin draws nothing
// rather than a swapped rectangle outside it.
static void fill(int x1, int y1, int x2, int y2, int colour) {
  if (x2 >= x1 && y2 >= y1) rectfill(screen, x1, y1, x2, y2, colour);
}

struct HtmlLine {
  const char *end;      // first character of the next line
  const char *skipped;  // the blank the line was broken at, not drawn
};

// Lays out one line from start: tags take no room, paragraph, line-break
// and heading-end tags end the line, and a full line is broken at its last
// blank when wrapping.
static HtmlLine measure_line(const char *text, const char *start, int wrap, int tab_size, int w) {
  HtmlLine line = {start, nullptr};
  const char *p = start;
  int width = 0;
  for (;;) {
    if (*p == '\n' || *p == '\r') p++;
    while (*p == '<') {
      const char *close = p;
      while (*close && *close != '>') close++;
      if (!*close) {
        p = close;  // an unclosed tag runs to the end of the text
        break;
      }
      p = close + 1;
      if (is_break_tag(text, close)) {
        line.end = p;
        return line;
      }
    }
    if (!*p) {
      line.end = p;
      return line;
    }
    int len = char_width(p, tab_size);
    if (width + len >= w - 8) break;
    width += len;
    p++;
  }

  // The line is full at p.
  line.end = p;
  if (wrap) {
    if (uisspace((unsigned char)*p)) {
      line.skipped = p;
      line.end = p + 1;
    } else {
      for (const char *q = p; q > start;) {
        q--;
        if (uisspace((unsigned char)*q)) {
          line.skipped = q;
          line.end = q + 1;
          break;
        }
      }
    }
    if (*line.end == '\n') line.end++;
  }
  // A box narrower than one character still takes one per line.
  if (line.end == start) line.end = start + 1;
  return line;
}

void draw_html_text(const char *text, int *line_count, int draw, int offset, int wrap, int tab_size,
                    int x, int y, int w, int h, int disabled, int text_colour, int background,
                    int disabled_colour) {
  if (!text) text = " ";
  int line = 0;
  int x0 = x + 2;
  int y1 = y + 4;
  int colour = disabled ? disabled_colour : text_colour;
  int in_tag = 0;
  if (draw) fill(x0, y + 2, x0 + w - 3, y1 - 1, background);

  // Everything up to and including the body tag is head.
  const char *start = text;
  while (*start) start++;
  int body_found = 0;
  if (text[0]) {
    for (const char *p = text + 1; *p; p++) {
      if (p[0] == '<' && p[1] == 'B' && p[2] == 'O') {
        const char *q = p;
        while (*q && *q != '>') q++;
        start = *q ? q + 1 : q;
        body_found = 1;
        break;
      }
    }
  }

  for (;;) {
    HtmlLine layout = measure_line(text, start, wrap, tab_size, w);
    int th = text_height(font);
    if (draw && line >= offset - 1 && y1 + th < y + h - 3) {
      fill(x0, y1, x0 + 3, y1 + th, background);
      int x1 = x0 + 4;
      for (const char *p = start; p < layout.end; p++) {
        int b = char_before(text, p, 1);
        if (b == '>') in_tag = 0;
        if (*p == '<') in_tag = 1;
        if (in_tag && b == 'H') {
          int bb = char_before(text, p, 2);
          if (bb == '<') font = display.message_font;
          if (bb == '/') font = display.dialog_font;
        }
        if (*p == '\t') {
          for (int k = 0; k < tab_size; k++) {
            textout_ex(screen, font, " ", x1, y1, colour, background);
            x1 += text_length(font, " ");
          }
        } else if (*p == '\n' || *p == '\r') {
          // line breaks in the file are not drawn
        } else if (p != layout.skipped && !in_tag && body_found) {
          char one[2] = {*p, 0};
          textout_ex(screen, font, one, x1, y1, colour, background);
          x1 += text_length(font, one);
        }
      }
      th = text_height(font);
      if (x1 <= x0 + w - 3) fill(x1, y1, x0 + w - 3, y1 + th - 1, background);
      y1 += th;
    }
    start = layout.end;
    line++;
    if (!*start) break;
  }

  if (draw) fill(x0 + 1, y1, x0 + w - 3, y + h - 1, background);
  *line_count = line;
}

static int visible_lines(DIALOG *d) { return (d->h - 8) / text_height(font); }

static int text_colour(DIALOG *d) { return (d->flags & D_DISABLED) ? gui_mg_color : d->fg; }

static void measure(DIALOG *d, int *count) {
  draw_html_text((const char *)d->dp, count, 0, 0, !(d->flags & D_SELECTED), MANUAL_TAB_SIZE,
                 d->x, d->y, d->w, d->h, d->flags & D_DISABLED, text_colour(d), theme.light_color,
                 gui_mg_color);
}

static int scroll_keys(DIALOG *d, int c, int visible) {
  if (d->d1 <= 0) return D_O_K;
  int s = d->d2;
  int top = d->d2 > 0 ? d->d2 + 1 : 0;
  int bottom = d->d2 + visible - 1 >= d->d1 - 1 ? d->d1 - 1 : d->d2 + visible - 2;
  int page = bottom - top;
  if (page == 0) page = 1;
  int value;
  switch (c >> 8) {
    case KEY_UP: value = d->d2 - 1; break;
    case KEY_DOWN: value = d->d2 + 1; break;
    case KEY_HOME: value = 0; break;
    case KEY_END: value = d->d1 - visible; break;
    case KEY_PGUP: value = d->d2 - page; break;
    case KEY_PGDN: value = d->d2 + page; break;
    default: return D_O_K;
  }
  if (value > d->d1 - visible) value = d->d1 - visible;
  if (value < 0) value = 0;
  d->d2 = value;
  if (value != s) d->flags |= D_DIRTY;
  return D_USED_CHAR;
}

int manual_text_proc(int msg, DIALOG *d, int c) {
  int visible = visible_lines(d);
  switch (msg) {
    case MSG_START:
      measure(d, &d->d1);
      return D_O_K;
    case MSG_DRAW: {
      measure(d, &d->d1);
      int bar = 0;
      if (d->d1 > visible) {
        bar = MANUAL_BAR_WIDTH;
      } else {
        d->d2 = 0;
      }
      draw_html_text((const char *)d->dp, &d->d1, 1, d->d2, !(d->flags & D_SELECTED),
                     MANUAL_TAB_SIZE, d->x, d->y, d->w - bar, d->h, d->flags & D_DISABLED,
                     text_colour(d), theme.light_color, gui_mg_color);
      draw_scroll_frame(d, d->d1, d->d2, visible, theme.light_color);
      return D_O_K;
    }
    case MSG_CLICK:
      if (d->d1 > visible && gui_mouse_x() >= d->x + d->w - 13)
        scroll_bar_click(d, d->d1, &d->d2, visible);
      return D_O_K;
    case MSG_CHAR:
      return scroll_keys(d, c, visible);
    case MSG_WANTFOCUS:
      return d->d1 > visible ? D_WANTFOCUS : D_O_K;
    case MSG_WHEEL: {
      int step = visible > 3 ? 3 : 1;
      int old = d->d2;
      if (c > 0) {
        d->d2 = d->d2 - step > 0 ? d->d2 - step : 0;
      } else {
        d->d2 = d->d2 + step < d->d1 - visible ? d->d2 + step : d->d1 - visible;
      }
      if (d->d2 != old) d->flags |= D_DIRTY;
      return D_O_K;
    }
  }
  return D_O_K;
}
