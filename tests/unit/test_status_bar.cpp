#include <cstring>
#include <random>
#include <string>

#include "app/startup.h"
#include "app/status_bar.h"
#include "core/terrain_model.h"
#include "document/open_place.h"
#include "edit/edit_history.h"
#include "files/geo_file.h"
#include "program/session.h"
#include "tests/unit/harness.h"
#include "ui/degree_text.h"
#include "ui/draw_box.h"

namespace {

const char *LABELS = "xy:    ,      km:    ,     texture:    rotation:  tag:     ";

class StatusBar : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    paper = makecol(7, 7, 7);
    got = blank();
    want = blank();
    tile_map.tiles_x = 100;
    tile_map.tiles_y = 80;
    strcpy(terrain_paths.tfd_path, "/some/dir/MAP.TFD");
    texture_table.textures_loaded = 3;
    texture_table.textures_declared = 5;
    targets.target_total = 2;
    targets.area_count = 1;
    Tile &t = tile_at(0, 0);
    t.texture = 123;
    t.rotation = 2;
    t.tag = 7;
    height_map.samples_x = 400;
    height_map.samples_y = 320;
  }
  void TearDown() override {
    destroy_bitmap(got);
    destroy_bitmap(want);
    texture_table.textures_loaded = texture_table.textures_declared = 0;
    reset_program_state();
  }
  BITMAP *blank() {
    BITMAP *b = create_bitmap_ex(32, display.screen_width, display.screen_height);
    clear_to_color(b, paper);
    return b;
  }
  // The strip as its parts are laid out: panel, version, summary, labels.
  void expected_frame(const char *summary) {
    draw_box(want, 0, display.status_y, want->w - 1, want->h - 1, display.colour_pale_blue, BOX_PANEL);
    textout_ex(want, display.dialog_font, "Veldkit v0.84 - HELP:F1", want->w - 140, display.status_y + 13,
               display.colour_dark_slate, display.colour_pale_blue);
    textout_ex(want, display.dialog_font, summary, 3, display.status_y + 13, display.colour_dark_slate, display.colour_pale_blue);
    textout_ex(want, display.message_font, LABELS, 3, display.status_y + 1, display.colour_black, display.colour_pale_blue);
  }
  // A number right-aligned so that its last digit is in the given column of
  // the label line.
  void expected_number(int value, int last_column) {
    std::string text = std::to_string(value);
    int column = last_column + 1 - (int)text.size();
    int x = 3 + column * text_length(display.message_font, "0");
    textout_ex(want, display.message_font, text.c_str(), x, display.status_y + 1, display.colour_blue, -1);
  }
  void expected_cursor(int x, int y_from_south, int km_x, int km_y, int texture, int rotation, int tag) {
    expected_number(x, 6);
    expected_number(y_from_south, 11);
    expected_number(km_x, 20);
    expected_number(km_y, 25);
    expected_number(texture, 37);
    expected_number(rotation, 48);
    // The tag is printed plainly: it starts in column 54 and runs on.
    expected_number(tag, 53 + (int)std::to_string(tag).size());
  }
  // A range's two dots each two pixels clear of what is beside them.
  void expected_height(const char *text) {
    const std::string whole = text, low = whole.substr(0, whole.find(".."));
    const std::string high = low.size() < whole.size() ? whole.substr(low.size() + 2) : "";
    const int y = display.status_y + 1, fg = display.colour_dark_slate, bg = display.colour_pale_blue;
    textout_ex(want, display.dialog_font, low.c_str(), 400, y, fg, bg);
    if (high.empty()) return;
    const int x = 400 + text_length(display.dialog_font, low.c_str());
    rectfill(want, x, y, x + 6, y + text_height(display.dialog_font) - 1, bg);
    textout_ex(want, display.dialog_font, ".", x + 1, y, fg, -1);
    textout_ex(want, display.dialog_font, ".", x + 4, y, fg, -1);
    textout_ex(want, display.dialog_font, high.c_str(), x + 7, y, fg, bg);
  }
  int differing_pixels() {
    int n = 0;
    for (int y = 0; y < got->h; y++)
      for (int x = 0; x < got->w; x++) n += getpixel(got, x, y) != getpixel(want, x, y);
    return n;
  }
  void set_tile_heights(int tx, int ty, int value) {
    for (int i = 0; i < 4; i++)
      for (int j = 0; j < 4; j++) height_map.heights[4 * tx + i][4 * ty + j] = (uint16_t)value;
  }

  int paper = 0;
  BITMAP *got = nullptr, *want = nullptr;
};

