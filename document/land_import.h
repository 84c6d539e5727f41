// Lands from a picture: a PNG or BMP of the lands laid over a tile map, the
// tiles whose corners change retiled (land_set_all_points), the tile map
// written back as a save writes it. The picture has a pixel per corner
// point ((columns + 1) x (rows + 1), as --export lands writes it) or a pixel
// per tile (columns x rows), the north row at the top, each pixel a land's
// colour, or black for a point the picture leaves as the map has it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edit/land_edits.h"

enum LandImportOutcome {
  LAND_IMPORT_WRITTEN = 0,      // written, or nothing needed writing
  LAND_IMPORT_NOT_WRITTEN = 1,  // the tile map could not be written, or changed meanwhile
  LAND_IMPORT_REFUSED = 2,      // the picture, the tile map or the lands file does not do
};

struct LandImport {
  int outcome = LAND_IMPORT_REFUSED;
  std::string why;                // the one line of a refusal or failure
  std::vector<std::string> notes; // the lands file's problems, each a line
  LandResult result;              // what the lands did to the tiles
  int written = 0;                // 1 when the tile map was rewritten
};

// Reads the tile map at tfd_path into the model, its paths derived, and its
// lands file; "" when both can be used, else the line saying why not. The
// lands file's problems go into notes, a line each.
std::string open_tile_map_and_lands(const char *tfd_path, std::vector<std::string> &notes);

// Lays points (points[x * (rows + 1) + y], 0 leaving a point as it is)
// over the tile map open_tile_map_and_lands read, retiles the tiles whose
// corners change and writes the tile map when any did: the one way every
// import of lands ends. Fills im's outcome, result, written and why.
void lay_land_points(const uint8_t *points, const char *tfd_path, LandImport &im);

// Opens the tile map and its lands file, lays the picture over it and
// writes the tile map through the safe writer, refused when another program
// changed it since it was read. The library must be started (32-bit colour).
LandImport import_lands(const char *picture_path, const char *tfd_path);

// The corner points of a picture of one land per tile (tiles[x * rows + y]):
// each point (points[x * (rows + 1) + y]) takes the land most of the up to
// four tiles around it have, a tie going to the lower land number; tiles of
// land 0 say nothing, and a point none speaks for stays 0.
void land_points_of_tiles(const uint8_t *tiles, int columns, int rows, uint8_t *points);
