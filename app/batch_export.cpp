#include "app/batch_export.h"

#include <cstdio>
#include <string>

#include "program/console_reporter.h"
#include "app/key_table.h"
#include "core/terrain_model.h"
#include "files/land_file.h"
#include "files/tile_map_file.h"
#include "render/export/briefing_map.h"
#include "render/export/briefing_picture.h"
#include "render/export/export_bitmap.h"
#include "render/export/planning_map.h"

namespace {

struct KindInfo {
  int kind;
  const char *what;    // for a refusal
  int need;            // KeyNeed of the kind's key
};

const KindInfo KINDS[] = {
    {EXPORT_DATA, "data map", NEED_NOTHING},
    {EXPORT_WATER, "water map", NEED_DECLARED_TEXTURES},
    {EXPORT_TEXTURES_4X, "texture map", NEED_NOTHING},
    {EXPORT_EMBOSSED_4X, "embossed map", NEED_HEIGHTS},
    {EXPORT_HEIGHT_4X, "height map picture", NEED_HEIGHTS},
    {EXPORT_PLANNING_MAP_1, "planning map 1", NEED_HEIGHTS},
    {EXPORT_PLANNING_MAP_2, "planning map 2", NEED_HEIGHTS},
    {EXPORT_PLANNING_MAP_3, "planning map 3", NEED_HEIGHTS},
    {EXPORT_HEIGHTS16, "height grid", NEED_HEIGHTS},
    {EXPORT_LANDS, "lands picture", NEED_NOTHING},
    {EXPORT_BRIEFING, "briefing map", NEED_HEIGHTS},
};

const KindInfo *kind_info(int kind) {
  for (const KindInfo &info : KINDS)
    if (info.kind == kind) return &info;
  return nullptr;
}

const char *refusal(int need) {
  return need == NEED_HEIGHTS ? "the terrain has no height map" : "the terrain declares no textures";
}

}  // namespace

long long export_file_bytes(int kind) {
  long long w = map_columns(), h = map_rows();
  if (kind == EXPORT_TEXTURES_4X || kind == EXPORT_EMBOSSED_4X || kind == EXPORT_HEIGHT_4X) {
    w *= 4;
    h *= 4;
  } else if (kind == EXPORT_LANDS) {
    w++;
    h++;
  } else if (kind >= EXPORT_PLANNING_MAP_1) {
    w = h = 512LL * planning_scale(kind);
  }
  // 24 bits a pixel, rows padded to four bytes; the water map has 8 bits
  // and a palette of 256 entries.
  const bool paletted = kind == EXPORT_WATER;
  const long long stride = paletted ? (w + 3) / 4 * 4 : (3 * w + 3) / 4 * 4;
  return 54 + (paletted ? 1024 : 0) + stride * h;
}

bool briefing_only(const int *kinds, int count) {
  for (int i = 0; i < count; i++)
    if (kinds[i] != EXPORT_BRIEFING) return false;
  return count > 0;
}

static int read_briefing_tiles(void *context, const char *path) {
  return scan_tile_map(path, ((BriefingReading *)context)->textures_used);
}

static int read_briefing_heights(void *context, const char *path) {
  BriefingReading &reading = *(BriefingReading *)context;
  const int result = read_briefing_relief(path, &reading.relief);
  reading.heights_read = result == RESULT_OK;
  return result;
}

TerrainReader briefing_reader(BriefingReading *reading) {
  return TerrainReader{read_briefing_tiles, read_briefing_heights, reading->textures_used, reading};
}

int export_kinds(const int *kinds, int count, int format, const BriefingReading *briefing) {
  int failed = 0;
  const ViewState view{};
  for (int i = 0; i < count; i++) {
    const KindInfo *info = kind_info(kinds[i]);
    if (!info) {
      failed = 1;
      continue;
    }
    const bool relief_read = briefing && briefing->heights_read && info->kind == EXPORT_BRIEFING;
    if (!relief_read && !need_met(info->need, view, 0)) {
      fprintf(stderr, "No %s written: %s.\n", info->what, refusal(info->need));
      failed = 1;
      continue;
    }
    const std::string no_lands = info->kind == EXPORT_LANDS ? lands_unusable_text(terrain_paths.lands_ini_path) : "";
    if (!no_lands.empty()) {
      fprintf(stderr, "No %s written: %s.\n", info->what, no_lands.c_str());
      failed = 1;
      continue;
    }
    start_file_progress();
    char written[PATH_SIZE];
    const int result = briefing && info->kind == EXPORT_BRIEFING
                           ? export_briefing(console_export_reporter(), written, &briefing->relief)
                           : export_bitmap(info->kind, console_export_reporter(), nullptr, written, format);
    finish_file_progress(result == 0 ? written : nullptr);
    // The briefing map's PNG lies beside its PDF.
    if (result == 0 && info->kind == EXPORT_BRIEFING) finish_file_progress(briefing_png_name(written).c_str());
    if (result != 0) failed = 1;
  }
  return failed;
}
