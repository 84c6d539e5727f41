// Start-up, settings and shutdown: the screen-wide state every drawing
// module uses, and the program's main procedure.
#pragma once

#include <allegro.h>

#include "app/session.h"
#include "ui/display.h"

#define VELDKIT_VERSION "Veldkit v0.84"
#define SETTINGS_FILE "Veldkit.ini"
#define FONT_DATAFILE "Veldkit1.dat"
#define SYMBOL_DATAFILE "Veldkit2.dat"

struct ProgramSettings {
  int screen_width;
  int screen_height;
  int full_screen;
  int enable_targets;
};


// Reads "Veldkit.ini" (the current configuration file) with defaults and
// the 640 x 480 floors.
ProgramSettings read_settings();

// What needs no window: the display's size, colours, fonts and runway
// symbols, the clipboards and the placeholder colours. 0, or 1 with a
// message on stderr when a datafile cannot be had.
int init_display(int width, int height);

// init_display for the screen, then the dialog look, the callbacks and
// the back buffer. Returns 0, or 1 with a message on stderr when a datafile
// or the back buffer cannot be had.
int init_program();

// The whole program; returns the process exit code.
int veldkit_main(int argc, char **argv);
