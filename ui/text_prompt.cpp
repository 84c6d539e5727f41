#include "ui/text_prompt.h"

#include <allegro.h>
#include <cstdio>
#include <cstring>

#include "ui/dialog_theme.h"
#include "ui/display.h"

enum { PROMPT_W = 280, PROMPT_H = 92, PROMPT_FIELD = 2, PROMPT_OK = 3, PROMPT_TEXT_MAX = 32 };

static int ask(const char *question, char *text, int size, int again) {
  char typed[PROMPT_TEXT_MAX + 1] = "";
  if (again) snprintf(typed, sizeof(typed), "%s", text);
  static char ok[] = "OK", cancel[] = "Cancel";
  const int x0 = (display.screen_width - PROMPT_W) / 2, y0 = (display.screen_height - PROMPT_H) / 2;
  const int fg = theme.fg_color, bg = theme.bg_color;
  DIALOG dialog[] = {
      {gui_shadow_box_proc, x0, y0, PROMPT_W, PROMPT_H, fg, bg, 0, 0, 0, 0, nullptr, nullptr, nullptr},
      {gui_ctext_proc, x0, y0 + 12, PROMPT_W, 12, fg, bg, 0, 0, 0, 0, (void *)question, nullptr, nullptr},
      {theme_edit_proc, x0 + 40, y0 + 34, PROMPT_W - 80, 14, fg, display.colour_white, 0, D_EXIT, PROMPT_TEXT_MAX,
       (int)strlen(typed), typed, nullptr, nullptr},
      {gui_button_proc, x0 + 50, y0 + 62, 80, 20, fg, bg, 0, D_EXIT, 0, 0, ok, nullptr, nullptr},
      {gui_button_proc, x0 + PROMPT_W - 130, y0 + 62, 80, 20, fg, bg, 27, D_EXIT, 0, 0, cancel, nullptr, nullptr},
      {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
  };
  // The key that asked is still in the buffer, and the focus must stay on
  // the field wherever the pointer is.
  scale_dialog(dialog);
  clear_keybuf();
  const int mouse_focus = gui_mouse_focus;
  gui_mouse_focus = FALSE;
  const int ended = popup_dialog(dialog, PROMPT_FIELD);
  gui_mouse_focus = mouse_focus;
  clear_keybuf();
  if (ended != PROMPT_FIELD && ended != PROMPT_OK) return 0;
  snprintf(text, (size_t)size, "%s", typed);
  return 1;
}

int ask_text(const char *question, char *text, int size) { return ask(question, text, size, 0); }
int ask_text_again(const char *question, char *text, int size) { return ask(question, text, size, 1); }
