// Sculpt strokes across a 1920 x 1080 window on the 16000 x 16000 samples of
// the full terrain, a frame per pointer position as the main loop draws it:
// the dabs the pointer's way reaches, the map view, the brush's circles and
// the strip, shown on the screen. Each stroke's end (its history step) is
// set against copying as many samples into fresh memory.
#include "bench/bench_sculpt.h"

#include <allegro.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "app/main_loop.h"
#include "app/status_bar.h"
#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "edit/sculpt_brushes.h"
#include "program/session.h"
#include "render/view/map_view.h"
#include "render/view/sculpt_outline.h"
#include "ui/display.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class Work>
double time_of(const Work &work) {
  const Clock::time_point t0 = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The floor of a stroke's end: n samples copied into fresh memory.
double time_sample_copy(long long n) {
  const uint16_t *from = &height_map.heights[0][0];
  return time_of([&] {
    uint16_t *copy = (uint16_t *)malloc((size_t)n * 2 + 2);
    if (!copy) return;
    memcpy(copy, from, (size_t)n * 2);
    volatile uint16_t keep = copy[n / 2];
    (void)keep;
    free(copy);
  });
}

struct Figures {
  double worst_frame = 0;
  std::vector<double> frames, dabs, cpu, dab_cpu;  // wall seconds of each frame and of its dabs; this thread's CPU seconds of them
};

double thread_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[std::min(v.size() - 1, (size_t)(p * v.size()))];
}

// One stroke across the window at the view's zoom level: the pointer 16
// pixels further each frame, swinging up and down.
void stroke_across(const SculptBrush &brush, Figures &f, long long *changed, double *end, double *floor) {
  const int S = 1 << (8 - view.zoom_level), w = display.screen_width, mid = display.status_y / 2;
  const MapPixel corner = map_pixel(view, w, display.status_y, 0, 0);
  auto sample = [&](int px) { return 4.0 * corner.tile_x + (px + 0.5) * 4.0 / S; };
  auto row = [&](int px) { return 4.0 * corner.tile_y + (mid + (px % 160 - 80) + 0.5) * 4.0 / S; };
  sculpt_stroke_begin(brush, sample(0), row(0), -1);
  for (int px = 16; px < w; px += 16) {
    double dabs = 0, dab_cpu = 0;
    const double cpu0 = thread_seconds();
    const double t = time_of([&] {
      dabs = time_of([&] { sculpt_stroke_to(sample(px), row(px)); });
      dab_cpu = thread_seconds() - cpu0;
      draw_map_view(display.back_buffer, view, session.enable_targets);
      draw_sculpt_outline(display.back_buffer, view, (int)sample(px), (int)row(px), brush.radius, brush.radius / 4.0);
      draw_status_bar(display.back_buffer, view.cursor_x, view.cursor_y, &view);
      blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
    });
    f.cpu.push_back(thread_seconds() - cpu0);
    f.frames.push_back(t);
    f.dabs.push_back(dabs);
    f.dab_cpu.push_back(dab_cpu);
    f.worst_frame = std::max(f.worst_frame, t);
  }
  *floor = 0;
  *end = time_of([&] { *changed = sculpt_stroke_end(); });
  *floor = time_sample_copy(*changed);
}

}  // namespace

int bench_sculpt(const std::string &full, int (*open)(const char *tfd)) {
  if (open(full.c_str()) != 0) return 1;
  reset_view();
  view.edit_mode = EDIT_HEIGHTS;
  view.left_button = LEFT_BUTTON_SCULPT;
  printf("sculpt strokes across a %d x %d window on %d x %d samples, a frame each 16 pixels of the pointer's way:\n",
         display.screen_width, display.screen_height, height_map.samples_x, height_map.samples_y);
  struct Goal {
    char what[96];
    double value, limit;
  };
  std::vector<Goal> goals;
  for (int radius : {64, 256}) {
    const double budget = radius == 64 ? 0.016 : 0.033;
    for (int kind = 0; kind < SCULPT_KINDS; kind++) {
      SculptBrush brush;
      brush.kind = kind, brush.radius = radius, brush.strength = 50;
      double worst = 0, worst_end_ratio = 0, worst_cpu = 0;
      int worst_zoom = 0;
      std::vector<double> all;
      for (int zoom = 0; zoom <= ZOOM_FARTHEST; zoom++) {
        history_clear();
        view.zoom_level = zoom;
        Figures f;
        long long changed = 0;
        double end = 0, floor = 0;
        stroke_across(brush, f, &changed, &end, &floor);
        int x, y;
        char text[HISTORY_TEXT_SIZE];
        const double undo = time_of([&] { history_undo(&x, &y, text, sizeof(text)); });
        const double ratio = floor > 0 ? end / floor : 0;
        printf("  %-7s r %3d zoom %d: %3zu frames %5.1f / %5.1f / %5.1f ms (median, 95th, worst; CPU %5.1f / %5.1f), "
               "dabs %5.1f / %5.1f ms (CPU %5.1f / %5.1f); %8lld samples, end %6.3f ms, %.2f x the copy's %.3f ms; "
               "undo %6.2f ms\n",
               sculpt_kind_name(kind), radius, zoom, f.frames.size(), 1000 * median(f.frames),
               1000 * percentile(f.frames, 0.95), 1000 * f.worst_frame, 1000 * median(f.cpu),
               1000 * percentile(f.cpu, 1), 1000 * median(f.dabs), 1000 * percentile(f.dabs, 1),
               1000 * median(f.dab_cpu), 1000 * percentile(f.dab_cpu, 1), changed, 1000 * end, ratio, 1000 * floor,
               1000 * undo);
        worst_cpu = std::max(worst_cpu, percentile(f.cpu, 1));
        fflush(stdout);
        if (f.worst_frame > worst) worst = f.worst_frame, worst_zoom = zoom;
        if (changed > 100000) worst_end_ratio = std::max(worst_end_ratio, ratio);
        all.insert(all.end(), f.frames.begin(), f.frames.end());
      }
      Goal g;
      snprintf(g.what, sizeof(g.what), "%s r %d worst frame (zoom %d), ms / %.0f", sculpt_kind_name(kind), radius,
               worst_zoom, 1000 * budget);
      g.value = worst / budget, g.limit = 1.0;
      goals.push_back(g);
      snprintf(g.what, sizeof(g.what), "%s r %d worst frame's CPU, ms / %.0f", sculpt_kind_name(kind), radius,
               1000 * budget);
      g.value = worst_cpu / budget;
      goals.push_back(g);
      snprintf(g.what, sizeof(g.what), "%s r %d stroke end / sample copy", sculpt_kind_name(kind), radius);
      g.value = worst_end_ratio, g.limit = 2.0;
      goals.push_back(g);
    }
  }
  history_clear();
  printf("\ntargets                                              ratio   limit\n");
  for (const Goal &g : goals)
    printf("  %-50s %6.2f  %5.2f   %s\n", g.what, g.value, g.limit, g.value <= g.limit ? "met" : "MISSED");
  return 0;
}
