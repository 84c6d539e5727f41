// Exports without a window: the kinds asked for, written one after another
// into the working directory exactly as their keys write them.
#pragma once

#include "core/relief_shading.h"
#include "files/open_terrain.h"

// What an opening read of the height map for exports that show nothing of
// it but the briefing map's relief: that relief alone, in place of the
// heights, which are never stored.
struct BriefingHeights {
  ReliefGrid relief;
  int read = 0;  // the file was read through
};

// Whether the kinds are all briefing maps; then the reader to open with.
bool briefing_only(const int *kinds, int count);
HeightReader briefing_height_reader(BriefingHeights *heights);

// The terrain must be open. Each kind is refused, with a line on standard
// error, where its key does nothing (the water map without declared
// textures, the height-based kinds without a height map); each file written
// is named on standard error. 0 when every kind was written, else 1.
// briefing (may be null) is what an opening with briefing_height_reader
// read, which stands for the heights.
int export_kinds(const int *kinds, int count, int format = 0,  // format: ExportFormat
                 const BriefingHeights *briefing = nullptr);

// The size of the file an export of the kind writes for the open terrain.
long long export_file_bytes(int kind);
