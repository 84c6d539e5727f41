#include "commands/make_lands_command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

int refused(CommandLine &c, const std::string &line) {
  c.mode = COMMAND_USAGE_ERROR;
  snprintf(c.error, sizeof(c.error), "%s", line.c_str());
  return -1;
}

// Digits only, low..high: strtoll alone would pass over blanks, a sign or a tail.
bool whole_number(const char *value, long long low, long long high, long long *out) {
  const size_t digits = strspn(value, "0123456789");
  if (digits == 0 || digits > 12 || value[digits]) return false;
  *out = strtoll(value, nullptr, 10);
  return *out >= low && *out <= high;
}

}  // namespace

const char MAKE_LANDS_USAGE[] =
    "\n"
    "  veldkit --make-lands TERRAIN.TFD --land NAME=PICTURE[:water]...\n"
    "          [--variants K] [--seed S] [--border SOFTNESS] [--size PIXELS]\n"
    "                                write the transition pictures between the\n"
    "                                lands (1 to 8; :water marks water) for every\n"
    "                                corner pattern into TERRAIN_lands/, K of each,\n"
    "                                and add them to the texture list and the\n"
    "                                lands file; needs no display\n"
    "--land NAME=PICTURE[:water]     a land and its picture (PNG, JPEG or BMP);\n"
    "                                once for each land\n"
    "--variants K                    pictures of each corner pattern (1 to 8, else 2)\n"
    "--seed S                        the noise of the borders (0 to 4294967295,\n"
    "                                else 1): the same seed writes the same set\n"
    "--border SOFTNESS               0 sharp, fine-grained borders to 100 soft,\n"
    "                                broad ones (else 40)\n"
    "--size PIXELS                   the pictures' side, a power of two from 16 to\n"
    "                                1024 (else the largest the smallest land\n"
    "                                picture holds)\n"
    "For --make-lands: 0 written, 1 not written (nothing is left), 2 a usage\n"
    "error or a tile map that cannot be read.\n";

int take_make_lands_option(CommandLine &c, int argc, char **argv, int *i) {
  const char *arg = argv[*i];
  const bool land = strcmp(arg, "--land") == 0;
  if (!land && strcmp(arg, "--variants") != 0 && strcmp(arg, "--seed") != 0 && strcmp(arg, "--border") != 0) return 0;
  if (*i + 1 >= argc) return refused(c, std::string(arg) + " takes a value");
  const char *value = argv[++*i];
  if (land) {
    if (c.land_count < COMMAND_LANDS_MAX) c.lands[c.land_count] = value;
    c.land_count++;
    return 1;
  }
  long long n;
  if (strcmp(arg, "--variants") == 0) {
    if (c.variants) return refused(c, "--variants given twice");
    if (!whole_number(value, 1, LAND_SET_VARIANTS_MAX, &n))
      return refused(c, "--variants takes a number from 1 to 8, not \"" + std::string(value).substr(0, 40) + "\"");
    c.variants = (int)n;
  } else if (strcmp(arg, "--seed") == 0) {
    if (c.seed >= 0) return refused(c, "--seed given twice");
    if (!whole_number(value, 0, 4294967295LL, &n))
      return refused(c, "--seed takes a whole number from 0 to 4294967295, not \"" + std::string(value).substr(0, 40) + "\"");
    c.seed = n;
  } else {
    if (c.border >= 0) return refused(c, "--border given twice");
    if (!whole_number(value, 0, LAND_SET_BORDER_MAX, &n))
      return refused(c, "--border takes a softness from 0 to 100, not \"" + std::string(value).substr(0, 40) + "\"");
    c.border = (int)n;
  }
  return 1;
}

std::string fit_make_lands_options(CommandLine &c) {
  if (c.new_lands) {
    std::vector<LandSetLand> ignored;
    const std::string why = read_new_lands(c, &ignored);
    if (!why.empty()) return why;
  }
  if (c.mode != COMMAND_MAKE_LANDS) {
    const char *given = c.land_count ? "--land" : c.variants ? "--variants" : c.seed >= 0 ? "--seed"
                        : c.border >= 0 ? "--border" : nullptr;
    return given ? std::string(given) + " goes with --make-lands" : "";
  }
  if (c.size_text) {
    long long n;
    if (!whole_number(c.size_text, 0, 99999, &n))
      return "--size of --make-lands takes one number of pixels (a power of two, 16 to 1024)";
    c.set_size = (int)n;
  }
  return make_lands_fault(c);
}

std::string read_new_lands(const CommandLine &c, std::vector<LandSetLand> *lands) {
  if (c.mode != COMMAND_NEW || c.area_given) return "--lands goes with --new";
  if (c.texture) return "--lands and --texture cannot be given together: the tiles are the first land's";
  if (c.lands_from) return "--lands and --lands-from cannot be given together";
  lands->clear();
  for (const char *at = c.new_lands;;) {
    const char *comma = strchr(at, ',');
    const std::string value(at, comma ? (size_t)(comma - at) : strlen(at));
    LandSetLand land;
    if (!read_land_option(value.c_str(), &land))
      return "--lands takes NAME=PICTURE[:water] parted by commas, not \"" + value.substr(0, 40) + "\"";
    lands->push_back(land);
    if (!comma) break;
    at = comma + 1;
  }
  const std::string why = land_set_request_fault(*lands);
  return why.empty() || why.compare(0, 6, "--make") != 0 ? why : "--lands names no land";
}

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
  if (c.size_text && (size < LAND_SET_SIZE_MIN || size > LAND_SET_SIZE_MAX || (size & (size - 1))))
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
