#include "tests/fuzz/fuzz_support.h"

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "app/editing.h"
#include "app/startup.h"
#include "terrain/terrain_model.h"

static std::string scratch;

void fuzz_init() {
  static bool done = false;
  if (done) return;
  done = true;
  install_allegro(SYSTEM_NONE, &errno, atexit);
  set_uformat(U_ASCII);
  set_color_depth(32);
  display.screen_width = 768;
  display.screen_height = 538;
  display.status_y = display.screen_height - 26;
  screen = create_bitmap(display.screen_width, display.screen_height);
  display.back_buffer = create_bitmap(display.screen_width, display.screen_height);
  display.label_font = display.map_font = display.message_font = display.dialog_font = font;
  display.colour_black = makecol(0, 0, 0);
  display.colour_white = makecol(255, 255, 255);
  display.colour_blue = makecol(0, 0, 255);
  display.colour_pale_blue = makecol(173, 197, 222);
  display.colour_dark_slate = makecol(56, 72, 89);
  init_placeholder_colours();
  clear_clipboards();
  char tmpl[] = "/dev/shm/veldkit-fuzz-XXXXXX";
  char *dir = mkdtemp(tmpl);
  if (!dir) {
    char tmpl2[] = "/tmp/veldkit-fuzz-XXXXXX";
    dir = mkdtemp(tmpl2);
  }
  scratch = dir ? dir : "/tmp";
}

std::string fuzz_file(const char *name, const uint8_t *data, size_t size) {
  std::string path = scratch + "/" + name;
  FILE *f = fopen(path.c_str(), "wb");
  if (f) {
    if (size) fwrite(data, 1, size, f);
    fclose(f);
  }
  return path;
}
