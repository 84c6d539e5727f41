#include "app/save_prompt.h"

#include "app/editing.h"
#include "app/session.h"
#include "app/status_bar.h"
#include "terrain/height_map_file.h"
#include "terrain/terrain_model.h"
#include "terrain/tile_map_file.h"

// Padded to 59 characters so that they cover the tail of a longer message.
static const char SAVING_TFD[] = "Saving TFD...                                              ";
static const char SAVING_HFD[] = "Saving HFD...                                              ";
static_assert(sizeof(SAVING_TFD) == 60 && sizeof(SAVING_HFD) == 60, "59 characters");

// The run state each answer leads to: Yes saves and ends, No ends without
// saving, Return (or Esc) goes back to the map.
static int ask_to_save(const char *question, const char *path) {
  switch (alert3(question, path, "before exit?", "&Yes", "&No", "&Return", 'y', 'n', 'r')) {
    case 1: return RUN_SAVED;
    case 2: return RUN_END;
    default: return RUN_CONTINUE;
  }
}

// Saves one map after a yes; a failed save keeps the program running, with
// the original file untouched and the map still marked as changed.
static void save_map(const char *message, int (*save)(const char *), const char *path,
                     const char *error) {
  show_progress("%s", message);
  if (save(path) != 0) {
    alert(error, "", path, "OK", nullptr, 'o', 0);
    session.run_state = RUN_CONTINUE;
  }
}

void confirm_exit() {
  const int ask_tiles = session.tilemap_modified != 0;
  // Without a loaded height map there is nothing that could be saved.
  const int ask_heights = session.heightmap_modified != 0 && height_map.heights_loaded > 0;
  if (!ask_tiles && !ask_heights) {
    session.run_state = RUN_END;
    return;
  }
  if (ask_tiles) {
    session.run_state = ask_to_save("Save changes to TileMap:", terrain_paths.tfd_path);
    if (session.run_state == RUN_SAVED)
      save_map(SAVING_TFD, save_tile_map, terrain_paths.tfd_path, "Error writing TFD file.");
    if (session.run_state == RUN_CONTINUE) return;
  }
  if (ask_heights) {
    session.run_state = ask_to_save("Save changes to HeightMap:", terrain_paths.hfd_path);
    if (session.run_state == RUN_SAVED)
      save_map(SAVING_HFD, save_height_map, terrain_paths.hfd_path, "Error writing HFD file.");
  }
}
