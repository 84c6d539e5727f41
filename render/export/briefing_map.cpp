#include "render/export/briefing_map.h"

#include <allegro.h>
#include <atomic>
#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <fontconfig/fontconfig.h>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "core/terrain_model.h"
#include "document/terrain_geo.h"
#include "files/tile_map_file.h"
#include "images/jpeg_write.h"
#include "images/png_write.h"
#include "render/export/briefing_page.h"
#include "render/export/briefing_picture.h"
#include "render/export/export_file.h"
#include "render/export/export_passes.h"
#include "render/export/export_stream.h"

namespace {

const char *const BRIEFING_SUFFIX = "_Briefing_";
const int BRIEFING_JPEG_QUALITY = 90;

// The font through fontconfig (DejaVu Sans, or whatever the system offers
// in its place); the library's own sans-serif when fontconfig finds none.
cairo_font_face_t *find_font(const char *name) {
  FcPattern *pattern = FcNameParse((const FcChar8 *)name);
  cairo_font_face_t *face = nullptr;
  if (pattern) {
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    if (match) {
      face = cairo_ft_font_face_create_for_pattern(match);
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
  }
  if (face && cairo_font_face_status(face) == CAIRO_STATUS_SUCCESS) return face;
  if (face) cairo_font_face_destroy(face);
  const bool bold = strstr(name, "bold") != nullptr;
  return cairo_toy_font_face_create("sans-serif", CAIRO_FONT_SLANT_NORMAL,
                                    bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
}

// The terrain's name from its tile map's file name.
std::string terrain_name() {
  char name[PATH_SIZE];
  snprintf(name, sizeof(name), "%s", get_filename(terrain_paths.tfd_path));
  char *dot = strrchr(name, '.');
  if (dot && dot != name) *dot = 0;
  return briefing_text(name);
}

// Today, or the day SOURCE_DATE_EPOCH names, so that a build can make the
// same picture twice.
std::string today() {
  time_t now = time(nullptr);
  const char *fixed = getenv("SOURCE_DATE_EPOCH");
  if (fixed && fixed[0]) now = (time_t)strtoll(fixed, nullptr, 10);
  struct tm day;
  char text[32];
  if (fixed && fixed[0] ? !gmtime_r(&now, &day) : !localtime_r(&now, &day)) return "";
  strftime(text, sizeof(text), "%Y-%m-%d", &day);
  return text;
}

// The PDF goes through a buffer: the library writes it in many small pieces.
struct PdfSink {
  int fd;
  int error;
  std::vector<unsigned char> pending;
};

enum { PDF_WRITE_BYTES = 1 << 20 };

int flush_pdf(PdfSink &sink) {
  if (!sink.error && !sink.pending.empty()) sink.error = write_fully(sink.fd, sink.pending.data(), (long)sink.pending.size());
  sink.pending.clear();
  return sink.error;
}

// Small pieces gather in the buffer (its room reserved at the start, so
// that nothing allocates inside the library's call); large ones go
// straight to the file.
cairo_status_t write_pdf_bytes(void *closure, const unsigned char *data, unsigned int length) {
  PdfSink &sink = *(PdfSink *)closure;
  if (sink.error) return CAIRO_STATUS_WRITE_ERROR;
  if (sink.pending.size() + length > sink.pending.capacity() && flush_pdf(sink)) return CAIRO_STATUS_WRITE_ERROR;
  if (length >= sink.pending.capacity()) {
    sink.error = write_fully(sink.fd, data, (long)length);
  } else {
    sink.pending.insert(sink.pending.end(), data, data + length);
  }
  return sink.error ? CAIRO_STATUS_WRITE_ERROR : CAIRO_STATUS_SUCCESS;
}

// What one briefing export holds while it runs.
struct BriefingJob {
  const Reporter *reporter;
  char *pdf_name;
  char png_name[PATH_SIZE];
  BriefingFonts fonts;
  BriefingLayout layout;
  cairo_surface_t *picture;
  ExportFile pdf, png;
};

void png_name_beside(const char *pdf_name, char *png_name) {
  snprintf(png_name, PATH_SIZE, "%s", pdf_name);
  char *dot = strrchr(png_name, '.');
  if (dot) snprintf(dot, PATH_SIZE - (dot - png_name), ".png");
}

// The shaded picture of the loaded maps, or over the relief given with the
// tiles read again from the file; 0, or the failure reported.
int make_picture(BriefingJob &job, const ReliefGrid *given) {
  ReliefGrid own;
  if (!given && briefing_relief_from_heights(&own) != RESULT_OK) return report_memory_failure(job.reporter, job.pdf_name);
  const ReliefGrid &relief = given ? *given : own;
  const int tiles_fd = given ? open_tile_rows(terrain_paths.tfd_path) : -1;
  if (given && tiles_fd < 0) {
    report_warning(job.reporter, WARNING_PLAIN, "Error reading TFD file.", terrain_paths.tfd_path);
    return RESULT_CANNOT_OPEN;
  }
  job.picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, relief.columns, relief.rows);
  int failed = cairo_surface_status(job.picture) != CAIRO_STATUS_SUCCESS;
  if (!failed) {
    cairo_surface_flush(job.picture);
    uint32_t *pixels = (uint32_t *)cairo_image_surface_get_data(job.picture);
    const long stride = cairo_image_surface_get_stride(job.picture) / 4;
    failed = make_briefing_picture(relief, tiles_fd, pixels, stride);
    cairo_surface_mark_dirty(job.picture);
  }
  if (tiles_fd >= 0) close(tiles_fd);
  return failed ? report_memory_failure(job.reporter, job.pdf_name) : RESULT_OK;
}

// The PDF, made on a thread of its own while the PNG is drawn: its own
// view of the picture's pixels carries the picture's JPEG (without one the
// library compresses the pixels itself, slower and larger but the same
// picture), so that nothing the PNG's threads read is changed. Reports
// nothing: the caller does, after.
struct PdfJob {
  const BriefingJob *job;
  cairo_status_t status;
  int sink_error;
};

void make_pdf(PdfJob *pdf_job) {
  const BriefingJob &job = *pdf_job->job;
  PdfSink sink{job.pdf.fd, 0, {}};
  try {
    sink.pending.reserve(PDF_WRITE_BYTES);
  } catch (const std::bad_alloc &) {
    pdf_job->status = CAIRO_STATUS_NO_MEMORY;
    return;
  }
  unsigned char *pixels = cairo_image_surface_get_data(job.picture);
  const int w = cairo_image_surface_get_width(job.picture), h = cairo_image_surface_get_height(job.picture);
  const int stride = cairo_image_surface_get_stride(job.picture);
  cairo_surface_t *picture = cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_RGB24, w, h, stride);
  unsigned char *jpeg = nullptr;
  unsigned long jpeg_size = 0;
  if (encode_jpeg_xrgb((const uint32_t *)pixels, w, h, stride / 4, BRIEFING_JPEG_QUALITY, &jpeg, &jpeg_size) == 0 &&
      cairo_surface_set_mime_data(picture, CAIRO_MIME_TYPE_JPEG, jpeg, jpeg_size, free, jpeg) != CAIRO_STATUS_SUCCESS)
    free(jpeg);
  const BriefingLayout &l = job.layout;
  cairo_surface_t *pdf = cairo_pdf_surface_create_for_stream(write_pdf_bytes, &sink, l.page_w, l.page_h);
  cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_TITLE, l.title.c_str());
  cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATOR, "Veldkit");
  cairo_t *cr = cairo_create(pdf);
  draw_briefing(cr, job.fonts, l, picture);
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_finish(pdf);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(pdf);
  cairo_surface_destroy(pdf);
  // The view outlives the PDF surface, which may still refer to it.
  cairo_surface_destroy(picture);
  flush_pdf(sink);
  pdf_job->status = status;
  pdf_job->sink_error = sink.error;
}

