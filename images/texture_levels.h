// A texture's eight levels in plain memory: its file read once, averaged
// down to level 0 as the rows come, then each level from the sums of the
// one before. Safe on a work thread (core/work_threads.h): no bitmap is
// made and no drawing state touched; the caller turns the result into the
// texture table's bitmaps.
#pragma once

#include <cstdint>

#include "core/terrain_model.h"

enum {
  TEXTURE_SIZE = 256,        // level 0 is TEXTURE_SIZE square
  TEXTURE_SAMPLE_LEVEL = 5,  // 8 x 8: its corners make the sample colour
  TEXTURE_LEVEL_PIXELS = (TEXTURE_SIZE * TEXTURE_SIZE * 4 - 1) / 3,  // the eight levels together
};

enum TextureLevelsOutcome {
  TEXTURE_LEVELS_FROM_FILE = 0,    // the file's pixels
  TEXTURE_LEVELS_PLACEHOLDER = 1,  // no sound file: the placeholder colour throughout
  TEXTURE_LEVELS_LIBRARY = 2,      // a file only the library's loaders read: nothing made
};

enum TexturePaletteKind {
  TEXTURE_PALETTE_KEPT = 0,   // the entry's palette stays as it is
  TEXTURE_PALETTE_332 = 1,    // the library's fake palette of true-colour files
  TEXTURE_PALETTE_FILE = 2,   // palette below
};

struct TextureLevels {
  int outcome;
  int file_width, file_height;
  int palette_kind;
  unsigned char palette[256][3];  // r, g, b in 0..63, as the library keeps a palette
  int sample_r, sample_g, sample_b;  // the sample colour's components
  uint32_t pixels[TEXTURE_LEVEL_PIXELS];  // level 0, then 1 .. 7, each top row first
  uint32_t sums[2][3 * (TEXTURE_SIZE / 2) * (TEXTURE_SIZE / 2)];  // working space
};

// Where level k begins in TextureLevels::pixels.
int texture_level_offset(int k);

// Levels 1 .. 7 and the sample components from level 0 in out->pixels, each
// pixel the average of its block of level 0 (per byte, the top one 0).
void make_levels_from_level0(TextureLevels *out);

// The texture file at path (null for none) into out. placeholder is level
// 0's value throughout when there is no sound file.
void read_texture_levels(const char *path, uint32_t placeholder, TextureLevels *out);
