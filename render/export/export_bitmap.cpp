#include "render/export/export_bitmap.h"

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "core/relief_shading.h"
#include "core/safe_file.h"
#include "core/stdio_packfile.h"
#include "core/terrain_model.h"
#include "document/open_terrain.h"
#include "files/geo_file.h"
#include "geo/geotiff_file.h"
#include "core/text_numbers.h"
#include "document/open_terrain.h"
#include "render/export/briefing_map.h"
#include "render/export/export_file.h"
#include "render/export/export_passes.h"
#include "render/export/export_rows.h"
#include "render/export/export_stream.h"
#include "render/export/land_picture.h"
#include "render/export/planning_map.h"
#include "render/export/shade_cache.h"

// The trailing blanks cover the tail of a longer message in the strip.
#define BLANKS_46 "                                              "
static_assert(sizeof("Exporting Bitmap (%d)..." BLANKS_46) == 70 + 1, "70 characters");
static_assert(sizeof("Exporting Bitmap (%d) Done." BLANKS_46) == 73 + 1, "73 characters");
static_assert(sizeof("Exporting Bitmap (%d)... %d%%" BLANKS_46) == 75 + 1, "covers the first message");

int save_new_bmp(const char *name, BITMAP *bmp, const RGB *palette, WriteError *error) {
  WriteError ignored;
  if (!error) error = &ignored;
  *error = WriteError{0, 0};
  const int fd = create_new_file(name, 0666);
  // Not created: whatever has the name now is not ours to remove.
  if (fd < 0) {
    *error = WriteError{errno, 1};
    return RESULT_CANNOT_WRITE;
  }
  PACKFILE *f = stdio_packfile_from_fd(fd, "wb");
  if (!f) {
    *error = WriteError{ENOMEM, 0};
    unlink(name);
    return RESULT_CANNOT_WRITE;
  }
  // The library's writer keeps no reason; the stream's last failed call,
  // or the flush that closing makes, has it.
  int failed = save_bmp_pf(f, bmp, palette) != 0 || pack_ferror(f);
  if (failed) error->error = errno;
  if (pack_fclose(f) != 0 && !failed) {
    failed = 1;
    error->error = errno;
  }
  if (failed) unlink(name);
  return failed ? RESULT_CANNOT_WRITE : RESULT_OK;
}

int save_new_png(const char *name, BITMAP *bmp, WriteError *error) {
  WriteError ignored;
  if (!error) error = &ignored;
  *error = WriteError{0, 0};
  const int fd = create_new_file(name, 0666);
  if (fd < 0) {
    *error = WriteError{errno, 1};
    return RESULT_CANNOT_WRITE;
  }
  int failed = stream_png(fd, bitmap_row_source(bmp, nullptr), nullptr, &error->error) != STREAM_WRITTEN;
  if (close(fd) != 0 && !failed) {
    failed = 1;
    error->error = errno;
  }
  if (failed) unlink(name);
  return failed ? RESULT_CANNOT_WRITE : RESULT_OK;
}

static const char *output_suffix(int kind) {
  switch (kind) {
    case EXPORT_DATA: return "_Data1x_";
    case EXPORT_WATER: return "_Water1x_";
    case EXPORT_TEXTURES_4X: return "_Textures4x_";
    case EXPORT_EMBOSSED_4X: return "_Embossed4x_";
    case EXPORT_HEIGHT_4X: return "_Height4x_";
    case EXPORT_PLANNING_MAP_1: return "_PlanningMap1_";
    case EXPORT_PLANNING_MAP_2: return "_PlanningMap2_";
    case EXPORT_PLANNING_MAP_3: return "_PlanningMap3_";
    case EXPORT_HEIGHTS16: return "_Heights16_";
    case EXPORT_LANDS: return "_Lands_";
    case EXPORT_BRIEFING: return "_Briefing_";
    case EXPORT_GEOTIFF: return "_Heights_";
    default: return nullptr;
  }
}

const char *export_extension(int kind, int format) {
  if (kind == EXPORT_BRIEFING) return "pdf";
  if (kind == EXPORT_GEOTIFF) return "tif";
  if (format == EXPORT_FORMAT_GEOTIFF)
    return kind == EXPORT_DATA || kind == EXPORT_TEXTURES_4X || kind == EXPORT_EMBOSSED_4X ? "tif" : nullptr;
  if (format == EXPORT_FORMAT_RAW) return kind == EXPORT_HEIGHTS16 ? "r16" : nullptr;
  return format == EXPORT_FORMAT_PNG || kind == EXPORT_HEIGHTS16 ? "png" : "bmp";
}

