// The terrain description reader on arbitrary text (against the library's
// own look-ups in terrain_description_library).
#include <cstring>

#include "core/terrain_model.h"
#include "files/terrain_description.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  // The reader writes every entry's file name; only the counters add up.
  texture_table.textures_declared = texture_table.last_declared_texture = 0;
  std::string path = fuzz_file("f_DATA.ini", data, size);
  const int result = load_terrain_description(path.c_str(), nullptr);
  const int declared = texture_table.textures_declared;
  if (declared < 0 || declared > MAX_TEXTURES - 1) __builtin_trap();
  if ((result == 0) != (declared > 0)) __builtin_trap();
  for (int t = 1; t < MAX_TEXTURES; t++)
    if (strlen(texture_table.textures[t].filename) >= PATH_SIZE) __builtin_trap();
  return 0;
}
