#include "images/png_grey.h"

#include <csetjmp>
#include <cstdlib>
#include <png.h>

enum {
  GREY_MAX_SIDE = 1 << 16,  // far beyond any grid (16000 samples a side)
  GREY_BATCH_ROWS = 64,     // rows handed on together: the taker transposes them
};

namespace {

void grey_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void grey_warning(png_structp, png_const_charp) {}

struct GreyRead {
  FILE *file;
  GreyShape shape;
  int interlaced;
  uint16_t *values;  // a batch of rows, or the whole picture when interlaced (malloc)
};

// Sets up the transforms: 16 bits in the machine's order. Depths below 8
// and alpha are refused rather than widened or dropped, which would make
// heights the file does not hold.
int start_read(png_structp png, png_infop info, GreyRead *r) {
  png_init_io(png, r->file);
  png_set_user_limits(png, GREY_MAX_SIDE, GREY_MAX_SIDE);
  png_read_info(png, info);
  const int colour = png_get_color_type(png, info);
  r->shape.width = (int)png_get_image_width(png, info);
  r->shape.height = (int)png_get_image_height(png, info);
  r->shape.bits = png_get_bit_depth(png, info);
  r->shape.alpha = colour == PNG_COLOR_TYPE_GRAY_ALPHA;
  if (colour != PNG_COLOR_TYPE_GRAY && colour != PNG_COLOR_TYPE_GRAY_ALPHA) return GREY_NOT_GREY;
  if (r->shape.alpha || r->shape.bits < 8) return GREY_NOT_PLAIN;
  r->interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
  // Eight-bit values are widened to 16 bits with a zero high byte.
  if (r->shape.bits == 8) png_set_filler(png, 0, PNG_FILLER_AFTER);
  else png_set_swap(png);
  if (r->interlaced) png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return GREY_READ;
}

// The libpng part, in a frame that owns nothing but the library's structs
// and what r points to (freed by the caller).
int read_grey(GreyRead *r, const GreyRows *rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, grey_error, grey_warning);
  if (!png) return GREY_NOT_PNG;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return GREY_NOT_PNG;
  }
  int result = start_read(png, info, r);
  if (result == GREY_READ && rows) {
    const size_t batch = r->interlaced ? (size_t)r->shape.height : (size_t)GREY_BATCH_ROWS;
    r->values = (uint16_t *)malloc((size_t)r->shape.width * batch * sizeof(uint16_t));
    if (!r->values) result = GREY_TOO_LARGE;
  }
  if (result == GREY_READ && rows) {
    if (r->interlaced) {
      // Each pass adds its pixels to the rows the passes before it left.
      for (int pass = png_set_interlace_handling(png); pass > 0; pass--)
        for (int y = 0; y < r->shape.height; y++)
          png_read_row(png, (png_bytep)(r->values + (size_t)y * r->shape.width), nullptr);
      rows->take(rows->context, 0, r->shape.height, r->values);
    } else {
      for (int y0 = 0; y0 < r->shape.height; y0 += GREY_BATCH_ROWS) {
        const int n = r->shape.height - y0 < GREY_BATCH_ROWS ? r->shape.height - y0 : GREY_BATCH_ROWS;
        for (int k = 0; k < n; k++) png_read_row(png, (png_bytep)(r->values + (size_t)k * r->shape.width), nullptr);
        rows->take(rows->context, y0, n, r->values);
      }
    }
    png_read_end(png, nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return result;
}

}  // namespace

int png_grey_size(FILE *file, GreyShape *shape) {
  GreyRead r = {file, {0, 0, 0, 0}, 0, nullptr};
  const int result = read_grey(&r, nullptr);
  rewind(file);
  *shape = r.shape;
  return result;
}

int png_grey_read(FILE *file, const GreyRows &rows) {
  GreyRead r = {file, {0, 0, 0, 0}, 0, nullptr};
  const int result = read_grey(&r, &rows);
  free(r.values);
  return result;
}
