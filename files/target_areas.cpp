#include "files/target_areas.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "core/regular_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "files/config_lines.h"
#include "files/text_patch.h"

enum {
  TARGET_WINDOW_BYTES = TARGET_READ_WINDOW,
  TARGET_VALUE_SIZE = 64,
  TARGET_LOAD_PAUSE_MS = 1000,  // lets the first message be read before the areas follow
};

// The first value of each key the reader asks for in the current area's
// sections, found in one pass over the area's window (looking every key up
// on its own took many seconds on large files). A key is found when its
// stamp is the current pass's.
struct FoundValue {
  long at;
  long length;
  unsigned stamp;
};

enum {
  FIELD_TYPE = TARGET_KEY_TYPE,
  FIELD_OFFSET = TARGET_KEY_OFFSET,
  FIELD_HEADING = TARGET_KEY_HEADING,
  TARGET_FIELDS = 3
};

static FoundValue found_name, found_position, found_alignment;
static FoundValue found_target[MAX_TARGETS][TARGET_FIELDS];
static unsigned found_stamp;
// A value lies within one window, so it always fits.
static char value_text[TARGET_WINDOW_BYTES + 1];

static void keep_first(FoundValue &found, const ConfigEntry &entry) {
  if (found.stamp == found_stamp) return;
  found.at = entry.value;
  found.length = entry.value_length;
  found.stamp = found_stamp;
}

static bool ascii_equal_ci(const char *a, const char *b, long n) {
  for (long i = 0; i < n; i++) {
    const char x = a[i] >= 'A' && a[i] <= 'Z' ? a[i] + 32 : a[i];
    if (x != b[i]) return false;
  }
  return true;
}

// Target[NNN].Type, .Offset or .Heading, NNN as append_number3 writes
// 1..511; the field, or -1 for any other name.
static int target_field(const char *name, long length, int *t) {
  static const char *const fields[TARGET_FIELDS] = {"type", "offset", "heading"};
  if (length < 16 || !ascii_equal_ci(name, "target[", 7)) return -1;
  const char *digits = name + 7;
  for (int i = 0; i < 3; i++)
    if (digits[i] < '0' || digits[i] > '9') return -1;
  if (digits[3] != ']' || digits[4] != '.') return -1;
  const int n = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
  if (n < 1 || n >= MAX_TARGETS) return -1;
  for (int f = 0; f < TARGET_FIELDS; f++) {
    const long field_length = (long)strlen(fields[f]);
    if (length == 12 + field_length && ascii_equal_ci(name + 12, fields[f], field_length)) {
      *t = n;
      return f;
    }
  }
  return -1;
}

int target_key_of(const char *text, const ConfigEntry &entry, int *t) {
  const char *name = text + entry.name;
  const long length = entry.name_length;
  if (length == 4 && ascii_equal_ci(name, "name", 4)) return TARGET_KEY_NAME;
  if (length == 8 && ascii_equal_ci(name, "position", 8)) return TARGET_KEY_POSITION;
  if (length == 9 && ascii_equal_ci(name, "alignment", 9)) return TARGET_KEY_ALIGNMENT;
  return target_field(name, length, t);
}

int target_area_section(const char *text, const ConfigEntry &entry) {
  const char *name = text + entry.name;
  if (entry.name_length != 15 || !ascii_equal_ci(name, "[targetarea", 11) || name[14] != ']') return 0;
  int n = 0;
  for (int i = 11; i < 14; i++) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = 10 * n + (name[i] - '0');
  }
  return n >= 1 && n < MAX_AREAS ? n : 0;
}

static void keep_if_wanted(const char *text, const ConfigEntry &entry) {
  int t = 0;
  const int key = target_key_of(text, entry, &t);
  if (key == TARGET_KEY_NAME) keep_first(found_name, entry);
  else if (key == TARGET_KEY_POSITION) keep_first(found_position, entry);
  else if (key == TARGET_KEY_ALIGNMENT) keep_first(found_alignment, entry);
  else if (key >= 0) keep_first(found_target[t][key], entry);
}

