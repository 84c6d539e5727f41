// The program's dialog look, installed into the library's GUI hooks.
#pragma once

#include <allegro.h>

// The five colours of every dialog, taken from the start-up colours.
struct DialogTheme {
  int fg_color;
  int bg_color;
  int mid_color;
  int light_color;
  int focus_color;
};

extern DialogTheme theme;

// Sets the five colours from the start-up colours and installs every hook
// procedure; called after the start-up colours are made.
void install_dialog_theme();

int theme_button_proc(int msg, DIALOG *d, int c);
int theme_window_proc(int msg, DIALOG *d, int c);
int theme_ctext_proc(int msg, DIALOG *d, int c);
// A text at the object's left edge, in its colour.
int theme_text_proc(int msg, DIALOG *d, int c);
// The library's text field (d1 characters into dp) inside a sunken frame.
int theme_edit_proc(int msg, DIALOG *d, int c);
// One choice of a group (d1 names the group): a button that stays pressed
// while it is the group's choice; choosing it lets the others go.
int theme_choice_proc(int msg, DIALOG *d, int c);
void theme_menu_box(int x, int y, int w, int h);
void theme_menu_item(MENU *m, int x, int y, int w, int h, int bar, int sel);

// alert() with any result above 2 returned as 2.
int capped_alert(const char *s1, const char *s2, const char *s3, const char *b1, const char *b2,
                 int c1, int c2);

// A dialog laid out for scale 1 and centred on the screen, grown to the
// interface's scale about the screen's centre: every object's place and
// size times the scale (less where the first object, its frame, would no
// longer fit the screen). The texts grow with the scaled fonts.
void scale_dialog(DIALOG *dialog);
