#include "images/texture_levels.h"

#include <allegro.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "core/regular_file.h"
#include "images/bmp_file_rows.h"
#include "images/image_header.h"
#include "images/image_pixels.h"
#include "images/plain_image.h"

int texture_level_offset(int k) {
  int offset = 0;
  for (int i = 0; i < k; i++) offset += (TEXTURE_SIZE >> i) * (TEXTURE_SIZE >> i);
  return offset;
}

// Each level's sums are the 2 x 2 sums of the level before's, so that a
// level is the exact average of its block of level 0, as if shrunk from it.
void make_levels_from_level0(TextureLevels *out) {
  // Level 0's pixels as bytes, the low one first: byte c of a pixel is
  // (value >> 8c) & 0xFF on this machine's order.
  const unsigned char *level0 = (const unsigned char *)out->pixels;
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pixels read as bytes, low byte first");
  uint32_t *sums = out->sums[0];
  int side = TEXTURE_SIZE / 2;
  for (int y = 0; y < side; y++) {
    const unsigned char *a = level0 + 4 * 2 * y * TEXTURE_SIZE, *b = a + 4 * TEXTURE_SIZE;
    uint32_t *s = sums + 3 * y * side;
    for (int x = 0; x < side; x++, a += 8, b += 8, s += 3)
      for (int c = 0; c < 3; c++) s[c] = (uint32_t)a[c] + a[4 + c] + b[c] + b[4 + c];
  }
  for (int k = 1; k < TEXTURE_LEVELS; k++) {
    if (k > 1) {
      const uint32_t *before = out->sums[k % 2];  // side * 2 square
      sums = out->sums[(k + 1) % 2];
      const int wide = side * 2;
      for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
          const uint32_t *a = before + 3 * (2 * y * wide + 2 * x), *b = a + 3 * wide;
          uint32_t *s = sums + 3 * (y * side + x);
          for (int c = 0; c < 3; c++) s[c] = a[c] + a[3 + c] + b[c] + b[3 + c];
        }
    }
    uint32_t *level = out->pixels + texture_level_offset(k);
    const int shift = 2 * k;  // the block holds 4^k pixels
    for (int i = 0; i < side * side; i++) {
      const uint32_t *s = sums + 3 * i;
      level[i] = (s[2] >> shift) << 16 | (s[1] >> shift) << 8 | (s[0] >> shift);
    }
    side /= 2;
  }

  // The four corners of the 8 x 8 level, each component divided by 4.
  const uint32_t *sample = out->pixels + texture_level_offset(TEXTURE_SAMPLE_LEVEL);
  const int last = (TEXTURE_SIZE >> TEXTURE_SAMPLE_LEVEL) - 1;
  const int corners[4] = {0, last * (last + 1), last, last * (last + 1) + last};
  out->sample_r = out->sample_g = out->sample_b = 0;
  for (int corner : corners) {
    const int c = (int)sample[corner];
    out->sample_r += getr32(c) / 4;
    out->sample_g += getg32(c) / 4;
    out->sample_b += getb32(c) / 4;
  }
}

