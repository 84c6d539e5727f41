// The benchmark of the view from the air (bench_air_view.cpp).
#pragma once

#include <string>

// Runs it on the terrain of 400 textures made beside the full terrain; 0 when done.
int bench_air_view(const std::string &full);

// Three frames of the view and of its floor over the terrain tfd, for a profiler.
int bench_air_frames(const std::string &tfd);
