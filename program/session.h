// The shell's state for one run: whether the program goes on, whether a
// terrain is open, the settings that change what it does, and the
// clipboards. Owned by the shell; reset with one assignment. Which edits are
// not yet saved, the edit history knows.
#pragma once

#include <cstdint>

#include "edit/height_edits.h"
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
  int start_zoom = START_ZOOM_FIT;  // the setting Start_Zoom: a zoom level, or the one that fits
  int ui_scale = UI_SCALE_AUTO;     // the setting UI_Scale: 1..3, or by the window's size
  AirOptions air_options;           // the [View3D] settings of the view from the air
  TileStamp tile_clipboard;  // 3 x 3 empty cells until a copy
  int32_t height_clipboard[4][4] = {{-1}};  // [j][i]; empty while [0][0] is -1
  HeightStamp height_stamp;  // the selection's heights at Ctrl + C in height display
};

extern Session session;
