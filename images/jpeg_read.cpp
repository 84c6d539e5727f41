// JPEG through libjpeg (the turbo build), from memory: baseline and
// progressive, grey or colour, decoded straight into RGBA. CMYK and YCCK are
// refused. Any warning refuses the file too: libjpeg warns where the data is
// damaged or cut short, and would fill in what is missing with grey.
//
// libjpeg reports errors through its error manager's error_exit, which
// longjmps back here: the frame that calls setjmp is plain C and owns
// nothing; the pixels live in the JpegJob its caller owns.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>

#include "images/image_header.h"
#include "images/image_pixels.h"

enum {
  JPEG_MAX_SCANS = 300,  // sound progressive files have a dozen; each scan costs a pass
  JPEG_MAX_MEMORY = 384 << 20,  // a 4096 x 4096 progressive file needs about 100 MB of coefficients
};

struct JpegJob {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  jpeg_progress_mgr progress;
  jmp_buf jump;
  ImagePixels pixels;
};

static JpegJob *jpeg_job(j_common_ptr c) {
  return (JpegJob *)((char *)c->err - offsetof(JpegJob, errors));
}

static void jpeg_fail(j_common_ptr c) { longjmp(jpeg_job(c)->jump, 1); }

// Warnings (level -1) refuse the file; traces are dropped.
static void jpeg_message(j_common_ptr c, int level) {
  if (level < 0) jpeg_fail(c);
}
static void jpeg_no_output(j_common_ptr) {}

// Files of endless tiny scans would keep the decoder busy for minutes.
static void jpeg_watch_scans(j_common_ptr c) {
  if (c->is_decompressor && ((j_decompress_ptr)c)->input_scan_number > JPEG_MAX_SCANS) jpeg_fail(c);
}

// 0 with job->pixels filled; 1 on any error, job->pixels then holding
// whatever was allocated.
static int jpeg_decode(JpegJob *job, const unsigned char *data, unsigned long size) {
  j_decompress_ptr cinfo = &job->cinfo;
  if (setjmp(job->jump)) return 1;
  jpeg_create_decompress(cinfo);
  cinfo->mem->max_memory_to_use = JPEG_MAX_MEMORY;
  cinfo->progress = &job->progress;
  jpeg_mem_src(cinfo, data, size);
  if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return 1;
  if (!image_size_accepted(cinfo->image_width, cinfo->image_height)) return 1;
  const J_COLOR_SPACE space = cinfo->jpeg_color_space;
  if (space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB) return 1;
  cinfo->out_color_space = JCS_EXT_RGBA;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_components != 4 || start_image_pixels(&job->pixels, cinfo->output_width, cinfo->output_height))
    return 1;
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = job->pixels.rgba + (size_t)cinfo->output_scanline * cinfo->output_width * 4;
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return 1;
  }
  jpeg_finish_decompress(cinfo);
  return 0;
}

int read_jpeg_pixels(const unsigned char *data, long size, ImagePixels *out) {
  *out = ImagePixels{0, 0, nullptr};
  if (size < 3 || data[0] != 0xFF || data[1] != 0xD8) return 1;
  JpegJob *job = (JpegJob *)calloc(1, sizeof(JpegJob));
  if (!job) return 1;
  job->cinfo.err = jpeg_std_error(&job->errors);
  job->errors.error_exit = jpeg_fail;
  job->errors.emit_message = jpeg_message;
  job->errors.output_message = jpeg_no_output;
  job->progress.progress_monitor = jpeg_watch_scans;
  const int failed = jpeg_decode(job, data, (unsigned long)size);
  jpeg_destroy_decompress(&job->cinfo);
  if (failed) free_image_pixels(&job->pixels);
  else *out = job->pixels;
  free(job);
  return failed;
}
