// Files as they come from other people's terrains, older tools and
// half-finished work: each gives its defined outcome and the program goes on.
#include <cerrno>
#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "app/main_loop.h"
#include "app/opening.h"
#include "app/startup.h"
#include "core/terrain_model.h"
#include "document/height_import.h"
#include "files/height_map_file.h"
#include "document/new_terrain.h"
#include "files/target_areas.h"
#include "files/terrain_description.h"
#include "files/tile_map_file.h"
#include "render/export/export_bitmap.h"
#include "render/view/map_view.h"
#include "render/view/screenshot.h"
#include "tests/unit/dialog_answers.h"
#include "tests/unit/harness.h"

namespace {

std::vector<unsigned char> tile_file(int tx, int ty, uint16_t texture_word) {
  std::vector<unsigned char> out;
  put_le32(out, tx);
  put_le32(out, ty);
  put_le32(out, 0);
  put_le32(out, 0);
  for (int i = 0; i < tx * ty; i++) {
    put_le16(out, texture_word);
    for (int w = 0; w < 5; w++) put_le16(out, 0);
  }
  return out;
}

std::vector<unsigned char> height_file(int sx, int sy, uint16_t value) {
  std::vector<unsigned char> out;
  put_le32(out, sx);
  put_le32(out, sy);
  put_le32(out, 0);
  put_le32(out, 0);
  for (int i = 0; i < sx * sy; i++) put_le16(out, value);
  return out;
}

class HostileFiles : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
  }
  void TearDown() override {
    reset_program_state();
  }
  TempDir dir;
};

TEST_F(HostileFiles, TextureNumbersOutsideTheTable) {
  write_file(dir.file("a.TFD"), tile_file(2, 2, 0xFFFD));  // texture -2
  EXPECT_NE(0, load_tile_map(dir.file("a.TFD").c_str(), nullptr));
  write_file(dir.file("b.TFD"), tile_file(2, 2, 511));  // texture 512
  EXPECT_NE(0, load_tile_map(dir.file("b.TFD").c_str(), nullptr));
  write_file(dir.file("c.TFD"), tile_file(-3, 2, 0));
  EXPECT_NE(0, load_tile_map(dir.file("c.TFD").c_str(), nullptr));
  write_file(dir.file("d.TFD"), tile_file(0, 0, 0));
  auto huge = read_file(dir.file("d.TFD"));
  huge[0] = huge[1] = huge[2] = 0xFF;
  huge[3] = 0x7F;  // 2 147 483 647 columns, and nothing after the header
  write_file(dir.file("d.TFD"), huge);
  EXPECT_NE(0, load_tile_map(dir.file("d.TFD").c_str(), nullptr));
}

TEST_F(HostileFiles, HeightMapsOfTheWrongSizeOrTooHigh) {
  write_file(dir.file("m.TFD"), tile_file(3, 2, 0));
  ASSERT_EQ(0, load_tile_map(dir.file("m.TFD").c_str(), nullptr));
  write_file(dir.file("wide.hfd"), height_file(16, 8, 5));
  EXPECT_NE(0, load_height_map(dir.file("wide.hfd").c_str(), nullptr));
  write_file(dir.file("high.hfd"), height_file(12, 8, 65535));
  EXPECT_NE(0, load_height_map(dir.file("high.hfd").c_str(), nullptr));
  EXPECT_EQ(0, height_map.heights_loaded);
  auto cut = height_file(12, 8, 100);
  cut.resize(cut.size() - 3);
  write_file(dir.file("cut.hfd"), cut);
  EXPECT_NE(0, load_height_map(dir.file("cut.hfd").c_str(), nullptr));
  EXPECT_EQ(0, height_map.heights_loaded);
}

TEST_F(HostileFiles, DescriptionFilesOfEveryShape) {
  write_text(dir.file("empty.ini"), "");
  EXPECT_EQ(RESULT_NOTHING_READ, load_terrain_description(dir.file("empty.ini").c_str(), nullptr));

  std::string garbage;
  for (int i = 0; i < 200000; i++) garbage += (char)((i * 7919) % 256);
  write_text(dir.file("garbage.ini"), garbage);
  EXPECT_EQ(RESULT_NOTHING_READ, load_terrain_description(dir.file("garbage.ini").c_str(), nullptr));

  // Sections out of order, one far down a long file, and 10 000-character
  // names and values: all found, the long file name cut to 255 characters.
  std::string text = "[Texture003]\nFilename=c.bmp\n[Texture001]\nFilename=" +
                     std::string(10000, 'n') + "\nHasWater=" + std::string(10000, '9') + "\n";
  for (int i = 0; i < 100000; i++) text += "[S" + std::to_string(i) + "]\nk=v\n";
  text += "[" + std::string(10000, 'x') + "]\n" + std::string(10000, 'k') + "=1\n";
  while (text.size() < 10u * 1024 * 1024) text += "; a comment line to make the file long\n";
  text += "[Texture511]\nFilename=last.bmp\n";
  write_text(dir.file("long.ini"), text);
  EXPECT_EQ(0, load_terrain_description(dir.file("long.ini").c_str(), nullptr));
  EXPECT_EQ(3, texture_table.textures_declared);
  EXPECT_EQ(511, texture_table.last_declared_texture);
  EXPECT_EQ(255u, strlen(texture_table.textures[1].filename));
  EXPECT_STREQ("c.bmp", texture_table.textures[3].filename);
  EXPECT_GT(texture_table.textures[1].has_water, 0);  // clamped, not wrapped
}

