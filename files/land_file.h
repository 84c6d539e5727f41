// The lands file (NAME_LANDS.ini beside the tile map): the land types and
// the corner lands of textures, read into the land table (core/land_table.h).
// Only a land set (document/land_set.h) adds sections to it, after its old text.
//
//   [LandNNN]      001..255: Name (at most 63 characters, unique ignoring
//                  case, no comma), Color (r,g,b from 0 to 255, unique)
//   [TextureNNN]   001..511: Corners (four land names: north-west,
//                  north-east, south-east, south-west at rotation 0) and
//                  Weight (a whole number 0..LAND_WEIGHT_MAX, default 1; 0:
//                  never chosen, still understood when reading a map)
//
// Each fault is one problem in lands.problems, naming the section and the
// line ("[Texture007], line 12: Corners names Sand, which is no land"); the
// section is left out and the rest is used.
#pragma once

#include <string>
#include <vector>

#include "core/reporter.h"

enum { LAND_WEIGHT_MAX = 1000000 };

// The warning the opening gives for a lands file with problems.
#define LAND_FILE_PROBLEMS_TEXT "Warning: Problems in _LANDS.INI file."

// Clears the land table and reads path into it. RESULT_NO_FILE when nothing
// has the name (the terrain has no lands; the table stays empty),
// RESULT_CANNOT_OPEN when it cannot be read (one problem says why),
// RESULT_BAD_DATA when it was read with problems, else 0.
int load_land_file(const char *path);

// The same from text in memory (size bytes).
int read_land_text(const char *text, long size);

// The numbers (1..511) of the [TextureNNN] sections of a lands file's text
// that give Corners, well or not, in the order met: the textures a copy of
// the file names. The land table is not touched.
std::vector<int> land_file_textures(const char *text, long size);

// Why the lands just read cannot be used, naming the file at path: it does
// not exist, cannot be read, or declares no land; "" when they can.
std::string lands_unusable_text(const char *path);
