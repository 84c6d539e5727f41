// Themed list boxes: keyboard paging, scrolling limits, type-ahead, double
// clicks and the colours of their rows.
#include <string>
#include <vector>

#include "app/startup.h"
#include "tests/unit/harness.h"
#include "ui/dialog_theme.h"
#include "ui/list_box.h"

namespace {

std::vector<std::string> items;

char *get_item(int index, int *count) {
  if (index < 0) {
    *count = (int)items.size();
    return nullptr;
  }
  return (char *)items[index].c_str();
}

void numbered_items(int n) {
  items.clear();
  for (int i = 0; i < n; i++) items.push_back("item " + std::to_string(i));
}

// The dialog engine's view of the mouse, replaced for a test.
int fake_x, fake_y, fake_b_calls;
int mouse_x_fn() { return fake_x; }
int mouse_y_fn() { return fake_y; }
// The button counts as held for the next fake_b_calls questions.
int mouse_b_fn() { return fake_b_calls > 0 ? (fake_b_calls--, 1) : 0; }

struct FakeMouse {
  int (*sx)(), (*sy)(), (*sb)();
  FakeMouse(int x, int y, int held_calls) : sx(gui_mouse_x), sy(gui_mouse_y), sb(gui_mouse_b) {
    fake_x = x;
    fake_y = y;
    fake_b_calls = held_calls;
    gui_mouse_x = mouse_x_fn;
    gui_mouse_y = mouse_y_fn;
    gui_mouse_b = mouse_b_fn;
  }
  ~FakeMouse() {
    gui_mouse_x = sx;
    gui_mouse_y = sy;
    gui_mouse_b = sb;
  }
};


// A list of the given number of rows at (40, 40).
DIALOG list_object(DIALOG_PROC proc, int rows, int flags = 0) {
  font = display.dialog_font;
  int th = text_height(font);
  DIALOG d = {proc, 40, 40, 200, rows * th + 4, theme.fg_color, theme.bg_color, 0, flags, 0, 0,
              (void *)get_item, nullptr, nullptr};
  return d;
}

int row_top(const DIALOG &d, int row) { return d.y + 2 + row * text_height(font); }

// The largest offset any redraw showed.
int highest_drawn_offset;
int recording_list_proc(int msg, DIALOG *d, int c) {
  if (msg == MSG_DRAW && d->d2 > highest_drawn_offset) highest_drawn_offset = d->d2;
  return theme_list_proc(msg, d, c);
}

}  // namespace

TEST(ListBox, PageDownGoesToTheLastVisibleRowThenPages) {
  MemoryScreen ms;
  numbered_items(100);
  DIALOG d = list_object(theme_list_proc, 10);
  object_message(&d, MSG_START, 0);
  EXPECT_EQ(object_message(&d, MSG_CHAR, KEY_PGDN << 8), D_USED_CHAR);
  EXPECT_EQ(d.d1, 9);
  EXPECT_EQ(d.d2, 0);
  EXPECT_TRUE(d.flags & D_DIRTY);
  object_message(&d, MSG_CHAR, KEY_PGDN << 8);
  EXPECT_EQ(d.d1, 18);
  EXPECT_EQ(d.d2, 9);
  object_message(&d, MSG_CHAR, KEY_PGUP << 8);
  EXPECT_EQ(d.d1, 9);
  EXPECT_EQ(d.d2, 9);
  object_message(&d, MSG_CHAR, KEY_PGUP << 8);
  EXPECT_EQ(d.d1, 0);
  EXPECT_EQ(d.d2, 0);
  object_message(&d, MSG_CHAR, KEY_UP << 8);
  EXPECT_EQ(d.d1, 0);
  object_message(&d, MSG_CHAR, KEY_END << 8);
  EXPECT_EQ(d.d1, 99);
  EXPECT_EQ(d.d2, 90);
  object_message(&d, MSG_CHAR, KEY_DOWN << 8);
  EXPECT_EQ(d.d1, 99);
  object_message(&d, MSG_CHAR, KEY_HOME << 8);
  EXPECT_EQ(d.d1, 0);
  EXPECT_EQ(d.d2, 0);
  EXPECT_EQ(object_message(&d, MSG_CHAR, (KEY_A << 8) | 'a'), D_O_K);
}

