#include "files/class_table.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unordered_map>

#include "core/land_table.h"
#include "core/regular_file.h"
#include "core/reporter.h"
#include "files/config_lines.h"

namespace {

// A whole number as written: an optional minus, then digits only.
bool parse_class_value(const std::string &text, long long *value) {
  const size_t sign = !text.empty() && text[0] == '-';
  if (text.size() == sign || text.size() > sign + 12 || text.find_first_not_of("0123456789", sign) != std::string::npos)
    return false;
  *value = strtoll(text.c_str(), nullptr, 10);
  return true;
}

}  // namespace

int read_class_text(const char *text, long size, ClassTable *table) {
  *table = ClassTable();
  long at = 0, line = 0;
  // 0 before any section, 1 in [Classes], 2 in another.
  int section = 0;
  std::unordered_map<long long, long> given;  // value -> its line, so a long table reads in linear time
  auto problem = [&](const std::string &what) { table->problems.push_back("line " + std::to_string(line) + ": " + what); };
  while (at < size) {
    const ConfigLine l = config_line_at(text, size, at);
    at = l.next;
    line++;
    const ConfigEntry e = config_entry_of(text, l.start, l.end);
    if (e.name_length == 0) continue;
    const std::string name(text + e.name, (size_t)e.name_length), value(text + e.value, (size_t)e.value_length);
    if (config_is_section(text, e)) {
      section = config_name_is(text, e, "[Classes]") ? 1 : 2;
      if (section == 2) problem(name + " is not read; the classes go into [Classes]");
      continue;
    }
    if (section == 2) continue;
    if (section == 0) {
      problem(name + " comes before [Classes]");
      continue;
    }
    long long v;
    if (!parse_class_value(name, &v)) {
      problem(name + " is not a whole number (VALUE=LAND)");
      continue;
    }
    if (value.empty() || value.size() >= LAND_NAME_SIZE) {
      problem(name + (value.empty() ? " names no land" : " names a land longer than 63 characters"));
      continue;
    }
    const auto before = given.emplace(v, line);
    if (!before.second) {
      problem("class " + name + " is given on line " + std::to_string(before.first->second) + " already");
      continue;
    }
    table->entries.push_back({v, value, line});
  }
  if (table->entries.empty()) return RESULT_NOTHING_READ;
  return table->problems.empty() ? 0 : RESULT_BAD_DATA;
}

int load_class_table(const char *path, ClassTable *table) {
  *table = ClassTable();
  int too_large, error;
  const int result = read_config_file(path, [&](const char *text, long size) { return read_class_text(text, size, table); },
                                      &too_large, &error);
  if (result == RESULT_CANNOT_OPEN)
    table->problems.push_back(too_large ? "over the 64 MB a file may hold; it is not read"
                                        : std::string("cannot be read: ") + open_failure_reason(error));
  return result;
}
