#include "terrain/terrain_description.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/startup.h"
#include "app/status_bar.h"
#include "terrain/regular_file.h"
#include "terrain/terrain_model.h"

enum { DESCRIPTION_VALUE_SIZE = 64 };

void append_number3(char *text, int n) {
  char digits[16];
  if (n >= 0 && n <= 999) {
    // The readers build hundreds of keys per file: no formatting for these.
    digits[0] = (char)('0' + n / 100);
    digits[1] = (char)('0' + n / 10 % 10);
    digits[2] = (char)('0' + n % 10);
    digits[3] = 0;
  } else {
    snprintf(digits, sizeof(digits), "%s%s%d", n < 100 ? "0" : "", n < 10 ? "0" : "", n);
  }
  strcat(text, digits);
}

long parse_leading_int(const char *text, long low, long high) {
  const unsigned char *p = (const unsigned char *)text;
  while (*p && isspace(*p)) p++;
  int negative = 0;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // The magnitude stops growing far beyond any range a caller asks for, so a
  // long run of digits clamps instead of overflowing.
  const long long saturated = 100000000000000000LL;
  long long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; p++)
    if (magnitude < saturated) magnitude = magnitude * 10 + (*p - '0');
  const long long value = negative ? -magnitude : magnitude;
  if (value < low) return low;
  if (value > high) return high;
  return (long)value;
}

void copy_cut(char *dest, const char *src, int size) {
  if (size <= 0) return;
  size_t n = strlen(src);
  if (n > (size_t)size - 1) n = (size_t)size - 1;
  memcpy(dest, src, n);
  dest[n] = 0;
}

int load_terrain_description(const char *path) {
  use_config_file(path);
  show_progress("Loading DataFile");

  for (int n = 1; n < MAX_TEXTURES; n++) {
    TextureEntry &entry = texture_table.textures[n];
    char section[32] = "Texture";
    append_number3(section, n);
    copy_cut(entry.filename, get_config_string(section, "Filename", "NONE"), PATH_SIZE);
    if (strcmp(entry.filename, "NONE") != 0) {
      texture_table.textures_declared++;
      texture_table.last_declared_texture = n;
      char water[DESCRIPTION_VALUE_SIZE];
      copy_cut(water, get_config_string(section, "HasWater", "NONE"), sizeof(water));
      entry.has_water = (int16_t)parse_leading_int(water, INT16_MIN, INT16_MAX);
    }
    entry.loaded = 0;
  }
  return texture_table.textures_declared;
}
