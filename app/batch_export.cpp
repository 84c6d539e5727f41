#include "app/batch_export.h"

#include <cstdio>

#include "app/console_reporter.h"
#include "app/key_table.h"
#include "render/export_bitmap.h"
#include "render/planning_map.h"
#include "terrain/terrain_model.h"

namespace {

struct KindInfo {
  int kind;
  const char *suffix;  // as the export names its files
  const char *what;    // for a refusal
  int need;            // KeyNeed of the kind's key
};

const KindInfo KINDS[] = {
    {EXPORT_DATA, "_Data1x_", "data map", NEED_NOTHING},
    {EXPORT_WATER, "_Water1x_", "water map", NEED_DECLARED_TEXTURES},
    {EXPORT_TEXTURES_4X, "_Textures4x_", "texture map", NEED_NOTHING},
    {EXPORT_EMBOSSED_4X, "_Embossed4x_", "embossed map", NEED_HEIGHTS},
    {EXPORT_HEIGHT_4X, "_Height4x_", "height map picture", NEED_HEIGHTS},
    {EXPORT_PLANNING_MAP_1, "_PlanningMap1_", "planning map 1", NEED_HEIGHTS},
    {EXPORT_PLANNING_MAP_2, "_PlanningMap2_", "planning map 2", NEED_HEIGHTS},
    {EXPORT_PLANNING_MAP_3, "_PlanningMap3_", "planning map 3", NEED_HEIGHTS},
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
  } else if (kind >= EXPORT_PLANNING_MAP_1) {
    w = h = 512LL * planning_scale(kind);
  }
  // 24 bits a pixel, rows padded to four bytes; the water map has 8 bits
  // and a palette of 256 entries.
  const bool paletted = kind == EXPORT_WATER;
  const long long stride = paletted ? (w + 3) / 4 * 4 : (3 * w + 3) / 4 * 4;
  return 54 + (paletted ? 1024 : 0) + stride * h;
}

int export_kinds(const int *kinds, int count) {
  int failed = 0;
  const ViewState view{};
  for (int i = 0; i < count; i++) {
    const KindInfo *info = kind_info(kinds[i]);
    if (!info) {
      failed = 1;
      continue;
    }
    if (!need_met(info->need, view, 0)) {
      fprintf(stderr, "No %s written: %s.\n", info->what, refusal(info->need));
      failed = 1;
      continue;
    }
    // The export takes the same first free name.
    char name[PATH_SIZE];
    if (numbered_output_name(info->suffix, name)) name[0] = 0;
    start_file_progress(name);
    const int result = export_bitmap(info->kind, console_export_reporter());
    finish_file_progress(result == 0 && name[0]);
    if (result != 0) failed = 1;
  }
  return failed;
}