namespace {

// Level 0 from a square file of 256, 512, 1024 or 2048 pixels, its rows
// handed in one at a time in either order: 256 taken as it is, the others
// block-averaged. Rows of a block come one after another in both orders, so
// one block's column sums are all it keeps.
struct LevelZero {
  int factor_bits;  // the file's side is TEXTURE_SIZE << factor_bits
  int width, pixel_bytes;  // pixel_bytes 3 (a 24-bit file's bytes) or 4 (32-bit values)
  int place[3];            // the byte of the value each of a pixel's first three bytes goes to
  int rows_in_block;
  uint16_t *column_sums;   // width * pixel_bytes
  uint32_t *level0;
};

int start_level_zero(LevelZero *z, int side, int pixel_bytes, const int place[3], uint32_t *level0) {
  z->factor_bits = side == 256 ? 0 : side == 512 ? 1 : side == 1024 ? 2 : side == 2048 ? 3 : -1;
  if (z->factor_bits < 0) return 1;
  z->width = side;
  z->pixel_bytes = pixel_bytes;
  for (int c = 0; c < 3; c++) z->place[c] = place[c];
  z->rows_in_block = 0;
  z->level0 = level0;
  z->column_sums = (uint16_t *)calloc((size_t)side * pixel_bytes, sizeof(uint16_t));
  return z->column_sums == nullptr;
}

// Sixteen columns at a time, the sums apart from the row: the compiler adds
// them in one vector.
void start_column_sums(uint16_t *__restrict sums, const unsigned char *__restrict bytes, int n) {
  const int whole = n & ~15;
  for (int i = 0; i < whole; i += 16)
    for (int k = 0; k < 16; k++) sums[i + k] = bytes[i + k];
  for (int i = whole; i < n; i++) sums[i] = bytes[i];
}

void add_to_column_sums(uint16_t *__restrict sums, const unsigned char *__restrict bytes, int n) {
  const int whole = n & ~15;
  for (int i = 0; i < whole; i += 16)
    for (int k = 0; k < 16; k++) sums[i + k] = (uint16_t)(sums[i + k] + bytes[i + k]);
  for (int i = whole; i < n; i++) sums[i] = (uint16_t)(sums[i] + bytes[i]);
}

// A row of level 0 from a block's column sums: each pixel the average of
// its F x F pixels of Bytes bytes, per byte.
template <int Bytes, int F>
void finish_block(const uint16_t *sums, uint32_t *out, const int *place) {
  constexpr int shift = F == 2 ? 2 : F == 4 ? 4 : 6;  // the block holds F * F pixels
  const int to0 = 8 * place[0], to1 = 8 * place[1], to2 = 8 * place[2];
  for (int x = 0; x < TEXTURE_SIZE; x++, sums += F * Bytes) {
    unsigned t0 = 0, t1 = 0, t2 = 0;
    for (int j = 0; j < F * Bytes; j += Bytes) {
      t0 += sums[j];
      t1 += sums[j + 1];
      t2 += sums[j + 2];
    }
    out[x] = (t0 >> shift) << to0 | (t1 >> shift) << to1 | (t2 >> shift) << to2;
  }
}

void add_level_zero_row(LevelZero *z, int y, const unsigned char *row) {
  const int n = z->width * z->pixel_bytes;
  if (z->factor_bits == 0) {
    uint32_t *out = z->level0 + y * TEXTURE_SIZE;
    if (z->pixel_bytes == 4) {
      memcpy(out, row, TEXTURE_SIZE * 4);
      return;
    }
    for (int x = 0; x < TEXTURE_SIZE; x++, row += 3)
      out[x] = (uint32_t)row[0] << 8 * z->place[0] | (uint32_t)row[1] << 8 * z->place[1] | (uint32_t)row[2] << 8 * z->place[2];
    return;
  }
  uint16_t *sums = z->column_sums;
  if (z->rows_in_block == 0) start_column_sums(sums, row, n);
  else add_to_column_sums(sums, row, n);
  const int factor = 1 << z->factor_bits;
  if (++z->rows_in_block < factor) return;
  // The block is whole: each output pixel sums its factor columns.
  uint32_t *out = z->level0 + (y >> z->factor_bits) * TEXTURE_SIZE;
  const int kind = (z->pixel_bytes == 3 ? 0 : 3) + z->factor_bits - 1;
  static void (*const finish[6])(const uint16_t *, uint32_t *, const int *) = {
      finish_block<3, 2>, finish_block<3, 4>, finish_block<3, 8>,
      finish_block<4, 2>, finish_block<4, 4>, finish_block<4, 8>};
  finish[kind](sums, out, z->place);
  z->rows_in_block = 0;
}

void take_bmp_row(void *context, int y, const unsigned char *row) { add_level_zero_row((LevelZero *)context, y, row); }

struct ValuesRows {
  LevelZero *zero;
  const BmpRows *rows;
  uint32_t *values;
};

void take_bmp_values(void *context, int y, const unsigned char *row) {
  ValuesRows *v = (ValuesRows *)context;
  bmp_row_values(*v->rows, row, v->values);
  add_level_zero_row(v->zero, y, (const unsigned char *)v->values);
}

const int VALUE_PLACES[3] = {0, 1, 2};

// A BMP of the common layouts, straight from fd into level 0. 0, or 1 when
// it cannot be done here after all.
int bmp_level_zero(int fd, const BmpRows &rows, TextureLevels *out) {
  LevelZero zero;
  int places[3];
  bmp_rows_places(places);
  const int bytes = rows.bits == 24 ? 3 : 4;
  if (rows.width != rows.height || start_level_zero(&zero, rows.width, bytes, bytes == 3 ? places : VALUE_PLACES, out->pixels))
    return 1;
  int failed;
  if (rows.bits == 24) {
    failed = read_bmp_rows(fd, rows, take_bmp_row, &zero);
  } else {
    ValuesRows v = {&zero, &rows, (uint32_t *)malloc((size_t)rows.width * 4)};
    failed = !v.values || read_bmp_rows(fd, rows, take_bmp_values, &v);
    free(v.values);
  }
  free(zero.column_sums);
  if (failed) return 1;
  out->palette_kind = rows.bits == 24 ? TEXTURE_PALETTE_332 : TEXTURE_PALETTE_FILE;
  if (rows.bits == 8) memcpy(out->palette, rows.palette, sizeof(out->palette));
  return 0;
}

// The whole file from fd, as read_image_file reads it; null when it is
// empty, too large or cannot be read whole.
unsigned char *read_whole_descriptor(int fd, uint64_t size) {
  if (size == 0 || size > IMAGE_FILE_MAX_BYTES) return nullptr;
  unsigned char *data = (unsigned char *)malloc((size_t)size);
  size_t got = 0;
  while (data && got < size) {
    const ssize_t n = pread(fd, data + got, (size_t)size - got, (off_t)got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += (size_t)n;
  }
  if (got == size) return data;
  free(data);
  return nullptr;
}

enum { PIXELS_MADE = 0, PIXELS_NOT_SOUND = 1, PIXELS_ELSEWHERE = 2 };

// Decoded rows into level 0, each pixel the value the texture bitmap of
// image_pixels.h would hold: alpha below 128 the mask colour.
struct PixelsToLevelZero {
  LevelZero zero;
  uint32_t *values;
  TextureLevels *out;
  int channels;   // 3: opaque RGB rows, averaged as they are
  int elsewhere;  // a size level 0 is not averaged from: stretched by the library
};

int start_pixels(void *context, int width, int height, int channels) {
  PixelsToLevelZero &p = *(PixelsToLevelZero *)context;
  p.out->file_width = width;
  p.out->file_height = height;
  p.channels = channels;
  // Red, green and blue go where makecol32 puts them.
  const int rgb_places[3] = {_rgb_r_shift_32 / 8, _rgb_g_shift_32 / 8, _rgb_b_shift_32 / 8};
  const int rgb = channels == 3 && components_in_low_bytes();
  if (channels == 3 && !rgb) p.channels = 4;
  p.elsewhere = width != height ||
                start_level_zero(&p.zero, width, rgb ? 3 : 4, rgb ? rgb_places : VALUE_PLACES, p.out->pixels) != 0;
  if (p.elsewhere) return 1;
  p.values = (uint32_t *)malloc((size_t)width * 4);
  return p.values == nullptr;
}

void take_pixels_row(void *context, int y, const unsigned char *pixels) {
  PixelsToLevelZero &p = *(PixelsToLevelZero *)context;
  if (p.channels == 3 && p.zero.pixel_bytes == 3) {
    add_level_zero_row(&p.zero, y, pixels);
    return;
  }
  const int step = p.channels;
  for (int x = 0; x < p.zero.width; x++, pixels += step)
    p.values[x] = step == 4 && pixels[3] < 128 ? (uint32_t)MASK_COLOR_32 : (uint32_t)makecol32(pixels[0], pixels[1], pixels[2]);
  add_level_zero_row(&p.zero, y, (const unsigned char *)p.values);
}

// A PNG, JPEG or newer BMP into level 0; PNGs row by row, the others
// through the whole picture.
int pixels_level_zero(const char *path, int fd, uint64_t size, TextureLevels *out) {
  if (get_color_depth() != 32) return PIXELS_ELSEWHERE;
  unsigned char *data = read_whole_descriptor(fd, size);
  if (!data) return PIXELS_NOT_SOUND;
  PixelsToLevelZero p;
  p.zero.column_sums = nullptr;
  p.values = nullptr;
  p.out = out;
  p.elsewhere = 0;
  const PixelRows taker = {start_pixels, take_pixels_row, &p};
  int failed;
  if (ustricmp(get_extension(path), "png") == 0) {
    failed = read_png_rows(data, (long)size, taker);
  } else {
    ImagePixels image;
    failed = read_image_pixels(path, data, (long)size, &image);
    if (!failed) failed = start_pixels(&p, image.width, image.height, 4);
    for (int y = 0; !failed && y < image.height; y++) take_pixels_row(&p, y, image.rgba + (size_t)y * image.width * 4);
    if (image.rgba) free_image_pixels(&image);
  }
  free(data);
  free(p.zero.column_sums);
  free(p.values);
  if (p.elsewhere) return PIXELS_ELSEWHERE;
  return failed ? PIXELS_NOT_SOUND : PIXELS_MADE;
}

void fill_placeholder(TextureLevels *out, uint32_t placeholder) {
  out->outcome = TEXTURE_LEVELS_PLACEHOLDER;
  out->file_width = out->file_height = 0;
  out->palette_kind = TEXTURE_PALETTE_KEPT;
  for (int i = 0; i < TEXTURE_SIZE * TEXTURE_SIZE; i++) out->pixels[i] = placeholder;
}

}  // namespace

void read_texture_levels(const char *path, uint32_t placeholder, TextureLevels *out) {
  fill_placeholder(out, placeholder);
  struct stat info;
  const int fd = path ? open_regular_file(path, &info) : -1;
  if (fd >= 0) {
    // Enough for an 8-bit bitmap's palette too.
    unsigned char header[2 * IMAGE_HEADER_BYTES + 64];
    ssize_t n = pread(fd, header, sizeof(header), 0);
    if (n < 0) n = 0;
    const uint64_t size = (uint64_t)info.st_size;
    const ImageHeaderResult checked =
        check_image_bytes(path, header, n < IMAGE_HEADER_BYTES ? (long)n : (long)IMAGE_HEADER_BYTES, size);
    BmpRows rows;
    if (checked == IMAGE_HEADER_ACCEPTED && bmp_rows_layout(header, (long)n, size, &rows) &&
        bmp_level_zero(fd, rows, out) == 0) {
      out->outcome = TEXTURE_LEVELS_FROM_FILE;
      out->file_width = rows.width;
      out->file_height = rows.height;
    } else if (checked == IMAGE_HEADER_PIXELS) {
      const int made = pixels_level_zero(path, fd, size, out);
      if (made == PIXELS_MADE) out->outcome = TEXTURE_LEVELS_FROM_FILE;
      else if (made == PIXELS_ELSEWHERE) out->outcome = TEXTURE_LEVELS_LIBRARY;
    } else if (checked != IMAGE_HEADER_REFUSED) {
      out->outcome = TEXTURE_LEVELS_LIBRARY;
    }
    close(fd);
  }
  // A placeholder's level 0 may have been written over by a reader that
  // gave up part way.
  if (out->outcome == TEXTURE_LEVELS_PLACEHOLDER) fill_placeholder(out, placeholder);
  if (out->outcome != TEXTURE_LEVELS_LIBRARY) make_levels_from_level0(out);
}
