#include "files/target_file_writer.h"

#include <allegro.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "core/regular_file.h"
#include "core/safe_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "files/config_lines.h"
#include "files/target_areas.h"
#include "files/text_patch.h"

namespace {

enum { NO_LINE = -1 };

struct Line {
  long start, end, next;  // its characters text[start..end), its line end up to next
  ConfigEntry entry;
};

// Where an area's lines are in the file: its header, its last line (up to
// the next section's header), the first line of each key the reader takes.
struct FileArea {
  int header = NO_LINE, last = NO_LINE;
  int name = NO_LINE, position = NO_LINE, alignment = NO_LINE;
  int last_key = NO_LINE, last_target = NO_LINE;
  std::string equals;  // the spacing around "=" of its first key line; empty: none
  std::vector<std::array<int, 3>> target;  // [t][TARGET_KEY_TYPE..HEADING]
};

// What becomes of each line of the file, and what follows it.
struct LineEdit {
  int drop = 0;
  std::string replaced;  // the whole line, its end included; empty: as it is
  std::string after;     // new lines after it, each with its end
  size_t section_at = std::string::npos;  // where in after a new area's section begins
};

// A file whose last line has no end keeps it so when lines are added after
// (out: the text with them, ending with them).
void keep_last_line_open(const char *text, long size, std::string *out) {
  if (size <= 0 || text[size - 1] == '\n' || text[size - 1] == '\r' || out->empty() || out->back() != '\n') return;
  out->pop_back();
  if (!out->empty() && out->back() == '\r') out->pop_back();
}

bool same_float(float a, float b) { return memcmp(&a, &b, sizeof(a)) == 0; }

std::string digits3(int n) {
  char text[8] = "";
  append_number3(text, n);
  return text;
}

// A pair as the file writes it: the separator after the comma as the
// value it replaces has it (", " for a new one).
std::string pair_text(float x, float y, const std::string &separator) {
  return target_number_text(x) + "," + separator + target_number_text(y);
}

std::string separator_of(const char *value, long length) {
  const char *comma = (const char *)memchr(value, ',', (size_t)length);
  if (!comma) return " ";
  std::string s;
  for (const char *p = comma + 1; p < value + length && (*p == ' ' || *p == '\t'); p++) s += *p;
  return s;
}

// "FRIENDLY" or "ENEMY" in the case the value it replaces has.
std::string side_text(int enemy, const char *was, long length) {
  std::string side = enemy ? "ENEMY" : "FRIENDLY";
  const bool lower_after_first = length > 1 && was[1] >= 'a' && was[1] <= 'z';
  const bool lower_first = length > 0 && was[0] >= 'a' && was[0] <= 'z';
  for (size_t i = 0; i < side.size(); i++)
    if ((i == 0 && lower_first) || (i > 0 && lower_after_first)) side[i] = (char)(side[i] - 'A' + 'a');
  return side;
}

class Writer {
 public:
  // default_equals: the spacing around "=" when the text shows none.
  Writer(const char *text, long size, const std::string &default_equals = "=")
      : text_(text), size_(size), equals_(default_equals) {}

  std::string run(const TargetSet &was, const TargetSet &now, std::string *why);
  // The text (one area's section) with area old's edits to area (number n).
  std::string edited_section(int n, const TargetArea &area, const TargetArea &old);
  // New area n's section, in the text's line ends and spacing, to follow
  // text that ends in a blank line or not, and to be followed by more or not.
  std::string new_section(int n, const TargetArea &area, bool after_blank, bool more_follow);
  // The spacing around "=" of the text's first area key line; empty: none.
  std::string first_spacing();

 private:
  const char *text_;
  long size_;
  std::vector<Line> lines_;
  std::vector<FileArea> areas_;  // by the file's numbers, 0 unused
  std::vector<LineEdit> edits_;
  std::string eol_ = "\n";
  std::string equals_;   // the file's: its first area key line's
  std::string spacing_;  // of the lines being made: those of the section they go in
  std::string tail_;  // after the last line

