// Where the last export spent its time, for the benchmark.
#pragma once

struct ExportTiming {
  double pixel_seconds;  // tile pass, shading, heights, planning-map drawing
  double write_seconds;  // save_bmp
};

extern ExportTiming last_export_timing;

// Seconds on a monotonic clock.
double export_clock();
