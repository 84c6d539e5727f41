#include "files/target_rewrite.h"

#include <allegro.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/regular_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "files/config_lines.h"
#include "files/target_areas.h"


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

// What of b differs from a, or null when nothing does.
const char *area_difference(const TargetArea &a, const TargetArea &b) {
  if (strcmp(a.name, b.name) != 0) return "its name";
  if (!same_float(a.pos_x, b.pos_x) || !same_float(a.pos_y, b.pos_y)) return "its position";
  if (a.enemy != b.enemy) return "its side";
  if (a.target_count != b.target_count) return "its targets";
  for (int t = 1; t <= a.target_count; t++) {
    const Target &x = a.targets[t], &y = b.targets[t];
    if (strcmp(x.type, y.type) != 0 || !same_float(x.file_offset_x, y.file_offset_x) ||
        !same_float(x.file_offset_y, y.file_offset_y) || (t == 1 && a.runway_number >= 0 && x.heading != y.heading))
      return "its targets";
  }
  return nullptr;
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
    if (m > 0 && m < MAX_AREAS && kept[(size_t)m] == n) {
      // An area as the file holds it keeps every byte of its section, as
      // the quick patch keeps it.
      bool as_file = n == m && same_target_area(area, was.areas[m], nullptr);
      for (int t = 1; as_file && t <= area.target_count; t++) as_file = area.targets[t].file_number == t;
      if (!as_file) edit_area(n, area, was.areas[m]);
    } else
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
    if (n <= now.area_count && n <= check->area_count && same_target_area(now.areas[n], check->areas[n], &what)) continue;
    *why = "[TargetArea" + digits3(n) + "] would not be read back as edited (" + what +
           "): its section is out of number order or beyond the reach of the one before";
    return "";
  }
  why->clear();
  return out;
}

}  // namespace

// A file whose last line has no end keeps it so when lines are added after
// (out: the text with them, ending with them).
void keep_last_line_open(const char *text, long size, std::string *out) {
  if (size <= 0 || text[size - 1] == '\n' || text[size - 1] == '\r' || out->empty() || out->back() != '\n') return;
  out->pop_back();
  if (!out->empty() && out->back() == '\r') out->pop_back();
}

bool same_target_area(const TargetArea &a, const TargetArea &b, std::string *what) {
  const char *differs = area_difference(a, b);
  if (differs && what) *what = differs;
  return !differs;
}

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

std::string target_text_rewritten(const char *text, long size, const TargetSet &was, const TargetSet &now,
                                  std::string *why) {
  Writer writer(text, size);
  return writer.run(was, now, why);
}

std::string target_section_edited(const char *section, long size, const std::string &spacing, int n,
                                  const TargetArea &area, const TargetArea &old) {
  return Writer(section, size, spacing).edited_section(n, area, old);
}

std::string target_section_new(const char *sample, long size, const std::string &spacing, int n,
                               const TargetArea &area, bool after_blank) {
  return Writer(sample, size, spacing).new_section(n, area, after_blank, false);
}

std::string target_first_spacing(const char *section, long size) { return Writer(section, size).first_spacing(); }
