// The demo terrain that the build generates into the run directory: checked
// byte by byte here, independently of the program's own loaders.
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "core/terrain_model.h"
#include "files/tile_map_file.h"
#include "tests/unit/harness.h"

namespace {

const int TILES = 128;
const int SAMPLES = 4 * TILES;

std::string demo_file(const std::string &name) {
  const char *run_dir = getenv("VELDKIT_RUN_DIR");
  return std::string(run_dir ? run_dir : ".") + "/demo/" + name;
}

int le16(const std::vector<unsigned char> &b, size_t at) { return b[at] | (b[at + 1] << 8); }
int32_t le32(const std::vector<unsigned char> &b, size_t at) {
  return (int32_t)((uint32_t)b[at] | ((uint32_t)b[at + 1] << 8) | ((uint32_t)b[at + 2] << 16) |
                   ((uint32_t)b[at + 3] << 24));
}

struct DemoFiles {
  std::vector<unsigned char> tfd, hfd;
  int declared = 0;                 // Texture001..TextureNNN without gaps
  std::vector<std::string> names;   // [n] = bitmap file name
  std::vector<int> water;           // [n] = HasWater

  // Tile (x, y), y = 0 at the north edge; the file starts at the south edge.
  size_t tile_offset(int x, int y) const { return 16 + 12 * ((size_t)(TILES - 1 - y) * TILES + x); }
  int texture(int x, int y) const { return le16(tfd, tile_offset(x, y)) + 1; }
  int height(int X, int Y) const { return le16(hfd, 16 + 2 * ((size_t)(SAMPLES - 1 - Y) * SAMPLES + X)); }
};

class DemoTerrain : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    files.tfd = read_file(demo_file("Demo.TFD"));
    files.hfd = read_file(demo_file("Demo.hfd"));
    set_config_file(demo_file("Demo_DATA.ini").c_str());
    files.names.assign(1, "");
    files.water.assign(1, 0);
    for (int n = 1; n < MAX_TEXTURES; n++) {
      char section[32];
      snprintf(section, sizeof section, "Texture%03d", n);
      const char *name = get_config_string(section, "Filename", "NONE");
      if (strcmp(name, "NONE") == 0) break;
      files.names.push_back(name);
      files.water.push_back(get_config_int(section, "HasWater", 0));
      files.declared = n;
    }
  }
  void SetUp() override {
    ASSERT_EQ(16u + 12u * TILES * TILES, files.tfd.size()) << "Demo.TFD missing or of the wrong size";
    ASSERT_EQ(16u + 2u * SAMPLES * SAMPLES, files.hfd.size()) << "Demo.hfd missing or of the wrong size";
  }
  static DemoFiles files;
};

DemoFiles DemoTerrain::files;

TEST_F(DemoTerrain, TileMapNamesOnlyDeclaredTexturesAndUsesThemAll) {
  EXPECT_EQ(TILES, le32(files.tfd, 0));
  EXPECT_EQ(TILES, le32(files.tfd, 4));
  ASSERT_GE(files.declared, 12);
  ASSERT_LE(files.declared, 16);
  std::set<int> used, rotations;
  for (int y = 0; y < TILES; y++)
    for (int x = 0; x < TILES; x++) {
      int t = files.texture(x, y);
      ASSERT_GE(t, 1) << "tile " << x << "," << y;
      ASSERT_LE(t, files.declared) << "tile " << x << "," << y;
      int rotation = le16(files.tfd, files.tile_offset(x, y) + 2);
      ASSERT_LE(rotation, 3);
      used.insert(t);
      rotations.insert(rotation);
    }
  EXPECT_EQ((size_t)files.declared, used.size()) << "every texture appears somewhere";
  EXPECT_EQ(4u, rotations.size());

  // The program's own reader takes it as it is.
  reset_program_state();
  ASSERT_EQ(0, load_tile_map(demo_file("Demo.TFD").c_str(), nullptr));
  EXPECT_EQ(TILES, tile_map.tiles_x);
  EXPECT_LE(tile_map.max_texture_used, files.declared);
}

TEST_F(DemoTerrain, HeightsSpanSeaToPeaksInStepsOfTen) {
  EXPECT_EQ(SAMPLES, le32(files.hfd, 0));
  EXPECT_EQ(SAMPLES, le32(files.hfd, 4));
  int max_height = 0, sea = 0, c5 = 0, c8 = 0, c10 = 0, c12 = 0;
  for (int Y = 0; Y < SAMPLES; Y++)
    for (int X = 0; X < SAMPLES; X++) {
      int h = files.height(X, Y);
      ASSERT_EQ(0, h % 10) << "sample " << X << "," << Y;
      if (h > max_height) max_height = h;
      if (h == 0) sea++;
      if (h >= 1 && h <= 59) {
        c5 += h % 5 == 0;
        c8 += h % 8 == 0;
        c10 += h % 10 == 0;
        c12 += h % 12 == 0;
      }
    }
  EXPECT_GT(max_height, 2500);
  EXPECT_LE(max_height, 3000);
  EXPECT_GT(sea, SAMPLES * SAMPLES / 10);
  // The step detection settles on 10: enough low multiples of 10, none of 12.
  EXPECT_GT(c10, 1000);
  EXPECT_LT(c5, 2 * c10);
  EXPECT_LE(c12, 1000);
  (void)c8;
}

