#include "commands/batch_export.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "program/console_reporter.h"
#include "commands/no_display.h"
#include "document/open_place.h"
#include "program/session.h"
#include "render/air/air_export.h"
#include "ui/display.h"
#include "core/terrain_model.h"
#include "document/terrain_geo.h"
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
  int need;            // KindNeed: what the kind's key needs
};

enum KindNeed { NEED_NOTHING, NEED_HEIGHTS, NEED_DECLARED_TEXTURES };

int need_met(int need) {
  if (need == NEED_HEIGHTS) return height_map.heights_loaded > 0;
  if (need == NEED_DECLARED_TEXTURES) return texture_table.last_declared_texture > 0;
  return 1;
}

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
    {EXPORT_GEOTIFF, "GeoTIFF of the heights", NEED_HEIGHTS},
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
  for (int i = 0; i < count; i++) {
    const KindInfo *info = kind_info(kinds[i]);
    if (!info) {
      failed = 1;
      continue;
    }
    const bool relief_read = briefing && briefing->heights_read && info->kind == EXPORT_BRIEFING;
    if (!relief_read && !need_met(info->need)) {
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

namespace {

// --export view: the camera's picture, at --size or the window's view.
int export_view(const CommandLine &c) {
  AirCamera camera;
  camera.east = c.camera[0], camera.north = c.camera[1], camera.altitude = c.camera[2];
  // A camera given in degrees is placed through the terrain's place on the Earth.
  if (c.camera_degrees) {
    const int placed = read_open_place();
    if (!placed || !place_from_degrees(*terrain_place.place, c.camera[0], c.camera[1], &camera.east, &camera.north)) {
      fprintf(stderr, "No view written: %s\n",
              placed ? "the camera's latitude and longitude cannot be placed on the terrain"
                     : "a camera in latitude and longitude needs the terrain's place (TERRAIN_GEO.ini)");
      return 1;
    }
  }
  camera.heading = c.camera[3], camera.pitch = c.camera[4];
  AirLook look;
  look.targets = session.enable_targets != 0;
  start_file_progress();
  char written[PATH_SIZE];
  const int result = export_air_view(camera, session.air_options, look, c.view_width ? c.view_width : display.screen_width,
                                     c.view_height ? c.view_height : display.status_y, console_export_reporter(), written);
  finish_file_progress(result == 0 ? written : nullptr);
  return result != 0;
}

// --format geotiff needs the terrain's place before anything is written.
bool geotiff_placed(const CommandLine &c) {
  if (c.format != EXPORT_FORMAT_GEOTIFF) return true;
  std::string why;
  if (read_terrain_place(c.terrain, &why)) return true;
  fprintf(stderr, "No GeoTIFF written: %s\n", why.c_str());
  return false;
}

}  // namespace

int run_exports(const CommandLine &c) {
  session.export_format = c.format;
  if (start_without_display() != 0) return COMMAND_EXIT_FAILED;
  if (!set_terrain_path(c.terrain)) return COMMAND_EXIT_USAGE;
  OpenReport report;
  // Briefing maps alone need neither map stored: the opening checks the
  // tiles and reads the relief of the heights.
  BriefingReading briefing;
  const bool relief_only = briefing_only(c.kinds, c.kind_count);
  const TerrainReader reader = briefing_reader(&briefing);
  const int outcome = open_terrain_files(session.enable_targets != 0, console_reporter(), &report, nullptr,
                                         relief_only ? &reader : nullptr);
  int code = COMMAND_EXIT_DONE;
  if (outcome == OPEN_NO_TILE_MAP) {
    code = COMMAND_EXIT_USAGE;
  } else if (outcome != OPEN_DONE) {
    code = COMMAND_EXIT_FAILED;
  } else if (!geotiff_placed(c)) {
    code = COMMAND_EXIT_USAGE;
  } else {
    // In the order asked for; the view from the air beside the export kinds.
    for (int k = 0; k < c.kind_count; k++)
      if ((c.kinds[k] == COMMAND_KIND_VIEW ? export_view(c)
                                           : export_kinds(c.kinds + k, 1, session.export_format, relief_only ? &briefing : nullptr)) != 0)
        code = COMMAND_EXIT_FAILED;
  }
  release_textures();
  return code;
}
