// The command line's modes of the real world: heights from elevation models
// for a terrain placed on the Earth, and a new terrain for an area of it.
#pragma once

#include "commands/command_options.h"

// --import-dem DEM... TERRAIN [--resampling METHOD]; the counts on standard
// output; an exit code of CommandExit.
int run_import_dem(const CommandLine &command);

// --new TERRAIN --area S,W,N,E --dem DEM... [--size CxR] [--projection P]
// [--resampling METHOD].
int run_new_area(const CommandLine &command);
