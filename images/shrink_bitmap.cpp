#include "images/shrink_bitmap.h"

#include <cstdint>

namespace {

// A pixel of a source that cannot be read through its line pointers, as a
// 32-bit value, so that the average works on the same three bytes.
inline uint32_t source_pixel(BITMAP *source, int depth, int x, int y) {
  int c = getpixel(source, x, y);
  return (uint32_t)makecol32(getr_depth(depth, c), getg_depth(depth, c), getb_depth(depth, c));
}

}  // namespace

BITMAP *shrink_bitmap(BITMAP *source, int x_factor, int y_factor) {
  if (!source || x_factor < 1 || y_factor < 1) return nullptr;
  int sw = source->w, sh = source->h;
  int dw = sw / x_factor + (sw % x_factor != 0);
  int dh = sh / y_factor + (sh % y_factor != 0);
  BITMAP *dest = create_bitmap_ex(32, dw, dh);
  if (!dest) return nullptr;
  int depth = bitmap_color_depth(source);
  bool direct = depth == 32 && is_memory_bitmap(source);

  for (int dy = 0; dy < dh; dy++) {
    int y0 = dy * y_factor;
    int y1 = sh - y0 < y_factor ? sh : y0 + y_factor;  // partial block at the bottom
    uint32_t *out = (uint32_t *)dest->line[dy];
    for (int dx = 0; dx < dw; dx++) {
      int x0 = dx * x_factor;
      int x1 = sw - x0 < x_factor ? sw : x0 + x_factor;  // partial block at the right
      uint64_t low = 0, mid = 0, high = 0;
      for (int y = y0; y < y1; y++) {
        if (direct) {
          const uint32_t *row = (const uint32_t *)source->line[y];
          for (int x = x0; x < x1; x++) {
            uint32_t p = row[x];
            low += p & 0xFF;
            mid += (p >> 8) & 0xFF;
            high += (p >> 16) & 0xFF;
          }
        } else {
          for (int x = x0; x < x1; x++) {
            uint32_t p = source_pixel(source, depth, x, y);
            low += p & 0xFF;
            mid += (p >> 8) & 0xFF;
            high += (p >> 16) & 0xFF;
          }
        }
      }
      uint64_t count = (uint64_t)(x1 - x0) * (uint64_t)(y1 - y0);
      out[dx] = (uint32_t)((high / count) << 16 | (mid / count) << 8 | (low / count));
    }
  }
  return dest;
}
