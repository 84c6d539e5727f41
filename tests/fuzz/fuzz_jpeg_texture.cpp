// The JPEG reader on arbitrary bytes, fed from memory.
#include "images/image_pixels.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return fuzz_image_reader(read_jpeg_pixels, data, size);
}
