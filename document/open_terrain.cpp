#include "document/open_terrain.h"

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "document/open_place.h"
#include "files/height_map_file.h"
#include "files/land_file.h"
#include "files/target_areas.h"
#include "files/terrain_description.h"
#include "files/tile_map_file.h"
#include "images/textures.h"

void sibling_path_of(const char *tfd_path, int sibling, char *dest, int size) {
  static const char *const extensions[] = {"hfd", "ini", "ini", "ini", "ini"};
  static const char *const suffixes[] = {nullptr, "_DATA", "_TARGETS", "_LANDS", "_GEO"};
  replace_extension(dest, tfd_path, extensions[sibling], size);
  if (suffixes[sibling]) insert_suffix(dest, suffixes[sibling], size);
}

void sibling_path(int sibling, char *dest, int size) {
  sibling_path_of(terrain_paths.tfd_path, sibling, dest, size);
}

static void derive_path(int sibling, char *dest) {
  char joined[PATH_SIZE * 2];
  sibling_path(sibling, joined, sizeof(joined));
  if (ustrsize(joined) > PATH_SIZE - 1) {
    dest[0] = 0;
    return;
  }
  ustrzcpy(dest, PATH_SIZE, joined);
}

void derive_terrain_paths() {
  derive_path(SIBLING_HFD, terrain_paths.hfd_path);
  derive_path(SIBLING_DATA_INI, terrain_paths.data_ini_path);
  derive_path(SIBLING_TARGETS_INI, terrain_paths.targets_ini_path);
  derive_path(SIBLING_LANDS_INI, terrain_paths.lands_ini_path);
}

// What a warning about a sibling names: its path, or the whole name cut in
// the middle when it was too long to be read; *detail then says why.
static const char *sibling_named(OpenReport *report, int sibling, const char *path, const char **detail) {
  *detail = nullptr;
  if (path[0] || !terrain_paths.tfd_path[0]) return path;
  char whole[PATH_SIZE * 2];
  sibling_path(sibling, whole, sizeof(whole));
  cut_middle(whole, PATH_CUT_KEEP, report->long_paths[sibling], PATH_CUT_SIZE);
  *detail = PATH_TOO_LONG_TEXT;
  return report->long_paths[sibling];
}

// 1 when a tile of the map names a texture entry whose bitmap was not
// loaded; used (may be null) stands for the tiles when they are not stored.
static int tiles_use_unavailable_textures(const uint8_t *used) {
  for (int t = 0; used && t < MAX_TEXTURES; t++)
    if (used[t] && texture_table.textures[t].loaded != 1) return 1;
  if (used) return 0;
  for (int x = 0; x < tile_map.tiles_x; x++) {
    const Tile *column = tile_map.tiles[x];
    for (int y = 0; y < tile_map.tiles_y; y++) {
      const int t = column[y].texture;
      if (t < 0 || t > MAX_TEXTURES - 1 || texture_table.textures[t].loaded != 1) return 1;
    }
  }
  return 0;
}

static void warn(OpenReport *report, const Reporter *reporter, int subject, int kind, const char *message,
                 const char *path, const char *detail = nullptr) {
  if (report->warning_count >= 0 && report->warning_count < OPEN_WARNINGS_MAX) {
    report->warnings[report->warning_count] = Warning{kind, message, path, detail};
    report->subjects[report->warning_count] = subject;
  }
  report->warning_count++;
  report_warning(reporter, kind, message, path, detail);
}

// The number of entries that get bitmaps: every declared one and every one
// a tile uses.
static void count_textures() {
  TextureTable &table = texture_table;
  int count = table.last_declared_texture;
  if (tile_map.max_texture_used >= count) count = tile_map.max_texture_used;
  if (count < 0) count = 0;
  if (count > MAX_TEXTURES - 1) count = MAX_TEXTURES - 1;
  table.texture_count = count;
}

