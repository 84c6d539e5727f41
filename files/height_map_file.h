// The .HFD height map file: 16-byte header, rows from the south edge,
// one little-endian 16-bit sample each.
#pragma once

#include "core/relief_shading.h"
#include "core/reporter.h"
#include "core/safe_file.h"

// 0, or RESULT_CANNOT_OPEN, RESULT_BAD_HEADER (sizes other than 4 samples
// per tile of the loaded tile map: nothing stored) or RESULT_BAD_DATA (a
// sample above MAX_HEIGHT: the samples are stored, the map is not marked
// loaded). Success sets the height steps and the palette.
int load_height_map(const char *path, const Reporter *reporter);

// The file read for the relief of its samples alone, for a picture that
// shows nothing else of the heights: the highest sample (the relief's
// scale), then the rows around every step-th sample from first on, on
// every core; no sample is stored. 0 with the grid filled and the relief
// prepared for the file (prepare_relief_of), or what load_height_map
// returns for the same file (RESULT_CANNOT_OPEN, RESULT_BAD_HEADER,
// RESULT_BAD_DATA), or RESULT_NO_MEMORY.
int read_height_relief(const char *path, int step, int first, ReliefGrid *grid);

// 0, or RESULT_CANNOT_WRITE with the original file kept and why in why
// (may be null).
int save_height_map(const char *path, WriteError *why = nullptr);
