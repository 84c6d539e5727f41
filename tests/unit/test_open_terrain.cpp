#include <sys/stat.h>

#include <cstring>
#include <functional>
#include <string>

#include "app/opening.h"
#include "app/startup.h"
#include "core/land_table.h"
#include "core/terrain_model.h"
#include "tests/unit/dialog_answers.h"
#include "inspect/terrain_check.h"
#include "tests/unit/harness.h"

namespace {

// A tile map of tx x ty tiles, texture(x, y) per tile (y = 0 the northern row).
void write_tile_map(const std::string &path, int tx, int ty, std::function<int(int, int)> texture) {
  std::vector<unsigned char> out;
  put_le32(out, tx);
  put_le32(out, ty);
  put_le32(out, 0);
  put_le32(out, 0);
  for (int i = 0; i < ty; i++)
    for (int x = 0; x < tx; x++) {
      put_le16(out, (uint16_t)(texture(x, ty - 1 - i) - 1));
      for (int w = 0; w < 5; w++) put_le16(out, 0);
    }
  write_file(path, out);
}

void write_height_map(const std::string &path, int sx, int sy) {
  std::vector<unsigned char> out;
  put_le32(out, sx);
  put_le32(out, sy);
  put_le32(out, 0);
  put_le32(out, 0);
  for (int i = 0; i < sx * sy; i++) put_le16(out, (uint16_t)(i % 700));
  write_file(path, out);
}

// Texture sections 1..count, all naming the same file.
void write_description(const std::string &path, int count, const char *filename) {
  std::string text;
  for (int t = 1; t <= count; t++) {
    char section[64];
    snprintf(section, sizeof(section), "[Texture%03d]\nFilename=%s\n", t, filename);
    text += section;
  }
  write_text(path, text);
}

const char *TARGETS_TEXT =
    "[TargetArea001]\nName=Field\nPosition=1000,1000\nAlignment=F\n"
    "Target[001].Type=Hangar\nTarget[001].Offset=10,10\n";

class OpenTerrain : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    strcpy(terrain_paths.tfd_path, dir.file("Desert.TFD").c_str());
  }
  void TearDown() override { clear_keybuf(); }

  // A sound 4 x 3 terrain using textures 1 and 2.
  void write_terrain() {
    write_tile_map(dir.file("Desert.TFD"), 4, 3, [](int x, int) { return 1 + x % 2; });
    write_height_map(dir.file("Desert.hfd"), 16, 12);
    write_description(dir.file("Desert_DATA.ini"), 2, "sand.bmp");
    write_text(dir.file("Desert_TARGETS.ini"), TARGETS_TEXT);
    BITMAP *bmp = create_bitmap_ex(32, 256, 256);
    clear_to_color(bmp, makecol32(200, 180, 100));
    save_bmp(dir.file("sand.bmp").c_str(), bmp, nullptr);
    destroy_bitmap(bmp);
  }

  // Opens in the window; the boxes it shows are one per subject of the
  // report's warnings, in order, each with its message and its path.
  void open(int select, int key = KEY_ANSWER_OK) {
    AlertAnswers answer;
    answer.answer_every(key);
    open_terrain(select, &report);
    // The file selector's own frame comes first when it is asked for.
    boxes.clear();
    for (size_t i = select == 1 ? 1 : 0; i < answer.shown.size(); i++) boxes.push_back(answer.shown[i].all);
    size_t box = 0;
    for (int i = 0; i < report.warning_count && i < OPEN_WARNINGS_MAX; i++) {
      if (report.warnings[i].kind == WARNING_NOTE) continue;
      if (i > 0 && report.subjects[i] == report.subjects[i - 1]) continue;
      ASSERT_LT(box, boxes.size());
      EXPECT_EQ(report.warnings[i].message, boxes[box][0]);
      // A path wider than the window is cut in the middle.
      const std::string path = report.warnings[i].path, shown = boxes[box].size() > 1 ? boxes[box][1] : "";
      if (!path.empty() && shown != path) {
        EXPECT_NE(std::string::npos, shown.find("...")) << shown;
        EXPECT_EQ(path.substr(0, 20), shown.substr(0, 20));
        EXPECT_EQ(path.substr(path.size() - 12), shown.substr(shown.size() - 12));
      }
      box++;
    }
  }

  std::vector<std::string> alerts() {
    std::vector<std::string> out;
    for (const std::vector<std::string> &box : boxes) out.push_back(box.empty() ? "" : box[0]);
    return out;
  }
  std::vector<std::vector<std::string>> boxes;
  OpenReport report = {};
  using Alerts = std::vector<std::string>;

  TempDir dir;
};

