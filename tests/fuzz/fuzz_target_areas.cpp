// The target areas reader on arbitrary text, read from memory. Everything
// it stores must stay within the tables and every name within its field.
#include <cmath>
#include <cstring>

#include "core/terrain_model.h"
#include "files/target_areas.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  if (size == 0) return 0;  // an empty file asks the user, in a dialog
  targets.area_count = targets.target_total = 0;
  read_target_text((const char *)data, (long)size, nullptr);
  if (targets.area_count < 0 || targets.area_count > MAX_AREAS - 1) __builtin_trap();
  for (int n = 1; n <= targets.area_count; n++) {
    const TargetArea &a = targets.areas[n];
    if (strnlen(a.name, NAME_SIZE) >= NAME_SIZE) __builtin_trap();
    if (a.target_count < 0 || a.target_count > MAX_TARGETS - 1) __builtin_trap();
    for (int t = 1; t <= a.target_count; t++)
      if (!std::isfinite(a.targets[t].offset_x) || !std::isfinite(a.targets[t].offset_y))
        __builtin_trap();
  }
  return 0;
}
