#include "images/jpeg_write.h"

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>

// libjpeg reports errors by longjmp to the frame that called setjmp: that
// frame is plain C and owns nothing but the job.
struct JpegWriteJob {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  jmp_buf jump;
  unsigned char *buffer;
  unsigned long size;
};

static void jpeg_write_fail(j_common_ptr c) {
  JpegWriteJob *job = (JpegWriteJob *)((char *)c->err - offsetof(JpegWriteJob, errors));
  longjmp(job->jump, 1);
}
static void jpeg_write_quiet(j_common_ptr) {}

static int jpeg_encode(JpegWriteJob *job, const uint32_t *pixels, int w, int h, long stride, int quality) {
  j_compress_ptr cinfo = &job->cinfo;
  if (setjmp(job->jump)) return 1;
  jpeg_create_compress(cinfo);
  jpeg_mem_dest(cinfo, &job->buffer, &job->size);
  cinfo->image_width = (JDIMENSION)w;
  cinfo->image_height = (JDIMENSION)h;
  // The bytes of a little-endian 0x00RRGGBB pixel are blue, green, red, x.
  cinfo->input_components = 4;
  cinfo->in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    JSAMPROW row = (JSAMPROW)(pixels + (long)cinfo->next_scanline * stride);
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
  return 0;
}

int encode_jpeg_xrgb(const uint32_t *pixels, int w, int h, long stride, int quality, unsigned char **out,
                     unsigned long *size) {
  *out = nullptr;
  *size = 0;
  if (w <= 0 || h <= 0 || w > JPEG_MAX_DIMENSION || h > JPEG_MAX_DIMENSION) return 1;
  JpegWriteJob *job = (JpegWriteJob *)calloc(1, sizeof(JpegWriteJob));
  if (!job) return 1;
  job->cinfo.err = jpeg_std_error(&job->errors);
  job->errors.error_exit = jpeg_write_fail;
  job->errors.output_message = jpeg_write_quiet;
  const int failed = jpeg_encode(job, pixels, w, h, stride, quality);
  jpeg_destroy_compress(&job->cinfo);
  if (failed) {
    free(job->buffer);
  } else {
    *out = job->buffer;
    *size = job->size;
  }
  free(job);
  return failed;
}
