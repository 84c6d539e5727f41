#include "files/target_quick_patch.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/terrain_model.h"
#include "files/config_lines.h"
#include "files/target_rewrite.h"

namespace {

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
  *kind = target_line_kind(line.data(), (long)line.size());
  return true;
}


bool read_old(const OldTextReader &old, long from, long to, std::string *out) {
  out->assign((size_t)std::max(to - from, 0L), '\0');
  return from >= to || old(from, to - from, &(*out)[0]);
}

bool same_as_file(const TargetArea &a, const TargetArea &b) {
  std::string what;
  if (!same_target_area(a, b, &what)) return false;
  for (int t = 1; t <= a.target_count; t++)
    if (a.targets[t].file_number != t) return false;
  return true;
}

// The new file's sections: those in unchanged ranges as they were, the
// others read from the patched text.
bool patched_sections(const TextPatch &patch, const TargetSections &lines, const OldTextReader &old,
                      TargetSections *out) {
  TargetSections &after = *out;
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
  return true;
}

// New areas' sections (added) after the last area's, where the whole way
// puts them.
bool insert_new_areas(const OldTextReader &old, long size, long last_end, std::string added,
                      std::vector<TextReplacement> *into) {
  std::vector<TextReplacement> &edits = *into;
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
  return true;
}

// Reads back every area whose window saw a change: an edited one, one whose
// window start moved against its text, one whose window covers an edit;
// and the one after the last, which must not be read.
bool read_back_as_now(const TextPatch &patch, const TargetSections &after, const TargetSections &lines,
                      const OldTextReader &old, const TargetSet &file, const TargetSet &now,
                      const std::vector<char> &check) {
  const long size = lines.size;
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
    if (n > now.area_count ? found : !found || !same_target_area(now.areas[n], *read, &what)) return false;
  }
  return true;
}

}  // namespace

bool plan_quick_save(const TargetSet &file, const TargetSections &lines, const OldTextReader &old, const TargetSet &now,
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
    spacing = target_first_spacing(section.data(), (long)section.size());
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
    edits.push_back({start[(size_t)m], end[(size_t)m],
                     target_section_edited(section.data(), (long)section.size(), spacing, n, now.areas[n], file.areas[m])});
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
    added += target_section_new(sample.data(), (long)sample.size(), spacing, n, now.areas[n], added.empty());
    check[(size_t)n] = 1;
  }
  // Sections in the file's order, so that replacements come in order.
  std::stable_sort(edits.begin(), edits.end(),
                   [](const TextReplacement &a, const TextReplacement &b) { return a.from < b.from; });
  for (size_t i = 1; i < edits.size(); i++)
    if (edits[i].from < edits[i - 1].to) return false;
  if (!added.empty() && !insert_new_areas(old, size, last_end, std::move(added), &edits)) return false;
  TextPatch &patch = plan->patch;
  patch.old_size = size;
  patch.edits = std::move(edits);
  TargetSections &after = plan->after;
  if (!patched_sections(patch, lines, old, &after)) return false;
  if (!read_back_as_now(patch, after, lines, old, file, now, check)) return false;
  plan->renewed.clear();
  for (int n = 1; n <= now.area_count; n++)
    if (!as_file[(size_t)n]) plan->renewed.push_back(n);
  return true;
}

bool target_text_quickly(const char *text, long size, const TargetSet &file, const TargetSet &now, std::string *out) {
  // A file with a carriage return is left to the whole way before its lines are looked for.
  if (size <= 0 || memchr(text, '\r', (size_t)size)) return false;
  QuickSave plan;
  if (!plan_quick_save(file, target_sections_of(text, size, bracket_lines(text, size)), old_text_in_memory(text), now,
                       &plan))
    return false;
  *out = patched_text(plan.patch, text);
  return true;
}
