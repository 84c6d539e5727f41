#include "app/startup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "app/editing.h"
#include "app/key_presses.h"
#include "app/main_loop.h"
#include "app/opening.h"
#include "app/status_bar.h"
#include "ui/x_errors.h"
#include "core/regular_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "edit/sculpt_brushes.h"
#include "document/open_terrain.h"
#include "app/command_line.h"
#include "program/resource_files.h"
#include "render/export/export_bitmap.h"
#include "ui/dialog_theme.h"

static void switch_in() { clear_keybuf(); }

// The library calls this from its own thread: the loop runs the prompt.
static void close_button() { close_requested = 1; }

int init_program() {
  clear_clipboards();
  if (init_display(SCREEN_W, SCREEN_H) != 0) return 1;
  set_ui_scale(ui_scale_for(session.ui_scale, SCREEN_W, SCREEN_H));
  set_close_button_callback(close_button);
  set_display_switch_callback(SWITCH_IN, switch_in);

  install_dialog_theme();

  display.back_buffer = create_bitmap(display.screen_width, display.screen_height);
  if (!display.back_buffer) {
    fprintf(stderr, "Veldkit: not enough memory for a %d x %d back buffer\n", display.screen_width,
            display.screen_height);
    return 1;
  }
  return 0;
}

int veldkit_main(int argc, char **argv) {
  const CommandLine command = parse_command_line(argc, argv);
  if (command.mode != COMMAND_WINDOW) return run_command_line(command);
  if (allegro_init() != 0) {
    // Without a system driver nothing else of the library may be called.
    fputs("Unable to set graphics mode\n", stderr);
    return 1;
  }
  install_timer();
  install_keyboard();
  install_key_recorder();
  install_mouse();
  install_mouse_recorder();
  // The library leaves X protocol errors to the default handler, which ends
  // the program; none of them is worth that.
  install_x_error_recorder();

  use_config_file(SETTINGS_FILE);
  ProgramSettings settings = read_settings();
  session.enable_targets = settings.enable_targets;
  session.start_zoom = settings.start_zoom;
  session.ui_scale = settings.ui_scale;
  session.degrees_decimal = settings.degrees_decimal;
  sculpt_brush.falloff = settings.sculpt_falloff;
  sculpt_brush.hardness = settings.sculpt_hardness;
  session.air_options = settings.air;
  session.export_format = command.format >= 0 ? command.format : settings.export_format;
  session.export_format_from_command = command.format >= 0;
  // A window larger than the desktop cannot be shown whole, and the display
  // refuses sizes beyond its own limits with an error.
  int desktop_w = 0, desktop_h = 0;
  if (get_desktop_resolution(&desktop_w, &desktop_h) != 0) desktop_w = desktop_h = 0;
  fit_settings_to_desktop(settings, desktop_w, desktop_h);

  set_uformat(U_ASCII);
  set_color_depth(32);
  int card = settings.full_screen > 0 ? GFX_AUTODETECT_FULLSCREEN : GFX_AUTODETECT_WINDOWED;
  if (set_gfx_mode(card, settings.screen_width, settings.screen_height, 0, 0) != 0) {
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    allegro_message("Unable to set graphics mode\n");
    return 1;
  }
  set_window_title("Jetfront Veldkit");

  if (init_program() != 0) {
    allegro_exit();
    return 2;
  }

  draw_empty_status_bar(screen);

  if (command.terrain) {
    // A longer path would name a different file once cut: it is refused,
    // named, and the file selector follows.
    if (strlen(command.terrain) < PATH_SIZE) {
      strcpy(terrain_paths.tfd_path, command.terrain);
      open_terrain(0);
    } else {
      char cut[PATH_CUT_SIZE];
      cut_middle(command.terrain, PATH_CUT_KEEP, cut, sizeof(cut));
      report_warning(window_reporter(), WARNING_PLAIN, "Error reading TFD file.", cut, PATH_TOO_LONG_TEXT);
    }
  }
  session.run_state = RUN_CONTINUE;
  if (!session.terrain_open) open_terrain(1);

  if (session.terrain_open) {
    main_loop();
    if (session.terrain_open) release_textures();
  }

  destroy_bitmap(display.back_buffer);
  display.back_buffer = nullptr;
  allegro_exit();
  return 0;
}
