#include "render/export/diff_picture.h"

#include <allegro.h>
#include <cstring>

#include "render/export/export_bitmap.h"
#include "render/export/export_stream.h"

namespace {

struct DiffRows {
  const uint8_t *marks;
  int tiles_x;
};

// The marks are the palette's indices already.
void produce_rows(const void *context, int y0, int y1, unsigned char *out, long row_bytes) {
  const DiffRows &rows = *(const DiffRows *)context;
  for (int k = 0; k < y1 - y0; k++)
    memcpy(out + k * row_bytes, rows.marks + (long)(y1 - 1 - k) * rows.tiles_x, (size_t)rows.tiles_x);
}

}  // namespace

int write_diff_picture(const uint8_t *marks, int tiles_x, int tiles_y, int png, const Reporter *reporter,
                       char *written) {
  // Indexed by DiffMark; channels of 0..63.
  RGB palette[256] = {{16, 16, 16, 0}, {63, 0, 0, 0}, {0, 0, 63, 0}, {63, 0, 63, 0}};
  const DiffRows rows = {marks, tiles_x};
  const RowSource source = {tiles_x, tiles_y, 8, palette, produce_rows, &rows};
  return export_picture_file("_Diff_", png ? "png" : "bmp", source, reporter, written);
}
