#include "render/export_bitmap.h"

int export_bitmap(int) { return 1; }
int numbered_output_name(const char *, char *) { return 1; }
