// The exit prompt, and saving in place: both write the changed tile map and
// height map through the same steps.
#pragma once

void confirm_exit();

// The same questions before the terrain is left for another, the third line
// of each box being before ("before a new terrain?"). 1 when it may be left
// (saved, or let go), 0 when the user went back to it or a save failed.
int changes_settled(const char *before);

// The question about the target areas alone, before they are read again:
// 1 when they may be (saved, or let go), 0 when the user went back.
int target_changes_settled(const char *before);

// Saves every changed map now, asking first about a file another program
// changed. 0 when nothing is left unsaved; 1 when a map could not be saved
// or the user kept the other program's file (the edits stay in memory).
int save_changed_maps();

// Whether the tile map, the height map or the target areas have changes
// not saved.
int tile_map_unsaved();
int height_map_unsaved();
int targets_unsaved();
