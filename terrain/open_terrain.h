// Opening a terrain: the file selector, the derived names, the loaders in
// their fixed order and every warning and error box.
#pragma once

void open_terrain(int select);

// Inserts text before the last four characters of path (size bytes in all).
// A path shorter than four characters, or one the text would not fit into,
// is emptied instead, so that it names no file at all rather than a
// different one.
void insert_suffix(char *path, const char *text, int size);

// The boxes open_terrain showed, oldest first: their message and path lines.
// Only the first TERRAIN_ALERT_LOG are kept; the count goes on.
enum { TERRAIN_ALERT_LOG = 8 };
struct TerrainAlert {
  const char *message;
  const char *path;
};
extern TerrainAlert terrain_alert_log[TERRAIN_ALERT_LOG];
extern int terrain_alert_count;
