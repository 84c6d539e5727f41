#include <cstring>
#include <functional>
#include <string>

#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "images/image_header.h"
#include "images/shrink_bitmap.h"
#include "images/textures.h"
#include "tests/unit/harness.h"
#include "tests/unit/sample_images.h"

namespace {

// A BMP of w x h pixels whose colours come from pick(x, y).
void save_pattern(const std::string &path, int w, int h, std::function<Rgb(int, int)> pick) {
  BITMAP *bmp = create_bitmap_ex(32, w, h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      Rgb c = pick(x, y);
      ((int32_t *)bmp->line[y])[x] = makecol32(c.r, c.g, c.b);
    }
  save_bmp(path.c_str(), bmp, nullptr);
  destroy_bitmap(bmp);
}

void save_flat(const std::string &path, int w, int h, Rgb c) {
  save_pattern(path, w, h, [c](int, int) { return c; });
}

// The 54-byte header of a 24-bit BMP that claims w x h pixels, with no pixels.
std::vector<unsigned char> bmp_header(int32_t w, int32_t h, uint16_t bits = 24,
                                      uint32_t compression = 0) {
  std::vector<unsigned char> out = {'B', 'M'};
  put_le32(out, 54);
  put_le32(out, 0);
  put_le32(out, 54);
  put_le32(out, 40);
  put_le32(out, w);
  put_le32(out, h);
  put_le16(out, 1);
  put_le16(out, bits);
  put_le32(out, compression);
  for (int i = 0; i < 5; i++) put_le32(out, 0);
  return out;
}

Rgb flat_colour(BITMAP *bmp) {
  Rgb first = pixel_rgb(bmp, 0, 0);
  for (int y = 0; y < bmp->h; y++)
    for (int x = 0; x < bmp->w; x++)
      if (!(pixel_rgb(bmp, x, y) == first)) return {-1, -1, -1};
  return first;
}

Rgb floor4(Rgb c) { return {c.r / 4 * 4, c.g / 4 * 4, c.b / 4 * 4}; }

Rgb colour_rgb(int c) { return {getr(c), getg(c), getb(c)}; }

class Textures : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    strcpy(terrain_paths.tfd_path, dir.file("Test.TFD").c_str());
  }
  // Declares texture t with the given file name, as the description does.
  void declare(int t, const char *filename) {
    strcpy(texture_table.textures[t].filename, filename);
    texture_table.textures_declared++;
    if (t > texture_table.last_declared_texture) texture_table.last_declared_texture = t;
  }
  const TextureEntry &entry(int t) { return texture_table.textures[t]; }
  TempDir dir;
};

TEST_F(Textures, FileSizesChooseCopyAverageOrStretch) {
  save_pattern(dir.file("copy.bmp"), 256, 256, [](int x, int y) { return Rgb{x, y, 7}; });
  save_flat(dir.file("wide.bmp"), 300, 200, {40, 80, 120});
  // A 2 x 2 checker averages to one grey; a stretch would keep black and white.
  save_pattern(dir.file("checker.bmp"), 512, 512,
               [](int x, int y) { return (x + y) % 2 ? Rgb{255, 255, 255} : Rgb{0, 0, 0}; });
  save_flat(dir.file("dot.bmp"), 1, 1, {9, 99, 199});
  declare(1, "copy.bmp");
  declare(2, "wide.bmp");
  declare(3, "checker.bmp");
  declare(4, "dot.bmp");
  texture_table.texture_count = 4;
  ASSERT_EQ(0, load_textures(nullptr));
  EXPECT_EQ(4, texture_table.textures_loaded);

  EXPECT_EQ(256, entry(1).file_width);
  EXPECT_EQ((Rgb{200, 17, 7}), pixel_rgb(entry(1).levels[0], 200, 17));

  EXPECT_EQ(300, entry(2).file_width);
  EXPECT_EQ(200, entry(2).file_height);
  EXPECT_EQ((Rgb{40, 80, 120}), flat_colour(entry(2).levels[0]));

  EXPECT_EQ(512, entry(3).file_width);
  EXPECT_EQ((Rgb{127, 127, 127}), flat_colour(entry(3).levels[0]));
  EXPECT_EQ((Rgb{124, 124, 124}), colour_rgb(entry(3).sample_color));

  EXPECT_EQ(1, entry(4).loaded);  // a single pixel is stretched like any other size
  EXPECT_EQ((Rgb{9, 99, 199}), flat_colour(entry(4).levels[0]));

  for (int t = 1; t <= 4; t++) {
    EXPECT_EQ(1, entry(t).loaded);
    for (int k = 0; k < TEXTURE_LEVELS; k++) {
      ASSERT_NE(nullptr, entry(t).levels[k]);
      EXPECT_EQ(256 >> k, entry(t).levels[k]->w);
      EXPECT_EQ(256 >> k, entry(t).levels[k]->h);
      EXPECT_EQ(32, bitmap_color_depth(entry(t).levels[k]));
    }
  }
}

