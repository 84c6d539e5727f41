#include "program/settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/export_format.h"
#include "core/regular_file.h"
#include "core/reporter.h"
#include "core/safe_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "edit/sculpt_brushes.h"
#include "files/config_lines.h"
#include "program/resource_files.h"

ProgramSettings read_settings() {
  ProgramSettings s;
  s.screen_width = get_config_int("Display", "Screen-Width", 768);
  s.screen_height = get_config_int("Display", "Screen-Height", 538);
  s.full_screen = get_config_int("Display", "FullScreen", 0);
  s.enable_targets = get_config_int("Display", "Enable_Targets", 1);
  const char *format = get_config_string("Export", "Format", "bmp");
  s.export_format = format && ustricmp(format, "png") == 0 ? EXPORT_FORMAT_PNG : EXPORT_FORMAT_BMP;
  // A level is one digit; "fit", a typing slip or nothing opens where the terrain fits.
  const char *zoom = get_config_string("Display", "Start_Zoom", "fit");
  s.start_zoom = zoom && zoom[0] >= '0' && zoom[0] <= '8' && zoom[1] == 0 ? zoom[0] - '0' : START_ZOOM_FIT;
  const char *scale = get_config_string("Display", "UI_Scale", "auto");
  s.ui_scale = scale && scale[0] >= '1' && scale[0] <= '3' && scale[1] == 0 ? scale[0] - '0' : UI_SCALE_AUTO;
  const char *degrees = get_config_string("Display", "Degrees", "minutes");
  s.degrees_decimal = degrees && ustricmp(degrees, "decimal") == 0;
  const BriefingSettings briefing = read_briefing_settings();
  s.briefing_paper = briefing.paper;
  s.briefing_pixels = briefing.pixels;
  const int falloff = sculpt_falloff_named(get_config_string("Sculpt", "Falloff", "smooth"));
  s.sculpt_falloff = falloff >= 0 ? falloff : SCULPT_FALLOFF_SMOOTH;
  s.sculpt_hardness = std::clamp(get_config_int("Sculpt", "Hardness", 25), 0, 100);
  AirOptions air;
  air.fov_degrees = get_config_float("View3D", "FOV", (float)air.fov_degrees);
  air.exaggeration = get_config_float("View3D", "Exaggeration", (float)air.exaggeration);
  air.distance_km = get_config_float("View3D", "Distance", (float)air.distance_km);
  air.haze = get_config_int("View3D", "Haze", air.haze);
  s.air = air_options_within_limits(air);
  fit_settings_to_desktop(s, 0, 0);
  return s;
}

// The keys whose settings differ between was and now, with now's values as
// the file writes them; switches compared as the program takes them.
static std::vector<ConfigValue> changed_values(const ProgramSettings &was, const ProgramSettings &now) {
  std::vector<ConfigValue> values;
  // The reader takes a number from the start of a value, a word whole.
  auto number = [&](bool differs, const char *section, const char *key, int value) {
    if (differs) values.push_back({section, key, std::to_string(value), true});
  };
  auto word = [&](bool differs, const char *section, const char *key, const std::string &value) {
    if (differs) values.push_back({section, key, value, false});
  };
  number(was.screen_width != now.screen_width, "Display", "Screen-Width", now.screen_width);
  number(was.screen_height != now.screen_height, "Display", "Screen-Height", now.screen_height);
  number((was.full_screen > 0) != (now.full_screen > 0), "Display", "FullScreen", now.full_screen > 0);
  number((was.enable_targets != 0) != (now.enable_targets != 0), "Display", "Enable_Targets", now.enable_targets != 0);
  word(was.ui_scale != now.ui_scale, "Display", "UI_Scale", now.ui_scale == UI_SCALE_AUTO ? "auto" : std::to_string(now.ui_scale));
  word(was.start_zoom != now.start_zoom, "Display", "Start_Zoom", now.start_zoom == START_ZOOM_FIT ? "fit" : std::to_string(now.start_zoom));
  word(was.degrees_decimal != now.degrees_decimal, "Display", "Degrees", now.degrees_decimal ? "decimal" : "minutes");
  word(was.export_format != now.export_format, "Export", "Format", now.export_format == EXPORT_FORMAT_PNG ? "png" : "bmp");
  static const char *const papers[] = {"A3", "A4", "Letter"};
  word(was.briefing_paper != now.briefing_paper, "Export", "Briefing_Page",
       papers[now.briefing_paper == BRIEFING_A4 ? 1 : now.briefing_paper == BRIEFING_LETTER ? 2 : 0]);
  number(was.briefing_pixels != now.briefing_pixels, "Export", "Briefing_Pixels", now.briefing_pixels);
  return values;
}

