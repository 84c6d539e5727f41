#include "ui/dialog_theme.h"

#include "ui/display.h"
#include "ui/draw_box.h"
#include "ui/list_box.h"
#include "ui/print_label.h"
#include "ui/shadow_blenders.h"

DialogTheme theme;

// The library's file selector is the only window of this width.
#define FILE_SELECTOR_WIDTH 346
#define ALERT_OBJECTS 8

void install_dialog_theme() {
  // The theme is the start-up colours under the names the dialogs read.
  theme.fg_color = display.colour_black;
  theme.bg_color = display.colour_steel;
  theme.mid_color = display.colour_dark_slate;
  theme.light_color = display.colour_pale_blue;
  theme.focus_color = display.colour_blue;

  gui_button_proc = theme_button_proc;
  gui_shadow_box_proc = theme_window_proc;
  gui_ctext_proc = theme_ctext_proc;
  gui_text_list_proc = theme_text_list_proc;
  gui_list_proc = theme_list_proc;
  gui_menu_draw_menu = theme_menu_box;
  gui_menu_draw_menu_item = theme_menu_item;

  gui_bg_color = theme.bg_color;
  gui_fg_color = theme.fg_color;
  gui_mg_color = theme.mid_color;
}

static const char *object_text(const DIALOG *d) { return d->dp ? (const char *)d->dp : ""; }

// Face and label of a button; the label stays put whether up or pressed.
static void draw_button(DIALOG *d, int style, int label_colour) {
  scare_mouse_area(d->x, d->y, d->x + d->w - 1, d->y + d->h - 1);
  draw_box(screen, d->x, d->y, d->x + d->w - 1, d->y + d->h - 1, d->bg, style);
  print_label(screen, 1, d->x + (d->w - 1) / 2 + 1, d->y + (d->h - text_height(font) - 1) / 2 + 2,
              label_colour, -1, "%s", object_text(d));
  unscare_mouse();
}

int theme_button_proc(int msg, DIALOG *d, int c) {
  if (msg == MSG_DRAW) {
    int colour = (d->flags & D_DISABLED) ? theme.mid_color : d->fg;
    int style = (d->flags & (D_SELECTED | D_DISABLED)) ? BOX_BUTTON_PRESSED : BOX_BUTTON;
    // While an exit button is held down its label keeps the normal colour.
    int held_exit = (d->flags & D_SELECTED) && (d->flags & D_EXIT);
    if ((d->flags & D_GOTFOCUS) && !held_exit) colour = theme.focus_color;
    draw_button(d, style, colour);
    return D_O_K;
  }
  if (msg == MSG_KEY) {
    // A key press shows as a short press of the button.
    draw_button(d, BOX_BUTTON_PRESSED, d->fg);
    rest(70);
  }
  return d_button_proc(msg, d, c);
}

// The library's alert boxes are a frame, three lines, three buttons and a
// yield object; the file selector and the program's own dialogs differ.
static int is_alert_box(const DIALOG *d) {
  int n = 0;
  while (n < ALERT_OBJECTS && d[n].proc) n++;
  return n == ALERT_OBJECTS && !d[n].proc && d[ALERT_OBJECTS - 1].proc == d_yield_proc;
}

// While an alert is up the keyboard focus stays where the keys put it (on
// the default button at first): a focus that followed the pointer would
// leave Return with no button, or the wrong one, whenever the pointer
// happened to cross the box.
static int alert_saved_mouse_focus;
static const DIALOG *alert_frame;

static void alert_started(const DIALOG *d) {
  if (alert_frame || !is_alert_box(d)) return;
  alert_frame = d;
  alert_saved_mouse_focus = gui_mouse_focus;
  gui_mouse_focus = FALSE;
}

static void alert_ended(const DIALOG *d) {
  if (d != alert_frame) return;
  gui_mouse_focus = alert_saved_mouse_focus;
  alert_frame = nullptr;
}

