#include "images/plain_image.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/byte_order.h"
#include "core/stdio_packfile.h"
#include "images/image_header.h"

enum {
  PLAIN_BMP_HEADER_BYTES = 54,       // file header and 40-byte info header
  PLAIN_BMP_PALETTE_BYTES = 256 * 4,
  PLAIN_TGA_HEADER_BYTES = 18,
};


// Zero-filled output of size bytes whose first head bytes are copied from
// data; 1 when memory is short.
static int start_plain(PlainImage *out, long long size, const unsigned char *data, long head, int targa) {
  out->bytes = (unsigned char *)calloc((size_t)size, 1);
  out->size = (long)size;
  out->targa = targa;
  if (!out->bytes) return 1;
  memcpy(out->bytes, data, (size_t)head);
  return 0;
}

static int refuse(PlainImage *out) {
  free_plain_image(out);
  return 1;
}

void free_plain_image(PlainImage *image) {
  free(image->bytes);
  image->bytes = nullptr;
  image->size = 0;
}

// ---- Windows bitmaps

static long long bmp_stride(long long width, unsigned bits) { return (width * bits + 31) / 32 * 4; }

// Rows in the opposite order, the height made positive.
static int flip_rows(const unsigned char *data, long size, long offset, long long height,
                     long long stride, PlainImage *out) {
  const long long total = offset + stride * height;
  if (total > size || start_plain(out, total, data, offset, 0)) return refuse(out);
  for (long long r = 0; r < height; r++)
    memcpy(out->bytes + offset + r * stride, data + offset + (height - 1 - r) * stride, (size_t)stride);
  put_le32(out->bytes + 22, (uint32_t)height);
  return 0;
}

// Decodes RLE8 or RLE4 into the plain rows. Every run must stay inside its
// row, every position inside the bitmap and every read inside the file; the
// stream must end with its end-of-bitmap mark. Pixels no run reaches keep
// index 0.
static int decode_bmp_runs(const unsigned char *data, long size, long offset, long long width,
                           long long height, unsigned bits, PlainImage *out) {
  const long long stride = bmp_stride(width, bits);
  if (start_plain(out, offset + stride * height, data, offset, 0)) return refuse(out);
  unsigned char *rows = out->bytes + offset;
  long p = offset;
  long long x = 0, y = 0;  // y counts rows from the bottom, as the file stores them
  for (;;) {
    if (size - p < 2) return refuse(out);
    const unsigned n = data[p], c = data[p + 1];
    p += 2;
    const unsigned char *literal = data + p;
    long long count = n;
    if (n == 0) {
      if (c == 0) {  // end of line
        x = 0;
        if (++y > height) return refuse(out);
        continue;
      }
      if (c == 1) break;  // end of bitmap
      if (c == 2) {       // move right and up
        if (size - p < 2) return refuse(out);
        x += data[p];
        y += data[p + 1];
        p += 2;
        if (x > width || y > height) return refuse(out);
        continue;
      }
      count = c;  // absolute: c pixels follow, padded to a word
      const long bytes = (long)(bits == 8 ? c : (c + 1) / 2);
      const long padded = bytes + (bytes & 1);
      if (size - p < padded) return refuse(out);
      p += padded;
    }
    if (y >= height || x + count > width) return refuse(out);
    unsigned char *row = rows + y * stride;
    for (long long i = 0; i < count; i++, x++) {
      unsigned v;
      if (n == 0) v = bits == 8 ? literal[i] : (literal[i / 2] >> (i % 2 ? 0 : 4)) & 15;
      else v = bits == 8 ? c : (c >> (i % 2 ? 0 : 4)) & 15;
      if (bits == 8) row[x] = (unsigned char)v;
      else row[x / 2] |= (unsigned char)(v << (x % 2 ? 0 : 4));
    }
  }
  put_le32(out->bytes + 30, 0);  // compression: none
  put_le32(out->bytes + 34, (uint32_t)(stride * height));
  return 0;
}

