#include <climits>
#include <sys/stat.h>

#include "app/startup.h"
#include "core/export_format.h"
#include "core/reporter.h"
#include "core/terrain_model.h"
#include "edit/sculpt_brushes.h"
#include "program/settings.h"
#include "render/export/briefing_map.h"
#include "tests/unit/harness.h"

namespace {

ProgramSettings settings_from(const std::string &text, const TempDir &dir) {
  write_text(dir.file("Veldkit.ini"), text);
  set_config_file(dir.file("Veldkit.ini").c_str());
  return read_settings();
}

TEST(Settings, DefaultsWithoutAFile) {
  TempDir dir;
  set_config_file(dir.file("Veldkit.ini").c_str());
  ProgramSettings s = read_settings();
  EXPECT_EQ(768, s.screen_width);
  EXPECT_EQ(538, s.screen_height);
  EXPECT_EQ(0, s.full_screen);
  EXPECT_EQ(1, s.enable_targets);
}

TEST(Settings, SmallSizesAreRaisedToTheFloors) {
  TempDir dir;
  ProgramSettings s = settings_from("[Display]\nScreen-Width = 600\nScreen-Height = 400\n", dir);
  EXPECT_EQ(640, s.screen_width);
  EXPECT_EQ(480, s.screen_height);
  s = settings_from("[Display]\nScreen-Width = 1024\nScreen-Height = 768\nEnable_Targets = 0\n", dir);
  EXPECT_EQ(1024, s.screen_width);
  EXPECT_EQ(768, s.screen_height);
  EXPECT_EQ(0, s.enable_targets);
}

TEST(Settings, HostileSizesStayWithinTheCeiling) {
  TempDir dir;
  const char *values[] = {"65536", "40000", "2147483647", "100000", "99999999999999999999",
                          "0x7fffffff", "-1", "-2147483648", "-99999999999"};
  for (const char *w : values) {
    for (const char *h : values) {
      ProgramSettings s = settings_from(std::string("[Display]\nScreen-Width=") + w +
                                        "\nScreen-Height=" + h + "\n", dir);
      EXPECT_GE(s.screen_width, SETTINGS_MIN_WIDTH) << w;
      EXPECT_LE(s.screen_width, SETTINGS_MAX_SIZE) << w;
      EXPECT_GE(s.screen_height, SETTINGS_MIN_HEIGHT) << h;
      EXPECT_LE(s.screen_height, SETTINGS_MAX_SIZE) << h;
    }
  }
  ProgramSettings s = settings_from("[Display]\nScreen-Width=16384\nScreen-Height=16385\n", dir);
  EXPECT_EQ(16384, s.screen_width);
  EXPECT_EQ(16384, s.screen_height);
}

TEST(Settings, SizesFitTheDesktop) {
  struct Case {
    int w, h, desktop_w, desktop_h, want_w, want_h;
  } cases[] = {
      {768, 538, 1600, 1200, 768, 538},          // fits: unchanged
      {65536, 40000, 1600, 1200, 1600, 1200},    // each direction on its own
      {1920, 538, 1600, 1200, 1600, 538},
      {INT_MAX, INT_MIN, 1600, 1200, 1600, 480},
      {2000, 2000, 0, 0, 2000, 2000},            // unknown desktop: the ceiling only
      {40000, 40000, -1, 0, 16384, 16384},
      {40000, 40000, 30000, 20000, 16384, 16384},
      {1000, 1000, 320, 200, 640, 480},          // the floors win over a tiny desktop
      {300, 300, 1600, 1200, 640, 480},
  };
  for (const Case &c : cases) {
    ProgramSettings s = {c.w, c.h, 0, 1, 0, START_ZOOM_FIT, UI_SCALE_AUTO, 0, BRIEFING_PIXELS_DEFAULT,
                         SCULPT_FALLOFF_SMOOTH, 25, AirOptions()};
    fit_settings_to_desktop(s, c.desktop_w, c.desktop_h);
    EXPECT_EQ(c.want_w, s.screen_width) << c.w << " on " << c.desktop_w;
    EXPECT_EQ(c.want_h, s.screen_height) << c.h << " on " << c.desktop_h;
  }
}

TEST(Settings, KeysOutsideTheDisplaySectionAreIgnored) {
  TempDir dir;
  ProgramSettings s = settings_from("Screen-Width = 1200\n[Other]\nFullScreen = 1\n", dir);
  EXPECT_EQ(768, s.screen_width);
  EXPECT_EQ(0, s.full_screen);
  s = settings_from("[Display]\nFullScreen = -1\n", dir);
  EXPECT_EQ(-1, s.full_screen);  // windowed: only values above 0 ask for full screen
}

TEST(Settings, ExportFormatIsPngOnlyWhenItSaysSo) {
  TempDir dir;
  const struct {
    const char *text;
    int format;
  } cases[] = {{"", 0}, {"[Export]\nFormat = PNG\n", 1}, {"[Export]\nFormat = gif\n", 0}, {"Format = png\n", 0}};
  for (const auto &c : cases) EXPECT_EQ(c.format, settings_from(c.text, dir).export_format) << c.text;
}

TEST(Settings, DegreesAreDecimalOnlyWhenTheySaySo) {
  TempDir dir;
  const struct {
    const char *text;
    int decimal;
  } cases[] = {{"", 0}, {"[Display]\nDegrees = decimal\n", 1}, {"[Display]\nDegrees=DECIMAL\n", 1},
               {"[Display]\nDegrees = minutes\n", 0}, {"[Display]\nDegrees = dms\n", 0}, {"Degrees = decimal\n", 0}};
  for (const auto &c : cases) EXPECT_EQ(c.decimal, settings_from(c.text, dir).degrees_decimal) << c.text;
}

TEST(Settings, UiScaleFromTheSettingOrTheWindow) {
  TempDir dir;
  const struct {
    const char *text;
    int setting;
  } words[] = {{"", UI_SCALE_AUTO}, {"[Display]\nUI_Scale = auto\n", UI_SCALE_AUTO}, {"[Display]\nUI_Scale = 2\n", 2},
               {"[Display]\nUI_Scale=3\n", 3}, {"[Display]\nUI_Scale = 4\n", UI_SCALE_AUTO},
               {"[Display]\nUI_Scale = 0\n", UI_SCALE_AUTO}};
  for (const auto &c : words) EXPECT_EQ(c.setting, settings_from(c.text, dir).ui_scale) << c.text;
  const struct {
    int setting, w, h, scale;
  } sizes[] = {{UI_SCALE_AUTO, 640, 480, 1},   {UI_SCALE_AUTO, 1799, 1200, 1}, {UI_SCALE_AUTO, 1800, 999, 1},
               {UI_SCALE_AUTO, 1800, 1000, 2}, {UI_SCALE_AUTO, 3399, 2000, 2}, {UI_SCALE_AUTO, 3400, 1899, 2},
               {UI_SCALE_AUTO, 3400, 1900, 3}, {1, 3840, 2160, 1},             {3, 640, 480, 3}};
  for (const auto &c : sizes) EXPECT_EQ(c.scale, ui_scale_for(c.setting, c.w, c.h)) << c.w << " x " << c.h;
}

TEST(Settings, StartZoomIsALevelOnlyWhenItSaysOne) {
  TempDir dir;
  const struct {
    const char *text;
    int zoom;
  } cases[] = {{"", START_ZOOM_FIT},         {"[Display]\nStart_Zoom = fit\n", START_ZOOM_FIT},
               {"[Display]\nStart_Zoom = 0\n", 0}, {"[Display]\nStart_Zoom=8\n", 8},
               {"[Display]\nStart_Zoom = 9\n", START_ZOOM_FIT}, {"[Display]\nStart_Zoom = -1\n", START_ZOOM_FIT},
               {"[Display]\nStart_Zoom = 3x\n", START_ZOOM_FIT}, {"Start_Zoom = 3\n", START_ZOOM_FIT}};
  for (const auto &c : cases) EXPECT_EQ(c.zoom, settings_from(c.text, dir).start_zoom) << c.text;
}

// A save writes only the settings that differ from what the file reads
// as, leaves a file alone when none does, makes a missing one, and refuses
// a file it cannot read; the configuration is the file's afterwards.
TEST(Settings, SavedSettingsAreTheOnlyChange) {
  TempDir dir;
  const std::string path = dir.file("Veldkit.ini");
  const std::string before = "; kept\n[Display]\nScreen-Width = 1024\nFullScreen = -1\nMine=1\n";
  ProgramSettings s = settings_from(before, dir);
  s.full_screen = 0;  // as -1 reads
  s.ui_scale = 2;
  s.briefing_pixels = 2048;
  std::string why;
  int changed = -1;
  ASSERT_EQ(RESULT_OK, save_settings(path.c_str(), s, &why, &changed)) << why;
  EXPECT_EQ(2, changed);
  const std::string after = "; kept\n[Display]\nScreen-Width = 1024\nFullScreen = -1\nMine=1\nUI_Scale = 2\n\n"
                            "[Export]\nBriefing_Pixels = 2048\n";
  const std::vector<unsigned char> written = read_file(path);
  EXPECT_EQ(after, std::string(written.begin(), written.end()));
  EXPECT_EQ(2048, read_settings().briefing_pixels);
  struct stat first, second;
  ASSERT_EQ(0, stat(path.c_str(), &first));
  ASSERT_EQ(RESULT_OK, save_settings(path.c_str(), s, &why, &changed));
  ASSERT_EQ(0, stat(path.c_str(), &second));
  EXPECT_EQ(0, changed);
  EXPECT_EQ(first.st_ino, second.st_ino);
  remove(path.c_str());
  ASSERT_EQ(RESULT_OK, save_settings(path.c_str(), s, &why, &changed));
  EXPECT_EQ(3, changed);  // the size now differs from the default too
  ASSERT_EQ(0, remove(path.c_str()));
  ASSERT_EQ(0, mkdir(path.c_str(), 0700));
  EXPECT_EQ(RESULT_CANNOT_WRITE, save_settings(path.c_str(), s, &why, &changed));
  EXPECT_EQ("Veldkit.ini cannot be read: Is a directory; nothing written.", why);
}

TEST(Settings, SculptFalloffAndHardnessKeepToTheirWords) {
  TempDir dir;
  const struct {
    const char *text;
    int falloff, hardness;
  } cases[] = {{"", SCULPT_FALLOFF_SMOOTH, 25},
               {"[Sculpt]\nFalloff = Linear\nHardness = 60\n", SCULPT_FALLOFF_LINEAR, 60},
               {"[Sculpt]\nFalloff=constant\nHardness=140\n", SCULPT_FALLOFF_CONSTANT, 100},
               {"[Sculpt]\nFalloff = soft\nHardness = -5\n", SCULPT_FALLOFF_SMOOTH, 0},
               {"[Display]\nFalloff = linear\n", SCULPT_FALLOFF_SMOOTH, 25}};
  for (const auto &c : cases) {
    const ProgramSettings s = settings_from(c.text, dir);
    EXPECT_EQ(c.falloff, s.sculpt_falloff) << c.text;
    EXPECT_EQ(c.hardness, s.sculpt_hardness) << c.text;
  }
}

TEST(Startup, ScreenWideStateFollowsTheGrantedMode) {
  EXPECT_EQ(SCREEN_W, display.screen_width);
  EXPECT_EQ(SCREEN_H, display.screen_height);
  EXPECT_EQ(display.screen_height - 26, display.status_y);
  ASSERT_NE(nullptr, display.back_buffer);
  EXPECT_EQ(display.screen_width, display.back_buffer->w);
  EXPECT_EQ(display.screen_height, display.back_buffer->h);
  EXPECT_EQ(32, bitmap_color_depth(display.back_buffer));
  EXPECT_EQ(makecol(131, 153, 177), display.colour_steel);
  EXPECT_EQ(makecol(173, 197, 222), display.colour_pale_blue);
  EXPECT_EQ(display.dialog_font, font);
}

TEST(Startup, PlaceholderColoursAreMagentaShades) {
  init_placeholder_colours();
  EXPECT_EQ(makecol(150, 0, 150), texture_table.textures[1].sample_color);
  EXPECT_EQ(makecol(156, 0, 156), texture_table.textures[2].sample_color);
  for (int t = 3; t < MAX_TEXTURES; t++) {
    int c = texture_table.textures[t].sample_color;
    EXPECT_GE(getr(c), 156);
    EXPECT_EQ(0, getg(c));
    EXPECT_GE(getb(c), 156);
    EXPECT_EQ(0, texture_table.textures[t].loaded);
  }
}

}  // namespace
