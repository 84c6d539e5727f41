#include "app/command_line.h"

#include <allegro.h>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <strings.h>

#include "commands/batch_export.h"
#include "commands/check_command.h"
#include "commands/diff_command.h"
#include "commands/geo_commands.h"
#include "commands/import_commands.h"
#include "commands/landcover_command.h"
#include "commands/targets_command.h"
#include "commands/make_lands_command.h"
#include "commands/new_command.h"
#include "commands/recover_command.h"
#include "commands/sea_command.h"
#include "core/regular_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "document/new_terrain.h"
#include "geo/degrees_text.h"
#include "geo/dem_warp.h"
#include "program/settings.h"
#include "render/export/export_bitmap.h"
#include "render/air/air_export.h"

namespace {

struct KindWord {
  const char *word;
  int kinds[8];
  int count;
};

const KindWord KIND_WORDS[] = {
    {"data", {EXPORT_DATA}, 1},
    {"water", {EXPORT_WATER}, 1},
    {"textures", {EXPORT_TEXTURES_4X}, 1},
    {"embossed", {EXPORT_EMBOSSED_4X}, 1},
    {"height", {EXPORT_HEIGHT_4X}, 1},
    {"planning", {EXPORT_PLANNING_MAP_1, EXPORT_PLANNING_MAP_2, EXPORT_PLANNING_MAP_3}, 3},
    {"heights16", {EXPORT_HEIGHTS16}, 1},
    {"lands", {EXPORT_LANDS}, 1},
    {"briefing", {EXPORT_BRIEFING}, 1},
    {"geotiff", {EXPORT_GEOTIFF}, 1},
    {"view", {COMMAND_KIND_VIEW}, 1},
    {"all",
     {EXPORT_DATA, EXPORT_WATER, EXPORT_TEXTURES_4X, EXPORT_EMBOSSED_4X, EXPORT_HEIGHT_4X,
      EXPORT_PLANNING_MAP_1, EXPORT_PLANNING_MAP_2, EXPORT_PLANNING_MAP_3},
     8},
};

bool is_option(const char *arg) { return strncmp(arg, "--", 2) == 0 || strcmp(arg, "-h") == 0; }

CommandLine usage_error(CommandLine c, const char *format, const char *what) {
  c.mode = COMMAND_USAGE_ERROR;
  snprintf(c.error, sizeof(c.error), format, what);
  return c;
}

// The comma-separated KIND words into c.kinds.
bool read_kinds(CommandLine &c, const char *list) {
  const char *at = list;
  for (;;) {
    const char *comma = strchr(at, ',');
    const size_t length = comma ? (size_t)(comma - at) : strlen(at);
    char word[32];
    if (length == 0 || length >= sizeof(word)) {
      snprintf(c.error, sizeof(c.error), "unknown export kind \"%.*s\"", (int)(length < 40 ? length : 40), at);
      return false;
    }
    memcpy(word, at, length);
    word[length] = 0;
    int kinds[8];
    const int n = export_kinds_of(word, kinds);
    if (n == 0) {
      snprintf(c.error, sizeof(c.error), "unknown export kind \"%s\"", word);
      return false;
    }
    if (c.kind_count + n > COMMAND_KINDS_MAX) {
      snprintf(c.error, sizeof(c.error), "too many export kinds");
      return false;
    }
    for (int i = 0; i < n; i++) c.kinds[c.kind_count++] = kinds[i];
    if (!comma) return true;
    at = comma + 1;
  }
}

// Five numbers apart by commas, each whole and finite ("-12.5", "3e2").
bool parse_camera(const char *text, double *out, int *in_degrees) {
  std::vector<std::string> fields;
  for (const char *at = text;; at++) {
    const char *comma = strchr(at, ',');
    fields.emplace_back(at, comma ? (size_t)(comma - at) : strlen(at));
    if (!comma) break;
    at = comma;
  }
  if (fields.size() != 5) return false;
  // The place as a latitude and a longitude when both say their letter: "43.2N,19.1E,...".
  double latitude = 0, longitude = 0;
  char axis[2] = {0, 0};
  const bool degrees = parse_angle(fields[0].c_str(), &latitude, &axis[0]) &&
                       parse_angle(fields[1].c_str(), &longitude, &axis[1]) && axis[0] == 'N' && axis[1] == 'E';
  for (int k = degrees ? 2 : 0; k < 5; k++) {
    const char *at = fields[(size_t)k].c_str();
    char *end;
    errno = 0;
    if (!*at || isspace((unsigned char)*at)) return false;
    out[k] = strtod(at, &end);
    if (end == at || errno == ERANGE || !std::isfinite(out[k]) || *end) return false;
  }
  if (degrees && (std::fabs(latitude) > 90 || std::fabs(longitude) > 180)) return false;
  if (degrees) out[0] = latitude, out[1] = longitude;
  *in_degrees = degrees;
  return true;
}

// Four angles apart by commas, south below north and west of east; a
// letter, when given, must be the one of its place (43N, 18E or 18W).
bool parse_area(const char *text, double *area) {
  const char *at = text;
  for (int k = 0; k < 4; k++) {
    const char *comma = strchr(at, ',');
    if ((k < 3) != (comma != nullptr)) return false;
    const std::string part = comma ? std::string(at, (size_t)(comma - at)) : std::string(at);
    char axis;
    if (!parse_angle(part.c_str(), &area[k], &axis)) return false;
    const char want = k % 2 == 0 ? 'N' : 'E';
    if (axis && axis != want) return false;
    if (fabs(area[k]) > (want == 'N' ? 90 : 180)) return false;
    at = comma ? comma + 1 : at;
  }
  return area[0] < area[2] && area[1] < area[3];
}

bool parse_view_size(const char *text, int *width, int *height) {
  const size_t digits = strspn(text, "0123456789");
  const char *second = text + digits + 1;
  if (digits == 0 || digits > 5 || (text[digits] != 'x' && text[digits] != 'X')) return false;
  const size_t more = strspn(second, "0123456789");
  if (more == 0 || more > 5 || second[more]) return false;
  const long w = strtol(text, nullptr, 10), h = strtol(second, nullptr, 10);
  if (w < AIR_EXPORT_MIN_SIZE || h < AIR_EXPORT_MIN_SIZE || w > AIR_EXPORT_MAX_SIZE || h > AIR_EXPORT_MAX_SIZE) return false;
  *width = (int)w, *height = (int)h;
  return true;
}

// The value of --format, --textures or a number option.
bool read_value(CommandLine &c, const char *option, const char *value) {
  if (strcmp(option, "--format") == 0) {
    const char *names[] = {"bmp", "png", "raw", "geotiff"};
    for (int f = 0; f < 4; f++) {
      if (strcasecmp(value, names[f]) != 0) continue;
      c.format = f;
      return true;
    }
    c = usage_error(c, "unknown format \"%.40s\" (bmp, png, raw or geotiff)", value);
    return false;
  }
  if (strcmp(option, "--camera") == 0) {
    if (!parse_camera(value, c.camera, &c.camera_degrees)) {
      c = usage_error(c, "--camera takes X,Y,ALT,HEADING,PITCH (metres and degrees) or LAT,LON,ALT,HEADING,PITCH (43.2N,19.1E,...), not \"%.40s\"", value);
      return false;
    }
    c.camera_given = 1;
    return true;
  }
  // Its meaning depends on the mode: read once the mode is known.
  if (strcmp(option, "--size") == 0) {
    c.size_text = value;
    return true;
  }
  if (strcmp(option, "--area") == 0) {
    if (!parse_area(value, c.area)) {
      c = usage_error(c, "--area takes SOUTH,WEST,NORTH,EAST in degrees (43.1 or 43.1N), not \"%.40s\"", value);
      return false;
    }
    c.area_given = 1;
    return true;
  }
  if (strcmp(option, "--projection") == 0) {
    if (!value[0]) c = usage_error(c, "%s", "--projection is empty");
    c.projection = value;
    return value[0] != 0;
  }
  if (strcmp(option, "--resampling") == 0) {
    if (!dem_resampling_known(value)) {
      c = usage_error(c, "--resampling takes average, bilinear, cubic, cubicspline, lanczos, med or max, not \"%.40s\"",
                      value);
      return false;
    }
    c.resampling = value;
    return true;
  }
  // The options naming a file, a folder or lands: never empty.
  struct Name {
    const char *option;
    const char **into;
    const char *error;
  };
  const Name names[] = {
      {"--textures", &c.textures, "the textures folder's name is empty"},
      {"--water", &c.water, "--water names no picture"},
      {"--lands-from", &c.lands_from, "the terrain's name of --lands-from is empty"},
      {"--lands", &c.new_lands, "--lands names no land"},
      {"--sea", &c.sea, "--sea names no land"},
      {"--shore", &c.shore, "--shore names no land"},
      {"--classes", &c.classes, "the class table's name is empty"},
  };
  for (const Name &n : names) {
    if (strcmp(option, n.option) != 0) continue;
    if (!value[0]) c = usage_error(c, "%s", n.error);
    *n.into = value;
    return value[0] != 0;
  }
  // Digits only: strtol alone would pass over blanks, a sign or a tail.
  struct Number {
    const char *option;
    long low, high;
    int *into;
    const char *error;
  };
  const Number numbers[] = {
      {"--fit", 1, MAX_HEIGHT, &c.fit, "--fit takes a height from 1 to 9999, not \"%.40s\""},
      {"--texture", 1, MAX_TEXTURES - 1, &c.texture, "--texture takes a texture number from 1 to 511, not \"%.40s\""},
      {"--height", 0, MAX_HEIGHT, &c.height, "--height takes a height from 0 to 9999, not \"%.40s\""},
      {"--level", 0, MAX_HEIGHT, &c.level, "--level takes a height from 0 to 9999, not \"%.40s\""},
      {"--depth", 0, MAX_HEIGHT, &c.depth, "--depth takes a height from 0 to 9999, not \"%.40s\""},
  };
  for (const Number &n : numbers) {
    if (strcmp(option, n.option) != 0) continue;
    const size_t digits = strspn(value, "0123456789");
    errno = 0;
    const long number = digits > 0 && value[digits] == 0 ? strtol(value, nullptr, 10) : -1;
    if (errno == 0 && number >= n.low && number <= n.high) {
      *n.into = (int)number;
      return true;
    }
    c = usage_error(c, n.error, value);
    return false;
  }
  return false;
}

// A name the shell passed empty ("" or an unset variable) names no file.
bool name_empty(CommandLine &c, const char *name, const char *what) {
  if (name[0]) return false;
  c = usage_error(c, "the %s's name is empty", what);
  return true;
}

// The view kind needs its camera; the camera and size need the view kind.
CommandLine view_options_fit(CommandLine c) {
  bool view = false;
  for (int k = 0; k < c.kind_count; k++) view |= c.kinds[k] == COMMAND_KIND_VIEW;
  if (view && !c.camera_given) return usage_error(c, "%s", "--export view needs --camera X,Y,ALT,HEADING,PITCH");
  if (!view && (c.camera_given || c.view_width))
    return usage_error(c, "%s goes with --export view", c.camera_given ? "--camera" : "--size");
  return c;
}

}  // namespace

