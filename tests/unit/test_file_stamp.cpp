#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/file_stamp.h"
#include "core/terrain_model.h"
#include "files/height_map_file.h"
#include "files/tile_map_file.h"
#include "tests/unit/harness.h"

namespace {

std::vector<unsigned char> grid_file(int a, int b, int words, uint16_t fill) {
  std::vector<unsigned char> out;
  put_le32(out, a);
  put_le32(out, b);
  put_le32(out, 0);
  put_le32(out, 0);
  for (int n = 0; n < words; n++) put_le16(out, fill);
  return out;
}

void set_mtime(const std::string &path, const struct timespec &when) {
  const struct timespec times[2] = {when, when};
  ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0));
}

struct timespec mtime_of(const std::string &path) {
  struct stat st;
  stat(path.c_str(), &st);
  return st.st_mtim;
}

class FileStampTest : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    tfd = dir.file("m.TFD");
    hfd = dir.file("m.hfd");
    original = grid_file(2, 2, 24, 1);
    write_file(tfd, original);
    write_file(hfd, grid_file(8, 8, 64, 20));
    ASSERT_EQ(0, load_tile_map(tfd.c_str(), nullptr));
    ASSERT_EQ(0, load_height_map(hfd.c_str(), nullptr));
  }
  void TearDown() override { reset_program_state(); }
  int tiles_changed() { return file_changed_on_disk(&tile_map.stamp, tfd.c_str()); }
  TempDir dir;
  std::string tfd, hfd;
  std::vector<unsigned char> original;
};

TEST_F(FileStampTest, LoadedFilesAreUnchanged) {
  EXPECT_EQ(0, tiles_changed());
  EXPECT_EQ(0, file_changed_on_disk(&height_map.stamp, hfd.c_str()));
  // A stamp speaks only for the name it was taken under.
  EXPECT_EQ(0, file_changed_on_disk(&tile_map.stamp, hfd.c_str()));
  unlink(hfd.c_str());
  EXPECT_EQ(0, file_changed_on_disk(&tile_map.stamp, hfd.c_str()));
}

// A cleared model has nothing to compare: the next terrain starts afresh.
TEST_F(FileStampTest, ClearedModelForgetsItsFiles) {
  write_file(tfd, grid_file(2, 2, 25, 9));  // one word longer: seen whatever the clock
  write_file(hfd, grid_file(8, 8, 65, 21));
  ASSERT_EQ(1, tiles_changed());
  clear_terrain_model();
  EXPECT_EQ(0, tiles_changed());
  EXPECT_EQ(0, file_changed_on_disk(&height_map.stamp, hfd.c_str()));
}

TEST_F(FileStampTest, EveryKindOfChangeIsSeen) {
  const struct timespec loaded = mtime_of(tfd);

  // Same bytes under a new file (another program's save), same time.
  write_file(dir.file("other"), original);
  set_mtime(dir.file("other"), loaded);
  ASSERT_EQ(0, rename(dir.file("other").c_str(), tfd.c_str()));
  EXPECT_EQ(1, tiles_changed());
  ASSERT_EQ(0, load_tile_map(tfd.c_str(), nullptr));
  EXPECT_EQ(0, tiles_changed());

  // Rewritten in place: the time moves on, even by a nanosecond.
  struct timespec later = mtime_of(tfd);
  later.tv_nsec = later.tv_nsec == 999999999 ? 0 : later.tv_nsec + 1;
  set_mtime(tfd, later);
  EXPECT_EQ(1, tiles_changed());
  ASSERT_EQ(0, load_tile_map(tfd.c_str(), nullptr));

  // Grown with the time put back.
  const struct timespec before = mtime_of(tfd);
  auto longer = original;
  longer.push_back(0);
  write_file(tfd, longer);
  set_mtime(tfd, before);
  EXPECT_EQ(1, tiles_changed());
  ASSERT_EQ(0, load_tile_map(tfd.c_str(), nullptr));

  // Gone.
  ASSERT_EQ(0, unlink(tfd.c_str()));
  EXPECT_EQ(1, tiles_changed());
}

TEST_F(FileStampTest, SavesRecordTheirOwnFile) {
  write_file(tfd, grid_file(2, 2, 24, 7));  // another program
  ASSERT_EQ(1, tiles_changed());
  ASSERT_EQ(0, save_tile_map(tfd.c_str()));
  EXPECT_EQ(0, tiles_changed());
  height_map.heights[0][0] = 30;
  ASSERT_EQ(0, save_height_map(hfd.c_str()));
  EXPECT_EQ(0, file_changed_on_disk(&height_map.stamp, hfd.c_str()));

  // Through a link: the name is the link's, the file the one it leads to.
  const std::string link = dir.file("link.TFD");
  ASSERT_EQ(0, symlink(tfd.c_str(), link.c_str()));
  ASSERT_EQ(0, save_tile_map(link.c_str()));
  EXPECT_EQ(0, file_changed_on_disk(&tile_map.stamp, link.c_str()));

  // A failed load forgets: there is nothing left to compare with.
  EXPECT_EQ(RESULT_CANNOT_OPEN, load_tile_map(dir.file("missing.TFD").c_str(), nullptr));
  EXPECT_EQ(0, tile_map.stamp.known);
  EXPECT_EQ(0, file_changed_on_disk(&tile_map.stamp, dir.file("missing.TFD").c_str()));
}

}  // namespace
