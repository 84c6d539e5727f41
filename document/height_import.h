// Heights from other terrain tools: a grey PNG (8 or 16 bits, no alpha) or
// a bare grid of little-endian 16-bit words becomes the terrain's height
// map file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/file_stamp.h"
#include "core/terrain_model.h"

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

// The tile map's size in tiles from its header; IMPORT_WRITTEN (0), or
// IMPORT_REFUSED with the line every mode gives a tile map that does not
// open (or has no size a terrain may have) in why.
int read_terrain_size(const char *tfd_path, int *columns, int *rows, char *why, size_t size);

// The height map an import writes beside a tile map, as it was before the
// import began: its path, its third and fourth header fields and its stamp.
struct HeightTarget {
  char hfd[PATH_SIZE];
  int32_t field3, field4;
  int existed;
  FileStamp stamp;
};

// IMPORT_WRITTEN, or IMPORT_REFUSED when the height map's path is too long.
int prepare_height_target(const char *tfd_path, HeightTarget *target, char *why, size_t size);

// Writes the height map's samples_x x samples_y words (little-endian, the
// south row first, as the file holds them) through the safe writer, not over
// a file another program changed since prepare_height_target. IMPORT_WRITTEN,
// or IMPORT_CANNOT_WRITE with the line in why.
int write_height_target(const HeightTarget &target, int samples_x, int samples_y, const unsigned char *words, char *why,
                        size_t size);

// The picture's samples for a terrain of columns x rows tiles, read as
// import_heights reads them (fit 0) into samples, the north row first, for
// the window's import into the map in memory; those above 9999 are left as
// they are and counted in over. IMPORT_WRITTEN, or IMPORT_REFUSED with the
// line in why (tfd_path names the terrain there).
int read_height_picture(const char *picture_path, const char *tfd_path, int columns, int rows,
                        std::vector<uint16_t> *samples, long long *over, char *why, size_t size);
