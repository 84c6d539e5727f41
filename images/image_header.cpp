#include "images/image_header.h"

#include <allegro.h>
#include <cstdint>
#include <cstring>

#include "core/byte_order.h"
#include "core/stdio_packfile.h"

enum {
  IMAGE_MAX_SIDE = 32767,            // file_width and file_height are 16-bit
  IMAGE_MAX_PIXELS = 4096 * 4096,    // 64 MB at 32 bits per pixel
  IMAGE_PALETTE_ENTRIES = 256,
};

int image_size_accepted(long long width, long long height) {
  return width >= 1 && height >= 1 && width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE &&
         width * height <= IMAGE_MAX_PIXELS;
}


static int accepted(int ok) { return ok ? IMAGE_HEADER_ACCEPTED : IMAGE_HEADER_REFUSED; }

// Windows and OS/2 bitmaps. Top-down and run-length ones go through a plain
// copy: the loader cannot take the first and overruns its bitmap on a
// damaged run in the second.
static int check_bmp(const unsigned char *h, long n, uint64_t file_size) {
  if (n < 26 || h[0] != 'B' || h[1] != 'M') return IMAGE_HEADER_REFUSED;
  // Pixels said to begin past the end: the loader would read its way there
  // a byte at a time, seconds for a file of a few bytes.
  if (le32(h + 10) > file_size) return IMAGE_HEADER_REFUSED;
  const uint32_t info_size = le32(h + 14);
  long long width, height;
  unsigned bits;
  uint32_t compression;
  if (info_size == 12) {
    width = le16(h + 18);
    height = le16(h + 20);
    bits = le16(h + 24);
    compression = 0;
  } else if (info_size >= 40 && n >= 54) {
    width = (int32_t)le32(h + 18);
    height = (int32_t)le32(h + 22);
    bits = le16(h + 28);
    compression = le32(h + 30);
  } else {
    return IMAGE_HEADER_REFUSED;
  }
  const int top_down = height < 0;
  if (top_down) height = -height;
  // The newer info headers, which the library's loader does not know.
  if (info_size == 52 || info_size == 56 || info_size == 64 || info_size == 108 || info_size == 124)
    return image_size_accepted(width, height) ? IMAGE_HEADER_PIXELS : IMAGE_HEADER_REFUSED;
  const int bits_ok = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  const int plain = compression == 0 || compression == 3;  // RGB or bit fields
  const int runs = (compression == 1 && bits == 8) || (compression == 2 && bits == 4);
  if (!bits_ok || !image_size_accepted(width, height)) return IMAGE_HEADER_REFUSED;
  if (plain) return top_down ? IMAGE_HEADER_PLAIN_COPY : IMAGE_HEADER_ACCEPTED;
  return runs && !top_down ? IMAGE_HEADER_PLAIN_COPY : IMAGE_HEADER_REFUSED;  // runs go bottom-up only
}

// PCX: 8 bits in one plane (indexed) or three (RGB); a row of fewer bytes
// than the width would leave pixels the loader never writes.
static int check_pcx(const unsigned char *h, long n, uint64_t) {
  if (n < 128 || h[0] != 0x0A) return IMAGE_HEADER_REFUSED;
  const long long width = (long long)le16(h + 8) - le16(h + 4) + 1;
  const long long height = (long long)le16(h + 10) - le16(h + 6) + 1;
  const unsigned bits = h[3], planes = h[65], row_bytes = le16(h + 66);
  const int layout_ok = bits == 8 && (planes == 1 || planes == 3) && row_bytes >= width;
  return accepted(layout_ok && image_size_accepted(width, height));
}

