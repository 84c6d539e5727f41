#include <cstring>
#include <string>

#include "tests/unit/harness.h"
#include "ui/print_label.h"

namespace {

class PrintLabel : public testing::Test {
 protected:
  void SetUp() override {
    fg = makecol(10, 20, 30);
    bg = makecol(200, 210, 220);
    paper = makecol(90, 90, 90);
    got = fresh(300, 60);
    want = fresh(300, 60);
  }
  void TearDown() override {
    destroy_bitmap(got);
    destroy_bitmap(want);
  }
  BITMAP *fresh(int w, int h) {
    BITMAP *b = create_bitmap_ex(32, w, h);
    clear_to_color(b, paper);
    return b;
  }
  // Pixels where the two bitmaps differ, as "x,y" strings.
  std::vector<std::pair<int, int>> differences() {
    std::vector<std::pair<int, int>> out;
    for (int y = 0; y < got->h; y++)
      for (int x = 0; x < got->w; x++)
        if (getpixel(got, x, y) != getpixel(want, x, y)) out.push_back({x, y});
    return out;
  }
  int underline_y(int y) { return y + text_height(font) - gui_font_baseline - 2; }

  int fg = 0, bg = 0, paper = 0;
  BITMAP *got = nullptr, *want = nullptr;
};

TEST_F(PrintLabel, HotKeyIsUnderlinedAndItsMarkerDropped) {
  print_label(got, 0, 20, 10, fg, bg, "&Return");
  textout_ex(want, font, "Return", 20, 10, fg, bg);
  int w = text_length(font, "R");
  hline(want, 20, underline_y(10), 20 + w - 2, fg);
  EXPECT_TRUE(differences().empty());
}

TEST_F(PrintLabel, CentredHotKeyInTheMiddleAndTheLastMarkerCounts) {
  print_label(got, 1, 150, 10, fg, -1, "Re&tu&rn %d", 5);
  textout_centre_ex(want, font, "Return 5", 150, 10, fg, -1);
  int left = 150 - text_length(font, "Return 5") / 2;
  int w1 = text_length(font, "Retu"), w2 = text_length(font, "r");
  hline(want, left + w1, underline_y(10), left + w1 + w2 - 2, fg);
  EXPECT_TRUE(differences().empty());
}

TEST_F(PrintLabel, DoubleAmpersandIsOneAndMarksNothing) {
  print_label(got, 0, 5, 5, fg, bg, "A&&B");
  textout_ex(want, font, "A&B", 5, 5, fg, bg);
  EXPECT_TRUE(differences().empty());
  // A marker at the very end has no character to underline.
  print_label(got, 0, 5, 30, fg, bg, "AB&");
  textout_ex(want, font, "AB", 5, 30, fg, bg);
  EXPECT_TRUE(differences().empty());
}

TEST_F(PrintLabel, LongTextIsShortenedFromItsEndButKeepsOneCharacter) {
  std::string text(40, 'W');
  int w = text_length(font, "W");
  // Room for exactly three characters up to the right edge.
  int x = got->w - 3 * w;
  print_label(got, 0, x, 5, fg, bg, "%s", text.c_str());
  textout_ex(want, font, "WWW", x, 5, fg, bg);
  EXPECT_TRUE(differences().empty());

  print_label(got, 0, got->w - 1, 30, fg, bg, "&%s", text.c_str());
  textout_ex(want, font, "W", got->w - 1, 30, fg, bg);
  hline(want, got->w - 1, underline_y(30), got->w - 1 + w - 2, fg);
  EXPECT_TRUE(differences().empty());
}

TEST_F(PrintLabel, CentredTextNearTheLeftEdgeKeepsOneCharacter) {
  print_label(got, 1, 1, 5, fg, bg, "WWWW");
  textout_centre_ex(want, font, "W", 1, 5, fg, bg);
  EXPECT_TRUE(differences().empty());
}

TEST_F(PrintLabel, FitsTheBitmapNotItsClippingRectangle) {
  // With an opaque background a text cut to the clip width would leave the
  // clipped-in part of the next character's cell unpainted.
  set_clip_rect(got, 0, 0, 20, got->h - 1);
  set_clip_rect(want, 0, 0, 20, got->h - 1);
  print_label(got, 0, 0, 5, fg, bg, "ABCDEFGHIJ");
  textout_ex(want, font, "ABCDEFGHIJ", 0, 5, fg, bg);
  EXPECT_TRUE(differences().empty());
}

TEST_F(PrintLabel, OverlongAndMissingTargetsAreHarmless) {
  std::string text(2000, 'x');
  print_label(got, 0, 0, 5, fg, bg, "%s&y", text.c_str());
  print_label(nullptr, 0, 0, 0, fg, bg, "nothing");
  print_label(screen, 1, 50, 50, fg, bg, "On &screen");
  // The fitted text reaches to within one character of the right edge.
  EXPECT_EQ(getpixel(got, got->w - text_length(font, "x"), 5), bg);
}

TEST(CutText, EndsAfterNCharactersOnlyWithinTheText) {
  char text[16];
  strcpy(text, "abcdef");
  cut_text(text, 6);
  EXPECT_STREQ("abcdef", text);
  cut_text(text, -1);
  EXPECT_STREQ("abcdef", text);
  cut_text(text, 2);
  EXPECT_STREQ("ab", text);
  cut_text(text, 0);
  EXPECT_STREQ("", text);
}

}  // namespace
