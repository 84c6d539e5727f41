// The target file writer on arbitrary files after random edits: the last
// byte says how many edits (up to 15) the six bytes each before it make,
// the rest is the file. It is read as the window reads it, edited as
// target mode edits (undo included), and saved from the kept file in the
// scratch folder. A save that is made writes what the whole rewrite
// writes (where that one writes at all), reads back as the edited areas,
// and keeps every section no edit touched byte for byte; a refusal says
// why and leaves the file.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/terrain_model.h"
#include "edit/target_edits.h"
#include "files/config_lines.h"
#include "files/target_areas.h"
#include "files/target_file_writer.h"
#include "files/target_rewrite.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char *const NAMES[] = {"Harbour", "Depot 2", "Kestrel Island AB", "x=y", "#7", "[TargetArea001]", "Ünter", "a;b"};
const char *const TYPES[] = {"Hangar", "Runway3", "Runway1", "Tank", "Runway", "Fuel=1", "Bunker"};

std::string text_of(const std::string &path) {
  std::string s;
  FILE *f = fopen(path.c_str(), "rb");
  for (int c; f && (c = fgetc(f)) != EOF;) s += (char)c;
  if (f) fclose(f);
  return s;
}

// One edit from six bytes, as target mode makes them.
std::unique_ptr<TargetChange> edit(const uint8_t *b) {
  const int n = 1 + b[1] % (targets.area_count + 1);
  const int t = 1 + b[2] % 8;
  const double x = (int8_t)b[3] * 250.0 + b[4], y = (int8_t)b[4] * 125.0 - b[5];
  switch (b[0] % 10) {
    case 0: return target_area_move(n, x, y);
    case 1: return target_move(n, t, x, y);
    case 2: return target_area_turn(n, (int8_t)b[3]);
    case 3: return target_add(n, TYPES[b[5] % 7], x, y);
    case 4: return target_area_add(NAMES[b[5] % 8], b[3] & 1, x, y, TYPES[b[3] % 7]);
    case 5: return target_remove(n, t);
    case 6: return target_area_remove(n);
    case 7: return target_area_rename(n, NAMES[b[5] % 8]);
    default: return target_area_switch_side(n);
  }
}

// Where each section begins, as the reader parses lines: the text before
// the first header counts as a section, kind -1.
struct Section {
  long start, end;
  int area;  // the area a header names, 0 another section, -1 none
};

std::vector<Section> sections_of(const std::string &text) {
  std::vector<Section> s = {{0, 0, -1}};
  const char *t = text.data();
  for (long at = 0; at < (long)text.size();) {
    const ConfigLine l = config_line_at(t, (long)text.size(), at);
    const ConfigEntry e = config_entry_of(t, l.start, l.end);
    if (config_is_section(t, e)) s.push_back({l.start, l.start, target_area_section(t, e)});
    at = s.back().end = l.next;
  }
  return s;
}

bool line_end(char c) { return c == '\n' || c == '\r'; }

std::unique_ptr<TargetSet> was(new TargetSet), back(new TargetSet);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  if (size < 1) return 0;
  size_t edits = data[size - 1] % 16;
  if (6 * edits + 1 > size) edits = (size - 1) / 6;
  const size_t text_size = size - 1 - 6 * edits;
  const std::string path = fuzz_file("T_TARGETS.ini", data, text_size);
  const std::string text((const char *)data, text_size);
  targets.area_count = targets.target_total = 0;
  TargetFile kept;
  load_target_areas(path.c_str(), nullptr, &kept);
  copy_target_areas(*was, targets);
  std::vector<std::unique_ptr<TargetChange>> done;
  for (size_t k = 0; k < edits; k++) {
    const uint8_t *b = data + text_size + 6 * k;
    if (b[0] >= 250 && !done.empty()) {  // undo
      done.back()->apply(0);
      done.pop_back();
      continue;
    }
    std::unique_ptr<TargetChange> c = edit(b);
    if (c) done.push_back(std::move(c));
  }
  // Which areas are as the file holds them, at their own numbers.
  std::vector<bool> untouched(MAX_AREAS + 1, true);
  for (int n = 1; n <= targets.area_count; n++) {
    const TargetArea &a = targets.areas[n];
    const int m = a.file_number;
    bool same = m == n && n <= was->area_count && same_target_area(was->areas[n], a, nullptr);
    for (int t = 1; same && t <= a.target_count; t++) same = a.targets[t].file_number == t;
    if (!same) untouched[(size_t)n] = false;
    if (m >= 1 && m < MAX_AREAS) untouched[(size_t)m] = untouched[(size_t)m] && same;
  }
  for (int m = targets.area_count + 1; m <= was->area_count; m++) untouched[(size_t)m] = false;
  std::string why_whole;
  const std::string whole = target_text_after_edits(text.data(), (long)text.size(), targets, &why_whole);
  std::string why;
  const int saved = save_target_file(path.c_str(), &targets.stamp, targets, &why, 0, &kept);
  const std::string out = text_of(path);
  if (saved != RESULT_OK) {
    if (saved != RESULT_CANNOT_WRITE || why.empty() || out != text || why_whole.empty()) __builtin_trap();
    return 0;
  }
  // The quick way may save a file the whole rewrite refuses (a section out
  // of number order it cannot vouch for), and where the headers are not the
  // areas read, once each (a section twice, or one the reader left out),
  // the two may put an added line or area beside either: what was written
  // must still read back as edited, below.
  const std::vector<Section> sections = sections_of(text);
  std::vector<int> headers;
  for (const Section &s : sections)
    if (s.area > 0) headers.push_back(s.area);
  std::sort(headers.begin(), headers.end());
  bool regular = headers.size() == (size_t)std::max(0, was->area_count);
  for (size_t k = 0; regular && k < headers.size(); k++) regular = headers[k] == (int)k + 1;
  if (why_whole.empty() && regular && out != whole) __builtin_trap();
  back->area_count = back->target_total = 0;
  if (!out.empty()) read_target_text_into(*back, out.data(), (long)out.size(), nullptr);
  if (back->area_count != targets.area_count) __builtin_trap();
  for (int n = 1; n <= targets.area_count; n++)
    if (!same_target_area(targets.areas[n], back->areas[n], nullptr)) __builtin_trap();
  // Sections no edit touched, in order, each ending where a line does.
  size_t from = 0;
  for (const Section &s : sections) {
    if (s.area > 0 && (s.area > was->area_count || !untouched[(size_t)s.area])) continue;
    long end = s.end;
    while (end > s.start && line_end(text[(size_t)end - 1])) end--;
    if (end == s.start) continue;
    const size_t at = out.find(text.substr((size_t)s.start, (size_t)(end - s.start)), from);
    if (at == std::string::npos) __builtin_trap();
    from = at + (size_t)(end - s.start);
    if (from < out.size() && !line_end(out[from])) __builtin_trap();
  }
  return 0;
}