TEST_F(DemoTerrain, TexturesAgreeWithHeights) {
  int snow = 0;
  for (int n = 1; n <= files.declared; n++)
    if (files.names[n] == "snow.bmp") snow = n;
  ASSERT_GT(snow, 0);
  for (int y = 0; y < TILES; y++)
    for (int x = 0; x < TILES; x++) {
      int t = files.texture(x, y), top = 0, sum = 0;
      for (int j = 0; j < 4; j++)
        for (int i = 0; i < 4; i++) {
          int h = files.height(4 * x + i, 4 * y + j);
          sum += h;
          if (h > top) top = h;
        }
      if (files.water[t] == 2) {
        ASSERT_EQ(0, top) << "water tile " << x << "," << y << " above sea level";
      } else {
        ASSERT_GT(top, 0) << "land tile " << x << "," << y << " at sea level";
      }
      if (t == snow) {
        ASSERT_GT(sum / 16, 1500) << "snow tile " << x << "," << y;
      }
    }
}

TEST_F(DemoTerrain, DescriptionNamesSquareBitmapsBesideTheMap) {
  int water_textures = 0;
  for (int n = 1; n <= files.declared; n++) {
    std::string path = demo_file(files.names[n]);
    SCOPED_TRACE(path);
    EXPECT_EQ(std::string::npos, files.names[n].find('/'));
    water_textures += files.water[n] == 2;
    BITMAP *bmp = load_bitmap(path.c_str(), nullptr);
    ASSERT_NE(nullptr, bmp);
    EXPECT_EQ(256, bmp->w);
    EXPECT_EQ(256, bmp->h);
    // The mask colour would leave holes where the map draws the texture.
    int holes = 0;
    for (int y = 0; y < bmp->h; y++)
      for (int x = 0; x < bmp->w; x++) holes += getpixel(bmp, x, y) == bitmap_mask_color(bmp);
    EXPECT_EQ(0, holes);
    destroy_bitmap(bmp);
  }
  EXPECT_GE(water_textures, 1);
}

TEST_F(DemoTerrain, TargetAreasReadAsConfigurationWithSeveralRunways) {
  std::vector<unsigned char> bytes = read_file(demo_file("Demo_TARGETS.ini"));
  std::string text(bytes.begin(), bytes.end());
  ASSERT_EQ(0u, text.find("[TargetArea001]\n"));
  // Section headers: each at the start of a line, numbered 1, 2, 3 ... in order.
  int headers = 0;
  for (size_t at = text.find('['); at != std::string::npos; at = text.find('[', at + 1)) {
    if (at > 0 && text[at - 1] != '\n') continue;  // a key such as Target[001].Type
    char expected[32];
    snprintf(expected, sizeof expected, "[TargetArea%03d]", ++headers);
    ASSERT_EQ(0, text.compare(at, strlen(expected), expected)) << "header " << headers;
  }

  set_config_file(demo_file("Demo_TARGETS.ini").c_str());
  int areas = 0, friendly = 0, enemy = 0;
  std::set<int> runway_numbers, headings;
  for (int n = 1; n <= 511; n++) {
    char section[32];
    snprintf(section, sizeof section, "TargetArea%03d", n);
    const char *name = get_config_string(section, "Name", "NONE");
    if (strcmp(name, "NONE") == 0) break;
    SCOPED_TRACE(name);
    areas++;
    EXPECT_LT(strlen(name), (size_t)NAME_SIZE);
    float east = -1, north = -1;
    ASSERT_EQ(2, sscanf(get_config_string(section, "Position", ""), "%f, %f", &east, &north));
    EXPECT_GT(east, 0);
    EXPECT_LT(east, TILES * 2000);
    EXPECT_GT(north, 0);
    EXPECT_LT(north, TILES * 2000);
    // Every area but a bridge stands on land.
    int x = (int)(east / 2000), y = TILES - 1 - (int)(north / 2000);
    bool bridge = strcmp(get_config_string(section, "Target[001].Type", ""), "Bridge") == 0;
    EXPECT_EQ(bridge, files.water[files.texture(x, y)] == 2);
    std::string side = get_config_string(section, "Alignment", "");
    EXPECT_TRUE(side == "FRIENDLY" || side == "ENEMY") << side;
    friendly += side == "FRIENDLY";
    enemy += side == "ENEMY";
    int targets = 0;
    for (;; targets++) {
      char key[40];
      snprintf(key, sizeof key, "Target[%03d].Type", targets + 1);
      if (strcmp(get_config_string(section, key, "NONE"), "NONE") == 0) break;
      snprintf(key, sizeof key, "Target[%03d].Offset", targets + 1);
      EXPECT_NE(nullptr, strchr(get_config_string(section, key, ""), ',')) << key;
    }
    EXPECT_GE(targets, 2);
    const char *first = get_config_string(section, "Target[001].Type", "");
    if (strncmp(first, "Runway", 6) == 0) {
      runway_numbers.insert(atoi(first + 6));
      headings.insert(get_config_int(section, "Target[001].Heading", 0));
      EXPECT_GE(targets, 4) << "an airfield has buildings around its runway";
    }
  }
  EXPECT_GE(areas, 12);
  EXPECT_LE(areas, 16);
  EXPECT_EQ(areas, headers);
  EXPECT_GE(friendly, 3);
  EXPECT_GE(enemy, 3);
  EXPECT_EQ((std::set<int>{1, 2, 3, 4, 5, 6}), runway_numbers);
  EXPECT_EQ(6u, headings.size());
  EXPECT_TRUE(headings.count(0)) << "one runway runs north-south";
  EXPECT_TRUE(*headings.begin() < 0) << "one heading is given as a negative angle";
}

}  // namespace
