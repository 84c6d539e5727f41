// Sea level and lands made to agree on a terrain's files: the corner points
// of the sea's land from the height map, or the height map from the sea's
// tiles (edit/sea_level.h), the changed map written as a save writes it
// (document/terrain_save.h), and not over a file another program changed
// since it was read.
#pragma once

#include <string>
#include <vector>

#include "edit/sea_level.h"

enum SeaDirection { SEA_LANDS_FROM_HEIGHTS, SEA_HEIGHTS_FROM_LANDS };

struct SeaCommand {
  int direction;      // SeaDirection
  const char *tfd;    // the tile map
  const char *sea;    // the sea's land, by name
  const char *shore;  // the land of points leaving the sea, or null
  int level;          // metres, for lands from heights
  int depth;          // metres, for heights from lands
};

enum SeaOutcome {
  SEA_WRITTEN = 0,      // written, or nothing needed writing
  SEA_NOT_WRITTEN = 1,  // the map could not be written, or changed meanwhile
  SEA_REFUSED = 2,      // a file or a land name that does not do
};

struct SeaRun {
  int outcome = SEA_REFUSED;
  std::string why;                 // the one line of a refusal or failure
  std::vector<std::string> notes;  // the lands file's problems, each a line
  SeaPoints points;                // lands from heights: what the heights said
  LandResult lands;                // ... and what it did to the tiles
  SeaBedResult heights;            // heights from lands
  std::string written;             // the file rewritten, or ""
};

// Reads the tile map, its height map and lands file and runs the command.
// The library must be started (32-bit colour).
SeaRun run_sea_command(const SeaCommand &command);
