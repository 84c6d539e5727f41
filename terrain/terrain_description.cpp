#include "terrain/terrain_description.h"

int load_terrain_description(const char *) { return 0; }
void append_number3(char *, int) {}
