// Opening a terrain in the window: the file selector, then the loaders with
// their progress in the status strip, then one box for each file that went
// wrong, saying what in the terrain check's words.
#pragma once

#include "document/open_terrain.h"

// With select set, asks for the tile map first (a cancel ends the program;
// a .TFD name that nothing has offers to make a new terrain of it);
// otherwise opens terrain_paths.tfd_path. A second call starts from a
// cleared model. Sets session.terrain_open on success and run_state to
// RUN_END when nothing opens. The report (may be null) receives what
// happened.
void open_terrain(int select, OpenReport *report = nullptr);

// Ctrl + N: after the exit prompt's questions about changed maps, asks for
// the new tile map's name, its size and texture, writes the terrain as
// --new does (with a copy of the open terrain's texture list when it lies
// in the same folder, else the pictures of a folder it asks for, or none)
// and opens it. Esc at any question leaves everything as it was. 1 when a
// terrain was opened: the new one, or the one before when the new one does
// not open.
int open_new_terrain();

// One box for a subject (OpenSubject) read again after the opening: its
// warning, its file and the problems the terrain check finds in it.
void show_subject_box(int subject, const char *message, const char *path);

// Marks in first[t] every texture of the tiles the opening's first frame
// shows (the view as an opening sets it), so that they load first.
void textures_in_view(void *, unsigned char *first);