TEST_F(HostileFiles, TargetFilesOfEveryShape) {
  std::string garbage;
  for (int i = 0; i < 100000; i++) garbage += (char)(1 + (i * 31) % 255);
  write_text(dir.file("garbage.ini"), garbage);
  EXPECT_EQ(RESULT_NOTHING_READ, load_target_areas(dir.file("garbage.ini").c_str(), nullptr));

  // Area 2 before area 1: the scan never goes back, so only area 1 is read.
  write_text(dir.file("order.ini"),
             "[TargetArea002]\nName=b\nPosition=1,1\n[TargetArea001]\nName=a\nPosition=2,2\n");
  EXPECT_EQ(0, load_target_areas(dir.file("order.ini").c_str(), nullptr));
  EXPECT_EQ(1, targets.area_count);
  EXPECT_STREQ("a", targets.areas[1].name);

  // 100 000 sections that are not areas, then values of 10 000 characters.
  targets.area_count = targets.target_total = 0;
  std::string text = "[TargetArea001]\nName=" + std::string(10000, 'N') + "\nPosition=" +
                     std::string(10000, '7') + ",5\nTarget[001].Type=" + std::string(10000, 'T') +
                     "\nTarget[001].Offset=1e300,-1e300\n";
  for (int i = 0; i < 100000; i++) text += "[Other" + std::to_string(i) + "]\n";
  write_text(dir.file("many.ini"), text);
  EXPECT_EQ(0, load_target_areas(dir.file("many.ini").c_str(), nullptr));
  EXPECT_EQ(1, targets.area_count);
  EXPECT_EQ(63u, strlen(targets.areas[1].name));
  EXPECT_EQ(63u, strlen(targets.areas[1].targets[1].type));
  EXPECT_EQ(1, targets.target_total);
}

TEST_F(HostileFiles, TinyTerrainsOpenAndDraw) {
  for (int n : {0, 1}) {
    reset_program_state();
    write_file(dir.file("T.TFD"), tile_file(n, n, 0));
    write_file(dir.file("T.hfd"), height_file(4 * n, 4 * n, 30));
    write_text(dir.file("T_DATA.ini"), "[Texture001]\nFilename=none.bmp\n");
    write_text(dir.file("T_TARGETS.ini"), "[TargetArea001]\nName=a\nPosition=0,0\n");
    snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", dir.file("T.TFD").c_str());
    AlertAnswers answers;
    answers.answer_every(KEY_ANSWER_OK);
    open_terrain(0);
    EXPECT_EQ(1, session.terrain_open) << n;
    reset_view();
    for (int z = 0; z <= 8; z++) {
      view.zoom_level = z;
      for (int mode : {EDIT_TILES, EDIT_HEIGHTS}) {
        view.edit_mode = mode;
        main_loop_pass();  // draws only what is on the map
      }
    }
    release_textures();
  }
}

TEST_F(HostileFiles, PathsAtTheLimit) {
  // A tile map path of exactly 255 characters opens; the longer derived
  // names do not fit and are reported missing, never cut into other names.
  std::string name = std::string(255 - dir.path().size() - 1 - 4, 'p') + ".TFD";
  std::string path = dir.file(name);
  ASSERT_EQ(255u, path.size());
  write_file(path, tile_file(2, 2, 0));
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", path.c_str());
  session.enable_targets = 0;  // its read-error box answers to Enter only
  AlertAnswers answers;
  answers.answer_every(KEY_ANSWER_OK);
  open_terrain(0);
  EXPECT_EQ(1, session.terrain_open);
  EXPECT_NE(std::string::npos, answers.texts().find("Warning: Error reading _DATA.INI file."));
  EXPECT_EQ(0u, strlen(terrain_paths.data_ini_path));
  release_textures();
}

