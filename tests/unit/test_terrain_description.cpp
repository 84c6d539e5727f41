#include <climits>
#include <cstdio>
#include <cstring>

#include "core/terrain_model.h"
#include "files/terrain_description.h"
#include "tests/unit/harness.h"
#include "tests/unit/target_reference.h"

namespace {

class TerrainDescription : public testing::Test {
 protected:
  void SetUp() override { reset_program_state(); }
  TempDir dir;
};

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
  ASSERT_EQ(0, load_terrain_description(dir.file("T_DATA.ini").c_str(), nullptr));
  ASSERT_EQ(5, texture_table.textures_declared);
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
  EXPECT_EQ(RESULT_NOTHING_READ, load_terrain_description(dir.file("absent_DATA.ini").c_str(), nullptr));
  EXPECT_EQ(0, texture_table.last_declared_texture);
  EXPECT_STREQ("NONE", texture_table.textures[1].filename);
}

TEST_F(TerrainDescription, CountersOnlyRise) {
  write_text(dir.file("a.ini"), "[Texture004]\nFilename=a.bmp\n");
  write_text(dir.file("b.ini"), "[Texture002]\nFilename=b.bmp\n");
  load_terrain_description(dir.file("a.ini").c_str(), nullptr);
  EXPECT_EQ(0, load_terrain_description(dir.file("b.ini").c_str(), nullptr));
  EXPECT_EQ(2, texture_table.textures_declared);
  EXPECT_EQ(2, texture_table.last_declared_texture);
  EXPECT_STREQ("NONE", texture_table.textures[4].filename);
}

// The one-pass reader against the library's look-ups (random text is the
// fuzz target's): sections that come back, keys in any case, empty values,
// blanks, line ends of every kind, zero bytes and Latin-1 capitals.
TEST_F(TerrainDescription, SameAsTheLibraryLookUps) {
  const std::string shapes[] = {
      "[Texture001]\nFilename=\nFilename=late.bmp\n[Texture001]\nHasWater=3\n",
      "[texture002]\r\nFILENAME = a b.bmp  \r\nhaswater\t=\t-4\r\n",
      "Filename=outside.bmp\n[Texture003]\n  Filename=inside.bmp\n[Other]\nHasWater=9\n",
      "[Texture004] trailing\nFilename=x.bmp\n[Texture004\nFilename=y.bmp\n",
      std::string("[Texture005]\nFilename=cut") + '\0' + "off.bmp\n",
      "[TEXTURE006]\rFilename=r.bmp\r\r[Texture007]\n\rFilename=q.bmp",
      "[Texture0008]\nFilename=long.bmp\n[Texture511]\nFilename=last.bmp\n[Texture512]\nFilename=no.bmp\n",
      "[Texture009]\nFilename#comment\nFilename=\xc4.bmp\n[Texture\xc9" "09]\nFilename=latin.bmp\n",
      "[Texture010]\nFilename=" + std::string(300, 'n') + "\nHasWater=" + std::string(80, '7') + "\n",
  };
  for (const std::string &text : shapes) {
    write_text(dir.file("s_DATA.ini"), text);
    EXPECT_EQ("", compare_description_with_library(dir.file("s_DATA.ini").c_str())) << text;
  }
}

}  // namespace
