#include "app/window_reporter.h"

#include <allegro.h>

#include "app/main_loop.h"
#include "app/status_bar.h"

enum { KEY_CODE_ENTER = 13 };

static void show_progress_text(void *, const char *text) { show_progress("%s", text); }

static void show_warning(void *, const Warning &w) {
  if (w.kind == WARNING_NOTE) {
    // Said now, and again once the map is drawn over the strip.
    show_progress("%-59s", w.message);
    note_in_strip(w.message);
    return;
  }
  const int shortcut = w.kind == WARNING_READ_ERROR ? (int)KEY_CODE_ENTER : (int)'o';
  if (w.detail)
    alert(w.message, w.path, w.detail, "OK", nullptr, shortcut, 0);
  else
    alert(w.message, "", w.path, "OK", nullptr, shortcut, 0);
}

static void pause_for(void *, int milliseconds) { rest(milliseconds); }

const Reporter *window_reporter() {
  static const Reporter reporter = {show_progress_text, show_warning, pause_for, nullptr};
  return &reporter;
}
