#include "files/land_set_text.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "core/terrain_model.h"
#include "files/config_lines.h"

namespace {

// The number of a "[PREFIXdigits]" header (prefix lower case), -1 for none;
// digits beyond six count as out of range.
long numbered_section(const char *text, const ConfigEntry &e, const char *prefix, size_t most_digits) {
  const size_t n = strlen(prefix);
  const long length = e.name_length;
  if ((size_t)length < n + 3 || strncasecmp(text + e.name, prefix, n) != 0 || text[e.name + length - 1] != ']') return -1;
  const std::string digits(text + e.name + n, (size_t)length - n - 1);
  if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > most_digits) return -1;
  return digits.size() > 6 ? 1000000 : atol(digits.c_str());
}

std::string number3(int n) {
  char out[16];
  snprintf(out, sizeof(out), "%03d", n);
  return out;
}

// New sections of a text that had none: the plain form the other writers use.
std::string sections_text(const std::vector<ConfigValue> &values) {
  std::string out, section;
  for (const ConfigValue &v : values) {
    if (v.section != section) out += (out.empty() ? "[" : "\n[") + v.section + "]\n";
    section = v.section;
    out += v.key + "=" + v.value + "\n";
  }
  return out;
}

std::string with_values(const char *text, long size, const std::vector<ConfigValue> &values) {
  if (size == 0) return sections_text(values);
  return config_text_with_values(text, size, values);
}

}  // namespace

int highest_listed_texture(const char *text, long size) {
  int high = 0;
  long at = 0;
  ConfigEntry e;
  while (config_next_entry(text, size, &at, &e)) {
    if (!config_is_section(text, e) || e.name_length != 12) continue;
    const long n = numbered_section(text, e, "[texture", 3);
    if (n >= 1 && n < MAX_TEXTURES && n > high) high = (int)n;
  }
  return high;
}

void highest_land_sections(const char *text, long size, long *land, long *texture) {
  *land = *texture = 0;
  long at = 0;
  ConfigEntry e;
  while (config_next_entry(text, size, &at, &e)) {
    if (!config_is_section(text, e)) continue;
    const long l = numbered_section(text, e, "[land", 64), t = numbered_section(text, e, "[texture", 64);
    if (l > *land) *land = l;
    if (t > *texture) *texture = t;
  }
}

std::string texture_list_with(const char *text, long size, const std::vector<SetTexture> &textures) {
  std::vector<ConfigValue> values;
  for (const SetTexture &t : textures) {
    const std::string section = "Texture" + number3(t.number);
    values.push_back({section, "Filename", t.filename, false});
    values.push_back({section, "HasWater", std::to_string(t.has_water), false});
  }
  return with_values(text, size, values);
}

std::string lands_file_with(const char *text, long size, const std::vector<SetLand> &new_lands,
                            const std::vector<SetTexture> &textures) {
  std::vector<ConfigValue> values;
  for (const SetLand &l : new_lands) {
    const std::string section = "Land" + number3(l.number);
    values.push_back({section, "Name", l.name, false});
    values.push_back({section, "Color", std::to_string(l.r) + "," + std::to_string(l.g) + "," + std::to_string(l.b), false});
  }
  for (const SetTexture &t : textures) {
    const std::string section = "Texture" + number3(t.number);
    values.push_back({section, "Corners", t.corners, false});
    values.push_back({section, "Weight", std::to_string(t.weight), false});
  }
  return with_values(text, size, values);
}
