#include "app/x_errors.h"

#include <X11/Xlib.h>

int x_error_count;
int x_last_error_code;
int x_last_error_request;

static int record_x_error(Display *, XErrorEvent *event) {
  x_error_count++;
  x_last_error_code = event->error_code;
  x_last_error_request = event->request_code;
  return 0;
}

void install_x_error_recorder() { XSetErrorHandler(record_x_error); }
