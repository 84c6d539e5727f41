/* Test helper: asks a window to close the way a window manager's close
 * button does, with a WM_DELETE_WINDOW client message. A virtual display has
 * no window manager to send it.
 *
 *   send_close WINDOW_ID
 */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int report_error(Display *display, XErrorEvent *error) {
  char text[256];
  XGetErrorText(display, error->error_code, text, sizeof text);
  fprintf(stderr, "send_close: %s\n", text);
  exit(1);
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: send_close WINDOW_ID\n");
    return 2;
  }
  char *end = NULL;
  Window window = (Window)strtoul(argv[1], &end, 0);
  if (!end || *end || window == 0) {
    fprintf(stderr, "send_close: not a window id: %s\n", argv[1]);
    return 2;
  }
  Display *display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "send_close: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(report_error);

  XEvent event;
  memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
