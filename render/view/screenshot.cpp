#include "render/view/screenshot.h"

#include <cstdio>

#include "core/terrain_model.h"
#include "render/export/export_bitmap.h"

#define BLANKS_46 "                                              "
static_assert(sizeof("Saving Screenshot..." BLANKS_46) == 66 + 1, "66 characters");

int save_screenshot(BITMAP *picture, const Reporter *reporter, int format, char *final_name) {
  char name[PATH_SIZE];
  if (final_name) final_name[0] = 0;
  if (!picture) return RESULT_NO_MEMORY;
  const int png = format == EXPORT_FORMAT_PNG;
  const int found = numbered_output_name("_screenshot_", name, png ? "png" : "bmp");
  if (found != 0) return report_name_failure(reporter, found, name);
  WriteError error;
  const int saved = png ? save_new_png(name, picture, &error) : save_new_bmp(name, picture, nullptr, &error);
  if (saved != RESULT_OK) return report_write_failure(reporter, name, error);
  // Reported after saving: the text is never part of a screenshot.
  report_progress(reporter, "Saving Screenshot..." BLANKS_46);
  if (final_name) snprintf(final_name, PATH_SIZE, "%s", name);
  return RESULT_OK;
}
