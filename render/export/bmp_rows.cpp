#include "render/export/bmp_rows.h"

#include <cstring>

#include "core/byte_order.h"

// Pixels per metre the library puts in every file it writes (72 dpi).
enum { BMP_PIXELS_PER_METRE = 0xB12 };

BmpLayout bmp_layout(int width, int height, int bits) {
  BmpLayout l;
  l.width = width;
  l.height = height;
  l.bits = bits;
  l.row_bytes = ((long)width * (bits / 8) + 3) & ~3L;
  l.image_bytes = l.row_bytes * height;
  l.header_bytes = BMP_HEADER_BYTES + (bits == 8 ? BMP_PALETTE_BYTES : 0);
  return l;
}



void bmp_header(const BmpLayout &layout, const RGB *palette, unsigned char *out) {
  unsigned char *p = out;
  *p++ = 'B';
  *p++ = 'M';
  p = put_le32(p, (uint32_t)(layout.header_bytes + layout.image_bytes));
  p = put_le16(p, 0);
  p = put_le16(p, 0);
  p = put_le32(p, (uint32_t)layout.header_bytes);
  p = put_le32(p, 40);
  p = put_le32(p, (uint32_t)layout.width);
  p = put_le32(p, (uint32_t)layout.height);
  p = put_le16(p, 1);
  p = put_le16(p, (unsigned)layout.bits);
  p = put_le32(p, 0);  // no compression
  p = put_le32(p, (uint32_t)layout.image_bytes);
  p = put_le32(p, BMP_PIXELS_PER_METRE);
  p = put_le32(p, BMP_PIXELS_PER_METRE);
  const uint32_t colours = layout.bits == 8 ? 256 : 0;
  p = put_le32(p, colours);
  p = put_le32(p, colours);
  if (layout.bits != 8) return;
  // The palette's 0..63 channels widened to 0..255 as the library does.
  for (int i = 0; i < 256; i++, p += 4) {
    const RGB c = palette ? palette[i] : RGB{0, 0, 0, 0};
    p[0] = (unsigned char)_rgb_scale_6[c.b & 63];
    p[1] = (unsigned char)_rgb_scale_6[c.g & 63];
    p[2] = (unsigned char)_rgb_scale_6[c.r & 63];
    p[3] = 0;
  }
}

PixelShifts current_pixel_shifts() {
  return PixelShifts{_rgb_r_shift_32, _rgb_g_shift_32, _rgb_b_shift_32};
}