// What one export is doing: where it reports, where its times go and
// the percentage last shown.
struct ExportJob {
  int kind;
  char *name;  // PATH_SIZE bytes; the final name once written
  const char *suffix;
  const char *extension;
  const Reporter *reporter;
  ExportTiming timing;
  double started;
  int percent;
  double shown_at;
};

// The percentage in the strip, a few times a second at most.
enum { PROGRESS_INTERVAL_MS = 250 };

static void report_export_progress(void *context, int rows_written, int rows) {
  ExportJob &job = *(ExportJob *)context;
  const int percent = (int)(100LL * rows_written / (rows > 0 ? rows : 1));
  const double now = export_clock();
  if (percent == job.percent || now - job.shown_at < PROGRESS_INTERVAL_MS / 1000.0) return;
  job.percent = percent;
  job.shown_at = now;
  report_progress(job.reporter, "Exporting Bitmap (%d)... %d%%" BLANKS_46, job.kind, percent);
}

// The word for the file a kind writes.
static const char *file_word(int kind) { return kind == EXPORT_HEIGHTS16 || kind == EXPORT_GEOTIFF ? "heights" : "bitmap"; }

static int publish_export(ExportJob &job, ExportFile &file, const char *word);

// Makes the picture's rows and writes them under a temporary name, which
// becomes the job's name once the file is complete. The file never had its
// final name when something fails: whatever has that name then is not ours.
static int write_picture(ExportJob &job, const RowSource &source) {
  const double writing = export_clock();
  job.timing.pixel_seconds = writing - job.started;
  const char *word = file_word(job.kind);
  ExportFile file;
  if (export_file_create(&file, job.name) != 0)
    return report_write_failure(job.reporter, job.name, WriteError{file.error, 1}, word);
  job.percent = -1;
  job.shown_at = writing;
  const StreamProgress progress = {report_export_progress, &job};
  int error = 0;
  const StreamResult result = strcmp(job.extension, "png") == 0   ? stream_png(file.fd, source, &progress, &error)
                             : strcmp(job.extension, "r16") == 0 ? stream_raw16(file.fd, source, &progress, &error)
                                                                 : stream_bmp(file.fd, source, &progress, &error);
  if (result != STREAM_WRITTEN) {
    export_file_discard(&file);
    return result == STREAM_NO_MEMORY ? report_memory_failure(job.reporter, job.name)
                                      : report_write_failure(job.reporter, job.name, WriteError{error, 0}, word);
  }
  const int published = publish_export(job, file, word);
  job.timing.write_seconds = export_clock() - writing;
  return published;
}

// The complete temporary file under the job's name, or the next free one
// when another export took that meanwhile.
static int publish_export(ExportJob &job, ExportFile &file, const char *word) {
  for (;;) {
    const int published = export_file_publish(&file, job.name);
    if (published == 0) break;
    if (published != RESULT_NAME_TAKEN)
      return report_write_failure(job.reporter, job.name, WriteError{file.error, 0}, word);
    const int found = numbered_output_name(job.suffix, job.name, job.extension);
    if (found != 0) {
      export_file_discard(&file);
      return report_name_failure(job.reporter, found, job.name, word);
    }
  }
  return RESULT_OK;
}

static int write_bitmap(ExportJob &job, BITMAP *bmp, const RGB *palette) {
  const int result = write_picture(job, bitmap_row_source(bmp, palette));
  destroy_bitmap(bmp);
  return result;
}

// Kinds 1, 2, 5, 6, 7: rows made as they are written; the whole working
// bitmap only when the tile blocks cannot stand for the sprites.
static int export_picture(ExportJob &job) {
  const int tx = map_columns(), ty = map_rows();
  if (tx == 0 || ty == 0) {
    report_warning(job.reporter, WARNING_PLAIN, "The terrain has no tiles to export.", job.name);
    return RESULT_NO_TILES;
  }
  // The embossed picture's relief is also what the next planning maps use.
  if (job.kind == EXPORT_EMBOSSED_4X) refresh_planning_relief();
  RowSource source;
  if (export_row_source(job.kind, &source) == 0) return write_picture(job, source);

  BITMAP *work = create_bitmap_ex(32, 4 * tx, 4 * ty);
  if (!work) return report_memory_failure(job.reporter, job.name);
  const int shaded = job.kind == EXPORT_EMBOSSED_4X;
  if (shaded) compute_shade_map();
  draw_texture_pass(work, shaded, 0);
  return write_bitmap(job, work, nullptr);
}

