#include "files/config_lines.h"
#include "core/regular_file.h"
#include "core/reporter.h"

#include <sys/stat.h>

#include <cerrno>

#include <cstdlib>
#include <cstring>
#include <map>

enum { CONFIG_SEARCH_PIECE = 256 };

// The blanks of the library's reader: no byte above 127 counts as one.
static bool is_blank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// The library's lower case: ASCII and the Latin-1 capitals.
static unsigned char lower_case(unsigned char c) {
  const bool capital = (c >= 'A' && c <= 'Z') || (c >= 192 && c <= 222 && c != 215);
  return capital ? c + 32 : c;
}

ConfigLine config_line_at(const char *text, long size, long start) {
  // Looked for a piece at a time, so that a text broken only by returns
  // does not send every search for a feed to its end.
  long at = start;
  while (at < size) {
    const long left = size - at;
    const size_t piece = (size_t)(left < (long)CONFIG_SEARCH_PIECE ? left : (long)CONFIG_SEARCH_PIECE);
    const char *feed = (const char *)memchr(text + at, '\n', piece);
    const size_t before = feed ? (size_t)(feed - (text + at)) : piece;
    const char *ret = (const char *)memchr(text + at, '\r', before);
    if (ret || feed) {
      at = (ret ? ret : feed) - text;
      break;
    }
    at += (long)piece;
  }
  ConfigLine line = {start, at, at};
  if (at < size) {
    const char c = text[at];
    line.next = at + 1;
    if (line.next < size && (text[line.next] == '\r' || text[line.next] == '\n') &&
        text[line.next] != c)
      line.next++;
  }
  return line;
}

ConfigEntry config_entry_of(const char *text, long start, long end) {
  // The reader copies the line into a string: a zero byte ends it early.
  const void *zero = memchr(text + start, 0, (size_t)(end - start));
  if (zero) end = (const char *)zero - text;

  long at = start;
  while (at < end && is_blank((unsigned char)text[at])) at++;
  ConfigEntry entry = {at, 0, end, 0};
  while (at < end && !is_blank((unsigned char)text[at]) && text[at] != '=' && text[at] != '#') at++;
  entry.name_length = at - entry.name;
  if (entry.name_length == 0) return entry;

  while (at < end && (is_blank((unsigned char)text[at]) || text[at] == '=')) at++;
  long value_end = end;
  while (value_end > at && is_blank((unsigned char)text[value_end - 1])) value_end--;
  entry.value = at;
  entry.value_length = value_end - at;
  return entry;
}

bool config_is_section(const char *text, const ConfigEntry &entry) {
  return entry.name_length > 0 && text[entry.name] == '[' &&
         text[entry.name + entry.name_length - 1] == ']';
}

bool config_name_is(const char *text, const ConfigEntry &entry, const char *name) {
  const unsigned char *a = (const unsigned char *)text + entry.name;
  const unsigned char *b = (const unsigned char *)name;
  long i = 0;
  for (; i < entry.name_length && b[i]; i++)
    if (lower_case(a[i]) != lower_case(b[i])) return false;
  return i == entry.name_length && !b[i];
}

bool config_next_entry(const char *text, long size, long *at, ConfigEntry *entry) {
  while (*at < size) {
    const ConfigLine line = config_line_at(text, size, *at);
    *at = line.next;
    *entry = config_entry_of(text, line.start, line.end);
    if (entry->name_length > 0) return true;
  }
  return false;
}

