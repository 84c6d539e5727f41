// Exports without a window: the kinds asked for, written one after another
// into the working directory exactly as their keys write them.
#pragma once

#include "core/relief_shading.h"
#include "core/terrain_model.h"
#include "document/open_terrain.h"

// What an opening read of the terrain for exports that show nothing of it
// but the briefing map: the tiles checked and not stored (the picture reads
// their rows again), the height map's relief alone, no height stored.
struct BriefingReading {
  uint8_t textures_used[MAX_TEXTURES] = {};
  ReliefGrid relief;
  int heights_read = 0;  // the height map was read through
};

// Whether the kinds are all briefing maps; then the reader to open with.
bool briefing_only(const int *kinds, int count);
TerrainReader briefing_reader(BriefingReading *reading);

// The terrain must be open. Each kind is refused, with a line on standard
// error, where its key does nothing (the water map without declared
// textures, the height-based kinds without a height map); each file written
// is named on standard error. 0 when every kind was written, else 1.
// briefing (may be null) is what an opening with briefing_reader read,
// which stands for the maps.
int export_kinds(const int *kinds, int count, int format = 0,  // format: ExportFormat
                 const BriefingReading *briefing = nullptr);

// The size of the file an export of the kind writes for the open terrain.
long long export_file_bytes(int kind);

#include "commands/command_options.h"

// --export KIND[,KIND...] TERRAIN: the kinds in the order asked for, the view
// from the air beside the export kinds; an exit code of CommandExit.
int run_exports(const CommandLine &command);