int plain_bmp(const unsigned char *data, long size, PlainImage *out) {
  *out = PlainImage{nullptr, 0, 0};
  if (size < PLAIN_BMP_HEADER_BYTES || data[0] != 'B' || data[1] != 'M' || le32(data + 14) != 40)
    return 1;
  const uint32_t offset = le32(data + 10);
  const long long width = (int32_t)le32(data + 18);
  const long long height = (int32_t)le32(data + 22);
  const unsigned bits = le16(data + 28);
  const uint32_t compression = le32(data + 30);
  if (offset < PLAIN_BMP_HEADER_BYTES || offset > (uint32_t)size) return 1;
  if (height < 0) {
    const int bits_ok = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!bits_ok || (compression != 0 && compression != 3) || !image_size_accepted(width, -height))
      return 1;
    return flip_rows(data, size, (long)offset, -height, bmp_stride(width, bits), out);
  }
  const int runs = (compression == 1 && bits == 8) || (compression == 2 && bits == 4);
  if (!runs || !image_size_accepted(width, height)) return 1;
  return decode_bmp_runs(data, size, (long)offset, width, height, bits, out);
}

// ---- Targa

int plain_tga(const unsigned char *data, long size, PlainImage *out) {
  *out = PlainImage{nullptr, 0, 1};
  if (size < PLAIN_TGA_HEADER_BYTES) return 1;
  const unsigned map_type = data[1], type = data[2];
  const unsigned map_first = le16(data + 3), map_length = le16(data + 5), map_bits = data[7];
  const long long width = le16(data + 12), height = le16(data + 14);
  const unsigned bits = data[16];
  const int runs = type == 9 || type == 10 || type == 11;
  if (map_type > 1 || (type != 1 && type != 2 && type != 3 && !runs)) return 1;
  if ((type == 1 || type == 9) && map_type != 1) return 1;  // indices without colours
  if (map_type == 1 && (map_first + map_length > 256 ||
                        (map_bits != 15 && map_bits != 16 && map_bits != 24 && map_bits != 32)))
    return 1;
  if (!runs && !(map_type == 1 && map_bits == 15)) return 1;  // nothing to rewrite
  if ((bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32) ||
      !image_size_accepted(width, height))
    return 1;
  const long start = PLAIN_TGA_HEADER_BYTES + data[0] + (map_type ? (long)map_length * ((map_bits + 7) / 8) : 0);
  if (start > size) return 1;
  const long pixel_bytes = (bits + 7) / 8;
  const long long count = width * height;
  if (runs && (size - start) * 128 < count) return 1;  // too short even in runs of 128

  const long long plain_size = start + count * pixel_bytes;
  if (!runs && plain_size > size) return 1;
  if (start_plain(out, plain_size, data, runs ? start : plain_size, 1)) return refuse(out);
  if (map_type == 1 && map_bits == 15) out->bytes[7] = 16;
  if (!runs) return 0;
  out->bytes[2] = (unsigned char)(type - 8);
  // Packets may run on from one row into the next, never past the last pixel.
  unsigned char *pixels = out->bytes + start;
  long p = start;
  for (long long i = 0; i < count;) {
    if (p >= size) return refuse(out);
    const unsigned packet = data[p++];
    const long n = (long)(packet & 0x7F) + 1;
    if (n > count - i) return refuse(out);
    if (packet & 0x80) {
      if (size - p < pixel_bytes) return refuse(out);
      for (long k = 0; k < n; k++) memcpy(pixels + (i + k) * pixel_bytes, data + p, (size_t)pixel_bytes);
      p += pixel_bytes;
    } else {
      if (size - p < n * pixel_bytes) return refuse(out);
      memcpy(pixels + i * pixel_bytes, data + p, (size_t)(n * pixel_bytes));
      p += n * pixel_bytes;
    }
    i += n;
  }
  return 0;
}

// ---- Interleaved and chunky bitmaps

// Unpacks ByteRun1 data into exactly total bytes; runs may cross rows but
// neither the data nor the output.
static int unpack_byte_run1(const unsigned char *data, long length, unsigned char *dest, long long total) {
  long p = 0;
  long long q = 0;
  while (q < total) {
    if (p >= length) return 1;
    const int n = (signed char)data[p++];
    if (n >= 0) {
      if (length - p < n + 1 || total - q < n + 1) return 1;
      memcpy(dest + q, data + p, (size_t)n + 1);
      p += n + 1;
      q += n + 1;
    } else if (n != -128) {
      if (p >= length || total - q < 1 - n) return 1;
      memset(dest + q, data[p++], (size_t)(1 - n));
      q += 1 - n;
    }
  }
  return 0;
}

