// The command line: which mode a run is in and its usage text; the modes
// themselves, but help and version, are in commands/.
#pragma once

#include <cstdio>

#include "commands/command_options.h"
#include "commands/usage_text.h"

// Reads the arguments. A run is in a command-line mode when an argument
// begins with "--" (or is "-h"); every other command line keeps the window.
CommandLine parse_command_line(int argc, char **argv);

// The export kinds a KIND word stands for, in writing order, into kinds
// (room for at least 8); their number, or 0 for an unknown word.
int export_kinds_of(const char *word, int *kinds);

// A size as "COLUMNSxROWS" (x or X), each 1 to MAX_TILES, digits only; with
// blanks set, blanks may stand around the numbers as a person types them.
// 1 when it is one.
int parse_terrain_size(const char *text, int blanks, int *columns, int *rows);

// Runs a mode other than COMMAND_WINDOW and returns the exit code.
int run_command_line(const CommandLine &command);
