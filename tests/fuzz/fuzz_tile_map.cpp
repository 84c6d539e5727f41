// The tile map reader on arbitrary bytes; what loads must save and load again.
#include <cstring>

#include "core/terrain_model.h"
#include "files/tile_map_file.h"
#include "tests/fuzz/fuzz_support.h"

static int32_t le32(const uint8_t *p) {
  return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  if (size >= 8) {
    const int32_t tx = le32(data), ty = le32(data + 4);
    // A grid the loader takes but the bytes are far too few for would only
    // repeat the same end-of-file tiles for a long time.
    if (tx >= 0 && ty >= 0 && tx <= MAX_TILES && ty <= MAX_TILES &&
        !fuzz_grid_fits((long long)tx * ty, size, 12))
      return 0;
  }
  std::string path = fuzz_file("f.TFD", data, size);
  if (load_tile_map(path.c_str(), nullptr) == 0) {
    std::string copy = path + ".copy";
    if (save_tile_map(copy.c_str()) != 0) __builtin_trap();
    int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
    if (load_tile_map(copy.c_str(), nullptr) != 0 || tile_map.tiles_x != tx || tile_map.tiles_y != ty)
      __builtin_trap();
  }
  fuzz_reset_grids();
  return 0;
}