struct LbmChunks {
  const unsigned char *header, *colours, *body;
  long colours_length, body_length;
};

// Finds the header, colour map and body chunks inside the form, in any order;
// 1 when a chunk runs past the form or the file, or a needed one is missing.
static int find_lbm_chunks(const unsigned char *data, long size, LbmChunks *chunks) {
  *chunks = LbmChunks{nullptr, nullptr, nullptr, 0, 0};
  const long long form_end = 8 + (long long)be32(data + 4) < size ? 8 + (long long)be32(data + 4) : size;
  for (long long p = 12; form_end - p >= 8;) {
    const unsigned char *id = data + p;
    const long long length = be32(data + p + 4);
    p += 8;
    if (length > form_end - p) return 1;
    if (!memcmp(id, "BMHD", 4) && !chunks->header && length >= 20) {
      chunks->header = data + p;
    } else if (!memcmp(id, "CMAP", 4) && !chunks->colours) {
      chunks->colours = data + p;
      chunks->colours_length = (long)length;
    } else if (!memcmp(id, "BODY", 4) && !chunks->body) {
      chunks->body = data + p;
      chunks->body_length = (long)length;
    }
    p += length + (length & 1);
  }
  return !chunks->header || !chunks->body;
}

int plain_lbm(const unsigned char *data, long size, PlainImage *out) {
  *out = PlainImage{nullptr, 0, 0};
  if (size < 12 || memcmp(data, "FORM", 4)) return 1;
  const int chunky = !memcmp(data + 8, "PBM ", 4);
  if (!chunky && memcmp(data + 8, "ILBM", 4)) return 1;
  LbmChunks chunks;
  if (find_lbm_chunks(data, size, &chunks)) return 1;
  const unsigned char *h = chunks.header;
  const long long width = be16(h), height = be16(h + 2);
  const unsigned planes = h[8], masking = h[9], packing = h[10];
  if (!image_size_accepted(width, height) || packing > 1) return 1;
  // Bytes of one row in the body: each plane padded to a word, then a mask
  // plane when there is one; chunky rows are one byte a pixel, also padded.
  long long line;
  if (chunky) {
    if (planes != 8 || masking == 1) return 1;
    line = (width + 1) / 2 * 2;
  } else {
    if (planes < 1 || planes > 8) return 1;
    line = (width + 15) / 16 * 2 * (planes + (masking == 1 ? 1 : 0));
  }
  const long long total = line * height;
  if (chunks.body_length * 64 < total) return 1;  // too short even in runs of 128
  unsigned char *body = (unsigned char *)malloc((size_t)total);
  if (!body) return 1;
  int failed;
  if (packing) {
    failed = unpack_byte_run1(chunks.body, chunks.body_length, body, total);
  } else {
    failed = chunks.body_length < total;
    if (!failed) memcpy(body, chunks.body, (size_t)total);
  }

  const long long stride = (width + 3) / 4 * 4;
  const long offset = PLAIN_BMP_HEADER_BYTES + PLAIN_BMP_PALETTE_BYTES;
  if (failed || start_plain(out, offset + stride * height, data, 0, 0)) {
    free(body);
    return refuse(out);
  }
  unsigned char *b = out->bytes;
  b[0] = 'B';
  b[1] = 'M';
  put_le32(b + 2, (uint32_t)out->size);
  put_le32(b + 10, (uint32_t)offset);
  put_le32(b + 14, 40);
  put_le32(b + 18, (uint32_t)width);
  put_le32(b + 22, (uint32_t)height);
  b[26] = 1;  // planes
  b[28] = 8;  // bits
  put_le32(b + 34, (uint32_t)(stride * height));
  put_le32(b + 46, 256);
  // Colours the map does not give stay black.
  const long colours = chunks.colours_length / 3 < 256 ? chunks.colours_length / 3 : 256;
  for (long i = 0; i < colours; i++) {
    unsigned char *entry = b + PLAIN_BMP_HEADER_BYTES + 4 * i;
    entry[0] = chunks.colours[3 * i + 2];
    entry[1] = chunks.colours[3 * i + 1];
    entry[2] = chunks.colours[3 * i];
  }
  const long long plane_bytes = (width + 15) / 16 * 2;
  for (long long y = 0; y < height; y++) {
    const unsigned char *src = body + y * line;
    unsigned char *dest = b + offset + (height - 1 - y) * stride;
    for (long long x = 0; x < width; x++) {
      if (chunky) {
        dest[x] = src[x];
        continue;
      }
      unsigned v = 0;
      for (unsigned k = 0; k < planes; k++) v |= ((src[k * plane_bytes + x / 8] >> (7 - x % 8)) & 1u) << k;
      dest[x] = (unsigned char)v;
    }
  }
  free(body);
  return 0;
}