// 0, or the PDF's failure reported (the temporary file is gone then).
int pdf_written(BriefingJob &job, const PdfJob &pdf_job) {
  if (pdf_job.status == CAIRO_STATUS_SUCCESS && !pdf_job.sink_error) return 0;
  export_file_discard(&job.pdf);
  if (pdf_job.status == CAIRO_STATUS_NO_MEMORY) return report_memory_failure(job.reporter, job.pdf_name);
  return report_write_failure(job.reporter, job.pdf_name, WriteError{pdf_job.sink_error, 0}, "PDF");
}

// The PNG is drawn in the bands the stream asks for, on the stream's
// threads, each band on a surface of its own: the drawing runs on every
// core while earlier bands are compressed, and no page-sized surface is
// ever made. The fonts and the picture are only read.
struct PageBands {
  const BriefingJob *job;
  int width;
  double scale_x, scale_y;
  mutable std::atomic<int> failed;
};

void produce_page_band(const void *context, int y0, int y1, unsigned char *out, long row_bytes) {
  const PageBands &bands = *(const PageBands *)context;
  cairo_surface_t *band = cairo_image_surface_create(CAIRO_FORMAT_RGB24, bands.width, y1 - y0);
  cairo_t *cr = cairo_create(band);
  cairo_translate(cr, 0, -y0);
  cairo_scale(cr, bands.scale_x, bands.scale_y);
  draw_briefing(cr, bands.job->fonts, bands.job->layout, bands.job->picture);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) bands.failed = 1;
  cairo_destroy(cr);
  cairo_surface_flush(band);
  const unsigned char *data = cairo_image_surface_get_data(band);
  const int stride = cairo_image_surface_get_stride(band);
  for (int y = y0; y < y1; y++) {
    unsigned char *row = out + (long)(y1 - 1 - y) * row_bytes;
    if (data) put_bgr_run((const uint32_t *)(data + (long)(y - y0) * stride), bands.width, row);
    else memset(row, 0, (size_t)bands.width * 3);
  }
  if (!data) bands.failed = 1;
  cairo_surface_destroy(band);
}

