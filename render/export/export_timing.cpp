#include "render/export/export_timing.h"

#include <chrono>

double export_clock() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
