#include "commands/geo_commands.h"

#include <allegro.h>
#include <cstdio>
#include <string>
#include <vector>

#include "document/dem_import.h"
#include "document/height_import.h"
#include "program/console_reporter.h"

namespace {

std::vector<std::string> dem_list(const CommandLine &c) { return std::vector<std::string>(c.dems, c.dems + c.dem_count); }

void print_counts(const DemCounts &counts) {
  for (const std::string &line : dem_count_lines(counts)) printf("%s\n", line.c_str());
  fflush(stdout);
}

}  // namespace

int run_import_dem(const CommandLine &c) {
  set_uformat(U_ASCII);
  start_file_progress();
  const DemImport im = import_dems(dem_list(c), c.terrain, c.resampling, console_export_reporter());
  finish_file_progress(nullptr);
  if (im.outcome != IMPORT_WRITTEN) {
    fprintf(stderr, "%s\n", im.why.c_str());
    return im.outcome == IMPORT_REFUSED ? COMMAND_EXIT_USAGE : COMMAND_EXIT_FAILED;
  }
  printf("%s\n", im.why.c_str());
  print_counts(im.counts);
  return COMMAND_EXIT_DONE;
}

int run_new_area(const CommandLine &c) {
  set_uformat(U_ASCII);
  AreaTerrain area;
  area.south = c.area[0], area.west = c.area[1], area.north = c.area[2], area.east = c.area[3];
  area.columns = c.columns, area.rows = c.rows;
  area.projection = c.projection;
  area.resampling = c.resampling;
  start_file_progress();
  const AreaResult r = write_area_terrain(c.terrain, area, dem_list(c), console_export_reporter());
  finish_file_progress(nullptr);
  if (r.outcome != AREA_WRITTEN) {
    fprintf(stderr, "%s\n", r.why.c_str());
    return r.outcome == AREA_REFUSED ? COMMAND_EXIT_USAGE : COMMAND_EXIT_FAILED;
  }
  printf("%s\n", r.why.c_str());
  print_counts(r.counts);
  return COMMAND_EXIT_DONE;
}
