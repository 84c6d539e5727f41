// Land sets written into a terrain: the old texture list and lands file
// stay byte for byte ahead of the new sections, both read back through
// their own readers to the very patterns generated (the lands file's land
// keeping its number and colour), the pictures are the generator's, a
// second run with the same seed writes the same bytes, the check finds the
// edges meeting until a picture is swapped, and each refusal
// names its cause and leaves the folder as it was.
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/land_table.h"
#include "core/terrain_model.h"
#include "document/land_set.h"
#include "files/land_file.h"
#include "files/terrain_description.h"
#include "images/image_pixels.h"
#include "inspect/land_set_check.h"
#include "tests/unit/harness.h"
#include "tests/unit/sample_images.h"

namespace {

const char OLD_DATA[] = "# textures of T\r\n[Texture001]\r\nFilename=a.bmp\r\nHasWater=0\r\n\r\n[Texture007]\r\nFilename=b.bmp";
const char OLD_LANDS[] = "# lands of T\n[Land004]\nName=water\nColor=1,2,3\n\n[Texture001]\nCorners=water,water,water,water\n";

std::vector<unsigned char> wavy(int w, int h, int seed) {
  std::vector<unsigned char> rgb((size_t)w * h * 3);
  std::mt19937 r((unsigned)seed);
  for (size_t i = 0; i < rgb.size(); i++) rgb[i] = (unsigned char)(40 * seed + 30 * std::sin(0.2 * (i / 3 % w) + i % 3) + r() % 20);
  return rgb;
}

void write_png(const std::string &path, int w, int h, int seed) {
  const std::vector<unsigned char> rgb = wavy(w, h, seed);
  write_file(path, sample_png(w, h, 2, 8, false, std::vector<uint16_t>(rgb.begin(), rgb.end())));
}

void write_inputs() {
  write_text("T.TFD", "");
  write_text("T_DATA.ini", OLD_DATA);
  write_text("T_LANDS.ini", OLD_LANDS);
  write_png("water.png", 64, 64, 1);
  const std::vector<unsigned char> grass = wavy(80, 48, 2);
  write_file("grass.jpg", sample_jpeg(80, 48, 3, false, grass));
  write_png("sand.png", 70, 70, 3);
}

LandSetRequest request() {
  LandSetRequest r;
  r.tfd_path = "T.TFD";
  r.lands = {{"Water", "water.png", true}, {"Grass", "grass.jpg", false}, {"Sand", "sand.png", false}};
  r.style.seed = 99;
  return r;
}

// Every file under the working folder with its bytes.
std::map<std::string, std::vector<unsigned char>> snapshot() {
  std::map<std::string, std::vector<unsigned char>> files;
  for (const auto &e : std::filesystem::recursive_directory_iterator("."))
    files[e.path().string()] = e.is_regular_file() ? read_file(e.path().string()) : std::vector<unsigned char>{'/'};
  return files;
}

bool begins_with(const std::vector<unsigned char> &bytes, const std::string &text) {
  return bytes.size() >= text.size() && std::equal(text.begin(), text.end(), bytes.begin());
}

TEST(LandSet, ExtendsTheFilesByteForByteAndReadsBackToThePatterns) {
  std::map<std::string, std::vector<unsigned char>> first_run;
  for (int run = 0; run < 2; run++) {
    TempDir dir;
    reset_program_state();
    write_inputs();
    const LandSetOutcome o = make_land_set(request());
    ASSERT_EQ(LAND_SET_WRITTEN, o.result) << o.why;
    EXPECT_EQ("24 patterns x 2 variants: 48 pictures in T_lands/, textures 8 to 55 in T_DATA.ini, 3 lands in "
              "T_LANDS.ini (2 new)", o.said);
    EXPECT_TRUE(begins_with(read_file("T_DATA.ini"), OLD_DATA));
    EXPECT_TRUE(begins_with(read_file("T_LANDS.ini"), OLD_LANDS));

    ASSERT_EQ(RESULT_OK, load_terrain_description("T_DATA.ini", nullptr));
    EXPECT_STREQ("a.bmp", texture_table.textures[1].filename);
    EXPECT_STREQ("b.bmp", texture_table.textures[7].filename);
    EXPECT_EQ(50, texture_table.textures_declared);
    ASSERT_EQ(RESULT_OK, load_land_file("T_LANDS.ini"));
    EXPECT_EQ(4, land_named("Water"));
    EXPECT_STREQ("water", lands.lands[4].name);
    EXPECT_EQ(1, lands.lands[4].r);
    const int grass = land_named("Grass"), sand = land_named("Sand");
    EXPECT_EQ(5, grass);
    EXPECT_EQ(6, sand);
    const int map[4] = {0, 4, grass, sand};
    // Each pattern twice, by the file's land numbers; water only where every corner is.
    std::map<LandCorners, int> seen;
    for (int t = 8; t <= 55; t++) {
      const LandCorners c = lands.corners[t];
      EXPECT_EQ(1u, lands.weight[t]);
      char name[32];
      snprintf(name, sizeof(name), "T_lands/%03d.png", t);
      EXPECT_STREQ(name, texture_table.textures[t].filename);
      const bool water = corner_land(c, 0) == 4 && corner_land(c, 1) == 4 && corner_land(c, 2) == 4 && corner_land(c, 3) == 4;
      EXPECT_EQ(water ? 2 : 0, texture_table.textures[t].has_water) << t;
      seen[c]++;
    }
    for (LandCorners p : land_set_patterns(3)) {
      const LandCorners mapped = land_corners(map[corner_land(p, 0)], map[corner_land(p, 1)], map[corner_land(p, 2)], map[corner_land(p, 3)]);
      EXPECT_EQ(2, seen[mapped]);
    }
    // The pictures are the generator's, at the largest size the smallest side holds (48: 32).
    std::vector<std::vector<unsigned char>> rgb;
    std::vector<LandSource> sources;
    for (const LandSetLand &l : request().lands) {
      const std::vector<unsigned char> bytes = read_file(l.picture);
      ImagePixels image;
      ASSERT_EQ(0, read_image_pixels(l.picture.c_str(), bytes.data(), (long)bytes.size(), &image));
      rgb.emplace_back();
      for (int i = 0; i < image.width * image.height * 4; i++)
        if (i % 4 != 3) rgb.back().push_back(image.rgba[i]);
      sources.push_back({l.name, image.width, image.height, nullptr});
      free_image_pixels(&image);
    }
    for (size_t l = 0; l < sources.size(); l++) sources[l].rgb = rgb[l].data();
    LandSetStyle style = request().style;
    style.size = 32;
    LandTransitions set;
    prepare_land_transitions(sources, style, &set);
    std::vector<unsigned char> made(32 * 32 * 3);
    make_land_transition(set, land_set_patterns(3)[5], 1, made.data());
    const std::vector<unsigned char> file = read_file("T_lands/019.png");
    ImagePixels image;
    ASSERT_EQ(0, read_image_pixels("T_lands/019.png", file.data(), (long)file.size(), &image));
    ASSERT_EQ(32, image.width);
    for (int i = 0; i < 32 * 32; i++) ASSERT_EQ(0, memcmp(&made[(size_t)i * 3], &image.rgba[(size_t)i * 4], 3)) << i;
    free_image_pixels(&image);

    // Their edges meet; a picture swapped for another's is named, alone.
    EXPECT_TRUE(land_set_seams("T.TFD").empty());
    if (run == 1) {
      write_file("T_lands/020.png", read_file("T_lands/030.png"));
      const std::vector<SeamProblem> seams = land_set_seams("T.TFD");
      ASSERT_FALSE(seams.empty());
      for (const SeamProblem &p : seams) {
        EXPECT_EQ(20, p.texture) << p.what;
        EXPECT_EQ("T_lands/020.png", p.file);
      }
      write_file("T_lands/020.png", first_run["./T_lands/020.png"]);
    }

    // The same seed, the same bytes.
    for (const auto &f : snapshot()) {
      if (run == 0) first_run[f.first] = f.second;
      else EXPECT_EQ(first_run[f.first], f.second) << f.first;
    }
  }
}

TEST(LandSet, RefusalsNameTheirCauseAndWriteNothing) {
  struct Case {
    const char *data, *lands;    // the old files' texts (null: none)
    std::vector<LandSetLand> set;  // empty: the usual three
    const char *prepare;         // "dir:NAME" a folder, "file:NAME" a file
    const char *why;
  };
  const std::vector<LandSetLand> two = {{"Water", "water.png", true}, {"Sand", "sand.png", false}};
  const Case cases[] = {
      {OLD_DATA, OLD_LANDS, {{"Water", "nothing.png", true}, {"Sand", "sand.png", false}}, nullptr,
       "nothing.png cannot be read: No such file or directory. Nothing was written."},
      {OLD_DATA, OLD_LANDS, {{"Water", "T.TFD", true}}, nullptr, "T.TFD cannot be read: it is no PNG, JPEG or BMP file."},
      {OLD_DATA, OLD_LANDS, {{"Water", "bad.png", true}}, "file:bad.png", "bad.png cannot be read: it is no sound picture"},
      {"[Texture500]\nFilename=x.bmp\n", nullptr, {}, nullptr,
       "24 patterns x 2 variants need 48 textures; 11 are free after texture 500 (at most 511). Nothing was written."},
      {nullptr, "[Texture505]\nCorners=a,a,a,a\n", {}, nullptr, "need 48 textures; 6 are free after texture 505"},
      {nullptr, nullptr, two, "file:T_lands/006.png", "T_lands/006.png exists already. Nothing was written."},
      {nullptr, nullptr, two, "file:T_lands", "T_lands exists and is no folder."},
      {nullptr, "[Land255]\nName=Rock\nColor=1,1,1\n", two, nullptr, "T_LANDS.ini has no land number free after 255 for Water"},
      {nullptr, nullptr, two, "dir:T_LANDS.ini", "T_LANDS.ini cannot be read"},
      {nullptr, nullptr, {{"Water", "water.png", true}, {"WATER", "sand.png", false}}, nullptr, "the land WATER is given twice."},
      {nullptr, nullptr, {{"Wa,ter", "water.png", true}}, nullptr, "the land name Wa,ter holds a comma"},
      {nullptr, nullptr, {{"", "water.png", true}}, nullptr, "a land's name is empty."},
      {nullptr, nullptr, std::vector<LandSetLand>(9, {"x", "water.png", false}), nullptr, "9 lands given; a set holds at most 8."},
  };
  for (const Case &k : cases) {
    TempDir dir;
    reset_program_state();
    write_inputs();
    remove("T_DATA.ini");
    remove("T_LANDS.ini");
    if (k.data) write_text("T_DATA.ini", k.data);
    if (k.lands) write_text("T_LANDS.ini", k.lands);
    if (k.prepare) {
      const std::string what = k.prepare, name = what.substr(what.find(':') + 1);
      if (what.find('/') != std::string::npos) std::filesystem::create_directory("T_lands");
      if (what.rfind("dir:", 0) == 0) std::filesystem::create_directory(name);
      else write_text(name, "taken");
    }
    LandSetRequest r = request();
    if (!k.set.empty()) r.lands = k.set;
    const auto before = snapshot();
    const LandSetOutcome o = make_land_set(r);
    EXPECT_EQ(LAND_SET_NOT_WRITTEN, o.result) << k.why;
    EXPECT_NE(std::string::npos, o.why.find(k.why)) << o.why;
    EXPECT_TRUE(before == snapshot()) << k.why;
  }
}

// A write that fails after the pictures and the texture list are written
// (the lands file over the size a file may have): the pictures and their
// folder are removed and the texture list is put back byte for byte.
TEST(LandSet, AFailedWriteTakesBackWhatWasWritten) {
  TempDir dir;
  reset_program_state();
  write_inputs();
  write_text("T_LANDS.ini", std::string(OLD_LANDS) + "; " + std::string(300000, 'x') + "\n");
  LandSetRequest r = request();
  r.style.size = 16;
  const auto before = snapshot();
  struct rlimit was;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &was));
  struct rlimit limit = was;
  limit.rlim_cur = 100000;
  void (*signal_was)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
  const LandSetOutcome o = make_land_set(r);
  setrlimit(RLIMIT_FSIZE, &was);
  signal(SIGXFSZ, signal_was);
  EXPECT_EQ(LAND_SET_NOT_WRITTEN, o.result);
  EXPECT_NE(std::string::npos, o.why.find("T_LANDS.ini cannot be written: File too large")) << o.why;
  EXPECT_TRUE(before == snapshot());
}

}  // namespace
