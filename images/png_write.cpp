#include "images/png_write.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <png.h>
#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/byte_order.h"
#include "images/deflate_runs.h"

enum {
  PNG_ZLIB_LEVEL = 1,      // fast: a whole-terrain picture is hundreds of megabytes
  PNG_HEAD_MAX = 1024,     // signature, IHDR, a full PLTE and the stream's first IDAT
  PNG_CHUNK_FRAME = 12,    // length, type and CRC around a chunk's data
  PNG_FILTERS = 5,
};

long png_pixel_bytes(const PngShape &shape) {
  const long per_pixel = shape.pixels == PNG_PIXELS_RGB8 ? 3 : shape.pixels == PNG_PIXELS_GREY16 ? 2 : 1;
  return per_pixel * shape.width;
}

static int bytes_per_pixel(const PngShape &shape) { return (int)(png_pixel_bytes(shape) / shape.width); }

namespace {

// What libpng writes goes into a fixed buffer: nothing that can throw is
// reached from inside the library.
struct HeadBuffer {
  unsigned char bytes[PNG_HEAD_MAX];
  size_t used;
  int overflow;
};

void head_write(png_structp png, png_bytep data, size_t n) {
  HeadBuffer *head = (HeadBuffer *)png_get_io_ptr(png);
  if (head->used + n > sizeof(head->bytes)) {
    head->overflow = 1;
    return;
  }
  memcpy(head->bytes + head->used, data, n);
  head->used += n;
}

void head_flush(png_structp) {}

void head_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void head_warning(png_structp, png_const_charp) {}

// The libpng part, in a frame that owns nothing but the library's structs.
int write_head(const PngShape *shape, HeadBuffer *head) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, head_error, head_warning);
  if (!png) return 1;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return 1;
  }
  png_set_write_fn(png, head, head_write, head_flush);
  const int grey = shape->pixels == PNG_PIXELS_GREY16;
  const int colour = shape->pixels == PNG_PIXELS_RGB8 ? PNG_COLOR_TYPE_RGB
                     : grey                           ? PNG_COLOR_TYPE_GRAY
                                                      : PNG_COLOR_TYPE_PALETTE;
  png_set_IHDR(png, info, (png_uint_32)shape->width, (png_uint_32)shape->height, grey ? 16 : 8, colour,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (shape->pixels == PNG_PIXELS_PALETTE8) {
    // The 0..63 channels widened as the BMP's palette is.
    png_color colours[256];
    for (int i = 0; i < 256; i++) {
      const RGB c = shape->palette ? shape->palette[i] : RGB{0, 0, 0, 0};
      colours[i].red = (png_byte)_rgb_scale_6[c.r & 63];
      colours[i].green = (png_byte)_rgb_scale_6[c.g & 63];
      colours[i].blue = (png_byte)_rgb_scale_6[c.b & 63];
    }
    png_set_PLTE(png, info, colours, 256);
  }
  png_write_info(png, info);
  // The zlib stream's header: deflate, 32 KB window, fastest level.
  static const png_byte stream_head[2] = {0x78, 0x01};
  png_write_chunk(png, (png_const_bytep) "IDAT", stream_head, 2);
  png_destroy_write_struct(&png, &info);
  return head->overflow;
}


// Frames data (already at out + 8) as a chunk of the type; its length.
size_t frame_chunk(unsigned char *out, const char *type, size_t data_bytes) {
  put_be32(out, (uint32_t)data_bytes);
  memcpy(out + 4, type, 4);
  const uint32_t crc = (uint32_t)crc32(crc32(0L, Z_NULL, 0), out + 4, (uInt)(data_bytes + 4));
  put_be32(out + 8 + data_bytes, crc);
  return data_bytes + PNG_CHUNK_FRAME;
}