int parse_terrain_size(const char *text, int blanks, int *columns, int *rows) {
  const char *p = text;
  long sides[2];
  for (int k = 0; k < 2; k++) {
    if (blanks) p += strspn(p, " \t");
    const size_t digits = strspn(p, "0123456789");
    if (digits == 0 || digits > 9) return 0;
    sides[k] = strtol(p, nullptr, 10);
    p += digits;
    if (blanks) p += strspn(p, " \t");
    if (k == 0 && *p != 'x' && *p != 'X') return 0;
    if (k == 0) p++;
  }
  if (*p || sides[0] < 1 || sides[0] > MAX_TILES || sides[1] < 1 || sides[1] > MAX_TILES) return 0;
  *columns = (int)sides[0];
  *rows = (int)sides[1];
  return 1;
}

int export_kinds_of(const char *word, int *kinds) {
  for (const KindWord &k : KIND_WORDS) {
    if (strcasecmp(word, k.word) != 0) continue;
    memcpy(kinds, k.kinds, sizeof(int) * k.count);
    return k.count;
  }
  return 0;
}

namespace {

// c as a usage error; false, for the loop to stop.
bool refuse(CommandLine &c, const char *format, const char *what) {
  c = usage_error(c, format, what);
  return false;
}

// What the option loop found besides the options themselves.
struct ArgumentScan {
  const char *mode_option = nullptr;
  const char *kinds = nullptr;
  const char *positional[COMMAND_DEMS_MAX + 1] = {};
  int positionals = 0;
  bool any_option = false;
};

// Options and the terrain in any order; "--" ends the options. False with
// c a usage error.
bool scan_arguments(int argc, char **argv, CommandLine &c, ArgumentScan &scan) {
  const char *&mode_option = scan.mode_option;
  const char *&kinds = scan.kinds;
  bool options_over = false;
  for (int i = 1; i < argc; i++) {
    const char *arg = argv[i];
    if (!options_over && strcmp(arg, "--") == 0) {
      options_over = true;
      continue;
    }
    if (options_over || !is_option(arg)) {
      if (scan.positionals <= COMMAND_DEMS_MAX) scan.positional[scan.positionals] = arg;
      scan.positionals++;
      continue;
    }
    scan.any_option = true;
    // Every option once: a second value would silently win over the first.
    const bool twice = (strcmp(arg, "--picture") == 0 && c.picture) ||
                       (strcmp(arg, "--format") == 0 && c.format >= 0) || (strcmp(arg, "--fit") == 0 && c.fit) ||
                       (strcmp(arg, "--texture") == 0 && c.texture) || (strcmp(arg, "--height") == 0 && c.height >= 0) ||
                       (strcmp(arg, "--textures") == 0 && c.textures) || (strcmp(arg, "--camera") == 0 && c.camera_given) ||
                       (strcmp(arg, "--size") == 0 && c.size_text) || (strcmp(arg, "--water") == 0 && c.water) ||
                       (strcmp(arg, "--lands-from") == 0 && c.lands_from) || (strcmp(arg, "--sea") == 0 && c.sea) ||
                       (strcmp(arg, "--lands") == 0 && c.new_lands) ||
                       (strcmp(arg, "--shore") == 0 && c.shore) || (strcmp(arg, "--level") == 0 && c.level >= 0) ||
                       (strcmp(arg, "--depth") == 0 && c.depth >= 0) || (strcmp(arg, "--area") == 0 && c.area_given) ||
                       (strcmp(arg, "--projection") == 0 && c.projection) ||
                       (strcmp(arg, "--resampling") == 0 && c.resampling) || (strcmp(arg, "--dem") == 0 && c.dem_count) ||
                       (strcmp(arg, "--classes") == 0 && c.classes);
    if (twice) return refuse(c, "%s given twice", arg);
    const int land_set_option = take_make_lands_option(c, argc, argv, &i);
    if (land_set_option < 0) return false;
    if (land_set_option > 0) continue;
    if (strcmp(arg, "--picture") == 0) {
      c.picture = 1;
      continue;
    }
    if (strcmp(arg, "--format") == 0 || strcmp(arg, "--fit") == 0 || strcmp(arg, "--texture") == 0 ||
        strcmp(arg, "--height") == 0 || strcmp(arg, "--textures") == 0 || strcmp(arg, "--camera") == 0 ||
        strcmp(arg, "--size") == 0 || strcmp(arg, "--water") == 0 || strcmp(arg, "--lands-from") == 0 ||
        strcmp(arg, "--lands") == 0 ||
        strcmp(arg, "--sea") == 0 || strcmp(arg, "--shore") == 0 || strcmp(arg, "--level") == 0 ||
        strcmp(arg, "--depth") == 0 || strcmp(arg, "--area") == 0 || strcmp(arg, "--projection") == 0 ||
        strcmp(arg, "--resampling") == 0 || strcmp(arg, "--classes") == 0) {
      if (i + 1 >= argc) return refuse(c, "%s takes a value", arg);
      if (!read_value(c, arg, argv[++i])) return false;
      continue;
    }
    // The elevation models of --new: every argument up to the next option.
    if (strcmp(arg, "--dem") == 0) {
      while (i + 1 < argc && !is_option(argv[i + 1]) && c.dem_count < COMMAND_DEMS_MAX) c.dems[c.dem_count++] = argv[++i];
      if (c.dem_count == 0) return refuse(c, "%s takes one elevation model or more", arg);
      continue;
    }
    int mode = COMMAND_USAGE_ERROR;
    if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) mode = COMMAND_HELP;
    else if (strcmp(arg, "--version") == 0) mode = COMMAND_VERSION;
    else if (strcmp(arg, "--check") == 0) mode = COMMAND_CHECK;
    else if (strcmp(arg, "--export") == 0) mode = COMMAND_EXPORT;
    else if (strcmp(arg, "--import-heights") == 0) mode = COMMAND_IMPORT_HEIGHTS;
    else if (strcmp(arg, "--import-lands") == 0) mode = COMMAND_IMPORT_LANDS;
    else if (strcmp(arg, "--diff") == 0) mode = COMMAND_DIFF;
    else if (strcmp(arg, "--new") == 0) mode = COMMAND_NEW;
    else if (strcmp(arg, "--recover") == 0) mode = COMMAND_RECOVER;
    else if (strcmp(arg, "--lands-from-heights") == 0) mode = COMMAND_LANDS_FROM_HEIGHTS;
    else if (strcmp(arg, "--heights-from-lands") == 0) mode = COMMAND_HEIGHTS_FROM_LANDS;
    else if (strcmp(arg, "--import-dem") == 0) mode = COMMAND_IMPORT_DEM;
    else if (strcmp(arg, "--import-landcover") == 0) mode = COMMAND_IMPORT_LANDCOVER;
    else if (strcmp(arg, "--import-targets") == 0) mode = COMMAND_IMPORT_TARGETS;
    else if (strcmp(arg, "--make-lands") == 0) mode = COMMAND_MAKE_LANDS;
    else return refuse(c, "unknown option %s", arg);
    if (mode_option && mode == c.mode) return refuse(c, "%s given twice", arg);
    if (mode_option) {
      snprintf(c.error, sizeof(c.error), "%.60s and %.60s cannot be given together", mode_option, arg);
      c.mode = COMMAND_USAGE_ERROR;
      return false;
    }
    mode_option = arg;
    c.mode = mode;
    if (mode == COMMAND_EXPORT) {
      if (i + 1 >= argc || is_option(argv[i + 1]))
        return refuse(c, "%s takes a list of kinds and one terrain", arg);
      kinds = argv[++i];
    }
  }
  return true;
}

