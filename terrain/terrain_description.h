// The _DATA.ini terrain description: texture file names and water flags.
#pragma once

// Number of declared textures; 0 when the file is missing or declares none.
int load_terrain_description(const char *path);

// Appends n (0..999) padded with zeros to three digits.
void append_number3(char *text, int n);