// The same page at pixels on its longer side.
int write_png(BriefingJob &job, int pixels) {
  const BriefingLayout &l = job.layout;
  const double scale = pixels / (l.page_w > l.page_h ? l.page_w : l.page_h);
  const int w = (int)(l.page_w * scale + 0.5), h = (int)(l.page_h * scale + 0.5);
  if (export_file_create(&job.png, job.png_name) != 0)
    return report_write_failure(job.reporter, job.png_name, WriteError{job.png.error, 1});
  PageBands bands{&job, w, w / l.page_w, h / l.page_h, {0}};
  RowSource source = {w, h, 24, nullptr, produce_page_band, &bands};
  // Mostly white paper and a picture too fine to repeat itself: runs are
  // what deflate finds, in less time.
  source.png_deflate = PNG_DEFLATE_ZLIB_RUNS;
  int error = 0;
  const StreamResult written = stream_png(job.png.fd, source, nullptr, &error);
  if (written == STREAM_WRITTEN && !bands.failed) return RESULT_OK;
  export_file_discard(&job.png);
  if (written == STREAM_NO_MEMORY || bands.failed) return report_memory_failure(job.reporter, job.png_name);
  return report_write_failure(job.reporter, job.png_name, WriteError{error, 0});
}

// Both complete files get their names: the PDF the first number free for
// both, the PNG beside it, or, when another export took that meanwhile,
// its own next free number.
int publish(BriefingJob &job) {
  for (;;) {
    const int published = export_file_publish(&job.pdf, job.pdf_name);
    if (published == 0) break;
    if (published != RESULT_NAME_TAKEN) {
      export_file_discard(&job.png);
      return report_write_failure(job.reporter, job.pdf_name, WriteError{job.pdf.error, 0}, "PDF");
    }
    const int found = numbered_output_name(BRIEFING_SUFFIX, job.pdf_name, "pdf", "png");
    if (found != 0) {
      export_file_discard(&job.pdf);
      export_file_discard(&job.png);
      return report_name_failure(job.reporter, found, job.pdf_name, "PDF");
    }
  }
  png_name_beside(job.pdf_name, job.png_name);
  for (;;) {
    const int published = export_file_publish(&job.png, job.png_name);
    if (published == 0) return RESULT_OK;
    if (published != RESULT_NAME_TAKEN) return report_write_failure(job.reporter, job.png_name, WriteError{job.png.error, 0});
    const int found = numbered_output_name(BRIEFING_SUFFIX, job.png_name, "png");
    if (found != 0) {
      export_file_discard(&job.png);
      return report_name_failure(job.reporter, found, job.png_name);
    }
  }
}

