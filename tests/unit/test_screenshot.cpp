#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/startup.h"
#include "app/status_bar.h"
#include "core/terrain_model.h"
#include "render/view/screenshot.h"
#include "tests/unit/dialog_answers.h"
#include "tests/unit/harness.h"

namespace {

class Screenshot : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    strcpy(terrain_paths.tfd_path, "/elsewhere/Islands.TFD");
  }
  void TearDown() override { clear_keybuf(); }
  TempDir dir;
};

TEST_F(Screenshot, SavesThePictureThenReportsIt) {
  clear_to_color(display.back_buffer, makecol(10, 20, 30));
  rectfill(display.back_buffer, 5, 5, 200, 40, makecol(250, 200, 100));
  ReportLog log;
  ASSERT_EQ(0, save_screenshot(display.back_buffer, log.get()));
  ASSERT_EQ(0, save_screenshot(display.back_buffer, log.get()));
  ASSERT_EQ(2u, log.progress.size());
  EXPECT_EQ("Saving Screenshot..." + std::string(46, ' '), log.progress[1]);
  EXPECT_TRUE(log.warnings.empty());
  auto first = read_file(dir.file("Islands_screenshot_000.bmp"));
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(first, read_file(dir.file("Islands_screenshot_001.bmp")));

  BITMAP *shot = load_bitmap(dir.file("Islands_screenshot_000.bmp").c_str(), nullptr);
  ASSERT_TRUE(shot);
  ASSERT_EQ(display.screen_width, shot->w);
  ASSERT_EQ(display.screen_height, shot->h);
  int differing = 0;
  for (int y = 0; y < shot->h; y++)
    for (int x = 0; x < shot->w; x++)
      differing += !(pixel_rgb(shot, x, y) == pixel_rgb(display.back_buffer, x, y));
  EXPECT_EQ(0, differing);
  destroy_bitmap(shot);
}

TEST_F(Screenshot, PartlyWrittenFileIsRemoved) {
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit old_limit;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 5000;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
  ReportLog log;
  int result = save_screenshot(display.back_buffer, log.get());
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(RESULT_CANNOT_WRITE, result);
  EXPECT_EQ("Error writing bitmap file.|Islands_screenshot_000.bmp|", log.texts());
  EXPECT_TRUE(log.progress.empty());  // nothing was saved
  EXPECT_FALSE(file_exists(dir.file("Islands_screenshot_000.bmp")));
}

// With every number taken, also by links and folders, a warning says so and
// nothing is written anywhere.
TEST_F(Screenshot, NoFreeNameIsSaid) {
  for (int n = 0; n < 999; n++) {
    char name[64];
    snprintf(name, sizeof(name), "Islands_screenshot_%03d.bmp", n);
    if (n % 3 == 0)
      ASSERT_EQ(0, symlink("nowhere/x.bmp", dir.file(name).c_str()));
    else if (n % 3 == 1)
      ASSERT_EQ(0, mkdir(dir.file(name).c_str(), 0755));
    else
      write_text(dir.file(name), "x");
  }
  ReportLog log;
  EXPECT_EQ(RESULT_NO_FREE_NAME, save_screenshot(display.back_buffer, log.get()));
  EXPECT_EQ("No free file name for the export.||", log.texts());
  EXPECT_TRUE(log.progress.empty());
  EXPECT_FALSE(file_exists(dir.file("Islands_screenshot_999.bmp")));
  EXPECT_FALSE(file_exists(dir.file("nowhere")));
}

}  // namespace
