// Windows bitmaps with the info headers after the 40-byte one (52 and 56
// bytes: bit-field masks in the header, the second with alpha; 108 and 124:
// the same with colour-space fields, which are not applied) and the 64-byte
// OS/2 2.x header. Uncompressed or bit fields only; every read is checked
// against the file's end first.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/byte_order.h"
#include "images/image_header.h"
#include "images/image_pixels.h"

enum {
  BMP_FILE_HEADER_BYTES = 14,
  BMP_OS2_INFO_BYTES = 64,
  BMP_RGB = 0,
  BMP_BIT_FIELDS = 3,
  BMP_ALPHA_BIT_FIELDS = 6,
};


// One channel of a packed pixel: its mask's lowest bit, the largest value
// the mask holds (0 for a zero mask: no channel), and for masks of at most
// 16 bits the scaled value of each, as a division per pixel is slow.
struct BmpChannel {
  int shift;
  uint32_t max;
  std::vector<unsigned char> scaled;
};

static unsigned bmp_round(uint64_t v, uint64_t max) { return (unsigned)((v * 255 * 2 + max) / (2 * max)); }

// 1 when the mask's bits are not one run.
static int bmp_channel(uint32_t mask, BmpChannel *c) {
  c->shift = 0;
  c->max = 0;
  if (mask == 0) return 0;
  while (!(mask & 1)) {
    mask >>= 1;
    c->shift++;
  }
  if (mask & (mask + 1)) return 1;  // a gap above the lowest run
  c->max = mask;
  if (mask <= 0xFFFF)
    for (uint32_t v = 0; v <= mask; v++) c->scaled.push_back((unsigned char)bmp_round(v, mask));
  return 0;
}

// The channel's value scaled to 0..255 by rounding.
static unsigned bmp_scale(uint32_t pixel, const BmpChannel &c, unsigned missing) {
  if (c.max == 0) return missing;
  const uint32_t v = (pixel >> c.shift) & c.max;
  return c.max <= 0xFFFF ? c.scaled[v] : bmp_round(v, c.max);
}

int read_bmp_info_pixels(const unsigned char *data, long size, ImagePixels *out) {
  *out = ImagePixels{0, 0, nullptr};
  if (size < BMP_FILE_HEADER_BYTES + 4 || data[0] != 'B' || data[1] != 'M') return 1;
  const uint32_t info = le32(data + 14);
  if (info != 52 && info != 56 && info != BMP_OS2_INFO_BYTES && info != 108 && info != 124) return 1;
  if (size < BMP_FILE_HEADER_BYTES + (long)info) return 1;
  const unsigned char *h = data + BMP_FILE_HEADER_BYTES;
  const long long width = (int32_t)le32(h + 4);
  long long height = (int32_t)le32(h + 8);
  const unsigned bits = le16(h + 14);
  const uint32_t compression = le32(h + 16);
  const int top_down = height < 0;
  if (top_down) height = -height;
  if (!image_size_accepted(width, height)) return 1;

  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  if (compression == BMP_RGB) {
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return 1;
    const uint32_t rgb16[4] = {0x7C00, 0x03E0, 0x001F, 0}, rgb32[4] = {0xFF0000, 0xFF00, 0xFF, 0};
    memcpy(masks, bits == 16 ? rgb16 : rgb32, sizeof(masks));  // no alpha in plain RGB
  } else if ((compression == BMP_BIT_FIELDS || compression == BMP_ALPHA_BIT_FIELDS) &&
             info != BMP_OS2_INFO_BYTES) {
    if (bits != 16 && bits != 32) return 1;
    for (int i = 0; i < 4; i++) masks[i] = i < 3 || info >= 56 ? le32(h + 40 + 4 * i) : 0;
  } else {
    return 1;  // run-length, embedded JPEG or PNG, OS/2 Huffman
  }
  BmpChannel channels[4];
  for (int i = 0; i < 4; i++) {
    if (bits == 16 && masks[i] > 0xFFFF) return 1;
    if (bmp_channel(masks[i], &channels[i]) || (i < 3 && masks[i] == 0)) return 1;
  }

  // The colour table follows the info header; entries it lacks are black.
  unsigned char palette[256][3] = {};
  if (bits <= 8) {
    const uint32_t used = le32(h + 32);
    const long long entries = used == 0 || used > (1u << bits) ? 1 << bits : used;
    const long table = BMP_FILE_HEADER_BYTES + (long)info;
    if ((size - table) / 4 < entries) return 1;
    for (long long i = 0; i < entries; i++)
      for (int k = 0; k < 3; k++) palette[i][k] = data[table + 4 * i + 2 - k];
  }

  const uint32_t offset = le32(data + 10);
  const long long stride = (width * bits + 31) / 32 * 4;
  if (offset < BMP_FILE_HEADER_BYTES + info || offset > (uint64_t)size ||
      (size - (long long)offset) / stride < height)
    return 1;
  if (start_image_pixels(out, width, height)) return 1;
  for (long long y = 0; y < height; y++) {
    const unsigned char *row = data + offset + (top_down ? y : height - 1 - y) * stride;
    unsigned char *dest = out->rgba + y * width * 4;
    for (long long x = 0; x < width; x++, dest += 4) {
      if (bits <= 8) {
        const unsigned per_byte = 8 / bits;
        const unsigned shift = 8 - bits * (unsigned)(x % per_byte + 1);
        const unsigned index = (row[x / per_byte] >> shift) & ((1u << bits) - 1);
        memcpy(dest, palette[index], 3);
        dest[3] = 255;
        continue;
      }
      const unsigned char *p = row + x * (bits / 8);
      if (bits == 24) {
        dest[0] = p[2], dest[1] = p[1], dest[2] = p[0], dest[3] = 255;
        continue;
      }
      const uint32_t v = bits == 16 ? le16(p) : le32(p);
      for (int i = 0; i < 4; i++) dest[i] = (unsigned char)bmp_scale(v, channels[i], 255);
    }
  }
  return 0;
}
