#include "commands/targets_command.h"

#include <cstdio>
#include <string>

#include "commands/no_display.h"
#include "core/text_numbers.h"
#include "document/target_import.h"

int run_import_targets(const CommandLine &c) {
  if (start_without_display() != 0) return COMMAND_EXIT_FAILED;
  const TargetImport im = import_targets(c.heights, c.terrain);
  for (const std::string &note : im.notes) fprintf(stderr, "%s\n", note.c_str());
  if (!im.why.empty()) fprintf(stderr, "%s\n", im.why.c_str());
  if (im.outcome == TARGET_IMPORT_REFUSED) return COMMAND_EXIT_USAGE;
  printf("%d target area%s added, %d outside the terrain left out; %d in all\n", im.added, im.added == 1 ? "" : "s",
         im.outside, im.total);
  fflush(stdout);
  if (!im.written.empty()) fprintf(stderr, "%s\n", QuotedName(im.written.c_str()).text);
  return im.outcome == TARGET_IMPORT_WRITTEN ? COMMAND_EXIT_DONE : COMMAND_EXIT_FAILED;
}
