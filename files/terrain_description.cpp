#include "files/terrain_description.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/regular_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "files/config_lines.h"

enum { DESCRIPTION_VALUE_SIZE = 64 };

// The first Filename and HasWater entry of each [TextureNNN] section, found
// in one pass over the text (looking up 1022 keys through the library took
// as long as reading the file many times over). A section that comes back
// further down holds more of its keys, as in the library's look-ups.
struct DescriptionKeys {
  ConfigEntry filename[MAX_TEXTURES];
  ConfigEntry water[MAX_TEXTURES];
  bool has_filename[MAX_TEXTURES];
  bool has_water[MAX_TEXTURES];
};

// The number of a "[TextureNNN]" header (three digits, 1..511), else 0.
static int texture_section(const char *text, const ConfigEntry &entry) {
  if (entry.name_length != 12) return 0;
  const char *name = text + entry.name;
  char head[9];
  memcpy(head, name, 8);
  head[8] = 0;
  for (char &c : head) c = c >= 'A' && c <= 'Z' ? (char)(c + 32) : c;
  if (strcmp(head, "[texture") != 0 || name[11] != ']') return 0;
  int n = 0;
  for (int i = 8; i < 11; i++) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n < MAX_TEXTURES ? n : 0;
}

static void find_keys(const char *text, long size, DescriptionKeys &keys) {
  int section = 0;
  long at = 0;
  ConfigEntry entry;
  while (config_next_entry(text, size, &at, &entry)) {
    if (config_is_section(text, entry)) {
      section = texture_section(text, entry);
    } else if (section > 0) {
      if (!keys.has_filename[section] && config_name_is(text, entry, "Filename")) {
        keys.filename[section] = entry;
        keys.has_filename[section] = true;
      } else if (!keys.has_water[section] && config_name_is(text, entry, "HasWater")) {
        keys.water[section] = entry;
        keys.has_water[section] = true;
      }
    }
  }
}

// The entry's value, cut to size - 1 characters; fallback when there is no
// entry or its value is empty, as the library's look-up answers.
static void value_of(const char *text, bool found, const ConfigEntry &entry, const char *fallback,
                     char *out, int size) {
  if (!found || entry.value_length == 0) {
    copy_cut(out, fallback, size);
    return;
  }
  const long n = entry.value_length < size - 1 ? entry.value_length : size - 1;
  memcpy(out, text + entry.value, (size_t)n);
  out[n] = 0;
}

int load_terrain_description(const char *path, const Reporter *reporter) {
  long size = 0;
  char *text = read_whole_file(path, &size);
  report_progress(reporter, "Loading DataFile");
  static DescriptionKeys keys;
  memset(&keys, 0, sizeof(keys));
  if (text) find_keys(text, size, keys);

  for (int n = 1; n < MAX_TEXTURES; n++) {
    TextureEntry &entry = texture_table.textures[n];
    value_of(text, keys.has_filename[n], keys.filename[n], "NONE", entry.filename, PATH_SIZE);
    if (strcmp(entry.filename, "NONE") != 0) {
      texture_table.textures_declared++;
      texture_table.last_declared_texture = n;
      char water[DESCRIPTION_VALUE_SIZE];
      value_of(text, keys.has_water[n], keys.water[n], "NONE", water, sizeof(water));
      entry.has_water = (int16_t)parse_leading_int(water, INT16_MIN, INT16_MAX);
    }
    entry.loaded = 0;
  }
  free(text);
  return texture_table.textures_declared > 0 ? RESULT_OK : RESULT_NOTHING_READ;
}
