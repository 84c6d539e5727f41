// The PNG bands against a plain model of the format's filters: each row
// under the filter whose residuals, taken as signed bytes, sum least (on
// eight windows of a long row), byte for byte; and the deflated bands,
// joined, inflate to exactly those bytes with either strategy.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <zlib.h>

#include "images/deflate_runs.h"
#include "images/png_write.h"
#include "tests/unit/harness.h"

namespace {

int plain_predictor(int filter, const std::vector<unsigned char> &row, const std::vector<unsigned char> *above,
                    long i, int bpp) {
  const int a = i >= bpp ? row[(size_t)(i - bpp)] : 0, b = above ? (*above)[(size_t)i] : 0;
  const int c = above && i >= bpp ? (*above)[(size_t)(i - bpp)] : 0;
  if (filter == 1) return a;
  if (filter == 2) return b;
  if (filter == 3) return (a + b) / 2;
  if (filter != 4) return 0;
  const int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// The filter byte and the residuals of one row, as the model chooses them.
std::vector<unsigned char> plain_filtered(const std::vector<unsigned char> &row,
                                          const std::vector<unsigned char> *above, int bpp, bool palette) {
  const long n = (long)row.size();
  const long window = n > 2048 ? 256 : n;
  std::vector<long> starts;
  for (int w = 0; w < (window < n ? 8 : 1); w++) starts.push_back(window < n ? (n - window) * w / 7 : 0);
  int chosen = 0;
  long best = -1;
  for (int filter = 0; filter < 5 && !palette; filter++) {
    long sum = 0;
    for (long start : starts)
      for (long i = start; i < start + window; i++)
        sum += abs((int)(signed char)(row[(size_t)i] - plain_predictor(filter, row, above, i, bpp)));
    if (best < 0 || sum < best) best = sum, chosen = filter;
  }
  std::vector<unsigned char> out(1, (unsigned char)chosen);
  for (long i = 0; i < n; i++) out.push_back((unsigned char)(row[(size_t)i] - plain_predictor(chosen, row, above, i, bpp)));
  return out;
}

TEST(PngWrite, BandsAreThePlainFiltersDeflated) {
  srand(11);
  const struct {
    int pixels, bpp;
  } kinds[] = {{PNG_PIXELS_RGB8, 3}, {PNG_PIXELS_GREY16, 2}, {PNG_PIXELS_PALETTE8, 1}};
  for (int round = 0; round < 60; round++) {
    const auto kind = kinds[round % 3];
    // Narrow rows, rows just past a window, long rows judged on windows.
    const int widths[] = {1, 2, 5, 17, 90, 700, 1500};
    PngShape shape{widths[rand() % 7], 2 + rand() % 9, kind.pixels, nullptr};
    shape.deflate = round % 3;
    const long n = png_pixel_bytes(shape);
    // Rows of noise, of smooth slopes, of flat runs, and mixed.
    std::vector<std::vector<unsigned char>> rows((size_t)shape.height, std::vector<unsigned char>((size_t)n));
    for (int r = 0; r < shape.height; r++)
      for (long i = 0; i < n; i++) {
        const int style = (round / 3 + (int)(i / 97)) % 4;
        rows[(size_t)r][(size_t)i] = (unsigned char)(style == 0   ? rand()
                                                     : style == 1 ? i / kind.bpp + 3 * r
                                                     : style == 2 ? 200
                                                                  : (i * 7 + r * 13) % 256 + rand() % 3);
      }
    std::vector<const unsigned char *> pointers;
    for (const auto &row : rows) pointers.push_back(row.data());
    // The picture in two bands; the second sees the first one's last row.
    const int split = 1 + rand() % (shape.height - 1);
    std::vector<unsigned char> expected, filtered, stream = {0x78, 0x01};
    uint32_t joined = 1;
    for (int band = 0; band < 2; band++) {
      const int first = band ? split : 0, count = band ? shape.height - split : split;
      std::vector<unsigned char> scratch(png_band_scratch_bytes(shape, count)), out(png_band_out_bytes(shape, count));
      const PngBand made = png_band_chunk(shape, pointers.data() + first, count,
                                          first ? pointers[(size_t)first - 1] : nullptr, band == 1, scratch.data(),
                                          out.data());
      ASSERT_GT(made.chunk_bytes, 12u);
      joined = png_join_adler(joined, made);
      filtered.insert(filtered.end(), scratch.begin(), scratch.begin() + (long)made.filtered_bytes);
      stream.insert(stream.end(), out.begin() + 8, out.begin() + (long)made.chunk_bytes - 4);
    }
    for (int r = 0; r < shape.height; r++) {
      const auto row = plain_filtered(rows[(size_t)r], r ? &rows[(size_t)r - 1] : nullptr, kind.bpp,
                                      kind.pixels == PNG_PIXELS_PALETTE8);
      expected.insert(expected.end(), row.begin(), row.end());
    }
    ASSERT_TRUE(expected == filtered) << "round " << round << ", " << shape.width << " pixels";
    // The joined stream, with its Adler-32 as the file's tail adds it.
    const uint32_t adler = (uint32_t)adler32(1, filtered.data(), (uInt)filtered.size());
    EXPECT_EQ(adler, joined) << round;
    for (int k = 3; k >= 0; k--) stream.push_back((unsigned char)(adler >> (8 * k)));
    std::vector<unsigned char> inflated(filtered.size() + 1);
    uLongf size = (uLongf)inflated.size();
    ASSERT_EQ(Z_OK, uncompress(inflated.data(), &size, stream.data(), (uLong)stream.size())) << round;
    inflated.resize(size);
    EXPECT_TRUE(inflated == filtered) << round;
  }
}

// Bytes of one style: noise, runs of every length about the longest match
// (258), a few values in short runs, long flat stretches, and literals
// whose counts grow as Fibonacci's numbers, so that a plain Huffman code
// would be deeper than deflate's 15 bits.
std::vector<unsigned char> styled_bytes(int style, size_t n) {
  std::vector<unsigned char> v;
  if (style == 4) {
    unsigned long a = 1, b = 1;
    for (int symbol = 0; symbol < 26 && v.size() < n; symbol++, b += a, a = b - a)
      for (unsigned long k = 0; k < a; k++) v.push_back((unsigned char)(symbol * 7));
    for (size_t i = v.size(); i > 1; i--) std::swap(v[i - 1], v[(size_t)rand() % i]);
    v.resize(std::min(v.size(), n));
    return v;
  }
  while (v.size() < n) {
    const size_t run = style == 0 ? 1 : style == 1 ? 250 + rand() % 20 : style == 2 ? 1 + rand() % 5 : 1000 + rand() % 100000;
    v.insert(v.end(), std::min(run, n - v.size()), (unsigned char)(style == 2 ? rand() % 4 : rand()));
  }
  return v;
}

// A stream of parts, each but the last flushed, inflates by zlib to the
// bytes, with the Adler-32 zlib reckons, no larger than its bound and
// about as small as zlib's own runs make it.
TEST(PngWrite, RunsDeflateAsZlibInflatesThem) {
  srand(7);
  const size_t sizes[] = {0, 1, 2, 3, 258, 259, 4096, 70000, 300000};
  for (int round = 0; round < 90; round++) {
    const int style = round % 5;
    const size_t n = sizes[round / 5 % 9] + (size_t)(round / 45);
    const std::vector<unsigned char> bytes = styled_bytes(style, n);
    const int parts = 1 + round % 3;
    std::vector<unsigned char> stream;
    for (int part = 0; part < parts; part++) {
      const size_t from = bytes.size() * part / parts, to = bytes.size() * (part + 1) / parts;
      std::vector<unsigned char> out(deflate_runs_bound(to - from));  // exactly: ASan sees a write past it
      uint32_t adler = 0;
      const size_t made = deflate_runs(bytes.data() + from, to - from, part == parts - 1, out.data(), &adler);
      ASSERT_LE(made, out.size());
      EXPECT_EQ((uint32_t)adler32(1, bytes.data() + from, (uInt)(to - from)), adler) << round;
      stream.insert(stream.end(), out.begin(), out.begin() + (long)made);
    }
    z_stream z;
    memset(&z, 0, sizeof(z));
    ASSERT_EQ(Z_OK, inflateInit2(&z, -15));
    std::vector<unsigned char> back(bytes.size() + 16);
    z.next_in = stream.data(), z.avail_in = (uInt)stream.size();
    z.next_out = back.data(), z.avail_out = (uInt)back.size();
    EXPECT_EQ(Z_STREAM_END, inflate(&z, Z_FINISH)) << round << (z.msg ? z.msg : "");
    EXPECT_EQ(0u, z.avail_in) << round;
    back.resize(z.total_out);
    inflateEnd(&z);
    ASSERT_TRUE(back == bytes) << "round " << round << ", style " << style << ", " << n << " bytes";
    // zlib's Z_RLE on the same bytes in one part.
    uLongf zlib_size = compressBound((uLong)n);
    std::vector<unsigned char> zlib_out(zlib_size);
    memset(&z, 0, sizeof(z));
    deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_RLE);
    z.next_in = (Bytef *)bytes.data(), z.avail_in = (uInt)n;
    z.next_out = zlib_out.data(), z.avail_out = (uInt)zlib_size;
    deflate(&z, Z_FINISH);
    EXPECT_LE(stream.size(), z.total_out + z.total_out / 50 + 40 * parts) << "round " << round << ", style " << style;
    deflateEnd(&z);
  }
}

}  // namespace