const char *SUMMARY = "MAP.TFD - 100x80 - Textures: 3/5 - Targets/areas: 2/1 ";

TEST_F(StatusBar, TopLeftTileWithoutHeights) {
  ASSERT_EQ(text_length(display.message_font, "0"), text_length(display.message_font, "x"));  // monospaced
  set_tile_heights(0, 0, 250);  // not shown: no height map is loaded
  draw_status_bar(got, 0, 0);
  expected_frame(SUMMARY);
  expected_cursor(0, 79, 1, 159, 123, 2, 7);
  EXPECT_EQ(0, differing_pixels());
}

TEST_F(StatusBar, HeightItemFlatAndRange) {
  height_map.heights_loaded = 1;
  // Neighbouring tiles differ, so only the cursor tile's samples count.
  for (int tx = 4; tx <= 6; tx++)
    for (int ty = 9; ty <= 11; ty++) set_tile_heights(tx, ty, 9000);
  set_tile_heights(5, 10, 250);
  Tile &t = tile_at(5, 10);
  t.texture = -4;
  t.rotation = 3;
  t.tag = 255;

  draw_status_bar(got, 5, 10);
  expected_frame(SUMMARY);
  expected_cursor(5, 69, 11, 139, -4, 3, 255);
  expected_height("height:  250 flat");
  EXPECT_EQ(0, differing_pixels());

  // Ranges of three and four digits read with both dots.
  const struct {
    int low, high;
    const char *text;
  } ranges[] = {{0, 1200, "height:    0..1200"}, {888, 894, "height:  888.. 894"}, {2888, 2894, "height: 2888..2894"}};
  for (const auto &r : ranges) {
    set_tile_heights(5, 10, r.low);
    height_map.heights[23][43] = (uint16_t)r.high;
    draw_status_bar(got, 5, 10);
    clear_to_color(want, paper);
    expected_frame(SUMMARY);
    expected_cursor(5, 69, 11, 139, -4, 3, 255);
    expected_height(r.text);
    EXPECT_EQ(0, differing_pixels()) << r.text;
  }
}

TEST_F(StatusBar, SamplesAreReadAsUnsigned) {
  height_map.heights_loaded = 1;
  set_tile_heights(0, 0, 250);
  height_map.heights[1][2] = 65535;
  draw_status_bar(got, 0, 0);
  expected_frame(SUMMARY);
  expected_cursor(0, 79, 1, 159, 123, 2, 7);
  expected_height("height:  250..65535");
  EXPECT_EQ(0, differing_pixels());
}

TEST_F(StatusBar, EmptyStripShowsOnlyTheVersion) {
  draw_empty_status_bar(got);
  draw_box(want, 0, display.status_y, display.screen_width - 1, display.screen_height - 1, display.colour_pale_blue, BOX_PANEL);
  textout_ex(want, display.dialog_font, "Veldkit v0.84 - HELP:F1", display.screen_width - 140, display.status_y + 13,
             display.colour_dark_slate, display.colour_pale_blue);
  EXPECT_EQ(0, differing_pixels());
}

TEST_F(StatusBar, ACursorOffTheGridDrawsNoValues) {
  draw_status_bar(got, -1, MAX_TILES);
  expected_frame(SUMMARY);
  EXPECT_EQ(0, differing_pixels());
}

TEST_F(StatusBar, MessageSchemes) {
  struct Case {
    int scheme;
    FONT *f;
    int fg, bg;
  } cases[] = {{SCHEME_LABEL, display.message_font, display.colour_black, display.colour_pale_blue},
               {SCHEME_TITLE, display.dialog_font, display.colour_dark_slate, display.colour_pale_blue},
               {SCHEME_VALUE, display.message_font, display.colour_blue, display.colour_pale_blue},
               {SCHEME_OVERLAY, display.message_font, display.colour_blue, -1}};
  for (const Case &c : cases) {
    clear_to_color(got, paper);
    clear_to_color(want, paper);
    show_message(got, 10, 20, c.scheme, "Loading %s %3d", "Map", 7);
    textout_ex(want, c.f, "Loading Map   7", 10, 20, c.fg, c.bg);
    EXPECT_EQ(0, differing_pixels()) << c.scheme;
  }
  clear_to_color(got, paper);
  clear_to_color(want, paper);
  show_message(got, 10, 20, 4, "nothing");
  show_message(got, 10, 20, -1, "nothing");
  EXPECT_EQ(0, differing_pixels());
}

