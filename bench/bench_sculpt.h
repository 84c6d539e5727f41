// The sculpt brushes' frames on the full terrain.
#pragma once

#include <string>

// A stroke of each brush across the window at every zoom level, at radius
// 64 and 256: each frame's dabs and redraw as the main loop makes them,
// and the stroke's end against copying the samples it changed. open opens
// the terrain into the model; 0 when it ran.
int bench_sculpt(const std::string &full, int (*open)(const char *tfd));
