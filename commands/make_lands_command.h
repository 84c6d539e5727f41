// --make-lands: a land set's transition pictures written beside the tile
// map, with the texture list and the lands file extended for them.
#pragma once

#include <string>

#include "commands/command_options.h"
#include "document/land_set.h"

// A --land value, NAME=PICTURE or NAME=PICTURE:water, into *land; false
// when it has no "=".
bool read_land_option(const char *value, LandSetLand *land);

// What keeps the command's lands and numbers from being a set, as a usage
// error's line; "" when nothing.
std::string make_lands_fault(const CommandLine &command);

int run_make_lands(const CommandLine &command);
