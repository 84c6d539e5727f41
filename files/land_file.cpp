#include "files/land_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <vector>

#include "core/land_table.h"
#include "core/regular_file.h"
#include "core/text_numbers.h"
#include "files/config_lines.h"

namespace {

enum SectionKind { SECTION_OTHER, SECTION_LAND, SECTION_TEXTURE };

struct Key {
  std::string name, value;
  long line;
};

struct Section {
  int kind = SECTION_OTHER;
  long number = 0;
  long line = 0;
  std::string header;
  std::vector<Key> keys;
};

// "[Land001]" or "[Texture007]": the kind and the number (up to 6 digits
// read; more count as out of range), else SECTION_OTHER.
int section_kind(const std::string &header, long *number) {
  const char *prefixes[] = {"[land", "[texture"};
  for (int k = 0; k < 2; k++) {
    const size_t n = strlen(prefixes[k]);
    if (header.size() < n + 2 || strncasecmp(header.c_str(), prefixes[k], n) != 0) continue;
    const std::string digits = header.substr(n, header.size() - n - 1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    *number = digits.size() > 6 ? 1000000 : atol(digits.c_str());
    return k == 0 ? SECTION_LAND : SECTION_TEXTURE;
  }
  return SECTION_OTHER;
}

std::vector<Section> sections_of(const char *text, long size) {
  std::vector<Section> sections(1);
  long at = 0, line = 0;
  while (at < size) {
    const ConfigLine l = config_line_at(text, size, at);
    at = l.next;
    line++;
    const ConfigEntry e = config_entry_of(text, l.start, l.end);
    if (e.name_length == 0) continue;
    const std::string name(text + e.name, (size_t)e.name_length);
    if (config_is_section(text, e)) {
      Section s;
      s.header = name;
      s.line = line;
      s.kind = section_kind(name, &s.number);
      sections.push_back(s);
    } else {
      sections.back().keys.push_back({name, std::string(text + e.value, (size_t)e.value_length), line});
    }
  }
  return sections;
}

struct Reading {
  bool faulty = false;
  void problem(const Section &s, long line, const std::string &what) {
    lands.problems.push_back({s.header + ", line " + std::to_string(line) + ": " + what});
    faulty = true;
  }
};

// The section's keys by name; a key given twice is a problem. false when
// the section is to be left out.
bool keys_of(Reading &r, const Section &s, const char *const *names, int count, const Key **found) {
  bool good = true;
  for (int i = 0; i < count; i++) found[i] = nullptr;
  for (const Key &k : s.keys)
    for (int i = 0; i < count; i++) {
      if (strcasecmp(k.name.c_str(), names[i]) != 0) continue;
      if (found[i]) {
        r.problem(s, k.line, std::string(names[i]) + " is given twice");
        good = false;
      } else {
        found[i] = &k;
      }
    }
  return good;
}

// A section number seen before (the later one is left out) or out of range.
bool numbered_well(Reading &r, const Section &s, long high, const char *what, std::vector<bool> &seen) {
  if (s.number < 1 || s.number > high) {
    r.problem(s, s.line, std::string(what) + " numbers run from 001 to " + std::to_string(high));
    return false;
  }
  if (seen[(size_t)s.number]) {
    r.problem(s, s.line, "the section is given twice");
    return false;
  }
  seen[(size_t)s.number] = true;
  return true;
}

void read_land(Reading &r, const Section &s, std::vector<bool> &seen) {
  static const char *const names[] = {"Name", "Color"};
  const Key *k[2];
  if (!numbered_well(r, s, MAX_LANDS - 1, "land", seen) || !keys_of(r, s, names, 2, k)) return;
  if (!k[0] || !k[1]) {
    r.problem(s, s.line, !k[0] ? "no Name" : "no Color");
    return;
  }
  const std::string &name = k[0]->value;
  if (name.empty() || name.size() >= LAND_NAME_SIZE || name.find(',') != std::string::npos) {
    r.problem(s, k[0]->line, name.empty() ? "the Name is empty"
                             : name.size() >= LAND_NAME_SIZE ? "the Name is longer than 63 characters"
                                                             : "the Name holds a comma, which parts the Corners");
    return;
  }
  if (const int other = land_named(name.c_str())) {
    r.problem(s, k[0]->line, "the Name " + name + " is land " + std::to_string(other) + "'s already");
    return;
  }
  long rgb[3];
  if (parse_whole_numbers(k[1]->value.c_str(), rgb, 3) != 0 || rgb[0] > 255 || rgb[1] > 255 || rgb[2] > 255) {
    r.problem(s, k[1]->line, "Color " + k[1]->value + " is not three numbers from 0 to 255 (r,g,b)");
    return;
  }
  for (int n = 1; n < MAX_LANDS; n++) {
    const Land &o = lands.lands[n];
    if (o.name[0] && o.r == rgb[0] && o.g == rgb[1] && o.b == rgb[2]) {
      r.problem(s, k[1]->line, "Color " + k[1]->value + " is land " + std::to_string(n) + "'s already");
      return;
    }
  }
  Land &land = lands.lands[s.number];
  copy_cut(land.name, name.c_str(), LAND_NAME_SIZE);
  land.r = (uint8_t)rgb[0];
  land.g = (uint8_t)rgb[1];
  land.b = (uint8_t)rgb[2];
  lands.land_count++;
}

void read_texture(Reading &r, const Section &s, std::vector<bool> &seen) {
  static const char *const names[] = {"Corners", "Weight"};
  const Key *k[2];
  if (!numbered_well(r, s, MAX_TEXTURES - 1, "texture", seen) || !keys_of(r, s, names, 2, k)) return;
  if (!k[0]) {
    r.problem(s, s.line, "no Corners");
    return;
  }
  std::vector<std::string> parts;
  const std::string &list = k[0]->value;
  for (size_t start = 0;;) {
    const size_t comma = list.find(',', start);
    std::string part = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const size_t first = part.find_first_not_of(" \t"), last = part.find_last_not_of(" \t");
    parts.push_back(first == std::string::npos ? "" : part.substr(first, last - first + 1));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (parts.size() != LAND_CORNERS) {
    r.problem(s, k[0]->line, "Corners lists " + std::to_string(parts.size()) + " names, not four");
    return;
  }
  int corner[LAND_CORNERS];
  for (int i = 0; i < LAND_CORNERS; i++) {
    corner[i] = land_named(parts[(size_t)i].c_str());
    if (!corner[i]) {
      r.problem(s, k[0]->line, "Corners names " + (parts[(size_t)i].empty() ? "nothing" : parts[(size_t)i]) +
                                   ", which is no land");
      return;
    }
  }
  long weight = 1;
  if (k[1] && (parse_whole_numbers(k[1]->value.c_str(), &weight, 1) != 0 || weight > LAND_WEIGHT_MAX)) {
    r.problem(s, k[1]->line,
              "Weight " + k[1]->value + " is not a whole number from 0 to " + std::to_string(LAND_WEIGHT_MAX));
    return;
  }
  lands.corners[s.number] = land_corners(corner[0], corner[1], corner[2], corner[3]);
  lands.weight[s.number] = (uint32_t)weight;
}

}  // namespace

int read_land_text(const char *text, long size) {
  clear_land_table();
  lands.file_read = 1;
  Reading r;
  const std::vector<Section> sections = sections_of(text, size);
  // Every land first: a texture may name a land declared below it.
  std::vector<bool> seen_lands(MAX_LANDS), seen_textures(MAX_TEXTURES);
  for (const Section &s : sections)
    if (s.kind == SECTION_LAND) read_land(r, s, seen_lands);
  for (const Section &s : sections)
    if (s.kind == SECTION_TEXTURE) read_texture(r, s, seen_textures);
  index_land_table();
  return r.faulty ? RESULT_BAD_DATA : RESULT_OK;
}

int load_land_file(const char *path) {
  clear_land_table();
  int too_large, error;
  const int result =
      read_config_file(path, [](const char *text, long size) { return read_land_text(text, size); }, &too_large, &error);
  if (result == RESULT_CANNOT_OPEN) {
    lands.file_read = 1;
    lands.problems.push_back({too_large ? "over the 64 MB a lands file may hold; it is not read" : "cannot be read"});
  }
  return result;
}

std::vector<int> land_file_textures(const char *text, long size) {
  std::vector<int> numbers;
  for (const Section &s : sections_of(text, size)) {
    if (s.kind != SECTION_TEXTURE || s.number < 1 || s.number >= MAX_TEXTURES) continue;
    for (const Key &k : s.keys)
      if (strcasecmp(k.name.c_str(), "Corners") == 0) {
        numbers.push_back((int)s.number);
        break;
      }
  }
  return numbers;
}

std::string lands_unusable_text(const char *path) {
  if (lands_in_use()) return "";
  const std::string name = QuotedName(path).text;
  if (!lands.file_read) return name + " does not exist";
  // A file that could not be read has one problem, without a line.
  if (lands.problems.size() == 1 && lands.problems[0].what.find(", line ") == std::string::npos)
    return name + ": " + lands.problems[0].what;
  return name + " declares no land";
}
