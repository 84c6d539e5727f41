// --import-targets PLACES TERRAIN: target areas from a CSV or GeoJSON list
// of places added to a georeferenced terrain's target file.
#pragma once

#include "commands/command_options.h"

// The areas added on standard output, the places left out on standard
// error; an exit code of CommandExit.
int run_import_targets(const CommandLine &command);
