#include "tests/unit/target_reference.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include "core/regular_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "files/target_areas.h"
#include "files/terrain_description.h"

// The reference: every key looked up through the library's configuration
// reader, one window of the text at a time, as the areas were first read.
namespace reference {

const long WINDOW = 45000;

void key_of(char *key, int t, const char *field) {
  strcpy(key, "Target[");
  append_number3(key, t);
  strcat(key, "].");
  strcat(key, field);
}

float to_float(double value) {
  if (std::isnan(value)) return 0;
  if (value > FLT_MAX) return FLT_MAX;
  if (value < -FLT_MAX) return -FLT_MAX;
  return (float)value;
}

void read_area_targets(const char *section, TargetArea &area) {
  char key[32];
  for (int t = 1; t < MAX_TARGETS; t++) {
    Target &target = area.targets[t];
    key_of(key, t, "Type");
    copy_cut(target.type, get_config_string(section, key, "NONE"), NAME_SIZE);
    if (strcmp(target.type, "NONE") == 0) break;
    key_of(key, t, "Offset");
    const char *offset = get_config_string(section, key, "NONE");
    target.offset_x = target.file_offset_x = parse_float(offset);
    target.offset_y = target.file_offset_y = parse_float_after_comma(offset);
    target.file_number = t;  // where the writer finds it again
    area.target_count++;
    if (t == 1 && strncmp(target.type, "Runway", 6) == 0) {
      key_of(key, 1, "Heading");
      const int heading = get_config_int(section, key, 0) % 360;
      target.heading = heading < 0 ? heading + 360 : heading;
      area.runway_number = (int32_t)parse_leading_int(target.type + 6, INT32_MIN, INT32_MAX);
    }
  }
}

void read(const char *text, long size) {
  long p = 0;
  for (int n = 1; n < MAX_AREAS; n++) {
    if (n > 1 && p < size - 1) {
      p++;
      while (p < size - 1 && !(text[p] == '\n' && text[p + 1] == '[')) p++;
    }
    set_config_data(text + p, (int)std::min(size - p, WINDOW));
    char section[32] = "TargetArea";
    append_number3(section, n);
    TargetArea &area = targets.areas[n];
    area.target_count = 0;
    area.file_number = n;
    copy_cut(area.name, get_config_string(section, "Name", "NONE"), NAME_SIZE);
    if (strcmp(area.name, "NONE") == 0) break;
    char position[64];
    copy_cut(position, get_config_string(section, "Position", "NONE"), sizeof(position));
    if (strcmp(position, "NONE") == 0) break;
    area.pos_x = parse_float(position);
    area.pos_y = parse_float_after_comma(position);
    area.enemy = get_config_string(section, "Alignment", "NONE")[0] == 'F' ? 0 : 1;
    targets.area_count++;
    area.runway_number = -1;
    read_area_targets(section, area);
    if (area.target_count > 1 && area.runway_number >= 0 && area.targets[1].heading != 0) {
      const double a = -area.targets[1].heading * 0.01745329;
      for (int t = 2; t <= area.target_count; t++) {
        Target &target = area.targets[t];
        const double x = target.offset_x, y = target.offset_y;
        target.offset_x = to_float(x * cos(a) - y * sin(a));
        target.offset_y = to_float(x * sin(a) + y * cos(a));
      }
    }
    targets.target_total += area.target_count;
  }
}

}  // namespace reference

namespace {

// What one reading left in the tables: the areas it counted and the one it
// stopped at, each with the targets it counted and the one it stopped at.
struct Outcome {
  int result, areas, targets;
  std::vector<TargetArea *> records;  // copies, owned
};

void forget(Outcome &o) {
  for (TargetArea *a : o.records) delete a;
  o.records.clear();
}

// The touched area records back to zero, so the next reading starts alike.
void clear_touched(const Outcome &o) {
  for (size_t n = 1; n < o.records.size() + 1 && n < MAX_AREAS; n++) memset(&targets.areas[n], 0, sizeof(TargetArea));
}

Outcome take_outcome(int result) {
  Outcome o = {result, targets.area_count, targets.target_total, {}};
  for (int n = 1; n <= targets.area_count + 1 && n < MAX_AREAS; n++) o.records.push_back(new TargetArea(targets.areas[n]));
  return o;
}

// The first difference between two outcomes, or "" when they are the same
// byte for byte.
std::string difference(const Outcome &a, const Outcome &b) {
  char line[160];
  if (a.result != b.result || a.areas != b.areas || a.targets != b.targets) {
    snprintf(line, sizeof(line), "result %d / %d, areas %d / %d, targets %d / %d", a.result, b.result,
             a.areas, b.areas, a.targets, b.targets);
    return line;
  }
  for (size_t i = 0; i < a.records.size(); i++) {
    const TargetArea &x = *a.records[i], &y = *b.records[i];
    const int n = (int)i + 1;
    if (memcmp(x.name, y.name, NAME_SIZE) != 0) return "name of area " + std::to_string(n) + ": " + x.name + " / " + y.name;
    if (memcmp(&x.pos_x, &y.pos_x, sizeof(float)) || memcmp(&x.pos_y, &y.pos_y, sizeof(float)))
      return "position of area " + std::to_string(n);
    if (x.enemy != y.enemy || x.target_count != y.target_count || x.runway_number != y.runway_number) {
      snprintf(line, sizeof(line), "area %d: enemy %d / %d, targets %d / %d, runway %d / %d", n, x.enemy,
               y.enemy, x.target_count, y.target_count, x.runway_number, y.runway_number);
      return line;
    }
    for (int t = 1; t <= x.target_count + 1 && t < MAX_TARGETS; t++)
      if (memcmp(&x.targets[t], &y.targets[t], sizeof(Target)) != 0) {
        snprintf(line, sizeof(line), "area %d target %d: %s / %s, heading %d / %d, offset %g,%g / %g,%g",
                 n, t, x.targets[t].type, y.targets[t].type, x.targets[t].heading, y.targets[t].heading,
                 x.targets[t].offset_x, x.targets[t].offset_y, y.targets[t].offset_x, y.targets[t].offset_y);
        return line;
      }
  }
  return "";
}

}  // namespace

