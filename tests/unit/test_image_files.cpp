// The readers of PNG, JPEG and BMPs with the newer info headers, on files
// written by libpng, libjpeg and our own BMP writer from known pixel tables,
// each checked against a small model of what the file holds.
#include <cmath>
#include <cstdlib>

#include "images/image_pixels.h"
#include "images/textures.h"
#include "tests/unit/harness.h"
#include "tests/unit/sample_images.h"

namespace {

using Reader = int (*)(const unsigned char *, long, ImagePixels *);
using Pixels = std::vector<int>;  // RGBA, four a pixel; empty when refused

Pixels decode(Reader read, const Bytes &file) {
  ImagePixels image;
  if (read(file.data(), (long)file.size(), &image) != 0) return {};
  Pixels p(image.rgba, image.rgba + (size_t)image.width * image.height * 4);
  free_image_pixels(&image);
  return p;
}

uint32_t hash(int i) { return ((uint32_t)i * 40503 + (uint32_t)(i >> 7) * 7) * 2654435761u >> 5; }
int scaled(uint32_t v, uint32_t max) { return (int)std::lround(v * 255.0 / max); }

// Every colour type and depth, interlaced or not, with and without tRNS; 16
// bits over all 65536 values. Catches a wrong expansion, 16-bit rounding,
// a tRNS not made alpha, and interlaced rows out of place.
TEST(ImageFiles, PngOfEveryTypeAndDepth) {
  struct Kind {
    int colour, channels;
    std::vector<int> depths;
  } kinds[] = {{0, 1, {1, 2, 4, 8, 16}}, {3, 1, {1, 2, 4, 8}}, {2, 3, {8, 16}}, {4, 2, {8, 16}}, {6, 4, {8, 16}}};
  for (const Kind &k : kinds)
    for (int depth : k.depths)
      for (int interlaced : {0, 1})
        for (int with_trns : {0, 1}) {
          if (with_trns && (k.colour & 4)) continue;  // types with alpha have no tRNS
          SCOPED_TRACE(testing::Message() << "type " << k.colour << ", " << depth << " bits" << (interlaced ? ", interlaced" : "")
                                          << (with_trns ? ", tRNS" : ""));
          const int w = interlaced ? 13 : 256, h = interlaced ? 9 : 256, n = k.channels;
          const uint32_t max = (1u << depth) - 1;
          std::vector<uint16_t> samples;
          for (int i = 0; i < w * h * n; i++) samples.push_back((uint16_t)(depth == 16 ? i * 40503 : hash(i) & max));
          std::vector<SampleRgb> palette;
          for (uint32_t i = 0; k.colour == 3 && i <= max; i++) palette.push_back({(int)i * 37 % 256, 255 - (int)i, (int)i * 91 % 256});
          std::vector<uint16_t> trns;
          if (with_trns && k.colour == 3) trns = {0, 127, 128, 255, 3};
          if (with_trns && k.colour != 3) trns.assign(samples.begin(), samples.begin() + n);  // the first pixel's value
          if (trns.size() > palette.size() && k.colour == 3) trns.resize(palette.size());
          Pixels want;
          for (int p = 0; p < w * h; p++) {
            const uint16_t *s = &samples[(size_t)p * n];
            if (k.colour == 3) {
              const SampleRgb &c = palette[s[0]];
              want.insert(want.end(), {c.r, c.g, c.b, s[0] < trns.size() ? trns[s[0]] : 255});
              continue;
            }
            for (int c = 0; c < 3; c++) want.push_back(scaled(s[k.colour & 2 ? c : 0], max));
            const bool key = !trns.empty() && std::equal(s, s + n, trns.begin());
            want.push_back(k.colour & 4 ? scaled(s[n - 1], max) : key ? 0 : 255);
          }
          const Pixels got = decode(read_png_pixels, sample_png(w, h, k.colour, depth, interlaced, samples, palette, trns));
          EXPECT_EQ(want.size(), got.size());
          EXPECT_TRUE(want == got);
        }
}

// Masks of every width and place, with and without alpha, 16 and 32 bits,
// plain RGB and palettes under each new header, both row orders. Catches
// mask scaling, alpha taken where the header has none, and flipped rows.
TEST(ImageFiles, BmpWithTheNewerInfoHeaders) {
  struct Kind {
    uint32_t info;
    int bits;
    uint32_t compression, masks[4];
  } kinds[] = {
      {108, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}, {124, 32, 3, {0xFF000000, 0xFF0000, 0xFF00, 0xFF}},
      {52, 32, 3, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}}, {56, 16, 3, {0x7C00, 0x3E0, 0x1F, 0x8000}},
      {124, 16, 3, {0xF800, 0x7E0, 0x1F, 0}}, {108, 32, 6, {0x7, 0x1F8, 0x1FFFE00, 0xFE000000}},
      {124, 32, 0, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}}, {108, 16, 0, {}}, {124, 24, 0, {}}, {64, 24, 0, {}},
      {64, 8, 0, {}}, {124, 8, 0, {}}, {108, 4, 0, {}}, {56, 1, 0, {}}};
  for (const Kind &k : kinds)
    for (bool top_down : {false, true}) {
      SCOPED_TRACE(testing::Message() << k.info << " bytes, " << k.bits << " bits, compression " << k.compression);
      const SamplePicture pic = sample_picture(29, 11, k.bits, [](int x, int y) { return hash(x + 29 * y); });
      // The masks in effect: plain RGB has fixed ones and no alpha, and a
      // 52-byte header no room for an alpha mask.
      uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0};
      if (k.bits == 16 && k.compression == 0) masks[0] = 0x7C00, masks[1] = 0x3E0, masks[2] = 0x1F;
      if (k.compression != 0) std::copy(k.masks, k.masks + (k.info >= 56 ? 4 : 3), masks);
      Pixels want;
      for (uint32_t v : pic.values) {
        if (k.bits <= 8) {
          want.insert(want.end(), {pic.palette[v].r, pic.palette[v].g, pic.palette[v].b, 255});
          continue;
        }
        for (uint32_t m : masks) want.push_back(m ? scaled((v & m) / (m & -m), m / (m & -m)) : 255);
      }
      EXPECT_TRUE(want == decode(read_bmp_info_pixels, sample_bmp_info(pic, k.bits, k.info, k.compression, k.masks, top_down)));
    }
}

