#include "ui/x_errors.h"

#include <X11/Xlib.h>

static XErrorsSeen seen;

static int record_x_error(Display *, XErrorEvent *event) {
  seen.count++;
  seen.last_code = event->error_code;
  seen.last_request = event->request_code;
  return 0;
}

XErrorsSeen x_errors_seen() { return seen; }

void install_x_error_recorder() { XSetErrorHandler(record_x_error); }