// --size, by the mode: a view's picture, or a new terrain's tiles.
CommandLine read_size(CommandLine c) {
  if (!c.size_text || c.mode == COMMAND_MAKE_LANDS) return c;
  if (c.mode == COMMAND_NEW && c.area_given) {
    if (!parse_terrain_size(c.size_text, 0, &c.columns, &c.rows))
      return usage_error(c, "--size takes COLUMNSxROWS, each 1 to 4000, not \"%.40s\"", c.size_text);
    return c;
  }
  if (!parse_view_size(c.size_text, &c.view_width, &c.view_height))
    return usage_error(c, "--size takes WIDTHxHEIGHT, each 16 to 16384, not \"%.40s\"", c.size_text);
  return c;
}

// The options of the real world's modes; c, or a usage error.
CommandLine geo_options_fit_mode(CommandLine c) {
  const bool area_new = c.mode == COMMAND_NEW && c.area_given;
  if (c.area_given && c.mode != COMMAND_NEW) return usage_error(c, "%s", "--area goes with --new");
  if (c.dem_count && !area_new) return usage_error(c, "%s", "--dem goes with --new --area");
  if (area_new && !c.dem_count) return usage_error(c, "%s", "--new --area needs --dem DEM...");
  if (c.projection && !area_new) return usage_error(c, "%s", "--projection goes with --new --area");
  if (c.resampling && !area_new && c.mode != COMMAND_IMPORT_DEM)
    return usage_error(c, "%s", "--resampling goes with --import-dem or --new --area");
  const bool landcover = c.mode == COMMAND_IMPORT_LANDCOVER;
  if (c.classes && !landcover) return usage_error(c, "%s", "--classes goes with --import-landcover");
  if (landcover && !c.classes) return usage_error(c, "%s", "--import-landcover needs --classes CLASSES.ini");
  if (c.format == EXPORT_FORMAT_GEOTIFF && c.mode != COMMAND_EXPORT)
    return usage_error(c, "%s", "--format geotiff goes with --export data, textures or embossed");
  if (area_new) {
    const char *given = c.texture ? "--texture" : c.height >= 0 ? "--height" : c.textures ? "--textures" : nullptr;
    if (given) return usage_error(c, "%s goes with --new without --area", given);
  }
  return c;
}

