// The manual text box's layout and drawing on arbitrary bytes, in an
// exact-size buffer so that any read past the terminator is caught.
#include <allegro.h>
#include <cstdlib>
#include <cstring>

#include "tests/fuzz/fuzz_support.h"
#include "ui/manual_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  if (size < 3) return 0;
  // The first bytes choose the offset and the box width.
  int offset = data[0] % 8, width = 40 + data[1] * 3;
  data += 2;
  size -= 2;
  char *text = (char *)malloc(size + 1);
  memcpy(text, data, size);
  text[size] = 0;
  int lines = 0;
  draw_html_text(text, &lines, 0, 0, 1, 8, 7, 25, width, 428, 0, 0, 0, 0);
  draw_html_text(text, &lines, 1, offset, 1, 8, 7, 25, width, 428, 0, makecol(0, 0, 0),
                 makecol(173, 197, 222), makecol(56, 72, 89));
  draw_html_text(text, &lines, 1, offset, 0, 8, 7, 25, width, 428, 1, 0, 0, 0);
  free(text);
  return 0;
}
