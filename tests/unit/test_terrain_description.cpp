#include <climits>
#include <cstdio>
#include <cstring>

#include "terrain/terrain_description.h"
#include "terrain/terrain_model.h"
#include "tests/unit/harness.h"

namespace {

class TerrainDescription : public testing::Test {
 protected:
  void SetUp() override { reset_program_state(); }
  TempDir dir;
};

std::string number3(int n) {
  char text[16] = "x";
  append_number3(text, n);
  return text;
}

TEST(AppendNumber3, PadsToThreeDigits) {
  EXPECT_EQ("x000", number3(0));
  EXPECT_EQ("x007", number3(7));
  EXPECT_EQ("x042", number3(42));
  EXPECT_EQ("x100", number3(100));
  EXPECT_EQ("x511", number3(511));
  // Every number, inside the three digits and beyond, as the zero-padding
  // format writes it.
  for (int n = -1200; n <= 1200; n++) {
    char want[32];
    snprintf(want, sizeof(want), "x%s%s%d", n < 100 ? "0" : "", n < 10 ? "0" : "", n);
    ASSERT_EQ(want, number3(n));
  }
}

TEST(ParseLeadingInt, BlanksSignDigitsAndClamp) {
  EXPECT_EQ(2, parse_leading_int("2", -100, 100));
  EXPECT_EQ(-5, parse_leading_int("  \t-5abc", -100, 100));
  EXPECT_EQ(7, parse_leading_int("+7 8", -100, 100));
  EXPECT_EQ(0, parse_leading_int("", -100, 100));
  EXPECT_EQ(0, parse_leading_int("x12", -100, 100));
  EXPECT_EQ(0, parse_leading_int("- 3", -100, 100));
  EXPECT_EQ(100, parse_leading_int("101", -100, 100));
  EXPECT_EQ(INT32_MAX, parse_leading_int(std::string(400, '9').c_str(), INT32_MIN, INT32_MAX));
  EXPECT_EQ(INT32_MIN,
            parse_leading_int(("-" + std::string(400, '9')).c_str(), INT32_MIN, INT32_MAX));
}

TEST_F(TerrainDescription, DeclaredTexturesNamesAndWater) {
  std::string long_name(300, 'n');
  write_text(dir.file("T_DATA.ini"),
             "[Texture001]\nFilename=grass.bmp\nHasWater=2\n"
             "[Texture002]\nFilename=NONE\nHasWater=2\n"
             "[Texture003]\nFilename=sand.bmp\n"
             "[Texture5]\nFilename=unpadded.bmp\n"
             "[Texture007]\nFilename=" + long_name + "\nHasWater=  -3 water\n"
             "[Texture008]\nFilename=sea.bmp\nHasWater=" + std::string(80, '9') + "\n"
             "[Texture009]\nFilename=lake.bmp\nHasWater=yes\n"
             "[Texture512]\nFilename=beyond.bmp\n");
  texture_table.textures[2].has_water = 9;  // undeclared entries keep theirs
  texture_table.textures[3].loaded = 1;
  ASSERT_EQ(5, load_terrain_description(dir.file("T_DATA.ini").c_str()));
  EXPECT_EQ(5, texture_table.textures_declared);
  EXPECT_EQ(9, texture_table.last_declared_texture);

  const TextureEntry *t = texture_table.textures;
  EXPECT_STREQ("grass.bmp", t[1].filename);
  EXPECT_EQ(2, t[1].has_water);
  EXPECT_STREQ("NONE", t[2].filename);
  EXPECT_EQ(9, t[2].has_water);
  EXPECT_STREQ("sand.bmp", t[3].filename);
  EXPECT_EQ(0, t[3].has_water);
  EXPECT_EQ(0, t[3].loaded);
  EXPECT_STREQ("NONE", t[5].filename);  // the section name needs three digits
  EXPECT_EQ(std::string(255, 'n'), t[7].filename);
  EXPECT_EQ(-3, t[7].has_water);
  EXPECT_EQ(INT16_MAX, t[8].has_water);  // clamped, never wrapped to some other flag
  EXPECT_EQ(0, t[9].has_water);
  for (int n = 10; n < MAX_TEXTURES; n++) ASSERT_STREQ("NONE", t[n].filename) << n;
}

TEST_F(TerrainDescription, MissingFileDeclaresNothing) {
  EXPECT_EQ(0, load_terrain_description(dir.file("absent_DATA.ini").c_str()));
  EXPECT_EQ(0, texture_table.last_declared_texture);
  EXPECT_STREQ("NONE", texture_table.textures[1].filename);
}

TEST_F(TerrainDescription, CountersOnlyRise) {
  write_text(dir.file("a.ini"), "[Texture004]\nFilename=a.bmp\n");
  write_text(dir.file("b.ini"), "[Texture002]\nFilename=b.bmp\n");
  load_terrain_description(dir.file("a.ini").c_str());
  EXPECT_EQ(2, load_terrain_description(dir.file("b.ini").c_str()));
  EXPECT_EQ(2, texture_table.last_declared_texture);
  EXPECT_STREQ("NONE", texture_table.textures[4].filename);
}

}  // namespace