int theme_window_proc(int msg, DIALOG *d, int) {
  if (msg == MSG_START) alert_started(d);
  if (msg == MSG_END) alert_ended(d);
  if (msg != MSG_DRAW) return D_O_K;
  int x = d->x, y = d->y, w = d->w, h = d->h;
  draw_box(screen, x, y, x + w - 2, y + h - 2, d->bg, BOX_WINDOW);

  set_blender_mode(shadow_blender_15, shadow_blender_16, shadow_blender_24, 0, 0, 0, 140);
  drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
  hline(screen, x + 1, y + h - 1, x + w - 2, 0);
  vline(screen, x + w - 1, y + 1, y + h - 1, 0);
  solid_mode();

  if (d->dp) print_label(screen, 0, x + 6, y + 6, d->fg, -1, "%s", (const char *)d->dp);
  if (w == FILE_SELECTOR_WIDTH) {
    hline(screen, x + 3, y + 3, x + 342, theme.focus_color);
    print_label(screen, 0, x + 6, y + 6, d->fg, -1, "%s", "file selection");
  }
  return D_O_K;
}

int theme_ctext_proc(int msg, DIALOG *d, int) {
  if (msg != MSG_DRAW) return D_O_K;
  int colour = (d->flags & D_DISABLED) ? theme.mid_color : d->fg;
  print_label(screen, 1, d->x + d->w / 2, d->y, colour, -1, "%s", object_text(d));
  return D_O_K;
}

int theme_text_proc(int msg, DIALOG *d, int) {
  if (msg == MSG_DRAW) print_label(screen, 0, d->x, d->y, d->fg, -1, "%s", object_text(d));
  return D_O_K;
}

int theme_edit_proc(int msg, DIALOG *d, int c) {
  if (msg == MSG_DRAW) draw_box(screen, d->x - 2, d->y - 2, d->x + d->w + 1, d->y + d->h + 1, theme.bg_color, BOX_SUNKEN);
  return d_edit_proc(msg, d, c);
}

int theme_choice_proc(int msg, DIALOG *d, int c) {
  if (msg != MSG_DRAW) return d_radio_proc(msg, d, c);
  // The choice stands out from the others by its lighter face, pressed in.
  const int face = d->bg;
  if (d->flags & D_SELECTED) d->bg = theme.light_color;
  theme_button_proc(msg, d, c);
  d->bg = face;
  return D_O_K;
}

void theme_menu_box(int x, int y, int w, int h) {
  draw_box(screen, x, y, x + w - 1, y + h - 1, gui_bg_color, BOX_PANEL);
}

void theme_menu_item(MENU *m, int x, int y, int w, int, int, int sel) {
  int fg = gui_fg_color, bg = gui_bg_color;
  if (m->flags & D_DISABLED) {
    fg = gui_mg_color;
  } else if (sel) {
    fg = theme.light_color;
    bg = theme.mid_color;
  }
  rectfill(screen, x + 1, y + 1, x + w - 2, y + text_height(font) + 2, bg);
  if (m->text && m->text[0]) gui_textout_ex(screen, m->text, x + 8, y + 1, fg, bg, FALSE);
}

int capped_alert(const char *s1, const char *s2, const char *s3, const char *b1, const char *b2,
                 int c1, int c2) {
  int result = alert(s1, s2, s3, b1, b2, c1, c2);
  return result > 2 ? 2 : result;
}

void scale_dialog(DIALOG *dialog) {
  if (!dialog || !dialog[0].proc) return;
  int k = display.ui_scale;
  while (k > 1 && (dialog[0].w * k > display.screen_width || dialog[0].h * k > display.screen_height)) k--;
  if (k <= 1) return;
  const int cx = display.screen_width / 2, cy = display.screen_height / 2;
  for (DIALOG *d = dialog; d->proc; d++) {
    d->x = cx + (d->x - cx) * k;
    d->y = cy + (d->y - cy) * k;
    d->w *= k;
    d->h *= k;
  }
}