TEST_F(Textures, SampleColourFromTheCornersOfLevelFive) {
  // Each corner pixel of level 5 stands for a 32 x 32 block of level 0.
  save_pattern(dir.file("corners.bmp"), 256, 256, [](int x, int y) {
    if (x < 32 && y < 32) return Rgb{200, 0, 0};
    if (x >= 224 && y < 32) return Rgb{0, 200, 0};
    if (x < 32 && y >= 224) return Rgb{0, 0, 200};
    if (x >= 224 && y >= 224) return Rgb{103, 103, 103};
    return Rgb{255, 255, 255};
  });
  declare(1, "corners.bmp");
  texture_table.texture_count = 1;
  ASSERT_EQ(0, load_textures(nullptr));
  EXPECT_EQ((Rgb{50 + 25, 50 + 25, 50 + 25}), colour_rgb(entry(1).sample_color));
}

TEST_F(Textures, PlaceholdersForUndeclaredAndMissingTextures) {
  save_flat(dir.file("a.bmp"), 256, 256, {10, 20, 30});
  declare(1, "a.bmp");
  declare(3, "missing.bmp");
  strcpy(texture_table.textures[2].filename, "NONE");
  strcpy(texture_table.textures[5].filename, "stale.bmp");  // beyond the declared ones
  save_flat(dir.file("stale.bmp"), 256, 256, {1, 1, 1});
  texture_table.texture_count = 5;
  Rgb placeholder[6];
  for (int t = 1; t <= 5; t++) placeholder[t] = colour_rgb(entry(t).sample_color);
  EXPECT_EQ((Rgb{150, 0, 150}), placeholder[1]);
  EXPECT_EQ((Rgb{156, 0, 156}), placeholder[2]);

  ASSERT_EQ(0, load_textures(nullptr));
  EXPECT_EQ(1, texture_table.textures_loaded);
  for (int t = 2; t <= 5; t++) {
    SCOPED_TRACE(t);
    EXPECT_EQ(0, entry(t).loaded);
    EXPECT_EQ(0, entry(t).file_width);
    EXPECT_EQ(placeholder[t], flat_colour(entry(t).levels[0]));
    EXPECT_EQ(floor4(placeholder[t]), colour_rgb(entry(t).sample_color));
  }
  EXPECT_STREQ("NONE", entry(4).filename);
  EXPECT_STREQ("NONE", entry(5).filename);
  EXPECT_EQ(nullptr, entry(6).levels[0]);
}

