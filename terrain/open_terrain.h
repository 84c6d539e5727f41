// Opening a terrain: the file selector, the derived names, the loaders in
// their fixed order and every warning and error box.
#pragma once

void open_terrain(int select);

// Inserts text before the last four characters of path (size bytes in all).
void insert_suffix(char *path, const char *text, int size);
