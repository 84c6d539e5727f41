#include "tests/unit/harness.h"
#include "ui/draw_box.h"
#include "ui/shadow_blenders.h"

namespace {

Rgb rgb_of(int colour) { return {getr(colour), getg(colour), getb(colour)}; }

Rgb shaded(int r, int g, int b, int amount) { return rgb_of(shade_color(makecol(r, g, b), amount)); }

TEST(ShadeColor, WorkedValues) {
  EXPECT_EQ((Rgb{173, 202, 215}), shaded(131, 153, 177, 50));
  EXPECT_EQ((Rgb{98, 114, 132}), shaded(131, 153, 177, -60));
  EXPECT_EQ((Rgb{131, 154, 178}), shaded(131, 153, 177, 2));
  EXPECT_EQ((Rgb{131, 152, 176}), shaded(131, 153, 177, -3));
  // Lightening boosts red and green only: blue moves by its share alone.
  EXPECT_EQ((Rgb{156, 183, 200}), shaded(131, 153, 177, 30));
  for (int amount : {0, -1, -2}) EXPECT_EQ((Rgb{131, 153, 177}), shaded(131, 153, 177, amount));
}

TEST(ShadeColor, ClampsAtBothEnds) {
  EXPECT_EQ((Rgb{255, 255, 255}), shaded(250, 250, 250, 100));
  EXPECT_EQ((Rgb{0, 0, 0}), shaded(10, 10, 10, -100));
}

TEST(ShadeColor, ColoursWithAZeroMeanMoveEveryChannelByTheStep) {
  // Amount 50 is a step of 33; lightening adds half again to red and green.
  EXPECT_EQ((Rgb{49, 49, 33}), shaded(0, 0, 0, 50));
  EXPECT_EQ((Rgb{49, 49, 35}), shaded(0, 0, 2, 50));
  EXPECT_EQ((Rgb{0, 0, 0}), shaded(0, 0, 0, -60));
  EXPECT_EQ((Rgb{1, 0, 0}), shaded(2, 0, 0, -3));
}

class DrawBox : public testing::Test {
 protected:
  void SetUp() override { bmp = create_bitmap_ex(32, 640, 480); clear_to_color(bmp, makecol(1, 2, 3)); }
  void TearDown() override { destroy_bitmap(bmp); }
  BITMAP *bmp = nullptr;
};

TEST_F(DrawBox, PanelOfTheStatusStrip) {
  draw_box(bmp, 0, 454, 639, 479, makecol(173, 197, 222), BOX_PANEL);
  const Rgb fill{173, 197, 222}, light{203, 231, 247}, dark{151, 171, 193};
  EXPECT_EQ(fill, pixel_rgb(bmp, 2, 456));
  EXPECT_EQ(fill, pixel_rgb(bmp, 637, 477));
  EXPECT_EQ(fill, pixel_rgb(bmp, 300, 466));
  // The inner ring has no shade of its own.
  for (auto p : {std::pair<int, int>{1, 455}, {638, 455}, {1, 478}, {638, 478}, {300, 455}, {1, 466}})
    EXPECT_EQ(fill, pixel_rgb(bmp, p.first, p.second)) << p.first << "," << p.second;
  EXPECT_EQ(light, pixel_rgb(bmp, 0, 454));
  EXPECT_EQ(light, pixel_rgb(bmp, 300, 454));
  EXPECT_EQ(light, pixel_rgb(bmp, 0, 466));
  EXPECT_EQ(dark, pixel_rgb(bmp, 639, 454));  // top-right corner
  EXPECT_EQ(dark, pixel_rgb(bmp, 0, 479));    // bottom-left corner
  EXPECT_EQ(dark, pixel_rgb(bmp, 639, 479));
  EXPECT_EQ(dark, pixel_rgb(bmp, 300, 479));
  EXPECT_EQ(dark, pixel_rgb(bmp, 639, 466));
  EXPECT_EQ((Rgb{1, 2, 3}), pixel_rgb(bmp, 300, 453));
}

TEST_F(DrawBox, ButtonsAreFilledWithTheirBaseAndRingsOverlapAtCorners) {
  int steel = makecol(131, 153, 177);
  draw_box(bmp, 10, 10, 50, 30, steel, BOX_BUTTON);
  int base = shade_color(steel, 2);
  EXPECT_EQ(rgb_of(base), pixel_rgb(bmp, 30, 20));
  EXPECT_EQ(rgb_of(shade_color(base, 45)), pixel_rgb(bmp, 11, 11));
  EXPECT_EQ(rgb_of(shade_color(base, -60)), pixel_rgb(bmp, 49, 11));
  EXPECT_EQ(rgb_of(shade_color(base, -50)), pixel_rgb(bmp, 10, 10));
  EXPECT_EQ(rgb_of(shade_color(base, -100)), pixel_rgb(bmp, 50, 10));

  draw_box(bmp, 60, 10, 100, 30, steel, BOX_BUTTON_PRESSED);
  EXPECT_EQ(rgb_of(shade_color(steel, -3)), pixel_rgb(bmp, 80, 20));
}

TEST_F(DrawBox, FramesLeaveTheInsideAndSunkenEdgesUseTheDialogBackground) {
  int red = makecol(200, 40, 40);
  draw_box(bmp, 10, 10, 50, 30, red, BOX_GROOVE);
  EXPECT_EQ((Rgb{1, 2, 3}), pixel_rgb(bmp, 30, 20));
  EXPECT_EQ(rgb_of(shade_color(red, -30)), pixel_rgb(bmp, 10, 10));

  draw_box(bmp, 60, 10, 100, 30, red, BOX_SUNKEN_FRAME);
  EXPECT_EQ((Rgb{1, 2, 3}), pixel_rgb(bmp, 80, 20));
  EXPECT_EQ(rgb_of(shade_color(gui_bg_color, -20)), pixel_rgb(bmp, 60, 10));

  draw_box(bmp, 110, 10, 150, 30, red, BOX_SUNKEN);
  EXPECT_EQ(rgb_of(red), pixel_rgb(bmp, 130, 20));
  EXPECT_EQ(rgb_of(shade_color(gui_bg_color, -40)), pixel_rgb(bmp, 111, 11));
  EXPECT_EQ(rgb_of(shade_color(gui_bg_color, 40)), pixel_rgb(bmp, 150, 30));
}

TEST_F(DrawBox, UnknownStylesAreFlat) {
  int c = makecol(90, 120, 150);
  for (int style : {0, 9, 42, -1}) {
    clear_to_color(bmp, 0);
    draw_box(bmp, 10, 10, 50, 30, c, style);
    for (auto p : {std::pair<int, int>{10, 10}, {11, 11}, {50, 30}, {30, 20}})
      EXPECT_EQ(rgb_of(c), pixel_rgb(bmp, p.first, p.second)) << style;
  }
}

TEST(ShadowBlenders, ScaleWhatLiesUnderneath) {
  unsigned long under = (unsigned long)makecol24(200, 100, 50);
  unsigned long out = shadow_blender_24((unsigned long)makecol24(1, 2, 3), under, 128);
  EXPECT_EQ(100, getr24((int)out));
  EXPECT_EQ(50, getg24((int)out));
  EXPECT_EQ(25, getb24((int)out));
  out = shadow_blender_16(0, (unsigned long)makecol16(248, 128, 64), 64);
  EXPECT_EQ(makecol16(62, 32, 16), (int)out);
  out = shadow_blender_15(0, (unsigned long)makecol15(248, 128, 64), 0);
  EXPECT_EQ(0, (int)out);
}

}  // namespace
