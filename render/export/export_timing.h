// Where an export spent its time, for the benchmark.
#pragma once

struct ExportTiming {
  double pixel_seconds;  // tile pass, shading, heights, planning-map drawing
  double write_seconds;  // save_bmp
};

// Seconds on a monotonic clock.
double export_clock();