  void read_lines();
  std::string line_with_value(int line, const std::string &value) const;
  void set_value(int line, const std::string &value);
  void set_key(int line, long digits_at, int n, const std::string *value);
  void add_after(int line, const std::string &lines);
  std::string key_line(const std::string &key, const std::string &value) const { return key + spacing_ + value + eol_; }
  const std::string &spacing_of(int m) const {
    return m > 0 && m < (int)areas_.size() && !areas_[(size_t)m].equals.empty() ? areas_[(size_t)m].equals : equals_;
  }
  std::string target_lines(int t, const Target &target, int with_heading) const;
  void edit_area(int n, const TargetArea &area, const TargetArea &old);
  void new_area(int n, const TargetArea &area, int after_line, const std::string &spacing);
  std::string assemble() const;
};

void Writer::read_lines() {
  int current = 0;  // the area whose section the line is in, 0 for none
  bool spacing_found = false;
  for (long at = 0; at < size_;) {
    const ConfigLine l = config_line_at(text_, size_, at);
    at = l.next;
    const ConfigEntry entry = config_entry_of(text_, l.start, l.end);
    lines_.push_back({l.start, l.end, l.next, entry});
    const int i = (int)lines_.size() - 1;
    if (l.next > l.end && lines_.size() == 1) eol_.assign(text_ + l.end, (size_t)(l.next - l.end));
    if (entry.name_length == 0) {
      if (current) areas_[(size_t)current].last = i;
      continue;
    }
    if (config_is_section(text_, entry)) {
      const int n = target_area_section(text_, entry);
      // A section met again counts as another: its keys are not the area's.
      current = n && areas_[(size_t)n].header == NO_LINE ? n : 0;
      if (current) areas_[(size_t)current].header = areas_[(size_t)current].last = i;
      continue;
    }
    if (!current) continue;
    // The spacing around "=" of each area's first key line that has one,
    // and the file's from its first.
    FileArea &a = areas_[(size_t)current];
    if (a.equals.empty() && entry.value > entry.name + entry.name_length) {
      const long from = entry.name + entry.name_length;
      if (memchr(text_ + from, '=', (size_t)(entry.value - from))) a.equals.assign(text_ + from, (size_t)(entry.value - from));
      if (!spacing_found && !a.equals.empty()) equals_ = a.equals, spacing_found = true;
    }
    a.last = a.last_key = i;
    int t = 0;
    const int key = target_key_of(text_, entry, &t);
    int *slot = key == TARGET_KEY_NAME        ? &a.name
                : key == TARGET_KEY_POSITION  ? &a.position
                : key == TARGET_KEY_ALIGNMENT ? &a.alignment
                : nullptr;
    if (key >= 0 && key <= TARGET_KEY_HEADING) {
      if (a.target.empty()) a.target.assign(MAX_TARGETS, {NO_LINE, NO_LINE, NO_LINE});
      slot = &a.target[(size_t)t][(size_t)key];
      a.last_target = i;
    }
    if (slot && *slot == NO_LINE) *slot = i;
  }
  if (lines_.empty() || lines_[0].next == lines_[0].end) {
    for (const Line &l : lines_)
      if (l.next > l.end) {
        eol_.assign(text_ + l.end, (size_t)(l.next - l.end));
        break;
      }
  }
  edits_.assign(lines_.size(), LineEdit());
}

std::string Writer::line_with_value(int line, const std::string &value) const {
  const Line &l = lines_[(size_t)line];
  const ConfigEntry &e = l.entry;
  std::string s(text_ + l.start, (size_t)(e.value - l.start));
  s += value;
  s.append(text_ + e.value + e.value_length, (size_t)(l.next - e.value - e.value_length));
  return s;
}

void Writer::set_value(int line, const std::string &value) {
  // A key the reader found elsewhere than in the area's first section: the
  // check of the result names the area.
  if (line == NO_LINE) return;
  LineEdit &edit = edits_[(size_t)line];
  if (edit.replaced.empty()) {
    edit.replaced = line_with_value(line, value);
    return;
  }
  // Renamed already: the value is at the same place in the renamed line.
  const Line &l = lines_[(size_t)line];
  const size_t at = (size_t)(l.entry.value - l.start), length = (size_t)l.entry.value_length;
  edit.replaced.replace(at, length, value);
}

// The line with the three digits at text offset digits_at turned to n's,
// and its value replaced when value is given.
void Writer::set_key(int line, long digits_at, int n, const std::string *value) {
  if (line == NO_LINE) return;
  const Line &l = lines_[(size_t)line];
  LineEdit &edit = edits_[(size_t)line];
  std::string s = edit.replaced.empty() ? std::string(text_ + l.start, (size_t)(l.next - l.start)) : edit.replaced;
  s.replace((size_t)(digits_at - l.start), 3, digits3(n));
  edit.replaced = s;
  if (value) set_value(line, *value);
}

void Writer::add_after(int line, const std::string &lines) {
  if (line < 0) {
    tail_ += lines;
    return;
  }
  edits_[(size_t)line].after += lines;
}

std::string Writer::target_lines(int t, const Target &target, int with_heading) const {
  const std::string key = "Target[" + digits3(t) + "].";
  std::string s = key_line(key + "Type", target.type);
  s += key_line(key + "Offset", pair_text(target.file_offset_x, target.file_offset_y, " "));
  if (with_heading) s += key_line(key + "Heading", std::to_string(target.heading));
  return s;
}

int runway_heading_counts(const TargetArea &area) { return is_runway_type(area.targets[1].type); }

void Writer::edit_area(int n, const TargetArea &area, const TargetArea &old) {
  const int m = area.file_number;
  const FileArea &f = areas_[(size_t)m];
  spacing_ = spacing_of(m);
  if (n != m) set_key(f.header, lines_[(size_t)f.header].entry.name + 11, n, nullptr);
  const Line *position = f.position != NO_LINE ? &lines_[(size_t)f.position] : nullptr;
  if (strcmp(area.name, old.name) != 0) set_value(f.name, area.name);
  if (position && (!same_float(area.pos_x, old.pos_x) || !same_float(area.pos_y, old.pos_y)))
    set_value(f.position, pair_text(area.pos_x, area.pos_y,
                                    separator_of(text_ + position->entry.value, position->entry.value_length)));
  if (area.enemy != old.enemy) {
    if (f.alignment != NO_LINE) {
      const ConfigEntry &e = lines_[(size_t)f.alignment].entry;
      set_value(f.alignment, side_text(area.enemy, text_ + e.value, e.value_length));
    } else {
      add_after(f.position, key_line("Alignment", area.enemy ? "ENEMY" : "FRIENDLY"));
    }
  }
  // The file's targets no target comes from any more go.
  std::vector<int> kept((size_t)MAX_TARGETS, 0);
  for (int t = 1; t <= area.target_count; t++)
    if (area.targets[t].file_number > 0 && area.targets[t].file_number < MAX_TARGETS)
      kept[(size_t)area.targets[t].file_number] = t;
  if (!f.target.empty())
    for (int u = 1; u < MAX_TARGETS; u++)
      if (!kept[(size_t)u])
        for (int k = 0; k < 3; k++)
          if (f.target[(size_t)u][(size_t)k] != NO_LINE) edits_[(size_t)f.target[(size_t)u][(size_t)k]].drop = 1;
  std::string added;
  for (int t = 1; t <= area.target_count; t++) {
    const Target &target = area.targets[t];
    const int u = target.file_number;
    const int heading_read = t == 1 && runway_heading_counts(area);
    // A target whose file lines another took (an old copy put back) is new.
    if (u <= 0 || u >= MAX_TARGETS || kept[(size_t)u] != t || f.target.empty()) {
      added += target_lines(t, target, heading_read && target.heading != 0);
      continue;
    }
    const Target &before = old.targets[u];
    const std::array<int, 3> &at = f.target[(size_t)u];
    const std::string type = target.type;
    const std::string *new_type = strcmp(target.type, before.type) != 0 ? &type : nullptr;
    std::string offset;
    const std::string *new_offset = nullptr;
    if (!same_float(target.file_offset_x, before.file_offset_x) || !same_float(target.file_offset_y, before.file_offset_y)) {
      const std::string separator =
          at[TARGET_KEY_OFFSET] != NO_LINE
              ? separator_of(text_ + lines_[(size_t)at[TARGET_KEY_OFFSET]].entry.value,
                             lines_[(size_t)at[TARGET_KEY_OFFSET]].entry.value_length)
              : " ";
      offset = pair_text(target.file_offset_x, target.file_offset_y, separator);
      new_offset = &offset;
    }
    for (int k = 0; k < 3; k++) {
      const int line = at[(size_t)k];
      if (line == NO_LINE) continue;
      const std::string *value = k == TARGET_KEY_TYPE ? new_type : k == TARGET_KEY_OFFSET ? new_offset : nullptr;
      if (t != u) set_key(line, lines_[(size_t)line].entry.name + 7, t, value);
      else if (value) set_value(line, *value);
    }
    const int type_line = at[TARGET_KEY_TYPE];
    if (at[TARGET_KEY_OFFSET] == NO_LINE && new_offset)
      add_after(type_line, key_line("Target[" + digits3(t) + "].Offset", offset));
    if (heading_read) {
      // The heading the reader would take from the line it keeps.
      int read = 0;
      if (at[TARGET_KEY_HEADING] != NO_LINE) {
        const ConfigEntry &e = lines_[(size_t)at[TARGET_KEY_HEADING]].entry;
        const std::string value(text_ + e.value, (size_t)e.value_length);
        read = (int)(strtol(value.c_str(), nullptr, 0) % 360);
        if (read < 0) read += 360;
      }
      if (read != target.heading) {
        if (at[TARGET_KEY_HEADING] != NO_LINE)
          set_value(at[TARGET_KEY_HEADING], std::to_string(target.heading));
        else
          add_after(at[TARGET_KEY_OFFSET] != NO_LINE ? at[TARGET_KEY_OFFSET] : type_line,
                    key_line("Target[" + digits3(t) + "].Heading", std::to_string(target.heading)));
      }
    }
  }
  if (!added.empty()) add_after(f.last_target != NO_LINE ? f.last_target : f.last_key, added);
}

void Writer::new_area(int n, const TargetArea &area, int after_line, const std::string &spacing) {
  spacing_ = spacing;
  std::string s;
  // A blank line after it when the file goes on; the one before it is
  // made with the text (see assemble).
  const bool at_end = after_line < 0 || after_line + 1 >= (int)lines_.size();
  if (after_line >= 0 && edits_[(size_t)after_line].section_at == std::string::npos)
    edits_[(size_t)after_line].section_at = edits_[(size_t)after_line].after.size();
  else if (after_line >= 0 && at_end)
    s += eol_;  // after the new section before it, which ends without a blank line
  s += "[TargetArea" + digits3(n) + "]" + eol_;
  s += key_line("Name", area.name);
  s += key_line("Position", pair_text(area.pos_x, area.pos_y, " "));
  s += key_line("Alignment", area.enemy ? "ENEMY" : "FRIENDLY");
  for (int t = 1; t <= area.target_count; t++)
    s += target_lines(t, area.targets[t], t == 1 && runway_heading_counts(area) && area.targets[1].heading != 0);
  if (!at_end) s += eol_;
  add_after(after_line, s);
}

std::string Writer::assemble() const {
  std::string out;
  out.reserve((size_t)size_ + 4096);
  bool ends_new = false;  // with lines made here
  for (size_t i = 0; i < lines_.size(); i++) {
    const Line &l = lines_[i];
    const LineEdit &e = edits_[i];
    if (!e.drop) {
      if (e.replaced.empty())
        out.append(text_ + l.start, (size_t)(l.next - l.start));
      else
        out += e.replaced;
      ends_new = false;
    }
    if (!e.after.empty()) {
      ends_new = true;
      // A last line without its end gets one before what follows it, and
      // new sections a blank line before them unless the text has one.
      if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += eol_;
      const size_t at = std::min(e.section_at, e.after.size());
      out.append(e.after, 0, at);
      // A last line end of another kind than the file's may pair with it.
      while (at < e.after.size() && !config_ends_blank(out)) out += eol_;
      out.append(e.after, at, std::string::npos);
    }
  }
  if (!tail_.empty()) {
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += eol_;
    out += tail_;
    ends_new = true;
  }
  if (ends_new) keep_last_line_open(text_, size_, &out);
  return out;
}

bool same_area(const TargetArea &a, const TargetArea &b, std::string *what) {
  if (strcmp(a.name, b.name) != 0) return *what = "its name", false;
  if (!same_float(a.pos_x, b.pos_x) || !same_float(a.pos_y, b.pos_y)) return *what = "its position", false;
  if (a.enemy != b.enemy) return *what = "its side", false;
  if (a.target_count != b.target_count) return *what = "its targets", false;
  for (int t = 1; t <= a.target_count; t++) {
    const Target &x = a.targets[t], &y = b.targets[t];
    if (strcmp(x.type, y.type) != 0 || !same_float(x.file_offset_x, y.file_offset_x) ||
        !same_float(x.file_offset_y, y.file_offset_y) || (t == 1 && a.runway_number >= 0 && x.heading != y.heading))
      return *what = "its targets", false;
  }
  return true;
}

std::string Writer::edited_section(int n, const TargetArea &area, const TargetArea &old) {
  areas_.assign(MAX_AREAS, FileArea());
  read_lines();
  if (area.file_number < 1 || area.file_number >= MAX_AREAS || areas_[(size_t)area.file_number].header == NO_LINE)
    return std::string(text_, (size_t)size_);
  edit_area(n, area, old);
  return assemble();
}

std::string Writer::first_spacing() {
  areas_.assign(MAX_AREAS, FileArea());
  equals_.clear();
  read_lines();
  return equals_;
}

std::string Writer::new_section(int n, const TargetArea &area, bool after_blank, bool more_follow) {
  // The lines only for their ends and spacing: the section goes to the tail.
  areas_.assign(MAX_AREAS, FileArea());
  read_lines();
  tail_.clear();
  int m = 1;
  while (m + 1 < MAX_AREAS && areas_[(size_t)m].header == NO_LINE) m++;
  new_area(n, area, -1, spacing_of(m));
  return (after_blank ? "" : eol_) + tail_ + (more_follow ? eol_ : "");
}

std::string Writer::run(const TargetSet &was, const TargetSet &now, std::string *why) {
  areas_.assign(MAX_AREAS, FileArea());
  read_lines();
  std::vector<int> kept((size_t)MAX_AREAS, 0);
  for (int n = 1; n <= now.area_count; n++) {
    const int m = now.areas[n].file_number;
    if (m > 0 && m <= was.area_count && areas_[(size_t)m].header != NO_LINE) kept[(size_t)m] = n;
  }
  // Areas the file held that no area comes from go with all their lines.
  int last_area_line = NO_LINE;
  for (int m = 1; m < MAX_AREAS; m++) {
    const FileArea &f = areas_[(size_t)m];
    if (f.header == NO_LINE) continue;
    if (m <= was.area_count) last_area_line = std::max(last_area_line, f.last);
    if (m <= was.area_count && !kept[(size_t)m])
      for (int i = f.header; i <= f.last; i++) edits_[(size_t)i].drop = 1;
  }
  if (last_area_line == NO_LINE && !lines_.empty()) last_area_line = (int)lines_.size() - 1;
  // New areas take the spacing of the section they follow.
  std::string spacing_after = equals_;
  for (int m = 1; m < MAX_AREAS && m <= was.area_count; m++)
    if (areas_[(size_t)m].header != NO_LINE && areas_[(size_t)m].last == last_area_line) spacing_after = spacing_of(m);
  for (int n = 1; n <= now.area_count; n++) {
    const TargetArea &area = now.areas[n];
    const int m = area.file_number;
    if (m > 0 && m < MAX_AREAS && kept[(size_t)m] == n)
      edit_area(n, area, was.areas[m]);
    else
      new_area(n, area, last_area_line, spacing_after);
  }
  std::string out = assemble();
  // What the reader makes of it must be what the areas are.
  // Not zeroed: 13 MB a save; the reader sets every field it is asked about.
  std::unique_ptr<TargetSet> check(new TargetSet);
  check->area_count = check->target_total = 0;
  if (!out.empty()) read_target_text_into(*check, out.data(), (long)out.size(), nullptr);
  for (int n = 1; n <= std::max(now.area_count, check->area_count); n++) {
    std::string what = "it";
    if (n <= now.area_count && n <= check->area_count && same_area(now.areas[n], check->areas[n], &what)) continue;
    *why = "[TargetArea" + digits3(n) + "] would not be read back as edited (" + what +
           "): its section is out of number order or beyond the reach of the one before";
    return "";
  }
  why->clear();
  return out;
}

// The quick way for a large file after a few edits: only the sections of
// the areas that changed are read, parsed and written anew, the rest copied
// as they are, and only the areas whose reader's window saw a change read
// back. It works from where the file's lines that begin with "[" are and
// reads the file's bytes through old, so that a save need not read the
// whole file again. false when it cannot vouch for its result (the caller
// then takes the whole way, which also says why a file cannot be written).

enum { LINE_NOT_SECTION = -1 };

// The lines of a file that begin with "[" and what each is.
struct FileLines {
  long size = 0;
  bool returns = false;      // a carriage return anywhere: the quick way finds lines at line feeds only
  std::vector<long> starts;  // as bracket_lines gives them
  std::vector<int> kinds;    // the area a header names (met again or not), 0 another section, or LINE_NOT_SECTION
};

int line_kind(const char *line, long size) {
  const ConfigLine l = config_line_at(line, size, 0);
  const ConfigEntry entry = config_entry_of(line, l.start, l.end);
  return config_is_section(line, entry) ? target_area_section(line, entry) : LINE_NOT_SECTION;
}

FileLines lines_of_text(const char *text, long size, std::vector<long> starts) {
  FileLines lines;
  lines.size = size;
  lines.returns = size > 0 && memchr(text, '\r', (size_t)size);
  if (lines.returns) return lines;
  lines.starts = std::move(starts);
  for (long q : lines.starts) lines.kinds.push_back(line_kind(text + q, size - q));
  return lines;
}

// The kind of the new text's line at q, read a piece at a time up to its end.
bool patched_line_kind(const TextPatch &patch, const OldTextReader &old, long q, int *kind) {
  const long size = patched_size(patch);
  std::string line;
  for (long n = 256;; n *= 2) {
    if (!patched_bytes(patch, old, q, q + n, &line)) return false;
    if (memchr(line.data(), '\n', line.size()) || memchr(line.data(), '\r', line.size()) ||
        q + (long)line.size() >= size)
      break;
  }
  *kind = line_kind(line.data(), (long)line.size());
  return true;
}

struct QuickSave {
  TextPatch patch;
  FileLines after;           // the new file's
  std::vector<int> renewed;  // the areas (by their new numbers) not as the file held them
};

bool read_old(const OldTextReader &old, long from, long to, std::string *out) {
  out->assign((size_t)std::max(to - from, 0L), '\0');
  return from >= to || old(from, to - from, &(*out)[0]);
}

bool same_as_file(const TargetArea &a, const TargetArea &b) {
  std::string what;
  if (!same_area(a, b, &what)) return false;
  for (int t = 1; t <= a.target_count; t++)
    if (a.targets[t].file_number != t) return false;
  return true;
}

bool plan_quick_save(const TargetSet &file, const FileLines &lines, const OldTextReader &old, const TargetSet &now,
                     QuickSave *plan) {
  const long size = lines.size;
  if (size <= 0 || lines.returns) return false;
  // Each area's section runs from its header to the next header; an area
  // met again counts as another section.
  std::vector<long> start((size_t)MAX_AREAS, -1), end((size_t)MAX_AREAS, -1);
  std::vector<char> seen((size_t)MAX_AREAS, 0);
  int open = 0;
  for (size_t i = 0; i < lines.starts.size(); i++) {
    const int m = lines.kinds[i];
    if (m == LINE_NOT_SECTION) continue;
    if (open) end[(size_t)open] = lines.starts[i];
    open = m && !seen[(size_t)m] ? m : 0;
    if (open) seen[(size_t)m] = 1, start[(size_t)m] = lines.starts[i];
  }
  if (open) end[(size_t)open] = size;
  long last_end = -1;
  for (int m = 1; m <= file.area_count; m++) {
    if (start[(size_t)m] < 0) return false;
    last_end = std::max(last_end, end[(size_t)m]);
  }
  std::vector<int> kept((size_t)MAX_AREAS, 0);
  for (int n = 1; n <= now.area_count; n++) {
    const int m = now.areas[n].file_number;
    if (m < 1 || m > file.area_count) continue;  // a new area
    if (kept[(size_t)m]) return false;           // an old copy put back beside its successor
    kept[(size_t)m] = n;
  }
  std::vector<TextReplacement> edits;
  std::vector<char> check((size_t)now.area_count + 2, 0), as_file((size_t)now.area_count + 2, 0);
  std::string section;
  // The file's spacing around "=": its first area section's that has one.
  std::string spacing;
  for (size_t i = 0; i < lines.starts.size() && spacing.empty(); i++) {
    const int m = lines.kinds[i];
    if (m < 1 || m >= MAX_AREAS || start[(size_t)m] != lines.starts[i]) continue;
    if (!read_old(old, start[(size_t)m], end[(size_t)m], &section)) return false;
    spacing = Writer(section.data(), (long)section.size()).first_spacing();
  }
  if (spacing.empty()) spacing = "=";
  for (int m = 1; m <= file.area_count; m++) {
    const int n = kept[(size_t)m];
    if (!n) {
      edits.push_back({start[(size_t)m], end[(size_t)m], ""});
      continue;
    }
    if (n == m && same_as_file(now.areas[n], file.areas[m])) {
      as_file[(size_t)n] = 1;
      continue;
    }
    if (!read_old(old, start[(size_t)m], end[(size_t)m], &section)) return false;
    Writer writer(section.data(), (long)section.size(), spacing);
    edits.push_back({start[(size_t)m], end[(size_t)m], writer.edited_section(n, now.areas[n], file.areas[m])});
    check[(size_t)n] = 1;
  }
  // New areas after the last area's section, as the whole way puts them,
  // numbered after every area the file held.
  int last_kept = 0;
  for (int m = 1; m <= file.area_count; m++) last_kept = std::max(last_kept, kept[(size_t)m]);
  // Their line ends and spacing are those of the section they follow.
  int last = 1;
  for (int k = 1; k <= file.area_count; k++)
    if (end[(size_t)k] == last_end) last = k;
  std::string added, sample;
  for (int n = 1; n <= now.area_count; n++) {
    const int m = now.areas[n].file_number;
    if (m >= 1 && m <= file.area_count && kept[(size_t)m] == n) continue;
    if (n <= last_kept || file.area_count < 1) return false;
    if (sample.empty() && !read_old(old, start[(size_t)last], end[(size_t)last], &sample)) return false;
    Writer writer(sample.data(), (long)sample.size(), spacing);
    added += writer.new_section(n, now.areas[n], added.empty(), false);
    check[(size_t)n] = 1;
  }
  // Sections in the file's order, so that replacements come in order.
  std::stable_sort(edits.begin(), edits.end(),
                   [](const TextReplacement &a, const TextReplacement &b) { return a.from < b.from; });
  for (size_t i = 1; i < edits.size(); i++)
    if (edits[i].from < edits[i - 1].to) return false;
  if (!added.empty()) {
    // After what the new text has before them: a last line without its end
    // given one, a blank line unless one is there; at the file's end, no
    // line end after them where the file had none.
    TextPatch so_far;
    so_far.old_size = size;
    so_far.edits = edits;
    const long at = patched_position(so_far, last_end);
    std::string before_end;
    if (!patched_bytes(so_far, old, std::max(at - 2, 0L), at, &before_end)) return false;
    std::string prefix = !before_end.empty() && before_end.back() != '\n' ? "\n" : "";
    while (!config_ends_blank(before_end + prefix)) prefix += "\n";
    added.insert(0, prefix);
    if (last_end < size) added += "\n";
    std::string last_byte;
    if (last_end == size && !read_old(old, size - 1, size, &last_byte)) return false;
    if (last_end == size) keep_last_line_open(last_byte.data(), 1, &added);
    TextReplacement insertion = {last_end, last_end, added};
    auto after = std::upper_bound(edits.begin(), edits.end(), insertion,
                                  [](const TextReplacement &a, const TextReplacement &b) { return a.from < b.from; });
    edits.insert(after, insertion);
  }
  TextPatch &patch = plan->patch;
  patch.old_size = size;
  patch.edits = std::move(edits);
  // The new file's lines: those in unchanged ranges as they were.
  FileLines &after = plan->after;
  std::vector<int> from_old;
  if (!patched_bracket_lines(patch, lines.starts, old, &after.starts, &from_old)) return false;
  after.size = patched_size(patch);
  after.returns = false;
  for (const TextReplacement &r : patch.edits) after.returns = after.returns || r.with.find('\r') != std::string::npos;
  after.kinds.assign(after.starts.size(), LINE_NOT_SECTION);
  for (size_t i = 0; i < after.starts.size(); i++) {
    if (from_old[i] >= 0) after.kinds[i] = lines.kinds[(size_t)from_old[i]];
    else if (!patched_line_kind(patch, old, after.starts[i], &after.kinds[i])) return false;
  }
  // Read back every area whose window saw a change: an edited one, one
  // whose window start moved against its text, one whose window covers an
  // edit; and the one after the last, which must not be read.
  const std::vector<long> before = target_window_starts(lines.starts, size, file.area_count);
  const std::vector<long> starts = target_window_starts(after.starts, after.size, now.area_count);
  std::unique_ptr<TargetArea> read(new TargetArea);
  std::string window;
  for (int n = 1; n <= now.area_count + 1 && n < MAX_AREAS; n++) {
    const int m = n <= now.area_count ? now.areas[n].file_number : 0;
    bool verify = n > now.area_count || check[(size_t)n] || m != n;
    if (!verify) {
      const long p = before[(size_t)m], window_end = p + (long)TARGET_READ_WINDOW;
      verify = patched_position(patch, p) != starts[(size_t)n];
      for (const TextReplacement &r : patch.edits)
        if (r.from < window_end && r.to > p) verify = true;
    }
    if (!verify) continue;
    const long p = starts[(size_t)n];
    if (!patched_bytes(patch, old, p, p + (long)TARGET_READ_WINDOW, &window)) return false;
    const int found = read_target_area_at(*read, window.data(), (long)window.size(), 0, n);
    std::string what;
    if (n > now.area_count ? found : !found || !same_area(now.areas[n], *read, &what)) return false;
  }
  plan->renewed.clear();
  for (int n = 1; n <= now.area_count; n++)
    if (!as_file[(size_t)n]) plan->renewed.push_back(n);
  return true;
}

}  // namespace