// Why the file as it is cannot be the start of the new one.
static std::string unreadable_reason(const char *path, int result) {
  if (result == WHOLE_FILE_TOO_LARGE) return "it is larger than 64 MB";
  if (result == WHOLE_FILE_NO_MEMORY) return "not enough memory";
  const int fd = open_regular_file(path);
  const int error = errno;
  if (fd >= 0) close(fd);
  return fd >= 0 ? "it cannot be read" : open_failure_reason(error);
}

int save_settings(const char *path, const ProgramSettings &now, std::string *why, int *changed) {
  *changed = 0;
  const std::string name = get_filename(path);
  struct stat st;
  const bool absent = stat(path, &st) != 0 && errno == ENOENT;
  long size = 0;
  int result = WHOLE_FILE_READ;
  char *text = absent ? nullptr : read_whole_file(path, &size, &result);
  if (!absent && !text) {
    *why = name + " cannot be read: " + unreadable_reason(path, result) + "; nothing written.";
    return RESULT_CANNOT_WRITE;
  }
  const std::string old(text ? text : "", (size_t)size);
  free(text);
  use_config_text(old.data(), size);
  const std::vector<ConfigValue> values = changed_values(read_settings(), now);
  if (values.empty()) return RESULT_OK;
  const std::string out = config_text_with_values(old.data(), size, values);
  // What the reader makes of the new text must be now.
  use_config_text(out.data(), (long)out.size());
  if (!changed_values(read_settings(), now).empty()) {
    use_config_text(old.data(), size);
    *why = name + " would not read back as set; nothing written.";
    return RESULT_CANNOT_WRITE;
  }
  SafeFile file;
  WriteError error = {0, 0};
  if (safe_file_open(&file, path) != 0) {
    write_failed(&error, file.error, file.creating);
  } else {
    const bool whole = pack_fwrite(out.data(), (long)out.size(), file.pack) == (long)out.size();
    if (safe_file_commit(&file, whole) == 0) {
      *changed = (int)values.size();
      return RESULT_OK;
    }
    write_failed(&error, file.error, 0);
  }
  use_config_text(old.data(), size);
  char reason[1024];
  write_failure_text(path, error, reason, sizeof(reason));
  *why = name + " cannot be written: " + (reason[0] ? reason : "the system gave no reason.");
  return RESULT_CANNOT_WRITE;
}

static int fit_size(int size, int desktop, int floor) {
  const int limit = desktop > 0 && desktop < SETTINGS_MAX_SIZE ? desktop : SETTINGS_MAX_SIZE;
  if (size > limit) size = limit;
  return size < floor ? floor : size;
}

void fit_settings_to_desktop(ProgramSettings &s, int desktop_w, int desktop_h) {
  s.screen_width = fit_size(s.screen_width, desktop_w, SETTINGS_MIN_WIDTH);
  s.screen_height = fit_size(s.screen_height, desktop_h, SETTINGS_MIN_HEIGHT);
}

static const unsigned char startup_palette[8][3] = {
    {39, 39, 37}, {37, 36, 30}, {28, 28, 26}, {45, 40, 31},
    {51, 43, 30}, {43, 35, 23}, {20, 18, 17}, {26, 25, 23},
};

// Both datafiles stay loaded for the whole run.
static DATAFILE *font_datafile;
static DATAFILE *symbol_datafile;