TEST_F(Textures, DamagedOrOversizedFilesGivePlaceholders) {
  write_file(dir.file("empty.bmp"), {});
  write_file(dir.file("byte.bmp"), {'B'});
  write_text(dir.file("text.bmp"), "this is no bitmap at all, only some words");
  write_file(dir.file("huge.bmp"), bmp_header(8192, 8192));
  write_file(dir.file("wide.bmp"), bmp_header(40000, 1));
  write_file(dir.file("negative.bmp"), bmp_header(-5, 5));
  write_file(dir.file("flat.bmp"), bmp_header(5, 0));
  // Run-length bodies the loader would follow past its rows.
  std::vector<unsigned char> rle = bmp_header(4, 4, 8, 1);
  for (int i = 0; i < 256 * 4; i++) rle.push_back(0);
  rle.insert(rle.end(), {255, 5, 255, 5});
  write_file(dir.file("runs.bmp"), rle);
  std::vector<unsigned char> tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 24, 0, 0xFF, 1, 2, 3};
  write_file(dir.file("runs.tga"), tga);
  write_file(dir.file("cut.pcx"), {10, 5, 1, 8});
  // A plain Targa cut short: the loader would leave the missing rows unset.
  Bytes targa = sample_tga(sample_picture(16, 16, 24, [](int x, int) { return (uint32_t)x; }), 2, 24, 0, false);
  targa.pop_back();
  write_file(dir.file("cut.tga"), targa);
  write_text(dir.file("plane.lbm"), "FORM\0\0\0\x40ILBM");
  // Pixels said to begin 2 GB in: the loader would read its way there for seconds.
  std::vector<unsigned char> far = bmp_header(4, 4);
  far.resize(far.size() + 4 * 4 * 4);
  far[10] = 0x76, far[11] = 0, far[12] = 0, far[13] = 0x7e;
  write_file(dir.file("far.bmp"), far);
  const char *names[] = {"empty.bmp", "byte.bmp", "text.bmp", "huge.bmp", "wide.bmp", "negative.bmp", "flat.bmp",
                         "runs.bmp", "runs.tga", "cut.pcx", "cut.tga", "plane.lbm", "far.bmp", "subdir"};
  mkdir(dir.file("subdir").c_str(), 0700);
  const int n = sizeof(names) / sizeof(names[0]);
  for (int t = 1; t <= n; t++) declare(t, names[t - 1]);
  texture_table.texture_count = n;
  ASSERT_EQ(0, load_textures(nullptr));
  EXPECT_EQ(0, texture_table.textures_loaded);
  for (int t = 1; t <= n; t++) {
    SCOPED_TRACE(names[t - 1]);
    EXPECT_EQ(0, entry(t).loaded);
    EXPECT_EQ(0, entry(t).file_width);
    EXPECT_EQ(0, entry(t).file_height);
    ASSERT_NE(nullptr, entry(t).levels[7]);
  }
}

uint32_t stripes(int x, int y) { return (uint32_t)(x / 9 + y / 5) * 2654435761u >> 9; }

TEST_F(Textures, EveryEncodingLoadsWithThePixelsOfItsPlainTwin) {
  const SamplePicture p8 = sample_picture(256, 256, 8, stripes), p4 = sample_picture(256, 256, 4, stripes);
  const SamplePicture p24 = sample_picture(256, 256, 24, stripes);
  struct Pair {
    const char *name, *twin;
    Bytes bytes, twin_bytes;
  } pairs[] = {
      {"down.bmp", "up.bmp", sample_bmp(p8, 8, true), sample_bmp(p8, 8, false)},
      {"rle8.bmp", "up.bmp", sample_bmp_rle(p8, 8), sample_bmp(p8, 8, false)},
      {"rle4.bmp", "up4.bmp", sample_bmp_rle(p4, 4), sample_bmp(p4, 4, false)},
      {"ilbm.lbm", "up.bmp", sample_lbm(p8, 8, true), sample_bmp(p8, 8, false)},
      {"pbm.lbm", "up.bmp", sample_pbm(p8, false), sample_bmp(p8, 8, false)},
      {"mapped.tga", "mapped1.tga", sample_tga(p8, 9, 8, 24, false), sample_tga(p8, 1, 8, 24, false)},
      {"rgb.tga", "rgb2.tga", sample_tga(p24, 10, 24, 0, true, true), sample_tga(p24, 2, 24, 0, true)},
      {"grey.tga", "grey3.tga", sample_tga(p8, 11, 8, 0, false), sample_tga(p8, 3, 8, 0, false)},
  };
  const int n = sizeof(pairs) / sizeof(pairs[0]);
  for (int i = 0; i < n; i++) {
    write_file(dir.file(pairs[i].name), pairs[i].bytes);
    write_file(dir.file(pairs[i].twin), pairs[i].twin_bytes);
    declare(2 * i + 1, pairs[i].name);
    declare(2 * i + 2, pairs[i].twin);
  }
  texture_table.texture_count = 2 * n;
  ASSERT_EQ(0, load_textures(nullptr));
  EXPECT_EQ(2 * n, texture_table.textures_loaded);
  for (int i = 0; i < n; i++) {
    SCOPED_TRACE(pairs[i].name);
    ASSERT_EQ(1, entry(2 * i + 1).loaded);
    EXPECT_EQ(256, entry(2 * i + 1).file_height);
    BITMAP *got = entry(2 * i + 1).levels[0], *want = entry(2 * i + 2).levels[0];
    int wrong = 0;
    for (int y = 0; y < 256; y++)
      for (int x = 0; x < 256; x++) wrong += !(pixel_rgb(got, x, y) == pixel_rgb(want, x, y));
    EXPECT_EQ(0, wrong);
  }
}