static int export_planning_map(ExportJob &job) {
  BITMAP *map = make_planning_map(job.kind);
  if (!map) return report_memory_failure(job.reporter, job.name);
  return write_bitmap(job, map, nullptr);
}

// Pictures of the grid samples or corner points, made row by row.
static int export_points(ExportJob &job) {
  if (map_columns() == 0 || map_rows() == 0) {
    report_warning(job.reporter, WARNING_PLAIN, "The terrain has no tiles to export.", job.name);
    return RESULT_NO_TILES;
  }
  return write_picture(job, job.kind == EXPORT_LANDS ? land_row_source() : heights16_row_source());
}

static void geotiff_row(void *, int y, uint16_t *out) {
  for (int x = 0; x < height_map.samples_x; x++) out[x] = height_map.heights[x][y];
}

// The terrain's place from its _GEO.ini, or null with the failure reported.
static GeoPlacePtr place_or_report(ExportJob &job, const char *line) {
  char geo_path[2 * PATH_SIZE];
  sibling_path(SIBLING_GEO_INI, geo_path, sizeof(geo_path));
  GeoFile geo;
  const int read = load_geo_file(geo_path, &geo);
  std::string why;
  GeoPlacePtr place = read == 0 ? make_geo_place(geo, &why) : nullptr;
  if (!place) {
    const std::string detail = read == RESULT_NO_FILE ? "does not exist: the terrain has no place on the Earth."
                               : read != 0           ? geo.problems[0]
                                                     : why;
    report_warning(job.reporter, WARNING_PLAIN, line, geo_path, detail.c_str());
  }
  return place;
}

// Writes a GeoTIFF under a temporary name through write, then publishes it.
template <class Write>
static int write_geotiff_job(ExportJob &job, const char *word, const char *line, const Write &write) {
  ExportFile file;
  if (export_file_create(&file, job.name) != 0)
    return report_write_failure(job.reporter, job.name, WriteError{file.error, 1}, word);
  const double writing = export_clock();
  job.timing.pixel_seconds = writing - job.started;
  std::string why;
  // GDAL writes by name, into the temporary file the descriptor holds.
  if (write(file.temp_name, &why) != 0) {
    export_file_discard(&file);
    report_warning(job.reporter, WARNING_PLAIN, line, job.name, why.c_str());
    return RESULT_CANNOT_WRITE;
  }
  const int published = publish_export(job, file, word);
  job.timing.write_seconds = export_clock() - writing;
  return published;
}

static int no_tiles(ExportJob &job) {
  report_warning(job.reporter, WARNING_PLAIN, "The terrain has no tiles to export.", job.name);
  return RESULT_NO_TILES;
}

// The samples as a GeoTIFF in the terrain's projection, its pixels their cells.
static int export_geotiff(ExportJob &job) {
  if (map_columns() == 0 || map_rows() == 0) return no_tiles(job);
  GeoPlacePtr place = place_or_report(job, "Error writing heights file.");
  if (!place) return RESULT_CANNOT_WRITE;
  const HeightRows rows = {height_map.samples_x, height_map.samples_y, 500.0, geotiff_row, nullptr};
  return write_geotiff_job(job, "heights", "Error writing heights file.", [&](const char *path, std::string *why) {
    return write_height_geotiff(path, *place, rows, why);
  });
}

// A row source's bands (file order, blue-green-red or palette indices) as
// the GeoTIFF's rows: the north row first, red-green-blue.
struct GeotiffRows {
  const RowSource *source;
  long row_bytes;
};

static void geotiff_picture_rows(const void *context, int y0, int y1, unsigned char *out, unsigned char *scratch) {
  const GeotiffRows &g = *(const GeotiffRows *)context;
  const RowSource &s = *g.source;
  s.produce(s.context, y0, y1, scratch, g.row_bytes);
  for (int y = y0; y < y1; y++) {
    const unsigned char *in = scratch + (long)(y1 - 1 - y) * g.row_bytes;
    unsigned char *o = out + (size_t)3 * s.width * (y - y0);
    for (int x = 0; x < s.width; x++, o += 3) {
      if (s.bits == 24) {
        o[0] = in[3 * x + 2], o[1] = in[3 * x + 1], o[2] = in[3 * x];
      } else {
        // The palette's 0..63 channels widened as the library widens them.
        const RGB &c = s.palette[in[x]];
        o[0] = (unsigned char)_rgb_scale_6[c.r & 63], o[1] = (unsigned char)_rgb_scale_6[c.g & 63];
        o[2] = (unsigned char)_rgb_scale_6[c.b & 63];
      }
    }
  }
}

