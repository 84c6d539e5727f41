// The dialog look: window face and shadow,
// buttons, centred texts, menu entries and the capped alert.
#include <chrono>
#include <cstring>

#include "app/startup.h"
#include "tests/unit/harness.h"
#include "ui/dialog_theme.h"
#include "ui/list_box.h"

namespace {

bool any_pixel(int x1, int y1, int x2, int y2, Rgb c) {
  for (int y = y1; y <= y2; y++)
    for (int x = x1; x <= x2; x++)
      if (pixel_rgb(screen, x, y) == c) return true;
  return false;
}

const Rgb STEEL = {131, 153, 177}, MID = {56, 72, 89}, LIGHT = {173, 197, 222}, BLUE = {0, 0, 255},
          BLACK = {0, 0, 0};

char title[] = "Title";
char label[] = "OK";

}  // namespace

TEST(DialogTheme, WindowFaceAndTranslucentShadow) {
  MemoryScreen ms(makecol(200, 100, 50));
  DIALOG d = {theme_window_proc, 100, 100, 120, 80, theme.fg_color, theme.bg_color, 0, 0, 0, 0, nullptr,
              nullptr, nullptr};
  EXPECT_EQ(object_message(&d, MSG_DRAW, 0), D_O_K);
  EXPECT_EQ(pixel_rgb(screen, 150, 150), STEEL);
  // The last column and row keep 140/256 of what lay underneath.
  Rgb shadow = {200 * 140 >> 8, 100 * 140 >> 8, 50 * 140 >> 8};
  EXPECT_EQ(pixel_rgb(screen, 219, 140), shadow);
  EXPECT_EQ(pixel_rgb(screen, 150, 179), shadow);
  EXPECT_EQ(pixel_rgb(screen, 101, 179), shadow);
  EXPECT_EQ(pixel_rgb(screen, 219, 101), shadow);
  // It starts one pixel in from the left and top edges.
  EXPECT_EQ(pixel_rgb(screen, 100, 179), (Rgb{200, 100, 50}));
  EXPECT_EQ(pixel_rgb(screen, 219, 100), (Rgb{200, 100, 50}));

  // Drawn again in place, the shadow darkens again.
  object_message(&d, MSG_DRAW, 0);
  EXPECT_EQ(pixel_rgb(screen, 219, 140), (Rgb{shadow.r * 140 >> 8, shadow.g * 140 >> 8, shadow.b * 140 >> 8}));
  EXPECT_EQ(object_message(&d, MSG_CLICK, 0), D_O_K);
}

TEST(DialogTheme, TitleAndFileSelectorRule) {
  MemoryScreen ms(makecol(200, 100, 50));
  font = display.dialog_font;
  int th = text_height(font);
  DIALOG plain = {theme_window_proc, 10, 10, 300, 100, theme.fg_color, theme.bg_color, 0, 0, 0, 0, nullptr,
                  nullptr, nullptr};
  object_message(&plain, MSG_DRAW, 0);
  EXPECT_FALSE(any_pixel(16, 16, 200, 16 + th, BLACK));
  EXPECT_FALSE(any_pixel(13, 13, 300, 13, BLUE));

  plain.dp = title;
  object_message(&plain, MSG_DRAW, 0);
  EXPECT_TRUE(any_pixel(16, 16, 16 + text_length(font, title), 16 + th, BLACK));

  // The library's file selector gets a blue rule and its own title even
  // without a text.
  DIALOG selector = {theme_window_proc, 10, 200, 346, 100, theme.fg_color, theme.bg_color, 0, 0, 0, 0, nullptr,
                     nullptr, nullptr};
  object_message(&selector, MSG_DRAW, 0);
  for (int x = 13; x <= 352; x++) ASSERT_EQ(pixel_rgb(screen, x, 203), BLUE) << x;
  EXPECT_FALSE(pixel_rgb(screen, 353, 203) == BLUE);
  EXPECT_TRUE(any_pixel(16, 206, 16 + text_length(font, "file selection"), 206 + th, BLACK));
}

