// The manual's HTML text box.
#pragma once

#include <allegro.h>

int manual_text_proc(int msg, DIALOG *d, int c);

// Measures the text as lines that fit the box, stores their number, and with
// draw set draws them from offset on into the box on the screen.
void draw_html_text(const char *text, int *line_count, int draw, int offset, int wrap, int tab_size,
                    int x, int y, int w, int h, int disabled, int text_colour, int background,
                    int disabled_colour);