TEST(ListBox, HundredItemsInTenRowsNeverScrollPastNinety) {
  MemoryScreen ms;
  numbered_items(100);
  DIALOG d = list_object(recording_list_proc, 10);
  object_message(&d, MSG_START, 0);

  for (int i = 0; i < 50; i++) object_message(&d, MSG_WHEEL, -1);
  EXPECT_EQ(d.d2, 90);
  object_message(&d, MSG_WHEEL, 1);
  EXPECT_EQ(d.d2, 87);

  // Held on the track below the thumb, the list pages to the end and stops.
  d.d2 = 0;
  highest_drawn_offset = 0;
  {
    FakeMouse mouse(d.x + d.w - 8, d.y + d.h - 5, 150);
    object_message(&d, MSG_CLICK, 0);
  }
  EXPECT_EQ(d.d2, 90);
  EXPECT_EQ(highest_drawn_offset, 90);

  // One short press pages once.
  d.d2 = 0;
  {
    FakeMouse mouse(d.x + d.w - 8, d.y + d.h - 5, 2);
    object_message(&d, MSG_CLICK, 0);
  }
  EXPECT_EQ(d.d2, 10);

  // An offset left too far is pulled back so that the last page is full.
  int cursor = 99, offset = 95;
  keep_cursor_visible(&d, 100, &cursor, &offset);
  EXPECT_EQ(offset, 90);
  cursor = 150;
  keep_cursor_visible(&d, 100, &cursor, &offset);
  EXPECT_EQ(cursor, 99);
  keep_cursor_visible(&d, 0, &cursor, &offset);
  EXPECT_EQ(cursor, 0);
  EXPECT_EQ(offset, 0);
}

TEST(ListBox, TypeAheadFollowsTheTypedPrefix) {
  MemoryScreen ms;
  items = {"alpha", "beta", "bravo"};
  DIALOG d = list_object(theme_text_list_proc, 10);
  object_message(&d, MSG_START, 0);

  EXPECT_EQ(object_message(&d, MSG_UCHAR, 'b'), D_USED_CHAR);
  EXPECT_EQ(d.d1, 1);
  EXPECT_EQ((intptr_t)d.dp3, 1);
  EXPECT_EQ(object_message(&d, MSG_UCHAR, 'R'), D_USED_CHAR);
  EXPECT_EQ(d.d1, 2);
  EXPECT_EQ((intptr_t)d.dp3, 2);
  object_message(&d, MSG_UCHAR, 'x');
  EXPECT_EQ(d.d1, 2);
  EXPECT_EQ((intptr_t)d.dp3, 0);

  // The cursor item itself matching keeps the cursor and lengthens the count.
  d.d1 = 1;
  object_message(&d, MSG_LOSTFOCUS, 0);
  EXPECT_EQ((intptr_t)d.dp3, 0);
  object_message(&d, MSG_UCHAR, 'b');
  EXPECT_EQ(d.d1, 1);
  EXPECT_EQ((intptr_t)d.dp3, 1);

  // No item continues "ba": the search starts again from the first letter.
  object_message(&d, MSG_UCHAR, 'a');
  EXPECT_EQ(d.d1, 0);

  // A control character resets the count.
  object_message(&d, MSG_UCHAR, 'b');
  ASSERT_NE((intptr_t)d.dp3, 0);
  object_message(&d, MSG_CHAR, (KEY_BACKSPACE << 8) | 8);
  EXPECT_EQ((intptr_t)d.dp3, 0);
}

TEST(ListBox, DoubleClickThatMovedTheCursorDoesNotClose) {
  MemoryScreen ms;
  numbered_items(20);
  DIALOG d = list_object(theme_list_proc, 10, D_EXIT);
  object_message(&d, MSG_START, 0);
  FakeMouse mouse(d.x + 30, row_top(d, 3) + 1, 0);
  EXPECT_EQ(object_message(&d, MSG_DCLICK, 0), D_O_K);
  EXPECT_EQ(d.d1, 3);
  EXPECT_EQ(object_message(&d, MSG_DCLICK, 0), D_CLOSE);
  EXPECT_EQ(d.d1, 3);
  EXPECT_EQ(object_message(&d, MSG_KEY, 0), D_CLOSE);

  // A double click on the scroll bar picks nothing.
  fake_x = d.x + d.w - 5;
  EXPECT_EQ(object_message(&d, MSG_DCLICK, 0), D_O_K);

  // Without D_EXIT a double click does nothing more.
  DIALOG plain = list_object(theme_list_proc, 10);
  fake_x = plain.x + 30;
  EXPECT_EQ(object_message(&plain, MSG_DCLICK, 0), D_O_K);
  EXPECT_EQ(plain.d1, 0);
  EXPECT_EQ(object_message(&plain, MSG_KEY, 0), D_O_K);
}