// ---- Loading from memory

struct MemoryFile {
  const unsigned char *bytes;
  long size, pos;
};

static int memory_fclose(void *) { return 0; }
static int memory_getc(void *file) {
  MemoryFile *m = (MemoryFile *)file;
  return m->pos < m->size ? m->bytes[m->pos++] : EOF;
}
static int memory_ungetc(int c, void *file) {
  MemoryFile *m = (MemoryFile *)file;
  if (m->pos == 0) return EOF;
  m->pos--;
  return c;
}
static long memory_fread(void *p, long n, void *file) {
  MemoryFile *m = (MemoryFile *)file;
  if (n <= 0) return 0;
  if (n > m->size - m->pos) n = m->size - m->pos;
  memcpy(p, m->bytes + m->pos, (size_t)n);
  m->pos += n;
  return n;
}
static int memory_putc(int, void *) { return EOF; }
static long memory_fwrite(const void *, long, void *) { return 0; }
static int memory_fseek(void *file, int offset) {
  MemoryFile *m = (MemoryFile *)file;
  if (offset < 0 || offset > m->size - m->pos) return -1;
  m->pos += offset;
  return 0;
}
static int memory_feof(void *file) {
  MemoryFile *m = (MemoryFile *)file;
  return m->pos >= m->size;
}
static int memory_ferror(void *) { return 0; }

static const PACKFILE_VTABLE memory_vtable = {
    memory_fclose, memory_getc,    memory_ungetc, memory_fread, memory_putc,
    memory_fwrite, memory_fseek,   memory_feof,   memory_ferror,
};

BITMAP *load_plain_bytes(const PlainImage *image, RGB *palette) {
  MemoryFile file = {image->bytes, image->size, 0};
  PACKFILE *f = pack_fopen_vtable(&memory_vtable, &file);
  if (!f) return nullptr;
  BITMAP *bmp = image->targa ? load_tga_pf(f, palette) : load_bmp_pf(f, palette);
  pack_fclose(f);
  return bmp;
}

unsigned char *read_image_file(const char *path, long *size) {
  const uint64_t expected = file_size_ex(path);
  if (expected == 0 || expected > IMAGE_FILE_MAX_BYTES) return nullptr;
  PACKFILE *f = open_stdio_packfile(path, "rb");
  if (!f) return nullptr;
  unsigned char *data = (unsigned char *)malloc((size_t)expected);
  *size = data ? pack_fread(data, (long)expected, f) : 0;
  pack_fclose(f);
  if (*size != (long)expected) {
    free(data);
    return nullptr;
  }
  return data;
}

BITMAP *load_plain_image(const char *path, RGB *palette) {
  const char *ext = get_extension(path);
  int (*rewrite)(const unsigned char *, long, PlainImage *) = nullptr;
  if (ustricmp(ext, "bmp") == 0) rewrite = plain_bmp;
  else if (ustricmp(ext, "tga") == 0) rewrite = plain_tga;
  else if (ustricmp(ext, "lbm") == 0) rewrite = plain_lbm;
  if (!rewrite) return nullptr;
  long size = 0;
  unsigned char *data = read_image_file(path, &size);
  if (!data) return nullptr;
  PlainImage image;
  const int failed = rewrite(data, size, &image);
  free(data);
  if (failed) return nullptr;
  BITMAP *bmp = load_plain_bytes(&image, palette);
  free_plain_image(&image);
  return bmp;
}
