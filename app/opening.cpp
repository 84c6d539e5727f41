#include "app/opening.h"

#include <allegro.h>

#include "app/session.h"
#include "app/window_reporter.h"
#include "core/terrain_model.h"
#include "edit/edit_history.h"

enum { OPEN_DIALOG_SIZE = 400 };

void open_terrain(int select, OpenReport *report) {
  // A second attempt follows a failed one: nothing of that terrain stays.
  static int open_attempts;
  if (open_attempts++ > 0) clear_terrain_model();

  OpenReport local;
  if (!report) report = &local;
  *report = OpenReport{};

  if (select == 1 &&
      !file_select_ex("Select a .TFD file", terrain_paths.tfd_path, "TFD",
                      sizeof(terrain_paths.tfd_path), OPEN_DIALOG_SIZE, OPEN_DIALOG_SIZE)) {
    session.run_state = RUN_END;
    return;
  }
  if (session.run_state != RUN_CONTINUE) return;
  if (open_terrain_files(session.enable_targets != 0, window_reporter(), report) != OPEN_DONE) {
    session.run_state = RUN_END;
    return;
  }
  session.terrain_open = 1;
  // The terrain as read is the saved state; no step of another may be undone.
  history_clear();
}
