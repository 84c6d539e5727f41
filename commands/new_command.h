// --new: a terrain of one texture and height, or with the texture list of a
// folder of pictures.
#pragma once

#include <cstdio>

#include "commands/command_options.h"

// What was written to out, what went wrong or was left out to err.
int run_new_terrain(const CommandLine &command, FILE *out, FILE *err);
