#include "ui/shadow_blenders.h"

#include <allegro.h>

// Each ignores the colour being drawn (x) and darkens the pixel already on
// the bitmap (y): every channel scaled by n / 256.

unsigned long shadow_blender_15(unsigned long, unsigned long y, unsigned long n) {
  int c = (int)y;
  return (unsigned long)makecol15((int)((getr15(c) * n) >> 8), (int)((getg15(c) * n) >> 8),
                                  (int)((getb15(c) * n) >> 8));
}

unsigned long shadow_blender_16(unsigned long, unsigned long y, unsigned long n) {
  int c = (int)y;
  return (unsigned long)makecol16((int)((getr16(c) * n) >> 8), (int)((getg16(c) * n) >> 8),
                                  (int)((getb16(c) * n) >> 8));
}

// Also serves 32-bit colour, whose channels sit where 24-bit ones do.
unsigned long shadow_blender_24(unsigned long, unsigned long y, unsigned long n) {
  int c = (int)y;
  return (unsigned long)makecol24((int)((getr24(c) * n) >> 8), (int)((getg24(c) * n) >> 8),
                                  (int)((getb24(c) * n) >> 8));
}
