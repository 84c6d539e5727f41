// The texture loader on arbitrary image bytes: the first byte picks the
// file type the library is asked to read. Most runs read the file alone; one
// in 64 (the first byte's top bits all set) makes every level from it too,
// which costs a hundred times as much.
#include <allegro.h>

#include "core/terrain_model.h"
#include "images/textures.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  if (size < 1) return 0;
  static const char *names[] = {"t.bmp", "t.pcx", "t.tga", "t.lbm"};
  const char *name = names[data[0] % 4];
  // Only entry 1 is used; release_textures below gave its bitmaps back.
  texture_table.textures_loaded = 0;
  texture_table.textures[1].sample_color = makecol(150, 0, 150);
  std::string path = fuzz_file(name, data + 1, size - 1);
  if ((data[0] >> 2) != 63) {
    PALETTE palette;
    BITMAP *file = read_texture_file(path.c_str(), palette);
    if (file) destroy_bitmap(file);
    return 0;
  }
  static const std::string tfd = fuzz_file("t.TFD", nullptr, 0);
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", tfd.c_str());
  snprintf(texture_table.textures[1].filename, PATH_SIZE, "%s", name);
  texture_table.textures_declared = texture_table.last_declared_texture = 1;
  texture_table.texture_count = 1;
  if (load_textures(nullptr) != 0) __builtin_trap();
  for (BITMAP *level : texture_table.textures[1].levels)
    if (!level) __builtin_trap();
  release_textures();
  return 0;
}