// The objects a datafile must have, counted up to its end marker.
static int datafile_object_count(const DATAFILE *data) {
  int n = 0;
  while (data[n].type != DAT_END) n++;
  return n;
}

// The library's loader opens by name and would wait for good on a pipe.
// The file is looked for wherever the program's resources may be; *path
// receives where (the bare name when nowhere).
static DATAFILE *load_regular_datafile(const char *name, char *path) {
  find_resource(name, path);
  return regular_file_readable(path) ? load_datafile(path) : nullptr;
}

// A datafile that did not load: the system's reason when it does not open,
// else it is damaged.
static void datafile_failure(const char *what, const char *path) {
  const int fd = open_regular_file(path);
  const int error = errno;
  if (fd >= 0) {
    close(fd);
    fprintf(stderr, "Veldkit: cannot load %s from %s\n", what, QuotedName(path).text);
    return;
  }
  fprintf(stderr, "Veldkit: cannot load %s from %s: %s\n", what, QuotedName(path).text, open_failure_reason(error));
}

int init_display(int width, int height) {
  for (int i = 0; i < 8; i++) {
    RGB rgb = {startup_palette[i][0], startup_palette[i][1], startup_palette[i][2], 0};
    set_color(i + 1, &rgb);
  }

  make_display_colours();

  display.screen_width = width;
  display.screen_height = height;
  display.status_y = display.screen_height - 26;

  init_placeholder_colours();

  char path[RESOURCE_PATH_SIZE];
  font_datafile = load_regular_datafile(FONT_DATAFILE, path);
  if (!font_datafile || datafile_object_count(font_datafile) < 6) {
    datafile_failure("the fonts", path);
    return 1;
  }
  for (int i = 2; i <= 5; i++) {
    if (font_datafile[i].type != DAT_FONT) {
      fprintf(stderr, "Veldkit: %s object %d is not a font\n", QuotedName(path).text, i);
      return 1;
    }
  }
  display.label_font = (FONT *)font_datafile[2].dat;
  display.map_font = (FONT *)font_datafile[3].dat;
  set_ui_scale(1);

  set_color_conversion(COLORCONV_EXPAND_256 | COLORCONV_KEEP_TRANS);
  symbol_datafile = load_regular_datafile(SYMBOL_DATAFILE, path);
  set_color_conversion(COLORCONV_TOTAL);
  if (!symbol_datafile || datafile_object_count(symbol_datafile) < 6) {
    datafile_failure("the runway symbols", path);
    return 1;
  }
  for (int i = 0; i < 6; i++) {
    if (symbol_datafile[i].type != DAT_BITMAP) {
      fprintf(stderr, "Veldkit: %s object %d is not a bitmap\n", QuotedName(path).text, i);
      return 1;
    }
    display.runway_symbols[i] = (BITMAP *)symbol_datafile[i].dat;
  }

  return 0;
}

int ui_scale_for(int setting, int width, int height) {
  if (setting >= 1 && setting <= 3) return setting;
  if (width >= 3400 && height >= 1900) return 3;
  return width >= 1800 && height >= 1000 ? 2 : 1;
}

void set_ui_scale(int scale) {
  if (!font_datafile) return;
  // The four fonts of scale k are objects 4k - 2 .. 4k + 1.
  const int first = 4 * scale - 2;
  if (scale < 1 || scale > 3 || datafile_object_count(font_datafile) < first + 4) scale = 1;
  for (int i = 4 * scale - 2; i < 4 * scale + 2; i++)
    if (font_datafile[i].type != DAT_FONT) scale = 1;
  const DATAFILE *fonts = font_datafile + 4 * scale - 2;
  display.ui_scale = scale;
  display.area_font = (FONT *)fonts[0].dat;
  display.target_font = (FONT *)fonts[1].dat;
  display.message_font = (FONT *)fonts[2].dat;
  display.dialog_font = (FONT *)fonts[3].dat;
  display.status_y = display.screen_height - 26 * scale;
  font = display.dialog_font;
}