bool config_ends_blank(const std::string &text) {
  size_t n = text.size();
  auto line_end_before = [&]() {
    if (n == 0 || (text[n - 1] != '\n' && text[n - 1] != '\r')) return false;
    const char c = text[--n];
    if (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r') && text[n - 1] != c) n--;
    return true;
  };
  return n == 0 || (line_end_before() && (n == 0 || line_end_before()));
}

namespace {

const char UTF8_MARK[] = "\xEF\xBB\xBF";

struct TextLine {
  ConfigLine line;
  ConfigEntry entry;
};

// The spacing between a key line's name and its value when it holds "=".
std::string spacing_of(const char *text, const ConfigEntry &e) {
  const long from = e.name + e.name_length;
  return e.value > from && memchr(text + from, '=', (size_t)(e.value - from)) ? std::string(text + from, (size_t)(e.value - from))
                                                                              : std::string();
}

}  // namespace

std::string config_text_with_values(const char *text, long size, const std::vector<ConfigValue> &values) {
  const long mark = size >= 3 && memcmp(text, UTF8_MARK, 3) == 0 ? 3 : 0;
  std::vector<TextLine> lines;
  std::string eol, text_spacing;
  for (long at = mark; at < size;) {
    const ConfigLine line = config_line_at(text, size, at);
    at = line.next;
    lines.push_back({line, config_entry_of(text, line.start, line.end)});
    if (eol.empty() && line.next > line.end) eol.assign(text + line.end, (size_t)(line.next - line.end));
    const ConfigEntry &e = lines.back().entry;
    if (text_spacing.empty() && e.name_length > 0 && !config_is_section(text, e)) text_spacing = spacing_of(text, e);
  }
  if (eol.empty()) eol = "\n";
  if (text_spacing.empty()) text_spacing = " = ";
  std::map<size_t, std::vector<std::string>> added;  // by line: the lines after it, without their ends
  std::map<size_t, std::pair<long, std::string>> replaced;  // by line: how much of its value goes, and what comes
  std::vector<std::string> new_sections;
  std::map<std::string, std::string> new_keys;  // of each new section
  for (const ConfigValue &v : values) {
    const std::string header = "[" + v.section + "]";
    // The reader looks in every section of the name, the first line of the key counting.
    int in = -1, first = -1, last_key = -1;  // in: the section's occurrence the line is in
    int sections_seen = 0;
    std::string spacing;
    size_t found = lines.size();
    for (size_t i = 0; i < lines.size() && found == lines.size(); i++) {
      const ConfigEntry &e = lines[i].entry;
      if (e.name_length == 0) continue;
      if (config_is_section(text, e)) {
        in = config_name_is(text, e, header.c_str()) ? sections_seen++ : -1;
        if (in == 0) first = last_key = (int)i;
        continue;
      }
      if (in < 0) continue;
      if (config_name_is(text, e, v.key.c_str())) found = i;
      if (in == 0) {
        last_key = (int)i;
        if (spacing.empty()) spacing = spacing_of(text, e);
      }
    }
    const std::string line = v.key + (spacing.empty() ? text_spacing : spacing) + v.value;
    if (found < lines.size()) {
      const ConfigEntry &e = lines[found].entry;
      long length = e.value_length;
      if (v.number && length > 0) {
        const std::string old(text + e.value, (size_t)length);
        char *end = nullptr;
        strtol(old.c_str(), &end, 0);
        if (end > old.c_str()) length = (long)(end - old.c_str());
        // Digits it stopped before ("08" reads as octal 0) would run on the new number.
        while (length < e.value_length && text[e.value + length] >= '0' && text[e.value + length] <= '9') length++;
      }
      replaced[found] = {length, v.value};
    } else if (first >= 0) {
      added[(size_t)last_key].push_back(line);
    } else {
      if (!new_keys.count(v.section)) new_sections.push_back(v.section);
      new_keys[v.section] += line + eol;
    }
  }
  std::string out(text, (size_t)mark);
  for (size_t i = 0; i < lines.size(); i++) {
    const ConfigLine &l = lines[i].line;
    const ConfigEntry &e = lines[i].entry;
    auto r = replaced.find(i);
    if (r == replaced.end()) {
      out.append(text + l.start, (size_t)(l.next - l.start));
    } else {
      // A name with nothing after it needs a separator before its value.
      const std::string gap = e.value == e.name + e.name_length ? text_spacing : "";
      out.append(text + l.start, (size_t)(e.value - l.start)) += gap + r->second.second;
      out.append(text + e.value + r->second.first, (size_t)(l.next - e.value - r->second.first));
    }
    auto a = added.find(i);
    if (a == added.end()) continue;
    // The end of the line they follow: another kind could pair with a
    // blank line after them and make one line end of two.
    const std::string end = l.next > l.end ? std::string(text + l.end, (size_t)(l.next - l.end)) : eol;
    if (l.next == l.end) out += eol;
    for (const std::string &added_line : a->second) out += added_line + end;
  }
  if (!new_sections.empty()) {
    if (out.size() > (size_t)mark && out.back() != '\n' && out.back() != '\r') out += eol;
    while (!config_ends_blank(out.substr((size_t)mark))) out += eol;
    for (size_t k = 0; k < new_sections.size(); k++)
      out += (k ? eol : "") + "[" + new_sections[k] + "]" + eol + new_keys[new_sections[k]];
  }
  // A last line without its end keeps it so after lines were added.
  const bool open_end = size > mark && text[size - 1] != '\n' && text[size - 1] != '\r';
  const bool lines_added = !added.empty() || !new_sections.empty();
  if (open_end && lines_added && out.size() >= eol.size() && out.compare(out.size() - eol.size(), eol.size(), eol) == 0)
    out.resize(out.size() - eol.size());
  return out;
}

int read_config_file(const char *path, const std::function<int(const char *, long)> &read, int *too_large,
                     int *error) {
  *too_large = *error = 0;
  struct stat st;
  if (!path[0] || (lstat(path, &st) != 0 && errno == ENOENT)) return RESULT_NO_FILE;
  long size = 0;
  int why = 0;
  char *text = read_whole_file(path, &size, &why);
  if (!text) {
    *error = errno;
    *too_large = why == WHOLE_FILE_TOO_LARGE;
    return RESULT_CANNOT_OPEN;
  }
  const int result = read(text, size);
  free(text);
  return result;
}
