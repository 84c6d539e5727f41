// --diff: what differs between two terrains, tile by tile.
#pragma once

#include <cstdio>

#include "commands/command_options.h"

// Its lists to out, its notes and summary to err.
int run_diff(const CommandLine &command, FILE *out, FILE *err);
