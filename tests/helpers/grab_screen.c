/* Test helper: saves what the display shows, the whole screen or one
 * window, as a binary PPM image (the test scripts turn it into PNG).
 *
 *   grab_screen OUTPUT.ppm [WINDOW_ID]
 */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>

static int report_error(Display *display, XErrorEvent *error) {
  char text[256];
  XGetErrorText(display, error->error_code, text, sizeof text);
  fprintf(stderr, "grab_screen: %s\n", text);
  exit(1);
}

/* The 8-bit value of the colour component that mask selects. */
static unsigned component(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!(mask & 1)) {
    mask >>= 1;
    shift++;
  }
  unsigned long value = (pixel >> shift) & mask;
  return (unsigned)(value * 255 / mask);
}

int main(int argc, char **argv) {
  if (argc != 2 && argc != 3) {
    fprintf(stderr, "usage: grab_screen OUTPUT.ppm [WINDOW_ID]\n");
    return 2;
  }
  Display *display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "grab_screen: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(report_error);
  Window window = argc == 3 ? (Window)strtoul(argv[2], NULL, 0) : DefaultRootWindow(display);
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) {
    fprintf(stderr, "grab_screen: no such window\n");
    return 1;
  }
  XImage *image = XGetImage(display, window, 0, 0, (unsigned)attributes.width, (unsigned)attributes.height,
                            AllPlanes, ZPixmap);
  if (!image) {
    fprintf(stderr, "grab_screen: cannot read the window's pixels\n");
    return 1;
  }
  FILE *out = fopen(argv[1], "wb");
  if (!out) {
    perror(argv[1]);
    return 1;
  }
  fprintf(out, "P6\n%d %d\n255\n", image->width, image->height);
  for (int y = 0; y < image->height; y++)
    for (int x = 0; x < image->width; x++) {
      unsigned long pixel = XGetPixel(image, x, y);
      fputc((int)component(pixel, image->red_mask), out);
      fputc((int)component(pixel, image->green_mask), out);
      fputc((int)component(pixel, image->blue_mask), out);
    }
  int failed = fclose(out) != 0;
  XDestroyImage(image);
  XCloseDisplay(display);
  return failed;
}
