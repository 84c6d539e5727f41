#include "app/manual_viewer.h"

#include <cstdlib>

#include "app/startup.h"
#include "core/regular_file.h"
#include "program/resource_files.h"
#include "ui/dialog_theme.h"
#include "ui/manual_text.h"

#define MANUAL_W 630
#define MANUAL_H 476

static char manual_title[] = "Manual: " MANUAL_FILE;
static char close_label[] = "X";

static void read_error() {
  capped_alert("  Read Error:  ", nullptr, MANUAL_FILE, "OK", nullptr, 13, 0);
}

int show_manual() {
  char path[RESOURCE_PATH_SIZE];
  find_resource(MANUAL_FILE, path);
  long size = 0;
  char *text = read_whole_file(path, &size);
  // An empty file counts as missing; one over the limit is not read at all.
  if (!text || size == 0) {
    free(text);
    read_error();
    return 1;
  }

  int x0 = (display.screen_width - MANUAL_W) / 2;
  int y0 = (display.screen_height - MANUAL_H) / 2;
  int fg = theme.fg_color, bg = theme.bg_color;
  DIALOG dialog[] = {
      {gui_shadow_box_proc, x0, y0, MANUAL_W, MANUAL_H, fg, bg, 0, 0, 0, 0, manual_title, nullptr, nullptr},
      {gui_button_proc, x0 + 610, y0 + 4, 16, 15, fg, bg, 'x', D_EXIT, 0, 0, close_label, nullptr, nullptr},
      {manual_text_proc, x0 + 7, y0 + 25, 616, 428, fg, bg, 0, 0, 0, 0, text, nullptr, nullptr},
      {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
  };
  scale_dialog(dialog);
  popup_dialog(dialog, 1);

  free(text);
  rest(100);
  clear_keybuf();
  return 0;
}
