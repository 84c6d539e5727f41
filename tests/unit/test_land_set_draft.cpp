// The lands dialog's draft without the window: its refusals leave the
// draft as it was; the missing corner combinations are those a land fill
// reported, and none once the draft's set is made, which adds only the
// patterns the lands file lacked, keeps every tile's bytes and meets the
// older set's pictures; the preview is the very picture the set writes.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/land_table.h"
#include "core/terrain_model.h"
#include "document/land_set_draft.h"
#include "document/land_set_preview.h"
#include "document/new_terrain.h"
#include "document/open_terrain.h"
#include "edit/land_edits.h"
#include "edit/land_grid.h"
#include "images/image_pixels.h"
#include "inspect/land_set_check.h"
#include "tests/unit/harness.h"
#include "tests/unit/sample_images.h"

namespace {

void write_png(const std::string &path, int side, int base) {
  std::vector<uint16_t> rgb((size_t)side * side * 3);
  std::mt19937 r((unsigned)base);
  for (size_t i = 0; i < rgb.size(); i++) rgb[i] = (uint16_t)((base + 60 * (i % 3) + r() % 30) & 255);
  write_file(path, sample_png(side, side, 2, 8, false, rgb));
}

// A 6 x 4 terrain of Water and Grass made as --new --lands makes it, then
// Sand declared by hand with a texture of its own alone, and opened.
void open_coast() {
  reset_program_state();
  NewTerrain t = {6, 4, 1, 0, "", 0, "", 0};
  NewTerrainFailure failure;
  ASSERT_EQ(NEW_TERRAIN_WRITTEN, write_new_terrain("T.TFD", t, &failure));
  write_png("water.png", 64, 40);
  write_png("grass.png", 64, 90);
  write_png("sand.png", 64, 200);
  LandSetRequest r;
  r.tfd_path = "T.TFD";
  r.lands = {{"Water", "water.png", true}, {"Grass", "grass.png", false}};
  ASSERT_EQ(LAND_SET_WRITTEN, make_land_set(r).result);
  std::string data((const char *)read_file("T_DATA.ini").data(), read_file("T_DATA.ini").size());
  std::string lands_text((const char *)read_file("T_LANDS.ini").data(), read_file("T_LANDS.ini").size());
  write_text("T_DATA.ini", data + "\n[Texture013]\nFilename=sand.png\nHasWater=0\n");
  write_text("T_LANDS.ini", lands_text + "\n[Land003]\nName=Sand\nColor=200,180,90\n\n[Texture013]\nCorners=Sand,Sand,Sand,Sand\n");
  strcpy(terrain_paths.tfd_path, "T.TFD");
  OpenReport report;
  ASSERT_EQ(OPEN_DONE, open_terrain_files(0, nullptr, &report));
  ASSERT_EQ(3, lands.land_count);
  read_land_grid();
}

std::vector<unsigned char> picture_of_texture(int t) {
  char path[2 * PATH_SIZE];
  replace_filename(path, "T.TFD", texture_table.textures[t].filename, sizeof(path));
  const std::vector<unsigned char> bytes = read_file(path);
  ImagePixels image = {0, 0, nullptr};
  EXPECT_EQ(0, read_image_pixels(path, bytes.data(), (long)bytes.size(), &image));
  std::vector<unsigned char> rgb;
  for (int i = 0; i < image.width * image.height; i++) rgb.insert(rgb.end(), &image.rgba[i * 4], &image.rgba[i * 4 + 3]);
  free_image_pixels(&image);
  return rgb;
}

}  // namespace