TEST_F(StatusBar, MessagesAreCutTo255Characters) {
  int w = text_length(display.message_font, "W");
  BITMAP *wide = create_bitmap_ex(32, 3 + 300 * w, 20);
  clear_to_color(wide, paper);
  show_message(wide, 3, 0, SCHEME_VALUE, "%s", std::string(300, 'W').c_str());
  // The opaque background covers exactly the characters drawn.
  EXPECT_EQ(display.colour_pale_blue, getpixel(wide, 3 + 255 * w - 1, 0));
  EXPECT_EQ(paper, getpixel(wide, 3 + 255 * w, 0));
  destroy_bitmap(wide);
}

// "*" after the file name while either map has changes not saved; the strip
// is otherwise the same, and undoing the change gives back the plain strip.
TEST_F(StatusBar, UnsavedChangesAreMarkedAfterTheName) {
  height_map.heights_loaded = 1;
  set_tile_heights(0, 0, 5);
  const int actions[] = {HISTORY_TAG, HISTORY_RAISE};
  for (int action : actions) {
    SCOPED_TRACE(action);
    // A change off the cursor tile, so that only the mark differs.
    history_begin(action, 1, 1, 0);
    if (action == HISTORY_TAG)
      tile_at(1, 1).tag ^= 1;
    else
      height_map.heights[4][4]++;
    history_end();
    clear_to_color(got, paper);
    clear_to_color(want, paper);
    draw_status_bar(got, 0, 0);
    expected_frame("MAP.TFD* - 100x80 - Textures: 3/5 - Targets/areas: 2/1 ");
    expected_cursor(0, 79, 1, 159, 123, 2, 7);
    expected_height("height:    5 flat");
    EXPECT_EQ(0, differing_pixels());

    int x, y;
    char text[HISTORY_TEXT_SIZE];
    ASSERT_EQ(0, history_undo(&x, &y, text, sizeof(text)));
    clear_to_color(got, paper);
    clear_to_color(want, paper);
    draw_status_bar(got, 0, 0);
    expected_frame(SUMMARY);
    expected_cursor(0, 79, 1, 159, 123, 2, 7);
    expected_height("height:    5 flat");
    EXPECT_EQ(0, differing_pixels());
  }
}

}  // namespace

