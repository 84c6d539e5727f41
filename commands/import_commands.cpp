#include "commands/import_commands.h"

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
#include "document/height_import.h"
#include "document/land_import.h"

int run_import_heights(const CommandLine &c) {
  if (start_without_display() != 0) return COMMAND_EXIT_FAILED;
  // Room for two names quoted.
  char why[10 * PATH_SIZE], written[10 * PATH_SIZE];
  const int result = import_heights(c.heights, c.terrain, c.fit, why, written, sizeof(why));
  if (result == IMPORT_WRITTEN) {
    printf("%s\n", why);
    return COMMAND_EXIT_DONE;
  }
  fprintf(stderr, "%s\n", why);
  return result == IMPORT_REFUSED ? COMMAND_EXIT_USAGE : COMMAND_EXIT_FAILED;
}

int run_import_lands(const CommandLine &c) {
  if (start_without_display() != 0) return COMMAND_EXIT_FAILED;
  const LandImport im = import_lands(c.heights, c.terrain);
  for (const std::string &note : im.notes) fprintf(stderr, "%s\n", note.c_str());
  if (!im.why.empty()) fprintf(stderr, "%s\n", im.why.c_str());
  if (im.outcome == LAND_IMPORT_REFUSED) return COMMAND_EXIT_USAGE;
  const LandResult &r = im.result;
  printf("%lld tile%s changed; %lld without a transition\n", r.tiles_changed, r.tiles_changed == 1 ? "" : "s",
         r.missing);
  for (int k = 0; k < r.missing_kinds; k++)
    printf("  %s: %lld tile%s\n", land_corner_names(r.first_missing[k].corners).c_str(), r.first_missing[k].tiles,
           r.first_missing[k].tiles == 1 ? "" : "s");
  fflush(stdout);
  if (im.written) fprintf(stderr, "%s\n", QuotedName(c.terrain).text);
  return im.outcome == LAND_IMPORT_WRITTEN ? COMMAND_EXIT_DONE : COMMAND_EXIT_FAILED;
}
