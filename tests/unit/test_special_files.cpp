// Named pipes, folders and devices in the place of each file of a terrain:
// none of them may block the opening, and each is reported exactly as a file
// that is not there, but for the target file and the texture list, whose
// absence is no fault.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/terrain_model.h"
#include "document/open_terrain.h"
#include "tests/unit/harness.h"

namespace {

enum Kind { SOUND, MISSING, PIPE, FOLDER, DEVICE };

void put_header(std::vector<unsigned char> &out, int a, int b) {
  put_le32(out, a);
  put_le32(out, b);
  put_le32(out, 0);
  put_le32(out, 0);
}

// A sound 3 x 2 terrain of textures 1 and 2, both from sand.bmp.
void write_terrain(const TempDir &dir) {
  std::vector<unsigned char> tiles;
  put_header(tiles, 3, 2);
  for (int n = 0; n < 6; n++) {
    put_le16(tiles, (uint16_t)(n % 2));
    for (int w = 0; w < 5; w++) put_le16(tiles, 0);
  }
  write_file(dir.file("Dune.TFD"), tiles);
  std::vector<unsigned char> heights;
  put_header(heights, 12, 8);
  for (int n = 0; n < 96; n++) put_le16(heights, (uint16_t)(10 * n));
  write_file(dir.file("Dune.hfd"), heights);
  write_text(dir.file("Dune_DATA.ini"),
             "[Texture001]\nFilename=sand.bmp\n[Texture002]\nFilename=sand.bmp\nHasWater=2\n");
  write_text(dir.file("Dune_TARGETS.ini"),
             "[TargetArea001]\nName=Well\nPosition=100,200\nTarget[001].Type=Tent\n");
  BITMAP *bmp = create_bitmap_ex(32, 256, 256);
  clear_to_color(bmp, makecol32(200, 180, 100));
  save_bmp(dir.file("sand.bmp").c_str(), bmp, nullptr);
  destroy_bitmap(bmp);
}

void replace(const std::string &path, Kind kind) {
  if (kind == SOUND) return;
  ASSERT_EQ(0, unlink(path.c_str()));
  int made = 0;
  if (kind == PIPE) made = mkfifo(path.c_str(), 0644);
  if (kind == FOLDER) made = mkdir(path.c_str(), 0755);
  if (kind == DEVICE) made = symlink("/dev/zero", path.c_str());
  ASSERT_EQ(0, made);
}

class SpecialFiles : public testing::Test {
 protected:
  void SetUp() override {
    // A fault here would wait for good; the alarm ends the test program.
    alarm(120);
  }
  void TearDown() override {
    reset_program_state();
    alarm(0);
  }

  // Every warning of the opening, and what it opened, with one file of the
  // terrain replaced by the kind of entry.
  std::string open_with(const char *name, Kind kind) {
    TempDir dir;
    write_terrain(dir);
    replace(dir.file(name), kind);
    reset_program_state();
    snprintf(terrain_paths.tfd_path, PATH_SIZE, "%s", dir.file("Dune.TFD").c_str());
    ReportLog log;
    OpenReport report;
    open_terrain_files(1, log.get(), &report);
    // The folder's name differs from run to run; the outcome must not.
    std::string texts = log.texts();
    for (size_t at; (at = texts.find(dir.path())) != std::string::npos;)
      texts.replace(at, dir.path().size(), "DIR");
    return texts + " open=" + std::to_string(report.outcome == OPEN_DONE) +
           " heights=" + std::to_string(height_map.heights_loaded) +
           " textures=" + std::to_string(texture_table.textures_loaded) +
           " areas=" + std::to_string(targets.area_count);
  }
};

TEST_F(SpecialFiles, EachTerrainFileIsReportedAsMissing) {
  EXPECT_EQ(" open=1 heights=1 textures=2 areas=1", open_with("Dune.TFD", SOUND));
  const struct {
    const char *name, *first_box;
    // Something by the name of a file a terrain may go without is no longer
    // its absence, but a file that cannot be read.
    const char *unreadable_box;
  } files[] = {
      {"Dune.TFD", "Error reading TFD file.|DIR/Dune.TFD|", nullptr},
      {"Dune.hfd", "Warning: Error reading HFD file.|DIR/Dune.hfd|", nullptr},
      {"Dune_DATA.ini", "No texture list: Dune_DATA.ini does not exist.|DIR/Dune_DATA.ini|",
       "Warning: Error reading _DATA.INI file.|DIR/Dune_DATA.ini|"},
      {"sand.bmp", "Warning: Error reading certain texture files.||", nullptr},
      {"Dune_TARGETS.ini", "No target areas file.|DIR/Dune_TARGETS.ini|", "  Read Error:  |DIR/Dune_TARGETS.ini|"},
  };
  for (const auto &file : files) {
    const std::string missing = open_with(file.name, MISSING);
    EXPECT_EQ(0u, missing.find(file.first_box)) << missing;
    for (Kind kind : {PIPE, FOLDER, DEVICE}) {
      const std::string other = open_with(file.name, kind);
      if (file.unreadable_box)
        EXPECT_EQ(0u, other.find(file.unreadable_box)) << file.name << " as kind " << kind << ": " << other;
      else
        EXPECT_EQ(missing, other) << file.name << " as kind " << kind;
    }
  }
}

}  // namespace