namespace {

TEST_F(StatusBar, ClipboardText) {
  texture_table.last_declared_texture = 12;
  strcpy(texture_table.textures[12].filename, "grass_03.bmp");
  strcpy(texture_table.textures[7].filename, "NONE");
  auto stamp = [](int w, int h, int texture) {
    TileStamp s;
    s.w = w;
    s.h = h;
    s.cells.assign((size_t)w * h, StampCell());
    s.cells.back().texture = (int16_t)texture;
    return s;
  };
  const int wide = 1000, em = text_length(display.message_font, "0");
  struct Case {
    TileStamp stamp;
    int room;
    const char *text;
  } cases[] = {
      {TileStamp(), wide, ""},                                    // before any copy
      {stamp(3, 3, 0), wide, ""},                                 // a copy with nothing to paste
      {stamp(1, 1, 12), wide, "Clipboard: 12 grass_03.bmp"},
      {stamp(1, 1, 7), wide, "Clipboard: 7"},                     // not declared
      {stamp(12, 8, 5), wide, "Copy 12 x 8"},
      {stamp(1, 1, 12), 21 * em, "Clipboard: 12 grass.."},
      {stamp(1, 1, 12), 17 * em, "Clipboard: 12"},                // a name cut below 4 is left out
      {stamp(1, 1, 12), 12 * em, ""},
      {stamp(12, 8, 5), 10 * em, ""},
  };
  for (const Case &c : cases) {
    char text[300];
    clipboard_text(c.stamp, c.room, text, sizeof(text));
    EXPECT_STREQ(c.text, text) << c.room;
  }
  texture_table.last_declared_texture = 0;
  texture_table.textures[12].filename[0] = texture_table.textures[7].filename[0] = 0;
}


// The upper line's parts apart at every window width, with and without the
// height under the pointer, in the real fonts; where they stood apart
// before, each keeps its old place.
TEST(StripLayout, NothingOverlapsAtAnyWidth) {
  const int height = text_length(display.message_font, " 9999 m");
  const int degrees = degree_text_length(display.message_font, " 90.0000\xC2\xB0S 180.0000\xC2\xB0W");
  const int extras[] = {0, height, degrees, degrees + height};
  for (int extra : extras) {
    for (int width = 640; width <= 4000; width++) {
      const StripLayout l = strip_layout(width, extra);
      SCOPED_TRACE(testing::Message() << "width " << width << " extra " << extra);
      // The degrees show where they fit, and they fit from 730 pixels on.
      ASSERT_TRUE(extra < degrees || width < 730 || strip_layout_fits(width, extra));
      if (!strip_layout_fits(width, extra)) {
        ASSERT_GE(extra, degrees);
        continue;
      }
      const int readout_x = l.label_x >= 0 ? l.label_x : l.value_x;
      ASSERT_LE(l.tile_end, l.height_x);
      ASSERT_LE(l.height_x + l.height_w, readout_x);
      if (l.label_x >= 0) {
        ASSERT_LE(l.label_x + l.label_w, l.value_x);
      }
      ASSERT_LE(l.value_x + l.value_w, width);
      // Six pixels apart at least, as the layout keeps them.
      const bool apart_before = 400 + l.height_w + 6 <= width - 171 - extra;
      if (apart_before) {
        ASSERT_EQ(400, l.height_x);
        ASSERT_EQ(width - 171 - extra, l.label_x);
        ASSERT_EQ(width - 107 - extra, l.value_x);
      }
    }
  }
}


// At the larger scales, in the windows that choose them, likewise apart:
// every length of the layout grows with the fonts.
TEST(StripLayout, NothingOverlapsAtTheLargerScales) {
  for (int scale = 2; scale <= 3; scale++) {
    set_ui_scale(scale);
    ASSERT_EQ(scale, display.ui_scale);
    const int extras[] = {0, text_length(display.message_font, " 9999 m")};
    for (int extra : extras)
      for (int width = scale == 2 ? 1800 : 3400; width <= 4000; width++) {
        const StripLayout l = strip_layout(width, extra);
        SCOPED_TRACE(testing::Message() << "scale " << scale << " width " << width << " extra " << extra);
        ASSERT_LE(l.tile_end, l.height_x);
        ASSERT_LE(l.height_x + l.height_w, l.label_x >= 0 ? l.label_x : l.value_x);
        ASSERT_GE(l.label_x, 0);  // room for the label in every such window
        ASSERT_LE(l.label_x + l.label_w, l.value_x);
        ASSERT_LE(l.value_x + l.value_w, width);
      }
  }
  set_ui_scale(1);
}

// The degrees after the metres: as wide as the room the layout keeps for
// them wherever the pointer is, in either form, blanks off the terrain, and
// a degree sign drawn as a ring where a blank would be.
TEST(StripDegrees, FillTheirRoomExactlyAndDrawTheSignAsARing) {
  reset_program_state();
  GeoFile file;
  file.projection = "+proj=tmerc +lat_0=0 +lon_0=0 +k=1 +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs";
  file.origin_east = file.origin_north = -5000000;  // 45 degrees of longitude either way, both hemispheres
  std::string why;
  terrain_place.place = make_geo_place(file, &why);
  ASSERT_TRUE(terrain_place.place) << why;
  std::mt19937 r(3);
  for (int decimal = 0; decimal <= 1; decimal++) {
    session.degrees_decimal = decimal;
    const int room = strip_readout_extra(nullptr);
    ASSERT_GT(room, 0);
    for (int k = 0; k < 300; k++) {
      char text[STRIP_DEGREES_CHARS + 8];
      const int on = k % 10 != 0;
      strip_degrees_text((double)(r() % 10000000), (double)(r() % 10000000), on, text, sizeof(text));
      ASSERT_EQ(room, degree_text_length(display.message_font, text)) << text;
      ASSERT_EQ(on, strchr(text, 'N') || strchr(text, 'S')) << text;
    }
  }
  session.degrees_decimal = 0;
  // The ring: pixels above the digits' middle in the blank's room, none
  // where the blank's room ends.
  BITMAP *b = create_bitmap(100, 20);
  clear_to_color(b, makecol(255, 255, 255));
  const int fg = makecol(0, 0, 255);
  degree_textout(b, display.message_font, "4\xC2\xB0", 0, 0, fg, -1);
  const int x0 = text_length(display.message_font, "4"), x1 = text_length(display.message_font, "4 ");
  int ring = 0;
  for (int x = x0; x < x1; x++)
    for (int y = 0; y < 20; y++) {
      if (getpixel(b, x, y) != fg) continue;
      ring++;
      EXPECT_LT(y, text_height(display.message_font) / 2) << x;
    }
  EXPECT_EQ(8, ring);
  destroy_bitmap(b);
  terrain_place = TerrainPlace();
  EXPECT_EQ(0, strip_readout_extra(nullptr));
}

}  // namespace