// The options that go with one mode only; c, or a usage error.
CommandLine options_fit_mode(CommandLine c) {
  c = read_size(c);
  if (c.mode == COMMAND_USAGE_ERROR) return c;
  c = geo_options_fit_mode(c);
  if (c.mode == COMMAND_USAGE_ERROR) return c;
  const std::string land_set_fault = fit_make_lands_options(c);
  if (!land_set_fault.empty()) return usage_error(c, "%s", land_set_fault.c_str());
  if (c.fit && c.mode != COMMAND_IMPORT_HEIGHTS) return usage_error(c, "%s", "--fit goes with --import-heights");
  if (c.format == EXPORT_FORMAT_RAW && c.mode != COMMAND_EXPORT)
    return usage_error(c, "%s", "--format raw is for heights16 exports only");
  if (c.mode != COMMAND_NEW) {
    const char *given = c.texture ? "--texture" : c.height >= 0 ? "--height" : c.textures ? "--textures" : nullptr;
    if (given) return usage_error(c, "%s goes with --new", given);
  }
  if ((c.water || c.lands_from) && (c.mode != COMMAND_NEW || !c.textures))
    return usage_error(c, "%s goes with --new --textures", c.water ? "--water" : "--lands-from");
  const bool lands_from_heights = c.mode == COMMAND_LANDS_FROM_HEIGHTS;
  if (c.sea && !lands_from_heights && c.mode != COMMAND_HEIGHTS_FROM_LANDS && c.mode != COMMAND_IMPORT_LANDCOVER)
    return usage_error(c, "%s", "--sea goes with --lands-from-heights, --heights-from-lands or --import-landcover");
  if ((c.level >= 0 || c.shore) && !lands_from_heights)
    return usage_error(c, "%s goes with --lands-from-heights", c.shore ? "--shore" : "--level");
  if (c.depth >= 0 && c.mode != COMMAND_HEIGHTS_FROM_LANDS)
    return usage_error(c, "%s", "--depth goes with --heights-from-lands");
  if (!c.sea && (lands_from_heights || c.mode == COMMAND_HEIGHTS_FROM_LANDS))
    return usage_error(c, "%s needs --sea LAND", lands_from_heights ? "--lands-from-heights" : "--heights-from-lands");
  if (c.picture && c.mode != COMMAND_DIFF) return usage_error(c, "%s", "--picture goes with --diff");
  if ((c.camera_given || c.view_width) && c.mode != COMMAND_EXPORT)
    return usage_error(c, "%s goes with --export view", c.camera_given ? "--camera" : "--size");
  if (c.size_text && c.mode != COMMAND_EXPORT && c.mode != COMMAND_MAKE_LANDS && !(c.mode == COMMAND_NEW && c.area_given))
    return usage_error(c, "%s", "--size goes with --export view, --new --area or --make-lands");
  if (c.format >= 0 && c.mode == COMMAND_DIFF && !c.picture)
    return usage_error(c, "%s", "--format goes with --diff only for its --picture");
  if (c.format >= 0 && c.mode != COMMAND_EXPORT && c.mode != COMMAND_WINDOW && c.mode != COMMAND_DIFF)
    return usage_error(c, "%s", "--format goes with --export, --diff --picture or the window");
  return c;
}

