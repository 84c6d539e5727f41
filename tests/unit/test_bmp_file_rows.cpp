// The direct reading of common BMPs against the library's loader: every BMP
// layout the tests make, in both byte orders a 32-bit mode may have.
#include <fcntl.h>
#include <unistd.h>

#include "images/bmp_file_rows.h"
#include "images/textures.h"
#include "tests/unit/harness.h"
#include "tests/unit/sample_images.h"

namespace {

uint32_t noise(int x, int y) { return ((uint32_t)x * 73856093u ^ (uint32_t)y * 19349663u) * 2654435761u; }

struct Layout {
  const char *name;
  Bytes bytes;
  bool direct;  // must be read directly
};

std::vector<Layout> layouts() {
  const SamplePicture p24 = sample_picture(37, 11, 24, noise), p8 = sample_picture(37, 11, 8, noise);
  const SamplePicture p4 = sample_picture(37, 11, 4, noise), p1 = sample_picture(37, 11, 1, noise);
  const SamplePicture p16 = sample_picture(37, 11, 16, noise), p32 = sample_picture(37, 11, 32, noise);
  Bytes odd_palette = sample_bmp(p8, 8, false);
  for (int i = 0; i < 1024; i++) odd_palette[54 + i] = (unsigned char)(noise(i, 7) >> 11);  // not multiples of 4
  Bytes short_file = sample_bmp(p24, 24, false);
  short_file.resize(short_file.size() - 5);
  const uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0};
  return {
      {"24 bits", sample_bmp(p24, 24, false), true},
      {"8 bits", sample_bmp(p8, 8, false), true},
      {"8 bits, any palette", odd_palette, true},
      {"24 bits, top down", sample_bmp(p24, 24, true), false},
      {"8 bits, top down", sample_bmp(p8, 8, true), false},
      {"4 bits", sample_bmp(p4, 4, false), false},
      {"1 bit", sample_bmp(p1, 1, false), false},
      {"16 bits", sample_bmp(p16, 16, false), false},
      {"32 bits", sample_bmp(p32, 32, false), false},
      {"RLE8", sample_bmp_rle(p8, 8), false},
      {"RLE4", sample_bmp_rle(p4, 4), false},
      {"24 bits, cut short", short_file, false},
      {"108-byte header", sample_bmp_info(p32, 32, 108, 3, masks, false), false},
  };
}

// The pixels and palette of the direct reading, as a 32-bit bitmap.
BITMAP *read_directly(const std::string &path, RGB *palette, bool *direct) {
  const Bytes bytes = read_file(path);
  BmpRows rows;
  *direct = bmp_rows_layout(bytes.data(), (long)bytes.size(), bytes.size(), &rows);
  if (!*direct) return nullptr;
  BITMAP *bmp = create_bitmap_ex(32, rows.width, rows.height);
  struct Into {
    BITMAP *bmp;
    const BmpRows *rows;
  } into = {bmp, &rows};
  const int fd = open(path.c_str(), O_RDONLY);
  EXPECT_EQ(0, read_bmp_rows(
                   fd, rows,
                   [](void *context, int y, const unsigned char *row) {
                     Into *i = (Into *)context;
                     bmp_row_values(*i->rows, row, (uint32_t *)i->bmp->line[y]);
                   },
                   &into));
  close(fd);
  if (rows.bits == 8)
    for (int i = 0; i < 256; i++) palette[i] = RGB{rows.palette[i][0], rows.palette[i][1], rows.palette[i][2], 0};
  else generate_332_palette(palette);
  return bmp;
}

TEST(BmpRows, DirectReadingGivesTheLibrarysPixelsAndPalette) {
  TempDir dir;
  const int saved[3] = {_rgb_r_shift_32, _rgb_g_shift_32, _rgb_b_shift_32};
  const int orders[2][3] = {{16, 8, 0}, {0, 8, 16}};  // an X mode's and the memory system's
  for (const auto &order : orders) {
    _rgb_r_shift_32 = order[0], _rgb_g_shift_32 = order[1], _rgb_b_shift_32 = order[2];
    for (const Layout &layout : layouts()) {
      SCOPED_TRACE(testing::Message() << layout.name << ", red at bit " << order[0]);
      const std::string path = dir.file("t.bmp");
      write_file(path, layout.bytes);
      PALETTE want_palette, got_palette;
      memset(want_palette, 0, sizeof(want_palette));
      memset(got_palette, 0, sizeof(got_palette));
      BITMAP *want = read_texture_file(path.c_str(), want_palette);
      bool direct = false;
      BITMAP *got = read_directly(path, got_palette, &direct);
      EXPECT_EQ(layout.direct, direct);
      if (!got) {
        if (want) destroy_bitmap(want);
        continue;
      }
      ASSERT_NE(nullptr, want);
      ASSERT_EQ(want->w, got->w);
      int wrong = 0;
      for (int y = 0; y < got->h; y++)
        wrong += memcmp(want->line[y], got->line[y], (size_t)got->w * 4) != 0;
      EXPECT_EQ(0, wrong);
      EXPECT_EQ(0, memcmp(want_palette, got_palette, sizeof(want_palette)));
      destroy_bitmap(want);
      destroy_bitmap(got);
    }
  }
  _rgb_r_shift_32 = saved[0], _rgb_g_shift_32 = saved[1], _rgb_b_shift_32 = saved[2];
}

}  // namespace
