#include "commands/recover_command.h"

#include <allegro.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands/no_display.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "program/console_reporter.h"
#include "program/session.h"
#include "document/open_terrain.h"
#include "document/recovery_journal.h"
#include "files/height_map_file.h"
#include "files/target_areas.h"
#include "files/terrain_description.h"
#include "files/tile_map_file.h"

// --recover: the journal's edits over the files as they are, written as a
// terrain of its own, TERRAIN_recovered.*; the journal stays.
int run_recover(const CommandLine &c) {
  if (start_without_display() != 0) return COMMAND_EXIT_FAILED;
  if (!set_terrain_path(c.terrain)) return COMMAND_EXIT_USAGE;
  char name[4 * PATH_SIZE];
  quote_name(c.terrain, name, sizeof(name));
  derive_terrain_paths();
  if (load_tile_map(terrain_paths.tfd_path, nullptr) != RESULT_OK) {
    fprintf(stderr, "%s: the tile map cannot be read; nothing recovered.\n", name);
    return COMMAND_EXIT_USAGE;
  }
  // What the edits are checked against: the maps, the texture list and the areas as they are.
  if (terrain_paths.hfd_path[0]) load_height_map(terrain_paths.hfd_path, nullptr);
  if (terrain_paths.data_ini_path[0]) load_terrain_description(terrain_paths.data_ini_path, nullptr);
  if (terrain_paths.targets_ini_path[0]) load_target_areas(terrain_paths.targets_ini_path, nullptr);
  JournalFound found;
  const std::string journal = journal_path_for(c.terrain);
  const int pending = !journal.empty() && read_journal(journal.c_str(), &found);
  // As the window does: a journal kept for another tile map, or one that is a link, is no one's here.
  char whole[PATH_MAX];
  if (found.not_regular) {
    fprintf(stderr, "%s: the recovery journal %s is not a regular file; nothing recovered.\n", name, journal.c_str());
    return COMMAND_EXIT_FAILED;
  }
  if (pending && (!realpath(c.terrain, whole) || found.tile_map != whole)) {
    fprintf(stderr, "%s: the recovery journal %s was kept for another tile map (%s); nothing recovered.\n", name,
            journal.c_str(), found.tile_map.c_str());
    return COMMAND_EXIT_FAILED;
  }
  if (!pending) {
    fprintf(stderr, "%s: no unsaved edits to recover%s\n", name,
            found.dropped ? (": " + journal_left_out_text(found)).c_str() : ".");
    return COMMAND_EXIT_FAILED;
  }
  std::string written, why;
  if (write_recovered_terrain(journal.c_str(), terrain_paths.tfd_path, &found, &written, &why) != 0) {
    fprintf(stderr, "%s: the recovered terrain cannot be written: %s\n", name, why.c_str());
    return COMMAND_EXIT_FAILED;
  }
  printf("%s from %s recovered into %s\n", journal_edits_text(found).c_str(), journal_time_text(found).c_str(),
         written.c_str());
  fflush(stdout);
  for (const std::string &note : {journal_left_out_text(found), journal_texture_text(found)})
    if (!note.empty()) fprintf(stderr, "%s: %s\n", name, note.c_str());
  return COMMAND_EXIT_DONE;
}
