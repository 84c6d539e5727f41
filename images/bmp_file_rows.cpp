#include "images/bmp_file_rows.h"

#include <allegro.h>
#include <cerrno>
#include <cstdlib>
#include <unistd.h>

#include "core/byte_order.h"

enum {
  BMP_ROWS_HEADER_BYTES = 54,  // file header and 40-byte info header
  BMP_ROWS_PALETTE_BYTES = 256 * 4,
  BMP_ROWS_READ_BYTES = 256 << 10,  // a read of whole rows is at most this, or one row
};


int components_in_low_bytes() {
  const int r = _rgb_r_shift_32, g = _rgb_g_shift_32, b = _rgb_b_shift_32;
  const int ok[3] = {r % 8 == 0 && r <= 16, g % 8 == 0 && g <= 16, b % 8 == 0 && b <= 16};
  return ok[0] && ok[1] && ok[2] && r != g && g != b && r != b;
}

void bmp_rows_places(int place[3]) {
  place[0] = _rgb_b_shift_32 / 8;
  place[1] = _rgb_g_shift_32 / 8;
  place[2] = _rgb_r_shift_32 / 8;
}

int bmp_rows_layout(const unsigned char *h, long n, uint64_t file_size, BmpRows *rows) {
  if (n < BMP_ROWS_HEADER_BYTES || h[0] != 'B' || h[1] != 'M' || le32(h + 14) != 40) return 0;
  if (get_color_depth() != 32 || !components_in_low_bytes()) return 0;
  const long long width = (int32_t)le32(h + 18), height = (int32_t)le32(h + 22);
  const unsigned bits = le16(h + 28);
  const uint32_t offset = le32(h + 10);
  if (le32(h + 30) != 0 || width < 1 || height < 1 || (bits != 24 && bits != 8)) return 0;
  // The loader reads the palette from the bytes before the pixels: with
  // fewer than 256 entries the rest would keep whatever they held before.
  if (offset < (bits == 8 ? BMP_ROWS_HEADER_BYTES + BMP_ROWS_PALETTE_BYTES : BMP_ROWS_HEADER_BYTES)) return 0;
  // With kept transparency index 0 becomes the mask colour on conversion.
  if (bits == 8 && (get_color_conversion() & COLORCONV_KEEP_TRANS)) return 0;
  if (bits == 8 && n < BMP_ROWS_HEADER_BYTES + BMP_ROWS_PALETTE_BYTES) return 0;
  const long long stride = (width * bits + 31) / 32 * 4;
  // A short file reads as end-of-file bytes in the loader: left to it.
  if ((uint64_t)offset + (uint64_t)(stride * height) > file_size) return 0;
  rows->width = (int)width;
  rows->height = (int)height;
  rows->bits = (int)bits;
  rows->offset = offset;
  rows->stride = stride;
  if (bits == 8) {
    for (int i = 0; i < 256; i++) {
      const unsigned char *entry = h + BMP_ROWS_HEADER_BYTES + 4 * i;
      unsigned char *kept = rows->palette[i];
      kept[0] = entry[2] / 4;
      kept[1] = entry[1] / 4;
      kept[2] = entry[0] / 4;
      // The conversion's expansion of a 6-bit palette.
      rows->colours[i] = (uint32_t)makecol32(_rgb_scale_6[kept[0]], _rgb_scale_6[kept[1]], _rgb_scale_6[kept[2]]);
    }
  }
  return 1;
}

int read_bmp_rows(int fd, const BmpRows &rows, void (*take)(void *, int, const unsigned char *), void *context) {
  long long per_read = BMP_ROWS_READ_BYTES / rows.stride;
  if (per_read < 1) per_read = 1;
  unsigned char *buffer = (unsigned char *)malloc((size_t)(per_read * rows.stride));
  if (!buffer) return 1;
  int failed = 0;
  for (int done = 0; done < rows.height && !failed;) {
    const long long count = rows.height - done < per_read ? rows.height - done : per_read;
    const size_t want = (size_t)(count * rows.stride);
    size_t got = 0;
    while (got < want) {
      const ssize_t n = pread(fd, buffer + got, want - got, (off_t)(rows.offset + done * rows.stride + (long long)got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += (size_t)n;
    }
    if (got < want) failed = 1;
    for (long long i = 0; i < count && !failed; i++) take(context, rows.height - 1 - (done + (int)i), buffer + i * rows.stride);
    done += (int)count;
  }
  free(buffer);
  return failed;
}

void bmp_row_values(const BmpRows &rows, const unsigned char *row, uint32_t *values) {
  if (rows.bits == 8) {
    for (int x = 0; x < rows.width; x++) values[x] = rows.colours[row[x]];
    return;
  }
  int place[3];
  bmp_rows_places(place);
  for (int x = 0; x < rows.width; x++, row += 3)
    values[x] = (uint32_t)row[0] << (8 * place[0]) | (uint32_t)row[1] << (8 * place[1]) | (uint32_t)row[2] << (8 * place[2]);
}