TEST_F(OpenTerrain, ReadsTheFourFilesBesideTheTileMap) {
  write_terrain();
  open(0);
  EXPECT_EQ(Alerts{}, alerts());
  EXPECT_EQ(1, session.terrain_open);
  EXPECT_EQ(RUN_CONTINUE, session.run_state);
  EXPECT_EQ(dir.file("Desert.hfd"), terrain_paths.hfd_path);
  EXPECT_EQ(dir.file("Desert_DATA.ini"), terrain_paths.data_ini_path);
  EXPECT_EQ(dir.file("Desert_TARGETS.ini"), terrain_paths.targets_ini_path);
  EXPECT_EQ(4, tile_map.tiles_x);
  EXPECT_EQ(1, height_map.heights_loaded);
  EXPECT_EQ(2, texture_table.texture_count);
  EXPECT_EQ(2, texture_table.textures_loaded);
  EXPECT_EQ(1, targets.area_count);
}

TEST_F(OpenTerrain, TileMapFailuresEndTheOpening) {
  write_terrain();
  strcpy(terrain_paths.tfd_path, dir.file("Absent.TFD").c_str());
  open(0);
  EXPECT_EQ(Alerts{"Error reading TFD file."}, alerts());
  EXPECT_STREQ(terrain_paths.tfd_path, report.warnings[0].path);
  EXPECT_EQ(RUN_END, session.run_state);
  EXPECT_EQ(0, session.terrain_open);

  // Texture 512 does not fit the table: the tiles before it stay, nothing else loads.
  reset_program_state();
  write_tile_map(dir.file("Desert.TFD"), 4, 3, [](int x, int y) { return x == 3 && y == 0 ? 512 : 7; });
  strcpy(terrain_paths.tfd_path, dir.file("Desert.TFD").c_str());
  open(0);
  EXPECT_EQ(Alerts{"Error reading TFD file."}, alerts());
  EXPECT_EQ(0, session.terrain_open);
  EXPECT_EQ(0, height_map.heights_loaded);
  EXPECT_EQ(0, targets.area_count);
}

TEST_F(OpenTerrain, MissingHeightMapOpensWithoutHeights) {
  write_terrain();
  remove(dir.file("Desert.hfd").c_str());
  open(0);
  EXPECT_EQ(Alerts{"Warning: Error reading HFD file."}, alerts());
  EXPECT_STREQ(terrain_paths.hfd_path, report.warnings[0].path);
  EXPECT_EQ(1, session.terrain_open);
  EXPECT_EQ(0, height_map.heights_loaded);
}

// No texture list is a note in the strip, named as the file is; the tiles
// that name textures are its consequence, not another box.
TEST_F(OpenTerrain, MissingDescriptionLeavesPlaceholders) {
  write_terrain();
  remove(dir.file("Desert_DATA.ini").c_str());
  open(0);
  EXPECT_EQ(Alerts{}, alerts());
  ASSERT_EQ(1, report.warning_count);
  EXPECT_EQ(WARNING_NOTE, report.warnings[0].kind);
  EXPECT_STREQ("No texture list: Desert_DATA.ini does not exist.", report.warnings[0].message);
  EXPECT_STREQ(terrain_paths.data_ini_path, report.warnings[0].path);
  EXPECT_EQ(1, session.terrain_open);
  EXPECT_EQ(2, texture_table.texture_count);
  EXPECT_NE(nullptr, texture_table.textures[2].levels[0]);
}

