// The .HFD height map file: 16-byte header, rows from the south edge,
// one little-endian 16-bit sample each.
#pragma once

#include "core/reporter.h"
#include "core/safe_file.h"

// 0, or RESULT_CANNOT_OPEN, RESULT_BAD_HEADER (sizes other than 4 samples
// per tile of the loaded tile map: nothing stored) or RESULT_BAD_DATA (a
// sample above MAX_HEIGHT: the samples are stored, the map is not marked
// loaded). Success sets the height steps and the palette.
int load_height_map(const char *path, const Reporter *reporter);

// 0, or RESULT_CANNOT_WRITE with the original file kept and why in why
// (may be null).
int save_height_map(const char *path, WriteError *why = nullptr);
