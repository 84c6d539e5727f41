// --recover: the journal's edits over the files as they are, written as a
// terrain of its own, TERRAIN_recovered.*; the journal stays.
#pragma once

#include <cstdio>

#include "commands/command_options.h"

int run_recover(const CommandLine &command);
