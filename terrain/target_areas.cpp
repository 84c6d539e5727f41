#include "terrain/target_areas.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "terrain/stdio_packfile.h"
#include "terrain/terrain_model.h"
#include "terrain/text_numbers.h"

enum {
  TARGET_WINDOW_BYTES = 45000,  // bytes of the file the config reader parses per area
  TARGET_VALUE_SIZE = 64,
  TARGET_LOAD_PAUSE_MS = 1000,  // lets the first message be read before the areas follow
};

static float clamp_to_float(double value) {
  if (std::isnan(value)) return 0;
  if (value > FLT_MAX) return FLT_MAX;
  if (value < -FLT_MAX) return -FLT_MAX;
  return (float)value;
}

static void target_key(char *key, int t, const char *field) {
  strcpy(key, "Target[");
  append_number3(key, t);
  strcat(key, "].");
  strcat(key, field);
}

// The targets of one area, from the current window; returns target_count.
static int read_targets(const char *section, TargetArea &area) {
  char key[32];
  for (int t = 1; t < MAX_TARGETS; t++) {
    Target &target = area.targets[t];
    target_key(key, t, "Type");
    copy_cut(target.type, get_config_string(section, key, "NONE"), NAME_SIZE);
    if (strcmp(target.type, "NONE") == 0) break;

    target_key(key, t, "Offset");
    const char *offset = get_config_string(section, key, "NONE");
    const float x = parse_float(offset), y = parse_float_after_comma(offset);
    target.offset_x = target.file_offset_x = x;
    target.offset_y = target.file_offset_y = y;
    area.target_count++;

    if (t == 1 && strncmp(target.type, "Runway", 6) == 0) {
      target_key(key, 1, "Heading");
      // Kept within 0..359; a negative heading counts from the full turn.
      const int heading = get_config_int(section, key, 0) % 360;
      target.heading = heading < 0 ? heading + 360 : heading;
      area.runway_number = (int32_t)parse_leading_int(target.type + 6, INT32_MIN, INT32_MAX);
    }
  }
  return area.target_count;
}

// Turns the other targets of a runway area clockwise by the runway heading.
static void turn_targets(TargetArea &area) {
  const double a = -area.targets[1].heading * 0.01745329;
  const double c = cos(a), s = sin(a);
  for (int t = 2; t <= area.target_count; t++) {
    Target &target = area.targets[t];
    const double x = target.offset_x, y = target.offset_y;
    target.offset_x = clamp_to_float(x * c - y * s);
    target.offset_y = clamp_to_float(x * s + y * c);
  }
}

static void read_areas(const char *text, long size, const Reporter *reporter) {
  long p = 0;
  for (int n = 1; n < MAX_AREAS; n++) {
    if (n > 1 && p < size - 1) {
      p++;
      while (p < size - 1 && !(text[p] == '\n' && text[p + 1] == '[')) p++;
    }
    const long window = size - p < (long)TARGET_WINDOW_BYTES ? size - p : (long)TARGET_WINDOW_BYTES;
    set_config_data(text + p, (int)window);

    char section[32] = "TargetArea";
    append_number3(section, n);
    TargetArea &area = targets.areas[n];
    area.target_count = 0;

    copy_cut(area.name, get_config_string(section, "Name", "NONE"), NAME_SIZE);
    if (strcmp(area.name, "NONE") == 0) break;
    char position[TARGET_VALUE_SIZE];
    copy_cut(position, get_config_string(section, "Position", "NONE"), sizeof(position));
    if (strcmp(position, "NONE") == 0) break;
    area.pos_x = parse_float(position);
    area.pos_y = parse_float_after_comma(position);
    area.enemy = get_config_string(section, "Alignment", "NONE")[0] == 'F' ? 0 : 1;
    targets.area_count++;
    area.runway_number = -1;

    read_targets(section, area);
    if (area.target_count > 1 && area.runway_number >= 0 && area.targets[1].heading != 0)
      turn_targets(area);

    report_progress(reporter, "Loading TargetArea: %3d - Targets: %3d", n, area.target_count);
    targets.target_total += area.target_count;
  }
}

int load_target_areas(const char *path, const Reporter *reporter) {
  const uint64_t size = file_size_ex(path);
  if (size == 0 || size > (uint64_t)LONG_MAX) return RESULT_CANNOT_OPEN;
  PACKFILE *f = open_stdio_packfile(path, "rb");
  char *text = f ? (char *)malloc((size_t)size) : nullptr;
  const long got = text ? pack_fread(text, (long)size, f) : 0;
  if (f) pack_fclose(f);
  if (got <= 0) {
    free(text);
    return RESULT_CANNOT_OPEN;
  }

  report_progress(reporter, "Loading TargetArea:     - Targets:" "                       ");
  report_pause(reporter, TARGET_LOAD_PAUSE_MS);
  read_areas(text, got, reporter);
  free(text);
  return targets.area_count > 0 ? RESULT_OK : RESULT_NOTHING_READ;
}
