// Opening a terrain in the window: the file selector, then the loaders with
// their progress in the status strip, then one box for each file that went
// wrong, saying what in the terrain check's words.
#pragma once

#include "files/open_terrain.h"

// With select set, asks for the tile map first (a cancel ends the program);
// otherwise opens terrain_paths.tfd_path. A second call starts from a
// cleared model. Sets session.terrain_open on success and run_state to
// RUN_END when nothing opens. The report (may be null) receives what
// happened.
void open_terrain(int select, OpenReport *report = nullptr);
