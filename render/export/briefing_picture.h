// The picture under a briefing map: the embossed export's shaded texture
// picture (F8's relief over F7's textures, the planning maps' colours where
// a texture has no picture) at one, two or four pixels per tile, as 32-bit
// 0x00RRGGBB pixels, the layout cairo's RGB24 images have.
#pragma once

#include <cstdint>

#include "core/relief_shading.h"

// The raw picture stays within this, so that the document stays under
// 64 MB whatever the picture compresses to, and memory stays small.
enum { BRIEFING_PICTURE_BYTES = 60 << 20 };

// The largest of 4, 2 and 1 pixels per tile whose picture of tx x ty tiles
// (three bytes a pixel) fits BRIEFING_PICTURE_BYTES; 1 at the least.
int briefing_pixels_per_tile(int tx, int ty);

// The relief the picture of the current terrain shows: each pixel's sample
// nearest the middle of the part of the tile it covers. From the loaded
// heights, or read from the height map file (for an export that loads no
// heights: see read_height_relief). 0, or a RESULT_*.
int briefing_relief_from_heights(ReliefGrid *relief);
int read_briefing_relief(const char *hfd_path, ReliefGrid *relief);

// Fills the picture of the current terrain over that relief, at the pixels
// per tile the relief was made for, row y at pixels + y * stride (in
// pixels), on every core. The tiles are the loaded tile map's, or with
// tiles_fd >= 0 (see open_tile_rows) read again from the file, for an
// opening that stored none (scan_tile_map). 1 when memory fails.
int make_briefing_picture(const ReliefGrid &relief, int tiles_fd, uint32_t *pixels, long stride);
