// veldkit --diff against a plain model of two terrains' files, and its picture.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/work_threads.h"
#include "images/image_pixels.h"
#include "app/command_line.h"
#include "commands/diff_command.h"
#include "tests/unit/harness.h"

namespace {

// A terrain as its files hold it: rows from the south edge, words as stored.
struct Model {
  int tx = 0, ty = 0;
  std::vector<uint16_t> words;    // 6 per tile, row after row
  std::vector<uint16_t> heights;  // 16 tx ty samples, or none
  long tile_bytes_cut = -1;       // the tile map file cut after so many bytes
};

void write_model(const Model &m, const std::string &name) {
  std::vector<unsigned char> bytes;
  for (int v : {m.tx, m.ty, 0, 0}) put_le32(bytes, v);
  for (uint16_t w : m.words) put_le16(bytes, w);
  if (m.tile_bytes_cut >= 0) bytes.resize((size_t)m.tile_bytes_cut);
  write_file(name + ".TFD", bytes);
  remove((name + ".hfd").c_str());
  if (m.heights.empty()) return;
  bytes.clear();
  for (int v : {4 * m.tx, 4 * m.ty, 0, 0}) put_le32(bytes, v);
  for (uint16_t h : m.heights) put_le16(bytes, h);
  write_file(name + ".hfd", bytes);
}

// The word as the program reads it: 0xFFFF where the file ends.
uint16_t word(const Model &m, long i) {
  return m.tile_bytes_cut >= 0 && 16 + 2 * i + 2 > m.tile_bytes_cut ? 0xFFFF : m.words[(size_t)i];
}

struct Outcome {
  int code;
  std::string out, err;
};

std::string contents(FILE *f) {
  std::string text;
  rewind(f);
  for (int c; (c = fgetc(f)) != EOF;) text += (char)c;
  fclose(f);
  return text;
}

Outcome diff(std::vector<std::string> words) {
  words.insert(words.begin(), "veldkit");
  std::vector<char *> argv;
  for (std::string &w : words) argv.push_back(&w[0]);
  const CommandLine c = parse_command_line((int)argv.size(), argv.data());
  FILE *out = tmpfile(), *err = tmpfile();
  // Usage errors print the usage on standard error, as ever.
  const int code = c.mode == COMMAND_DIFF ? run_diff(c, out, err) : run_command_line(c);
  return {code, contents(out), contents(err)};
}

std::string extra(const Model &m, long t) {
  const uint16_t a = word(m, 6 * t + 3), b = word(m, 6 * t + 4), c = word(m, 6 * t + 5);
  return a == b && b == c ? std::to_string(a) : std::to_string(a) + "/" + std::to_string(b) + "/" + std::to_string(c);
}

void listed(std::string &out, std::vector<std::string> lines, const std::string &what) {
  for (size_t i = 0; i < lines.size() && i < 100; i++) out += lines[i] + "\n";
  if (lines.size() > 100) out += "... and " + std::to_string(lines.size() - 100) + " more " + what + (lines.size() == 101 ? "\n" : "s\n");
}

// What the command should print and return, plainly.
Outcome expected(const Model &a, const Model &b) {
  if (a.tx != b.tx || a.ty != b.ty) return {2, "", ""};
  std::vector<std::string> tiles, heights;
  for (long t = 0; t < (long)a.tx * a.ty; t++) {
    std::string line;
    auto field = [&](const std::string &f) { line += (line.empty() ? " " : ", ") + f; };
    const char *names[] = {"texture", "rotation", "tag"};
    for (int w = 0; w < 3; w++) {
      int va = word(a, 6 * t + w), vb = word(b, 6 * t + w);
      if (w == 0) va = (int16_t)(va + 1), vb = (int16_t)(vb + 1);
      if (va != vb) field(std::string(names[w]) + " " + std::to_string(va) + " -> " + std::to_string(vb));
    }
    if (extra(a, t) != extra(b, t)) field("extra " + extra(a, t) + " -> " + extra(b, t));
    if (!line.empty()) tiles.push_back(std::to_string(t % a.tx) + ", " + std::to_string(t / a.tx) + ":" + line);
  }
  const bool compared = !a.heights.empty() && !b.heights.empty();
  for (int y = 0; compared && y < a.ty; y++)
    for (int x = 0; x < a.tx; x++) {
      int changed = 0, largest = 0;
      for (int i = 0; i < 16; i++) {
        const size_t s = (size_t)(4 * y + i / 4) * 4 * a.tx + 4 * x + i % 4;
        const int d = b.heights[s] - a.heights[s];
        changed += d != 0;
        if (abs(d) > abs(largest) || (abs(d) == abs(largest) && d > largest)) largest = d;
      }
      if (changed)
        heights.push_back(std::to_string(x) + ", " + std::to_string(y) + ": " + std::to_string(changed) +
                          (changed == 1 ? " sample" : " samples") + " changed, largest change " +
                          (largest > 0 ? "+" : "") + std::to_string(largest));
    }
  Outcome r{tiles.size() + heights.size() > 0 ? 1 : 0, "", ""};
  listed(r.out, tiles, "tile");
  listed(r.out, heights, "height tile");
  const std::string nt = std::to_string(tiles.size()), nh = std::to_string(heights.size());
  if (compared)
    r.err = r.code ? nt + (nt == "1" ? " tile and " : " tiles and ") + nh + (nh == "1" ? " height tile differ." : " height tiles differ.")
                   : "The terrains are the same.";
  else
    r.err = tiles.empty() ? "The tile maps are the same." : nt + (nt == "1" ? " tile differs." : " tiles differ.");
  return r;
}

// A terrain of few distinct values, so that pairs share most of them.
Model random_model(std::mt19937 &rng, int tx, int ty, bool heights) {
  Model m;
  m.tx = tx;
  m.ty = ty;
  const uint16_t values[] = {0, 1, 2, 3, 0xFFFF, 0x0101, 0x8000};
  for (long i = 0; i < 6L * tx * ty; i++) m.words.push_back(values[rng() % 7]);
  for (long i = 0; heights && i < 16L * tx * ty; i++) m.heights.push_back((uint16_t)(rng() % 3 * 50));
  return m;
}

// Some words and samples of a, changed.
Model changed(std::mt19937 &rng, Model m, int changes) {
  for (int k = 0; k < changes; k++) {
    m.words[rng() % m.words.size()] = (uint16_t)(rng() % 4 == 0 ? 0x100 + rng() % 3 : rng() % 5);
    if (!m.heights.empty()) m.heights[rng() % m.heights.size()] = (uint16_t)(rng() % 10000);
  }
  return m;
}

TEST(TerrainDiff, AgreesWithAPlainModelOfTheFiles) {
  TempDir dir;
  std::mt19937 rng(20240611);
  for (int trial = 0; trial < 200; trial++) {
    const bool large = trial % 40 == 0;  // past the 100 lines, over several blocks
    const int tx = large ? 40 : 1 + (int)(rng() % 7), ty = large ? 150 : 1 + (int)(rng() % 7);
    Model a = random_model(rng, tx, ty, rng() % 4 != 0);
    Model b = changed(rng, a, large ? 3000 : (int)(rng() % 6));
    if (rng() % 5 == 0) b.heights = rng() % 2 ? std::vector<uint16_t>() : random_model(rng, tx, ty, true).heights;
    if (rng() % 10 == 0) b.tile_bytes_cut = 16 + (long)(rng() % (b.words.size() * 2));
    if (!large && rng() % 12 == 0) b = random_model(rng, tx + (rng() % 2 ? 1 : 0), ty + (rng() % 2 ? 0 : 1), true);
    write_model(a, "A");
    write_model(b, "B");
    set_work_threads(1 + trial % 3);
    const Outcome want = expected(a, b);
    const Outcome got = trial % 2 ? diff({"--diff", "A.TFD", "B.TFD"}) : diff({"A.TFD", "--diff", "--", "B.TFD"});
    ASSERT_EQ(want.code, got.code) << trial << "\n" << got.err;
    ASSERT_EQ(want.out, got.out) << trial;
    if (want.code == 2) {
      EXPECT_EQ("A.TFD is " + std::to_string(a.tx) + " x " + std::to_string(a.ty) + " tiles; B.TFD is " +
                    std::to_string(b.tx) + " x " + std::to_string(b.ty) + ".\n",
                got.err);
      continue;
    }
    const size_t last = got.err.rfind('\n', got.err.size() - 2);
    EXPECT_EQ(want.err + "\n", got.err.substr(last == std::string::npos ? 0 : last + 1)) << trial;
    EXPECT_EQ(b.tile_bytes_cut >= 0 && b.tile_bytes_cut < 16 + 12L * tx * ty,
              got.err.find("B.TFD") != std::string::npos && got.err.find("shorter") != std::string::npos);
    if (a.heights.empty() != b.heights.empty()) {
      EXPECT_NE(std::string::npos, got.err.find(a.heights.empty() ? "Only B.TFD has a height map (A.hfd: missing)"
                                                                  : "Only A.TFD has a height map (B.hfd: missing)"));
    }
  }
  set_work_threads(0);
  // A file that cannot be compared is named; the usage errors are test_command_line's.
  const Outcome gone = diff({"--diff", "A.TFD", "Gone.TFD"});
  EXPECT_EQ(2, gone.code);
  EXPECT_EQ("Gone.TFD: the tile map does not exist.\n", gone.err);
}

// One pixel per tile, the north row at the top, in the same colours in
// both formats.
TEST(TerrainDiff, ThePictureColoursEachTileByWhatDiffers) {
  TempDir dir;
  std::mt19937 rng(7);
  Model a = random_model(rng, 3, 2, true), b = a;
  b.words[6 * 1 + 2] ^= 0x100;  // tile (1, 0): the tag's high byte
  b.heights[(4 * 1 + 1) * 12 + 0] += 1;          // (0, 1): one sample
  b.words[6 * 5 + 4] ^= 1;                       // (2, 1): an extra word ...
  b.heights[(4 * 1 + 3) * 12 + 4 * 2 + 3] += 9;  // ... and a sample
  write_model(a, "A");
  write_model(b, "B");
  EXPECT_EQ(1, diff({"--diff", "A.TFD", "B.TFD", "--picture"}).code);
  const Outcome png = diff({"--picture", "--format", "png", "--diff", "A.TFD", "B.TFD"});
  EXPECT_NE(std::string::npos, png.err.find("A_Diff_000.png\n"));
  BITMAP *bmp = load_bmp("A_Diff_000.bmp", nullptr);
  ASSERT_NE(nullptr, bmp);
  const std::vector<unsigned char> bytes = read_file("A_Diff_000.png");
  ImagePixels pixels;
  ASSERT_EQ(0, read_png_pixels(bytes.data(), (long)bytes.size(), &pixels));
  ASSERT_EQ(3, bmp->w);
  ASSERT_EQ(2, bmp->h);
  const Rgb grey = pixel_rgb(bmp, 1, 0);
  EXPECT_TRUE(grey.r == grey.g && grey.g == grey.b && grey.r >= 32 && grey.r <= 128) << grey;
  // Top row is y = 1, the north one.
  const Rgb want[2][3] = {{{0, 0, 255}, grey, {255, 0, 255}}, {grey, {255, 0, 0}, grey}};
  for (int row = 0; row < 2; row++)
    for (int x = 0; x < 3; x++) {
      EXPECT_EQ(want[row][x], pixel_rgb(bmp, x, row)) << x << "," << row;
      const unsigned char *p = pixels.rgba + 4 * (row * 3 + x);
      EXPECT_EQ(want[row][x], (Rgb{p[0], p[1], p[2]})) << x << "," << row;
    }
  destroy_bitmap(bmp);
  free_image_pixels(&pixels);
}

}  // namespace