// --new T.TFD --area ... --dem DEM...: the tile map is the one name
// besides the models, or the last of them when it names a tile map.
CommandLine take_area_terrain(CommandLine c, const ArgumentScan &scan) {
  const char *tfd = scan.positionals == 1 ? scan.positional[0] : nullptr;
  if (scan.positionals == 0 && c.dem_count > 1 && names_a_tile_map(c.dems[c.dem_count - 1])) tfd = c.dems[--c.dem_count];
  if (scan.positionals > 1 || !tfd) return usage_error(c, "%s", "--new --area takes one tile map's name");
  if (name_empty(c, tfd, "terrain")) return c;
  for (int k = 0; k < c.dem_count; k++)
    if (name_empty(c, c.dems[k], "elevation model")) return c;
  if (!names_a_tile_map(tfd)) return usage_error(c, "the new tile map's name must end in .TFD, not \"%.60s\"", tfd);
  c.terrain = tfd;
  return c;
}

// The files each mode takes; c, or a usage error.
CommandLine take_files(CommandLine c, const ArgumentScan &scan) {
  const char *mode_option = scan.mode_option;
  const char *const *positional = scan.positional;
  const int positionals = scan.positionals;
  if (!scan.any_option || (c.mode == COMMAND_WINDOW && c.format >= 0)) {
    // Without a mode: one terrain, or the file selector.
    if (positionals > 1 && c.format >= 0) return usage_error(c, "%s", "the window takes one terrain");
    for (int k = 0; k < positionals && k < 2; k++)
      if (name_empty(c, positional[k], "terrain")) return c;
    c.terrain = positionals == 1 ? positional[0] : nullptr;
    return c;
  }
  switch (c.mode) {
    case COMMAND_HELP:
    case COMMAND_VERSION:
      return positionals == 0 ? c : usage_error(c, "%s takes no arguments", mode_option);
    case COMMAND_CHECK:
    case COMMAND_RECOVER:
    case COMMAND_LANDS_FROM_HEIGHTS:
    case COMMAND_HEIGHTS_FROM_LANDS:
    case COMMAND_MAKE_LANDS:
      if (positionals != 1) return usage_error(c, "%s takes one terrain", mode_option);
      if (name_empty(c, positional[0], "terrain")) return c;
      c.terrain = positional[0];
      return c;
    case COMMAND_IMPORT_HEIGHTS:
    case COMMAND_IMPORT_LANDS:
    case COMMAND_IMPORT_LANDCOVER:
    case COMMAND_IMPORT_TARGETS: {
      const char *what = c.mode == COMMAND_IMPORT_LANDCOVER ? "raster" : c.mode == COMMAND_IMPORT_TARGETS ? "place list" : "picture";
      if (positionals != 2) {
        snprintf(c.error, sizeof(c.error), "%.40s takes a %s and one terrain", mode_option, what);
        c.mode = COMMAND_USAGE_ERROR;
        return c;
      }
      if (name_empty(c, positional[0], what) || name_empty(c, positional[1], "terrain")) return c;
      c.heights = positional[0];
      c.terrain = positional[1];
      return c;
    }
    case COMMAND_DIFF:
      if (positionals != 2) return usage_error(c, "%s takes two terrains", mode_option);
      if (name_empty(c, positional[0], "terrain") || name_empty(c, positional[1], "terrain")) return c;
      c.terrain = positional[0];
      c.other = positional[1];
      return c;
    case COMMAND_IMPORT_DEM:
      if (positionals < 2) return usage_error(c, "%s takes elevation models and one terrain", mode_option);
      if (positionals > COMMAND_DEMS_MAX + 1) return usage_error(c, "%s takes at most 1024 elevation models", mode_option);
      for (int k = 0; k < positionals; k++)
        if (name_empty(c, positional[k], k + 1 < positionals ? "elevation model" : "terrain")) return c;
      for (int k = 0; k + 1 < positionals; k++) c.dems[c.dem_count++] = positional[k];
      c.terrain = positional[positionals - 1];
      return c;
    case COMMAND_NEW:
      if (c.area_given) return take_area_terrain(c, scan);
      if (positionals != 2) return usage_error(c, "%s takes a tile map's name and a size", mode_option);
      if (name_empty(c, positional[0], "terrain")) return c;
      if (!names_a_tile_map(positional[0]))
        return usage_error(c, "the new tile map's name must end in .TFD, not \"%.60s\"", positional[0]);
      if (!parse_terrain_size(positional[1], 0, &c.columns, &c.rows))
        return usage_error(c, "the size is COLUMNSxROWS, each 1 to 4000, not \"%.40s\"", positional[1]);
      c.terrain = positional[0];
      return c;
    default:  // COMMAND_EXPORT
      if (positionals != 1) return usage_error(c, "%s takes a list of kinds and one terrain", mode_option);
      if (!read_kinds(c, scan.kinds)) {
        c.mode = COMMAND_USAGE_ERROR;
        return c;
      }
      for (int k = 0; k < c.kind_count && c.format == EXPORT_FORMAT_RAW; k++)
        if (c.kinds[k] != EXPORT_HEIGHTS16) return usage_error(c, "%s", "--format raw is for heights16 exports only");
      for (int k = 0; k < c.kind_count && c.format == EXPORT_FORMAT_GEOTIFF; k++)
        if (!export_extension(c.kinds[k], EXPORT_FORMAT_GEOTIFF))
          return usage_error(c, "%s", "--format geotiff is for --export data, textures and embossed");
      if (name_empty(c, positional[0], "terrain")) return c;
      c.terrain = positional[0];
      return view_options_fit(c);
  }
}


}  // namespace

