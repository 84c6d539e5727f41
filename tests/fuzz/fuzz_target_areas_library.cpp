// The target areas reader against the library's own look-ups on arbitrary
// text: both must leave the same areas and targets, byte for byte.
#include <cstdio>

#include "tests/fuzz/fuzz_support.h"
#include "tests/unit/target_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  if (size == 0) return 0;
  const std::string difference = compare_with_library_reader((const char *)data, (long)size);
  if (!difference.empty()) {
    fprintf(stderr, "the readers differ: %s\n", difference.c_str());
    __builtin_trap();
  }
  return 0;
}