TEST_F(Textures, PcxRowsMustHoldTheirPixels) {
  BITMAP *indexed = create_bitmap_ex(8, 7, 5), *rgb = create_bitmap_ex(24, 7, 5);
  for (int y = 0; y < 5; y++)
    for (int x = 0; x < 7; x++) {
      putpixel(indexed, x, y, 30 * x + y);
      putpixel(rgb, x, y, makecol24(30 * x, 40 * y, 99));
    }
  PALETTE pal;
  generate_332_palette(pal);
  save_pcx(dir.file("indexed.pcx").c_str(), indexed, pal);
  save_pcx(dir.file("rgb.pcx").c_str(), rgb, pal);
  destroy_bitmap(indexed);
  destroy_bitmap(rgb);
  const Bytes good = read_file(dir.file("indexed.pcx"));
  ASSERT_EQ(7, good[66]);  // bytes a row, as written
  struct Change {
    const char *name;
    size_t at;
    unsigned char value;
  } changes[] = {{"no_row.pcx", 66, 0}, {"short_row.pcx", 66, 6}, {"two_planes.pcx", 65, 2},
                 {"four_bits.pcx", 3, 4}};
  declare(1, "indexed.pcx");
  declare(2, "rgb.pcx");
  for (int i = 0; i < 4; i++) {
    Bytes bytes = good;
    bytes[changes[i].at] = changes[i].value;
    write_file(dir.file(changes[i].name), bytes);
    declare(3 + i, changes[i].name);
  }
  texture_table.texture_count = 6;
  ASSERT_EQ(0, load_textures(nullptr));
  EXPECT_EQ(2, texture_table.textures_loaded);
  EXPECT_EQ(7, entry(1).file_width);
  EXPECT_EQ(7, entry(2).file_width);
  EXPECT_EQ((Rgb{180, 160, 99}), pixel_rgb(entry(2).levels[0], 255, 255));  // the last pixel, stretched
  for (int t = 3; t <= 6; t++) EXPECT_EQ(0, entry(t).loaded) << entry(t).filename;
}

TEST_F(Textures, APathTooLongForTheBufferIsNotCut) {
  // The cut path would name this file; the texture must not load from it.
  const std::string folder = dir.path() + "/";
  const std::string name = std::string(PATH_SIZE - 5, 'x') + ".bmp";  // fits the entry's name
  const std::string cut = (folder + name).substr(0, PATH_SIZE - 1);
  save_flat(cut, 256, 256, {1, 2, 3});
  ASSERT_TRUE(file_exists(cut));
  declare(1, name.c_str());
  texture_table.texture_count = 1;
  ASSERT_EQ(0, load_textures(nullptr));
  EXPECT_EQ(0, entry(1).loaded);
}

TEST_F(Textures, ReloadingReplacesTheLevels) {
  save_flat(dir.file("a.bmp"), 256, 256, {10, 20, 30});
  declare(1, "a.bmp");
  texture_table.texture_count = 1;
  ASSERT_EQ(0, load_textures(nullptr));
  save_flat(dir.file("a.bmp"), 256, 256, {100, 120, 140});
  ASSERT_EQ(0, load_textures(nullptr));
  EXPECT_EQ((Rgb{100, 120, 140}), flat_colour(entry(1).levels[0]));
  EXPECT_EQ((Rgb{100, 120, 140}), flat_colour(entry(1).levels[7]));
}

TEST_F(Textures, NoEntriesAndLevelsWithoutABase) {
  texture_table.texture_count = 0;
  EXPECT_EQ(0, load_textures(nullptr));
  EXPECT_EQ(nullptr, entry(1).levels[0]);
  EXPECT_NE(0, make_texture_levels(1));  // no level 0
  EXPECT_NE(0, make_texture_levels(0));
  EXPECT_NE(0, make_texture_levels(512));
}

uint32_t grain(int x, int y) { return ((uint32_t)x * 2246822519u ^ (uint32_t)y * 3266489917u) * 668265263u >> 3; }

// What a texture's levels were before they were made on work threads: the
// file through the library's loaders, level 0 copied, block-averaged or
// stretched, each level shrunk from level 0, the sample colour from the
// corners of level 5.
struct ReferenceLevels {
  BITMAP *levels[TEXTURE_LEVELS];
  int sample, loaded;
};

