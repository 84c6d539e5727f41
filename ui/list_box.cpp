#include "ui/list_box.h"

int theme_list_proc(int msg, DIALOG *d, int c) { return d_list_proc(msg, d, c); }
int theme_text_list_proc(int msg, DIALOG *d, int c) { return d_text_list_proc(msg, d, c); }
void draw_scroll_frame(DIALOG *, int, int, int, int) {}
void scroll_bar_click(DIALOG *, int, int *, int) {}
void keep_cursor_visible(DIALOG *, int, int *, int *) {}
void list_click(DIALOG *) {}
void draw_list_rows(DIALOG *) {}
void idle_tick() {}