bool target_text_quickly(const char *text, long size, const TargetSet &file, const TargetSet &now, std::string *out) {
  // A file with a carriage return is left to the whole way before its lines are looked for.
  if (size <= 0 || memchr(text, '\r', (size_t)size)) return false;
  QuickSave plan;
  if (!plan_quick_save(file, lines_of_text(text, size, bracket_lines(text, size)), old_text_in_memory(text), now,
                       &plan))
    return false;
  *out = patched_text(plan.patch, text);
  return true;
}

namespace {

// What the writer keeps of the file since it was read or last saved, so
// that a save after a few edits reads and writes only what changed: the
// areas the file holds, its lines that begin with "[", and its status then.
struct KeptFile {
  TargetSet areas;
  FileLines lines;
  FileStamp stamp;
};
std::unique_ptr<KeptFile> kept;
int quick_saves;

void copy_areas(TargetSet &to, const TargetSet &from) {
  to.area_count = from.area_count;
  to.target_total = from.target_total;
  for (int n = 1; n <= from.area_count && n < MAX_AREAS; n++) to.areas[n] = from.areas[n];
}

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

void keep_file(const TargetSet &areas, FileLines lines, const FileStamp &stamp) {
  if (!kept) kept.reset(new KeptFile);
  copy_areas(kept->areas, areas);
  kept->lines = std::move(lines);
  kept->stamp = stamp;
}

// Writes the new file as a save does (a new file renamed over the old
// one) with write, which returns 0, an errno, or -1 for a failure whose
// reason it does not know; then stamp records the new file.
int write_target_file(const char *path, const std::function<int(SafeFile &)> &write, FileStamp *stamp,
                      std::string *why) {
  SafeFile file;
  WriteError error = {0, 0};
  if (safe_file_open(&file, path) != 0) {
    write_failed(&error, file.error, file.creating);
  } else {
    const int failed = write(file);
    if (safe_file_commit(&file, failed == 0) == 0) {
      record_file_stamp(stamp, path, &file.written);
      return RESULT_OK;
    }
    write_failed(&error, failed > 0 ? failed : file.error, 0);
  }
  char reason[1024];
  write_failure_text(path, error, reason, sizeof(reason));
  *why = get_filename(path) + std::string(" cannot be written: ") + (reason[0] ? reason : "the system gave no reason.");
  return RESULT_CANNOT_WRITE;
}

void number_as_saved(TargetArea &area, int n) {
  area.file_number = n;
  for (int t = 1; t <= area.target_count; t++) area.targets[t].file_number = t;
}

// The quick way from the file as kept, when what is at path is still that
// very file: only the changed sections are read from it, the rest copied
// by the system. -1 when it cannot vouch for its result.
int save_quickly(const char *path, FileStamp *stamp, TargetSet &now, std::string *why) {
  struct stat st;
  const int fd = open_regular_file(path, &st);
  if (fd < 0) return -1;
  QuickSave plan;
  int result = -1;
  if (file_stamp_matches(&kept->stamp, path, &st) && kept->lines.size == (long)st.st_size &&
      plan_quick_save(kept->areas, kept->lines, old_text_in_file(fd), now, &plan)) {
    result = write_target_file(
        path, [&](SafeFile &file) { return write_patched_file(file.fd, fd, plan.patch); }, stamp, why);
  }
  close(fd);
  if (result != RESULT_OK) return result;
  // Only the areas the file did not hold as they are now are copied.
  for (int n : plan.renewed) {
    number_as_saved(now.areas[n], n);
    kept->areas.areas[n] = now.areas[n];
  }
  kept->areas.area_count = now.area_count;
  kept->areas.target_total = now.target_total;
  kept->lines = std::move(plan.after);
  kept->stamp = *stamp;
  quick_saves++;
  return RESULT_OK;
}

}  // namespace

