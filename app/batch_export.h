// Exports without a window: the kinds asked for, written one after another
// into the working directory exactly as their keys write them.
#pragma once

// The terrain must be open. Each kind is refused, with a line on standard
// error, where its key does nothing (the water map without declared
// textures, the height-based kinds without a height map); each file written
// is named on standard error. 0 when every kind was written, else 1.
int export_kinds(const int *kinds, int count, int format = 0);  // format: ExportFormat

// The size of the file an export of the kind writes for the open terrain.
long long export_file_bytes(int kind);
