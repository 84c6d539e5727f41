// The _DATA.ini terrain description: texture file names and water flags.
#pragma once

// Number of declared textures; 0 when the file is missing or declares none.
int load_terrain_description(const char *path);

// Appends n (0..999) padded with zeros to three digits.
void append_number3(char *text, int n);

// The integer at the start of text: leading blanks, an optional sign and the
// decimal digits that follow; 0 without digits. Values beyond low..high are
// clamped, however many digits there are.
long parse_leading_int(const char *text, long low, long high);

// Copies src into dest of size bytes, cut to size - 1 characters.
void copy_cut(char *dest, const char *src, int size);