TEST_F(OpenTerrain, TextureFileNotLoadedButNotUsed) {
  write_terrain();
  write_text(dir.file("Desert_DATA.ini"),
             "[Texture001]\nFilename=sand.bmp\n[Texture002]\nFilename=sand.bmp\n"
             "[Texture003]\nFilename=lost.bmp\n");
  open(0);
  EXPECT_EQ(Alerts{"Warning: Error reading certain texture files."}, alerts());
  EXPECT_STREQ("", report.warnings[0].path);
  EXPECT_EQ(1, session.terrain_open);
  EXPECT_EQ(3, texture_table.texture_count);
}

TEST_F(OpenTerrain, TilesBeyondTheDeclaredTextures) {
  write_terrain();
  write_tile_map(dir.file("Desert.TFD"), 8, 5, [](int x, int y) { return 1 + x + 8 * y; });
  write_height_map(dir.file("Desert.hfd"), 32, 20);
  write_description(dir.file("Desert_DATA.ini"), 30, "sand.bmp");
  open(0);
  EXPECT_EQ(Alerts{"Warning: Tilemap refers to unavailable textures."}, alerts());
  EXPECT_EQ(1, session.terrain_open);
  EXPECT_EQ(40, texture_table.texture_count);
  EXPECT_EQ(30, texture_table.textures_loaded);
  for (int t = 31; t <= 40; t++) {
    EXPECT_STREQ("NONE", texture_table.textures[t].filename);
    EXPECT_EQ(0, texture_table.textures[t].loaded);
    EXPECT_NE(nullptr, texture_table.textures[t].levels[7]);
  }
  EXPECT_EQ(nullptr, texture_table.textures[41].levels[0]);
}

TEST_F(OpenTerrain, TargetFileProblems) {
  write_terrain();
  write_text(dir.file("Desert_TARGETS.ini"), "[Somewhere]\nName=else\n");
  open(0);
  EXPECT_EQ(Alerts{"Warning: Error reading _TARGETS.INI file."}, alerts());
  EXPECT_STREQ(terrain_paths.targets_ini_path, report.warnings[0].path);
  EXPECT_EQ(1, session.terrain_open);

  // No file is a terrain without target areas: no box, a note for the
  // strip. An empty file still gets the read-error box, which answers to Enter.
  for (const bool empty : {false, true}) {
    reset_program_state();
    strcpy(terrain_paths.tfd_path, dir.file("Desert.TFD").c_str());
    remove(dir.file("Desert_TARGETS.ini").c_str());
    if (empty) write_text(dir.file("Desert_TARGETS.ini"), "");
    open(0, KEY_ANSWER_ENTER);
    ASSERT_EQ(1, report.warning_count) << empty;
    EXPECT_EQ(empty ? Alerts{"  Read Error:  "} : Alerts{}, alerts());
    EXPECT_EQ(empty ? WARNING_READ_ERROR : WARNING_NOTE, report.warnings[0].kind);
    EXPECT_STREQ(empty ? "  Read Error:  " : "No target areas file.", report.warnings[0].message);
    EXPECT_EQ(1, session.terrain_open);
    EXPECT_EQ(0, targets.area_count);
  }
}

TEST_F(OpenTerrain, TargetsSwitchedOffAreNotRead) {
  write_terrain();
  session.enable_targets = 0;
  open(0);
  EXPECT_EQ(Alerts{}, alerts());
  EXPECT_EQ(1, session.terrain_open);
  EXPECT_EQ(0, targets.area_count);
}

