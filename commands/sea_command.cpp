#include "commands/sea_command.h"

#include <cstdio>
#include <string>

#include "commands/no_display.h"
#include "core/land_table.h"
#include "core/text_numbers.h"
#include "document/sea_lands.h"

int run_sea_lands(const CommandLine &c) {
  if (start_without_display() != 0) return COMMAND_EXIT_FAILED;
  const bool lands = c.mode == COMMAND_LANDS_FROM_HEIGHTS;
  const SeaCommand command = {lands ? SEA_LANDS_FROM_HEIGHTS : SEA_HEIGHTS_FROM_LANDS, c.terrain, c.sea, c.shore,
                              c.level > 0 ? c.level : 0, c.depth > 0 ? c.depth : 0};
  const SeaRun run = run_sea_command(command);
  for (const std::string &note : run.notes) fprintf(stderr, "%s\n", note.c_str());
  if (!run.why.empty()) fprintf(stderr, "%s\n", run.why.c_str());
  if (run.outcome == SEA_REFUSED) return COMMAND_EXIT_USAGE;
  if (lands) {
    const LandResult &r = run.lands;
    printf("%lld corner point%s at or below %d m; %lld point%s and %lld tile%s changed; %lld without a transition\n",
           run.points.sea_points, run.points.sea_points == 1 ? "" : "s", command.level, r.points_changed,
           r.points_changed == 1 ? "" : "s", r.tiles_changed, r.tiles_changed == 1 ? "" : "s", r.missing);
    for (int k = 0; k < r.missing_kinds; k++)
      printf("  %s: %lld tile%s\n", land_corner_names(r.first_missing[k].corners).c_str(), r.first_missing[k].tiles,
             r.first_missing[k].tiles == 1 ? "" : "s");
  } else {
    const SeaBedResult &r = run.heights;
    printf("%lld tile%s of %s; %lld sample%s of %lld tile%s changed\n", r.sea_tiles, r.sea_tiles == 1 ? "" : "s",
           c.sea, r.samples, r.samples == 1 ? "" : "s", r.tiles, r.tiles == 1 ? "" : "s");
  }
  fflush(stdout);
  if (!run.written.empty()) fprintf(stderr, "%s\n", QuotedName(run.written.c_str()).text);
  return run.outcome == SEA_WRITTEN ? COMMAND_EXIT_DONE : COMMAND_EXIT_FAILED;
}