CommandLine parse_command_line(int argc, char **argv) {
  CommandLine c{};
  c.mode = COMMAND_WINDOW;
  c.format = -1;
  c.height = c.level = c.depth = -1;
  c.seed = c.border = -1;
  ArgumentScan scan;
  if (!scan_arguments(argc, argv, c, scan)) return c;
  c = options_fit_mode(c);
  return c.mode == COMMAND_USAGE_ERROR ? c : take_files(c, scan);
}

int run_command_line(const CommandLine &c) {
  switch (c.mode) {
    case COMMAND_HELP: print_usage(stdout); return COMMAND_EXIT_DONE;
    case COMMAND_VERSION: printf("%s\n", VELDKIT_VERSION); return COMMAND_EXIT_DONE;
    case COMMAND_EXPORT: return run_exports(c);
    case COMMAND_CHECK: return run_check(c);
    case COMMAND_IMPORT_HEIGHTS: return run_import_heights(c);
    case COMMAND_IMPORT_LANDS: return run_import_lands(c);
    case COMMAND_DIFF: return run_diff(c, stdout, stderr);
    case COMMAND_NEW: return c.area_given ? run_new_area(c) : run_new_terrain(c, stdout, stderr);
    case COMMAND_RECOVER: return run_recover(c);
    case COMMAND_LANDS_FROM_HEIGHTS:
    case COMMAND_HEIGHTS_FROM_LANDS: return run_sea_lands(c);
    case COMMAND_IMPORT_DEM: return run_import_dem(c);
    case COMMAND_IMPORT_LANDCOVER: return run_import_landcover(c);
    case COMMAND_IMPORT_TARGETS: return run_import_targets(c);
    case COMMAND_MAKE_LANDS: return run_make_lands(c);
    default:
      // The one line of what is wrong; the whole usage would scroll it away.
      fprintf(stderr, "veldkit: %s\nTry 'veldkit --help'.\n", c.error);
      return COMMAND_EXIT_USAGE;
  }
}
