// The imports of the command line: heights from a picture or grid, lands
// from a picture of corner points, each written as a save writes it.
#pragma once

#include <cstdio>

#include "commands/command_options.h"

// --import-heights PICTURE TERRAIN [--fit MAX]; an exit code of CommandExit.
int run_import_heights(const CommandLine &command);

// --import-lands PICTURE TERRAIN; the tiles changed and those left without a
// transition on standard output.
int run_import_lands(const CommandLine &command);
