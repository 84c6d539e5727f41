// The run's settings and what every drawing module reads, made before any
// window: the version, the settings file with its defaults and limits, and
// the display record (sizes, colours, fonts, runway symbols).
#pragma once

#include <allegro.h>

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
  AirOptions air;     // [View3D] FOV, Exaggeration, Distance (km) and Haze, within their limits
};


// Reads "Veldkit.ini" (the current configuration file) with defaults, the
// 640 x 480 floors and the 16384 ceiling.
ProgramSettings read_settings();

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
