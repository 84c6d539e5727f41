#include "commands/check_command.h"

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
#include "document/recovery_journal.h"
#include "inspect/place_check.h"
#include "inspect/terrain_check.h"

namespace {

void print_problem(void *, const char *text) { printf("%s\n", text); }
void print_note(void *, const char *text) { fprintf(stderr, "%s\n", text); }

}  // namespace

int run_check(const CommandLine &c) {
  if (start_without_display() != 0) return COMMAND_EXIT_FAILED;
  if (!set_terrain_path(c.terrain)) return COMMAND_EXIT_USAGE;
  const CheckOutput output = {print_problem, print_note, nullptr};
  int problems = 0;
  const int outcome = check_terrain(output, &problems);
  fflush(stdout);
  release_textures();
  char name[4 * PATH_SIZE];
  quote_name(c.terrain, name, sizeof(name));
  if (outcome == CHECK_NO_TILE_MAP) {
    fprintf(stderr, "%s: the tile map cannot be read; nothing else was checked.\n", name);
    return COMMAND_EXIT_USAGE;
  }
  // Where the terrain lies on the Earth, when a _GEO.ini says so.
  bool bad_place = false;
  const std::string place = check_place(c.terrain, tile_map.tiles_x, tile_map.tiles_y, &bad_place);
  if (bad_place) {
    printf("%s\n", place.c_str());
    fflush(stdout);
    problems++;
  } else if (!place.empty()) {
    fprintf(stderr, "%s\n", place.c_str());
  }
  // Edits a session left unsaved are no problem of the files, but worth knowing.
  JournalFound found;
  const std::string journal = journal_path_for(c.terrain);
  if (!journal.empty() && read_journal(journal.c_str(), &found)) {
    printf("%s: unsaved edits from %s in %s\n", get_filename(c.terrain), journal_time_text(found).c_str(), journal.c_str());
    fflush(stdout);
  }
  if (problems == 0)
    fprintf(stderr, "%s: no problems found.\n", name);
  else
    fprintf(stderr, "%s: %d problem%s found.\n", name, problems, problems == 1 ? "" : "s");
  return outcome == CHECK_CLEAN && !bad_place ? COMMAND_EXIT_DONE : COMMAND_EXIT_FAILED;
}
