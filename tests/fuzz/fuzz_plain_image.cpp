// The plain copies of top-down, run-length and interleaved image files, fed
// from memory: the first byte picks the kind. A copy that is made must be a
// plain file of exactly the size its header describes, which the library's
// plain loader then reads.
#include <allegro.h>

#include "images/plain_image.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/unit/sample_images.h"

enum { FUZZ_LOADED_PIXELS = 256 * 256 };  // larger copies are checked, not loaded

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  if (size < 1) return 0;
  static int (*const rewrites[])(const unsigned char *, long, PlainImage *) = {plain_bmp, plain_tga, plain_lbm};
  PlainImage image;
  if (rewrites[data[0] % 3](data + 1, (long)size - 1, &image) != 0) return 0;
  if (plain_file_size(image.bytes, image.size, image.targa) != image.size) __builtin_trap();
  const unsigned char *b = image.bytes;
  const long pixels = image.targa ? (long)(b[12] | b[13] << 8) * (b[14] | b[15] << 8)
                                  : (long)(b[18] | b[19] << 8) * (b[22] | b[23] << 8);
  if (pixels <= FUZZ_LOADED_PIXELS) {
    PALETTE palette = {};
    BITMAP *bmp = load_plain_bytes(&image, palette);
    if (bmp) destroy_bitmap(bmp);
  }
  free_plain_image(&image);
  return 0;
}
