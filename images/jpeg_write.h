// JPEG through libjpeg (the turbo build), into memory: the pictures that
// documents embed, where a photograph-like picture compresses to a tenth
// of what a lossless stream would, in a fraction of the time.
#pragma once

#include <cstdint>

// Encodes w x h pixels 0x00RRGGBB (row y at pixels + y * stride) at the
// quality (1..100). 0 with *out (free it with free()) and *size set; 1
// when the library fails or runs out of memory (nothing to free then).
int encode_jpeg_xrgb(const uint32_t *pixels, int w, int h, long stride, int quality, unsigned char **out,
                     unsigned long *size);
