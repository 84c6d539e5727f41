#include "app/command_line.h"

#include <allegro.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "app/batch_export.h"
#include "app/console_reporter.h"
#include "app/session.h"
#include "app/startup.h"
#include "render/export_bitmap.h"
#include "terrain/open_terrain.h"
#include "terrain/regular_file.h"
#include "terrain/terrain_check.h"
#include "terrain/terrain_model.h"

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

// The library without a display: memory bitmaps in the window's colour
// depth, the fonts and symbols the planning maps draw with, the settings.
int start_without_display() {
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
    fputs("Veldkit: the library cannot start\n", stderr);
    return 1;
  }
  use_config_file(SETTINGS_FILE);
  const ProgramSettings settings = read_settings();
  session.enable_targets = settings.enable_targets;
  set_uformat(U_ASCII);
  set_color_depth(32);
  return init_display(settings.screen_width, settings.screen_height);
}

void set_terrain_path(const char *path) {
  // A longer path would name a different file once cut: leave it empty so
  // that the opening fails with the tile-map error, as in the window.
  if (strlen(path) < PATH_SIZE) {
    strcpy(terrain_paths.tfd_path, path);
  } else {
    terrain_paths.tfd_path[0] = 0;
  }
}

int run_exports(const CommandLine &c) {
  if (start_without_display() != 0) return COMMAND_EXIT_FAILED;
  set_terrain_path(c.terrain);
  OpenReport report;
  const int outcome = open_terrain_files(session.enable_targets != 0, console_reporter(), &report);
  int code = COMMAND_EXIT_DONE;
  if (outcome == OPEN_NO_TILE_MAP) {
    code = COMMAND_EXIT_USAGE;
  } else if (outcome != OPEN_DONE) {
    code = COMMAND_EXIT_FAILED;
  } else if (export_kinds(c.kinds, c.kind_count) != 0) {
    code = COMMAND_EXIT_FAILED;
  }
  release_textures();
  return code;
}

void print_problem(void *, const char *text) { printf("%s\n", text); }

int run_check(const CommandLine &c) {
  if (start_without_display() != 0) return COMMAND_EXIT_FAILED;
  set_terrain_path(c.terrain);
  const CheckOutput output = {print_problem, nullptr};
  int problems = 0;
  const int outcome = check_terrain(output, &problems);
  fflush(stdout);
  release_textures();
  if (outcome == CHECK_NO_TILE_MAP) {
    fprintf(stderr, "%s: the tile map cannot be read; nothing else was checked.\n", c.terrain);
    return COMMAND_EXIT_USAGE;
  }
  if (problems == 0)
    fprintf(stderr, "%s: no problems found.\n", c.terrain);
  else
    fprintf(stderr, "%s: %d problem%s found.\n", c.terrain, problems, problems == 1 ? "" : "s");
  return outcome == CHECK_CLEAN ? COMMAND_EXIT_DONE : COMMAND_EXIT_FAILED;
}

}  // namespace

int export_kinds_of(const char *word, int *kinds) {
  for (const KindWord &k : KIND_WORDS) {
    if (strcasecmp(word, k.word) != 0) continue;
    memcpy(kinds, k.kinds, sizeof(int) * k.count);
    return k.count;
  }
  return 0;
}

CommandLine parse_command_line(int argc, char **argv) {
  CommandLine c{};
  c.mode = COMMAND_WINDOW;
  bool options = false;
  for (int i = 1; i < argc; i++) options = options || is_option(argv[i]);
  if (!options) {
    c.terrain = argc == 2 ? argv[1] : nullptr;
    return c;
  }
  const char *option = argv[1];
  const int rest = argc - 2;
  if (strcmp(option, "--help") == 0 || strcmp(option, "-h") == 0) {
    c.mode = COMMAND_HELP;
    return rest == 0 ? c : usage_error(c, "%s takes no arguments", option);
  }
  if (strcmp(option, "--version") == 0) {
    c.mode = COMMAND_VERSION;
    return rest == 0 ? c : usage_error(c, "%s takes no arguments", option);
  }
  if (strcmp(option, "--check") == 0) {
    if (rest != 1 || is_option(argv[2])) return usage_error(c, "%s takes one terrain", option);
    c.mode = COMMAND_CHECK;
    c.terrain = argv[2];
    return c;
  }
  if (strcmp(option, "--export") == 0) {
    if (rest != 2 || is_option(argv[2]) || is_option(argv[3]))
      return usage_error(c, "%s takes a list of kinds and one terrain", option);
    if (!read_kinds(c, argv[2])) {
      c.mode = COMMAND_USAGE_ERROR;
      return c;
    }
    c.mode = COMMAND_EXPORT;
    c.terrain = argv[3];
    return c;
  }
  for (int i = 1; i < argc; i++) {
    if (is_option(argv[i])) return usage_error(c, "unknown option %s", argv[i]);
  }
  return usage_error(c, "%s", "unknown option");
}

void print_usage(FILE *out) {
  fputs("Usage:\n"
        "  veldkit [TERRAIN.TFD]                          open the terrain in the window\n"
        "  veldkit --export KIND[,KIND...] TERRAIN.TFD    write exports into the working directory\n"
        "  veldkit --check TERRAIN.TFD                    list every problem of the terrain\n"
        "  veldkit --help                                 show this text\n"
        "  veldkit --version                              show the version\n"
        "\n"
        "Kinds: data, water, textures, embossed, height, planning (the three planning\n"
        "maps), all (every kind, in the order of the keys F5 to F10).\n"
        "--export and --check need no display.\n"
        "\n"
        "Exit status: 0 done; 1 an export failed or was refused, or the check found\n"
        "problems; 2 a usage error or a tile map that cannot be read.\n",
        out);
}

int run_command_line(const CommandLine &c) {
  switch (c.mode) {
    case COMMAND_HELP: print_usage(stdout); return COMMAND_EXIT_DONE;
    case COMMAND_VERSION: printf("%s\n", VELDKIT_VERSION); return COMMAND_EXIT_DONE;
    case COMMAND_EXPORT: return run_exports(c);
    case COMMAND_CHECK: return run_check(c);
    default:
      fprintf(stderr, "veldkit: %s\n\n", c.error);
      print_usage(stderr);
      return COMMAND_EXIT_USAGE;
  }
}