ReferenceLevels reference_levels(const std::string &path, int placeholder) {
  ReferenceLevels ref = {{}, 0, 0};
  PALETTE palette;
  BITMAP *file = read_texture_file(path.c_str(), palette);
  BITMAP *level0 = create_bitmap_ex(32, 256, 256);
  clear_to_color(level0, placeholder);
  if (file) {
    ref.loaded = 1;
    const int w = file->w;
    if (w == file->h && (w == 512 || w == 1024 || w == 2048)) {
      destroy_bitmap(level0);
      level0 = shrink_bitmap(file, w / 256, w / 256);
    } else if (w == 256 && file->h == 256) {
      blit(file, level0, 0, 0, 0, 0, 256, 256);
    } else {
      stretch_blit(file, level0, 0, 0, w, file->h, 0, 0, 256, 256);
    }
    destroy_bitmap(file);
  }
  ref.levels[0] = level0;
  for (int k = 1; k < TEXTURE_LEVELS; k++) ref.levels[k] = shrink_bitmap(level0, 1 << k, 1 << k);
  int r = 0, g = 0, b = 0;
  for (int corner = 0; corner < 4; corner++) {
    const int c = getpixel(ref.levels[5], corner / 2 * 7, corner % 2 * 7);
    r += getr32(c) / 4, g += getg32(c) / 4, b += getb32(c) / 4;
  }
  ref.sample = makecol(r, g, b);
  return ref;
}

// Every kind of file a texture set may hold, with pixels of no pattern:
// catches a level, block or colour made differently from before, an entry
// given another's result, and results that depend on the thread count.
TEST_F(Textures, TheSameLevelsOnAnyThreadCountAsBefore) {
  const SamplePicture p24 = sample_picture(1024, 1024, 24, grain), p8 = sample_picture(512, 512, 8, grain);
  const SamplePicture small = sample_picture(256, 256, 24, grain), odd = sample_picture(300, 200, 24, grain);
  std::vector<uint16_t> rgba;
  for (int i = 0; i < 512 * 512 * 4; i++) rgba.push_back((uint16_t)(grain(i, 5) & 0xFF));
  Bytes palette8 = sample_bmp(p8, 8, false);
  for (int i = 0; i < 1024; i++) palette8[54 + i] = (unsigned char)grain(i, 9);
  std::vector<uint16_t> grey16;
  for (int i = 0; i < 1024 * 1024; i++) grey16.push_back((uint16_t)grain(i, 11));
  const struct {
    const char *name;
    Bytes bytes;
  } files[] = {
      {"a.bmp", sample_bmp(p24, 24, false)},      {"b.bmp", palette8},
      {"c.bmp", sample_bmp(small, 24, false)},    {"d.bmp", sample_bmp(odd, 24, false)},
      {"e.png", sample_png(512, 512, 6, 8, false, rgba)},
      {"f.tga", sample_tga(small, 2, 24, 0, false)}, {"g.bmp", sample_bmp(p24, 24, true)},
      {"h.bmp", sample_bmp_rle(p8, 8)},           {"i.bmp", {'B', 'M'}},
      {"j.png", sample_png(256, 256, 6, 8, true, std::vector<uint16_t>(rgba.begin(), rgba.begin() + 256 * 256 * 4))},
      {"k.jpg", sample_jpeg(512, 512, 3, false, Bytes(rgba.begin(), rgba.begin() + 512 * 512 * 3))},
      {"l.png", sample_png(256, 256, 2, 8, false, std::vector<uint16_t>(rgba.begin(), rgba.begin() + 256 * 256 * 3))},
      {"m.png", sample_png(1024, 1024, 0, 16, false, grey16)},
  };
  int t = 0;
  for (const auto &f : files) {
    write_file(dir.file(f.name), f.bytes);
    declare(++t, f.name);
  }
  declare(++t, "missing.bmp");
  texture_table.texture_count = t + 2;  // and two entries only the tile map uses

  std::vector<ReferenceLevels> want;
  std::vector<int> placeholders;
  for (int i = 1; i <= texture_table.texture_count; i++) {
    placeholders.push_back(entry(i).sample_color);
    want.push_back(reference_levels(dir.file(entry(i).filename), entry(i).sample_color));
  }
  want[(size_t)t].loaded = want[(size_t)t + 1].loaded = 0;  // "NONE"
  for (int threads : {1, 3}) {
    SCOPED_TRACE(testing::Message() << threads << " threads");
    set_work_threads(threads);
    for (int i = 1; i <= texture_table.texture_count; i++) texture_table.textures[i].sample_color = placeholders[(size_t)i - 1];
    texture_table.textures_loaded = 0;
    ASSERT_EQ(0, load_textures(nullptr));
    EXPECT_EQ(12, texture_table.textures_loaded);
    for (int i = 1; i <= texture_table.texture_count; i++) {
      SCOPED_TRACE(entry(i).filename);
      const ReferenceLevels &ref = want[(size_t)i - 1];
      EXPECT_EQ(ref.loaded, entry(i).loaded);
      EXPECT_EQ(ref.sample, entry(i).sample_color);
      for (int k = 0; k < TEXTURE_LEVELS; k++) {
        BITMAP *got = entry(i).levels[k];
        ASSERT_EQ(ref.levels[k]->w, got->w);
        int wrong = 0;
        for (int y = 0; y < got->h; y++) wrong += memcmp(ref.levels[k]->line[y], got->line[y], (size_t)got->w * 4) != 0;
        EXPECT_EQ(0, wrong) << "level " << k;
      }
    }
  }
  set_work_threads(0);
  for (ReferenceLevels &ref : want)
    for (BITMAP *level : ref.levels) destroy_bitmap(level);
}

