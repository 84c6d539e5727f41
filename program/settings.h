// The run's settings and what every drawing module reads, made before any
// window: the version, the settings file with its defaults and limits, and
// the display record (sizes, colours, fonts, runway symbols).
#pragma once

#include <allegro.h>
#include <string>

#include "program/session.h"
#include "render/air/air_camera.h"
#include "ui/display.h"

#define VELDKIT_VERSION "Veldkit v0.84"
#define SETTINGS_FILE "Veldkit.ini"
#define FONT_DATAFILE "Veldkit1.dat"
#define SYMBOL_DATAFILE "Veldkit2.dat"

enum {
  SETTINGS_MIN_WIDTH = 640,
  SETTINGS_MIN_HEIGHT = 480,
  SETTINGS_MAX_SIZE = 16384,  // either direction; far beyond any display
};

struct ProgramSettings {
  int screen_width;
  int screen_height;
  int full_screen;
  int enable_targets;
  int export_format;  // ExportFormat of [Export] Format: bmp (also for an unknown word) or png
  int start_zoom;     // [Display] Start_Zoom: 0..8, or START_ZOOM_FIT for "fit" (also for any other word)
  int ui_scale;       // [Display] UI_Scale: 1..3, or UI_SCALE_AUTO for "auto" (also for any other word)
  int briefing_paper;   // BriefingPaper of [Export] Briefing_Page
  int briefing_pixels;  // [Export] Briefing_Pixels within its limits
  int sculpt_falloff;   // [Sculpt] Falloff: SculptFalloff, smooth for an unknown word
  int sculpt_hardness;  // [Sculpt] Hardness: percent of the brush's radius at full strength, 0..100
  AirOptions air;     // [View3D] FOV, Exaggeration, Distance (km) and Haze, within their limits
  int degrees_decimal = 0;  // [Display] Degrees: 1 for "decimal", 0 for "minutes" (also for any other word)
};


// Reads "Veldkit.ini" (the current configuration file) with defaults, the
// 640 x 480 floors and the 16384 ceiling.
ProgramSettings read_settings();

// Writes into the settings file at path the settings of now that differ
// from what the file reads as (a missing file reads as the defaults): only
// their values' text changes and a missing key or section is added, every
// other byte stays; the file is replaced as a save replaces one. The
// library's configuration is the file's afterwards. RESULT_OK with *changed
// the number of settings written (0: nothing written), or
// RESULT_CANNOT_WRITE with *why the sentence to show.
int save_settings(const char *path, const ProgramSettings &now, std::string *why, int *changed);

// Shrinks the size to what a desktop of desktop_w x desktop_h holds (a size
// of 0 or less: unknown, no limit) and to the ceiling; the floors win over
// a desktop smaller than they are.
void fit_settings_to_desktop(ProgramSettings &s, int desktop_w, int desktop_h);

// The interface's scale for a window of width x height: the setting's
// 1..3, or for UI_SCALE_AUTO 3 from 3400 x 1900, 2 from 1800 x 1000, else 1.
int ui_scale_for(int setting, int width, int height);

// The interface at scale 1..3: the fonts of that scale as the display's
// message, dialog, area and target fonts (and the library's), the strip's
// height. Scale 1 when the datafile has no fonts of that scale. Call after
// init_display.
void set_ui_scale(int scale);

// What needs no window: the display's size, colours, fonts and runway
// symbols and the placeholder colours. 0, or 1 with a
// message on stderr when a datafile cannot be had.
int init_display(int width, int height);