TEST_F(OpenTerrain, CancelledSelectorLoadsNothing) {
  write_terrain();
  open(1, KEY_ANSWER_ESC);
  EXPECT_EQ(Alerts{}, alerts());
  EXPECT_EQ(RUN_END, session.run_state);
  EXPECT_EQ(0, session.terrain_open);
  EXPECT_EQ(0, tile_map.tiles_x);
}

TEST_F(OpenTerrain, SecondAttemptStartsFromACleanModel) {
  write_terrain();
  // First attempt: a tile map that fails after textures up to 50 were met.
  write_tile_map(dir.file("Broken.TFD"), 6, 6, [](int x, int y) { return y == 0 && x == 5 ? 600 : 50; });
  strcpy(terrain_paths.tfd_path, dir.file("Broken.TFD").c_str());
  open(0, KEY_ANSWER_ENTER);
  ASSERT_EQ(0, session.terrain_open);
  ASSERT_EQ(50, tile_map.max_texture_used);

  // Start-up goes on to the selector, which starts from the given path.
  session.run_state = RUN_CONTINUE;
  strcpy(terrain_paths.tfd_path, dir.file("Desert.TFD").c_str());
  open(1, KEY_ANSWER_ENTER);
  EXPECT_EQ(Alerts{}, alerts());
  EXPECT_EQ(1, session.terrain_open);
  EXPECT_EQ(2, tile_map.max_texture_used);
  EXPECT_EQ(2, texture_table.texture_count);
  EXPECT_EQ(0, tile_at(5, 5).texture);  // outside the new map, cleared
}

TEST_F(OpenTerrain, DerivedNamesThatDoNotFitNameNoFile) {
  // A folder deep enough that "_TARGETS" no longer fits beside the name,
  // while "_DATA" still does.
  const size_t length = PATH_SIZE - 1 - 17;
  std::string folder = dir.path();
  while (folder.size() + 41 < length - 10) {
    folder += "/" + std::string(40, 'd');
    mkdir(folder.c_str(), 0700);
  }
  folder += "/" + std::string(length - folder.size() - 1, 'e');
  mkdir(folder.c_str(), 0700);
  ASSERT_EQ(length, folder.size());
  const std::string tfd = folder + "/Desert.TFD";
  ASSERT_LE(tfd.size(), (size_t)PATH_SIZE - 1);
  write_tile_map(tfd, 2, 2, [](int, int) { return 1; });
  strcpy(terrain_paths.tfd_path, tfd.c_str());
  open(0, KEY_ANSWER_ENTER);
  EXPECT_EQ(folder + "/Desert.hfd", terrain_paths.hfd_path);
  EXPECT_EQ(folder + "/Desert_DATA.ini", terrain_paths.data_ini_path);
  EXPECT_STREQ("", terrain_paths.targets_ini_path);
  EXPECT_EQ(1, session.terrain_open);
  // The target file is named, cut in the middle, with the reason.
  const Warning &last = report.warnings[report.warning_count - 1];
  EXPECT_STREQ("  Read Error:  ", last.message);
  EXPECT_STREQ("The path is longer than 255 characters.", last.detail);
  const std::string shown = last.path;
  EXPECT_EQ(72u, shown.size());
  EXPECT_EQ(folder.substr(0, 34) + "...", shown.substr(0, 37));
  EXPECT_EQ("Desert_TARGETS.ini", shown.substr(shown.size() - 18));
}

