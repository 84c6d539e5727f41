#include "render/export_bitmap.h"

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "app/startup.h"
#include "app/status_bar.h"
#include "render/export_file.h"
#include "render/export_passes.h"
#include "render/export_rows.h"
#include "render/export_stream.h"
#include "render/export_timing.h"
#include "render/planning_map.h"
#include "render/shade_cache.h"
#include "render/tile_blocks.h"
#include "terrain/height_palette.h"
#include "terrain/open_terrain.h"
#include "terrain/safe_file.h"
#include "terrain/stdio_packfile.h"
#include "terrain/terrain_description.h"
#include "terrain/terrain_model.h"

// The trailing blanks cover the tail of a longer message in the strip.
#define BLANKS_46 "                                              "
static_assert(sizeof("Exporting Bitmap (%d)..." BLANKS_46) == 70 + 1, "70 characters");
static_assert(sizeof("Exporting Bitmap (%d) Done." BLANKS_46) == 73 + 1, "73 characters");
static_assert(sizeof("Exporting Bitmap (%d)... %d%%" BLANKS_46) == 75 + 1, "covers the first message");

enum { OUTPUT_NUMBERS = 999, SUFFIX_SIZE = 64 };

// Any directory entry takes a name: a folder, a device, a link, also one
// that leads nowhere, which a write would follow into another folder.
static int name_taken(const char *name) {
  struct stat st;
  return lstat(name, &st) == 0 || errno != ENOENT;
}

int numbered_output_name(const char *suffix, char *name) {
  char base[PATH_SIZE];
  replace_extension(base, get_filename(tfd_path), "bmp", sizeof(base));
  for (int n = 0; n < OUTPUT_NUMBERS; n++) {
    char numbered[SUFFIX_SIZE];
    ustrzcpy(numbered, SUFFIX_SIZE - 3, suffix);  // room for the three digits
    append_number3(numbered, n);
    ustrzcpy(name, PATH_SIZE, base);
    insert_suffix(name, numbered, PATH_SIZE);
    if (!name_taken(name)) return 0;
  }
  name[0] = 0;
  return 1;
}

static int failure_alert(const char *line1, const char *name) {
  alert(line1, "", name, "OK", nullptr, 'o', 0);
  return 1;
}

int report_no_free_name() {
  alert("No free file name for the export.", "", "", "OK", nullptr, 'o', 0);
  return 1;
}

int save_new_bmp(const char *name, BITMAP *bmp, const RGB *palette) {
  PACKFILE *f = stdio_packfile_from_fd(create_new_file(name, 0666), "wb");
  // Not created: whatever has the name now is not ours to remove.
  if (!f) return 1;
  int failed = save_bmp_pf(f, bmp, palette) != 0 || pack_ferror(f);
  if (pack_fclose(f) != 0) failed = 1;
  if (failed) unlink(name);
  return failed;
}

int report_write_failure(const char *name) { return failure_alert("Error writing bitmap file.", name); }

int report_memory_failure(const char *name) {
  return failure_alert("Not enough memory for the export.", name);
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
    default: return nullptr;
  }
}

static double export_started;

// The percentage in the strip, a few times a second at most.
struct ExportProgress {
  int kind;
  int percent;
  double shown_at;
};
enum { PROGRESS_INTERVAL_MS = 250 };

static void show_export_progress(void *context, int rows_written, int rows) {
  ExportProgress &progress = *(ExportProgress *)context;
  const int percent = (int)(100LL * rows_written / (rows > 0 ? rows : 1));
  const double now = export_clock();
  if (percent == progress.percent || now - progress.shown_at < PROGRESS_INTERVAL_MS / 1000.0) return;
  progress.percent = percent;
  progress.shown_at = now;
  show_progress("Exporting Bitmap (%d)... %d%%" BLANKS_46, progress.kind, percent);
}

// Makes the picture's rows and writes them under a temporary name, which
// becomes name once the file is complete. The file never had its final
// name when something fails: whatever has that name then is not ours.
static int write_picture(int kind, const RowSource &source, const char *name) {
  const double writing = export_clock();
  last_export_timing.pixel_seconds = writing - export_started;
  ExportFile file;
  if (export_file_create(&file, name) != 0) return report_write_failure(name);
  ExportProgress progress = {kind, -1, writing};
  const StreamProgress report = {show_export_progress, &progress};
  const StreamResult result = stream_bmp(file.fd, source, &report);
  if (result != STREAM_WRITTEN) {
    export_file_discard(&file);
    return result == STREAM_NO_MEMORY ? report_memory_failure(name) : report_write_failure(name);
  }
  if (export_file_publish(&file, name) != 0) return report_write_failure(name);
  last_export_timing.write_seconds = export_clock() - writing;
  return 0;
}

static int write_bitmap(int kind, BITMAP *bmp, const char *name, const RGB *palette) {
  const int failed = write_picture(kind, bitmap_row_source(bmp, palette), name);
  destroy_bitmap(bmp);
  return failed;
}

// Kinds 1, 2, 5, 6, 7: rows made as they are written; the whole working
// bitmap only when the tile blocks cannot stand for the sprites.
static int export_picture(int kind, const char *name) {
  int tx, ty;
  export_extent(&tx, &ty);
  if (tx == 0 || ty == 0) {
    alert("The terrain has no tiles to export.", "", name, "OK", nullptr, 'o', 0);
    return 1;
  }
  // The embossed picture's relief is also what the next planning maps use.
  if (kind == EXPORT_EMBOSSED_4X) refresh_planning_relief();
  RowSource source;
  if (export_row_source(kind, &source) == 0) return write_picture(kind, source, name);

  BITMAP *work = create_bitmap_ex(32, 4 * tx, 4 * ty);
  if (!work) return report_memory_failure(name);
  const int shaded = kind == EXPORT_EMBOSSED_4X;
  if (shaded) compute_shade_map();
  draw_texture_pass(work, shaded, 0);
  return write_bitmap(kind, work, name, nullptr);
}

static int export_planning_map(int kind, const char *name) {
  BITMAP *map = make_planning_map(kind);
  if (!map) return report_memory_failure(name);
  return write_bitmap(kind, map, name, nullptr);
}

int export_bitmap(int kind) {
  const char *suffix = output_suffix(kind);
  if (!suffix) return 1;
  show_progress("Exporting Bitmap (%d)..." BLANKS_46, kind);
  char name[PATH_SIZE];
  if (numbered_output_name(suffix, name)) return report_no_free_name();
  reset_shade_cache();
  export_started = export_clock();
  last_export_timing = {0, 0};
  const int failed = kind >= EXPORT_PLANNING_MAP_1 ? export_planning_map(kind, name)
                                                   : export_picture(kind, name);
  if (failed) return 1;
  show_progress("Exporting Bitmap (%d) Done." BLANKS_46, kind);
  return 0;
}
