// --import-landcover RASTER TERRAIN --classes CLASSES.ini [--sea LAND]: the
// corner points' lands from a land cover raster, the tiles following.
#pragma once

#include "commands/command_options.h"

// The classes taken, those left out and the tiles changed on standard
// output; an exit code of CommandExit.
int run_import_landcover(const CommandLine &command);
