#include "render/export_bitmap.h"

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "render/export_passes.h"
#include "render/planning_map.h"
#include "render/shade_cache.h"
#include "render/tile_blocks.h"
#include "terrain/relief_shading.h"
#include "terrain/safe_file.h"
#include "terrain/stdio_packfile.h"
#include "terrain/terrain_model.h"
#include "terrain/text_numbers.h"

// The trailing blanks cover the tail of a longer message in the strip.
#define BLANKS_46 "                                              "
static_assert(sizeof("Exporting Bitmap (%d)..." BLANKS_46) == 70 + 1, "70 characters");
static_assert(sizeof("Exporting Bitmap (%d) Done." BLANKS_46) == 73 + 1, "73 characters");

enum { OUTPUT_NUMBERS = 999, SUFFIX_SIZE = 64 };

// Any directory entry takes a name: a folder, a device, a link, also one
// that leads nowhere, which a write would follow into another folder.
static int name_taken(const char *name) {
  struct stat st;
  return lstat(name, &st) == 0 || errno != ENOENT;
}

int numbered_output_name(const char *suffix, char *name) {
  char base[PATH_SIZE];
  replace_extension(base, get_filename(terrain_paths.tfd_path), "bmp", sizeof(base));
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

// Whatever part of the file was written is gone already (save_new_bmp);
// whatever has the name now is not ours to remove.
static int failure(const Reporter *r, int result, const char *line1, const char *name) {
  report_warning(r, WARNING_PLAIN, line1, name);
  return result;
}

int report_no_free_name(const Reporter *r) {
  report_warning(r, WARNING_PLAIN, "No free file name for the export.", "");
  return RESULT_NO_FREE_NAME;
}

int save_new_bmp(const char *name, BITMAP *bmp, const RGB *palette) {
  PACKFILE *f = stdio_packfile_from_fd(create_new_file(name, 0666), "wb");
  // Not created: whatever has the name now is not ours to remove.
  if (!f) return RESULT_CANNOT_WRITE;
  int failed = save_bmp_pf(f, bmp, palette) != 0 || pack_ferror(f);
  if (pack_fclose(f) != 0) failed = 1;
  if (failed) unlink(name);
  return failed ? RESULT_CANNOT_WRITE : RESULT_OK;
}

int report_write_failure(const Reporter *r, const char *name) {
  return failure(r, RESULT_CANNOT_WRITE, "Error writing bitmap file.", name);
}

int report_memory_failure(const Reporter *r, const char *name) {
  return failure(r, RESULT_NO_MEMORY, "Not enough memory for the export.", name);
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

// What one export is doing: where it reports and where its times go.
struct ExportJob {
  const char *name;
  const Reporter *reporter;
  ExportTiming timing;
  double started;
};

static int save_and_release(ExportJob &job, BITMAP *bmp, const RGB *palette) {
  const double writing = export_clock();
  job.timing.pixel_seconds = writing - job.started;
  const int failed = save_new_bmp(job.name, bmp, palette) != RESULT_OK;
  job.timing.write_seconds = export_clock() - writing;
  destroy_bitmap(bmp);
  return failed ? report_write_failure(job.reporter, job.name) : RESULT_OK;
}

// Kinds 1, 2, 5, 6, 7: one working bitmap, saved as it is.
static int export_picture(int kind, ExportJob &job) {
  int tx, ty;
  export_extent(&tx, &ty);
  if (tx == 0 || ty == 0) {
    report_warning(job.reporter, WARNING_PLAIN, "The terrain has no tiles to export.", job.name);
    return RESULT_NO_TILES;
  }
  const int scale = (kind == EXPORT_DATA || kind == EXPORT_WATER) ? 1 : 4;

  PALETTE water_palette;
  if (kind == EXPORT_WATER) {
    memcpy(water_palette, black_palette, sizeof(PALETTE));
    water_palette[1].r = 32;
  }

  BITMAP *work = create_bitmap_ex(kind == EXPORT_WATER ? 8 : 32, scale * tx, scale * ty);
  if (!work) return report_memory_failure(job.reporter, job.name);

  switch (kind) {
    case EXPORT_DATA: draw_data_pass(work); break;
    case EXPORT_WATER: draw_water_pass(work); break;
    case EXPORT_HEIGHT_4X: draw_height_pass(work); break;
    default: {
      const int blocks_ready = prepare_tile_blocks() == 0;
      const int shaded = kind == EXPORT_EMBOSSED_4X;
      if (shaded) compute_shade_map();
      draw_texture_pass(work, shaded, blocks_ready);
      break;
    }
  }
  return save_and_release(job, work, kind == EXPORT_WATER ? water_palette : nullptr);
}

static int export_planning_map(int kind, ExportJob &job) {
  BITMAP *map = make_planning_map(kind);
  if (!map) return report_memory_failure(job.reporter, job.name);
  return save_and_release(job, map, nullptr);
}

int export_bitmap(int kind, const Reporter *reporter, ExportTiming *timing) {
  if (timing) *timing = ExportTiming{0, 0};
  const char *suffix = output_suffix(kind);
  if (!suffix) return RESULT_UNKNOWN_KIND;
  report_progress(reporter, "Exporting Bitmap (%d)..." BLANKS_46, kind);
  char name[PATH_SIZE];
  if (numbered_output_name(suffix, name)) return report_no_free_name(reporter);
  reset_shade_cache();
  ExportJob job = {name, reporter, {0, 0}, export_clock()};
  const int result = kind >= EXPORT_PLANNING_MAP_1 ? export_planning_map(kind, job)
                                                   : export_picture(kind, job);
  if (timing) *timing = job.timing;
  if (result != RESULT_OK) return result;
  report_progress(reporter, "Exporting Bitmap (%d) Done." BLANKS_46, kind);
  return RESULT_OK;
}
