// The land cover class table on arbitrary text: what it reads is one entry
// per class value, each naming a land the lands file could hold, every
// problem one line naming its line, and the result says which it was.
#include <set>
#include <string>

#include "core/land_table.h"
#include "core/reporter.h"
#include "files/class_table.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  ClassTable table;
  const int result = read_class_text((const char *)data, (long)size, &table);
  const int expected = table.entries.empty() ? RESULT_NOTHING_READ : table.problems.empty() ? 0 : RESULT_BAD_DATA;
  if (result != expected) __builtin_trap();
  long lines = 1;
  for (size_t i = 0; i < size; i++) lines += data[i] == '\n' || data[i] == '\r';
  std::set<long long> values;
  long last = 0;
  for (const ClassEntry &c : table.entries) {
    if (!values.insert(c.value).second || c.land.empty() || c.land.size() >= LAND_NAME_SIZE) __builtin_trap();
    if (c.line <= last || c.line > lines) __builtin_trap();
    if (c.land.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    last = c.line;
  }
  for (const std::string &p : table.problems)
    if (p.compare(0, 5, "line ") != 0 || p.find_first_of("\r\n") != std::string::npos) __builtin_trap();
  return 0;
}