// A device that fills up: a tiny file system where one is allowed.
class FullDevice : public HostileFiles {
 protected:
  void SetUp() override {
    HostileFiles::SetUp();
    mount_point = dir.file("tiny");
    mkdir(mount_point.c_str(), 0755);
    mounted = mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=96k") == 0;
  }
  void TearDown() override {
    if (mounted) umount(mount_point.c_str());
    HostileFiles::TearDown();
  }
  std::string mount_point;
  bool mounted = false;
};

TEST_F(FullDevice, SavesKeepTheOriginalAndExportsLeaveNothing) {
  if (!mounted) GTEST_SKIP() << "no tiny file system can be mounted here";
  const std::string tfd = mount_point + "/Full.TFD", hfd = mount_point + "/Full.hfd";
  write_file(tfd, tile_file(20, 20, 0));         // 4 816 bytes
  write_file(hfd, height_file(80, 80, 10));      // 12 816 bytes
  ASSERT_EQ(0, load_tile_map(tfd.c_str(), nullptr));
  ASSERT_EQ(0, load_height_map(hfd.c_str(), nullptr));
  // Fill the rest of the device.
  write_file(mount_point + "/filler", std::vector<unsigned char>(70 * 1024, 1));
  auto tfd_before = read_file(tfd), hfd_before = read_file(hfd);
  tile_at(3, 3).texture = 7;
  height_map.heights[5][5] = 99;
  WriteError tiles_why{0, 0}, heights_why{0, 0};
  EXPECT_NE(0, save_tile_map(tfd.c_str(), &tiles_why));
  EXPECT_NE(0, save_height_map(hfd.c_str(), &heights_why));
  EXPECT_EQ(ENOSPC, tiles_why.error);  // what the window's alert says
  EXPECT_EQ(ENOSPC, heights_why.error);
  EXPECT_EQ(tfd_before, read_file(tfd));
  EXPECT_EQ(hfd_before, read_file(hfd));

  // Exports and screenshots into the full working directory.
  ASSERT_EQ(0, chdir(mount_point.c_str()));
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", tfd.c_str());
  ReportLog log;
  EXPECT_EQ(RESULT_CANNOT_WRITE, export_bitmap(EXPORT_TEXTURES_4X, log.get()));
  EXPECT_EQ(RESULT_CANNOT_WRITE, save_screenshot(display.back_buffer, log.get()));
  EXPECT_EQ("Error writing bitmap file.|Full_Textures4x_000.bmp|Error writing bitmap file.|Full_screenshot_000.bmp|",
            log.texts());
  for (const ReportLog::Entry &w : log.warnings) EXPECT_EQ("No space left on device.", w.detail) << w.path;
  EXPECT_FALSE(file_exists(mount_point + "/Full_Textures4x_000.bmp"));
  EXPECT_FALSE(file_exists(mount_point + "/Full_screenshot_000.bmp"));
  ASSERT_EQ(0, chdir(dir.path().c_str()));

  // An import onto the full device keeps the height map and says why.
  write_file(dir.file("h.r16"), std::vector<unsigned char>(2 * 80 * 80, 0));
  char why[1200], written[1200];
  EXPECT_EQ(IMPORT_CANNOT_WRITE, import_heights(dir.file("h.r16").c_str(), tfd.c_str(), 0, why, written, sizeof(why)));
  EXPECT_EQ(hfd + " cannot be written: No space left on device.", std::string(why));
  EXPECT_EQ(hfd_before, read_file(hfd));
  for (const char *name : {"/Full.TFD", "/Full.hfd", "/filler"})
    EXPECT_TRUE(file_exists(mount_point + name));

  // A new terrain whose tile map fits and whose height map fills the device,
  // made as --new makes it, before the library is installed: the tile map's
  // last bytes cannot be written either, and nothing is left.
  remove((mount_point + "/filler").c_str());
  const NewTerrain fresh = {60, 60, 1, 0, nullptr, 0};
  NewTerrainFailure failure;
  int *errno_was = allegro_errno;
  allegro_errno = nullptr;
  const int outcome = write_new_terrain((mount_point + "/New.TFD").c_str(), fresh, &failure);
  allegro_errno = errno_was;
  EXPECT_EQ(NEW_TERRAIN_FAILED, outcome);
  EXPECT_EQ(mount_point + "/New.hfd", failure.path);
  EXPECT_EQ(ENOSPC, failure.why.error);
  int left = 0;
  DIR *folder = opendir(mount_point.c_str());
  while (const dirent *e = folder ? readdir(folder) : nullptr) left += e->d_name[0] != '.';
  if (folder) closedir(folder);
  EXPECT_EQ(2, left);  // Full.TFD and Full.hfd
}

}  // namespace
