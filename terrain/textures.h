// Texture bitmaps: eight levels and a sample colour per texture entry.
#pragma once

int load_textures();             // 0, or 1 when a bitmap cannot be created
int make_texture_levels(int t);  // 0, or 1 when a level cannot be created
