// Formatted text with '&' hot-key markers, fitted to the bitmap's width.
#pragma once

#include <allegro.h>

// centred > 0: centred on x; otherwise left-aligned at x. bg -1: transparent.
void print_label(BITMAP *bmp, int centred, int x, int y, int fg, int bg, const char *format, ...);

// Ends the text after its first n characters when 0 <= n < its length.
void cut_text(char *text, int n);