TEST(LandSetDraft, TakesTheOpenTerrainsLandsAndRefusesWhatNoLandsFileHolds) {
  TempDir dir;
  open_coast();
  LandDraft d = draft_of_open_terrain("T.TFD");
  ASSERT_EQ(3u, d.lands.size());
  EXPECT_EQ("Water", d.lands[0].name);
  EXPECT_TRUE(d.lands[0].prepared);  // its one-land texture of T_lands/
  EXPECT_TRUE(d.lands[0].water);
  EXPECT_EQ("T_lands/001.png", d.lands[0].picture);
  EXPECT_EQ("sand.png", d.lands[2].picture);
  EXPECT_FALSE(d.lands[2].prepared);
  EXPECT_EQ(200 << 16 | 180 << 8 | 90, d.lands[2].colour);
  write_png("rock.png", 32, 120);
  ASSERT_EQ("", draft_add(d, "Rock", "rock.png", false));
  const int rock = 3;

  struct Refusal {
    const char *what;
    std::string (*call)(LandDraft &);
  };
  const Refusal refusals[] = {
      {"a comma", [](LandDraft &x) { return draft_add(x, "Salt,Marsh", "rock.png", false); }},
      {"given twice, in another case", [](LandDraft &x) { return draft_add(x, "GRASS", "rock.png", false); }},
      {"empty", [](LandDraft &x) { return draft_add(x, "", "rock.png", false); }},
      {"too long", [](LandDraft &x) { return draft_add(x, std::string(64, 'a'), "rock.png", false); }},
      {"a picture that is not there", [](LandDraft &x) { return draft_add(x, "Mud", "mud.png", false); }},
      {"renamed to another's", [](LandDraft &x) { return draft_rename(x, 3, "water"); }},
      {"renamed with a comma", [](LandDraft &x) { return draft_rename(x, 3, "a,b"); }},
      {"a file land renamed", [](LandDraft &x) { return draft_rename(x, 1, "Meadow"); }},
      {"a file land removed", [](LandDraft &x) { return draft_remove(x, 0); }},
      {"a file land's colour", [](LandDraft &x) { return draft_colour(x, 1, 0x123456); }},
      {"another land's colour", [](LandDraft &x) { return draft_colour(x, 3, 200 << 16 | 180 << 8 | 90); }},
      {"no land chosen", [](LandDraft &x) { return draft_remove(x, 7); }},
  };
  for (const Refusal &r : refusals) {
    LandDraft before = d;
    EXPECT_NE("", r.call(d)) << r.what;
    ASSERT_EQ(before.lands.size(), d.lands.size()) << r.what;
    for (size_t k = 0; k < d.lands.size(); k++) {
      EXPECT_EQ(before.lands[k].name, d.lands[k].name) << r.what;
      EXPECT_EQ(before.lands[k].colour, d.lands[k].colour) << r.what;
    }
  }
  EXPECT_EQ("", draft_rename(d, rock, "Scree"));
  EXPECT_EQ("Scree", d.lands[(size_t)rock].name);
  EXPECT_EQ("", draft_colour(d, rock, 0x102030));
  EXPECT_EQ("", draft_remove(d, rock));
  EXPECT_EQ(3u, d.lands.size());
  // A set holds eight lands with pictures.
  for (int k = 0; k < 5; k++) ASSERT_EQ("", draft_add(d, "L" + std::to_string(k), "rock.png", false));
  EXPECT_NE("", draft_add(d, "L9", "rock.png", false));
}

TEST(LandSetDraft, MissingCombinationsBeforeAndAfterGenerateAndThePreviewIsTheSetsPicture) {
  TempDir dir;
  open_coast();
  const TileRect rect = {2, 1, 2, 2};
  const LandResult painted = land_fill(3, rect);
  ASSERT_GT(painted.missing, 0);
  const std::vector<LandMissing> now = missing_transitions();
  long long tiles = 0;
  for (const LandMissing &m : now) tiles += m.tiles;
  EXPECT_EQ(painted.missing, tiles);

  LandDraft d = draft_of_open_terrain("T.TFD");
  EXPECT_TRUE(missing_after_draft(d, now).empty());
  LandDraft without_sand = d;
  without_sand.lands[2].picture.clear();
  EXPECT_EQ(now.size(), missing_after_draft(without_sand, now).size());
  EXPECT_EQ("none", missing_lines({}, 4)[0]);

  LandPreview preview;
  ASSERT_EQ("", make_land_preview(d, 0, 2, &preview));
  const std::vector<unsigned char> previewed = preview.rgb;
  const std::vector<unsigned char> tiles_before(
      (const unsigned char *)&tile_map.tiles[0][0], (const unsigned char *)&tile_map.tiles[0][0] + sizeof(Tile) * 6);

  const LandSetOutcome o = generate_land_draft(d, nullptr);
  ASSERT_EQ(LAND_SET_WRITTEN, o.result) << o.why;
  // 24 patterns of three lands less the 6 of Water and Grass, and Sand alone.
  EXPECT_EQ(2 * 17, o.textures);
  EXPECT_TRUE(missing_transitions().empty());
  EXPECT_TRUE(land_set_seams("T.TFD").empty());
  EXPECT_EQ(0, memcmp(tiles_before.data(), &tile_map.tiles[0][0], tiles_before.size()));
  EXPECT_EQ(14 + 34 - 1, texture_table.last_declared_texture);

  int water_sand = 0;
  for (int t = 1; t < MAX_TEXTURES && !water_sand; t++)
    if (lands.corners[t] == land_corners(1, 1, 3, 3)) water_sand = t;
  ASSERT_NE(0, water_sand);
  EXPECT_EQ(previewed, picture_of_texture(water_sand));
  // A second Generate has nothing left to make.
  EXPECT_EQ(LAND_SET_NOT_WRITTEN, generate_land_draft(draft_of_open_terrain("T.TFD"), nullptr).result);
}