// Reads the window text[start..end) as the library's reader would parse it
// and keeps the first value of every wanted key inside the sections named
// section (a section may come back further down: its keys count again).
static void scan_window(const char *text, long start, long end, const char *section) {
  if (++found_stamp == 0) {
    // After four thousand million passes: no stale stamp may match again.
    found_name.stamp = found_position.stamp = found_alignment.stamp = 0;
    for (auto &fields : found_target)
      for (FoundValue &found : fields) found.stamp = 0;
    found_stamp = 1;
  }
  bool in_section = false;
  for (long at = start; at < end;) {
    // The window's end ends its last line, as it would the library's copy.
    const ConfigLine line = config_line_at(text, end, at);
    at = line.next;
    long first = line.start;
    while (first < line.end && (text[first] == ' ' || text[first] == '\t' || text[first] == '\f' ||
                                text[first] == '\v'))
      first++;
    // Outside the section only a header can matter.
    if (!in_section && (first == line.end || text[first] != '[')) continue;
    const ConfigEntry entry = config_entry_of(text, line.start, line.end);
    if (entry.name_length == 0) continue;
    if (config_is_section(text, entry)) {
      in_section = config_name_is(text, entry, section);
    } else if (in_section) {
      keep_if_wanted(text, entry);
    }
  }
}

// The value as a string, or fallback when the key was not found. An empty
// value counts as missing, as in the library's look-ups (and a later entry
// of the same key does not count).
static const char *value_or(const char *text, const FoundValue &found, const char *fallback) {
  if (found.stamp != found_stamp || found.length == 0) return fallback;
  memcpy(value_text, text + found.at, (size_t)found.length);
  value_text[found.length] = 0;
  return value_text;
}

// The targets of one area, from the values found; returns target_count.
static int read_targets(const char *text, TargetArea &area) {
  for (int t = 1; t < MAX_TARGETS; t++) {
    Target &target = area.targets[t];
    copy_cut(target.type, value_or(text, found_target[t][FIELD_TYPE], "NONE"), NAME_SIZE);
    if (strcmp(target.type, "NONE") == 0) break;

    const char *offset = value_or(text, found_target[t][FIELD_OFFSET], "NONE");
    const float x = parse_float(offset), y = parse_float_after_comma(offset);
    target.offset_x = target.file_offset_x = x;
    target.offset_y = target.file_offset_y = y;
    target.file_number = t;
    area.target_count++;

    if (t == 1 && is_runway_type(target.type)) {
      const char *value = value_or(text, found_target[1][FIELD_HEADING], "");
      const int read = value[0] ? (int)strtol(value, nullptr, 0) : 0;
      // Kept within 0..359; a negative heading counts from the full turn.
      const int heading = read % 360;
      target.heading = heading < 0 ? heading + 360 : heading;
      area.runway_number = (int32_t)parse_leading_int(target.type + 6, INT32_MIN, INT32_MAX);
    }
  }
  return area.target_count;
}

int read_target_text(const char *text, long size, const Reporter *reporter) {
  return read_target_text_into(targets, text, size, reporter);
}

// Area n from the window of text that begins at p, as the reader takes it;
// 0 when the reader stops there (no name or no position).
static int read_area_at(TargetArea &area, const char *text, long size, long p, int n) {
  const long window = size - p < (long)TARGET_WINDOW_BYTES ? size - p : (long)TARGET_WINDOW_BYTES;
  char section[32] = "[TargetArea";
  append_number3(section, n);
  strcat(section, "]");
  scan_window(text, p, p + window, section);
  area.target_count = 0;
  area.file_number = n;
  copy_cut(area.name, value_or(text, found_name, "NONE"), NAME_SIZE);
  if (strcmp(area.name, "NONE") == 0) return 0;
  char position[TARGET_VALUE_SIZE];
  copy_cut(position, value_or(text, found_position, "NONE"), sizeof(position));
  if (strcmp(position, "NONE") == 0) return 0;
  area.pos_x = parse_float(position);
  area.pos_y = parse_float_after_comma(position);
  area.enemy = value_or(text, found_alignment, "NONE")[0] == 'F' ? 0 : 1;
  area.runway_number = -1;
  read_targets(text, area);
  turn_area_targets(area);
  return 1;
}

long target_window_start(const char *text, long size, long p, int n) {
  if (n <= 1 || p >= size - 1) return p;
  // The next line feed before a "[" after p, else the last byte: found two
  // bytes at a time, as a file of 16 MB is searched twice at every save.
  const char *found = (const char *)memmem(text + p + 1, (size_t)(size - p - 1), "\n[", 2);
  if (found) return found - text;
  return size - 1;
}

