// The height import on arbitrary picture bytes: the first byte picks a PNG
// or a raw grid and the tile map's size (1 to 8 tiles a side), so that
// pictures of the right size are within the fuzzer's reach.
#include <cstdio>
#include <vector>

#include "core/terrain_model.h"
#include "document/height_import.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  if (size < 1) return 0;
  const int tiles_x = 1 + (data[0] & 7), tiles_y = 1 + ((data[0] >> 3) & 7);
  const unsigned char tfd[16] = {(unsigned char)tiles_x, 0, 0, 0, (unsigned char)tiles_y, 0, 0, 0};
  const std::string terrain = fuzz_file("h.TFD", tfd, sizeof(tfd));
  const std::string picture = fuzz_file(data[0] & 64 ? "h.r16" : "h.png", data + 1, size - 1);
  char why[600], written[600];
  const int fit = data[0] & 128 ? 5000 : 0;
  const int result = import_heights(picture.c_str(), terrain.c_str(), fit, why, written, sizeof(why));
  if (result == IMPORT_WRITTEN) {
    // What was written holds the terrain's size and no height above the limit.
    FILE *f = fopen(written, "rb");
    if (!f) __builtin_trap();
    std::vector<unsigned char> bytes(16 + 2 * 16 * tiles_x * tiles_y + 1);
    const size_t n = fread(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    if (n != bytes.size() - 1 || bytes[0] != 4 * tiles_x || bytes[4] != 4 * tiles_y) __builtin_trap();
    for (size_t i = 16; i < n; i += 2)
      if ((bytes[i] | bytes[i + 1] << 8) > MAX_HEIGHT) __builtin_trap();
  } else if (!why[0]) {
    __builtin_trap();  // a refusal always says why
  }
  return 0;
}