TEST(DialogTheme, ButtonFacesAndLabelColours) {
  MemoryScreen ms(makecol(200, 100, 50));
  font = display.dialog_font;
  DIALOG b = {theme_button_proc, 50, 50, 80, 20, theme.fg_color, theme.bg_color, 'o', D_EXIT, 0, 0, label,
              nullptr, nullptr};
  Rgb up = {131, 154, 178}, pressed = {131, 152, 176};

  object_message(&b, MSG_DRAW, 0);
  EXPECT_EQ(pixel_rgb(screen, 53, 53), up);
  EXPECT_TRUE(any_pixel(50, 50, 129, 69, BLACK));
  EXPECT_FALSE(any_pixel(50, 50, 129, 69, BLUE));

  b.flags |= D_GOTFOCUS;
  object_message(&b, MSG_DRAW, 0);
  EXPECT_TRUE(any_pixel(50, 50, 129, 69, BLUE));

  // Held down with the mouse, a focused exit button keeps its label colour.
  b.flags |= D_SELECTED;
  object_message(&b, MSG_DRAW, 0);
  EXPECT_EQ(pixel_rgb(screen, 53, 53), pressed);
  EXPECT_FALSE(any_pixel(50, 50, 129, 69, BLUE));
  EXPECT_TRUE(any_pixel(50, 50, 129, 69, BLACK));

  b.flags = D_DISABLED;
  object_message(&b, MSG_DRAW, 0);
  EXPECT_EQ(pixel_rgb(screen, 53, 53), pressed);
  EXPECT_TRUE(any_pixel(50, 50, 129, 69, MID));
  EXPECT_FALSE(any_pixel(50, 50, 129, 69, BLACK));
}

TEST(DialogTheme, KeyPressShowsThePressedFaceBeforeClosing) {
  MemoryScreen ms(makecol(200, 100, 50));
  font = display.dialog_font;
  DIALOG b = {theme_button_proc, 50, 50, 80, 20, theme.fg_color, theme.bg_color, 'o', D_EXIT | D_GOTFOCUS, 0, 0,
              label, nullptr, nullptr};
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(object_message(&b, MSG_KEY, 0), D_CLOSE);
  auto ms_taken = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(ms_taken.count(), 60);
  EXPECT_EQ(pixel_rgb(screen, 53, 53), (Rgb{131, 152, 176}));
  // The label of the key press is in the plain text colour.
  EXPECT_FALSE(any_pixel(50, 50, 129, 69, BLUE));

  // A toggle button's key press toggles it instead.
  b.flags = 0;
  EXPECT_EQ(object_message(&b, MSG_KEY, 0), D_O_K);
  EXPECT_TRUE(b.flags & D_SELECTED);
}

TEST(DialogTheme, CentredTextIsNeverTakenAsAFormat) {
  MemoryScreen ms(makecol(200, 100, 50));
  font = display.dialog_font;
  char text[] = "100%s done";
  DIALOG t = {theme_ctext_proc, 100, 100, 200, 10, theme.fg_color, theme.bg_color, 0, 0, 0, 0, text,
              nullptr, nullptr};
  object_message(&t, MSG_DRAW, 0);
  BITMAP *drawn = create_bitmap(400, 20);
  blit(screen, drawn, 0, 100, 0, 0, 400, 20);
  clear_to_color(screen, makecol(200, 100, 50));
  textout_centre_ex(screen, font, text, 200, 100, theme.fg_color, -1);
  int differing = 0;
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 400; x++)
      if (getpixel(drawn, x, y) != getpixel(screen, x, 100 + y)) differing++;
  EXPECT_EQ(differing, 0);
  destroy_bitmap(drawn);

  // Disabled text is drawn in the middle colour.
  clear_to_color(screen, makecol(200, 100, 50));
  t.flags = D_DISABLED;
  object_message(&t, MSG_DRAW, 0);
  EXPECT_TRUE(any_pixel(100, 100, 300, 110, MID));
  EXPECT_FALSE(any_pixel(100, 100, 300, 110, BLACK));
}

TEST(DialogTheme, MenuEntryColours) {
  MemoryScreen ms(makecol(200, 100, 50));
  font = display.dialog_font;
  int th = text_height(font);
  char text[] = "&Open";
  char empty[] = "";
  MENU entry = {text, nullptr, nullptr, 0, nullptr};
  theme_menu_item(&entry, 10, 10, 100, th + 4, 0, 1);
  EXPECT_EQ(pixel_rgb(screen, 108, 12 + th), MID);
  EXPECT_TRUE(any_pixel(18, 11, 108, 11 + th, LIGHT));
  EXPECT_EQ(pixel_rgb(screen, 109, 12), (Rgb{200, 100, 50}));

  MENU bar = {empty, nullptr, nullptr, D_DISABLED, nullptr};
  theme_menu_item(&bar, 10, 40, 100, th + 4, 0, 1);
  EXPECT_EQ(pixel_rgb(screen, 11, 41), STEEL);
  EXPECT_FALSE(any_pixel(11, 41, 108, 42 + th, MID));

  theme_menu_item(&entry, 10, 70, 100, th + 4, 0, 0);
  EXPECT_EQ(pixel_rgb(screen, 11, 71), STEEL);
  EXPECT_TRUE(any_pixel(18, 71, 108, 71 + th, BLACK));
}