// Each file that went wrong gets one box that says what, in the terrain
// check's words: sizes against the header, the texture files by name (five,
// then a count), areas off the terrain, heights over 9999, the system's
// reason for a file that is not there.
// Targets on water and off the terrain: the check names them; an opening
// in the window shows no box for them.
TEST_F(OpenTerrain, TargetsOnWaterAreNamedByTheCheckOnly) {
  write_terrain();
  write_text(dir.file("Desert_DATA.ini"), "[Texture001]\nFilename=sand.bmp\n[Texture002]\nFilename=sand.bmp\nHasWater=1\n");
  write_text(dir.file("Desert_TARGETS.ini"), "[TargetArea001]\nName=Coast\nPosition=1000,1000\nAlignment=F\n"
                                             "Target[001].Type=Hangar\nTarget[001].Offset=0,0\n"
                                             "Target[002].Type=Jetty\nTarget[002].Offset=2000,0\n"
                                             "Target[003].Type=Buoy\nTarget[003].Offset=0,-5000\n");
  strcpy(terrain_paths.tfd_path, dir.file("Desert.TFD").c_str());
  std::vector<std::string> lines;
  const CheckOutput output = {[](void *c, const char *t) { ((std::vector<std::string> *)c)->push_back(t); }, nullptr,
                              &lines};
  int count = 0;
  check_terrain(output, &count);
  std::vector<std::string> about;
  for (const std::string &line : lines)
    if (line.find("Coast") != std::string::npos) about.push_back(line.substr(line.find(": ") + 2));
  EXPECT_EQ((std::vector<std::string>{
                "target area 1 (Coast), target 2 (Jetty): at 3000, 1000 metres it stands on water (tile 1, 0, texture 2)",
                "target area 1 (Coast), target 3 (Buoy): at 1000, -4000 metres it lies off the terrain"}),
            about);
  reset_program_state();
  strcpy(terrain_paths.tfd_path, dir.file("Desert.TFD").c_str());
  open(0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(OpenTerrain, OneBoxPerFileInTheCheckWords) {
  struct Case {
    std::function<void(TempDir &)> damage;
    std::vector<std::string> box;  // the box after its message and path
  } cases[] = {
      {[](TempDir &d) {
         std::vector<unsigned char> bytes = read_file(d.file("Desert.hfd"));
         bytes.resize(100);
         write_file(d.file("Desert.hfd"), bytes);
       },
       {"100 bytes, shorter than the 400 its header gives for 16 x 12 samples"}},
      {[](TempDir &d) {
         std::vector<unsigned char> bytes = read_file(d.file("Desert.hfd"));
         bytes[16 + 2 * 17] = 12000 & 255, bytes[17 + 2 * 17] = 12000 >> 8;
         write_file(d.file("Desert.hfd"), bytes);
       },
       {"sample 1,1 (tile 0,0): height 12000 is over 9999"}},
      {[](TempDir &d) { write_text(d.file("Desert_TARGETS.ini"), "[TargetArea001]\nName=Far\nPosition=9000,1000\n"
                                                              "Alignment=F\nTarget[001].Type=Hangar\nTarget[001].Offset=0,0\n"); },
       {"target area 1 (Far): position 9000, 1000 lies outside the terrain (0..8000, 0..6000 metres)"}},
      {[](TempDir &d) {
         std::string text = "[Texture001]\nFilename=sand.bmp\n[Texture002]\nFilename=sand.bmp\n";
         for (int t = 3; t <= 9; t++) text += "[Texture00" + std::to_string(t) + "]\nFilename=lost" + std::to_string(t) + ".bmp\n";
         write_text(d.file("Desert_DATA.ini"), text);
       },
       {"lost3.bmp: texture 3: No such file or directory", "lost4.bmp: texture 4: No such file or directory",
        "lost5.bmp: texture 5: No such file or directory", "lost6.bmp: texture 6: No such file or directory",
        "lost7.bmp: texture 7: No such file or directory", "and 2 more."}},
  };
  for (const Case &c : cases) {
    reset_program_state();
    strcpy(terrain_paths.tfd_path, dir.file("Desert.TFD").c_str());
    write_terrain();
    c.damage(dir);
    open(0);
    ASSERT_EQ(1u, boxes.size()) << c.box[0];
    const std::vector<std::string> &shown = boxes[0];
    const size_t first = shown.size() - c.box.size();
    EXPECT_EQ(c.box, std::vector<std::string>(shown.begin() + (long)first, shown.end()));
  }
  // A tile map that is not there: the system's reason.
  reset_program_state();
  strcpy(terrain_paths.tfd_path, dir.file("Absent.TFD").c_str());
  open(0);
  EXPECT_EQ((std::vector<std::string>{"Error reading TFD file.", dir.file("Absent.TFD"), "No such file or directory"}),
            boxes.at(0));
}

// A tile map shorter than its header says opens, with a warning that says
// how much of it there was; the missing tiles read as end-of-file words.
TEST_F(OpenTerrain, ShortTileMapOpensWithAWarning) {
  write_terrain();
  std::vector<unsigned char> bytes = read_file(dir.file("Desert.TFD"));
  bytes.resize(bytes.size() - 12 * 4 - 5);
  write_file(dir.file("Desert.TFD"), bytes);
  open(0);
  ASSERT_LE(1, report.warning_count);
  EXPECT_STREQ("Warning: Tile map file is shorter than its size.", report.warnings[0].message);
  EXPECT_EQ(dir.file("Desert.TFD"), report.warnings[0].path);
  EXPECT_STREQ("7 of 12 tiles read.", report.warnings[0].detail);
  EXPECT_EQ(1, session.terrain_open);
  EXPECT_EQ(0, tile_at(3, 0).texture);
}

// A .TFD name typed in the start-up selector that nothing has: asked about,
// then its textures (none), the size (asked again after a wrong one) and
// the texture; the new terrain opens without a box, its missing texture
// list and target file noted in the strip.
TEST_F(OpenTerrain, ANameNothingHasMakesANewTerrain) {
  strcpy(terrain_paths.tfd_path, dir.file("Fresh.TFD").c_str());
  AlertAnswers answers;
  answers.answer_text("");  // the selector, as it was given the name
  answers.answer('y');
  answers.answer('n');
  answers.answer_text("12x");
  answers.answer('o');
  answers.answer_text(" 3 x 2 ");
  answers.answer_text("");  // the first texture
  open_terrain(1, &report);
  EXPECT_EQ(0, answers.unanswered);
  ASSERT_LE(3u, answers.shown.size());
  EXPECT_EQ("Fresh.TFD does not exist.", answers.shown[1].lines[0]);
  EXPECT_EQ("Make a new terrain?", answers.shown[1].lines[2]);
  EXPECT_EQ("Textures for Fresh.TFD:", answers.shown[2].lines[0]);
  EXPECT_EQ(1, session.terrain_open);
  EXPECT_EQ(3, tile_map.tiles_x);
  EXPECT_EQ(2, tile_map.tiles_y);
  EXPECT_EQ(1, tile_at(2, 1).texture);
  EXPECT_EQ(1, height_map.heights_loaded);
  EXPECT_EQ(0, height_map.max_height);
  ASSERT_LE(1, report.warning_count);
  EXPECT_EQ(WARNING_NOTE, report.warnings[report.warning_count - 1].kind);
}

// Ctrl + N in another folder: its textures are the pictures of a folder,
// picked by one of them; those that do not load are named, and the texture
// number must be one the list holds.
TEST_F(OpenTerrain, NewTerrainElsewhereListsTheFolderItIsGiven) {
  write_terrain();
  open(0);
  mkdir(dir.file("far").c_str(), 0755);
  mkdir(dir.file("far/pics").c_str(), 0755);
  for (const char *name : {"far/pics/b.bmp", "far/pics/a.bmp"})
    write_file(dir.file(name), read_file(dir.file("sand.bmp")));
  write_text(dir.file("far/pics/c.png"), "no picture");
  AlertAnswers answers;
  // Return takes a box's first button: Folder..., then OK.
  for (const char *typed : {"far/Coast.TFD", "", "pics/b.bmp", "", "2x2", "3", "", "2"}) answers.answer_text(typed);
  EXPECT_EQ(1, open_new_terrain());
  ASSERT_EQ(8u, answers.shown.size());
  EXPECT_EQ((std::vector<std::string>{"Left out of the texture list:",
                                      dir.file("far/pics/c.png") + ": left out: it cannot be read as a texture"}),
            answers.shown[3].all);  // after the question and the selector
  EXPECT_EQ("The list holds 2 textures.", answers.shown[6].lines[1]);
  const std::vector<unsigned char> list = read_file(dir.file("far/Coast_DATA.ini"));
  EXPECT_EQ("[Texture001]\nFilename=pics/a.bmp\nHasWater=0\n\n[Texture002]\nFilename=pics/b.bmp\nHasWater=0\n\n",
            std::string(list.begin(), list.end()));
  EXPECT_EQ(2, tile_at(1, 1).texture);
  EXPECT_EQ(2, texture_table.textures_loaded);
}

// Ctrl + N beside the open terrain: its texture list comes along. Esc at a
// question writes nothing and leaves the terrain open.
TEST_F(OpenTerrain, NewTerrainBesideTheOpenOneTakesItsTextureList) {
  write_terrain();
  open(0);
  {
    AlertAnswers answers;
    answers.answer_text("Next");  // in the open terrain's folder; .TFD added
    answers.answer_text("2x2");
    answers.answer_text("2");
    EXPECT_EQ(1, open_new_terrain());
    EXPECT_EQ(0, answers.unanswered);
  }
  EXPECT_EQ(dir.file("Next.TFD"), terrain_paths.tfd_path);
  EXPECT_EQ(read_file(dir.file("Desert_DATA.ini")), read_file(dir.file("Next_DATA.ini")));
  EXPECT_EQ(2, tile_map.tiles_x);
  EXPECT_EQ(2, tile_at(1, 1).texture);
  EXPECT_EQ(2, texture_table.textures_loaded);
  EXPECT_EQ(1, session.terrain_open);

  AlertAnswers answers;
  answers.answer_text("Other");
  answers.answer_text("1x1");
  answers.answer(27);
  EXPECT_EQ(0, open_new_terrain());
  EXPECT_FALSE(file_exists(dir.file("Other.TFD")));
  EXPECT_EQ(dir.file("Next.TFD"), terrain_paths.tfd_path);
  EXPECT_EQ(1, session.terrain_open);
}

// ... and its lands file, byte for byte, so that the new terrain has its
// lands at once; a terrain without one gives none.
TEST_F(OpenTerrain, NewTerrainBesideTheOpenOneTakesItsLands) {
  write_terrain();
  const std::string lands = "; made by hand\r\n[Land001]\nName=Water\nColor=1,2,3\n[Texture002]\nCorners=Water,Water,Water,Water";
  write_text(dir.file("Desert_LANDS.ini"), lands);
  open(0);
  for (const char *name : {"Next", "Last"}) {
    AlertAnswers answers;
    answers.answer_text(name);
    answers.answer_text("2x2");
    answers.answer_text("2");
    EXPECT_EQ(1, open_new_terrain());
    EXPECT_EQ(0, answers.unanswered);
  }
  const std::vector<unsigned char> copied = read_file(dir.file("Next_LANDS.ini"));
  EXPECT_EQ(lands, std::string(copied.begin(), copied.end()));
  EXPECT_EQ(copied, read_file(dir.file("Last_LANDS.ini")));
  EXPECT_EQ(1, lands_in_use());
  remove(dir.file("Last_LANDS.ini").c_str());
  open(0);
  AlertAnswers answers;
  for (const char *typed : {"Bare", "1x1", ""}) answers.answer_text(typed);
  EXPECT_EQ(1, open_new_terrain());
  EXPECT_FALSE(file_exists(dir.file("Bare_LANDS.ini")));
  EXPECT_EQ(0, lands_in_use());
}

}  // namespace
