#include "render/export_timing.h"

#include <chrono>

ExportTiming last_export_timing;

double export_clock() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