// The predictor as the format defines it, without branches.
inline int paeth(int a, int b, int c) {
  const int pa = abs(b - c), pb = abs(a - c), pc = abs(a + b - 2 * c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// What filter predicts for byte i of row (above: the row before, or null).
inline int predicted(int filter, const unsigned char *row, const unsigned char *above, long i, int bpp) {
  const int a = i >= bpp ? row[i - bpp] : 0;
  const int b = above ? above[i] : 0;
  switch (filter) {
    case 1: return a;
    case 2: return b;
    case 3: return (a + b) >> 1;
    case 4: return paeth(a, b, above && i >= bpp ? above[i - bpp] : 0);
    default: return 0;
  }
}

// The bytes from..to - 1 of the row less what filter predicts for them,
// byte by byte.
inline void residuals(int filter, const unsigned char *row, const unsigned char *above, long from, long to, int bpp,
                      unsigned char *out) {
  for (long i = from; i < to; i++) out[i - from] = (unsigned char)(row[i] - predicted(filter, row, above, i, bpp));
}

// A residual's size as a signed byte.
inline unsigned magnitude(unsigned char v) { return v < 128 ? v : 256 - v; }

#if defined(__SSE2__)
inline __m128i load16(const unsigned char *p) { return _mm_loadu_si128((const __m128i *)p); }

// The Paeth predictor of eight 16-bit lanes.
inline __m128i paeth8(__m128i a, __m128i b, __m128i c) {
  const __m128i from_c = _mm_sub_epi16(b, c), from_a = _mm_sub_epi16(a, c);
  const __m128i sum = _mm_add_epi16(from_c, from_a), zero = _mm_setzero_si128();
  const __m128i pa = _mm_max_epi16(from_c, _mm_sub_epi16(zero, from_c));
  const __m128i pb = _mm_max_epi16(from_a, _mm_sub_epi16(zero, from_a));
  const __m128i pc = _mm_max_epi16(sum, _mm_sub_epi16(zero, sum));
  const __m128i not_a = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
  const __m128i not_b = _mm_cmpgt_epi16(pb, pc);
  const __m128i b_or_c = _mm_or_si128(_mm_and_si128(not_b, c), _mm_andnot_si128(not_b, b));
  return _mm_or_si128(_mm_and_si128(not_a, b_or_c), _mm_andnot_si128(not_a, a));
}

// Sixteen residuals from byte i on (i >= bpp), as predicted() has them.
inline __m128i residuals16(int filter, const unsigned char *row, const unsigned char *above, long i, int bpp) {
  const __m128i x = load16(row + i), zero = _mm_setzero_si128();
  if (filter == 0) return x;
  const __m128i a = load16(row + i - bpp);
  if (filter == 1) return _mm_sub_epi8(x, a);
  const __m128i b = above ? load16(above + i) : zero;
  if (filter == 2) return _mm_sub_epi8(x, b);
  if (filter == 3) {
    // The average rounded down: the rounded-up one less the bit it added.
    const __m128i odd = _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1));
    return _mm_sub_epi8(x, _mm_sub_epi8(_mm_avg_epu8(a, b), odd));
  }
  const __m128i c = above ? load16(above + i - bpp) : zero;
  const __m128i low = paeth8(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(c, zero));
  const __m128i high = paeth8(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(c, zero));
  return _mm_sub_epi8(x, _mm_packus_epi16(low, high));
}
#endif

// The row under one filter, into out (filter byte first): sixteen bytes
// at a time past the first pixel.
void filter_row(int filter, const unsigned char *row, const unsigned char *above, long n, int bpp,
                unsigned char *out) {
  out[0] = (unsigned char)filter;
  unsigned char *f = out + 1;
  long i = bpp < n ? bpp : n;
  residuals(filter, row, above, 0, i, bpp, f);
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) _mm_storeu_si128((__m128i *)(f + i), residuals16(filter, row, above, i, bpp));
#endif
  residuals(filter, row, above, i, n, bpp, f + i);
}

// The sum of the residuals' sizes over bytes from..to - 1.
unsigned long residual_sum(int filter, const unsigned char *row, const unsigned char *above, long from, long to,
                           int bpp) {
  unsigned long sum = 0;
  long i = from;
  for (; i < to && i < bpp; i++) sum += magnitude((unsigned char)(row[i] - predicted(filter, row, above, i, bpp)));
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  __m128i total = zero;
  for (; i + 16 <= to; i += 16) {
    const __m128i v = residuals16(filter, row, above, i, bpp);
    total = _mm_add_epi64(total, _mm_sad_epu8(_mm_min_epu8(v, _mm_sub_epi8(zero, v)), zero));
  }
  sum += (unsigned long)_mm_cvtsi128_si32(total) + (unsigned long)_mm_cvtsi128_si32(_mm_srli_si128(total, 8));
#endif
  for (; i < to; i++) sum += magnitude((unsigned char)(row[i] - predicted(filter, row, above, i, bpp)));
  return sum;
}

enum {
  PNG_SAMPLE_WINDOWS = 8,       // places of a long row the filters are tried on
  PNG_SAMPLE_WINDOW_BYTES = 256,
};

// The filter libpng's own writer would choose, the one whose bytes taken
// as signed sum least, judged on a few windows of a long row: trying every
// filter on every byte would cost more than the compression.
int choose_filter(const unsigned char *row, const unsigned char *above, long n, int bpp) {
  const long window = n > PNG_SAMPLE_WINDOWS * PNG_SAMPLE_WINDOW_BYTES ? (long)PNG_SAMPLE_WINDOW_BYTES : n;
  const int windows = window < n ? PNG_SAMPLE_WINDOWS : 1;
  unsigned long best = ~0UL;
  int best_filter = 0;
  for (int filter = 0; filter < PNG_FILTERS; filter++) {
    unsigned long sum = 0;
    for (int w = 0; w < windows; w++) {
      const long start = windows == 1 ? 0 : (n - window) * w / (windows - 1);
      sum += residual_sum(filter, row, above, start, start + window, bpp);
    }
    if (sum < best) {
      best = sum;
      best_filter = filter;
    }
  }
  return best_filter;
}

}  // namespace

