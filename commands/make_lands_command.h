// --make-lands: a land set's transition pictures written beside the tile
// map, with the texture list and the lands file extended for them.
#pragma once

#include <string>
#include <vector>

#include "commands/command_options.h"
#include "document/land_set.h"

// A --land value, NAME=PICTURE or NAME=PICTURE:water, into *land; false
// when it has no "=".
bool read_land_option(const char *value, LandSetLand *land);

// What keeps the command's lands and numbers from being a set, as a usage
// error's line; "" when nothing.
std::string make_lands_fault(const CommandLine &command);

// The options of --make-lands in the parser's loop: --land once a land, the
// others once each. 1 when argv[*i] is one of them (its value taken, *i on
// it), -1 with command a usage error, 0 when it is none of them.
int take_make_lands_option(CommandLine &command, int argc, char **argv, int *i);

// Its options against the mode, --size read as its PIXELS and its lands
// checked, once the mode is known: "" or the usage error's line.
std::string fit_make_lands_options(CommandLine &command);

// The lands of --new's --lands: NAME=PICTURE or NAME=PICTURE:water parted
// by commas, into *lands; "" or the usage error's line. Also what keeps
// --lands from going with the other options.
std::string read_new_lands(const CommandLine &command, std::vector<LandSetLand> *lands);

// The mode, its options and its exit codes, for --help.
extern const char MAKE_LANDS_USAGE[];

int run_make_lands(const CommandLine &command);
