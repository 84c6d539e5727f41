#include "document/sea_lands.h"

#include <cerrno>
#include <sys/stat.h>

#include "core/land_table.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "document/land_import.h"
#include "document/terrain_save.h"
#include "edit/edit_history.h"
#include "edit/land_grid.h"
#include "files/height_map_file.h"

namespace {

std::string named(const char *path) { return QuotedName(get_filename(path)).text; }

// The land of the name, or 0 with why naming the lands there are.
int land_of(const char *name, std::string *why) {
  if (const int land = land_named(name)) return land;
  std::string known;
  for (int n = 1, shown = 0; n < MAX_LANDS && shown < 10; n++)
    if (lands.lands[n].name[0]) known += (shown++ ? ", " : "") + std::string(lands.lands[n].name);
  *why = std::string("\"") + name + "\" is no land of " + named(terrain_paths.lands_ini_path) + " (" + known + ").";
  return 0;
}

std::string height_map_unusable(int result) {
  const char *path = terrain_paths.hfd_path;
  struct stat st;
  if (!path[0]) return named(terrain_paths.tfd_path) + ": the height map's path is longer than 255 characters.";
  if (lstat(path, &st) != 0 && errno == ENOENT) return named(path) + " does not exist; the heights are needed.";
  const char *reason = result == RESULT_BAD_HEADER ? "its size is not 4 x 4 samples a tile of the tile map"
                       : result == RESULT_BAD_DATA ? "a sample is above 9999"
                                                   : "it cannot be read";
  return named(path) + ": the height map cannot be used: " + reason + ".";
}

// The save's questions answered for a run without a window: another
// program's file is never written over.
struct Answers {
  int changed = 0;
  std::string failure;
};
int refuse_overwrite(void *context, const char *) {
  ((Answers *)context)->changed = 1;
  return 0;
}
void note_failure(void *context, const char *, const char *path, const char *why) {
  ((Answers *)context)->failure = named(path) + " cannot be written: " + (why[0] ? why : "the system gave no reason.");
}

void save(int file, SeaRun &run) {
  Answers answers;
  const SaveQuestions questions = {refuse_overwrite, note_failure, &answers};
  SaveAnswers agreed;
  const char *path = file == TERRAIN_TILE_MAP ? terrain_paths.tfd_path : terrain_paths.hfd_path;
  if (save_terrain_file(file, nullptr, questions, &agreed) == RESULT_OK) {
    run.outcome = SEA_WRITTEN;
    run.written = path;
    return;
  }
  run.outcome = SEA_NOT_WRITTEN;
  run.why = answers.changed ? named(path) + " changed on disk meanwhile; nothing written."
                            : answers.failure;
}

}  // namespace

SeaRun run_sea_command(const SeaCommand &c) {
  SeaRun run;
  history_clear();
  run.why = open_tile_map_and_lands(c.tfd, run.notes);
  if (!run.why.empty()) return run;
  const int heights = load_height_map(terrain_paths.hfd_path, nullptr);
  if (heights != RESULT_OK) {
    run.why = height_map_unusable(heights);
    return run;
  }
  const int sea = land_of(c.sea, &run.why);
  const int shore = sea && c.shore ? land_of(c.shore, &run.why) : 0;
  if (!sea || (c.shore && !shore)) return run;
  if (shore == sea) {
    run.why = std::string("--shore ") + c.shore + " is the sea's land itself.";
    return run;
  }
  read_land_grid();
  if (c.direction == SEA_HEIGHTS_FROM_LANDS) {
    // No history step: the map is written at once, with nothing to undo.
    run.heights = heights_from_lands(sea, c.depth, 0);
    run.outcome = SEA_WRITTEN;
    if (run.heights.samples > 0) save(TERRAIN_HEIGHT_MAP, run);
    return run;
  }
  run.points = sea_points_from_heights({sea, c.level, shore});
  if (run.points.stranded > 0) {
    run.why = std::to_string(run.points.stranded) + " corner point" + (run.points.stranded == 1 ? "" : "s") +
              " above " + std::to_string(c.level) + " m " + (run.points.stranded == 1 ? "has" : "have") + " the land " +
              lands.lands[sea].name + " and no other land near; --shore LAND gives them one. Nothing was written.";
    return run;
  }
  // Points whose tiles keep their textures need no writing: the tiles are
  // what the lands are kept in.
  run.lands = lands_from_heights(run.points, 0);
  run.outcome = SEA_WRITTEN;
  if (run.lands.tiles_changed > 0) save(TERRAIN_TILE_MAP, run);
  return run;
}
