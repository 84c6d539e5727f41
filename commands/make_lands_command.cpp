#include "commands/make_lands_command.h"

#include <cstdio>
#include <cstring>

#include "commands/no_display.h"

namespace {

const char LAND_WATER_MARK[] = ":water";

std::vector<LandSetLand> lands_of(const CommandLine &c) {
  std::vector<LandSetLand> out;
  for (int k = 0; k < c.land_count && k < COMMAND_LANDS_MAX; k++) {
    LandSetLand land;
    read_land_option(c.lands[k], &land);
    out.push_back(land);
  }
  return out;
}

}  // namespace

bool read_land_option(const char *value, LandSetLand *land) {
  const char *equals = strchr(value, '=');
  if (!equals) return false;
  land->name.assign(value, (size_t)(equals - value));
  land->picture = equals + 1;
  const size_t n = land->picture.size(), mark = sizeof(LAND_WATER_MARK) - 1;
  land->water = n > mark && land->picture.compare(n - mark, mark, LAND_WATER_MARK) == 0;
  if (land->water) land->picture.resize(n - mark);
  return true;
}

std::string make_lands_fault(const CommandLine &c) {
  for (int k = 0; k < c.land_count && k < COMMAND_LANDS_MAX; k++) {
    LandSetLand land;
    if (!read_land_option(c.lands[k], &land))
      return "--land takes NAME=PICTURE or NAME=PICTURE:water, not \"" + std::string(c.lands[k]).substr(0, 40) + "\"";
  }
  if (c.land_count > LAND_SET_LANDS_MAX)
    return std::to_string(c.land_count) + " lands given; a set holds at most " + std::to_string(LAND_SET_LANDS_MAX);
  const int size = c.set_size;
  if (size && (size < LAND_SET_SIZE_MIN || size > LAND_SET_SIZE_MAX || (size & (size - 1))))
    return "--size of --make-lands takes a power of two from 16 to 1024, not " + std::to_string(size);
  return land_set_request_fault(lands_of(c));
}

int run_make_lands(const CommandLine &c) {
  if (start_without_display() != 0) return COMMAND_EXIT_FAILED;
  if (!set_terrain_path(c.terrain)) return COMMAND_EXIT_USAGE;
  LandSetRequest r;
  r.tfd_path = c.terrain;
  r.lands = lands_of(c);
  if (c.variants) r.variants = c.variants;
  if (c.seed >= 0) r.style.seed = (uint32_t)c.seed;
  if (c.border >= 0) r.style.border = c.border;
  r.style.size = c.set_size;
  const LandSetOutcome o = make_land_set(r);
  for (const std::string &note : o.notes) fprintf(stderr, "%s\n", note.c_str());
  if (o.result != LAND_SET_WRITTEN) {
    fprintf(stderr, "%s\n", o.why.c_str());
    return COMMAND_EXIT_FAILED;
  }
  printf("%s\n", o.said.c_str());
  return COMMAND_EXIT_DONE;
}
