// Text with degree signs in the program's fonts, which hold ASCII 32-126
// only: each sign ("°" in UTF-8) takes a blank's room and is drawn there as
// a small ring at the height of the digits' tops.
#pragma once

#include <allegro.h>

// The text's width in f, each sign counted as a blank.
int degree_text_length(FONT *f, const char *text);

// Draws the text at (x, y) in fg on bg (-1: transparent), as textout_ex
// would with the signs drawn as rings; returns its width.
int degree_textout(BITMAP *bmp, FONT *f, const char *text, int x, int y, int fg, int bg);
