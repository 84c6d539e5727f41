#include "render/screenshot.h"

#include "render/export_bitmap.h"
#include "terrain/terrain_model.h"

#define BLANKS_46 "                                              "
static_assert(sizeof("Saving Screenshot..." BLANKS_46) == 66 + 1, "66 characters");

int save_screenshot(BITMAP *picture, const Reporter *reporter) {
  char name[PATH_SIZE];
  if (!picture || numbered_output_name("_screenshot_", name)) return RESULT_NO_FREE_NAME;
  if (save_bmp(name, picture, nullptr) != 0) return report_write_failure(reporter, name);
  report_progress(reporter, "Saving Screenshot..." BLANKS_46);
  return RESULT_OK;
}