int open_terrain_files(int read_targets, const Reporter *reporter, OpenReport *report, const TextureWatcher *watcher,
                       const TerrainReader *reader) {
  report->outcome = OPEN_DONE;
  report->warning_count = 0;
  derive_terrain_paths();
  terrain_place = TerrainPlace();
  int no_list = 0;

  const int tiles_read = reader ? reader->read_tiles(reader->context, terrain_paths.tfd_path)
                                : load_tile_map(terrain_paths.tfd_path, reporter);
  if (tiles_read != RESULT_OK) {
    report->outcome = OPEN_NO_TILE_MAP;
    warn(report, reporter, SUBJECT_TILE_MAP, WARNING_PLAIN, "Error reading TFD file.", terrain_paths.tfd_path);
  }
  if (report->outcome == OPEN_DONE) {
    const long long tiles = (long long)tile_map.tiles_x * tile_map.tiles_y;
    if (tile_map.records_read < tiles) {
      // The missing tiles read as the packfile layer's end-of-file words.
      snprintf(report->detail, sizeof(report->detail), "%lld of %lld tiles read.",
               (long long)tile_map.records_read, tiles);
      warn(report, reporter, SUBJECT_TILE_MAP, WARNING_PLAIN, "Warning: Tile map file is shorter than its size.",
           terrain_paths.tfd_path, report->detail);
    }
    const char *detail = nullptr;
    const int heights_read = reader ? reader->read_heights(reader->context, terrain_paths.hfd_path)
                                    : load_height_map(terrain_paths.hfd_path, reporter);
    if (heights_read != RESULT_OK) {
      const char *named = sibling_named(report, SIBLING_HFD, terrain_paths.hfd_path, &detail);
      warn(report, reporter, SUBJECT_HEIGHT_MAP, WARNING_PLAIN, "Warning: Error reading HFD file.", named, detail);
    }
    struct stat st;
    if (load_terrain_description(terrain_paths.data_ini_path, reporter) != RESULT_OK) {
      const char *list = terrain_paths.data_ini_path;
      // A terrain may be begun without a texture list: a note, not a fault,
      // and its tiles' textures are not named again.
      no_list = list[0] && lstat(list, &st) != 0 && errno == ENOENT;
      if (no_list) {
        snprintf(report->list_note, sizeof(report->list_note), "No texture list: %s does not exist.",
                 get_filename(list));
        warn(report, reporter, SUBJECT_TEXTURE_LIST, WARNING_NOTE, report->list_note, list);
      } else {
        const char *named = sibling_named(report, SIBLING_DATA_INI, list, &detail);
        warn(report, reporter, SUBJECT_TEXTURE_LIST, WARNING_PLAIN, "Warning: Error reading _DATA.INI file.", named,
             detail);
      }
    }
    const int lands_result = load_land_file(terrain_paths.lands_ini_path);
    if (lands_result == RESULT_BAD_DATA || lands_result == RESULT_CANNOT_OPEN)
      warn(report, reporter, SUBJECT_LANDS, WARNING_PLAIN, LAND_FILE_PROBLEMS_TEXT, terrain_paths.lands_ini_path);
  }
  count_textures();

  if (report->outcome == OPEN_DONE && load_textures(reporter, watcher) != RESULT_OK) {
    report->outcome = OPEN_NO_TEXTURES;
    warn(report, reporter, SUBJECT_TEXTURE_LIST, WARNING_PLAIN, "Error: Failed to initialize (placeholder) textures.", "");
  }
  // Also after a failure of the texture bitmaps: some files were read before it.
  if (texture_table.textures_loaded != texture_table.textures_declared)
    warn(report, reporter, SUBJECT_TEXTURE_FILES, WARNING_PLAIN, "Warning: Error reading certain texture files.", "");
  if (report->outcome != OPEN_DONE) return report->outcome;
  if (!no_list && tiles_use_unavailable_textures(reader ? reader->textures_used : nullptr))
    warn(report, reporter, SUBJECT_TEXTURE_USES, WARNING_PLAIN, "Warning: Tilemap refers to unavailable textures.", "");

  if (read_targets) {
    const int result = load_target_areas(terrain_paths.targets_ini_path, reporter, &target_file);
    const char *detail = nullptr;
    const char *named =
        sibling_named(report, SIBLING_TARGETS_INI, terrain_paths.targets_ini_path, &detail);
    if (result == RESULT_NO_FILE)
      warn(report, reporter, SUBJECT_TARGETS, WARNING_NOTE, NO_TARGET_FILE_TEXT, named);
    else if (result == RESULT_CANNOT_OPEN)
      warn(report, reporter, SUBJECT_TARGETS, WARNING_READ_ERROR, "  Read Error:  ", named, detail);
    else if (result != RESULT_OK)
      warn(report, reporter, SUBJECT_TARGETS, WARNING_PLAIN, "Warning: Error reading _TARGETS.INI file.", named, detail);
  }
  if (!read_open_place() && !terrain_place.problem.empty()) {
    snprintf(report->place_note, sizeof(report->place_note), "%s; no latitudes shown.", terrain_place.problem.c_str());
    warn(report, reporter, SUBJECT_PLACE, WARNING_NOTE, report->place_note, "");
  }
  return OPEN_DONE;
}

TargetFile target_file;

int read_target_file_again(const Reporter *reporter) {
  targets.area_count = 0;
  targets.target_total = 0;
  return load_target_areas(terrain_paths.targets_ini_path, reporter, &target_file);
}

int read_texture_list_again(const Reporter *reporter) {
  TextureTable &table = texture_table;
  table.textures_declared = table.last_declared_texture = table.textures_loaded = 0;
  load_terrain_description(terrain_paths.data_ini_path, reporter);
  load_land_file(terrain_paths.lands_ini_path);
  count_textures();
  return load_textures(reporter);
}
