// The height map reader on arbitrary bytes, with a tile map of the size the
// bytes' own header asks for (so that most inputs get past the size check).
#include "core/terrain_model.h"
#include "files/height_map_file.h"
#include "tests/fuzz/fuzz_support.h"

static int32_t le32(const uint8_t *p) {
  return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  if (size >= 8) {
    int32_t sx = le32(data), sy = le32(data + 4);
    if (sx >= 0 && sy >= 0 && sx <= 4 * MAX_TILES && sy <= 4 * MAX_TILES) {
      if (!fuzz_grid_fits((long long)sx * sy, size, 2)) return 0;
      tile_map.tiles_x = sx / 4;
      tile_map.tiles_y = sy / 4;
    }
  }
  std::string path = fuzz_file("f.hfd", data, size);
  if (load_height_map(path.c_str(), nullptr) == 0) {
    if (height_map.max_height > MAX_HEIGHT || !height_map.heights_loaded) __builtin_trap();
    std::string copy = path + ".copy";
    if (save_height_map(copy.c_str()) != 0) __builtin_trap();
  }
  fuzz_reset_grids();
  return 0;
}
