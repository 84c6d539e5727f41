#include "render/screenshot.h"

#include <allegro.h>

#include "app/startup.h"
#include "app/status_bar.h"
#include "render/export_bitmap.h"
#include "terrain/terrain_model.h"

#define BLANKS_46 "                                              "
static_assert(sizeof("Saving Screenshot..." BLANKS_46) == 66 + 1, "66 characters");

int save_screenshot() {
  char name[PATH_SIZE];
  if (!back_buffer) return 1;
  if (numbered_output_name("_screenshot_", name)) return report_no_free_name();
  if (save_new_bmp(name, back_buffer, nullptr) != 0) return report_write_failure(name);
  // Drawn after saving, straight on the screen: never part of a screenshot.
  show_progress("Saving Screenshot..." BLANKS_46);
  return 0;
}