void remember_target_file(const TargetSet &areas, const char *text, long size, const std::vector<long> &window_starts,
                          const FileStamp &stamp) {
  keep_file(areas, lines_of_text(text, size, lines_from_windows(text, size, window_starts)), stamp);
}

void forget_target_file() { kept.reset(); }

int target_saves_taken_quickly() { return quick_saves; }

std::string target_number_text(float value) {
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15f) {
    char text[32];
    snprintf(text, sizeof(text), "%.0f", (double)value);
    return text;
  }
  char text[48];
  for (int precision = 1; precision <= 9; precision++) {
    snprintf(text, sizeof(text), "%.*g", precision, (double)value);
    if (same_float(parse_float(text), value)) return text;
  }
  return text;
}

std::string target_text_after_edits(const char *text, long size, const TargetSet &now, std::string *why,
                                    const TargetSet *file_areas) {
  std::string quick;
  if (file_areas && target_text_quickly(text, size, *file_areas, now, &quick)) {
    why->clear();
    return quick;
  }
  std::unique_ptr<TargetSet> was(new TargetSet);
  was->area_count = was->target_total = 0;
  if (size > 0) read_target_text_into(*was, text, size, nullptr);
  Writer writer(text, size);
  return writer.run(*was, now, why);
}

int save_target_file(const char *path, FileStamp *stamp, TargetSet &now, std::string *why, int overwrite) {
  const std::string name = get_filename(path);
  const int changed = file_changed_on_disk(stamp, path);
  if (changed && !overwrite) return TARGET_FILE_CHANGED;
  if (!changed && kept) {
    const int quick = save_quickly(path, stamp, now, why);
    if (quick >= 0) return quick;
  }
  long size = 0;
  char *text = nullptr;
  if (!target_file_absent(path)) {
    text = read_whole_file(path, &size);
    if (!text) {
      *why = name + " cannot be read again to be written.";
      return RESULT_CANNOT_WRITE;
    }
  }
  // Another program's file: the areas are compared with what it holds.
  const std::string out =
      target_text_after_edits(text ? text : "", size, now, why, changed || !kept ? nullptr : &kept->areas);
  free(text);
  if (!why->empty()) {
    *why = name + ": " + *why + "; nothing written.";
    return RESULT_CANNOT_WRITE;
  }
  const int result = write_target_file(
      path,
      [&](SafeFile &file) {
        return pack_fwrite(out.data(), (long)out.size(), file.pack) == (long)out.size() ? 0 : -1;
      },
      stamp, why);
  if (result != RESULT_OK) return result;
  for (int n = 1; n <= now.area_count; n++) number_as_saved(now.areas[n], n);
  keep_file(now, lines_of_text(out.data(), (long)out.size(), bracket_lines(out.data(), (long)out.size())), *stamp);
  return RESULT_OK;
}
