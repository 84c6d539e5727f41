// Blenders that darken what lies underneath, for drop shadows.
#pragma once

unsigned long shadow_blender_15(unsigned long x, unsigned long y, unsigned long n);
unsigned long shadow_blender_16(unsigned long x, unsigned long y, unsigned long n);
unsigned long shadow_blender_24(unsigned long x, unsigned long y, unsigned long n);
