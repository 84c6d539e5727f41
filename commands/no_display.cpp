#include "commands/no_display.h"

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/regular_file.h"
#include "core/text_numbers.h"
#include "document/open_terrain.h"
#include "program/console_reporter.h"
#include "program/session.h"
#include "program/settings.h"
#include "files/tile_map_file.h"

// The library without a display: memory bitmaps in the window's colour
// depth, the fonts and symbols the planning maps draw with, the settings.
int start_without_display() {
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
    fputs("Veldkit: the library cannot start\n", stderr);
    return 1;
  }
  use_config_file(SETTINGS_FILE);
  const ProgramSettings settings = read_settings();
  session.enable_targets = settings.enable_targets;
  session.air_options = settings.air;
  if (session.export_format < 0) session.export_format = settings.export_format;
  set_uformat(U_ASCII);
  set_color_depth(32);
  return init_display(settings.screen_width, settings.screen_height);
}

// The terrain's path into the model; a longer one than a path may be would
// name a different file once cut, so it is refused, named in the message.
// A tile map that does not open is named in the line every mode gives it.
bool set_terrain_path(const char *path) {
  if (strlen(path) < PATH_SIZE) {
    char line[6 * PATH_SIZE];
    if (tile_map_unopened(path, line, sizeof(line))) {
      fprintf(stderr, "%s\n", line);
      return false;
    }
    strcpy(terrain_paths.tfd_path, path);
    return true;
  }
  char cut[PATH_CUT_SIZE];
  cut_middle(path, PATH_CUT_KEEP, cut, sizeof(cut));
  report_warning(console_reporter(), WARNING_PLAIN, "Error reading TFD file.", cut, PATH_TOO_LONG_TEXT);
  return false;
}
