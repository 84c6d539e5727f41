// The tile map reader on arbitrary bytes; what loads must save and load again.
#include <cstring>

#include "terrain/terrain_model.h"
#include "terrain/tile_map_file.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  clear_terrain_model();
  std::string path = fuzz_file("f.TFD", data, size);
  if (load_tile_map(path.c_str(), nullptr) == 0) {
    std::string copy = path + ".copy";
    if (save_tile_map(copy.c_str()) != 0) __builtin_trap();
    int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
    if (load_tile_map(copy.c_str(), nullptr) != 0 || tile_map.tiles_x != tx || tile_map.tiles_y != ty)
      __builtin_trap();
  }
  return 0;
}
