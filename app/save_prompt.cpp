#include "app/save_prompt.h"

#include "app/editing.h"
#include "app/startup.h"
#include "app/status_bar.h"
#include "terrain/height_map_file.h"
#include "terrain/terrain_model.h"
#include "terrain/tile_map_file.h"

// Padded to 59 characters so that they cover the tail of a longer message.
static const char SAVING_TFD[] = "Saving TFD...                                              ";
static const char SAVING_HFD[] = "Saving HFD...                                              ";
static_assert(sizeof(SAVING_TFD) == 60 && sizeof(SAVING_HFD) == 60, "59 characters");

static int ask_to_save(const char *question, const char *path) {
  return alert3(question, path, "before exit?", "&Yes", "&No", "&Return", 'y', 'n', 'r');
}

// Saves one map after a yes; a failed save keeps the program running, with
// the original file untouched and the map still marked as changed.
static void save_map(const char *message, int (*save)(const char *), const char *path,
                     const char *error) {
  show_progress("%s", message);
  if (save(path) != 0) {
    alert(error, "", path, "OK", nullptr, 'o', 0);
    run_state = RUN_CONTINUE;
  }
}

void confirm_exit() {
  const int ask_tiles = tilemap_modified != 0;
  // Without a loaded height map there is nothing that could be saved.
  const int ask_heights = heightmap_modified != 0 && height_map.heights_loaded > 0;
  if (!ask_tiles && !ask_heights) {
    run_state = RUN_END;
    return;
  }
  if (ask_tiles) {
    run_state = ask_to_save("Save changes to TileMap:", tfd_path);
    if (run_state == RUN_SAVED)
      save_map(SAVING_TFD, save_tile_map, tfd_path, "Error writing TFD file.");
    if (run_state == RUN_CONTINUE) return;
  }
  if (ask_heights) {
    run_state = ask_to_save("Save changes to HeightMap:", hfd_path);
    if (run_state == RUN_SAVED)
      save_map(SAVING_HFD, save_height_map, hfd_path, "Error writing HFD file.");
  }
}