std::vector<unsigned char> smooth(int w, int h, int components) {
  std::vector<unsigned char> s;
  for (int i = 0; i < w * h * components; i++) {
    const int x = i / components % w, y = i / components / w, c = i % components;
    s.push_back((unsigned char)(c == 0 ? x * 4 : c == 1 ? 255 - y * 6 : (x + y) * 2));
  }
  return s;
}

// Grey and colour, baseline and progressive, a size not a multiple of the
// blocks. Catches grey not spread to three channels, progressive scans not
// all applied, and rows of the wrong width.
TEST(ImageFiles, JpegBaselineAndProgressive) {
  const int w = 61, h = 37;
  for (int components : {1, 3})
    for (bool progressive : {false, true}) {
      SCOPED_TRACE(testing::Message() << components << " components" << (progressive ? ", progressive" : ""));
      const std::vector<unsigned char> s = smooth(w, h, components);
      const Pixels got = decode(read_jpeg_pixels, sample_jpeg(w, h, components, progressive, s));
      ASSERT_EQ((size_t)w * h * 4, got.size());
      int worst = 0;
      for (int i = 0; i < w * h * 4; i++) {
        const int want = i % 4 == 3 ? 255 : s[(size_t)i / 4 * components + (components == 3 ? i % 4 : 0)];
        worst = std::max(worst, std::abs(got[i] - want));
      }
      EXPECT_LE(worst, 3);
    }
}

