#include "ui/lines_box.h"

#include <allegro.h>
#include <cstring>

#include "ui/display.h"

enum { LINES_BOX_KEY_WAIT_MS = 2000, LINE_CHARS = 512, LINE_H = 12, BOX_MARGIN = 16, BUTTON_W = 64, BUTTON_H = 18 };

// Keeps the start and the end of a line that is too wide: both usually
// name something (a folder, a file).
static void cut_to_width(char *text, int width) {
  const int length = ustrlen(text);
  if (text_length(font, text) <= width || length < 8) return;
  char whole[LINE_CHARS];
  ustrzcpy(whole, sizeof(whole), text);
  for (int keep = length - 3; keep > 4; keep--) {
    const int head = keep / 2, tail = keep - head;
    char cut[LINE_CHARS];
    ustrzncpy(cut, sizeof(cut), whole, head);
    ustrzcat(cut, sizeof(cut), "...");
    ustrzcat(cut, sizeof(cut), whole + uoffset(whole, length - tail));
    if (text_length(font, cut) <= width) {
      ustrzcpy(text, LINE_CHARS, cut);
      return;
    }
  }
}

static int key_held() {
  for (int k = 1; k < KEY_MODIFIERS; k++)
    if (key[k]) return 1;
  return 0;
}

void show_lines_box(const char *const *lines, int count) {
  if (count > LINES_BOX_MAX) count = LINES_BOX_MAX;
  if (count < 0) count = 0;
  static char texts[LINES_BOX_MAX][LINE_CHARS];
  static char ok[] = "OK";
  // The texts are measured in the interface's font; the box's own lengths
  // grow with its scale.
  const int margin = ui_size(BOX_MARGIN), line_h = ui_size(LINE_H), button_w = ui_size(BUTTON_W),
            button_h = ui_size(BUTTON_H);
  const int widest = display.screen_width - 2 * margin - ui_size(16);
  int w = ui_size(200);
  for (int i = 0; i < count; i++) {
    ustrzcpy(texts[i], LINE_CHARS, lines[i] ? lines[i] : "");
    cut_to_width(texts[i], widest);
    const int l = text_length(font, texts[i]) + 2 * margin;
    if (l > w) w = l;
  }
  const int h = (count + 1) * line_h + button_h + 2 * margin;
  const int x0 = (display.screen_width - w) / 2, y0 = (display.screen_height - h) / 2;
  DIALOG dialog[LINES_BOX_MAX + 3];
  memset(dialog, 0, sizeof(dialog));
  const int fg = gui_fg_color, bg = gui_bg_color;
  dialog[0] = {gui_shadow_box_proc, x0, y0, w, h, fg, bg, 0, 0, 0, 0, nullptr, nullptr, nullptr};
  for (int i = 0; i < count; i++)
    dialog[1 + i] = {gui_ctext_proc, x0, y0 + margin / 2 + ui_size(2) + i * line_h, w, line_h, fg, bg, 0, 0, 0, 0,
                     texts[i], nullptr, nullptr};
  const int button = 1 + count;
  dialog[button] = {gui_button_proc, x0 + (w - button_w) / 2, y0 + h - button_h - margin / 2 - ui_size(2), button_w, button_h,
                    fg, bg, 'o', D_EXIT, 0, 0, ok, nullptr, nullptr};
  // Esc ends any dialog; the key that led here must not answer the box,
  // and Return takes OK wherever the pointer has been.
  clear_keybuf();
  const int mouse_focus = gui_mouse_focus;
  gui_mouse_focus = FALSE;
  popup_dialog(dialog, button);
  gui_mouse_focus = mouse_focus;
  // The key that answered, held on, must not repeat into the map: wait for
  // its release (a while at most), then drop what it typed.
  for (int waited = 0; waited < LINES_BOX_KEY_WAIT_MS && key_held(); waited += 10) rest(10);
  clear_keybuf();
}
