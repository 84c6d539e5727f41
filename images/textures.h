// Texture bitmaps: eight levels and a sample colour per texture entry.
#pragma once

#include <allegro.h>

#include "core/reporter.h"

// Who watches the table fill in. choose(context, first) marks in first
// (MAX_TEXTURES flags, all 0) the entries wanted before the others; shown
// (context) is called on the loading thread once those are in and then now
// and then while the others come, so that the map can be drawn meanwhile
// (an entry not in yet has no levels: drawn in its sample colour).
struct TextureWatcher {
  void (*choose)(void *context, unsigned char *first);
  void (*shown)(void *context);
  void *context;
};

// Levels for entries 1..texture_count from their files in the tile map's
// folder (the sample colour where a file is missing), in entry order, or
// with a watcher its chosen entries first. 0, or RESULT_NO_MEMORY when a
// bitmap cannot be created.
int load_textures(const Reporter *reporter, const TextureWatcher *watcher = nullptr);

// The file's bitmap in the program's colour depth, its palette into palette,
// or null when the file is missing, not a regular file, damaged or of a size
// refused as a texture.
BITMAP *read_texture_file(const char *path, RGB *palette);

// Levels 1..7 and the sample colour from level 0. 0, RESULT_BAD_DATA for an
// entry without level 0, or RESULT_NO_MEMORY.
int make_texture_levels(int t);