std::vector<long> target_window_starts(const std::vector<long> &bracket_lines, long size, int count) {
  std::vector<long> p((size_t)count + 2, 0);
  // The line feeds before them, the text's first byte never one.
  size_t next = 0;
  while (next < bracket_lines.size() && bracket_lines[next] < 2) next++;
  for (int n = 2; n <= count + 1; n++)
    p[(size_t)n] = next < bracket_lines.size() ? bracket_lines[next++] - 1 : std::max(size - 1, p[(size_t)n - 1]);
  return p;
}

int read_target_area_at(TargetArea &area, const char *text, long size, long p, int n) {
  return size > 0 && read_area_at(area, text, size, p, n);
}

int read_target_text_into(TargetSet &set, const char *text, long size, const Reporter *reporter,
                          std::vector<long> *window_starts) {
  long p = 0;
  for (int n = 1; n < MAX_AREAS; n++) {
    p = target_window_start(text, size, p, n);
    if (window_starts) window_starts->push_back(p);
    TargetArea &area = set.areas[n];
    if (!read_area_at(area, text, size, p, n)) break;
    set.area_count++;
    report_progress(reporter, "Loading TargetArea: %3d - Targets: %3d", n, area.target_count);
    set.target_total += area.target_count;
  }
  return set.area_count > 0 ? RESULT_OK : RESULT_NOTHING_READ;
}

int target_file_absent(const char *path) {
  struct stat st;
  return path[0] && lstat(path, &st) != 0 && errno == ENOENT;
}

namespace {

// The lines that begin with "[" from the reader's window starts, which are
// the line feeds before them one after another; after the last window the
// file is looked through.
std::vector<long> lines_from_windows(const char *text, long size, const std::vector<long> &windows) {
  std::vector<long> lines = bracket_lines(text, std::min(size, 2L));
  long from = 2;
  for (long w : windows)
    if (w + 1 >= from && w + 1 < size && text[w] == '\n' && text[w + 1] == '[') {
      lines.push_back(w + 1);
      from = w + 2;
    }
  const std::vector<long> rest = bracket_lines(text, size, from);
  lines.insert(lines.end(), rest.begin(), rest.end());
  return lines;
}

}  // namespace

int target_line_kind(const char *line, long size) {
  const ConfigLine l = config_line_at(line, size, 0);
  const ConfigEntry entry = config_entry_of(line, l.start, l.end);
  return config_is_section(line, entry) ? target_area_section(line, entry) : LINE_NOT_SECTION;
}

TargetSections target_sections_of(const char *text, long size, std::vector<long> starts) {
  TargetSections lines;
  lines.size = size;
  lines.returns = size > 0 && memchr(text, '\r', (size_t)size);
  if (lines.returns) return lines;
  lines.starts = std::move(starts);
  for (long q : lines.starts) lines.kinds.push_back(target_line_kind(text + q, size - q));
  return lines;
}

void copy_target_areas(TargetSet &to, const TargetSet &from) {
  to.area_count = from.area_count;
  to.target_total = from.target_total;
  for (int n = 1; n <= from.area_count && n < MAX_AREAS; n++) to.areas[n] = from.areas[n];
}

int load_target_areas(const char *path, const Reporter *reporter, TargetFile *file) {
  long size = 0;
  // Empty, over the limit or unreadable: all the same read error.
  // What a save compares with: the file as read, or none.
  if (file) file->areas.reset();
  record_file_stamp(&targets.stamp, path, nullptr);
  struct stat before;
  const int stated = stat(path, &before) == 0;
  char *text = read_whole_file(path, &size);
  if (!text || size == 0) {
    free(text);
    return target_file_absent(path) ? RESULT_NO_FILE : RESULT_CANNOT_OPEN;
  }

  report_progress(reporter, "Loading TargetArea:     - Targets:" "                       ");
  report_pause(reporter, TARGET_LOAD_PAUSE_MS);
  std::vector<long> windows;
  const int result = read_target_text_into(targets, text, size, reporter, &windows);
  if (stated) record_file_stamp(&targets.stamp, path, &before);
  // The reader's windows say where the sections are: a save after a few
  // edits need not read the file again.
  if (file) {
    file->areas.reset(new TargetSet);
    copy_target_areas(*file->areas, targets);
    file->sections = target_sections_of(text, size, lines_from_windows(text, size, windows));
    file->stamp = targets.stamp;
  }
  free(text);
  return result;
}
