// The manual's HTML text box: layout, tags, fonts, scrolling keys, and
// arbitrary bytes that must never be read past their terminator.
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "app/startup.h"
#include "tests/unit/harness.h"
#include "ui/dialog_theme.h"
#include "ui/manual_text.h"

namespace {

const int BX = 20, BY = 20, BW = 300, BH = 200;


struct Render {
  int lines = 0;
  BITMAP *box = nullptr;
  ~Render() {
    if (box) destroy_bitmap(box);
  }
};

// Lays the text out and draws it into a box at (BX, BY); keeps a copy of
// the box's pixels.
void render(Render &r, const char *text, int offset = 0, int w = BW, int h = BH, int wrap = 1) {
  font = display.dialog_font;
  draw_html_text(text, &r.lines, 1, offset, wrap, 8, BX, BY, w, h, 0, theme.fg_color, theme.light_color,
                 theme.mid_color);
  r.box = create_bitmap(w, h);
  blit(screen, r.box, BX, BY, 0, 0, w, h);
  font = display.dialog_font;
}

int measure(const char *text, int w = BW, int wrap = 1) {
  int lines = -1;
  draw_html_text(text, &lines, 0, 0, wrap, 8, BX, BY, w, BH, 0, 0, 0, 0);
  return lines;
}

bool same_pixels(BITMAP *a, BITMAP *b, int x_from = 0) {
  if (a->w != b->w || a->h != b->h) return false;
  for (int y = 0; y < a->h; y++)
    for (int x = x_from; x < a->w; x++)
      if (getpixel(a, x, y) != getpixel(b, x, y)) return false;
  return true;
}

bool all_colour(BITMAP *b, int x1, int y1, int x2, int y2, int colour) {
  for (int y = y1; y <= y2; y++)
    for (int x = x1; x <= x2; x++)
      if (getpixel(b, x, y) != colour) return false;
  return true;
}

// A heap copy exactly as long as the text and its terminator, so that the
// sanitizer sees any read past the end.
char *exact_copy(const std::string &s) {
  char *p = (char *)malloc(s.size() + 1);
  memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

}  // namespace

TEST(ManualText, WithoutBodyTagTheBoxIsEmptyAndHasOneLine) {
  MemoryScreen ms;
  Render r;
  render(r, "<HTML>Some text but no body at all</HTML>");
  EXPECT_EQ(r.lines, 1);
  // Everything inside the frame area is the background (the column at
  // x + 2 is only filled beside drawn lines).
  EXPECT_TRUE(all_colour(r.box, 3, 2, BW - 1, BH - 1, theme.light_color));
  EXPECT_EQ(measure(nullptr), 1);
  // The search for the body tag starts at the second character.
  EXPECT_EQ(measure("<BODY>one<BR>two"), 1);
  EXPECT_EQ(measure("x<BODY>one<BR>two"), 2);
  EXPECT_EQ(measure(""), 1);
}

TEST(ManualText, BodyFollowedByParagraphGivesAnEmptyFirstLine) {
  MemoryScreen ms;
  Render r;
  render(r, "<HTML><BODY><P>abc");
  EXPECT_EQ(r.lines, 2);
  int th = text_height(display.dialog_font);
  EXPECT_TRUE(all_colour(r.box, 2, 2, BW - 1, 4 + th - 1, theme.light_color));
  EXPECT_FALSE(all_colour(r.box, 2, 4 + th, BW - 1, 4 + 2 * th - 1, theme.light_color));
}

TEST(ManualText, OnlyUpperCaseTagsBreakLines) {
  MemoryScreen ms;
  EXPECT_EQ(measure("<HTML><BODY>one<BR>two"), 2);
  EXPECT_EQ(measure("<HTML><BODY>one</P>two"), 2);
  EXPECT_EQ(measure("<HTML><BODY><H2>Head</H2>two"), 2);
  EXPECT_EQ(measure("<HTML><BODY>one<br>two"), 1);
  EXPECT_EQ(measure("<HTML><BODY>one<p>two"), 1);

  // The lower-case tag is hidden: the words run together.
  Render lower, joined;
  render(lower, "<HTML><BODY>one<br>two");
  render(joined, "<HTML><BODY>onetwo");
  EXPECT_TRUE(same_pixels(lower.box, joined.box));

  // Two tags in a row are both hidden; the second one breaks.
  Render two, one;
  render(two, "<HTML><BODY>one</B><BR>two");
  render(one, "<HTML><BODY>one<BR>two");
  EXPECT_EQ(two.lines, 2);
  EXPECT_TRUE(same_pixels(two.box, one.box));
}

TEST(ManualText, HeadingsSwitchTheFontWhileDrawing) {
  MemoryScreen ms;
  Render closed;
  render(closed, "<HTML><BODY><H1>Title</H1>text");
  EXPECT_EQ(closed.lines, 2);

  int lines;
  font = display.dialog_font;
  draw_html_text("<HTML><BODY><H1>Title</H1>text", &lines, 1, 0, 1, 8, BX, BY, BW, BH, 0, 0, 0, 0);
  EXPECT_EQ(font, display.dialog_font);

  // A drawn heading start without its end leaves the heading font in force.
  font = display.dialog_font;
  draw_html_text("<HTML><BODY><H1>Title", &lines, 1, 0, 1, 8, BX, BY, BW, BH, 0, 0, 0, 0);
  EXPECT_EQ(font, display.message_font);

  // So does HR, which also begins with H.
  font = display.dialog_font;
  draw_html_text("<HTML><BODY>a<HR>b", &lines, 1, 0, 1, 8, BX, BY, BW, BH, 0, 0, 0, 0);
  EXPECT_EQ(lines, 1);
  EXPECT_EQ(font, display.message_font);

  // Measuring alone never switches.
  font = display.dialog_font;
  draw_html_text("<HTML><BODY><H1>Title", &lines, 0, 0, 1, 8, BX, BY, BW, BH, 0, 0, 0, 0);
  EXPECT_EQ(font, display.dialog_font);

  // A heading above the drawn lines is not drawn, so it switches nothing.
  font = display.dialog_font;
  draw_html_text("<HTML><BODY><H1>a<BR>b<BR>c", &lines, 1, 3, 1, 8, BX, BY, BW, BH, 0, 0, 0, 0);
  EXPECT_EQ(font, display.dialog_font);
  font = display.dialog_font;
}

TEST(ManualText, LongWordIsCutAtTheBoxWidthWithoutLosingCharacters) {
  MemoryScreen ms;
  font = display.dialog_font;
  int cw = text_length(display.dialog_font, "a");
  int w = 100;
  // Characters fit while the line stays narrower than w - 8.
  int per_line = 0;
  while ((per_line + 1) * cw < w - 8) per_line++;
  ASSERT_GT(per_line, 1);
  std::string word(per_line * 2 + 3, 'a');
  Render wrapped, broken;
  render(wrapped, ("<HTML><BODY>" + word).c_str(), 0, w);
  std::string by_hand = "<HTML><BODY>" + word.substr(0, per_line) + "<BR>" + word.substr(per_line, per_line) +
                        "<BR>" + word.substr(2 * per_line);
  render(broken, by_hand.c_str(), 0, w);
  EXPECT_EQ(wrapped.lines, 3);
  EXPECT_TRUE(same_pixels(wrapped.box, broken.box));
}

TEST(ManualText, WordsWrapAtTheLastBlank) {
  MemoryScreen ms;
  font = display.dialog_font;
  int cw = text_length(display.dialog_font, "a");
  int w = 8 + cw * 12 + 1;  // room for twelve characters
  Render wrapped, broken;
  render(wrapped, "<HTML><BODY>aaaa bbbb cccc dddd", 0, w);
  render(broken, "<HTML><BODY>aaaa bbbb<BR>cccc dddd", 0, w);
  EXPECT_EQ(wrapped.lines, 2);
  EXPECT_TRUE(same_pixels(wrapped.box, broken.box));
}

TEST(ManualText, EntitiesAndAmpersandsAreDrawnAsTheyStand) {
  MemoryScreen ms;
  Render r;
  render(r, "<HTML><BODY>&amp;&x");
  clear_to_color(screen, makecol(9, 9, 9));
  rectfill(screen, BX + 2, BY + 2, BX + BW - 1, BY + BH - 1, theme.light_color);
  textout_ex(screen, display.dialog_font, "&amp;&x", BX + 6, BY + 4, theme.fg_color, theme.light_color);
  BITMAP *expected = create_bitmap(BW, BH);
  blit(screen, expected, BX, BY, 0, 0, BW, BH);
  EXPECT_TRUE(same_pixels(r.box, expected, 3));
  destroy_bitmap(expected);
}

TEST(ManualText, OffsetOneLooksLikeOffsetZeroAndEachFurtherStepScrollsALine) {
  MemoryScreen ms;
  const char *text = "<HTML><BODY>one<BR>two<BR>three<BR>four";
  Render at0, at1, at2, shorter;
  render(at0, text, 0);
  render(at1, text, 1);
  render(at2, text, 2);
  render(shorter, "<HTML><BODY>two<BR>three<BR>four", 0);
  EXPECT_TRUE(same_pixels(at0.box, at1.box));
  EXPECT_TRUE(same_pixels(at2.box, shorter.box));
  EXPECT_EQ(at2.lines, 4);
}

TEST(ManualText, UnclosedTagsAndMissingBodyEndStopAtTheTerminator) {
  MemoryScreen ms;
  const char *cases[] = {"<HTML><BODY>abc<def", "x<BODY", "x<BO", "<HTML><BODY>a<", "<HTML><BODY>text<BR>\r\n",
                         "<HTML><BODY>\r\n\r\n", "<HTML><BODY>a</H", "<HTML><BODY>\t\t\t\t\t\t\t\t\t\t\t\t", "<",
                         "<BO>", "a<BODY>"};
  for (const char *c : cases) {
    char *text = exact_copy(c);
    Render r;
    render(r, text);
    EXPECT_GE(r.lines, 1) << c;
    free(text);
  }
  EXPECT_EQ(measure("<HTML><BODY>abc<def"), 1);
  EXPECT_EQ(measure("<HTML><BODY>text<BR>\r\n"), 2);
}

namespace {
DIALOG text_box(const char *text, int visible_lines) {
  int th = text_height(font);
  DIALOG d = {manual_text_proc, BX, BY, 400, visible_lines * th + 8, theme.fg_color, theme.bg_color, 0, 0, 0, 0,
              (void *)text, nullptr, nullptr};
  return d;
}

std::string numbered_lines(int n) {
  std::string s = "<HTML><BODY>";
  for (int i = 0; i < n; i++) s += "line " + std::to_string(i) + (i + 1 < n ? "<BR>" : "");
  return s;
}
}  // namespace

TEST(ManualTextBox, EndShowsTheLastFullPage) {
  MemoryScreen ms;
  font = display.dialog_font;
  std::string text = numbered_lines(200);
  DIALOG d = text_box(text.c_str(), 50);
  object_message(&d, MSG_START, 0);
  EXPECT_EQ(d.d1, 200);
  object_message(&d, MSG_DRAW, 0);
  EXPECT_EQ(object_message(&d, MSG_CHAR, KEY_END << 8), D_USED_CHAR);
  EXPECT_EQ(d.d2, 150);
  EXPECT_TRUE(d.flags & D_DIRTY);

  d.flags &= ~D_DIRTY;
  EXPECT_EQ(object_message(&d, MSG_CHAR, KEY_DOWN << 8), D_USED_CHAR);
  EXPECT_EQ(d.d2, 150);
  EXPECT_FALSE(d.flags & D_DIRTY);

  object_message(&d, MSG_CHAR, KEY_HOME << 8);
  EXPECT_EQ(d.d2, 0);
  // From the top a page is the visible lines less two.
  object_message(&d, MSG_CHAR, KEY_PGDN << 8);
  EXPECT_EQ(d.d2, 48);
  // Further down the first visible line counts as already seen.
  object_message(&d, MSG_CHAR, KEY_PGUP << 8);
  EXPECT_EQ(d.d2, 1);
  EXPECT_EQ(object_message(&d, MSG_CHAR, (KEY_A << 8) | 'a'), D_O_K);
  EXPECT_EQ(object_message(&d, MSG_WANTFOCUS, 0), D_WANTFOCUS);
}

TEST(ManualTextBox, WheelOnAShortTextChangesNothingVisible) {
  MemoryScreen ms;
  font = display.dialog_font;
  std::string text = numbered_lines(5);
  DIALOG d = text_box(text.c_str(), 20);
  object_message(&d, MSG_DRAW, 0);
  BITMAP *before = create_bitmap(d.w, d.h);
  blit(screen, before, d.x, d.y, 0, 0, d.w, d.h);

  object_message(&d, MSG_WHEEL, -1);
  object_message(&d, MSG_DRAW, 0);
  EXPECT_EQ(d.d2, 0);
  BITMAP *after = create_bitmap(d.w, d.h);
  blit(screen, after, d.x, d.y, 0, 0, d.w, d.h);
  EXPECT_TRUE(same_pixels(before, after));
  EXPECT_EQ(object_message(&d, MSG_WANTFOCUS, 0), D_O_K);
  destroy_bitmap(before);
  destroy_bitmap(after);
}

TEST(ManualTextBox, WheelScrollsThreeLinesWithinTheText) {
  MemoryScreen ms;
  font = display.dialog_font;
  std::string text = numbered_lines(30);
  DIALOG d = text_box(text.c_str(), 10);
  object_message(&d, MSG_DRAW, 0);
  object_message(&d, MSG_WHEEL, -1);
  EXPECT_EQ(d.d2, 3);
  for (int i = 0; i < 20; i++) object_message(&d, MSG_WHEEL, -1);
  EXPECT_EQ(d.d2, 20);
  object_message(&d, MSG_WHEEL, 1);
  EXPECT_EQ(d.d2, 17);
}

// Random bytes, weighted towards the characters the layout reacts to, in
// boxes of every size down to narrower than one character.
TEST(ManualText, RandomBytesNeverReadPastTheTerminator) {
  MemoryScreen ms;
  std::mt19937 rng(12345);
  const char interesting[] = "<>BODYPRH/123 \t\r\n&aZ";
  for (int round = 0; round < 6000; round++) {
    int len = rng() % 400;
    std::string s;
    if (rng() % 2) s = "<HTML><BODY>";
    for (int i = 0; i < len; i++) {
      int kind = rng() % 4;
      char c = kind == 0 ? (char)(1 + rng() % 255) : interesting[rng() % (sizeof(interesting) - 1)];
      s += c;
    }
    char *text = exact_copy(s);
    int w = 1 + rng() % 320, h = 1 + rng() % 240;
    int lines = -1;
    font = display.dialog_font;
    draw_html_text(text, &lines, rng() % 2, rng() % 6, rng() % 2, 8, 10, 10, w, h, rng() % 2, theme.fg_color,
                   theme.light_color, theme.mid_color);
    EXPECT_GE(lines, 1);
    free(text);
  }
  font = display.dialog_font;
}
