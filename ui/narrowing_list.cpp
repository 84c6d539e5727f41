#include "ui/narrowing_list.h"

#include <allegro.h>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ui/dialog_theme.h"
#include "ui/display.h"
#include "ui/list_box.h"

namespace {

// The library's list calls back without a pointer of ours, so the one open
// list lives here.
struct OpenList {
  const NarrowingList *list = nullptr;
  char typed[128] = "";
  size_t limit = 1;
  char label[192] = "";
  std::vector<int> shown;
  std::string line;
};
OpenList shown_list;

char *list_item(int index, int *count) {
  if (index < 0) {
    *count = (int)shown_list.shown.size();
    return nullptr;
  }
  shown_list.line = shown_list.list->line(shown_list.shown[(size_t)index]);
  return &shown_list.line[0];
}

void refilter() {
  shown_list.list->filter(shown_list.typed, &shown_list.shown);
  snprintf(shown_list.label, sizeof(shown_list.label), "%s%s_", shown_list.list->label, shown_list.typed);
}

// The typed line: its own background, since it changes.
int label_proc(int msg, DIALOG *d, int) {
  if (msg != MSG_DRAW) return D_O_K;
  rectfill(screen, d->x, d->y, d->x + d->w - 1, d->y + d->h - 1, d->bg);
  textout_ex(screen, font, (const char *)d->dp, d->x, d->y, d->fg, -1);
  return D_O_K;
}

int narrowing_proc(int msg, DIALOG *d, int c) {
  if (msg == MSG_CHAR) {
    const int ascii = c & 0xff, code = c >> 8;
    const size_t n = strlen(shown_list.typed);
    if (code == KEY_BACKSPACE || (ascii >= 32 && ascii < 127)) {
      if (code == KEY_BACKSPACE && n > 0) shown_list.typed[n - 1] = 0;
      if (code != KEY_BACKSPACE && n + 1 < shown_list.limit) shown_list.typed[n] = (char)ascii, shown_list.typed[n + 1] = 0;
      refilter();
      d->d1 = d->d2 = 0;
      scare_mouse();
      object_message(d, MSG_DRAW, 0);
      object_message(d - 1, MSG_DRAW, 0);
      unscare_mouse();
      return D_USED_CHAR;
    }
  }
  return theme_list_proc(msg, d, c);
}

}  // namespace

int choose_narrowed(const NarrowingList &list, char *typed, int size) {
  shown_list = OpenList();
  shown_list.list = &list;
  shown_list.limit = std::min(sizeof(shown_list.typed), (size_t)std::max(size, 1));
  snprintf(shown_list.typed, shown_list.limit, "%s", typed);
  refilter();
  const int x0 = (display.screen_width - list.width) / 2, y0 = (display.screen_height - list.height) / 2;
  const int fg = theme.fg_color, bg = theme.bg_color, note_h = list.note ? 16 : 0;
  DIALOG dialog[] = {
      {gui_shadow_box_proc, x0, y0, list.width, list.height, fg, bg, 0, 0, 0, 0, (void *)list.title, nullptr, nullptr},
      {label_proc, x0 + 8, y0 + 24, list.width - 16, 12, fg, bg, 0, 0, 0, 0, shown_list.label, nullptr, nullptr},
      {narrowing_proc, x0 + 8, y0 + 40, list.width - 16, list.height - 48 - note_h, fg, display.colour_white, 0, D_EXIT, 0,
       0, (void *)list_item, nullptr, nullptr},
      {list.note ? label_proc : nullptr, x0 + 8, y0 + list.height - 20, list.width - 16, 12, fg, bg, 0, 0, 0, 0,
       (void *)list.note, nullptr, nullptr},
      {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
  };
  // The key that asked is still in the buffer, and the focus must stay on
  // the list wherever the pointer is.
  scale_dialog(dialog);
  clear_keybuf();
  const int mouse_focus = gui_mouse_focus;
  gui_mouse_focus = FALSE;
  const int ended = popup_dialog(dialog, 2);
  gui_mouse_focus = mouse_focus;
  clear_keybuf();
  snprintf(typed, (size_t)std::max(size, 1), "%s", shown_list.typed);
  const int chosen = ended == 2 && !shown_list.shown.empty()
                         ? shown_list.shown[(size_t)std::max(0, std::min(dialog[2].d1, (int)shown_list.shown.size() - 1))]
                         : -1;
  shown_list.list = nullptr;
  return chosen;
}