// Targa: colour maps of at most 256 entries (the loader overruns its palette
// on more). Run-length kinds go through a plain copy, as the loader overruns
// its line buffer on their packets; so do 15-bit colour maps, which it
// misreads.
static int check_tga(const unsigned char *h, long n, uint64_t file_bytes) {
  if (n < 18) return IMAGE_HEADER_REFUSED;
  const unsigned map_type = h[1], image_type = h[2];
  const unsigned map_first = le16(h + 3), map_length = le16(h + 5), map_bits = h[7];
  const unsigned bits = h[16];
  const int runs = image_type == 9 || image_type == 10 || image_type == 11;
  if (map_type > 1 || (image_type != 1 && image_type != 2 && image_type != 3 && !runs))
    return IMAGE_HEADER_REFUSED;
  if (map_type == 1 && map_first + map_length > IMAGE_PALETTE_ENTRIES) return IMAGE_HEADER_REFUSED;
  const int bits_ok = bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
  const long long width = le16(h + 12), height = le16(h + 14);
  if (!bits_ok || !image_size_accepted(width, height)) return IMAGE_HEADER_REFUSED;
  // A cut plain file: the loader stops at its end and leaves the rest of the
  // bitmap as it found the memory.
  const long long map_bytes = map_type == 1 ? (long long)map_length * ((map_bits + 7) / 8) : 0;
  if (!runs && 18 + h[0] + map_bytes + width * height * ((bits + 7) / 8) > (long long)file_bytes)
    return IMAGE_HEADER_REFUSED;
  return runs || (map_type == 1 && map_bits == 15) ? IMAGE_HEADER_PLAIN_COPY : IMAGE_HEADER_ACCEPTED;
}

// Interleaved and chunky bitmaps: the loader reads and writes past its rows
// even on some sound files, so they always go through a plain copy.
static int check_lbm(const unsigned char *h, long n, uint64_t) {
  if (n < 12 || memcmp(h, "FORM", 4) != 0) return IMAGE_HEADER_REFUSED;
  const int known = memcmp(h + 8, "ILBM", 4) == 0 || memcmp(h + 8, "PBM ", 4) == 0;
  return known ? IMAGE_HEADER_PLAIN_COPY : IMAGE_HEADER_REFUSED;
}

// PNG: the signature and the size in its first chunk, which must be IHDR.
static int check_png(const unsigned char *h, long n, uint64_t) {
  static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n < 24 || memcmp(h, signature, 8) != 0 || memcmp(h + 12, "IHDR", 4) != 0) return IMAGE_HEADER_REFUSED;
  const long long width = be32(h + 16), height = be32(h + 20);
  return image_size_accepted(width, height) ? IMAGE_HEADER_PIXELS : IMAGE_HEADER_REFUSED;
}

// JPEG: the start-of-image marker; its size comes later, and the reader
// checks it before any pixels are decoded.
static int check_jpeg(const unsigned char *h, long n, uint64_t) {
  return n >= 3 && h[0] == 0xFF && h[1] == 0xD8 && h[2] == 0xFF ? IMAGE_HEADER_PIXELS : IMAGE_HEADER_REFUSED;
}

typedef int (*HeaderCheck)(const unsigned char *, long, uint64_t);

// The formats a texture file may have, by its extension.
static HeaderCheck header_check_of(const char *path) {
  static const struct {
    const char *extension;
    HeaderCheck check;
  } formats[] = {{"bmp", check_bmp}, {"pcx", check_pcx}, {"tga", check_tga}, {"lbm", check_lbm},
                 {"png", check_png}, {"jpg", check_jpeg}, {"jpeg", check_jpeg}};
  const char *ext = get_extension(path);
  for (const auto &f : formats)
    if (ustricmp(ext, f.extension) == 0) return f.check;
  return nullptr;
}

int image_extension_known(const char *path) { return header_check_of(path) != nullptr; }

ImageHeaderResult check_image_bytes(const char *path, const unsigned char *header, long n, uint64_t file_size) {
  const HeaderCheck check = header_check_of(path);
  if (!check) return IMAGE_HEADER_UNKNOWN;
  if (n <= 0) return IMAGE_HEADER_REFUSED;
  return (ImageHeaderResult)check(header, n, file_size);
}

ImageHeaderResult check_image_header(const char *path) {
  if (!header_check_of(path)) return IMAGE_HEADER_UNKNOWN;
  unsigned char header[IMAGE_HEADER_BYTES];
  PACKFILE *f = open_stdio_packfile(path, "rb");
  if (!f) return IMAGE_HEADER_REFUSED;
  const long n = pack_fread(header, sizeof(header), f);
  pack_fclose(f);
  return check_image_bytes(path, header, n, file_size_ex(path));
}
