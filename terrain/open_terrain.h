// Opening a terrain: the file selector, the derived names, the loaders in
// their fixed order and every warning and error box.
#pragma once

void open_terrain(int select);

// Inserts text before the last four characters of path (size bytes in all).
// A path shorter than four characters, or one the text would not fit into,
// is emptied instead, so that it names no file at all rather than a
// different one.
void insert_suffix(char *path, const char *text, int size);

// The message line of the last box open_terrain showed; null before any.
extern const char *last_terrain_alert;