// Kinds 1, 5 and 6 as GeoTIFFs in the terrain's projection: a pixel a
// tile (2000 m), or four a tile (500 m).
static int export_picture_geotiff(ExportJob &job) {
  const int tx = map_columns(), ty = map_rows();
  if (tx == 0 || ty == 0) return no_tiles(job);
  GeoPlacePtr place = place_or_report(job, "Error writing bitmap file.");
  if (!place) return RESULT_CANNOT_WRITE;
  if (job.kind == EXPORT_EMBOSSED_4X) refresh_planning_relief();
  RowSource source;
  BITMAP *work = nullptr;
  if (export_row_source(job.kind, &source) != 0) {
    work = create_bitmap_ex(32, 4 * tx, 4 * ty);
    if (!work) return report_memory_failure(job.reporter, job.name);
    if (job.kind == EXPORT_EMBOSSED_4X) compute_shade_map();
    draw_texture_pass(work, job.kind == EXPORT_EMBOSSED_4X, 0);
    source = bitmap_row_source(work, nullptr);
  }
  // Rows as they are made, without a BMP's padding.
  const GeotiffRows rows = {&source, source.bits == 24 ? 3L * source.width : (long)source.width};
  const int band_rows = source.band_rows > 0 ? source.band_rows : stream_band_rows(3L * source.width);
  const PictureRows picture = {source.width, source.height, 2000.0 * tx / source.width, band_rows,
                               geotiff_picture_rows, &rows};
  const int result = write_geotiff_job(job, "bitmap", "Error writing bitmap file.", [&](const char *path, std::string *why) {
    return write_picture_geotiff(path, *place, picture, why);
  });
  if (work) destroy_bitmap(work);
  return result;
}

int export_picture_file(const char *suffix, const char *extension, const RowSource &source,
                        const Reporter *reporter, char *final_name) {
  final_name[0] = 0;
  char name[PATH_SIZE];
  const int found = numbered_output_name(suffix, name, extension);
  if (found != 0) return report_name_failure(reporter, found, name);
  ExportJob job = {0, name, suffix, extension, reporter, {0, 0}, export_clock(), -1, 0};
  const int result = write_picture(job, source);
  if (result == RESULT_OK) snprintf(final_name, PATH_SIZE, "%s", name);
  return result;
}

int export_briefing(const Reporter *reporter, char *final_name, const ReliefGrid *relief) {
  char name[PATH_SIZE];
  report_progress(reporter, "Exporting Briefing Map..." BLANKS_46);
  const int result = write_briefing_map(reporter, name, relief);
  if (final_name) snprintf(final_name, PATH_SIZE, "%s", name);
  if (result == RESULT_OK) report_progress(reporter, "Exporting Briefing Map Done." BLANKS_46);
  return result;
}

int export_bitmap(int kind, const Reporter *reporter, ExportTiming *timing, char *final_name, int format) {
  if (timing) *timing = ExportTiming{0, 0};
  if (final_name) final_name[0] = 0;
  const char *suffix = output_suffix(kind);
  const char *extension = export_extension(kind, format);
  if (!suffix || !extension) return RESULT_UNKNOWN_KIND;
  if (kind == EXPORT_BRIEFING) return export_briefing(reporter, final_name, nullptr);
  report_progress(reporter, "Exporting Bitmap (%d)..." BLANKS_46, kind);
  char name[PATH_SIZE];
  const int found = numbered_output_name(suffix, name, extension);
  if (found != 0) return report_name_failure(reporter, found, name, file_word(kind));
  reset_shade_cache();
  ExportJob job = {kind, name, suffix, extension, reporter, {0, 0}, export_clock(), -1, 0};
  const int result = kind == EXPORT_GEOTIFF                             ? export_geotiff(job)
                     : format == EXPORT_FORMAT_GEOTIFF                  ? export_picture_geotiff(job)
                     : kind == EXPORT_HEIGHTS16 || kind == EXPORT_LANDS ? export_points(job)
                     : kind >= EXPORT_PLANNING_MAP_1 ? export_planning_map(job)
                                                     : export_picture(job);
  if (timing) *timing = job.timing;
  if (final_name) snprintf(final_name, PATH_SIZE, "%s", result == RESULT_OK ? name : "");
  if (result != RESULT_OK) return result;
  report_progress(reporter, "Exporting Bitmap (%d) Done." BLANKS_46, kind);
  return RESULT_OK;
}