std::string compare_with_library_reader(const char *text, long size) {
  targets.area_count = targets.target_total = 0;
  int result = read_target_text(text, size, nullptr);
  Outcome fast = take_outcome(result);
  clear_touched(fast);
  targets.area_count = targets.target_total = 0;
  reference::read(text, size);
  Outcome slow = take_outcome(targets.area_count > 0 ? RESULT_OK : RESULT_NOTHING_READ);
  clear_touched(slow);
  std::string diff = difference(fast, slow);
  forget(fast);
  forget(slow);
  targets.area_count = targets.target_total = 0;
  return diff;
}

namespace {

struct DescriptionOutcome {
  int result, declared, last;
  std::vector<std::string> names;
  std::vector<int> water;
};

DescriptionOutcome take_description(int result) {
  DescriptionOutcome o = {result, texture_table.textures_declared, texture_table.last_declared_texture, {}, {}};
  for (int n = 1; n < MAX_TEXTURES; n++) {
    o.names.push_back(texture_table.textures[n].filename);
    o.water.push_back(texture_table.textures[n].has_water);
  }
  return o;
}

void reset_description() {
  texture_table.textures_declared = texture_table.last_declared_texture = 0;
  for (TextureEntry &e : texture_table.textures) {
    e.filename[0] = 0;
    e.has_water = 0;
  }
}

}  // namespace

std::string compare_description_with_library(const char *path) {
  reset_description();
  const DescriptionOutcome fast = take_description(load_terrain_description(path, nullptr));
  reset_description();

  // The sections the text could name: "texture" and three digits, in any case.
  long size = 0;
  char *text = read_whole_file(path, &size);
  std::vector<bool> named(MAX_TEXTURES, false);
  for (long i = 0; text && i + 10 <= size; i++) {
    if (strncasecmp(text + i, "texture", 7) != 0) continue;
    const char *d = text + i + 7;
    if (d[0] < '0' || d[0] > '9' || d[1] < '0' || d[1] > '9' || d[2] < '0' || d[2] > '9') continue;
    const int n = (d[0] - '0') * 100 + (d[1] - '0') * 10 + (d[2] - '0');
    if (n > 0 && n < MAX_TEXTURES) named[n] = true;
  }
  set_config_data(text ? text : "", text ? (int)size : 0);
  free(text);
  for (int n = 1; n < MAX_TEXTURES; n++) {
    TextureEntry &entry = texture_table.textures[n];
    char section[32] = "Texture";
    append_number3(section, n);
    copy_cut(entry.filename, named[n] ? get_config_string(section, "Filename", "NONE") : "NONE", PATH_SIZE);
    if (strcmp(entry.filename, "NONE") == 0) continue;
    texture_table.textures_declared++;
    texture_table.last_declared_texture = n;
    char water[64];
    copy_cut(water, get_config_string(section, "HasWater", "NONE"), sizeof(water));
    entry.has_water = (int16_t)parse_leading_int(water, INT16_MIN, INT16_MAX);
  }
  const DescriptionOutcome slow =
      take_description(texture_table.textures_declared > 0 ? RESULT_OK : RESULT_NOTHING_READ);
  reset_description();

  char line[640];
  if (fast.result != slow.result || fast.declared != slow.declared || fast.last != slow.last) {
    snprintf(line, sizeof(line), "result %d / %d, declared %d / %d, last %d / %d", fast.result, slow.result,
             fast.declared, slow.declared, fast.last, slow.last);
    return line;
  }
  for (int i = 0; i < MAX_TEXTURES - 1; i++) {
    if (fast.names[i] == slow.names[i] && fast.water[i] == slow.water[i]) continue;
    snprintf(line, sizeof(line), "texture %d: %s / %s, water %d / %d", i + 1, fast.names[i].c_str(),
             slow.names[i].c_str(), fast.water[i], slow.water[i]);
    return line;
  }
  return "";
}