int run_briefing(BriefingJob &job, const BriefingSettings &settings, const ReliefGrid *relief) {
  int tx, ty;
  export_extent(&tx, &ty);
  if (tx == 0 || ty == 0) {
    report_warning(job.reporter, WARNING_PLAIN, "The terrain has no tiles to export.", job.pdf_name);
    return RESULT_NO_TILES;
  }
  report_progress(job.reporter, "%-70s", "Exporting Briefing Map (picture)...");
  const int pictured = make_picture(job, relief);
  if (pictured != RESULT_OK) return pictured;
  cairo_surface_t *scratch = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
  cairo_t *measure = cairo_create(scratch);
  // A terrain placed on the Earth gets its graticule; one whose place
  // cannot be read is drawn as any other.
  std::string no_place;
  GeoPlacePtr place = read_terrain_place(terrain_paths.tfd_path, &no_place);
  const BriefingTerrain terrain = {terrain_name(), today(), tx, ty, settings.paper, place.get()};
  lay_out_briefing(measure, job.fonts, terrain, &job.layout);
  cairo_destroy(measure);
  cairo_surface_destroy(scratch);
  // The PDF on a thread of its own, the PNG on the stream's: each only
  // reads the picture and the layout. A failure of the PNG is told first,
  // as when the PDF followed it.
  const bool pdf_open = export_file_create(&job.pdf, job.pdf_name) == 0;
  PdfJob pdf_job = {&job, CAIRO_STATUS_SUCCESS, 0};
  std::thread pdf_thread;
  try {
    if (pdf_open) pdf_thread = std::thread(make_pdf, &pdf_job);
  } catch (const std::system_error &) {
  }
  report_progress(job.reporter, "%-70s", "Exporting Briefing Map (PNG)...");
  const int result = write_png(job, settings.pixels);
  if (pdf_thread.joinable()) {
    pdf_thread.join();
  } else if (pdf_open && result == RESULT_OK) {
    report_progress(job.reporter, "%-70s", "Exporting Briefing Map (PDF)...");
    make_pdf(&pdf_job);
  }
  if (result != RESULT_OK) {
    export_file_discard(&job.pdf);
    return result;
  }
  const int pdf = pdf_open ? pdf_written(job, pdf_job)
                           : report_write_failure(job.reporter, job.pdf_name, WriteError{job.pdf.error, 1}, "PDF");
  if (pdf != RESULT_OK) {
    export_file_discard(&job.png);
    return pdf;
  }
  return publish(job);
}

}  // namespace

std::string briefing_png_name(const std::string &pdf_name) {
  char png[PATH_SIZE];
  png_name_beside(pdf_name.c_str(), png);
  return png;
}

int write_briefing_map(const Reporter *reporter, char *pdf_name, const ReliefGrid *relief) {
  pdf_name[0] = 0;
  const int found = numbered_output_name(BRIEFING_SUFFIX, pdf_name, "pdf", "png");
  if (found != 0) return report_name_failure(reporter, found, pdf_name, "PDF");
  BriefingJob job{};
  job.reporter = reporter;
  job.pdf_name = pdf_name;
  job.pdf.fd = job.png.fd = -1;
  png_name_beside(pdf_name, job.png_name);
  job.fonts = {find_font("DejaVu Sans"), find_font("DejaVu Sans:bold")};
  const int result = run_briefing(job, read_briefing_settings(), relief);
  // The picture outlives the PDF surface, which may still refer to it.
  if (job.picture) cairo_surface_destroy(job.picture);
  cairo_font_face_destroy(job.fonts.regular);
  cairo_font_face_destroy(job.fonts.bold);
  if (result != RESULT_OK) pdf_name[0] = 0;
  return result;
}
