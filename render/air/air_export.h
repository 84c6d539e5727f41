// The view from the air as a picture file, for a camera given in numbers:
// what --export view writes without a window.
#pragma once

#include "core/reporter.h"
#include "render/air/air_view.h"

enum { AIR_EXPORT_MIN_SIZE = 16, AIR_EXPORT_MAX_SIZE = 16384 };

// Draws the view of camera at width x height and writes it as the next free
// "<terrain>_View_NNN.png" in the working directory. 0 with its name in
// final_name (PATH_SIZE bytes), or RESULT_NO_MEMORY, RESULT_CANNOT_WRITE,
// RESULT_NO_FREE_NAME, reported.
int export_air_view(const AirCamera &camera, const AirOptions &options, const AirLook &look, int width, int height,
                    const Reporter *reporter, char *final_name);
