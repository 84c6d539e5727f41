// Print Screen: a picture of the window to a numbered BMP or PNG.
#pragma once

#include <allegro.h>

#include "core/reporter.h"
#include "render/export/export_bitmap.h"

// Saves picture as the next "_screenshot_" file, then reports its progress
// text (after saving, so that the text is never part of a screenshot).
// 0, or RESULT_NO_FREE_NAME, RESULT_CANNOT_WRITE (both reported), or
// RESULT_NO_MEMORY without a picture.
// final_name (PATH_SIZE bytes, may be null) receives the file's name.
int save_screenshot(BITMAP *picture, const Reporter *reporter, int format = EXPORT_FORMAT_BMP,
                    char *final_name = nullptr);
