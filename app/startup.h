// Start-up and shutdown of the window, and the program's main procedure.
#pragma once

#include <allegro.h>

#include "program/session.h"
#include "program/settings.h"
#include "ui/display.h"

// init_display for the screen, then the dialog look, the callbacks and
// the back buffer. Returns 0, or 1 with a message on stderr when a datafile
// or the back buffer cannot be had.
int init_program();

// The whole program; returns the process exit code.
int veldkit_main(int argc, char **argv);
