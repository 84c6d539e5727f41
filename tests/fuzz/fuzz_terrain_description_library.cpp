// The terrain description reader on arbitrary text, against the library's
// own look-ups: both must leave the same names, flags and counters.
#include <cstdio>

#include "tests/fuzz/fuzz_support.h"
#include "tests/unit/target_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  std::string path = fuzz_file("f_DATA.ini", data, size);
  const std::string difference = compare_description_with_library(path.c_str());
  if (!difference.empty()) {
    fprintf(stderr, "the readers differ: %s\n", difference.c_str());
    __builtin_trap();
  }
  return 0;
}
