// --lands-from-heights and --heights-from-lands: the sea's land and the sea
// level made to agree on a terrain's files (document/sea_lands.h).
#pragma once

#include "commands/command_options.h"

// What changed on standard output, the file written and what went wrong on
// standard error; an exit code of CommandExit.
int run_sea_lands(const CommandLine &command);
