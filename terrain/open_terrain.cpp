#include "terrain/open_terrain.h"

#include <cstring>

#include "app/startup.h"
#include "terrain/height_map_file.h"
#include "terrain/target_areas.h"
#include "terrain/terrain_description.h"
#include "terrain/terrain_model.h"
#include "terrain/textures.h"
#include "terrain/tile_map_file.h"

enum { OPEN_DIALOG_SIZE = 400 };

TerrainAlert terrain_alert_log[TERRAIN_ALERT_LOG];
int terrain_alert_count;

static int open_attempts;

static void terrain_alert(const char *message, const char *path) {
  if (terrain_alert_count >= 0 && terrain_alert_count < TERRAIN_ALERT_LOG)
    terrain_alert_log[terrain_alert_count] = {message, path};
  terrain_alert_count++;
  alert(message, "", path, "OK", nullptr, 'o', 0);
}

void insert_suffix(char *path, const char *text, int size) {
  const int length = ustrlen(path), added = ustrlen(text);
  if (length < 4 || ustrsize(path) + ustrsize(text) > size - 1) {
    if (size > 0) path[0] = 0;
    return;
  }
  for (int i = 0; i < added; i++) uinsert(path, ustrlen(path) - 4, ugetat(text, i));
}

// tfd_path with a new extension, or an empty path when the result would not
// fit (a cut name could be some other file).
static void derive_path(char *dest, const char *extension, const char *suffix) {
  char joined[PATH_SIZE * 2];
  replace_extension(joined, tfd_path, extension, sizeof(joined));
  if (ustrsize(joined) > PATH_SIZE - 1) {
    dest[0] = 0;
    return;
  }
  ustrzcpy(dest, PATH_SIZE, joined);
  if (suffix) insert_suffix(dest, suffix, PATH_SIZE);
}

// 1 when a tile of the map names a texture entry whose bitmap was not loaded.
static int tiles_use_unavailable_textures() {
  for (int x = 0; x < tile_map.tiles_x; x++) {
    const Tile *column = tile_map.tiles[x];
    for (int y = 0; y < tile_map.tiles_y; y++) {
      const int t = column[y].texture;
      if (t < 0 || t > MAX_TEXTURES - 1 || texture_table.textures[t].loaded != 1) return 1;
    }
  }
  return 0;
}

void open_terrain(int select) {
  // A second attempt follows a failed one: nothing of that terrain stays.
  if (open_attempts++ > 0) clear_terrain_model();

  if (select == 1 &&
      !file_select_ex("Select a .TFD file", tfd_path, "TFD", sizeof(tfd_path), OPEN_DIALOG_SIZE,
                      OPEN_DIALOG_SIZE))
    run_state = RUN_END;

  derive_path(hfd_path, "hfd", nullptr);
  derive_path(data_ini_path, "ini", "_DATA");
  derive_path(targets_ini_path, "ini", "_TARGETS");

  if (run_state == RUN_CONTINUE && load_tile_map(tfd_path) != 0) {
    run_state = RUN_END;
    terrain_alert("Error reading TFD file.", tfd_path);
  }
  if (run_state == RUN_CONTINUE) {
    if (load_height_map(hfd_path) != 0) terrain_alert("Warning: Error reading HFD file.", hfd_path);
    if (load_terrain_description(data_ini_path) == 0)
      terrain_alert("Warning: Error reading _DATA.INI file.", data_ini_path);
  }

  TextureTable &table = texture_table;
  int count = table.last_declared_texture;
  if (tile_map.max_texture_used >= count) count = tile_map.max_texture_used;
  if (count < 0) count = 0;
  if (count > MAX_TEXTURES - 1) count = MAX_TEXTURES - 1;
  table.texture_count = count;

  if (run_state == RUN_CONTINUE && load_textures() > 0) {
    run_state = RUN_END;
    terrain_alert("Error: Failed to initialize (placeholder) textures.", "");
  }
  if (table.textures_loaded != table.textures_declared)
    terrain_alert("Warning: Error reading certain texture files.", "");
  if (run_state == RUN_CONTINUE && tiles_use_unavailable_textures())
    terrain_alert("Warning: Tilemap refers to unavailable textures.", "");

  if (enable_targets != 0) {
    if (run_state != RUN_CONTINUE) return;
    if (load_target_areas(targets_ini_path) == 0)
      terrain_alert("Warning: Error reading _TARGETS.INI file.", targets_ini_path);
  }
  if (run_state == RUN_CONTINUE) terrain_open = 1;
}
