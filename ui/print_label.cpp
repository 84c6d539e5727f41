#include "ui/print_label.h"

#include <cstdarg>

namespace {

enum { LABEL_BUFFER = 512 };

// Width of the first n characters of the text.
int prefix_length(const char *text, int n) {
  char part[LABEL_BUFFER];
  ustrzcpy(part, sizeof(part), text);
  cut_text(part, n);
  return text_length(font, part);
}

// Width of the character at index n alone.
int char_length(const char *text, int n) {
  char one[16];
  int used = usetc(one, ugetat(text, n));
  usetc(one + used, 0);
  return text_length(font, one);
}

}  // namespace

void print_label(BITMAP *bmp, int centred, int x, int y, int fg, int bg, const char *format, ...) {
  if (!bmp) return;

  char work[LABEL_BUFFER];
  va_list args;
  va_start(args, format);
  uvszprintf(work, sizeof(work), format, args);
  va_end(args);

  // Copy without the markers: "&&" is one '&', '&' before anything else
  // marks the following character as the hot key (the last marker counts).
  char label[LABEL_BUFFER];
  int limit = LABEL_BUFFER - uwidth_max(get_uformat());
  int in = 0, out = 0, count = 0, hot = -1;
  for (;;) {
    int c = ugetc(work + in);
    if (c == 0 || out >= limit) break;
    if (c == '&') {
      in += uwidth(work + in);
      if (ugetc(work + in) == '&') {
        in += uwidth(work + in);
        out += usetc(label + out, '&');
        count++;
      } else {
        hot = count;
      }
      continue;
    }
    in += uwidth(work + in);
    out += usetc(label + out, c);
    count++;
  }
  usetc(label + out, 0);

  int scared = is_screen_bitmap(bmp);
  if (scared) scare_mouse();

  // Fit against the bitmap itself, not its clipping rectangle; one
  // character always stays.
  int width = bmp->w;
  int length = ustrlen(label);
  int l = text_length(font, label);
  if (centred > 0) {
    while (length > 1 && (l / 2 > width - x || l / 2 > x)) {
      cut_text(label, --length);
      l = text_length(font, label);
    }
    textout_centre_ex(bmp, font, label, x, y, fg, bg);
  } else {
    while (length > 1 && l > width - x) {
      cut_text(label, --length);
      l = text_length(font, label);
    }
    textout_ex(bmp, font, label, x, y, fg, bg);
  }

  // The underline is drawn while the pointer is still hidden, so that it
  // does not end up under the pointer's saved background. A hot key cut off
  // by the fitting (or a marker at the very end) has nothing to underline.
  if (hot >= 0 && hot < length) {
    int left = centred > 0 ? x - l / 2 : x;
    int w1 = prefix_length(label, hot);
    int w2 = char_length(label, hot);
    int line_y = y + text_height(font) - gui_font_baseline - 2;
    hline(bmp, left + w1, line_y, left + w1 + w2 - 2, fg);
  }

  if (scared) unscare_mouse();
}

void cut_text(char *text, int n) {
  if (!text) return;
  if (n >= 0 && n < ustrlen(text)) usetat(text, n, 0);
}