// The window's way: chosen entries first, the map shown once they are in.
// Catches an order that mixes up entries and their files or placeholders,
// and a first showing before the chosen ones are in or after the others.
TEST_F(Textures, AWatcherSeesItsChosenTexturesFirstWithTheSameLevels) {
  const int n = 6;
  for (int t = 1; t <= n; t++) {
    const std::string name = "w" + std::to_string(t) + ".bmp";
    save_pattern(dir.file(name), 512, 512, [t](int x, int y) { return Rgb{(x * t) & 255, (y + 40 * t) & 255, t}; });
    declare(t, t == 4 ? "missing.bmp" : name.c_str());
  }
  texture_table.texture_count = n + 1;  // and one only the tile map uses
  std::vector<int> placeholders;
  for (int t = 1; t <= n + 1; t++) placeholders.push_back(entry(t).sample_color);
  ASSERT_EQ(0, load_textures(nullptr));
  std::vector<int> samples;
  std::vector<Rgb> corners;
  for (int t = 1; t <= n + 1; t++) {
    samples.push_back(entry(t).sample_color);
    corners.push_back(pixel_rgb(entry(t).levels[0], 255, 0));
    texture_table.textures[t].sample_color = placeholders[(size_t)t - 1];
  }
  struct Seen {
    std::vector<std::vector<int>> with_levels;  // at each showing
  } seen;
  TextureWatcher watcher = {
      [](void *, unsigned char *first) { first[5] = first[2] = first[4] = 1; },
      [](void *context) {
        std::vector<int> in;
        for (int t = 1; t <= texture_table.texture_count; t++)
          if (texture_table.textures[t].levels[0]) in.push_back(t);
        ((Seen *)context)->with_levels.push_back(in);
      },
      &seen};
  set_work_threads(3);
  texture_table.textures_loaded = 0;
  ASSERT_EQ(0, load_textures(nullptr, &watcher));
  set_work_threads(0);
  ASSERT_FALSE(seen.with_levels.empty());
  EXPECT_EQ((std::vector<int>{2, 4, 5}), seen.with_levels[0]);
  EXPECT_EQ(5, texture_table.textures_loaded);
  for (int t = 1; t <= n + 1; t++) {
    SCOPED_TRACE(t);
    EXPECT_EQ(samples[(size_t)t - 1], entry(t).sample_color);
    EXPECT_EQ(corners[(size_t)t - 1], pixel_rgb(entry(t).levels[0], 255, 0));
  }
}

TEST(ImageHeader, SizeLimits) {
  EXPECT_TRUE(image_size_accepted(4096, 4096));
  EXPECT_TRUE(image_size_accepted(32767, 512));
  EXPECT_FALSE(image_size_accepted(4097, 4096));
  EXPECT_FALSE(image_size_accepted(32768, 1));
  EXPECT_FALSE(image_size_accepted(0, 10));
  EXPECT_FALSE(image_size_accepted(10, -1));
}

}  // namespace
