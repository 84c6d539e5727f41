#include "terrain/image_header.h"

#include <allegro.h>
#include <cstdint>
#include <cstring>

#include "terrain/stdio_packfile.h"

enum {
  IMAGE_HEADER_BYTES = 512,
  IMAGE_MAX_SIDE = 32767,            // file_width and file_height are 16-bit
  IMAGE_MAX_PIXELS = 4096 * 4096,    // 64 MB at 32 bits per pixel
  IMAGE_PALETTE_ENTRIES = 256,
};

int image_size_accepted(long long width, long long height) {
  return width >= 1 && height >= 1 && width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE &&
         width * height <= IMAGE_MAX_PIXELS;
}

static unsigned le16(const unsigned char *p) { return p[0] | (p[1] << 8); }
static uint32_t le32(const unsigned char *p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24);
}

static int accepted(int ok) { return ok ? IMAGE_HEADER_ACCEPTED : IMAGE_HEADER_REFUSED; }

// Windows and OS/2 bitmaps. Run-length encoded ones are refused: the loader
// writes past its bitmap on a damaged run.
static int check_bmp(const unsigned char *h, long n) {
  if (n < 26 || h[0] != 'B' || h[1] != 'M') return IMAGE_HEADER_REFUSED;
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
    if (height < 0) height = -height;
    bits = le16(h + 28);
    compression = le32(h + 30);
  } else {
    return IMAGE_HEADER_REFUSED;
  }
  const int bits_ok = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  const int plain = compression == 0 || compression == 3;  // RGB or bit fields
  return accepted(bits_ok && plain && image_size_accepted(width, height));
}

static int check_pcx(const unsigned char *h, long n) {
  if (n < 128 || h[0] != 0x0A) return IMAGE_HEADER_REFUSED;
  const long long width = (long long)le16(h + 8) - le16(h + 4) + 1;
  const long long height = (long long)le16(h + 10) - le16(h + 6) + 1;
  return accepted(image_size_accepted(width, height));
}

// Targa: only the uncompressed kinds; the loader overruns its line buffer on
// run-length packets, and on colour maps of more than 256 entries.
static int check_tga(const unsigned char *h, long n) {
  if (n < 18) return IMAGE_HEADER_REFUSED;
  const unsigned map_type = h[1], image_type = h[2];
  const unsigned map_first = le16(h + 3), map_length = le16(h + 5);
  const unsigned bits = h[16];
  if (map_type > 1 || (image_type != 1 && image_type != 2 && image_type != 3))
    return IMAGE_HEADER_REFUSED;
  if (map_type == 1 && map_first + map_length > IMAGE_PALETTE_ENTRIES) return IMAGE_HEADER_REFUSED;
  const int bits_ok = bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
  return accepted(bits_ok && image_size_accepted(le16(h + 12), le16(h + 14)));
}

ImageHeaderResult check_image_header(const char *path) {
  const char *ext = get_extension(path);
  int (*check)(const unsigned char *, long) = nullptr;
  if (ustricmp(ext, "bmp") == 0) check = check_bmp;
  else if (ustricmp(ext, "pcx") == 0) check = check_pcx;
  else if (ustricmp(ext, "tga") == 0) check = check_tga;
  // The interleaved-bitmap loader reads and writes past its rows even on
  // some sound files: never handed a texture.
  else if (ustricmp(ext, "lbm") == 0) return IMAGE_HEADER_REFUSED;
  if (!check) return IMAGE_HEADER_UNKNOWN;

  unsigned char header[IMAGE_HEADER_BYTES];
  PACKFILE *f = open_stdio_packfile(path, "rb");
  if (!f) return IMAGE_HEADER_REFUSED;
  const long n = pack_fread(header, sizeof(header), f);
  pack_fclose(f);
  if (n <= 0) return IMAGE_HEADER_REFUSED;
  return (ImageHeaderResult)check(header, n);
}
