// Themed list boxes, with the frame and scroll bar the manual box shares.
#pragma once

#include <allegro.h>

int theme_list_proc(int msg, DIALOG *d, int c);
int theme_text_list_proc(int msg, DIALOG *d, int c);

void draw_scroll_frame(DIALOG *d, int count, int offset, int visible, int colour);
void scroll_bar_click(DIALOG *d, int count, int *offset, int visible);
void keep_cursor_visible(DIALOG *d, int count, int *cursor, int *offset);
void list_click(DIALOG *d);
void draw_list_rows(DIALOG *d);
void idle_tick();
