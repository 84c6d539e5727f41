// A BMP file written row by row: the header and the row layout that the
// library's save_bmp writes for an 8-bit bitmap with a palette or for a
// 32-bit one (stored as 24-bit), so that a picture made in bands gives the
// very same bytes as the whole bitmap saved at once.
#pragma once

#include <allegro.h>
#include <cstdint>
#include <cstring>

enum { BMP_HEADER_BYTES = 54, BMP_PALETTE_BYTES = 256 * 4 };

struct BmpLayout {
  int width, height;
  int bits;          // 8 (palette) or 24
  long row_bytes;    // padded to a multiple of 4
  long image_bytes;  // row_bytes * height
  long header_bytes; // file and info headers, and the palette of an 8-bit file
};

BmpLayout bmp_layout(int width, int height, int bits);

// The header as save_bmp writes it, into out (header_bytes long). palette
// is used for 8-bit files only (nullptr: all black).
void bmp_header(const BmpLayout &layout, const RGB *palette, unsigned char *out);

// Where the channels of a 32-bit pixel of the current mode lie; read on
// the main thread and handed to the row producers, which then turn pixels
// into file bytes without asking the library.
struct PixelShifts {
  int r, g, b;
};
PixelShifts current_pixel_shifts();

// A 32-bit pixel as the three bytes blue, green, red packed low to high,
// the order the file stores them in.
inline uint32_t pixel_to_bgr(uint32_t pixel, const PixelShifts &s) {
  return ((pixel >> s.b) & 0xFF) | ((pixel >> s.g) & 0xFF) << 8 | ((pixel >> s.r) & 0xFF) << 16;
}

// Writes n packed pixels as 3 n file bytes.
inline void put_bgr_run(const uint32_t *bgr, int n, unsigned char *out) {
  for (int i = 0; i < n; i++, out += 3) {
    out[0] = (unsigned char)bgr[i];
    out[1] = (unsigned char)(bgr[i] >> 8);
    out[2] = (unsigned char)(bgr[i] >> 16);
  }
}

// The same and one byte more (0), for runs where the next pixel
// overwrites it.
inline void put_bgr4(uint32_t bgr, unsigned char *out) { memcpy(out, &bgr, 4); }

inline void put_bgr(uint32_t bgr, unsigned char *out) {
  out[0] = (unsigned char)bgr;
  out[1] = (unsigned char)(bgr >> 8);
  out[2] = (unsigned char)(bgr >> 16);
}
