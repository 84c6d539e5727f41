// --check: the terrain's problems on standard output, the summary and notes
// on standard error.
#pragma once

#include <cstdio>

#include "commands/command_options.h"

int run_check(const CommandLine &command);
