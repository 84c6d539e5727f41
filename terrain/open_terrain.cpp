#include "terrain/open_terrain.h"

#include "app/startup.h"
#include "terrain/terrain_model.h"
#include "terrain/tile_map_file.h"

void open_terrain(int select) {
  if (select) { run_state = RUN_END; return; }
  if (load_tile_map(tfd_path) != 0) { run_state = RUN_END; return; }
  terrain_open = 1;
}
void insert_suffix(char *, const char *, int) {}
