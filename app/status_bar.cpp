#include "app/status_bar.h"
#include "app/startup.h"

void show_message(BITMAP *, int, int, int, const char *, ...) {}
void draw_status_bar(BITMAP *, int, int) {}
void draw_empty_status_bar(BITMAP *) {}
