#include "ui/shadow_blenders.h"

unsigned long shadow_blender_15(unsigned long, unsigned long y, unsigned long) { return y; }
unsigned long shadow_blender_16(unsigned long, unsigned long y, unsigned long) { return y; }
unsigned long shadow_blender_24(unsigned long, unsigned long y, unsigned long) { return y; }
