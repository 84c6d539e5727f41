// The view from the air: the terrain in perspective from a camera, with its
// sky, haze and target marks, drawn into a bitmap on every core; and the
// ground point a pixel of it shows.
#pragma once

#include <allegro.h>

#include "render/air/air_camera.h"

// What the view shows besides the ground's textures.
struct AirLook {
  int height_display = 0;  // the height colours instead of the textures
  int targets = 0;         // the target areas: upright marks with names, runways on the ground
  int overlay_mode = 0;    // the map's target overlay: from 1 on, each target gets a mark too
};

// Paints pixels (0, 0) .. (width - 1, height - 1) of bmp (a memory bitmap,
// at most its size) with the view of camera: the ground up to the options'
// distance (detail falling with distance, beyond the terrain's edges a
// plain ground at sea level), the sky above it. Reads the open terrain as
// it is in memory; edits show at once.
void draw_air_view(BITMAP *bmp, int width, int height, const AirCamera &camera, const AirOptions &options,
                   const AirLook &look);

// The ground point drawn at pixel (px, py) of such a view: 0 with it in
// metres east, north and above sea (exaggerated as drawn), 1 for the sky.
int air_pick(const AirCamera &camera, const AirOptions &options, int width, int height, int px, int py,
             double *east, double *north, double *height_m);

// Forgets what the view keeps between frames: for heights changed without
// the edit history (a test writing them).
void forget_air_view();

// What the last frame did, for the benchmark.
struct AirFrameCounts {
  int steps;          // depths each column looks at
  long long looks;    // depths looked at over all columns
  long long drawn;    // of those, depths that drew pixels
};
AirFrameCounts last_air_frame_counts();