int png_file_head(const PngShape &shape, std::vector<unsigned char> *out) {
  HeadBuffer head;
  head.used = 0;
  head.overflow = 0;
  if (shape.width < 1 || shape.height < 1 || write_head(&shape, &head) != 0) return 1;
  out->assign(head.bytes, head.bytes + head.used);
  return 0;
}

size_t png_band_scratch_bytes(const PngShape &shape, int rows) {
  const size_t row = (size_t)png_pixel_bytes(shape) + 1;
  return row * (size_t)rows;
}

size_t png_band_out_bytes(const PngShape &shape, int rows) {
  const size_t n = ((size_t)png_pixel_bytes(shape) + 1) * (size_t)rows;
  // Above deflate's bound for stored blocks, with the flush marker.
  return n + n / 256 + 1024 + PNG_CHUNK_FRAME;
}

PngBand png_band_chunk(const PngShape &shape, const unsigned char *const *rows, int count,
                       const unsigned char *above, int last, unsigned char *scratch, unsigned char *out) {
  PngBand band = {0, 1, 0};
  const long n = png_pixel_bytes(shape);
  const size_t row_out = (size_t)n + 1;
  const int bpp = bytes_per_pixel(shape);
  unsigned char *filtered = scratch;
  for (int r = 0; r < count; r++) {
    const unsigned char *prior = r == 0 ? above : rows[r - 1];
    unsigned char *dest = filtered + row_out * (size_t)r;
    if (shape.pixels == PNG_PIXELS_PALETTE8) {
      // Indices do not predict each other; libpng leaves them unfiltered too.
      filter_row(0, rows[r], prior, n, bpp, dest);
      continue;
    }
    filter_row(choose_filter(rows[r], prior, n, bpp), rows[r], prior, n, bpp, dest);
  }
  band.filtered_bytes = row_out * (size_t)count;
  const size_t room = png_band_out_bytes(shape, count) - PNG_CHUNK_FRAME;
  if (shape.deflate == PNG_DEFLATE_RUNS) {
    if (deflate_runs_bound(band.filtered_bytes) > room) return PngBand{0, 1, 0};
    band.chunk_bytes = frame_chunk(out, "IDAT", deflate_runs(filtered, band.filtered_bytes, last, out + 8, &band.adler));
    return band;
  }
  band.adler = (uint32_t)adler32(adler32(0L, Z_NULL, 0), filtered, (uInt)band.filtered_bytes);
  z_stream z;
  memset(&z, 0, sizeof(z));
  // Raw deflate: the stream's header and Adler-32 are written apart.
  const int strategy = shape.deflate == PNG_DEFLATE_ZLIB_RUNS ? Z_RLE : Z_DEFAULT_STRATEGY;
  if (deflateInit2(&z, PNG_ZLIB_LEVEL, Z_DEFLATED, -15, 8, strategy) != Z_OK) return PngBand{0, 1, 0};
  z.next_in = filtered;
  z.avail_in = (uInt)band.filtered_bytes;
  z.next_out = out + 8;
  z.avail_out = (uInt)room;
  // Bands but the last end on a byte boundary without ending the stream,
  // so that the next band's fresh deflate stream simply continues it.
  const int result = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
  const int ok = last ? result == Z_STREAM_END : result == Z_OK && z.avail_in == 0 && z.avail_out > 0;
  const size_t data_bytes = room - z.avail_out;
  deflateEnd(&z);
  if (!ok) return PngBand{0, 1, 0};
  band.chunk_bytes = frame_chunk(out, "IDAT", data_bytes);
  return band;
}

uint32_t png_join_adler(uint32_t adler, const PngBand &band) {
  return (uint32_t)adler32_combine(adler, band.adler, (z_off_t)band.filtered_bytes);
}

void png_file_tail(uint32_t adler, std::vector<unsigned char> *out) {
  unsigned char tail[2 * PNG_CHUNK_FRAME + 4];
  put_be32(tail + 8, adler);
  const size_t first = frame_chunk(tail, "IDAT", 4);
  frame_chunk(tail + first, "IEND", 0);
  out->assign(tail, tail + sizeof(tail));
}

size_t png_whole_file_bytes(const PngShape &shape, size_t head_bytes) {
  return head_bytes + png_band_out_bytes(shape, shape.height) + 2 * PNG_CHUNK_FRAME + 4;
}

size_t png_whole_file(const PngShape &shape, const std::vector<unsigned char> &head, const unsigned char *pixels,
                      unsigned char *scratch, unsigned char *out) {
  const long row = png_pixel_bytes(shape);
  std::vector<const unsigned char *> rows((size_t)shape.height);
  for (int y = 0; y < shape.height; y++) rows[(size_t)y] = pixels + (size_t)y * row;
  memcpy(out, head.data(), head.size());
  const PngBand band = png_band_chunk(shape, rows.data(), shape.height, nullptr, 1, scratch, out + head.size());
  if (band.chunk_bytes == 0) return 0;
  std::vector<unsigned char> tail;
  png_file_tail(png_join_adler(1, band), &tail);
  memcpy(out + head.size() + band.chunk_bytes, tail.data(), tail.size());
  return head.size() + band.chunk_bytes + tail.size();
}
