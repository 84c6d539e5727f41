// The shell's state for one run: whether the program goes on, whether a
// terrain is open, and the settings that change what it does. Owned by the
// shell; reset with one assignment. Which edits are not yet saved, the edit
// history knows; what was copied, the clipboards (edit/clipboards.h).
#pragma once

#include "render/air/air_camera.h"

enum RunState {
  RUN_SAVED = 1,     // saved, end
  RUN_END = 2,       // nothing saved or nothing to open, end
  RUN_CONTINUE = 3,  // keep going
};

enum { START_ZOOM_FIT = -1, UI_SCALE_AUTO = 0 };

struct Session {
  int run_state = RUN_CONTINUE;
  int terrain_open = 0;
  int enable_targets = 0;  // the setting Enable_Targets
  int export_format = 0;   // ExportFormat: the setting [Export] Format, or --format
  int export_format_from_command = 0;  // 1 when --format chose it
  int start_zoom = START_ZOOM_FIT;  // the setting Start_Zoom: a zoom level, or the one that fits
  int ui_scale = UI_SCALE_AUTO;     // the setting UI_Scale: 1..3, or by the window's size
  int degrees_decimal = 0;          // the setting Degrees: 1 for decimal degrees, 0 for degrees and minutes
  AirOptions air_options;           // the [View3D] settings of the view from the air
};

extern Session session;