// Cut at every length, a file is refused or gives all its pixels (a PNG
// whose image data is whole; changed bytes are the fuzz targets' business);
// sizes past the limits, CMYK, run-length and broken masks are refused.
TEST(ImageFiles, DamagedAndUnsupportedFilesAreRefused) {
  const SamplePicture pic = sample_picture(7, 5, 32, [](int x, int y) { return hash(x * 5 + y); });
  const uint32_t argb[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  std::vector<uint16_t> grey(7 * 5);
  for (size_t i = 0; i < grey.size(); i++) grey[i] = (uint16_t)hash((int)i);
  const struct {
    Reader read;
    Bytes file;
  } sound[] = {{read_png_pixels, sample_png(7, 5, 0, 16, true, grey)},
               {read_jpeg_pixels, sample_jpeg(7, 5, 3, true, smooth(7, 5, 3))},
               {read_bmp_info_pixels, sample_bmp_info(pic, 32, 124, 3, argb, false)}};
  for (const auto &s : sound) {
    const Pixels whole = decode(s.read, s.file);
    ASSERT_FALSE(whole.empty());
    for (size_t n = 0; n < s.file.size(); n++) {
      const Pixels cut = decode(s.read, Bytes(s.file.begin(), s.file.begin() + (long)n));
      if (!cut.empty()) {
        EXPECT_TRUE(cut == whole) << "cut at " << n;
      }
    }
  }
  uint32_t broken[4] = {0xFF00FF, 0xFF00, 0xFF, 0};
  std::vector<uint16_t> wide(32768), many(4096 * 4097);
  const struct {
    Reader read;
    Bytes file;
  } refused[] = {{read_png_pixels, sample_png(32768, 1, 0, 1, false, wide)},
                 {read_png_pixels, sample_png(4096, 4097, 0, 1, false, many)},
                 {read_jpeg_pixels, sample_jpeg(32768, 1, 1, false, std::vector<unsigned char>(32768))},
                 {read_jpeg_pixels, sample_jpeg(8, 8, 4, false, std::vector<unsigned char>(8 * 8 * 4))},
                 {read_jpeg_pixels, sample_jpeg(8, 8, 1, true, smooth(8, 8, 1), 5)},  // 316 scans
                 {read_bmp_info_pixels, sample_bmp_info(pic, 32, 108, 3, broken, false)},
                 {read_bmp_info_pixels, sample_bmp_info(pic, 32, 124, 1, argb, false)},
                 {read_bmp_info_pixels, sample_bmp_info(pic, 32, 64, 3, argb, false)}};
  for (const auto &r : refused) EXPECT_TRUE(decode(r.read, r.file).empty());
  EXPECT_FALSE(decode(read_jpeg_pixels, sample_jpeg(8, 8, 1, true, smooth(8, 8, 1), 4)).empty());  // 253 scans
}

// Through the texture loader, by extension: the new BMP headers no longer
// go to the library, which gives nothing for them, and alpha below 128 is
// the mask colour while 128 is opaque.
TEST(ImageFiles, TexturesLoadWithLowAlphaMasked) {
  TempDir dir;
  const std::vector<uint16_t> rgba = {10, 20, 30, 0, 10, 20, 30, 127, 10, 20, 30, 128, 10, 20, 30, 255};
  SamplePicture pic = sample_picture(4, 1, 32, [](int x, int) { return (uint32_t)(x < 2 ? x * 127 : 128 + (x - 2) * 127) << 24 | 0x0A141E; });
  const uint32_t argb[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  write_file(dir.file("a.PNG"), sample_png(4, 1, 6, 8, true, rgba));
  write_file(dir.file("b.bmp"), sample_bmp_info(pic, 32, 124, 3, argb, true));
  write_file(dir.file("c.jpeg"), sample_jpeg(4, 1, 3, false, Bytes(12, 200)));
  for (const char *name : {"a.PNG", "b.bmp", "c.jpeg"}) {
    PALETTE palette;
    BITMAP *b = read_texture_file(dir.file(name).c_str(), palette);
    ASSERT_NE(nullptr, b) << name;
    for (int x = 0; x < 4; x++) {
      const bool masked = name[0] != 'c' && x < 2;
      const Rgb want = name[0] == 'c' ? Rgb{200, 200, 200} : Rgb{10, 20, 30};
      EXPECT_TRUE(masked ? getpixel(b, x, 0) == bitmap_mask_color(b) : pixel_rgb(b, x, 0) == want) << name << x;
    }
    destroy_bitmap(b);
  }
}

}  // namespace
