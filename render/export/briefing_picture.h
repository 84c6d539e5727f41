// The picture under a briefing map: the embossed export's shaded texture
// picture (F8's relief over F7's textures, the planning maps' colours where
// a texture has no picture) at one, two or four pixels per tile, as 32-bit
// 0x00RRGGBB pixels, the layout cairo's RGB24 images have.
#pragma once

#include <cstdint>

// The raw picture stays within this, so that the document stays under
// 64 MB whatever the picture compresses to, and memory stays small.
enum { BRIEFING_PICTURE_BYTES = 60 << 20 };

// The largest of 4, 2 and 1 pixels per tile whose picture of tx x ty tiles
// (three bytes a pixel) fits BRIEFING_PICTURE_BYTES; 1 at the least.
int briefing_pixels_per_tile(int tx, int ty);

// Fills the picture of the current terrain at p pixels per tile, row y at
// pixels + y * stride (in pixels), on every core. Each pixel is the
// embossed picture's sample nearest the middle of the part of the tile it
// covers.
void make_briefing_picture(int p, uint32_t *pixels, long stride);
