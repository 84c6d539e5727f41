#include <algorithm>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "document/new_terrain.h"
#include "files/terrain_description.h"
#include "inspect/terrain_check.h"
#include "commands/batch_export.h"
#include "app/command_line.h"
#include "commands/new_command.h"
#include "commands/make_lands_command.h"
#include "program/console_reporter.h"
#include "program/resource_files.h"
#include "render/export/export_bitmap.h"
#include "tests/unit/harness.h"

namespace {

CommandLine parse(std::vector<std::string> words) {
  static std::vector<std::string> kept;
  kept = words;
  kept.insert(kept.begin(), "veldkit");
  static std::vector<char *> argv;
  argv.clear();
  for (std::string &w : kept) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  return parse_command_line((int)kept.size(), argv.data());
}

TEST(CommandLine, MakeLandsKeepsEveryLandInOrderAndItsNumbers) {
  std::vector<std::string> words = {"--make-lands", "--seed", "4294967295", "T.TFD", "--border", "0", "--variants", "8"};
  for (int k = 0; k < 8; k++) words.insert(words.end(), {"--land", "L" + std::to_string(k) + "=p" + std::to_string(k) + ".png:water"});
  const CommandLine c = parse(words);
  ASSERT_EQ(COMMAND_MAKE_LANDS, c.mode) << c.error;
  EXPECT_EQ(8, c.land_count);
  EXPECT_EQ(4294967295LL, c.seed);
  EXPECT_EQ(0, c.border);
  EXPECT_EQ(8, c.variants);
  LandSetLand land;
  ASSERT_TRUE(read_land_option(c.lands[7], &land));
  EXPECT_EQ("L7", land.name);
  EXPECT_EQ("p7.png", land.picture);
  EXPECT_TRUE(land.water);
  ASSERT_TRUE(read_land_option("Sea=a=b:water.png", &land));
  EXPECT_EQ("a=b:water.png", land.picture);
  EXPECT_FALSE(land.water);
  words.insert(words.end(), {"--land", "L8=x.png"});
  EXPECT_STREQ("9 lands given; a set holds at most 8", parse(words).error);
}

TEST(CommandLine, WithoutOptionsTheWindowKeepsItsArguments) {
  EXPECT_EQ(COMMAND_WINDOW, parse({}).mode);
  EXPECT_EQ(nullptr, parse({}).terrain);
  CommandLine c = parse({"Isle.TFD"});
  EXPECT_EQ(COMMAND_WINDOW, c.mode);
  EXPECT_STREQ("Isle.TFD", c.terrain);
  // Two terrains: the file selector, as ever; a single dash names a file.
  EXPECT_EQ(nullptr, parse({"a.TFD", "b.TFD"}).terrain);
  EXPECT_EQ(COMMAND_WINDOW, parse({"-x.TFD"}).mode);
}

TEST(CommandLine, ModesAndTheirArguments) {
  EXPECT_EQ(COMMAND_HELP, parse({"--help"}).mode);
  EXPECT_EQ(COMMAND_HELP, parse({"-h"}).mode);
  EXPECT_EQ(COMMAND_VERSION, parse({"--version"}).mode);
  CommandLine c = parse({"--check", "Isle.TFD"});
  EXPECT_EQ(COMMAND_CHECK, c.mode);
  EXPECT_STREQ("Isle.TFD", c.terrain);

  const char *wrong[][4] = {{"--bogus"},          {"--help", "x"},           {"--version", "--help"},
                            {"--check"},          {"--check", "a", "b"},     {"--check", "--help"},
                            {"--export", "data"}, {"--export", "data", "--x"}, {"--check", "--export", "data", "a"},
                            {"--export", "", "a"}, {"--export", "data,,height", "a"}, {"--export", "map", "a"}};
  for (auto &words : wrong) {
    std::vector<std::string> v;
    for (const char *w : words)
      if (w) v.push_back(w);
    CommandLine bad = parse(v);
    EXPECT_EQ(COMMAND_USAGE_ERROR, bad.mode) << v[0] << " " << (v.size() > 1 ? v[1] : "");
    EXPECT_NE(0u, strlen(bad.error));
  }
}

// Options and the terrain in any order; "--" ends the options, so that a
// terrain whose name begins with dashes can be named.
TEST(CommandLine, OptionsAndTheTerrainInAnyOrder) {
  struct Case {
    std::vector<std::string> words;
    int mode;
    const char *terrain;
    const char *error = nullptr;  // the usage error's text, when it matters
  };
  const Case cases[] = {
      {{"T.TFD", "--export", "data"}, COMMAND_EXPORT, "T.TFD"},
      {{"--export", "data", "T.TFD"}, COMMAND_EXPORT, "T.TFD"},
      {{"T.TFD", "--check"}, COMMAND_CHECK, "T.TFD"},
      {{"--check", "--", "--odd.TFD"}, COMMAND_CHECK, "--odd.TFD"},
      {{"T.TFD", "--recover"}, COMMAND_RECOVER, "T.TFD"},
      {{"--recover", "T.TFD", "U.TFD"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--", "--odd.TFD", "--check"}, COMMAND_WINDOW, nullptr},
      {{"--", "--odd.TFD"}, COMMAND_WINDOW, "--odd.TFD"},
      {{"--export", "data", "--", "-h"}, COMMAND_EXPORT, "-h"},
      {{"--version", "--"}, COMMAND_VERSION, nullptr},
      {{"T.TFD", "--check", "U.TFD"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--check", "T.TFD", "--export", "data"}, COMMAND_USAGE_ERROR, nullptr},
      {{"T.TFD", "--export"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--format", "png", "T.TFD"}, COMMAND_WINDOW, "T.TFD"},
      {{"--export", "heights16", "T.TFD", "--format", "raw"}, COMMAND_EXPORT, "T.TFD"},
      {{"--import-heights", "h.png", "T.TFD", "--fit", "9999"}, COMMAND_IMPORT_HEIGHTS, "T.TFD"},
      {{"--format", "raw", "--export", "heights16,data", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--format", "raw", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--format", "gif", "--export", "data", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--format", "png", "--check", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--fit", "10", "--export", "data", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--import-heights", "h.png", "T.TFD", "--fit", "10000"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--import-heights", "h.png", "T.TFD", "--fit", "0"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--import-heights", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--format"}, COMMAND_USAGE_ERROR, nullptr},
      {{"U.TFD", "--picture", "--diff", "--", "-T.TFD"}, COMMAND_DIFF, "U.TFD"},
      {{"--diff", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--picture", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--diff", "T.TFD", "U.TFD", "--format", "png"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--diff", "T.TFD", "U.TFD", "--picture", "--format", "raw"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--diff", "T.TFD", "U.TFD", "--check"}, COMMAND_USAGE_ERROR, nullptr},
      // A second value would silently win over the first.
      {{"--import-heights", "h.png", "T.TFD", "--fit", "5", "--fit", "7"}, COMMAND_USAGE_ERROR, nullptr,
       "--fit given twice"},
      {{"--export", "data", "T.TFD", "--export", "water"}, COMMAND_USAGE_ERROR, nullptr, "--export given twice"},
      {{"--diff", "T.TFD", "U.TFD", "--picture", "--picture"}, COMMAND_USAGE_ERROR, nullptr, "--picture given twice"},
      // Digits only: strtol would take a blank or a sign.
      {{"--import-heights", "h.png", "T.TFD", "--fit", " 5"}, COMMAND_USAGE_ERROR, nullptr,
       "--fit takes a height from 1 to 9999, not \" 5\""},
      {{"--import-heights", "h.png", "T.TFD", "--fit", "+5"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--import-heights", "h.png", "T.TFD", "--fit", "0050"}, COMMAND_IMPORT_HEIGHTS, "T.TFD"},
      // An empty name names no file: not the file selector, not the working directory.
      {{""}, COMMAND_USAGE_ERROR, nullptr, "the terrain's name is empty"},
      {{"--export", "data", ""}, COMMAND_USAGE_ERROR, nullptr, "the terrain's name is empty"},
      {{"--import-heights", "", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr, "the picture's name is empty"},
      {{"--diff", "T.TFD", ""}, COMMAND_USAGE_ERROR, nullptr, "the terrain's name is empty"},
      {{"L.png", "--import-lands", "T.TFD"}, COMMAND_IMPORT_LANDS, "T.TFD"},
      {{"--import-lands", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr, "--import-lands takes a picture and one terrain"},
      {{"--import-lands", "", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr, "the picture's name is empty"},
      {{"--import-lands", "L.png", "T.TFD", "--fit", "5"}, COMMAND_USAGE_ERROR, nullptr, "--fit goes with --import-heights"},
      {{"--import-lands", "L.png", "T.TFD", "--format", "png"}, COMMAND_USAGE_ERROR, nullptr,
       "--format goes with --export, --diff --picture or the window"},
      {{"--import-lands", "L.png", "--import-heights", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr,
       "--import-lands and --import-heights cannot be given together"},
      // A new terrain: a .TFD name and a size of digits, each side 1 to 4000.
      {{"--texture", "511", "--new", "T.tfd", "4000X1", "--height", "0"}, COMMAND_NEW, "T.tfd"},
      {{"--new", "T.TFD", "0x5"}, COMMAND_USAGE_ERROR, nullptr, "the size is COLUMNSxROWS, each 1 to 4000, not \"0x5\""},
      {{"--new", "T.TFD", "4001x1"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--new", "T.TFD", "12x"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--new", "T.TFD", "3x2", "--texture", "0"}, COMMAND_USAGE_ERROR, nullptr,
       "--texture takes a texture number from 1 to 511, not \"0\""},
      {{"--new", "T.TFD", "3x2", "--texture", "512"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--new", "T.TFD", "3x2", "--height", "10000"}, COMMAND_USAGE_ERROR, nullptr,
       "--height takes a height from 0 to 9999, not \"10000\""},
      {{"--new", "T", "3x2"}, COMMAND_USAGE_ERROR, nullptr, "the new tile map's name must end in .TFD, not \"T\""},
      {{"--new", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr, "--new takes a tile map's name and a size"},
      {{"--new", "T.TFD", "3x2", "--textures", ""}, COMMAND_USAGE_ERROR, nullptr, "the textures folder's name is empty"},
      {{"--check", "T.TFD", "--height", "5"}, COMMAND_USAGE_ERROR, nullptr, "--height goes with --new"},
      // The view from the air: five finite numbers, a size of digits, with the view kind only.
      {{"--export", "data,view", "T.TFD", "--camera", "-1.5,2e3,300,-90,12.5", "--size", "16384x16"}, COMMAND_EXPORT, "T.TFD"},
      {{"--export", "view", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr, "--export view needs --camera X,Y,ALT,HEADING,PITCH"},
      {{"--export", "data", "T.TFD", "--camera", "1,2,3,4,5"}, COMMAND_USAGE_ERROR, nullptr, "--camera goes with --export view"},
      {{"--check", "T.TFD", "--size", "20x20"}, COMMAND_USAGE_ERROR, nullptr, "--size goes with --export view"},
      {{"--export", "view", "T.TFD", "--camera", "1,2,3,4"}, COMMAND_USAGE_ERROR, nullptr,
       "--camera takes X,Y,ALT,HEADING,PITCH (metres and degrees) or LAT,LON,ALT,HEADING,PITCH (43.2N,19.1E,...), not \"1,2,3,4\""},
      {{"--export", "view", "T.TFD", "--camera", "1,2,3,4,5,6"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--export", "view", "T.TFD", "--camera", "43.2N,19.1E,900,0,0"}, COMMAND_EXPORT, "T.TFD"},
      {{"--export", "view", "T.TFD", "--camera", "91N,19.1E,900,0,0"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--export", "view", "T.TFD", "--camera", "19.1E,43.2N,900,0,0"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--export", "view", "T.TFD", "--camera", "1,,3,4,5"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--export", "view", "T.TFD", "--camera", "1, 2,3,4,5"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--export", "view", "T.TFD", "--camera", "1,2,3,4,nan"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--export", "view", "T.TFD", "--camera", "1e999,2,3,4,5"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--export", "view", "T.TFD", "--camera", "1,2,3,4,5", "--size", "15x20"}, COMMAND_USAGE_ERROR, nullptr,
       "--size takes WIDTHxHEIGHT, each 16 to 16384, not \"15x20\""},
      {{"--export", "view", "T.TFD", "--camera", "1,2,3,4,5", "--size", "100x100 "}, COMMAND_USAGE_ERROR, nullptr},
      {{"--export", "view", "T.TFD", "--camera", "1,2,3,4,5", "--camera", "1,2,3,4,5"}, COMMAND_USAGE_ERROR, nullptr,
       "--camera given twice"},
      // Land sets: --land once a land, the other options once, all with --make-lands only.
      {{"--make-lands", "T.TFD", "--land", "A=a.png", "--land", "B=b.png:water", "--size", "64"}, COMMAND_MAKE_LANDS, "T.TFD"},
      {{"--make-lands", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr, "--make-lands takes at least one --land NAME=PICTURE"},
      {{"--make-lands", "T.TFD", "--land", "a.png"}, COMMAND_USAGE_ERROR, nullptr,
       "--land takes NAME=PICTURE or NAME=PICTURE:water, not \"a.png\""},
      {{"--make-lands", "T.TFD", "--land", "A=a.png", "--land", "a=b.png"}, COMMAND_USAGE_ERROR, nullptr,
       "the land a is given twice"},
      {{"--make-lands", "T.TFD", "--land", "A,B=a.png"}, COMMAND_USAGE_ERROR, nullptr,
       "the land name A,B holds a comma, which parts the Corners"},
      {{"--make-lands", "T.TFD", "--land", "A=a.png", "--size", "48"}, COMMAND_USAGE_ERROR, nullptr,
       "--size of --make-lands takes a power of two from 16 to 1024, not 48"},
      {{"--make-lands", "T.TFD", "--land", "A=a.png", "--size", "2048"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--make-lands", "T.TFD", "--land", "A=a.png", "--size", "64x64"}, COMMAND_USAGE_ERROR, nullptr,
       "--size of --make-lands takes one number of pixels (a power of two, 16 to 1024)"},
      {{"--make-lands", "T.TFD", "--land", "A=a.png", "--variants", "9"}, COMMAND_USAGE_ERROR, nullptr,
       "--variants takes a number from 1 to 8, not \"9\""},
      {{"--make-lands", "T.TFD", "--land", "A=a.png", "--border", "101"}, COMMAND_USAGE_ERROR, nullptr},
      {{"--make-lands", "T.TFD", "--land", "A=a.png", "--seed", "4294967296"}, COMMAND_USAGE_ERROR, nullptr,
       "--seed takes a whole number from 0 to 4294967295, not \"4294967296\""},
      {{"--make-lands", "T.TFD", "--land", "A=a.png", "--seed", "1", "--seed", "2"}, COMMAND_USAGE_ERROR, nullptr,
       "--seed given twice"},
      {{"--make-lands", "T.TFD", "U.TFD", "--land", "A=a.png"}, COMMAND_USAGE_ERROR, nullptr, "--make-lands takes one terrain"},
      {{"--check", "T.TFD", "--land", "A=a.png"}, COMMAND_USAGE_ERROR, nullptr, "--land goes with --make-lands"},
      {{"--check", "T.TFD", "--size", "64"}, COMMAND_USAGE_ERROR, nullptr, "--size takes WIDTHxHEIGHT, each 16 to 16384, not \"64\""},
      {{"--check", "T.TFD", "--variants", "2"}, COMMAND_USAGE_ERROR, nullptr, "--variants goes with --make-lands"},
      // Sea level and lands: the sea always named, each number with its own mode.
      {{"--sea", "Water", "T.TFD", "--lands-from-heights", "--level", "12", "--shore", "Sand"}, COMMAND_LANDS_FROM_HEIGHTS,
       "T.TFD"},
      {{"--heights-from-lands", "T.TFD", "--sea", "Water", "--depth", "0"}, COMMAND_HEIGHTS_FROM_LANDS, "T.TFD"},
      {{"--lands-from-heights", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr, "--lands-from-heights needs --sea LAND"},
      {{"--heights-from-lands", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr, "--heights-from-lands needs --sea LAND"},
      {{"--lands-from-heights", "--sea", "W"}, COMMAND_USAGE_ERROR, nullptr, "--lands-from-heights takes one terrain"},
      {{"--heights-from-lands", "T.TFD", "--sea", "W", "--level", "3"}, COMMAND_USAGE_ERROR, nullptr,
       "--level goes with --lands-from-heights"},
      {{"--heights-from-lands", "T.TFD", "--sea", "W", "--shore", "S"}, COMMAND_USAGE_ERROR, nullptr,
       "--shore goes with --lands-from-heights"},
      {{"--lands-from-heights", "T.TFD", "--sea", "W", "--depth", "3"}, COMMAND_USAGE_ERROR, nullptr,
       "--depth goes with --heights-from-lands"},
      {{"--check", "T.TFD", "--sea", "W"}, COMMAND_USAGE_ERROR, nullptr,
       "--sea goes with --lands-from-heights, --heights-from-lands or --import-landcover"},
      // The real world's imports and the placed maps.
      {{"--import-landcover", "c.tif", "T.TFD", "--classes", "c.ini", "--sea", "Water"}, COMMAND_IMPORT_LANDCOVER, "T.TFD"},
      {{"--import-landcover", "c.tif", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr,
       "--import-landcover needs --classes CLASSES.ini"},
      {{"--import-landcover", "T.TFD", "--classes", "c.ini"}, COMMAND_USAGE_ERROR, nullptr,
       "--import-landcover takes a raster and one terrain"},
      {{"--import-lands", "l.png", "T.TFD", "--classes", "c.ini"}, COMMAND_USAGE_ERROR, nullptr,
       "--classes goes with --import-landcover"},
      {{"--import-targets", "p.csv", "T.TFD"}, COMMAND_IMPORT_TARGETS, "T.TFD"},
      {{"--import-targets", "", "T.TFD"}, COMMAND_USAGE_ERROR, nullptr, "the place list's name is empty"},
      {{"--export", "data,embossed", "T.TFD", "--format", "geotiff"}, COMMAND_EXPORT, "T.TFD"},
      {{"--export", "water", "T.TFD", "--format", "geotiff"}, COMMAND_USAGE_ERROR, nullptr,
       "--format geotiff is for --export data, textures and embossed"},
      {{"--check", "T.TFD", "--format", "geotiff"}, COMMAND_USAGE_ERROR, nullptr,
       "--format geotiff goes with --export data, textures or embossed"},
      {{"--lands-from-heights", "T.TFD", "--sea", ""}, COMMAND_USAGE_ERROR, nullptr, "--sea names no land"},
      {{"--lands-from-heights", "T.TFD", "--sea", "W", "--sea", "X"}, COMMAND_USAGE_ERROR, nullptr, "--sea given twice"},
      {{"--lands-from-heights", "T.TFD", "--sea", "W", "--level", "-1"}, COMMAND_USAGE_ERROR, nullptr,
       "--level takes a height from 0 to 9999, not \"-1\""},
      {{"--heights-from-lands", "T.TFD", "--sea", "W", "--depth", "10000"}, COMMAND_USAGE_ERROR, nullptr,
       "--depth takes a height from 0 to 9999, not \"10000\""},
      {{"--lands-from-heights", "T.TFD", "--heights-from-lands", "--sea", "W"}, COMMAND_USAGE_ERROR, nullptr,
       "--lands-from-heights and --heights-from-lands cannot be given together"},
      // Water flags and a lands file only go with a texture list.
      {{"--new", "T.TFD", "2x2", "--textures", "t", "--water", "a.bmp,b.bmp", "--lands-from", "O.TFD"}, COMMAND_NEW,
       "T.TFD"},
      {{"--new", "T.TFD", "2x2", "--water", "a.bmp"}, COMMAND_USAGE_ERROR, nullptr, "--water goes with --new --textures"},
      {{"--new", "T.TFD", "2x2", "--lands-from", "O.TFD"}, COMMAND_USAGE_ERROR, nullptr,
       "--lands-from goes with --new --textures"},
      {{"--new", "T.TFD", "2x2", "--textures", "t", "--lands-from", ""}, COMMAND_USAGE_ERROR, nullptr,
       "the terrain's name of --lands-from is empty"},
  };
  for (const Case &k : cases) {
    const CommandLine c = parse(k.words);
    std::string all;
    for (const std::string &w : k.words) all += w + " ";
    EXPECT_EQ(k.mode, c.mode) << all;
    if (k.error) {
      EXPECT_STREQ(k.error, c.error) << all;
    }
    if (k.mode != COMMAND_USAGE_ERROR) {
      EXPECT_STREQ(k.terrain, c.terrain) << all;
    }
    if (k.words.size() > 1 && k.words[0] == "--format" && k.mode != COMMAND_USAGE_ERROR) {
      EXPECT_EQ(EXPORT_FORMAT_PNG, c.format) << all;
    }
  }
}

// Cut in the middle; quoted as a shell reads the name back, closed even
// when cut to the room there is, never inside a character.
TEST(CommandLine, NamesAsATerminalShowsThem) {
  char out[64];
  cut_middle("abcdefghijklmnopqrstuvwxyz", 11, out, sizeof(out));
  EXPECT_STREQ("abcd...wxyz", out);
  const struct {
    const char *name;
    int room;
    const char *shown;
  } names[] = {
      {"it's\t\x01\x7f\\", 64, "$'it\\'s\\t\\x01\\x7f\\\\'"},
      {"\n\n\n\n\n\n\n\n", 12, "$'\\n\\n\\n\\n'"},
      {"W\xc3\xbcste \xe6\xb2\x99.TFD", 64, "W\xc3\xbcste \xe6\xb2\x99.TFD"},  // UTF-8 stays as it is
      {"bad\xff\xfe.TFD", 64, "$'bad\\xff\\xfe.TFD'"},
      {"\xc3\xbc\n", 64, "$'\xc3\xbc\\n'"},                      // a character kept whole in quotes
      {"\xc3(", 64, "$'\\xc3('"},                               // a lead byte without its tail
      {"\xc0\xaf\xed\xa0\x80", 64, "$'\\xc0\\xaf\\xed\\xa0\\x80'"},  // overlong, surrogate
      {"\xc2\x85", 64, "$'\\xc2\\x85'"},                         // U+0085, a C1 control
      {"\n\xe6\xb2\x99", 7, "$'\\n'"},                            // no room for the whole character
  };
  for (const auto &n : names) {
    quote_name(n.name, out, n.room);
    EXPECT_STREQ(n.shown, out) << n.name;
  }
}

TEST(CommandLine, TheViewsCameraAndSize) {
  const CommandLine c = parse({"--export", "view", "T.TFD", "--camera", "-1.5,2e3,300,-90,12.5", "--size", "320X200"});
  ASSERT_EQ(COMMAND_EXPORT, c.mode);
  EXPECT_EQ(std::vector<int>({COMMAND_KIND_VIEW}), std::vector<int>(c.kinds, c.kinds + c.kind_count));
  EXPECT_EQ(std::vector<double>({-1.5, 2000, 300, -90, 12.5}), std::vector<double>(c.camera, c.camera + 5));
  EXPECT_EQ(320, c.view_width);
  EXPECT_EQ(200, c.view_height);
}

TEST(CommandLine, KindListsExpandInOrder) {
  CommandLine c = parse({"--export", "height,PLANNING,data", "Isle.TFD"});
  ASSERT_EQ(COMMAND_EXPORT, c.mode);
  const std::vector<int> want = {EXPORT_HEIGHT_4X, EXPORT_PLANNING_MAP_1, EXPORT_PLANNING_MAP_2,
                                 EXPORT_PLANNING_MAP_3, EXPORT_DATA};
  EXPECT_EQ(want, std::vector<int>(c.kinds, c.kinds + c.kind_count));

  // "all" is every single kind once, in the order of the keys F5 to F10.
  int all[8], one[8];
  ASSERT_EQ(8, export_kinds_of("all", all));
  std::vector<int> each;
  for (const char *w : {"data", "water", "textures", "embossed", "height", "planning"}) {
    const int n = export_kinds_of(w, one);
    ASSERT_GT(n, 0) << w;
    each.insert(each.end(), one, one + n);
  }
  EXPECT_EQ(each, std::vector<int>(all, all + 8));
  EXPECT_EQ(0, export_kinds_of("dat", one));

  // A list longer than the room for it is refused, not cut.
  std::string many = "all";
  for (int i = 0; i < 8; i++) many += ",all";
  EXPECT_EQ(COMMAND_USAGE_ERROR, parse({"--export", many, "a"}).mode);
}

TEST(ConsoleReporter, WarningLinesLoseTheStripPadding) {
  char line[128];
  console_warning_line(Warning{WARNING_READ_ERROR, "  Read Error:  ", "x/A_TARGETS.ini", nullptr}, line, sizeof(line));
  EXPECT_STREQ("Read Error: x/A_TARGETS.ini", line);
  console_warning_line(Warning{WARNING_PLAIN, "Warning: Error reading certain texture files.", "", nullptr}, line,
                       sizeof(line));
  EXPECT_STREQ("Warning: Error reading certain texture files.", line);
  console_warning_line(Warning{WARNING_PLAIN, "   ", nullptr, nullptr}, line, sizeof(line));
  EXPECT_STREQ("", line);
  // A third line joins the same line.
  console_warning_line(Warning{WARNING_PLAIN, "Short.", "a/B.TFD", "3 of 9 tiles read."}, line, sizeof(line));
  EXPECT_STREQ("Short. a/B.TFD 3 of 9 tiles read.", line);
}

TEST(ResourceFiles, FoldersInTheirOrder) {
  char folders[RESOURCE_FOLDERS_MAX][RESOURCE_PATH_SIZE];
  int n = resource_folders("/opt/vk/bin/veldkit", "/usr/share/veldkit", folders);
  ASSERT_EQ(4, n);
  EXPECT_STREQ("", folders[0]);
  EXPECT_STREQ("/opt/vk/bin", folders[1]);
  EXPECT_STREQ("/opt/vk/bin/../share/veldkit", folders[2]);
  EXPECT_STREQ("/usr/share/veldkit", folders[3]);
  // Unknown program, nothing installed, the same folder twice.
  EXPECT_EQ(1, resource_folders(nullptr, "", folders));
  EXPECT_EQ(3, resource_folders("/p/bin/veldkit", "/p/bin/../share/veldkit", folders));
  EXPECT_EQ(3, resource_folders("/veldkit", nullptr, folders));
  EXPECT_STREQ("/", folders[1]);
  // A path too long to hold is left out rather than cut.
  const std::string long_path = "/" + std::string(RESOURCE_PATH_SIZE, 'a') + "/veldkit";
  EXPECT_EQ(1, resource_folders(long_path.c_str(), "", folders));
}

TEST(ResourceFiles, TheWorkingDirectoryComesFirst) {
  TempDir dir;
  char path[RESOURCE_PATH_SIZE];
  // The test programs have no resources beside them: only local files count.
  EXPECT_EQ(0, find_resource("No such resource.dat", path));
  EXPECT_STREQ("No such resource.dat", path);
  write_text(dir.file("Local.htm"), "<p>here</p>");
  EXPECT_EQ(1, find_resource("Local.htm", path));
  EXPECT_STREQ("Local.htm", path);
  // A folder or a pipe by the name counts as missing.
  mkdir(dir.file("Folder.dat").c_str(), 0755);
  EXPECT_EQ(0, find_resource("Folder.dat", path));
  mkfifo(dir.file("Pipe.dat").c_str(), 0644);
  EXPECT_EQ(0, find_resource("Pipe.dat", path));
}

class BatchExport : public ::testing::Test {
 protected:
  void SetUp() override { reset_program_state(); }
  void TearDown() override { reset_program_state(); }
};

std::vector<std::string> bitmaps_in(const std::string &folder) {
  std::vector<std::string> names;
  DIR *d = opendir(folder.c_str());
  while (dirent *e = d ? readdir(d) : nullptr)
    if (strstr(e->d_name, ".bmp")) names.push_back(e->d_name);
  if (d) closedir(d);
  return names;
}

void small_terrain(int tx, int ty) {
  strcpy(terrain_paths.tfd_path, "Odd.TFD");
  tile_map.tiles_x = tx;
  tile_map.tiles_y = ty;
  for (int x = 0; x < tx; x++)
    for (int y = 0; y < ty; y++) tile_at(x, y).texture = (int16_t)(1 + (x + y) % 2);
  height_map.samples_x = 4 * tx;
  height_map.samples_y = 4 * ty;
  for (int X = 0; X < 4 * tx; X++)
    for (int Y = 0; Y < 4 * ty; Y++) height_map.heights[X][Y] = (uint16_t)(X * Y % 70);
  height_map.max_height = 69;
  height_map.heights_loaded = 1;
  texture_table.last_declared_texture = 2;
}

// The sizes the percentage is reckoned against are those of the files
// written, whatever the row padding.
TEST_F(BatchExport, ExpectedBytesAreTheWrittenFileSizes) {
  int all[8];
  ASSERT_EQ(8, export_kinds_of("all", all));
  for (int tx : {1, 2, 3, 5}) {
    small_terrain(tx, 3);
    for (int kind : all) {
      TempDir dir;
      ASSERT_EQ(0, export_kinds(&kind, 1)) << kind;
      const std::vector<std::string> names = bitmaps_in(dir.path());
      ASSERT_EQ(1u, names.size()) << kind;
      struct stat st;
      ASSERT_EQ(0, stat(dir.file(names[0]).c_str(), &st));
      EXPECT_EQ((long long)st.st_size, export_file_bytes(kind)) << kind << " " << tx;
    }
  }
}

// Where the key would do nothing, the kind is refused and nothing written;
// the other kinds of the list still are.
TEST_F(BatchExport, RefusedKindsWriteNothingAndFail) {
  small_terrain(4, 4);
  height_map.heights_loaded = 0;
  texture_table.last_declared_texture = 0;
  TempDir dir;
  int kinds[8];
  const int n = export_kinds_of("all", kinds);
  EXPECT_EQ(1, export_kinds(kinds, n));
  std::vector<std::string> names = bitmaps_in(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"Odd_Data1x_000.bmp", "Odd_Textures4x_000.bmp"}), names);
  const int data = EXPORT_DATA;
  EXPECT_EQ(0, export_kinds(&data, 1));
  // Lands without a lands file: refused too, never part of "all".
  int lands_kind[8];
  ASSERT_EQ(1, export_kinds_of("lands", lands_kind));
  EXPECT_EQ(1, export_kinds(lands_kind, 1));
  for (int k = 0; k < n; k++) EXPECT_NE(lands_kind[0], kinds[k]);
  EXPECT_EQ(3u, bitmaps_in(dir.path()).size());
}

// --new as the program runs it, both streams kept.
struct NewRun {
  int code;
  std::string out, err;
};

std::string text_of(FILE *f) {
  std::string text;
  char piece[4096];
  rewind(f);
  for (size_t n; (n = fread(piece, 1, sizeof(piece), f)) > 0;) text.append(piece, n);
  fclose(f);
  return text;
}

NewRun run_new(std::vector<std::string> words) {
  words.insert(words.begin(), "--new");
  const CommandLine c = parse(words);
  EXPECT_EQ(COMMAND_NEW, c.mode) << c.error;
  FILE *out = tmpfile(), *err = tmpfile();
  const int code = run_new_terrain(c, out, err);
  return {code, text_of(out), text_of(err)};
}

// A new terrain's tile map (tiles) or height map as the format lays them
// out, put together word by word: the header, then every tile's texture
// less one and five zero words, or every sample.
std::vector<unsigned char> layout(bool tiles, int tx, int ty, int texture, int height) {
  std::vector<unsigned char> out;
  const int scale = tiles ? 1 : 4;
  for (int32_t v : {scale * tx, scale * ty, 0, 0}) put_le32(out, v);
  for (long k = 0; k < (long)scale * scale * tx * ty; k++) {
    put_le16(out, (uint16_t)(tiles ? texture - 1 : height));
    for (int w = 0; tiles && w < 5; w++) put_le16(out, 0);
  }
  return out;
}

void write_picture(const std::string &path) {
  BITMAP *bmp = create_bitmap_ex(32, 2, 2);
  clear_to_color(bmp, makecol32(90, 150, 70));
  save_bmp(path.c_str(), bmp, nullptr);
  destroy_bitmap(bmp);
}

std::vector<std::string> entries(const std::string &folder) {
  std::vector<std::string> names;
  DIR *d = opendir(folder.c_str());
  while (dirent *e = d ? readdir(d) : nullptr)
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  if (d) closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(NewTerrain, WritesTheLayoutAndNeverOverATakenName) {
  TempDir dir;
  NewRun r = run_new({"T.TFD", "3x2", "--texture", "300", "--height", "1234"});
  EXPECT_EQ(0, r.code) << r.err;
  EXPECT_EQ("Wrote T.TFD (3 x 2 tiles) and T.hfd.\n", r.out);
  EXPECT_EQ(layout(true, 3, 2, 300, 0), read_file(dir.file("T.TFD")));
  EXPECT_EQ(layout(false, 3, 2, 0, 1234), read_file(dir.file("T.hfd")));
  r = run_new({"D.TFD", "1x4"});  // texture 1, stored as 0; height 0
  EXPECT_EQ(layout(true, 1, 4, 1, 0), read_file(dir.file("D.TFD")));
  EXPECT_EQ(layout(false, 1, 4, 0, 0), read_file(dir.file("D.hfd")));
  // The longest name the system takes: its temporary names are shorter.
  const std::string longest = std::string(NAME_MAX - 4, 'L') + ".TFD";
  r = run_new({longest, "1x1"});
  EXPECT_EQ(0, r.code) << r.err;
  EXPECT_EQ(layout(true, 1, 1, 1, 0), read_file(dir.file(longest)));

  // Anything by one of the names, a folder or a link to nothing as well:
  // it is named, and nothing is written.
  mkdir(dir.file("pics").c_str(), 0755);
  write_picture(dir.file("pics/grass.bmp"));
  const std::vector<std::string> before = entries(dir.path());
  for (const char *name : {"U.TFD", "U.hfd", "U_DATA.ini"}) {
    const std::string path = dir.file(name);
    if (strcmp(name, "U.TFD") == 0) write_text(path, "");
    if (strcmp(name, "U.hfd") == 0) mkdir(path.c_str(), 0755);
    if (strcmp(name, "U_DATA.ini") == 0) {
      ASSERT_EQ(0, symlink("nowhere", path.c_str()));
    }
    r = run_new({"U.TFD", "3x2", "--textures", "pics"});
    EXPECT_EQ(2, r.code) << name;
    EXPECT_EQ(std::string(name) + " exists already. Nothing was written.\n", r.err);
    EXPECT_EQ("", r.out);
    std::vector<std::string> expected = before;
    expected.push_back(name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, entries(dir.path())) << name;
    remove(path.c_str());
  }
}

// Byte order puts capitals first; files that are no pictures are passed
// over, pictures that do not load are named, and so are those past 511.
TEST(NewTerrain, TheTextureListTakesTheLoadablePicturesInNameOrder) {
  TempDir dir;
  mkdir(dir.file("maps").c_str(), 0755);
  mkdir(dir.file("pics").c_str(), 0755);
  for (int i = 0; i < 513; i++) {
    char name[32];
    snprintf(name, sizeof(name), "pics/t%03d.bmp", i);
    write_picture(dir.file(name));
  }
  write_picture(dir.file("pics/a.BMP"));
  write_picture(dir.file("pics/B.bmp"));
  write_text(dir.file("pics/broken.png"), "not a picture");
  write_text(dir.file("pics/notes.txt"), "not a picture either");
  const TextureFolder listing = list_texture_folder(dir.file("pics").c_str(), dir.file("maps/T.TFD").c_str());
  EXPECT_EQ(0, listing.error);
  ASSERT_EQ(511u, listing.filenames.size());
  EXPECT_EQ("../pics/B.bmp", listing.filenames[0]);
  EXPECT_EQ("../pics/a.BMP", listing.filenames[1]);
  EXPECT_EQ("../pics/t000.bmp", listing.filenames[2]);
  EXPECT_EQ("../pics/t508.bmp", listing.filenames[510]);
  std::vector<std::string> left_out = {dir.file("pics/broken.png") + ": left out: it cannot be read as a texture"};
  for (int i = 509; i < 513; i++)
    left_out.push_back(dir.file("pics/t" + std::to_string(i) + ".bmp") +
                       ": left out: a texture list holds at most 511 textures");
  EXPECT_EQ(left_out, listing.left_out);

  // The list reads back as it was written.
  write_text(dir.file("maps/T_DATA.ini"), texture_list_text(listing.filenames));
  reset_program_state();
  ASSERT_EQ(RESULT_OK, load_terrain_description(dir.file("maps/T_DATA.ini").c_str(), nullptr));
  EXPECT_EQ(511, texture_table.textures_declared);
  for (int t : {1, 2, 511}) {
    EXPECT_EQ(listing.filenames[t - 1], texture_table.textures[t].filename);
    EXPECT_EQ(0, texture_table.textures[t].has_water);
  }
  reset_program_state();
}

// A file that cannot be written, the first or a later one: nothing of the
// terrain is left, temporary files included.
TEST(NewTerrain, AFailedFileLeavesNothing) {
  TempDir dir;
  NewRun r = run_new({"none/T.TFD", "3x2"});
  EXPECT_EQ(1, r.code);
  EXPECT_EQ("none/T.TFD cannot be written: no file can be created in none: No such file or directory. "
            "Nothing was written.\n",
            r.err);
  // The height map passes the size limit, the tile map before it does not.
  struct rlimit was;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &was));
  struct rlimit limit = was;
  limit.rlim_cur = 200000;
  void (*signal_was)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
  r = run_new({"T.TFD", "100x100"});
  setrlimit(RLIMIT_FSIZE, &was);
  signal(SIGXFSZ, signal_was);
  EXPECT_EQ(1, r.code);
  EXPECT_EQ("T.hfd cannot be written: File too large. Nothing was written.\n", r.err);
  EXPECT_EQ(std::vector<std::string>{}, entries(dir.path()));
}

// --water changes the HasWater of the pictures it names and no other byte
// of the list; --lands-from copies the other terrain's lands file byte for
// byte; each refusal names what does not fit and writes nothing.
TEST(NewTerrain, WaterFlagsAndTheLandsOfAnotherTerrain) {
  TempDir dir;
  mkdir(dir.file("pics").c_str(), 0755);
  mkdir(dir.file("other").c_str(), 0755);
  for (const char *name : {"grass.bmp", "lake.bmp", "sea.bmp"}) write_picture(dir.file(std::string("pics/") + name));
  NewRun r = run_new({"Dry.TFD", "3x2", "--textures", "pics"});
  ASSERT_EQ(0, r.code) << r.err;
  r = run_new({"Wet.TFD", "3x2", "--textures", "pics", "--water", "sea.bmp,lake.bmp"});
  ASSERT_EQ(0, r.code) << r.err;
  EXPECT_EQ("Wrote Wet.TFD (3 x 2 tiles), Wet.hfd and Wet_DATA.ini (3 textures, 2 with water).\n", r.out);
  std::string want = text_of(fopen(dir.file("Dry_DATA.ini").c_str(), "rb"));
  for (const char *name : {"lake", "sea"}) {
    const size_t at = want.find("HasWater=0", want.find(std::string("pics/") + name));
    want.replace(at, 10, "HasWater=2");
  }
  EXPECT_EQ(want, text_of(fopen(dir.file("Wet_DATA.ini").c_str(), "rb")));

  // Comments, blank lines, a faulty section and no newline at the end: all kept.
  const std::string lands = "; lands\r\n[Land001]\nName=Water\nColor=1,2,3\n\n[Land002]\nName=Sand\nColor=4,5,6\n"
                            "[Texture001]\nCorners=Water,Water,Water,Water\n[Texture003]\nCorners=Sand,Sand,Sand,Nothing";
  write_text(dir.file("Dry_LANDS.ini"), lands);
  r = run_new({"Copy.TFD", "3x2", "--textures", "pics", "--lands-from", "Dry.TFD"});
  ASSERT_EQ(0, r.code) << r.err;
  EXPECT_EQ("Wrote Copy.TFD (3 x 2 tiles), Copy.hfd, Copy_DATA.ini (3 textures) and Copy_LANDS.ini.\n", r.out);
  EXPECT_EQ(lands, text_of(fopen(dir.file("Copy_LANDS.ini").c_str(), "rb")));

  // The other terrain's list puts another picture first.
  write_text(dir.file("other/O_DATA.ini"), "[Texture001]\nFilename=../pics/sea.bmp\n");
  write_text(dir.file("other/O_LANDS.ini"), lands);
  write_text(dir.file("other/Far_LANDS.ini"), "[Land001]\nName=Water\nColor=1,2,3\n[Texture004]\nCorners=Water,Water,Water,Water\n");
  const std::vector<std::string> before = entries(dir.path());
  struct Refusal {
    std::vector<std::string> words;
    std::string err;
  };
  const Refusal refusals[] = {
      {{"--water", "pond.bmp"}, "--water pond.bmp: no listed picture has that name. Nothing was written.\n"},
      {{"--water", "grass.bmp,"}, "--water : no listed picture has that name. Nothing was written.\n"},
      {{"--lands-from", "None.TFD"}, "None_LANDS.ini does not exist: there are no lands to take. Nothing was written.\n"},
      {{"--lands-from", "other/Far.TFD"},
       "other/Far_LANDS.ini: [Texture004] gives texture 4 corners; the new list holds 3 textures. Nothing was written.\n"},
      {{"--lands-from", "other/O.TFD"},
       "other/O_LANDS.ini: texture 1 is ../pics/sea.bmp in O_DATA.ini but pics/grass.bmp in the new list. Nothing was "
       "written.\n"},
  };
  for (const Refusal &k : refusals) {
    std::vector<std::string> words = {"New.TFD", "3x2", "--textures", "pics"};
    words.insert(words.end(), k.words.begin(), k.words.end());
    r = run_new(words);
    EXPECT_EQ(2, r.code) << k.words[1];
    EXPECT_EQ(k.err, r.err);
    EXPECT_EQ(before, entries(dir.path())) << k.words[1];
  }
  reset_program_state();
}

void keep_line(void *lines, const char *text) { ((std::vector<std::string> *)lines)->push_back(text); }

TEST(NewTerrain, ANewTerrainWithItsTextureListChecksClean) {
  TempDir dir;
  mkdir(dir.file("pics").c_str(), 0755);
  write_picture(dir.file("pics/grass.bmp"));
  write_picture(dir.file("pics/sand.bmp"));
  NewRun r = run_new({"T.TFD", "5x4", "--textures", "pics", "--texture", "3"});
  EXPECT_EQ(2, r.code);
  EXPECT_EQ("--texture 3: the list from pics holds 2 textures. Nothing was written.\n", r.err);
  r = run_new({"T.TFD", "5x4", "--textures", "pics", "--texture", "2"});
  EXPECT_EQ(0, r.code) << r.err;
  EXPECT_EQ("Wrote T.TFD (5 x 4 tiles), T.hfd and T_DATA.ini (2 textures).\n", r.out);

  reset_program_state();
  strcpy(terrain_paths.tfd_path, "T.TFD");
  // Problems and notes go to one list: a problem would show up there too.
  std::vector<std::string> problems;
  const CheckOutput output = {keep_line, keep_line, &problems};
  int count = -1;
  EXPECT_EQ(CHECK_CLEAN, check_terrain(output, &count));
  EXPECT_EQ(0, count);
  EXPECT_EQ(std::vector<std::string>{"T_TARGETS.ini: note: no target areas file; the terrain has no target areas"},
            problems);
  EXPECT_EQ(2, texture_table.textures_loaded);
  release_textures();
  reset_program_state();
}

}  // namespace
