// Plain copies of top-down, run-length and interleaved image files: each
// must give the pixels the library gives for the plain file with the same
// picture, and a damaged file must be refused, never decoded past its ends.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "images/plain_image.h"
#include "tests/unit/harness.h"
#include "tests/unit/sample_images.h"

namespace {

uint32_t noise(int x, int y) { return (uint32_t)(x * 7 + y * 13 + (x * y) % 5) * 2654435761u >> 7; }
uint32_t bands(int x, int y) { return (uint32_t)(x / 5 + 3 * y) * 40503u; }
// Rows 0 and 3 all zero: run-length writers may skip them with a delta.
uint32_t gaps(int x, int y) { return y == 0 || y == 3 ? 0 : ((uint32_t)(x / 3 + y) * 97 + 1) | 1; }

using Rewrite = int (*)(const unsigned char *, long, PlainImage *);

class PlainImages : public testing::Test {
 protected:
  // The library's loader on the file.
  BITMAP *library(const char *name, const Bytes &bytes) {
    write_file(dir.file(name), bytes);
    return load_bitmap(dir.file(name).c_str(), palette);
  }
  // The file through its plain copy.
  BITMAP *plain(const char *name, const Bytes &bytes) {
    write_file(dir.file(name), bytes);
    return load_plain_image(dir.file(name).c_str(), palette);
  }
  PALETTE palette = {};
  TempDir dir;
};

// Both loaded and with the same colour at every pixel; destroys both.
void expect_same_pixels(BITMAP *got, BITMAP *want) {
  ASSERT_NE(nullptr, got);
  ASSERT_NE(nullptr, want);
  EXPECT_EQ(want->w, got->w);
  EXPECT_EQ(want->h, got->h);
  int wrong = 0;
  for (int y = 0; y < want->h && y < got->h; y++)
    for (int x = 0; x < want->w && x < got->w; x++)
      if (!(pixel_rgb(got, x, y) == pixel_rgb(want, x, y)) && wrong++ == 0)
        ADD_FAILURE() << "first difference at " << x << ", " << y << ": " << pixel_rgb(got, x, y)
                      << " instead of " << pixel_rgb(want, x, y);
  EXPECT_EQ(0, wrong);
  destroy_bitmap(got);
  destroy_bitmap(want);
}

TEST_F(PlainImages, TopDownBitmapsMatchTheirBottomUpTwin) {
  for (int bits : {1, 4, 8, 16, 24, 32})
    for (int w : {1, 7, 33}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, width " << w);
      const SamplePicture pic = sample_picture(w, 5, bits, noise);
      expect_same_pixels(plain("down.bmp", sample_bmp(pic, bits, true)),
                         library("up.bmp", sample_bmp(pic, bits, false)));
    }
}

TEST_F(PlainImages, RunLengthBitmapsMatchTheLibrary) {
  for (int bits : {4, 8})
    for (auto pick : {noise, bands, gaps})
      for (int w : {1, 2, 7, 33, 300}) {
        SCOPED_TRACE(testing::Message() << bits << " bits, width " << w);
        const SamplePicture pic = sample_picture(w, 6, bits, pick);
        const Bytes runs = sample_bmp_rle(pic, bits, pick == gaps);
        expect_same_pixels(plain("runs.bmp", runs), library("flat.bmp", sample_bmp(pic, bits, false)));
        expect_same_pixels(plain("runs.bmp", runs), library("runs.bmp", runs));
      }
}

TEST_F(PlainImages, RunLengthTargasMatchTheLibrary) {
  struct Kind {
    int type, bits, map_bits;
  };
  const Kind kinds[] = {{9, 8, 16}, {9, 8, 24}, {9, 8, 32}, {10, 15, 0}, {10, 16, 0},
                        {10, 24, 0}, {10, 32, 0}, {11, 8, 0}};
  for (const Kind &k : kinds)
    for (int top : {0, 1})
      for (int w : {1, 7, 200}) {
        SCOPED_TRACE(testing::Message() << "type " << k.type << ", " << k.bits << " bits, width " << w
                                        << (top ? ", top origin" : ""));
        const SamplePicture pic = sample_picture(w, 5, k.bits, w == 200 ? bands : noise);
        const Bytes flat = sample_tga(pic, k.type - 8, k.bits, k.map_bits, top);
        const Bytes runs = sample_tga(pic, k.type, k.bits, k.map_bits, top);
        expect_same_pixels(plain("runs.tga", runs), library("flat.tga", flat));
        expect_same_pixels(plain("runs.tga", runs), library("runs.tga", runs));
        // Packets running on into the next row, which the library cannot follow.
        expect_same_pixels(plain("on.tga", sample_tga(pic, k.type, k.bits, k.map_bits, top, true)),
                           library("flat.tga", flat));
      }
}

TEST_F(PlainImages, FifteenBitColourMapsGiveTheirColours) {
  const SamplePicture pic = sample_picture(9, 4, 8, noise);
  const Bytes sixteen = sample_tga(pic, 1, 8, 16, false);
  expect_same_pixels(plain("a.tga", sample_tga(pic, 1, 8, 15, false)), library("b.tga", sixteen));
  expect_same_pixels(plain("a.tga", sample_tga(pic, 9, 8, 15, false)), library("b.tga", sixteen));
}

TEST_F(PlainImages, InterleavedAndChunkyBitmapsMatchTheLibrary) {
  for (int planes = 1; planes <= 8; planes++)
    for (int packed : {0, 1})
      for (int masking : {0, 1, 2})
        for (int w : {1, 7, 16, 33}) {
          SCOPED_TRACE(testing::Message() << planes << " planes, packed " << packed << ", masking "
                                          << masking << ", width " << w);
          const SamplePicture pic = sample_picture(w, 5, planes, noise);
          SamplePicture indexed = pic;  // the same indices in an 8-bit bitmap
          indexed.palette.resize(256, SampleRgb{0, 0, 0});
          const Bytes lbm = sample_lbm(pic, planes, packed, masking);
          expect_same_pixels(plain("a.lbm", lbm), library("b.bmp", sample_bmp(indexed, 8, false)));
          // The library skips no mask plane; without one it reads these files soundly.
          if (masking != 1) expect_same_pixels(plain("a.lbm", lbm), library("a.lbm", lbm));
        }
  for (int packed : {0, 1})
    for (int w : {1, 7, 40}) {
      const SamplePicture pic = sample_picture(w, 5, 8, noise);
      expect_same_pixels(plain("c.lbm", sample_pbm(pic, packed)), library("b.bmp", sample_bmp(pic, 8, false)));
    }
}

TEST_F(PlainImages, ColourMapsMayBeShortOrAfterTheBody) {
  SamplePicture pic = sample_picture(11, 3, 3, noise);
  SamplePicture indexed = pic;
  pic.palette.resize(5);  // indices 5 to 7 have no colour: black
  indexed.palette.resize(5);
  indexed.palette.resize(256, SampleRgb{0, 0, 0});
  Bytes lbm = sample_lbm(pic, 3, true);
  expect_same_pixels(plain("a.lbm", lbm), library("b.bmp", sample_bmp(indexed, 8, false)));
  // The colour map moved behind the body.
  const auto find = [&](const char *id) {
    return std::search(lbm.begin(), lbm.end(), id, id + 4) - lbm.begin();
  };
  const long cmap = find("CMAP"), body = find("BODY");
  Bytes moved(lbm.begin(), lbm.begin() + cmap);
  moved.insert(moved.end(), lbm.begin() + body, lbm.end());
  moved.insert(moved.end(), lbm.begin() + cmap, lbm.begin() + body);
  expect_same_pixels(plain("c.lbm", moved), library("b.bmp", sample_bmp(indexed, 8, false)));
}

struct Sample {
  const char *name;
  Rewrite rewrite;
  Bytes bytes;
};

std::vector<Sample> valid_samples() {
  const SamplePicture p8 = sample_picture(37, 6, 8, noise), p4 = sample_picture(37, 6, 4, gaps);
  const SamplePicture p24 = sample_picture(37, 6, 24, bands);
  return {
      {"top-down", plain_bmp, sample_bmp(p8, 8, true)},
      {"RLE8", plain_bmp, sample_bmp_rle(p8, 8)},
      {"RLE4", plain_bmp, sample_bmp_rle(p4, 4, true)},
      {"mapped runs", plain_tga, sample_tga(p8, 9, 8, 15, true)},
      {"true-colour runs", plain_tga, sample_tga(p24, 10, 24, 0, false, true)},
      {"grey runs", plain_tga, sample_tga(p8, 11, 8, 0, false)},
      {"ILBM", plain_lbm, sample_lbm(p4, 4, false, 1)},
      {"packed ILBM", plain_lbm, sample_lbm(p8, 8, true)},
      {"packed PBM", plain_lbm, sample_pbm(p8, true)},
  };
}

// A cut file is refused, unless the cut spares every byte the pixels need
// (a last pad byte): then it gives the whole file's plain copy.
TEST(PlainImageDamage, CutFilesAreRefused) {
  for (const Sample &s : valid_samples()) {
    SCOPED_TRACE(s.name);
    PlainImage whole, image;
    ASSERT_EQ(0, s.rewrite(s.bytes.data(), (long)s.bytes.size(), &whole));
    EXPECT_EQ(plain_file_size(whole.bytes, whole.size, whole.targa), whole.size);
    for (size_t n = 0; n < s.bytes.size(); n++) {
      const Bytes cut(s.bytes.begin(), s.bytes.begin() + (long)n);
      if (s.rewrite(cut.data(), (long)n, &image) != 0) continue;
      const bool same = image.size == whole.size && memcmp(image.bytes, whole.bytes, (size_t)whole.size) == 0;
      free_plain_image(&image);
      if (!same) {
        ADD_FAILURE() << "accepted when cut to " << n << " of " << s.bytes.size() << " bytes";
        break;
      }
    }
    free_plain_image(&whole);
  }
}

// Random changes to valid files: each result is refused or a plain file of
// exactly the size its header describes. Under the sanitizers this also
// shows that no read or write leaves its buffer.
TEST(PlainImageDamage, ChangedFilesAreRefusedOrWellFormed) {
  std::mt19937 random(1234);
  for (const Sample &s : valid_samples()) {
    SCOPED_TRACE(s.name);
    int accepted = 0;
    for (int round = 0; round < 1500; round++) {
      Bytes bytes = s.bytes;
      const int changes = 1 + (int)(random() % 4);
      for (int c = 0; c < changes; c++) bytes[random() % bytes.size()] = (unsigned char)random();
      PlainImage image;
      if (s.rewrite(bytes.data(), (long)bytes.size(), &image) != 0) continue;
      accepted++;
      ASSERT_EQ(plain_file_size(image.bytes, image.size, image.targa), image.size) << "round " << round;
      free_plain_image(&image);
    }
    EXPECT_GT(accepted, 0);  // the changes are not all fatal: the check above ran
  }
}

TEST(PlainImageDamage, RunsOutsideTheBitmapAreRefused) {
  const SamplePicture pic = sample_picture(4, 2, 8, noise);
  const Bytes head = sample_bmp_rle(pic, 8);
  const long offset = head[10] | head[11] << 8;
  auto bmp_with = [&](std::initializer_list<unsigned char> stream) {
    Bytes b(head.begin(), head.begin() + offset);
    b.insert(b.end(), stream);
    return b;
  };
  auto tga_with = [](unsigned char type, std::initializer_list<unsigned char> packets) {
    Bytes b = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0};
    b.insert(b.end(), packets);
    return b;
  };
  struct Case {
    const char *what;
    Rewrite rewrite;
    Bytes bytes;
  } cases[] = {
      {"sound", plain_bmp, bmp_with({4, 1, 0, 0, 4, 2, 0, 1})},
      {"run past the row", plain_bmp, bmp_with({5, 1, 0, 1})},
      {"literal past the row", plain_bmp, bmp_with({2, 1, 0, 3, 1, 2, 3, 0, 0, 1})},
      {"literal past the file", plain_bmp, bmp_with({0, 4, 1, 2})},
      {"line past the top", plain_bmp, bmp_with({0, 0, 0, 0, 0, 0, 0, 1})},
      {"delta past the top", plain_bmp, bmp_with({0, 2, 0, 3, 0, 1})},
      {"delta past the edge", plain_bmp, bmp_with({0, 2, 5, 0, 0, 1})},
      {"run after the top", plain_bmp, bmp_with({0, 0, 0, 0, 1, 1, 0, 1})},
      {"no end mark", plain_bmp, bmp_with({4, 1, 0, 0, 4, 2})},
      {"sound", plain_tga, tga_with(11, {0x83, 9})},
      {"packet past the image", plain_tga, tga_with(11, {0x84, 9})},
      {"raw packet past the file", plain_tga, tga_with(11, {0x03, 9, 9, 9})},
      {"colour-mapped without a map", plain_tga, tga_with(9, {0x83, 9})},
  };
  for (Case &c : cases) {
    PlainImage image;
    const int refused = c.rewrite(c.bytes.data(), (long)c.bytes.size(), &image);
    if (!refused) free_plain_image(&image);
    EXPECT_EQ(strcmp(c.what, "sound") != 0, refused) << c.what;
  }
}

