// The two datafiles the build assembles: object order and types, the font
// metrics the status strip and the dialogs rely on, and runway symbols that
// load with a transparent surround and survive the map view's scaling.
#include <allegro.h>

#include <algorithm>

#include "app/startup.h"
#include "tests/unit/harness.h"

namespace {

const int SYMBOL_SIZE = 519;
const int SYMBOL_CENTRE = 259;

int object_count(const DATAFILE *data) {
  int n = 0;
  while (data[n].type != DAT_END) n++;
  return n;
}

// Loads a datafile under a colour conversion, then puts full conversion back
// as start-up does.
DATAFILE *load_with(const char *name, int conversion) {
  set_color_conversion(conversion);
  DATAFILE *data = load_datafile(name);
  set_color_conversion(COLORCONV_TOTAL);
  return data;
}

class FontDatafile : public ::testing::Test {
 protected:
  void SetUp() override {
    data = load_with(FONT_DATAFILE, COLORCONV_TOTAL);
    ASSERT_NE(data, nullptr) << "cannot load " << FONT_DATAFILE << " from the run directory";
    ASSERT_EQ(object_count(data), 14);  // the four fonts at scales 1, 2 and 3
    for (int i = 2; i <= 13; i++) ASSERT_EQ(data[i].type, DAT_FONT) << "object " << i;
    label = (FONT *)data[2].dat;
    map = (FONT *)data[3].dat;
    message = (FONT *)data[4].dat;
    dialog = (FONT *)data[5].dat;
  }
  void TearDown() override {
    if (data) unload_datafile(data);
  }
  DATAFILE *data = nullptr;
  FONT *label = nullptr, *map = nullptr, *message = nullptr, *dialog = nullptr;
};

// The fonts of scale 2 and 3 are the same faces grown: every text exactly
// k times as long and as high, so that layouts measured in them scale too.
TEST_F(FontDatafile, ScaledFontsAreTheFacesGrown) {
  const char *texts[] = {"Mouse xy: 1234567,7654321", "~Kestrel Island AB", "iiii WWWW", "0"};
  for (int k = 2; k <= 3; k++)
    for (int face = 0; face < 4; face++) {
      FONT *one = (FONT *)data[2 + face].dat, *grown = (FONT *)data[4 * k - 2 + face].dat;
      EXPECT_EQ(k * text_height(one), text_height(grown)) << "scale " << k << " face " << face;
      for (const char *t : texts) EXPECT_EQ(k * text_length(one, t), text_length(grown, t)) << t << " scale " << k;
    }
}

TEST_F(FontDatafile, TwoTextObjectsComeBeforeTheFourFonts) {
  EXPECT_EQ(data[0].type, DAT_DATA);
  EXPECT_EQ(data[1].type, DAT_DATA);
  EXPECT_GT(data[0].size, 0);
  EXPECT_GT(data[1].size, 0);
}

TEST_F(FontDatafile, MessageFontGivesEveryCharacterTheSameAdvance) {
  EXPECT_EQ(text_length(message, "iiii"), text_length(message, "WWWW"));
  const int advance = text_length(message, "0");
  EXPECT_GT(advance, 0);
  for (int c = 32; c < 127; c++) {
    char s[2] = {(char)c, 0};
    EXPECT_EQ(text_length(message, s), advance) << "character '" << (char)c << "'";
  }
}

TEST_F(FontDatafile, HeightsFitTheirPlaces) {
  // The strip's two lines are 12 rows apart.
  EXPECT_LE(text_height(message), 12);
  EXPECT_GE(text_height(message), 9);
  EXPECT_GE(text_height(dialog), 10);
  EXPECT_LE(text_height(dialog), 12);
  for (FONT *f : {label, map}) {
    EXPECT_GE(text_height(f), 8);
    EXPECT_LE(text_height(f), 10);
  }
}

TEST_F(FontDatafile, StatusStripTextsStayInTheirSlotsOnTheSmallestScreen) {
  const int w = 640;
  // The cursor labels end before the height range at x = 400.
  EXPECT_LT(3 + text_length(message, "xy:    ,      km:    ,     texture:    rotation:  tag:     "), 400);
  EXPECT_LE(w - 171 + text_length(message, "Mouse xy:"), w - 107);
  EXPECT_LE(w - 107 + text_length(message, "1234567,1234567"), w);
  EXPECT_LE(w - 140 + text_length(dialog, VELDKIT_VERSION " - HELP:F1"), w - 2);
}

TEST_F(FontDatafile, HeightRangeEndsBeforeTheMouseReadoutInTheDefaultWindow) {
  EXPECT_LE(400 + text_length(dialog, "height: 9999..9999"), 768 - 171);
}

TEST_F(FontDatafile, DialogAndMapFontsAreProportional) {
  for (FONT *f : {label, map, dialog}) EXPECT_LT(text_length(f, "iiii"), text_length(f, "WWWW"));
  // Bold names run wider than the same text in the dialog face.
  EXPECT_GT(text_length(label, "Airfield"), text_length(dialog, "Airfield"));
}

// Map labels start with '~': in the map faces it only pads the background.
TEST_F(FontDatafile, TildeIsABlankLeadInOnTheMapButATildeElsewhere) {
  BITMAP *b = create_bitmap(64, 16);
  ASSERT_NE(b, nullptr);
  const int ink = makecol(255, 255, 255), paper = makecol(79, 101, 125);
  auto ink_pixels = [&](FONT *f) {
    clear_to_color(b, makecol(0, 0, 0));
    textout_ex(b, f, "~", 0, 0, ink, paper);
    int n = 0;
    for (int y = 0; y < 16; y++)
      for (int x = 0; x < 64; x++) n += getpixel(b, x, y) == ink;
    return n;
  };
  EXPECT_EQ(ink_pixels(label), 0);
  EXPECT_EQ(ink_pixels(map), 0);
  EXPECT_GT(text_length(label, "~"), 0);
  EXPECT_GT(ink_pixels(message), 0);
  EXPECT_GT(ink_pixels(dialog), 0);
  destroy_bitmap(b);
}

TEST(SymbolDatafile, SixSquareSymbolsDrawnInTheStartupPaletteEntries) {
  DATAFILE *data = load_with(SYMBOL_DATAFILE, COLORCONV_NONE);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(object_count(data), 6);
  for (int n = 0; n < 6; n++) {
    ASSERT_EQ(data[n].type, DAT_BITMAP) << "symbol " << n + 1;
    BITMAP *s = (BITMAP *)data[n].dat;
    ASSERT_EQ(bitmap_color_depth(s), 8);
    ASSERT_EQ(s->w, SYMBOL_SIZE);
    ASSERT_EQ(s->h, SYMBOL_SIZE);
    int outside = 0, x0 = SYMBOL_SIZE, x1 = -1, y0 = SYMBOL_SIZE, y1 = -1;
    for (int y = 0; y < SYMBOL_SIZE; y++) {
      for (int x = 0; x < SYMBOL_SIZE; x++) {
        int c = s->line[y][x];
        if (c > 8) outside++;
        if (!c) continue;
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
    }
    EXPECT_EQ(outside, 0) << "symbol " << n + 1 << " uses colours beyond 1..8";
    // Centred in the square, the main runway running north-south.
    EXPECT_NEAR((x0 + x1) / 2.0, SYMBOL_CENTRE, 1.0) << "symbol " << n + 1;
    EXPECT_NEAR((y0 + y1) / 2.0, SYMBOL_CENTRE, 1.0) << "symbol " << n + 1;
    EXPECT_GT(y1 - y0, x1 - x0) << "symbol " << n + 1;
    EXPECT_GT(x0, 0);
    EXPECT_LT(x1, SYMBOL_SIZE - 1);
  }
  unload_datafile(data);
}

TEST(SymbolDatafile, StartupConversionMasksTheSurroundAndKeepsTheCentre) {
  DATAFILE *data = load_with(SYMBOL_DATAFILE, COLORCONV_EXPAND_256 | COLORCONV_KEEP_TRANS);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(object_count(data), 6);
  for (int n = 0; n < 6; n++) {
    BITMAP *s = (BITMAP *)data[n].dat;
    ASSERT_EQ(bitmap_color_depth(s), 32);
    const int mask = bitmap_mask_color(s);
    EXPECT_EQ(getpixel(s, 0, 0), mask) << "symbol " << n + 1;
    EXPECT_EQ(getpixel(s, SYMBOL_SIZE - 1, SYMBOL_SIZE - 1), mask) << "symbol " << n + 1;
    EXPECT_NE(getpixel(s, SYMBOL_CENTRE, SYMBOL_CENTRE), mask) << "symbol " << n + 1;
  }
  // Index 7 (dark asphalt) comes out in the colour start-up gave it.
  BITMAP *single = (BITMAP *)data[0].dat;
  bool found = false;
  for (int x = 0; x < SYMBOL_SIZE && !found; x++)
    found = pixel_rgb(single, x, SYMBOL_CENTRE + 40) == Rgb{_rgb_scale_6[20], _rgb_scale_6[18], _rgb_scale_6[17]};
  EXPECT_TRUE(found);
  unload_datafile(data);
}

// At zoom level 4 the map view draws a symbol at 1/16: it must still show.
TEST(SymbolDatafile, SymbolsStayVisibleAtTheSmallestScaleAtAnyHeading) {
  DATAFILE *data = load_with(SYMBOL_DATAFILE, COLORCONV_EXPAND_256 | COLORCONV_KEEP_TRANS);
  ASSERT_NE(data, nullptr);
  BITMAP *b = create_bitmap(64, 64);
  ASSERT_NE(b, nullptr);
  const int ground = makecol(0, 255, 0);
  for (int n = 0; n < 6; n++) {
    for (int heading = 0; heading < 360; heading += 45) {
      clear_to_color(b, ground);
      const double scale = 1.0 / 16;
      rotate_scaled_sprite(b, (BITMAP *)data[n].dat, (int)(32 - 259.5 * scale), (int)(32 - 259.5 * scale),
                           ftofix(heading * 256.0 / 360.0), ftofix(scale));
      int shown = 0;
      for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) shown += getpixel(b, x, y) != ground;
      // A 48-pixel runway 440 long is at least 2 x 25 pixels at 1/16.
      EXPECT_GE(shown, 50) << "symbol " << n + 1 << " heading " << heading;
      EXPECT_EQ(getpixel(b, 0, 0), ground) << "the mask colour must not be drawn";
    }
  }
  destroy_bitmap(b);
  unload_datafile(data);
}

}  // namespace
