#include "ui/manual_text.h"

int manual_text_proc(int, DIALOG *, int) { return D_O_K; }
void draw_html_text(const char *, int *line_count, int, int, int, int, int, int, int, int, int, int, int, int) { *line_count = 0; }