namespace {
// alert() empties the key buffer before its box starts, so the answer is
// typed when the box's frame starts.
int planned_key;
int answering_frame(int msg, DIALOG *d, int c) {
  if (msg == MSG_START) simulate_keypress(planned_key);
  return theme_window_proc(msg, d, c);
}
int answer_alert(int key, const char *b2) {
  planned_key = key;
  gui_shadow_box_proc = answering_frame;
  int result = capped_alert("Question", nullptr, "third line", "&Yes", b2, 'y', 'n');
  gui_shadow_box_proc = theme_window_proc;
  return result;
}
}  // namespace

TEST(DialogTheme, CappedAlertAnswersOneOrTwo) {
  EXPECT_EQ(answer_alert((KEY_ENTER << 8) | 13, "&No"), 1);
  EXPECT_EQ(answer_alert((KEY_N << 8) | 'n', "&No"), 2);
  EXPECT_EQ(answer_alert((KEY_Y << 8) | 'y', nullptr), 1);
}

namespace {
// Moves the pointer while an alert is up, as a hand on the mouse does, and
// presses Return once the box has seen the pointer arrive; Esc ends a box
// that ignores Return, so the test never waits for ever.
enum { POINTER_OUTSIDE, POINTER_ON_FRAME, POINTER_ON_SECOND, POINTER_ON_LAST };
int pointer_target, idle_count, pressed_at;
int moving_frame(int msg, DIALOG *d, int c) {
  const int result = theme_window_proc(msg, d, c);
  if (msg == MSG_START) {
    idle_count = pressed_at = 0;
  } else if (msg == MSG_IDLE) {
    idle_count++;
    int x = 5, y = 5;
    const DIALOG *button = pointer_target == POINTER_ON_SECOND ? &d[5] : &d[6];
    if (pointer_target == POINTER_ON_FRAME) {
      x = d->x + 3;
      y = d->y + d->h / 2;
    } else if (pointer_target != POINTER_OUTSIDE) {
      x = button->x + button->w / 2;
      y = button->y + button->h / 2;
    }
    if (idle_count == 5) position_mouse(button->x + button->w / 2, button->y + button->h / 2);
    if (idle_count == 30) position_mouse(x, y);
    if (!pressed_at && idle_count > 30 && mouse_x == x && mouse_y == y) pressed_at = idle_count;
    if (pressed_at && idle_count == pressed_at + 20) simulate_keypress((KEY_ENTER << 8) | 13);
    if (idle_count == 3000) simulate_keypress((KEY_ESC << 8) | 27);
  }
  return result;
}
}  // namespace

TEST(DialogTheme, ReturnAnswersAnAlertWithItsDefaultButtonWhereverThePointerIs) {
  gui_shadow_box_proc = moving_frame;
  const int targets[] = {POINTER_OUTSIDE, POINTER_ON_FRAME, POINTER_ON_SECOND, POINTER_ON_LAST};
  for (int target : targets) {
    pointer_target = target;
    // The pointer crosses a button other than the default one on its way.
    EXPECT_EQ(1, alert3("Save changes to TileMap:", "x.TFD", "before exit?", "&Yes", "&No",
                        "&Return", 'y', 'n', 'r'))
        << "pointer target " << target;
    EXPECT_GT(pressed_at, 0) << "the pointer never arrived";
    EXPECT_EQ(1, alert("Warning", "", "x", "OK", "&Skip", 'o', 's')) << "pointer target " << target;
    // Between alerts the focus follows the pointer again, as the file
    // selector and the manual viewer expect.
    EXPECT_TRUE(gui_mouse_focus);
  }
  gui_shadow_box_proc = theme_window_proc;
  position_mouse(5, 5);
}

TEST(DialogTheme, ShortcutKeysStillAnswerAlerts) {
  EXPECT_EQ(answer_alert((KEY_N << 8) | 'n', "&No"), 2);
  EXPECT_TRUE(gui_mouse_focus);
}