TEST(PlainImageDamage, HeadersThatCannotDescribeTheirPixels) {
  const SamplePicture pic = sample_picture(8, 2, 4, noise);
  auto refused = [](Rewrite rewrite, const Bytes &bytes) {
    PlainImage image;
    if (rewrite(bytes.data(), (long)bytes.size(), &image) != 0) return true;
    free_plain_image(&image);
    return false;
  };
  auto patched = [](Bytes b, size_t at, unsigned char v) {
    b[at] = v;
    return b;
  };
  const Bytes rle4 = sample_bmp_rle(pic, 4), top = sample_bmp(pic, 4, true);
  EXPECT_FALSE(refused(plain_bmp, rle4));
  EXPECT_TRUE(refused(plain_bmp, patched(rle4, 28, 8)));   // RLE4 of 8-bit pixels
  EXPECT_TRUE(refused(plain_bmp, patched(rle4, 14, 108)));  // a header the library cannot read
  EXPECT_TRUE(refused(plain_bmp, patched(top, 30, 2)));     // runs from the top down
  EXPECT_TRUE(refused(plain_bmp, sample_bmp(pic, 4, false)));  // plain already
  EXPECT_TRUE(refused(plain_bmp, patched(rle4, 10, 200)));  // pixels behind the file's end

  const Bytes lbm = sample_lbm(pic, 4, true);
  const size_t bmhd = 20;  // FORM, size, ILBM, BMHD, size
  EXPECT_FALSE(refused(plain_lbm, lbm));
  EXPECT_TRUE(refused(plain_lbm, patched(lbm, bmhd + 8, 0)));   // no planes
  EXPECT_TRUE(refused(plain_lbm, patched(lbm, bmhd + 8, 9)));   // more than 8
  EXPECT_TRUE(refused(plain_lbm, patched(lbm, bmhd + 10, 2)));  // unknown packing
  EXPECT_TRUE(refused(plain_lbm, patched(lbm, 12, 'X')));       // no header chunk
  EXPECT_TRUE(refused(plain_lbm, patched(lbm, 8, 'X')));        // neither ILBM nor PBM
  Bytes chunky = sample_pbm(sample_picture(8, 2, 8, noise), true);
  EXPECT_TRUE(refused(plain_lbm, patched(chunky, bmhd + 8, 4)));  // chunky pixels are bytes

  const Bytes tga = sample_tga(sample_picture(8, 2, 8, noise), 9, 8, 24, false);
  EXPECT_FALSE(refused(plain_tga, tga));
  EXPECT_TRUE(refused(plain_tga, patched(tga, 7, 12)));  // colour map entries of 12 bits
  EXPECT_TRUE(refused(plain_tga, patched(tga, 16, 12)));
  EXPECT_TRUE(refused(plain_tga, patched(tga, 2, 1)));  // plain already
  EXPECT_TRUE(refused(plain_tga, patched(tga, 6, 2)));  // 512 map entries
}

}  // namespace
