// PNG through libpng's classic interface, from memory. Every colour type and
// depth becomes 8-bit RGBA: palettes and low depths expanded, tRNS made
// alpha, 16-bit channels rounded to 8 (png_set_scale_16). No gamma is
// applied: the ancillary chunks other than tRNS are not even read.
//
// libpng reports errors by longjmp: the frame that calls setjmp is plain C
// and owns nothing; what it allocates lives in the PngJob its caller owns.
#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "images/image_header.h"
#include "images/image_pixels.h"

enum {
  PNG_MAX_CHUNK_BYTES = 8 << 20,  // far above any sound ancillary chunk
  PNG_MAX_CACHED_CHUNKS = 256,
  PNG_SIDE_LIMIT = 32767,
};

struct PngJob {
  const unsigned char *data;
  size_t size, pos;
  png_structp png;
  png_infop info;
  ImagePixels pixels;
  png_bytep *rows;
};

static void png_read_bytes(png_structp png, png_bytep dest, size_t n) {
  PngJob *job = (PngJob *)png_get_io_ptr(png);
  if (n > job->size - job->pos) png_error(png, "cut short");
  memcpy(dest, job->data + job->pos, n);
  job->pos += n;
}

static void png_fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
static void png_quiet(png_structp, png_const_charp) {}

// The reading set up to give 8-bit RGBA rows; 0, or 1 when the header is
// refused. Within png_decode's jump frame only.
static int png_start(PngJob *job, png_uint_32 *width, png_uint_32 *height, int *interlace, int *channels) {
  png_structp png = job->png;
  png_infop info = job->info;
  png_set_read_fn(png, job, png_read_bytes);
  png_set_user_limits(png, PNG_SIDE_LIMIT, PNG_SIDE_LIMIT);
  png_set_chunk_malloc_max(png, PNG_MAX_CHUNK_BYTES);
  png_set_chunk_cache_max(png, PNG_MAX_CACHED_CHUNKS);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(png, info);
  int depth, colour;
  png_get_IHDR(png, info, width, height, &depth, &colour, interlace, nullptr, nullptr);
  if (!image_size_accepted(*width, *height)) return 1;
  png_set_expand(png);
  png_set_scale_16(png);
  if (!(colour & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
  // Opaque pictures: an alpha of 255 throughout, added only when asked for.
  const int opaque = !(colour & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS);
  if (opaque && *channels == 4) png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  if (!opaque) *channels = 4;
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return png_get_rowbytes(png, info) != (size_t)*width * *channels;
}

// 0 with job->pixels filled; 1 on any error. On either, job->pixels.rgba and
// job->rows hold whatever was allocated.
static int png_decode(PngJob *job) {
  png_structp png = job->png;
  if (setjmp(png_jmpbuf(png))) return 1;
  png_uint_32 width, height;
  int interlace, channels = 4;
  if (png_start(job, &width, &height, &interlace, &channels)) return 1;
  if (start_image_pixels(&job->pixels, width, height)) return 1;
  job->rows = (png_bytep *)malloc(sizeof(png_bytep) * height);
  if (!job->rows) return 1;
  for (png_uint_32 y = 0; y < height; y++) job->rows[y] = job->pixels.rgba + (size_t)y * width * 4;
  png_read_image(png, job->rows);
  return 0;
}

// Row after row into one row of job->pixels (height 1) for the taker; 0, 1
// on any error, 2 for an interlaced file, whose rows come in passes.
static int png_decode_rows(PngJob *job, const PixelRows &taker) {
  png_structp png = job->png;
  if (setjmp(png_jmpbuf(png))) return 1;
  png_uint_32 width, height;
  int interlace, channels = 3;
  if (png_start(job, &width, &height, &interlace, &channels)) return 1;
  if (interlace != PNG_INTERLACE_NONE) return 2;
  if (start_image_pixels(&job->pixels, width, 1) || taker.start(taker.context, (int)width, (int)height, channels))
    return 1;
  for (png_uint_32 y = 0; y < height; y++) {
    png_read_row(png, job->pixels.rgba, nullptr);
    taker.row(taker.context, (int)y, job->pixels.rgba);
  }
  return 0;
}

// The reader over a PNG in memory, its signature checked and passed; false
// when it is no PNG or the library has no reader for it (job.info may
// still be null: the caller's decode then fails).
static bool start_png_job(const unsigned char *data, long size, PngJob *job) {
  *job = PngJob{data, (size_t)size, 8, nullptr, nullptr, {0, 0, nullptr}, nullptr};
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
  job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_fail, png_quiet);
  if (!job->png) return false;
  job->info = png_create_info_struct(job->png);
  png_set_sig_bytes(job->png, 8);
  return true;
}

int read_png_rows(const unsigned char *data, long size, const PixelRows &taker) {
  PngJob job;
  if (!start_png_job(data, size, &job)) return 1;
  const int result = !job.info ? 1 : png_decode_rows(&job, taker);
  png_destroy_read_struct(&job.png, job.info ? &job.info : nullptr, nullptr);
  free_image_pixels(&job.pixels);
  if (result != 2) return result;
  // Interlaced: the whole picture first.
  ImagePixels image;
  if (read_png_pixels(data, size, &image) != 0) return 1;
  int failed = taker.start(taker.context, image.width, image.height, 4);
  for (int y = 0; y < image.height && !failed; y++)
    taker.row(taker.context, y, image.rgba + (size_t)y * image.width * 4);
  free_image_pixels(&image);
  return failed;
}

int read_png_pixels(const unsigned char *data, long size, ImagePixels *out) {
  *out = ImagePixels{0, 0, nullptr};
  PngJob job;
  if (!start_png_job(data, size, &job)) return 1;
  const int failed = !job.info || png_decode(&job);
  png_destroy_read_struct(&job.png, job.info ? &job.info : nullptr, nullptr);
  free(job.rows);
  if (failed) {
    free_image_pixels(&job.pixels);
    return 1;
  }
  *out = job.pixels;
  return 0;
}