TEST(ListBox, ClickBelowTheListMovesOneRowFurther) {
  MemoryScreen ms;
  numbered_items(30);
  DIALOG d = list_object(theme_list_proc, 10);
  object_message(&d, MSG_START, 0);
  d.d1 = 9;
  FakeMouse mouse(d.x + 30, d.y + d.h + 20, 0);
  list_click(&d);
  EXPECT_EQ(d.d1, 10);
  EXPECT_EQ(d.d2, 1);
}

TEST(ListBox, ShiftSelectionAndClearing) {
  MemoryScreen ms;
  numbered_items(10);
  std::vector<char> selected(10, 0);
  DIALOG d = list_object(theme_list_proc, 5);
  d.dp2 = selected.data();
  object_message(&d, MSG_START, 0);
  d.d1 = 2;
  key_shifts = KB_SHIFT_FLAG;
  object_message(&d, MSG_CHAR, KEY_DOWN << 8);
  object_message(&d, MSG_CHAR, KEY_DOWN << 8);
  key_shifts = 0;
  EXPECT_EQ(d.d1, 4);
  for (int k = 0; k < 10; k++) EXPECT_EQ(selected[k] != 0, k >= 2 && k <= 4) << k;
  object_message(&d, MSG_CHAR, KEY_DOWN << 8);
  for (int k = 0; k < 10; k++) EXPECT_EQ(selected[k], 0) << k;
}

TEST(ListBoxLook, RowsAndFocusMarker) {
  MemoryScreen ms;
  numbered_items(3);
  DIALOG d = list_object(theme_list_proc, 6);
  d.d1 = 1;
  d.flags |= D_GOTFOCUS;
  object_message(&d, MSG_DRAW, 0);
  int th = text_height(font);
  int right = d.x + d.w - 3;  // no scroll bar: fewer items than rows
  EXPECT_EQ(d.bg, theme.light_color);

  // The cursor row is dark, the others and the empty rows light.
  Rgb mid = {56, 72, 89}, light = {173, 197, 222}, blue = {0, 0, 255};
  EXPECT_EQ(pixel_rgb(screen, right, row_top(d, 1)), mid);
  EXPECT_EQ(pixel_rgb(screen, d.x + 9, row_top(d, 1)), mid);
  EXPECT_EQ(pixel_rgb(screen, right, row_top(d, 0)), light);
  EXPECT_EQ(pixel_rgb(screen, right, row_top(d, 4)), light);
  EXPECT_EQ(pixel_rgb(screen, d.x + d.w - 14, row_top(d, 2)), light);  // no divider

  // The blue focus marker sits in the cursor row's margin.
  EXPECT_EQ(pixel_rgb(screen, d.x + 3, row_top(d, 1) + th - 3), blue);
  EXPECT_EQ(pixel_rgb(screen, d.x + 3, row_top(d, 1) + 2), blue);

  // Without the focus the row stays dark but has no marker.
  d.flags &= ~D_GOTFOCUS;
  object_message(&d, MSG_DRAW, 0);
  EXPECT_EQ(pixel_rgb(screen, d.x + 3, row_top(d, 1) + th - 3), mid);
  EXPECT_EQ(pixel_rgb(screen, right, row_top(d, 1)), mid);
}

TEST(ListBoxLook, ScrollBarWithDividerAndNarrowRowsCutToNothing) {
  MemoryScreen ms;
  numbered_items(40);
  DIALOG d = list_object(theme_list_proc, 10);
  object_message(&d, MSG_DRAW, 0);
  Rgb light = {173, 197, 222};
  // The divider is drawn in the list's own colour, the text stops before it.
  EXPECT_EQ(pixel_rgb(screen, d.x + d.w - 14, d.y + 10), light);
  EXPECT_EQ(pixel_rgb(screen, d.x + d.w - 15, row_top(d, 5)), light);

  // A list too narrow for one character draws its rows empty.
  items = {"wide item text"};
  DIALOG narrow = list_object(theme_list_proc, 3);
  narrow.w = 12;
  object_message(&narrow, MSG_DRAW, 0);
  Rgb mid = {56, 72, 89};
  EXPECT_EQ(pixel_rgb(screen, narrow.x + 9, row_top(narrow, 0)), mid);
}
