#include "commands/landcover_command.h"

#include <cstdio>
#include <string>

#include "commands/no_display.h"
#include "core/land_table.h"
#include "core/text_numbers.h"
#include "document/landcover_import.h"
#include "program/console_reporter.h"

namespace {

const char *plural(long long n) { return n == 1 ? "" : "s"; }

void print_counts(const LandCoverImport &im, const CommandLine &c) {
  printf("%lld corner point%s from %s:\n", im.points, plural(im.points), QuotedName(c.heights).text);
  for (const ClassCount &k : im.taken)
    printf("  class %lld, %s: %lld point%s\n", k.value, lands.lands[k.land].name, k.points, plural(k.points));
  for (const ClassCount &k : im.unlisted)
    printf("  class %lld, not in %s, left as it is: %lld point%s\n", k.value, QuotedName(c.classes).text, k.points,
           plural(k.points));
  printf("  no class (nodata, or off the raster), left as it is: %lld point%s\n", im.no_class, plural(im.no_class));
  if (c.sea) printf("  at 0 m, given %s: %lld point%s\n", c.sea, im.sea_points, plural(im.sea_points));
  const LandResult &r = im.lands.result;
  printf("%lld tile%s changed; %lld without a transition\n", r.tiles_changed, plural(r.tiles_changed), r.missing);
  for (int k = 0; k < r.missing_kinds; k++)
    printf("  %s: %lld tile%s\n", land_corner_names(r.first_missing[k].corners).c_str(), r.first_missing[k].tiles,
           plural(r.first_missing[k].tiles));
  fflush(stdout);
}

}  // namespace

int run_import_landcover(const CommandLine &c) {
  if (start_without_display() != 0) return COMMAND_EXIT_FAILED;
  start_file_progress();
  const LandCoverImport im = import_landcover({c.heights, c.terrain, c.classes, c.sea}, console_export_reporter());
  finish_file_progress(nullptr);
  for (const std::string &note : im.lands.notes) fprintf(stderr, "%s\n", note.c_str());
  if (!im.lands.why.empty()) fprintf(stderr, "%s\n", im.lands.why.c_str());
  if (im.lands.outcome == LAND_IMPORT_REFUSED) return COMMAND_EXIT_USAGE;
  if (im.points > 0) print_counts(im, c);
  if (im.lands.written) fprintf(stderr, "%s\n", QuotedName(c.terrain).text);
  return im.lands.outcome == LAND_IMPORT_WRITTEN ? COMMAND_EXIT_DONE : COMMAND_EXIT_FAILED;
}
