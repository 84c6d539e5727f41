// Start-up, settings and shutdown: the screen-wide state every drawing
// module uses, and the program's main procedure.
#pragma once

#include <allegro.h>

#define VELDKIT_VERSION "Veldkit v0.84"
#define SETTINGS_FILE "Veldkit.ini"
#define FONT_DATAFILE "Veldkit1.dat"
#define SYMBOL_DATAFILE "Veldkit2.dat"

enum {
  RUN_SAVED = 1,      // saved, end
  RUN_END = 2,        // nothing saved or nothing to open, end
  RUN_CONTINUE = 3,   // keep going
};

enum {
  SETTINGS_MIN_WIDTH = 640,
  SETTINGS_MIN_HEIGHT = 480,
  SETTINGS_MAX_SIZE = 16384,  // either direction; far beyond any display
};

struct ProgramSettings {
  int screen_width;
  int screen_height;
  int full_screen;
  int enable_targets;
};

extern int screen_width;
extern int screen_height;
extern int status_y;
extern BITMAP *back_buffer;
extern int run_state;
extern int terrain_open;
extern int enable_targets;

extern int colour_black, colour_white, colour_red, colour_terracotta, colour_blue;
extern int colour_steel, colour_slate, colour_dark_slate, colour_pale_blue;

extern FONT *label_font;
extern FONT *map_font;
extern FONT *message_font;
extern FONT *dialog_font;
extern BITMAP *runway_symbols[6];

// Reads "Veldkit.ini" (the current configuration file) with defaults, the
// 640 x 480 floors and the 16384 ceiling.
ProgramSettings read_settings();

// Shrinks the size to what a desktop of desktop_w x desktop_h holds (a size
// of 0 or less: unknown, no limit) and to the ceiling; the floors win over
// a desktop smaller than they are.
void fit_settings_to_desktop(ProgramSettings &s, int desktop_w, int desktop_h);

// Colours, clipboards, placeholders, datafiles, dialog look, callbacks and
// the back buffer. Returns 0, or 1 with a message on stderr when a datafile
// or the back buffer cannot be had.
int init_program();

// The whole program; returns the process exit code.
int veldkit_main(int argc, char **argv);
