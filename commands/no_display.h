// What every command-line mode starts with: the library without a window,
// and the terrain named on the command line into the model.
#pragma once

// Memory bitmaps in the window's colour depth, the fonts and symbols the
// exports draw with, the settings into the session. 0 when started.
int start_without_display();

// The tile map's path into the model; false, with the line every mode
// gives on standard error, when it is too long or does not open.
bool set_terrain_path(const char *path);
