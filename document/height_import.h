// Heights from other terrain tools: a grey PNG (8 or 16 bits, no alpha) or
// a bare grid of little-endian 16-bit words becomes the terrain's height
// map file.
#pragma once

#include <cstddef>

// What a refused PNG's message says is accepted.
#define IMPORT_ACCEPTED_TEXT "heights come from an 8- or 16-bit grey PNG without alpha, or a .r16/.raw file."

enum HeightImportResult {
  IMPORT_WRITTEN = 0,
  IMPORT_REFUSED = 1,  // the picture or the terrain does not do; nothing written
  IMPORT_CANNOT_WRITE = 2,
};

// Reads the tile map's header at tfd_path for the size, the picture at
// picture_path (.png, else a raw grid) and writes the height map file
// beside the tile map through the safe writer, keeping the existing file's
// third and fourth header fields. fit 0 takes the values as they are (any
// above 9999 refuse the import); 1..9999 maps the format's whole range onto
// 0..fit. What went wrong, in one line, into why, or once written what
// was ("Wrote Desert.hfd (1600 x 1600 samples from heights.png)."); the
// path written into written (both size bytes).
int import_heights(const char *picture_path, const char *tfd_path, int fit, char *why, char *written,
                   size_t size);
