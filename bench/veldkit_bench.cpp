// Veldkit benchmark: the whole opening, loads, saves, redraws and exports on
// a full-size (4000 x 4000 tiles) and a mid-size (1000 x 1000) terrain.
// Each figure is set against its floor measured in the same run: a minimal
// reader of both files in a fresh process for the opening, dd of the same
// bytes for saves and exports, gdaldem hillshade of the same height grid
// for the embossed export. Prints medians.
//
//   veldkit_bench [DATA_DIR]        the full run (terrains cached in DATA_DIR)
//   veldkit_bench --open TFD        one opening in a fresh process (internal)
//   veldkit_bench --export K TFD    opens TFD and times export K alone (for profiles)
//   veldkit_bench --bmp-writer DIR  only the BMP writers, into DIR
//   veldkit_bench --targets [DIR]   only the largest target file
//   veldkit_bench --command-line [DIR]  every export of the full terrain in
//                                   the window against the command line
//   veldkit_bench --exports-without-display TFD DIR   (internal)
//   veldkit_bench --opening [DIR]   only the opening of the full terrain
//   veldkit_bench --heights [DIR]   only the height commands on the full terrain
//   veldkit_bench --navigation [DIR]  only the overview and drags on the full terrain
//   veldkit_bench --diff [DIR]      only veldkit --diff of two full terrains
//   veldkit_bench --palette [DIR]   only the texture palette of 511 textures and the brush
//   veldkit_bench --streamed-exports [DIR]  only F7, F9, data and water against dd right before each
//   veldkit_bench --texture-sets [DIR]  only the opening of terrains of 400 BMP and PNG textures
//   veldkit_bench --new-terrain [DIR]  only veldkit --new of 4000 x 4000 against dd
//   veldkit_bench --lands [DIR]     only the land grid, a land fill and its undo on the full terrain
//   veldkit_bench --lands-stroke [DIR]  only land mode's frames of a 64-tile land stroke across the window
//   veldkit_bench --sculpt [DIR]    only the sculpt brushes' strokes across the window
//   veldkit_bench --air-view [DIR]  only the view from the air on the full terrain with 400 textures
//   veldkit_bench --air-frames TFD  three frames of the view from the air and its floor (for profiles)
//   veldkit_bench --make-lands [DIR]  only veldkit --make-lands of 4 lands x 2 variants at 256 and
//                                   1024 pixels against libpng writing as many pictures
//   veldkit_bench --degrees         only the strip's latitude and longitude under a pointer sweeping 1920 x 1080
//   veldkit_bench --land-preview [DIR]  only the lands dialog's preview after a seed or picture change
//   veldkit_bench --briefing [DIR]  only veldkit --export briefing of the full terrain with 511 areas
//                                   against gdal_translate of F7's picture to a 4096-pixel PNG
#include <allegro.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/main_loop.h"
#include "app/mouse_gestures.h"
#include "app/opening.h"
#include "app/startup.h"
#include "app/status_bar.h"
#include "app/texture_palette_keys.h"
#include "bench/bench_sculpt.h"
#include "bench/bench_land_set.h"
#include "bench/bench_air_view.h"
#include "bench/bench_geo.h"
#include "bench/bench_terrain.h"
#include "core/relief_shading.h"
#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "edit/clipboards.h"
#include "edit/edit_history.h"
#include "edit/height_edits.h"
#include "edit/land_edits.h"
#include "edit/land_grid.h"
#include "edit/target_edits.h"
#include "document/open_place.h"
#include "document/recovery_journal.h"
#include "files/geo_file.h"
#include "files/height_map_file.h"
#include "files/land_file.h"
#include "files/target_areas.h"
#include "files/target_file_writer.h"
#include "files/tile_map_file.h"
#include "commands/batch_export.h"
#include "app/command_line.h"
#include "render/export/export_bitmap.h"
#include "render/export/export_rows.h"
#include "render/export/export_stream.h"
#include "render/export/export_timing.h"
#include "render/view/height_legend.h"
#include "render/view/map_layers.h"
#include "render/view/map_view.h"
#include "render/view/overview.h"
#include "render/view/texture_palette.h"
#include "ui/display.h"

using Clock = std::chrono::steady_clock;

static const int RUNS = 5;

static double seconds_since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

static double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

static double time_command(const std::string &cmd) {
  Clock::time_point t0 = Clock::now();
  if (system(cmd.c_str()) != 0) fprintf(stderr, "failed: %s\n", cmd.c_str());
  return seconds_since(t0);
}

static long status_kb(const char *key) {
  FILE *f = fopen("/proc/self/status", "r");
  char line[256];
  long kb = -1;
  while (f && fgets(line, sizeof(line), f))
    if (strncmp(line, key, strlen(key)) == 0) kb = atol(line + strlen(key) + 1);
  if (f) fclose(f);
  return kb;
}

static void reset_peak_memory() {
  FILE *f = fopen("/proc/self/clear_refs", "w");
  if (f) {
    fputs("5", f);
    fclose(f);
  }
}

static int start_graphics(int w, int h) {
  if (allegro_init() != 0) return 1;
  install_timer();
  install_keyboard();
  install_mouse();
  set_uformat(U_ASCII);
  set_color_depth(32);
  if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, w, h, 0, 0) != 0) {
    fprintf(stderr, "cannot open a %d x %d window: %s\n", w, h, allegro_error);
    return 1;
  }
  return init_program();
}

// Bytes of the tables an open terrain fills, plus its texture levels.
static double filled_table_bytes() {
  double bytes = (double)tile_map.tiles_x * sizeof(tile_map.tiles[0]) +
                 (double)height_map.samples_x * sizeof(height_map.heights[0]) +
                 sizeof(height_palette) + sizeof(texture_table) +
                 (double)(targets.area_count + 1) * sizeof(TargetArea);
  for (int t = 1; t <= texture_table.texture_count; t++)
    for (BITMAP *level : texture_table.textures[t].levels)
      if (level) bytes += 4.0 * level->w * level->h;
  return bytes;
}

// Progress texts in the status strip as the window shows them; warnings
// and pauses dropped (the pause after the target file only lets a person
// read the message).
static void strip_progress(void *, const char *text) { show_progress("%s", text); }
static const Reporter strip_reporter = {strip_progress, nullptr, nullptr, nullptr};

// Opens tfd into a cleared model, as the window does but for the pause.
static int open_for_bench(const char *tfd) {
  clear_terrain_model();
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", tfd);
  session.enable_targets = 1;
  OpenReport report;
  if (open_terrain_files(1, &strip_reporter, &report) != OPEN_DONE) return 1;
  session.terrain_open = 1;
  return 0;
}

// One opening in this fresh process: time to the first drawn frame, memory.
static int open_once(const char *tfd) {
  Clock::time_point t0 = Clock::now();
  if (start_graphics(768, 538) != 0) return 1;
  Clock::time_point t_open = Clock::now();
  const int failed = open_for_bench(tfd);
  double open_s = seconds_since(t_open);
  if (failed) {
    fprintf(stderr, "the terrain did not open\n");
    return 1;
  }
  reset_view();
  draw_map_view(display.back_buffer, view, session.enable_targets);
  draw_status_bar(display.back_buffer, view.cursor_x, view.cursor_y);
  blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
  double frame_s = seconds_since(t0);
  printf("open %.4f frame %.4f hwm_kb %ld rss_kb %ld table_bytes %.0f\n", open_s, frame_s,
         status_kb("VmHWM:"), status_kb("VmRSS:"), filled_table_bytes());
  return 0;
}

struct OpenResult {
  double open_s, frame_s, table_bytes;
  long hwm_kb, rss_kb;
  double process_s;  // the child process from start to exit
};

static OpenResult open_in_child(const char *self, const std::string &tfd) {
  OpenResult r = {0, 0, 0, 0, 0, 0};
  std::string cmd = std::string(self) + " --open '" + tfd + "'";
  Clock::time_point t0 = Clock::now();
  FILE *p = popen(cmd.c_str(), "r");
  if (!p || fscanf(p, "open %lf frame %lf hwm_kb %ld rss_kb %ld table_bytes %lf", &r.open_s,
                   &r.frame_s, &r.hwm_kb, &r.rss_kb, &r.table_bytes) != 5)
    fprintf(stderr, "the opening run failed\n");
  if (p) pclose(p);
  r.process_s = seconds_since(t0);
  return r;
}

static std::string floor_reader;  // beside this program

static std::string hfd_of(const std::string &tfd) { return tfd.substr(0, tfd.size() - 4) + ".hfd"; }

static long long file_bytes(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? (long long)st.st_size : 0;
}

// dd writing as many zero bytes to a new file: the floor of any file write.
static double time_dd(const std::string &path, long long bytes) {
  remove(path.c_str());
  const double t = time_command("dd if=/dev/zero of='" + path + "' bs=4M count=" +
                                std::to_string(bytes) + " iflag=count_bytes status=none");
  remove(path.c_str());
  return t;
}

// One line of the closing summary.
struct BenchTarget {
  std::string what;
  double ratio, limit;
  std::string detail;
};
static std::vector<BenchTarget> bench_goals;

static void note_target(const std::string &what, double ratio, double limit, const std::string &detail) {
  bench_goals.push_back({what, ratio, limit, detail});
}

static std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
static std::string format(const char *fmt, ...) {
  char text[512];
  va_list args;
  va_start(args, fmt);
  vsnprintf(text, sizeof(text), fmt, args);
  va_end(args);
  return text;
}

// Opening in fresh processes, whole process against the floor reader of
// both files. This kind of virtual machine hands free memory back to its
// host after a few seconds, and memory touched again after that costs far
// more: so both are timed warm (each run right after one of its own, the
// first run not counted) and cold (after an idle pause).
enum { COLD_PAUSE_S = 6, COLD_RUNS = 3 };

static OpenResult bench_opening(const char *self, const std::string &tfd) {
  const std::string floor_command = "'" + floor_reader + "' '" + tfd + "' '" + hfd_of(tfd) + "'";
  std::vector<double> ours, floor, ours_cold, floor_cold;
  OpenResult last = {0, 0, 0, 0, 0, 0};
  for (int i = 0; i <= RUNS; i++) {
    const double t = time_command(floor_command);
    if (i > 0) floor.push_back(t);
  }
  for (int i = 0; i <= RUNS; i++) {
    last = open_in_child(self, tfd);
    if (i > 0) ours.push_back(last.process_s);
  }
  for (int i = 0; i < COLD_RUNS; i++) {
    sleep(COLD_PAUSE_S);
    floor_cold.push_back(time_command(floor_command));
    sleep(COLD_PAUSE_S);
    ours_cold.push_back(open_in_child(self, tfd).process_s);
  }
  const double ratio = median(ours) / median(floor), cold = median(ours_cold) / median(floor_cold);
  printf("open 4000 x 4000, whole process to the first frame, warm: %.2f s; minimal reader of both files: %.2f s;"
         " ratio %.2f (target <= 1.0)\n",
         median(ours), median(floor), ratio);
  printf("  cold (after %d s idle): %.2f s against %.2f s, ratio %.2f\n", COLD_PAUSE_S, median(ours_cold),
         median(floor_cold), cold);
  printf("  in the process: opening %.2f s, peak resident %ld MB for %.0f MB of filled tables and texture levels\n",
         last.open_s, last.hwm_kb / 1024, last.table_bytes / 1048576);
  note_target("opening, whole process / minimal reader, warm", ratio, 1.0,
              format("%.2f s / %.2f s", median(ours), median(floor)));
  note_target("opening, whole process / minimal reader, cold", cold, 1.0,
              format("%.2f s / %.2f s", median(ours_cold), median(floor_cold)));
  return last;
}

static void bench_files(const std::string &tfd, const std::string &label) {
  std::string hfd = hfd_of(tfd);
  std::string out_dir = tfd.substr(0, tfd.rfind('/'));
  time_command("cat '" + tfd + "' '" + hfd + "' > /dev/null");  // warm the cache

  std::vector<double> cat_t, load_t, cat_h, load_h, cp_t, save_t, cp_h, save_h;
  for (int i = 0; i < RUNS; i++) {
    cat_t.push_back(time_command("cat '" + tfd + "' > /dev/null"));
    Clock::time_point t0 = Clock::now();
    load_tile_map(tfd.c_str(), nullptr);
    load_t.push_back(seconds_since(t0));
    cat_h.push_back(time_command("cat '" + hfd + "' > /dev/null"));
    t0 = Clock::now();
    load_height_map(hfd.c_str(), nullptr);
    load_h.push_back(seconds_since(t0));
  }
  const std::string copy = out_dir + "/bench_copy";
  const long long tfd_bytes = file_bytes(tfd), hfd_bytes = file_bytes(hfd);
  for (int i = 0; i < 3; i++) {
    cp_t.push_back(time_dd(copy + ".dd", tfd_bytes));
    remove((copy + ".TFD").c_str());
    Clock::time_point t0 = Clock::now();
    save_tile_map((copy + ".TFD").c_str());
    save_t.push_back(seconds_since(t0));
    cp_h.push_back(time_dd(copy + ".dd", hfd_bytes));
    remove((copy + ".hfd").c_str());
    t0 = Clock::now();
    save_height_map((copy + ".hfd").c_str());
    save_h.push_back(seconds_since(t0));
  }
  remove((copy + ".TFD").c_str());
  remove((copy + ".hfd").c_str());
  printf("%-6s load TFD %8.1f ms   cat %8.1f ms   ratio %5.2f  (target <= 2)\n", label.c_str(),
         1000 * median(load_t), 1000 * median(cat_t), median(load_t) / median(cat_t));
  printf("%-6s load HFD %8.1f ms   cat %8.1f ms   ratio %5.2f  (target <= 2)\n", label.c_str(),
         1000 * median(load_h), 1000 * median(cat_h), median(load_h) / median(cat_h));
  printf("%-6s save TFD %8.1f ms   dd  %8.1f ms   ratio %5.2f  (target <= 2)\n", label.c_str(),
         1000 * median(save_t), 1000 * median(cp_t), median(save_t) / median(cp_t));
  printf("%-6s save HFD %8.1f ms   dd  %8.1f ms   ratio %5.2f  (target <= 2)\n", label.c_str(),
         1000 * median(save_h), 1000 * median(cp_h), median(save_h) / median(cp_h));
  if (label == "4000") {
    note_target("save of the full tile map / dd", median(save_t) / median(cp_t), 2.0,
                format("%.0f ms / %.0f ms", 1000 * median(save_t), 1000 * median(cp_t)));
    note_target("save of the full height map / dd", median(save_h) / median(cp_h), 2.0,
                format("%.0f ms / %.0f ms", 1000 * median(save_h), 1000 * median(cp_h)));
  }
  fflush(stdout);
}

// The floor of any loader: the file read whole into fresh memory.
static double read_whole(const std::string &path) {
  Clock::time_point t0 = Clock::now();
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return 0;
  fseek(f, 0, SEEK_END);
  const long size = ftell(f);
  fseek(f, 0, SEEK_SET);
  char *bytes = (char *)malloc((size_t)size);
  if (bytes && fread(bytes, 1, (size_t)size, f) != (size_t)size) fprintf(stderr, "short read\n");
  fclose(f);
  free(bytes);
  return seconds_since(t0);
}

static void bench_targets(const std::string &path) {
  std::vector<double> load, floor;
  int areas = 0, target_count = 0;
  for (int i = 0; i < RUNS; i++) {
    floor.push_back(read_whole(path));
    targets.area_count = targets.target_total = 0;
    Clock::time_point t0 = Clock::now();
    // No reporter: no texts and no pause.
    load_target_areas(path.c_str(), nullptr);
    load.push_back(seconds_since(t0));
    areas = targets.area_count;
    target_count = targets.target_total;
  }
  struct stat st;
  const double mb = stat(path.c_str(), &st) == 0 ? st.st_size / 1048576.0 : 0;
  printf("targets %d areas, %d targets (%.1f MB): load %.1f ms (without the 1 s pause), "
         "read whole %.1f ms (target < 1 s)\n\n",
         areas, target_count, mb, 1000 * median(load), 1000 * median(floor));
  targets.area_count = targets.target_total = 0;
  fflush(stdout);
}

static void bench_redraws() {
  printf("redraw at %d x %d, targets labelled (ms)      texture median / worst    height median / worst\n",
         display.screen_width, display.screen_height);
  view.overlay_mode = 2;  // the targets' types beside them at zoom levels 0 and 1
  for (int z = 0; z <= 8; z++) {
    double med[2], worst[2];
    for (int mode = EDIT_TILES; mode <= EDIT_HEIGHTS; mode++) {
      view.zoom_level = z;
      view.edit_mode = mode;
      std::vector<double> t;
      for (int i = 0; i < 21; i++) {
        // Move a little each time so every frame draws different tiles.
        int cx = tile_map.tiles_x / 2 + (i % 3), cy = tile_map.tiles_y / 2 - 1 + (i % 2);
        Clock::time_point t0 = Clock::now();
        ViewState v = view;
        v.cursor_x = cx;
        v.cursor_y = cy;
        draw_map_view(display.back_buffer, v, session.enable_targets);
        // As the window draws it: the legend over height display, the strip.
        if (mode == EDIT_HEIGHTS) draw_height_legend(display.back_buffer, display.screen_width, display.status_y);
        draw_status_bar(display.back_buffer, cx, cy, &v);
        t.push_back(seconds_since(t0));
      }
      med[mode - 1] = 1000 * median(t);
      worst[mode - 1] = 1000 * *std::max_element(t.begin(), t.end());
    }
    printf("  zoom %d                     %7.2f / %7.2f          %7.2f / %7.2f\n", z, med[0],
           worst[0], med[1], worst[1]);
  }
  view.zoom_level = 8;
  view.edit_mode = EDIT_TILES;
  view.overlay_mode = 0;
  fflush(stdout);
}

// --redraw: only the redraws of the full terrain, at every zoom level.
static int bench_redraw_mode(const std::string &full) {
  if (open_for_bench(full.c_str()) != 0) return 1;
  bench_redraws();
  return 0;
}

static long long bmp_bytes(int kind) {
  const long long tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  switch (kind) {
    case 1: return 54 + ((3 * tx + 3) & ~3LL) * ty;
    case 2: return 54 + 1024 + ((tx + 3) & ~3LL) * ty;
    case 8: return 54 + 512LL * 512 * 3;
    case 9: return 54 + 1024LL * 1024 * 3;
    case 10: return 54 + 2048LL * 2048 * 3;
    default: return 54 + 12 * tx * 4 * ty;
  }
}

// The heights as a grid gdaldem reads, shaded by it: the embossed export's yardstick.
static double time_gdaldem(const std::string &grid, const std::string &work_dir) {
  const std::string out = work_dir + "/gdaldem.tif";
  std::vector<double> t;
  for (int i = 0; i < 3; i++) {
    remove(out.c_str());
    t.push_back(time_command("gdaldem hillshade -q '" + grid + "' '" + out + "'"));
  }
  remove(out.c_str());
  return median(t);
}

static void bench_exports(const std::string &work_dir, const std::string &grid) {
  char old_cwd[4096];
  if (!getcwd(old_cwd, sizeof(old_cwd))) old_cwd[0] = 0;
  mkdir(work_dir.c_str(), 0755);
  if (chdir(work_dir.c_str()) != 0) return;
  printf("export (key to complete file)   ms      dd of the same bytes ms   ratio   peak MB over the open terrain\n");
  const int kinds[] = {1, 2, 5, 6, 7, 8, 9, 10};
  double worst_peak = 0, embossed = 0, planning = 0;
  for (int kind : kinds) {
    std::vector<double> ours, floor;
    double peak = 0;
    int failed = 0;
    for (int i = 0; i < 3; i++) {
      floor.push_back(time_dd(work_dir + "/dd.bin", bmp_bytes(kind)));
      reset_peak_memory();
      const long before = status_kb("VmRSS:");
      Clock::time_point t0 = Clock::now();
      failed |= export_bitmap(kind, &strip_reporter) != RESULT_OK;
      ours.push_back(seconds_since(t0));
      const double grown = (status_kb("VmHWM:") - before) / 1024.0;
      if (grown > peak) peak = grown;
      system(("rm -f '" + work_dir + "'/*.bmp").c_str());
    }
    const double ratio = median(ours) / median(floor);
    printf("  %2d                     %9.1f      %9.1f             %6.2f   %6.1f   %s\n", kind,
           1000 * median(ours), 1000 * median(floor), ratio, peak, failed ? "FAILED" : "written");
    if (kind == 5 || kind == 6 || kind == 7)
      note_target(format("F%d (kind %d) key to file / dd", kind + 2, kind), ratio, 2.0,
                  format("%.0f ms / %.0f ms", 1000 * median(ours), 1000 * median(floor)));
    if (kind == 6) embossed = median(ours);
    if (kind >= 8) planning += median(ours);
    if (peak > worst_peak) worst_peak = peak;
    fflush(stdout);
  }
  printf("  F10 (kinds 8, 9, 10 in a row): %.1f ms\n", 1000 * planning);
  note_target("peak memory of any export over the open terrain, MB", worst_peak / 64, 1.0,
              format("%.1f MB (target 64 MB)", worst_peak));
  if (system("command -v gdaldem > /dev/null") == 0) {
    const double gdal = time_gdaldem(grid, work_dir);
    printf("  gdaldem hillshade of the same 16000 x 16000 grid: %.1f ms; F8 / gdaldem %.2f (target <= 1.0)\n",
           1000 * gdal, embossed / gdal);
    note_target("F8 / gdaldem hillshade", embossed / gdal, 1.0,
                format("%.0f ms / %.0f ms", 1000 * embossed, 1000 * gdal));
  } else {
    printf("  gdaldem is not installed: no comparison (scripts/bench.sh installs gdal-bin)\n");
  }
  if (old_cwd[0] && chdir(old_cwd) != 0) perror("chdir");
}

// User and system time of this process and its threads so far.
static double cpu_seconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Exports of the terrain in this process, in the working directory, for a
// profiler to watch.
static int export_once(int kind, const char *tfd) {
  if (start_graphics(768, 538) != 0) return 1;
  if (open_for_bench(tfd) != 0) return 1;
  int failed = 0;
  for (int i = 0; i < 3; i++) {
    const double cpu0 = cpu_seconds();
    Clock::time_point t0 = Clock::now();
    failed |= export_bitmap(kind, &strip_reporter) != RESULT_OK;
    printf("export %d: %.1f ms, %.2f s of processor time%s\n", kind, 1000 * seconds_since(t0),
           cpu_seconds() - cpu0, failed ? " FAILED" : "");
    system("rm -f *.bmp");
  }
  return failed;
}

// The library's BMP saver against the one screenshots use (a new file,
// created without following links), on a 4000 x 4000 picture.
static void bench_bmp_writer(const std::string &work_dir) {
  mkdir(work_dir.c_str(), 0755);
  BITMAP *picture = create_bitmap(4000, 4000);
  if (!picture) return;
  for (int y = 0; y < picture->h; y++)
    for (int x = 0; x < picture->w; x++)
      putpixel(picture, x, y, makecol(x & 255, y & 255, (x ^ y) & 255));
  const std::string library = work_dir + "/library.bmp", ours = work_dir + "/new_file.bmp";
  std::vector<double> library_t, ours_t;
  for (int i = 0; i < 7; i++) {
    remove(library.c_str());
    remove(ours.c_str());
    Clock::time_point t0 = Clock::now();
    save_bmp(library.c_str(), picture, nullptr);
    library_t.push_back(seconds_since(t0));
    t0 = Clock::now();
    save_new_bmp(ours.c_str(), picture, nullptr);
    ours_t.push_back(seconds_since(t0));
  }
  printf("BMP of 4000 x 4000: library saver %.0f ms, new-file saver %.0f ms, ratio %.2f\n",
         1000 * median(library_t), 1000 * median(ours_t), median(ours_t) / median(library_t));
  remove(library.c_str());
  remove(ours.c_str());
  destroy_bitmap(picture);
  fflush(stdout);
}

// Every kind, as --export all writes them, in seconds; the terrain is open.
static double time_all_exports(const std::string &work_dir) {
  mkdir(work_dir.c_str(), 0755);
  char old_cwd[4096];
  if (!getcwd(old_cwd, sizeof(old_cwd)) || chdir(work_dir.c_str()) != 0) return -1;
  system("rm -f ./*.bmp");
  int kinds[8];
  const int n = export_kinds_of("all", kinds);
  Clock::time_point t0 = Clock::now();
  const int failed = export_kinds(kinds, n);
  const double seconds = seconds_since(t0);
  system("rm -f ./*.bmp");
  if (chdir(old_cwd) != 0) perror("chdir");
  return failed ? -1 : seconds;
}

// The command line's exports in this fresh process, without a display.
static int exports_without_display(const char *tfd, const std::string &work_dir) {
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
  set_uformat(U_ASCII);
  set_color_depth(32);
  if (init_display(768, 538) != 0) return 1;
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", tfd);
  OpenReport report;
  if (open_terrain_files(1, nullptr, &report) != OPEN_DONE) return 1;
  printf("exports %.4f\n", time_all_exports(work_dir));
  return 0;
}

// The program beside the run directory's resources: build/run/veldkit.
static std::string veldkit_program() {
  char program[4096];
  const ssize_t got = readlink("/proc/self/exe", program, sizeof(program) - 1);
  program[got > 0 ? got : 0] = 0;
  return std::string(program).substr(0, std::string(program).rfind("/bench/")) + "/run/veldkit";
}

// veldkit --new of a full terrain, the whole process, against dd writing
// both files' bytes into the same folder; each run in turn, so that both
// meet the same state of the system's write-back.
static void bench_new_terrain(const std::string &data_dir) {
  const std::string dir = data_dir + "/new", tfd = dir + "/New.TFD", hfd = dir + "/New.hfd";
  mkdir(dir.c_str(), 0755);
  const long long tfd_bytes = 16 + 12LL * 4000 * 4000, hfd_bytes = 16 + 2LL * 16000 * 16000;
  const auto dd = [](const std::string &path, long long bytes) {
    return "dd if=/dev/zero of='" + path + "' bs=4M count=" + std::to_string(bytes) + " iflag=count_bytes status=none";
  };
  std::vector<double> ours, floor;
  for (int i = 0; i < RUNS; i++) {
    remove(tfd.c_str());
    remove(hfd.c_str());
    sync();
    ours.push_back(time_command("'" + veldkit_program() + "' --new '" + tfd + "' 4000x4000 > /dev/null"));
    remove(tfd.c_str());
    remove(hfd.c_str());
    sync();
    floor.push_back(time_command(dd(tfd, tfd_bytes) + " && " + dd(hfd, hfd_bytes)));
  }
  remove(tfd.c_str());
  remove(hfd.c_str());
  printf("veldkit --new of 4000 x 4000 (%.0f MB): %.2f s, dd of the same bytes %.2f s\n",
         (tfd_bytes + hfd_bytes) / 1e6, median(ours), median(floor));
  fflush(stdout);
  note_target("--new 4000 x 4000, whole process / dd", median(ours) / median(floor), 1.2,
              format("%.2f s against %.2f s", median(ours), median(floor)));
}

// The same exports in the window's process and in one without a display,
// and the whole command (opening included) as a user runs it.
static void bench_command_line(const char *self, const std::string &data_dir) {
  const std::string full = make_bench_terrain(data_dir + "/full", "Full", 4000);
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", full.c_str());
  session.enable_targets = 1;
  open_terrain(0);
  std::vector<double> window, headless, command;
  for (int i = 0; i < 3; i++) {
    window.push_back(time_all_exports(data_dir + "/exports"));
    const std::string cmd = std::string(self) + " --exports-without-display '" + full + "' '" +
                            data_dir + "/exports'";
    FILE *p = popen(cmd.c_str(), "r");
    double seconds = -1;
    if (!p || fscanf(p, "exports %lf", &seconds) != 1) fprintf(stderr, "the run without a display failed\n");
    if (p) pclose(p);
    headless.push_back(seconds);
  }
  const std::string veldkit = veldkit_program();
  for (int i = 0; i < 3; i++) {
    command.push_back(time_command("cd '" + data_dir + "/exports' && env -u DISPLAY '" + veldkit +
                                   "' --export all '" + full + "' 2>/dev/null"));
    system(("rm -f '" + data_dir + "/exports'/*.bmp").c_str());
  }
  printf("every export of 4000 x 4000 (all eight files): window %.2f s, without a display %.2f s "
         "(ratio %.2f, target <= 1)\n",
         median(window), median(headless), median(headless) / median(window));
  printf("veldkit --export all, the whole command with the opening: %.2f s\n", median(command));
  fflush(stdout);
}

// The full terrain's tile map and height map copied to <dir>/Changed.*,
// then changed in 300 tiles (texture, rotation, tag or a high byte) and
// in one sample of 40 other tiles; written once.
enum { BENCH_CHANGED_TILES = 300, BENCH_CHANGED_HEIGHT_TILES = 40 };

static bool copy_file(const std::string &from, const std::string &to) {
  FILE *in = fopen(from.c_str(), "rb"), *out = fopen(to.c_str(), "wb");
  std::vector<char> block(8 << 20);
  bool done = in && out;
  for (size_t n; done && (n = fread(block.data(), 1, block.size(), in)) > 0;) done = fwrite(block.data(), 1, n, out) == n;
  if (in) fclose(in);
  if (out && fclose(out) != 0) done = false;
  return done;
}

static void patch_word(FILE *f, long long offset, unsigned (*change)(unsigned, int), int k) {
  unsigned char b[2];
  fseek(f, (long)offset, SEEK_SET);
  if (fread(b, 1, 2, f) != 2) return;
  const unsigned w = change(b[0] | b[1] << 8, k);
  b[0] = (unsigned char)w;
  b[1] = (unsigned char)(w >> 8);
  fseek(f, (long)offset, SEEK_SET);
  fwrite(b, 1, 2, f);
}

static std::string make_changed_terrain(const std::string &full, const std::string &dir) {
  const std::string tfd = dir + "/Changed.TFD";
  if (file_bytes(tfd) == file_bytes(full) && file_bytes(hfd_of(tfd)) == file_bytes(hfd_of(full))) return tfd;
  mkdir(dir.c_str(), 0755);
  if (!copy_file(full, tfd) || !copy_file(hfd_of(full), hfd_of(tfd))) fprintf(stderr, "cannot copy the terrain\n");
  const long long tiles = 4000LL * 4000;
  FILE *f = fopen(tfd.c_str(), "r+b");
  for (int k = 0; f && k < BENCH_CHANGED_TILES; k++) {
    // 1000003 is prime to the tile count: every tile a different one.
    const long long t = (k * 1000003LL + 777) % tiles;
    patch_word(f, 16 + 12 * t + 2 * (k % 3), [](unsigned w, int j) { return j % 7 == 0 ? w ^ 0x100 : (w + 1) % 8; }, k);
  }
  if (f) fclose(f);
  f = fopen(hfd_of(tfd).c_str(), "r+b");
  for (int k = 0; f && k < BENCH_CHANGED_HEIGHT_TILES; k++) {
    const long long t = (k * 7000003LL + 4242) % tiles, x = t % 4000, y = t / 4000;
    patch_word(f, 16 + 2 * ((4 * y + 1) * 16000 + 4 * x + 2), [](unsigned w, int) { return w + 120; }, k);
  }
  if (f) fclose(f);
  return tfd;
}

// veldkit --diff of the full terrain and its changed copy, the whole
// command in a fresh process, against the floor reader of the four files
// in one; both warm, the first run of each not counted.
static void bench_diff(const std::string &data_dir) {
  const std::string a = make_bench_terrain(data_dir + "/full", "Full", 4000);
  const std::string b = make_changed_terrain(a, data_dir + "/changed");
  // Dirty pages of the copy would slow whatever runs next.
  sync();
  char program[4096];
  const ssize_t got = readlink("/proc/self/exe", program, sizeof(program) - 1);
  program[got > 0 ? got : 0] = 0;
  const std::string veldkit = std::string(program).substr(0, std::string(program).rfind("/bench/")) + "/run/veldkit";
  const std::string summary = data_dir + "/changed/summary.txt";
  const std::string diff_command = "cd '" + data_dir + "/changed' && env -u DISPLAY '" + veldkit + "' --diff '" + a +
                                   "' '" + b + "' > /dev/null 2> '" + summary + "'";
  const std::string floor_command =
      "'" + floor_reader + "' '" + a + "' '" + hfd_of(a) + "' '" + b + "' '" + hfd_of(b) + "'";
  std::vector<double> ours, floor;
  int status = 0;
  for (int i = 0; i <= RUNS; i++) {
    const double t = time_command(floor_command);
    if (i > 0) floor.push_back(t);
    Clock::time_point t0 = Clock::now();
    status = system(diff_command.c_str());
    if (i > 0) ours.push_back(seconds_since(t0));
  }
  char said[256] = "";
  FILE *f = fopen(summary.c_str(), "r");
  if (f && !fgets(said, sizeof(said), f)) said[0] = 0;
  if (f) fclose(f);
  said[strcspn(said, "\n")] = 0;
  const double ratio = median(ours) / median(floor);
  printf("veldkit --diff of two 4000 x 4000 terrains (1.4 GB), whole process: %.2f s; minimal reader of the four"
         " files: %.2f s; ratio %.2f (target <= 2)\n",
         median(ours), median(floor), ratio);
  printf("  exit status %d, it said: %s\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1, said);
  note_target("diff of two full terrains / minimal reader of the four files", ratio, 2.0,
              format("%.2f s / %.2f s", median(ours), median(floor)));
  fflush(stdout);
}

// The one file an export wrote into the working directory, by its ending.
static std::string written_file(const char *ending) {
  char name[PATH_SIZE] = "";
  FILE *ls = popen(("ls *" + std::string(ending) + " 2>/dev/null | head -1").c_str(), "r");
  if (ls && fgets(name, sizeof(name), ls)) name[strcspn(name, "\n")] = 0;
  if (ls) pclose(ls);
  return name;
}

static void print_goals() {
  printf("\ntargets                                              ratio   limit   figures\n");
  for (const BenchTarget &t : bench_goals)
    printf("  %-50s %6.2f  %5.2f   %s  %s\n", t.what.c_str(), t.ratio, t.limit, t.detail.c_str(),
           t.ratio <= t.limit ? "met" : "MISSED");
}

// The floor of the area commands: the whole tile table copied into fresh memory.
static double time_table_copy() {
  const size_t bytes = (size_t)tile_map.tiles_x * sizeof(tile_map.tiles[0]);
  Clock::time_point t0 = Clock::now();
  char *copy = (char *)malloc(bytes);
  if (copy) memcpy(copy, tile_map.tiles, bytes);
  const double t = seconds_since(t0);
  if (copy) {
    volatile char keep = copy[bytes / 2];
    (void)keep;
  }
  free(copy);
  return t;
}

static uint64_t table_sum() {
  uint64_t sum = 0;
  for (int x = 0; x < tile_map.tiles_x; x++)
    for (int y = 0; y < tile_map.tiles_y; y++) {
      const Tile &t = tile_map.tiles[x][y];
      sum = sum * 31 + (uint64_t)(t.texture * 16 + t.rotation * 4 + t.tag);
    }
  return sum;
}

template <class Work>
static double time_of(const Work &work) {
  Clock::time_point t0 = Clock::now();
  work();
  return seconds_since(t0);
}

// A stroke across the window, a frame per pointer position: the line
// painted and the view drawn and shown, as the main loop does.
static void stroke_frames(int kind, const StampCell &cell) {
  const char *what = kind == BRUSH_TILES ? "tile" : "height";
  history_clear();
  reset_view();
  view.edit_mode = kind == BRUSH_TILES ? EDIT_TILES : EDIT_HEIGHTS;
  view.brush_size = 64;
  for (int zoom : {8, 5, 2}) {
    view.zoom_level = zoom;
    const int scale = 1 << (8 - zoom);
    double worst = 0;
    std::vector<double> frames;
    stroke_begin(kind, cell);
    int last_x = view.cursor_x - display.screen_width / (2 * scale), last_y = view.cursor_y;
    for (int px = 0; px < display.screen_width; px += 12) {
      const int tile_x = view.cursor_x - display.screen_width / (2 * scale) + px / scale;
      const int tile_y = view.cursor_y + (px % 50 - 25) / scale;
      const double t = time_of([&] {
        stroke_line(last_x, last_y, tile_x, tile_y, view.brush_size);
        draw_map_view(display.back_buffer, view, session.enable_targets);
        draw_status_bar(display.back_buffer, view.cursor_x, view.cursor_y, &view);
        blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
      });
      last_x = tile_x;
      last_y = tile_y;
      frames.push_back(t);
      worst = std::max(worst, t);
    }
    const double end = time_of([] { stroke_end(); });
    printf("  64-tile %s brush stroke across the window at zoom %d: %zu frames, median %.1f ms, worst %.1f ms; "
           "its end %.1f ms\n", what, zoom, frames.size(), 1000 * median(frames), 1000 * worst, 1000 * end);
    note_target(format("%s brush stroke frame at zoom %d, ms / 16", what, zoom), 1000 * worst / 16, 1.0,
                format("worst %.1f ms", 1000 * worst));
  }
}

// Whole-map fill, flood fill and their undo and redo against the table
// copy, the fill's step's bytes, and the frames of a 64-tile brush stroke.
static int bench_areas(const std::string &full) {
  if (open_for_bench(full.c_str()) != 0) return 1;
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  const TileRect all = {0, 0, tx - 1, ty - 1};
  TileStamp stamp;
  copy_stamp(&stamp, tx / 2 - 1, ty / 2 - 1, tx / 2 + 1, ty / 2 + 1);
  std::vector<double> floor, fill, undo, redo, flood, flood_undo;
  long long step_bytes = 0, changed_bytes = (long long)tx * ty * sizeof(Tile);
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  for (int i = 0; i < 3; i++) {
    history_clear();
    // Every tile changes, this run and the next.
    for (StampCell &c : stamp.cells) c.rotation = (uint8_t)((c.rotation + 1) % 4);
    floor.push_back(time_table_copy());
    const uint64_t before = table_sum();
    fill.push_back(time_of([&] { area_fill(stamp, all); }));
    step_bytes = history_area_bytes();
    undo.push_back(time_of([&] { history_undo(&x, &y, text, sizeof(text)); }));
    if (table_sum() != before) printf("  UNDO DID NOT RESTORE THE TILES\n");
    redo.push_back(time_of([&] { history_redo(&x, &y, text, sizeof(text)); }));
  }
  // A map of one texture, flooded whole.
  for (int i = 0; i < 3; i++) {
    history_clear();
    for (int c = 0; c < tx; c++)
      for (int r = 0; r < ty; r++) tile_map.tiles[c][r].texture = (int16_t)(1 + i % 2);
    const StampCell cell = {(int16_t)(2 - i % 2), 0, 0, 0};
    flood.push_back(time_of([&] { area_flood(cell, tx / 2, ty / 2, nullptr); }));
    flood_undo.push_back(time_of([&] { history_undo(&x, &y, text, sizeof(text)); }));
  }
  const double copy = median(floor);
  printf("tile table copy into fresh memory: %.0f ms\n", 1000 * copy);
  const struct {
    const char *what;
    const std::vector<double> &t;
  } rows[] = {{"Ctrl + A, Ctrl + F of 4000 x 4000, 3 x 3 clipboard", fill},
              {"  its undo", undo},
              {"  its redo", redo},
              {"flood fill of one texture, 16 million tiles", flood},
              {"  its undo", flood_undo}};
  for (const auto &r : rows) {
    printf("  %-52s %6.0f ms  %.2f x the copy\n", r.what, 1000 * median(r.t), median(r.t) / copy);
    note_target(std::string(r.what) + " / table copy", median(r.t) / copy, 3.0,
                format("%.0f ms / %.0f ms", 1000 * median(r.t), 1000 * copy));
  }
  printf("  the fill's undo step: %.1f MB for %.1f MB of changed tiles\n", step_bytes / 1048576.0,
         changed_bytes / 1048576.0);
  note_target("whole-map fill's step / bytes of the tiles it changed", (double)step_bytes / changed_bytes, 1.0,
              format("%.1f MB / %.1f MB", step_bytes / 1048576.0, changed_bytes / 1048576.0));

  stroke_frames(BRUSH_TILES, stamp.centre());
  print_goals();
  release_textures();
  return 0;
}

// The floor of the height commands: the whole height table copied into
// fresh memory, the columns spread over the cores.
static double time_height_copy() {
  const int columns = height_map.samples_x;
  const size_t rows = (size_t)height_map.samples_y;
  Clock::time_point t0 = Clock::now();
  uint16_t *copy = (uint16_t *)malloc((size_t)columns * rows * 2);
  if (!copy) return 0;
  run_parts(64, [&](int k) {
    for (int x = columns * k / 64; x < columns * (k + 1) / 64; x++)
      memcpy(copy + (size_t)x * rows, height_map.heights[x], rows * 2);
  });
  const double t = seconds_since(t0);
  volatile uint16_t keep = copy[(size_t)columns * rows / 2];
  (void)keep;
  free(copy);
  return t;
}

static uint64_t heights_sum() {
  uint64_t sum = 0;
  for (int x = 0; x < height_map.samples_x; x++)
    for (int y = 0; y < height_map.samples_y; y++) sum = sum * 31 + height_map.heights[x][y];
  return sum;
}

// Ctrl + A, then each height command on the whole map and its undo, against
// the height table copy; then the frames of a 64-tile brush on heights.
static int bench_heights(const std::string &full) {
  if (open_for_bench(full.c_str()) != 0) return 1;
  const TileRect all = {0, 0, tile_map.tiles_x - 1, tile_map.tiles_y - 1};
  static const struct {
    const char *what;
    int rule;
  } commands[] = {{"L, level", HEIGHTS_LEVEL}, {"S, smooth", HEIGHTS_SMOOTH}, {"H, set 1234", HEIGHTS_SET},
                  {"G, ramp", HEIGHTS_RAMP}};
  std::vector<double> floor;
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  printf("height commands on %d x %d samples:\n", height_map.samples_x, height_map.samples_y);
  for (const auto &c : commands) {
    std::vector<double> run, undo;
    long long bytes = 0;
    for (int i = 0; i < 3; i++) {
      history_clear();
      floor.push_back(time_height_copy());
      const uint64_t before = heights_sum();
      run.push_back(time_of([&] { heights_apply(c.rule, all, 1234, clipboards.heights); }));
      bytes = history_area_bytes();
      undo.push_back(time_of([&] { history_undo(&x, &y, text, sizeof(text)); }));
      if (heights_sum() != before) printf("  UNDO DID NOT RESTORE THE HEIGHTS\n");
    }
    history_clear();
    const double copy = median(floor);
    printf("  %-12s %6.0f ms, %.2f x the copy (%.0f ms); undo %6.0f ms, %.2f x; step %.0f MB\n", c.what,
           1000 * median(run), median(run) / copy, 1000 * copy, 1000 * median(undo), median(undo) / copy,
           bytes / 1048576.0);
    note_target(format("Ctrl + A, %s / height table copy", c.what), median(run) / copy, 4.0,
                format("%.0f ms / %.0f ms", 1000 * median(run), 1000 * copy));
    note_target(format("  its undo / height table copy"), median(undo) / copy, 4.0,
                format("%.0f ms / %.0f ms", 1000 * median(undo), 1000 * copy));
  }
  stroke_frames(BRUSH_RAISE_HEIGHTS, StampCell());
  print_goals();
  release_textures();
  return 0;
}

// The overview of the full terrain, first and again, and a left drag across
// the window at every zoom level: each frame the cursor the drag gives, the
// view drawn and shown.
static int bench_navigation(const std::string &full) {
  if (open_for_bench(full.c_str()) != 0) return 1;
  reset_view();
  printf("overview of %d x %d tiles in %d x %d pixels:\n", tile_map.tiles_x, tile_map.tiles_y, display.screen_width,
         display.status_y);
  for (int mode : {EDIT_TILES, EDIT_HEIGHTS}) {
    view.edit_mode = mode;
    const char *what = mode == EDIT_TILES ? "texture display" : "height display";
    const double first = time_of([] { draw_overview(display.back_buffer, view); });
    std::vector<double> later;
    for (int i = 0; i < 20; i++) {
      view.cursor_x = (view.cursor_x + 97) % tile_map.tiles_x;
      later.push_back(time_of([] {
        draw_overview(display.back_buffer, view);
        blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
      }));
    }
    const double worst = *std::max_element(later.begin(), later.end());
    printf("  %s: first %.0f ms, later ones worst %.1f ms\n", what, 1000 * first, 1000 * worst);
    note_target(format("first overview, %s, ms / 200", what), 1000 * first / 200, 1.0, format("%.0f ms", 1000 * first));
    note_target(format("  later ones, ms / 16"), 1000 * worst / 16, 1.0, format("worst %.1f ms", 1000 * worst));
  }
  view.edit_mode = EDIT_TILES;
  for (int zoom = 0; zoom <= ZOOM_FARTHEST; zoom++) {
    reset_view();
    view.zoom_level = zoom;
    const int s = view_scale(), x0 = view.cursor_x, y0 = view.cursor_y;
    std::vector<double> frames;
    for (int px = 0; px < display.screen_width; px += 12) {
      frames.push_back(time_of([&] {
        view.cursor_x = std::max(0, x0 - px / s);
        view.cursor_y = std::min(tile_map.tiles_y - 1, y0 + (px / 3) / s);
        draw_map_view(display.back_buffer, view, session.enable_targets);
        draw_status_bar(display.back_buffer, view.cursor_x, view.cursor_y, &view);
        blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
      }));
    }
    const double worst = *std::max_element(frames.begin(), frames.end());
    printf("  drag across the window at zoom %d: %zu frames, median %.1f ms, worst %.1f ms\n", zoom, frames.size(),
           1000 * median(frames), 1000 * worst);
    note_target(format("drag frame at zoom %d, ms / 16", zoom), 1000 * worst / 16, 1.0,
                format("worst %.1f ms", 1000 * worst));
  }
  print_goals();
  release_textures();
  return 0;
}

static void show_frame(BITMAP *frame) {
  if (screen) blit(frame, screen, 0, 0, 0, 0, std::min(frame->w, SCREEN_W), std::min(frame->h, SCREEN_H));
}

// The palette of count textures drawn into a 1920 x 1080 memory bitmap and
// shown, as X opens it: the layout, its pictures and the first frame; then
// a frame for every Down from the first texture to the last and every Page
// Up back.
static void palette_frames(BITMAP *frame, int count) {
  std::vector<double> frames;
  PaletteChoice c;
  PaletteFrame f;
  const Clock::time_point t0 = Clock::now();
  const PaletteLayout l = palette_layout(frame->w, frame->h, count);
  PalettePictures pictures(l.picture);
  draw_palette(frame, l, pictures, f);
  show_frame(frame);
  const double first = seconds_since(t0);
  auto press = [&](int key) {
    frames.push_back(time_of([&] {
      palette_key(c, l, key, 0);
      f.first_row = c.first_row;
      f.choice = f.named = c.choice;
      draw_palette(frame, l, pictures, f);
      show_frame(frame);
    }));
  };
  while (palette_row_of(l, c.choice) < palette_row_of(l, count)) press(KEY_DOWN);
  while (c.choice > l.columns) press(KEY_PGUP);
  const double worst = frames.empty() ? 0 : *std::max_element(frames.begin(), frames.end());
  printf("  %d textures, %d x %d pictures in %d columns, %d of %d rows shown: first frame %.1f ms, "
         "%zu scrolling frames, median %.2f ms, worst %.2f ms\n",
         count, l.picture, l.picture, l.columns, l.rows_visible, l.total_rows, 1000 * first, frames.size(),
         1000 * median(frames), 1000 * worst);
  note_target(format("palette of %d at %d px, first frame, ms / 100", count, l.picture), 1000 * first / 100,
              1.0, format("%.1f ms", 1000 * first));
  note_target(format("  its scrolling frames, ms / 16"), 1000 * worst / 16, 1.0, format("worst %.2f ms", 1000 * worst));
}

// The texture palette of 511 textures, and of the first 100 (larger
// pictures, scaled once); then the map view with and without the brush of
// 64 tiles at the zoom levels where it shows its paint and one where it
// does not.
static int bench_palette(const std::string &tfd) {
  if (open_for_bench(tfd.c_str()) != 0) return 1;
  BITMAP *frame = create_bitmap(1920, 1080);
  printf("texture palette in %d x %d pixels, shown in a %d x %d window:\n", frame->w, frame->h, SCREEN_W, SCREEN_H);
  palette_frames(frame, texture_table.last_declared_texture);
  palette_frames(frame, 100);
  destroy_bitmap(frame);

  reset_view();
  view.left_button = LEFT_BUTTON_PAINT;
  view.brush_size = 64;
  pick_texture(7);
  for (int zoom : {0, 2, 4, 8}) {
    view.zoom_level = zoom;
    std::vector<double> brush, frames;
    for (int i = 0; i < 21; i++) {
      view.cursor_x = tile_map.tiles_x / 2 + i % 3;
      const double map = time_of([] { draw_map_view(display.back_buffer, view, session.enable_targets); });
      const double alone = time_of([] {
        draw_brush_outline(display.back_buffer, view, view.cursor_x + 3, view.cursor_y - 2,
                           clipboards.tiles.centre());
      });
      brush.push_back(alone);
      frames.push_back(map + alone + time_of([] {
        blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
      }));
    }
    const double worst = *std::max_element(frames.begin(), frames.end());
    printf("  map frame at zoom %d with the 64-tile brush: median %.2f ms, worst %.2f ms; the brush alone median %.2f ms\n",
           zoom, 1000 * median(frames), 1000 * worst, 1000 * median(brush));
    note_target(format("frame with the brush at zoom %d, ms / 16", zoom), 1000 * worst / 16, 1.0,
                format("worst %.2f ms", 1000 * worst));
  }
  print_goals();
  release_textures();
  return 0;
}

// PNG exports and the height import of the full terrain against GDAL
// doing the same conversions, and the memory of every PNG export.
static int bench_png(const char *program, const std::string &full, const std::string &work_dir) {
  char old_cwd[4096];
  if (!getcwd(old_cwd, sizeof(old_cwd))) old_cwd[0] = 0;
  system(("rm -rf '" + work_dir + "' && mkdir -p '" + work_dir + "'").c_str());
  if (chdir(work_dir.c_str()) != 0 || open_for_bench(full.c_str()) != 0) return 1;
  const bool gdal = system("command -v gdal_translate > /dev/null") == 0;
  if (!gdal) printf("gdal_translate is not installed: no comparison (scripts/bench.sh installs gdal-bin)\n");

  // F7 as PNG, and GDAL turning the BMP of the same export into PNG.
  export_bitmap(EXPORT_TEXTURES_4X, &strip_reporter);
  const std::string bmp = written_file(".bmp");
  std::vector<double> ours, theirs;
  long long our_bytes = 0, their_bytes = 0;
  for (int i = 0; i < 3; i++) {
    system("sync");
    Clock::time_point t0 = Clock::now();
    export_bitmap(EXPORT_TEXTURES_4X, &strip_reporter, nullptr, nullptr, EXPORT_FORMAT_PNG);
    ours.push_back(seconds_since(t0));
    const std::string png = written_file(".png");
    our_bytes = file_bytes(png);
    remove(png.c_str());
    if (!gdal) continue;
    system("sync");
    theirs.push_back(time_command("gdal_translate -q -of PNG -co ZLEVEL=1 '" + bmp + "' gdal.png"));
    their_bytes = file_bytes("gdal.png");
    system("rm -f gdal.png gdal.png.aux.xml");
  }
  remove(bmp.c_str());
  printf("F7 as PNG: %.0f ms, %.1f MB; gdal_translate of its BMP: %.0f ms, %.1f MB\n", 1000 * median(ours),
         our_bytes / 1e6, 1000 * median(theirs), their_bytes / 1e6);
  if (gdal) {
    note_target("F7 PNG / gdal_translate BMP to PNG", median(ours) / median(theirs), 0.5,
                format("%.0f ms / %.0f ms", 1000 * median(ours), 1000 * median(theirs)));
    note_target("F7 PNG bytes / gdal_translate's", (double)our_bytes / (double)their_bytes, 1.1,
                format("%.1f MB / %.1f MB", our_bytes / 1e6, their_bytes / 1e6));
  }

  // The height samples: ours as PNG against GDAL's of the same raw grid.
  export_bitmap(EXPORT_HEIGHTS16, &strip_reporter, nullptr, nullptr, EXPORT_FORMAT_RAW);
  const std::string raw = written_file(".r16");
  FILE *vrt = fopen("grid.vrt", "w");
  if (vrt) {
    fprintf(vrt,
            "<VRTDataset rasterXSize=\"%d\" rasterYSize=\"%d\"><VRTRasterBand dataType=\"UInt16\" band=\"1\" "
            "subClass=\"VRTRawRasterBand\"><SourceFilename relativeToVRT=\"1\">%s</SourceFilename>"
            "<ByteOrder>LSB</ByteOrder><PixelOffset>2</PixelOffset><LineOffset>%d</LineOffset>"
            "</VRTRasterBand></VRTDataset>\n",
            height_map.samples_x, height_map.samples_y, raw.c_str(), 2 * height_map.samples_x);
    fclose(vrt);
  }
  ours.clear();
  theirs.clear();
  std::string heights_png;
  for (int i = 0; i < 3; i++) {
    if (!heights_png.empty()) remove(heights_png.c_str());
    system("sync");
    Clock::time_point t0 = Clock::now();
    export_bitmap(EXPORT_HEIGHTS16, &strip_reporter, nullptr, nullptr, EXPORT_FORMAT_PNG);
    ours.push_back(seconds_since(t0));
    heights_png = written_file(".png");
    if (!gdal) continue;
    system("rm -f gdal.png; sync");
    theirs.push_back(time_command("gdal_translate -q -of PNG -co ZLEVEL=1 grid.vrt gdal.png"));
  }
  printf("heights16 PNG: %.0f ms, %.1f MB; gdal_translate of the raw grid: %.0f ms, %.1f MB\n",
         1000 * median(ours), file_bytes(heights_png) / 1e6, 1000 * median(theirs), file_bytes("gdal.png") / 1e6);
  if (gdal)
    note_target("heights16 PNG / gdal_translate raw to PNG", median(ours) / median(theirs), 0.5,
                format("%.0f ms / %.0f ms", 1000 * median(ours), 1000 * median(theirs)));

  // The import, the whole command, against GDAL turning the PNG into a raw grid.
  const std::string veldkit = std::string(program).substr(0, std::string(program).rfind("/bench/")) + "/run/veldkit";
  system(("mkdir -p import && ln -sf '" + full + "' import/Full.TFD").c_str());
  ours.clear();
  theirs.clear();
  for (int i = 0; i < 3; i++) {
    system("sync");
    ours.push_back(time_command("env -u DISPLAY '" + veldkit + "' --import-heights '" + heights_png +
                                "' import/Full.TFD >/dev/null 2>&1"));
    if (!gdal) continue;
    system("rm -f gdal.raw*; sync");
    theirs.push_back(time_command("gdal_translate -q -of ENVI '" + heights_png + "' gdal.raw"));
  }
  std::string hfd = full.substr(0, full.size() - 3) + "hfd";
  const bool same = system(("cmp -s import/Full.hfd '" + hfd + "'").c_str()) == 0;
  printf("--import-heights of that PNG: %.0f ms (%s); gdal_translate of it to a raw grid: %.0f ms\n",
         1000 * median(ours), same ? "the height map byte for byte" : "HEIGHT MAP DIFFERS", 1000 * median(theirs));
  if (gdal)
    note_target("--import-heights / gdal_translate PNG to raw", median(ours) / median(theirs), 0.8,
                format("%.0f ms / %.0f ms", 1000 * median(ours), 1000 * median(theirs)));
  system("rm -rf import gdal.* grid.vrt *.r16 *.png");

  // Memory of every kind as PNG.
  double worst = 0;
  const int kinds[] = {1, 2, 5, 6, 7, 8, 9, 10, 11};
  for (int kind : kinds) {
    reset_peak_memory();
    const long before = status_kb("VmRSS:");
    Clock::time_point t0 = Clock::now();
    const int failed = export_bitmap(kind, &strip_reporter, nullptr, nullptr, EXPORT_FORMAT_PNG) != RESULT_OK;
    const double took = seconds_since(t0);
    const double grown = (status_kb("VmHWM:") - before) / 1024.0;
    printf("  PNG kind %2d: %7.0f ms, peak +%5.1f MB%s\n", kind, 1000 * took, grown, failed ? " FAILED" : "");
    if (grown > worst) worst = grown;
    system("rm -f *.png");
  }
  note_target("peak memory of any PNG export over the open terrain, MB", worst / 64, 1.0,
              format("%.1f MB (target 64 MB)", worst));
  print_goals();
  release_textures();
  if (old_cwd[0] && chdir(old_cwd) != 0) perror("chdir");
  return 0;
}

// Saving the largest target file after one area moved, in process (read
// again, written into its own lines, checked, written as a save writes),
// against cp of the file.
static int bench_target_save(const std::string &largest, const std::string &work_dir) {
  system(("rm -rf '" + work_dir + "' && mkdir -p '" + work_dir + "'").c_str());
  const std::string path = work_dir + "/Saved_TARGETS.ini";
  std::vector<double> ours, cp;
  std::string why;
  const int quick_before = target_saves_taken_quickly();
  for (int i = 0; i < RUNS; i++) {
    if (!copy_file(largest, path)) return 1;
    targets.area_count = targets.target_total = 0;
    TargetFile kept;
    load_target_areas(path.c_str(), nullptr, &kept);
    FileStamp stamp = {};
    struct stat st;
    if (stat(path.c_str(), &st) == 0) record_file_stamp(&stamp, path.c_str(), &st);
    target_area_move(256, targets.areas[256].pos_x + 1000 + i, targets.areas[256].pos_y);
    const Clock::time_point t0 = Clock::now();
    const int saved = save_target_file(path.c_str(), &stamp, targets, &why, 0, &kept);
    ours.push_back(seconds_since(t0));
    if (saved != RESULT_OK) {
      printf("target save failed: %s\n", why.c_str());
      return 1;
    }
    cp.push_back(time_command("cp '" + largest + "' '" + work_dir + "/cp.ini'"));
  }
  printf("saving %d areas of %d targets (%.1f MB) after one move: %.1f ms; cp of the file %.1f ms\n",
         targets.area_count, targets.target_total, file_bytes(largest) / 1e6, 1000 * median(ours), 1000 * median(cp));
  // The figure is the quick way's: a save that took the whole way says so.
  const int whole = RUNS - (target_saves_taken_quickly() - quick_before);
  if (whole) printf("  %d of %d saves took the whole way\n", whole, RUNS);
  note_target("target file save after one move / cp", median(ours) / median(cp), 2.0,
              format("%.1f ms / %.1f ms", 1000 * median(ours), 1000 * median(cp)));
  system(("rm -rf '" + work_dir + "'").c_str());
  targets.area_count = targets.target_total = 0;
  print_goals();
  return 0;
}

// Target mode: dragging an area of 511 targets across a 1920 x 1080 window
// at zoom level 4, a frame per pointer position as the main loop draws it
// (the move, the map with its overlay, the strip, the copy to the screen).
static int bench_target_drag(const std::string &full, const std::string &largest) {
  if (open_for_bench(full.c_str()) != 0) return 1;
  targets.area_count = targets.target_total = 0;
  if (load_target_areas(largest.c_str(), nullptr) != RESULT_OK) return 1;
  history_clear();
  reset_view();
  const int n = 256;
  const TargetArea &area = targets.areas[n];
  // Picked at zoom level 5, where only areas show (at 4 its own targets
  // cover its mark), then dragged at 4 with all its targets drawn.
  view.zoom_level = 5;
  view.overlay_mode = 1;
  view.cursor_x = (int)(area.pos_x / 2000);
  view.cursor_y = map_rows() - 1 - (int)(area.pos_y / 2000);
  view.left_button = LEFT_BUTTON_TARGETS;
  view.target_area = n;
  view.target = 0;
  // A pixel near the view's middle that picks the area itself (its targets may hide its mark).
  int mx = -1, my = -1;
  for (int y = display.status_y / 2 - 120; y < display.status_y / 2 + 120 && mx < 0; y++)
    for (int x = display.screen_width / 2 - 120; x < display.screen_width / 2 + 120 && mx < 0; x++) {
      int a, t;
      if (pick_target_mark(view, x, y, &a, &t) && a == n && t == 0) mx = x, my = y;
    }
  if (mx < 0) {
    printf("target drag: the area's mark is not in view\n");
    return 1;
  }
  record_mouse_event(MOUSE_LEFT_DOWN, mx, my);
  mouse_b = 1;
  run_mouse_gestures(view, mx, my, 0);
  view.zoom_level = 4;
  std::vector<double> frames;
  for (int k = 1; k <= 120; k++) {
    const int x = mx + 6 * k - 360, y = my + (k % 20) - 10;
    frames.push_back(time_of([&] {
      run_mouse_gestures(view, x, y, 0);
      draw_map_view(display.back_buffer, view, 1);
      draw_status_bar(display.back_buffer, view.cursor_x, view.cursor_y, &view);
      blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
    }));
  }
  record_mouse_event(MOUSE_LEFT_UP, mx + 360, my);
  mouse_b = 0;
  const double end = time_of([&] { run_mouse_gestures(view, mx + 360, my, 0); });
  const double worst = *std::max_element(frames.begin(), frames.end());
  const double worst_after = *std::max_element(frames.begin() + 1, frames.end());
  printf("dragging an area of %d targets at %d x %d, zoom 4: %zu frames, median %.1f ms, worst %.1f ms (the first, "
         "which draws the map and the other areas to keep, %.1f ms; the worst after it %.1f ms); the drop %.1f ms\n",
         area.target_count, display.screen_width, display.screen_height, frames.size(), 1000 * median(frames),
         1000 * worst, 1000 * frames[0], 1000 * worst_after, 1000 * end);
  // The first frame stands for the zoom change's redraw, which the drag at
  // zoom 4 follows (at 4 the runway on the area's mark is picked first).
  note_target("target drag frame, ms / 16", 1000 * worst_after / 16, 1.0,
              format("worst %.1f ms after the first (%.1f ms)", 1000 * worst_after, 1000 * frames[0]));
  print_goals();
  return 0;
}

// Lands on the full terrain: a lands file of 6 lands and 60 textures (six
// of one land, the rest two or three lands each), the land grid read from
// the whole map, and a land fill of the whole map and its undo, each
// against the table copy.
static std::string bench_lands_text() {
  std::string text;
  for (int n = 1; n <= 6; n++)
    text += format("[Land%03d]\nName=Land %d\nColor=%d,%d,%d\n", n, n, 40 * n, 255 - 30 * n, 7 * n);
  for (int t = 1; t <= 60; t++) {
    int c[4];
    for (int i = 0; i < 4; i++) c[i] = t <= 6 ? t : 1 + (t * (i + 3) + i * i) % (2 + t % 4);
    text += format("[Texture%03d]\nCorners=Land %d,Land %d,Land %d,Land %d\nWeight=%d\n", t, c[0], c[1], c[2], c[3],
                   1 + t % 3);
  }
  return text;
}

static int load_bench_lands() {
  const std::string text = bench_lands_text();
  return read_land_text(text.data(), (long)text.size()) != RESULT_OK;
}

static int bench_lands(const std::string &full) {
  if (open_for_bench(full.c_str()) != 0 || load_bench_lands() != 0) return 1;
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  std::vector<double> floor, grid, fill, undo;
  LandResult result;
  int x, y;
  char undo_text[HISTORY_TEXT_SIZE] = "";
  for (int i = 0; i < RUNS; i++) {
    floor.push_back(time_table_copy());
    grid.push_back(time_of([] { read_land_grid(); }));
  }
  for (int i = 0; i < 3; i++) {
    history_clear();
    read_land_grid();
    floor.push_back(time_table_copy());
    // Another land each run: every point changes.
    fill.push_back(time_of([&] { result = land_fill(1 + i % 6, TileRect{0, 0, tx - 1, ty - 1}); }));
    undo.push_back(time_of([&] { history_undo(&x, &y, undo_text, sizeof(undo_text)); }));
  }
  const double copy = median(floor);
  printf("lands on %d x %d tiles (6 lands, 60 textures), table copy %.0f ms\n", tx, ty, 1000 * copy);
  printf("  last fill: %s; undo: %s\n", land_result_text(result).c_str(), undo_text);
  const struct {
    const char *what;
    const std::vector<double> &t;
    double limit;
  } rows[] = {{"land grid of the whole map", grid, 1.0},
              {"land fill of the whole map", fill, 3.0},
              {"  its undo", undo, 3.0}};
  for (const auto &r : rows) {
    printf("  %-52s %6.0f ms  %.2f x the copy\n", r.what, 1000 * median(r.t), median(r.t) / copy);
    note_target(std::string(r.what) + " / table copy", median(r.t) / copy, r.limit,
                format("%.0f ms / %.0f ms", 1000 * median(r.t), 1000 * copy));
  }
  print_goals();
  return 0;
}

// A lands picture of 4001 x 4001 points: regions of the six lands with
// wavy borders, moved by shift so that two pictures differ along them.
struct LandPictureRows {
  int shift;
};
static void land_picture_rows(const void *context, int y0, int y1, unsigned char *out, long row_bytes) {
  const int shift = ((const LandPictureRows *)context)->shift;
  for (int k = 0; k < y1 - y0; k++) {
    const int y = y1 - 1 - k;
    for (int x = 0; x < 4001; x++) {
      const int wx = x + shift + (int)(40 * sin(y / 53.0)), wy = y + (int)(30 * sin(x / 71.0));
      const int n = 1 + ((wx / 410 + wy / 330 + (wx / 97) % 2) % 6 + 6) % 6;
      unsigned char *p = out + k * row_bytes + 3 * x;
      p[0] = (unsigned char)(7 * n);
      p[1] = (unsigned char)(255 - 30 * n);
      p[2] = (unsigned char)(40 * n);
    }
  }
}

static bool write_land_picture(const std::string &path, int shift) {
  const LandPictureRows rows = {shift};
  const RowSource source = {4001, 4001, 24, nullptr, land_picture_rows, &rows};
  FILE *f = fopen(path.c_str(), "wb");
  const bool ok = f && stream_png(fileno(f), source, nullptr) == STREAM_WRITTEN;
  if (f) fclose(f);
  return ok;
}

// The floor's decoding: libpng reading every row of the picture, nothing else.
static double time_png_decode(const std::string &path) {
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return -1;
  Clock::time_point t0 = Clock::now();
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<unsigned char> row;
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, f);
    png_read_info(png, info);
    row.resize(png_get_rowbytes(png, info));
    for (png_uint_32 y = 0; y < png_get_image_height(png, info); y++) png_read_row(png, row.data(), nullptr);
    png_read_end(png, nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  const double t = seconds_since(t0);
  fclose(f);
  return t;
}

// --import-lands of a 4001 x 4001 PNG on the full terrain, the whole
// command, against libpng decoding the picture plus dd writing the tile
// map's bytes. Two pictures in turn, so that every run changes tiles and
// writes; the tile map is a copy, put back before each run.
static int bench_lands_import(const std::string &full, const std::string &work_dir) {
  system(("rm -rf '" + work_dir + "' && mkdir -p '" + work_dir + "'").c_str());
  const std::string tfd = work_dir + "/Full.TFD", kept = work_dir + "/Kept.TFD";
  if (!copy_file(full, kept)) return 1;
  FILE *ini = fopen((work_dir + "/Full_LANDS.ini").c_str(), "w");
  if (!ini) return 1;
  fputs(bench_lands_text().c_str(), ini);
  fclose(ini);
  const std::string pictures[2] = {work_dir + "/LandsA.png", work_dir + "/LandsB.png"};
  for (int k = 0; k < 2; k++)
    if (!write_land_picture(pictures[k], 150 * k)) return 1;
  const std::string veldkit = veldkit_program();
  std::vector<double> ours, decode, dd;
  std::string said;
  for (int i = 0; i < RUNS; i++) {
    system(("cp '" + kept + "' '" + tfd + "'; sync").c_str());
    const std::string cmd = "env -u DISPLAY '" + veldkit + "' --import-lands '" + pictures[i % 2] + "' '" + tfd + "'";
    Clock::time_point t0 = Clock::now();
    FILE *p = popen((cmd + " 2>/dev/null").c_str(), "r");
    char line[256] = "";
    if (p) {
      if (fgets(line, sizeof(line), p)) said = line;
      while (fgets(line, sizeof(line), p)) {
      }
      pclose(p);
    }
    ours.push_back(seconds_since(t0));
    decode.push_back(time_png_decode(pictures[i % 2]));
    system("sync");
    dd.push_back(time_dd(work_dir + "/dd.out", file_bytes(kept)));
  }
  const double floor = median(decode) + median(dd);
  double load[3] = {0, 0, 0};
  FILE *avg = fopen("/proc/loadavg", "r");
  if (avg) {
    if (fscanf(avg, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3) load[0] = -1;
    fclose(avg);
  }
  printf("--import-lands of a 4001 x 4001 PNG (%.1f MB) on 4000 x 4000 tiles: %.0f ms; %s", file_bytes(pictures[0]) / 1e6,
         1000 * median(ours), said.c_str());
  printf("  libpng decoding it %.0f ms + dd of the tile map's %.0f MB %.0f ms = %.0f ms; ratio %.2f (load %.2f)\n",
         1000 * median(decode), file_bytes(kept) / 1e6, 1000 * median(dd), 1000 * floor, median(ours) / floor, load[0]);
  note_target("--import-lands / libpng decode + dd of the tile map", median(ours) / floor, 1.5,
              format("%.0f ms / %.0f ms", 1000 * median(ours), 1000 * floor));
  system(("rm -rf '" + work_dir + "'").c_str());
  print_goals();
  return 0;
}

// A land stroke of a 64-tile brush across the window in land mode, a frame
// per pointer position as the main loop draws it (the step of the stroke,
// the map with its land layer, the strip, the copy to the screen).
static int bench_lands_stroke(const std::string &full) {
  if (open_for_bench(full.c_str()) != 0 || load_bench_lands() != 0) return 1;
  read_land_grid();
  history_clear();
  reset_view();
  view.left_button = LEFT_BUTTON_LANDS;
  view.brush_size = 64;
  printf("land stroke in a %d x %d window on %d x %d tiles:\n", display.screen_width, display.screen_height,
         tile_map.tiles_x, tile_map.tiles_y);
  for (int zoom : {8, 5, 2}) {
    view.zoom_level = zoom;
    const int scale = 1 << (8 - zoom);
    // The map alone, without and with the land layer: what the layer adds,
    // also in this thread's processor time, which other work on a shared
    // machine does not lengthen.
    std::vector<double> plain, layered, plain_cpu, layered_cpu;
    auto thread_seconds = [] {
      timespec t;
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
      return t.tv_sec + 1e-9 * t.tv_nsec;
    };
    for (int i = 0; i < 9; i++) {
      for (int mode : {LEFT_BUTTON_PAN, LEFT_BUTTON_LANDS}) {
        view.left_button = mode;
        const double cpu0 = thread_seconds();
        const double t = time_of([] { draw_map_view(display.back_buffer, view, session.enable_targets); });
        (mode == LEFT_BUTTON_PAN ? plain : layered).push_back(t);
        (mode == LEFT_BUTTON_PAN ? plain_cpu : layered_cpu).push_back(thread_seconds() - cpu0);
      }
    }
    printf("  map at zoom %d: %.1f ms, with the land layer %.1f ms (medians; processor time %.1f and %.1f ms)\n", zoom,
           1000 * median(plain), 1000 * median(layered), 1000 * median(plain_cpu), 1000 * median(layered_cpu));
    std::vector<double> frames, steps;
    land_stroke_begin(1 + zoom % 6);
    int last_x = view.cursor_x - display.screen_width / (2 * scale), last_y = view.cursor_y;
    for (int px = 0; px < display.screen_width; px += 12) {
      const int tile_x = view.cursor_x - display.screen_width / (2 * scale) + px / scale;
      const int tile_y = view.cursor_y + (px % 50 - 25) / scale;
      frames.push_back(time_of([&] {
        steps.push_back(time_of([&] { land_stroke_line(last_x, last_y, tile_x, tile_y, view.brush_size); }));
        draw_map_view(display.back_buffer, view, session.enable_targets);
        draw_brush_outline(display.back_buffer, view, tile_x, tile_y, StampCell());
        draw_status_bar(display.back_buffer, view.cursor_x, view.cursor_y, &view);
        blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
      }));
      last_x = tile_x;
      last_y = tile_y;
    }
    LandResult result;
    const double end = time_of([&] { result = land_stroke_end(); });
    const double worst = *std::max_element(frames.begin(), frames.end());
    printf("  64-tile land stroke at zoom %d: %zu frames, median %.1f ms, worst %.1f ms (its steps alone median %.1f,"
           " worst %.1f ms); its end %.1f ms (%s)\n", zoom, frames.size(), 1000 * median(frames), 1000 * worst,
           1000 * median(steps), 1000 * *std::max_element(steps.begin(), steps.end()), 1000 * end,
           land_result_text(result).c_str());
    note_target(format("land stroke frame at zoom %d, ms / 16", zoom), 1000 * worst / 16, 1.0,
                format("worst %.1f ms", 1000 * worst));
  }
  print_goals();
  return 0;
}

// Processor time of the calling thread.
static double this_thread_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

// The one-minute load average, to go with figures taken on a shared machine.
static double load_average() {
  double load = -1;
  FILE *avg = fopen("/proc/loadavg", "r");
  if (avg) {
    if (fscanf(avg, "%lf", &load) != 1) load = -1;
    fclose(avg);
  }
  return load;
}

// The streamed exports of the full terrain (F7 the textures, F9 the
// heights, data and water), each run against dd of the same bytes right
// before it, after a sync: the ratio of the runs in which dd went at page-
// cache speed (under 0.15 s for 768 MB) is the one that counts.
static int bench_streamed_exports(const std::string &full) {
  if (open_for_bench(full.c_str()) != 0) return 1;
  const std::string work_dir = full.substr(0, full.rfind('/')) + "/../streamed-exports";
  system(("rm -rf '" + work_dir + "' && mkdir -p '" + work_dir + "'").c_str());
  char old_cwd[4096];
  if (!getcwd(old_cwd, sizeof(old_cwd)) || chdir(work_dir.c_str()) != 0) return 1;
  printf("streamed export (key to complete file), against dd of the same bytes right before; load %.2f\n",
         load_average());
  const struct {
    int kind;
    const char *key;
  } kinds[] = {{EXPORT_TEXTURES_4X, "F7"}, {EXPORT_HEIGHT_4X, "F9"}, {EXPORT_DATA, "data"}, {EXPORT_WATER, "water"}};
  for (const auto &k : kinds) {
    std::vector<double> ours, floor, fast_ratios;
    for (int i = 0; i < RUNS + 2; i++) {
      system("sync");
      const double dd = time_dd(work_dir + "/dd.bin", bmp_bytes(k.kind));
      system("sync");
      Clock::time_point t0 = Clock::now();
      const int failed = export_bitmap(k.kind, &strip_reporter) != RESULT_OK;
      const double t = seconds_since(t0);
      system(("rm -f '" + work_dir + "'/*.bmp").c_str());
      if (failed) fprintf(stderr, "export %d failed\n", k.kind);
      ours.push_back(t);
      floor.push_back(dd);
      // dd at page-cache speed: 768 MB in under 0.15 s, the others in proportion.
      if (dd < 0.15 * bmp_bytes(k.kind) / 768e6) fast_ratios.push_back(t / dd);
    }
    printf("  %-6s %7.1f MB  %7.1f ms   dd %7.1f ms   ratio %.2f; runs with dd at page-cache speed %zu, their ratio %.2f\n",
           k.key, bmp_bytes(k.kind) / 1e6, 1000 * median(ours), 1000 * median(floor), median(ours) / median(floor),
           fast_ratios.size(), fast_ratios.empty() ? 0.0 : median(fast_ratios));
    if (k.kind == EXPORT_TEXTURES_4X) {
      // The rows alone on one thread, in the export's own bands and in bands
      // of about 8 MB: the export's own work, and why its bands are small.
      RowSource source;
      if (export_row_source(k.kind, &source) == 0) {
        const long row_bytes = (3L * source.width + 3) & ~3L;
        for (int band : {source.band_rows, stream_band_rows(row_bytes)}) {
          std::vector<unsigned char> buffer((size_t)band * (size_t)row_bytes);
          const double cpu0 = this_thread_seconds();
          for (int y1 = source.height; y1 > 0; y1 -= band)
            source.produce(source.context, y1 - band < 0 ? 0 : y1 - band, y1, buffer.data(), row_bytes);
          printf("         its rows alone in bands of %d rows: %.0f ms of processor time\n", band,
                 1000 * (this_thread_seconds() - cpu0));
        }
      }
    }
    if (k.kind == EXPORT_TEXTURES_4X)
      note_target(fast_ratios.empty() ? "F7 key to file / dd right before (dd never at page-cache speed)"
                                      : "F7 key to file / dd right before, dd at page-cache speed",
                  fast_ratios.empty() ? median(ours) / median(floor) : median(fast_ratios), 2.0,
                  format("%zu of %d runs fast; all: %.0f ms / %.0f ms", fast_ratios.size(), RUNS + 2,
                         1000 * median(ours), 1000 * median(floor)));
    fflush(stdout);
  }
  if (chdir(old_cwd) != 0) perror("chdir");
  system(("rm -rf '" + work_dir + "'").c_str());
  print_goals();
  return 0;
}

// One opening in a window, with the window's way of loading textures: the
// textures of the tiles in view first, the map drawn once they are in.
// Prints the time from the maps read (the watcher's choice) to that first
// frame and to the end of the textures.
struct FirstFrame {
  Clock::time_point chosen, first;
  bool drawn;
};

static void choose_in_view(void *context, unsigned char *first) {
  ((FirstFrame *)context)->chosen = Clock::now();
  textures_in_view(nullptr, first);
}

static void draw_first(void *context) {
  FirstFrame &f = *(FirstFrame *)context;
  if (f.drawn) return;
  draw_map_view(display.back_buffer, view, 1);
  blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.status_y);
  f.first = Clock::now();
  f.drawn = true;
}

static int first_frame_once(const char *tfd, int watched) {
  if (start_graphics(768, 538) != 0) return 1;
  clear_terrain_model();
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", tfd);
  FirstFrame f = {{}, {}, false};
  const TextureWatcher watcher = {choose_in_view, draw_first, &f};
  OpenReport report;
  Clock::time_point t0 = Clock::now();
  if (open_terrain_files(1, &strip_reporter, &report, watched ? &watcher : nullptr) != OPEN_DONE) return 1;
  const Clock::time_point done = Clock::now();
  printf("open %.4f first %.4f\n", std::chrono::duration<double>(done - t0).count(),
         watched ? std::chrono::duration<double>(f.first - f.chosen).count() : 0.0);
  return 0;
}

// A shell command's wall time and the peak resident memory of the
// processes it ran.
struct CommandRun {
  double seconds;
  long peak_kb;
  double cpu_seconds;  // user and system time of the processes
};

static CommandRun run_measured(const std::string &cmd) {
  Clock::time_point t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", cmd.c_str(), (char *)nullptr);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  memset(&usage, 0, sizeof(usage));
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    fprintf(stderr, "failed: %s\n", cmd.c_str());
  return {seconds_since(t0), usage.ru_maxrss,
          usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec)};
}

// The files of a texture-set terrain: tile map, height map, textures.
static std::vector<std::string> texture_set_files(const std::string &tfd) {
  const std::string dir = tfd.substr(0, tfd.rfind('/'));
  std::vector<std::string> files = {tfd, hfd_of(tfd)};
  FILE *ini = fopen((tfd.substr(0, tfd.size() - 4) + "_DATA.ini").c_str(), "r");
  char line[512];
  while (ini && fgets(line, sizeof(line), ini))
    if (strncmp(line, "Filename=", 9) == 0) files.push_back(dir + "/" + std::string(line + 9, strcspn(line + 9, "\r\n")));
  if (ini) fclose(ini);
  return files;
}

// veldkit --export data (the whole opening, textures and all) of terrains
// of 400 textures, against the floor reader of the same files, against
// libpng decoding the PNGs divided by the cores, and its peak memory against
// the same terrain with no texture files (the same levels, of placeholders).
static std::string self_program;

static int bench_texture_sets(const std::string &dir) {
  const std::string veldkit = veldkit_program(), work = dir + "/texture-sets-work";
  system(("rm -rf '" + work + "' && mkdir -p '" + work + "'").c_str());
  const struct {
    const char *what, *folder, *format;
    int side;
    double limit;
  } sets[] = {{"400 BMPs of 512", "textures-bmp512", "bmp", 512, 1.5},
              {"400 BMPs of 1024", "textures-bmp1024", "bmp", 1024, 1.5},
              {"400 PNGs of 1024", "textures-png1024", "png", 1024, 1.2}};
  const int cores = work_thread_count();
  printf("Opening terrains of 400 textures, veldkit --export data, %d cores, medians of %d warm runs\n", cores, RUNS);
  std::string bmp1024;
  for (const auto &set : sets) {
    const std::string tfd = make_texture_set_terrain(dir + "/" + set.folder, set.side, set.format);
    if (tfd.empty()) return 1;
    if (set.side == 1024 && std::string(set.format) == "bmp") bmp1024 = tfd;
    const std::vector<std::string> files = texture_set_files(tfd);
    std::string floor_command = "'" + floor_reader + "'";
    long long bytes = 0;
    for (const std::string &f : files) {
      floor_command += " '" + f + "'";
      bytes += file_bytes(f);
    }
    const std::string command = "cd '" + work + "' && env -u DISPLAY '" + veldkit + "' --export data '" + tfd + "' > /dev/null 2>&1";
    std::vector<double> ours, floor, decode, ours_cpu, decode_cpu;
    long peak_kb = 0;
    const double load = load_average();
    for (int i = 0; i <= RUNS; i++) {
      const double f = run_measured(floor_command).seconds;
      const CommandRun r = run_measured(command);
      if (i == 0) continue;  // warms the cache
      floor.push_back(f);
      ours.push_back(r.seconds);
      ours_cpu.push_back(r.cpu_seconds);
      peak_kb = std::max(peak_kb, r.peak_kb);
      if (std::string(set.format) == "png") {
        double total = 0;
        const double cpu0 = this_thread_seconds();
        for (size_t k = 2; k < files.size(); k++) total += time_png_decode(files[k]);
        decode.push_back(total);
        decode_cpu.push_back(this_thread_seconds() - cpu0);
      }
    }
    printf("  %s (%.0f MB): %.2f s; reading the files %.2f s, ratio %.2f; peak %.0f MB (load %.2f)\n", set.what,
           bytes / 1e6, median(ours), median(floor), median(ours) / median(floor), peak_kb / 1024.0, load);
    if (decode.empty()) {
      note_target(std::string(set.what) + ", --export data / reading the files", median(ours) / median(floor),
                  set.limit, format("%.2f s / %.2f s", median(ours), median(floor)));
    } else {
      const double per_core = median(decode) / cores;
      printf("  libpng decoding them %.2f s, / %d cores %.2f s, ratio %.2f; processor time %.2f s against %.2f s (%.2f)\n",
             median(decode), cores, per_core, median(ours) / per_core, median(ours_cpu), median(decode_cpu),
             median(ours_cpu) / median(decode_cpu));
      note_target(std::string(set.what) + ", --export data / libpng decode per core", median(ours) / per_core,
                  set.limit, format("%.2f s / %.2f s", median(ours), per_core));
    }
  }
  // The first frame in the window, the textures in view first, against the
  // whole opening without that.
  {
    std::vector<double> first, watched, plain;
    for (int i = 0; i <= RUNS; i++) {
      for (int w : {1, 0}) {
        const std::string cmd = "xvfb-run -a -s '-screen 0 1024x768x24' '" + self_program + "' --first-frame " +
                                std::to_string(w) + " '" + bmp1024 + "' 2>/dev/null";
        FILE *p = popen(cmd.c_str(), "r");
        double open_s = 0, first_s = 0;
        if (!p || fscanf(p, "open %lf first %lf", &open_s, &first_s) != 2) fprintf(stderr, "the first-frame run failed\n");
        if (p) pclose(p);
        if (i == 0) continue;
        (w ? watched : plain).push_back(open_s);
        if (w) first.push_back(first_s);
      }
    }
    printf("  window, 400 BMPs of 1024: first frame %.2f s after the maps; opening %.2f s, %.2f s without the first frame (+%.1f %%)\n",
           median(first), median(watched), median(plain), 100 * (median(watched) / median(plain) - 1));
    note_target("first frame after the maps, 400 BMPs of 1024, s / 0.5", median(first) / 0.5, 1.0,
                format("%.2f s", median(first)));
    note_target("opening with the first frame / without, 400 BMPs of 1024", median(watched) / median(plain), 1.05,
                format("%.2f s / %.2f s", median(watched), median(plain)));
  }
  // The same terrain with no texture files: the same levels, none read.
  const std::string bare = dir + "/textures-none";
  system(("rm -rf '" + bare + "' && mkdir -p '" + bare + "'").c_str());
  const std::string base = bmp1024.substr(0, bmp1024.size() - 4);
  system(("cp '" + bmp1024 + "' '" + hfd_of(bmp1024) + "' '" + base + "_DATA.ini' '" + bare + "/'").c_str());
  const std::string with_files = "cd '" + work + "' && env -u DISPLAY '" + veldkit + "' --export data '" + bmp1024 + "' > /dev/null 2>&1";
  const std::string without = "cd '" + work + "' && env -u DISPLAY '" + veldkit + "' --export data '" + bare + "/Set.TFD' > /dev/null 2>&1";
  long peak_with = 0, peak_without = 0;
  for (int i = 0; i < 3; i++) {
    peak_with = std::max(peak_with, run_measured(with_files).peak_kb);
    peak_without = std::max(peak_without, run_measured(without).peak_kb);
  }
  printf("  peak memory with the 1024-pixel BMPs %.0f MB, without their files %.0f MB: +%.0f MB while loading\n",
         peak_with / 1024.0, peak_without / 1024.0, (peak_with - peak_without) / 1024.0);
  note_target("memory while loading 400 BMPs of 1024, MB over the levels / 64", (peak_with - peak_without) / 1024.0 / 64,
              1.0, format("+%.0f MB", (peak_with - peak_without) / 1024.0));
  system(("rm -rf '" + work + "' '" + bare + "'").c_str());
  print_goals();
  return 0;
}

// veldkit --export briefing of the full terrain with 511 target areas, the
// whole command, against gdal_translate turning the F7 picture of the same
// terrain into a 4096 x 4096 PNG; each run in turn. Then the export's peak
// memory over the open terrain, in this process.
static int bench_briefing(const std::string &full, const std::string &data_dir) {
  const std::string tfd = make_briefing_terrain(data_dir + "/briefing", full);
  const std::string work = data_dir + "/briefing-work";
  system(("rm -rf '" + work + "' && mkdir -p '" + work + "'").c_str());
  const std::string veldkit = veldkit_program();
  const std::string in_work = "cd '" + work + "' && ";
  system((in_work + "env -u DISPLAY '" + veldkit + "' --export textures '" + full + "' 2>/dev/null").c_str());
  const std::string bmp = work + "/Full_Textures4x_000.bmp";
  const bool gdal = system("command -v gdal_translate > /dev/null") == 0;
  if (!gdal) printf("gdal_translate is not installed: no comparison (scripts/bench.sh installs gdal-bin)\n");
  std::vector<double> ours, theirs, opening;
  long long pdf_bytes = 0, png_bytes = 0;
  for (int i = 0; i < RUNS; i++) {
    system("sync");
    ours.push_back(time_command(in_work + "env -u DISPLAY '" + veldkit + "' --export briefing '" + tfd +
                                "' 2>/dev/null"));
    // How much of that the opening takes: the same command for the data
    // map, the smallest export.
    opening.push_back(time_command(in_work + "env -u DISPLAY '" + veldkit + "' --export data '" + tfd +
                                   "' 2>/dev/null && rm -f Full_Data1x_*"));
    pdf_bytes = file_bytes(work + "/Full_Briefing_000.pdf");
    png_bytes = file_bytes(work + "/Full_Briefing_000.png");
    system((in_work + "rm -f Full_Briefing_*").c_str());
    if (!gdal) continue;
    system("sync");
    theirs.push_back(time_command(in_work + "gdal_translate -q -of PNG -outsize 4096 4096 '" + bmp + "' gdal.png"));
    system((in_work + "rm -f gdal.png gdal.png.aux.xml").c_str());
  }
  printf("--export briefing of 4000 x 4000 with 511 areas, whole command: %.0f ms (PDF %.1f MB, PNG %.1f MB); "
         "--export data, mostly the opening: %.0f ms\n",
         1000 * median(ours), pdf_bytes / 1e6, png_bytes / 1e6, 1000 * median(opening));
  if (gdal) {
    printf("gdal_translate of F7's BMP to a 4096 x 4096 PNG: %.0f ms\n", 1000 * median(theirs));
    note_target("--export briefing / gdal_translate F7 to 4096 PNG", median(ours) / median(theirs), 1.0,
                format("%.0f ms / %.0f ms", 1000 * median(ours), 1000 * median(theirs)));
  }
  remove(bmp.c_str());

  // The memory the export adds to the open terrain.
  char old_cwd[4096];
  if (!getcwd(old_cwd, sizeof(old_cwd))) old_cwd[0] = 0;
  if (chdir(work.c_str()) != 0 || open_for_bench(tfd.c_str()) != 0) return 1;
  reset_peak_memory();
  const long before = status_kb("VmRSS:");
  Clock::time_point t0 = Clock::now();
  const int failed = export_bitmap(EXPORT_BRIEFING, &strip_reporter) != RESULT_OK;
  const double took = seconds_since(t0);
  const double grown = (status_kb("VmHWM:") - before) / 1024.0;
  printf("in this process: %.0f ms, peak +%.1f MB over the open terrain%s\n", 1000 * took, grown,
         failed ? " FAILED" : "");
  note_target("peak memory of --export briefing over the open terrain, MB", grown / 256, 1.0,
              format("%.1f MB (target 256 MB)", grown));
  if (old_cwd[0] && chdir(old_cwd) != 0) perror("chdir");
  system(("rm -rf '" + work + "'").c_str());
  print_goals();
  release_textures();
  return failed;
}

// The folder of the benchmark's terrains: the mode's argument, made when
// missing, as an absolute path.
// The recovery journal on the full terrain: a single-tile edit to its frame
// with and without it, the whole-map fill with and without it and the
// journal's bytes for a fill of one texture, and 1,000 mixed steps
// recovered after an opening against the opening itself.
static int bench_journal(const std::string &full) {
  // The journals go to the working folder: the data folder may be shared.
  char here[4096];
  const std::string state = std::string(getcwd(here, sizeof(here)) ? here : ".") + "/bench-journal-state";
  setenv("XDG_STATE_HOME", state.c_str(), 1);
  if (open_for_bench(full.c_str()) != 0) return 1;
  const std::string hfd = hfd_of(full);
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  std::string why;
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  reset_view();
  view.zoom_level = 4;
  auto key_to_frame = [&](int k) {
    return time_of([&] {
      const int cx = tx / 2 + k % 40, cy = ty / 2 + k / 40;
      history_begin(HISTORY_ROTATION, cx, cy, 0);
      turn_tile(tile_at(cx, cy));
      history_end();
      draw_map_view(display.back_buffer, view, session.enable_targets);
      draw_status_bar(display.back_buffer, view.cursor_x, view.cursor_y, &view);
      blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.screen_height);
    });
  };
  std::vector<double> off, on;
  for (int round = 0; round < 3; round++) {
    history_clear();
    journal_stop();
    for (int k = 0; k < 100; k++) off.push_back(key_to_frame(k));
    history_clear();
    if (journal_start(full.c_str(), hfd.c_str(), &why) != JOURNAL_ON) {
      printf("the journal cannot be started: %s\n", why.c_str());
      return 1;
    }
    for (int k = 0; k < 100; k++) on.push_back(key_to_frame(k));
    journal_flush();
  }
  printf("single-tile edit, key to frame at zoom 4: median %.2f ms without the journal, %.2f ms with it\n",
         1000 * median(off), 1000 * median(on));
  note_target("single-tile edit with the journal, ms above without / 1 ms", 1000 * (median(on) - median(off)), 1.0,
              format("%.2f ms / %.2f ms", 1000 * median(on), 1000 * median(off)));

  // Whole-map fills, every tile changing each time, without and with the journal.
  const TileRect all = {0, 0, tx - 1, ty - 1};
  TileStamp stamp;
  copy_stamp(&stamp, tx / 2 - 1, ty / 2 - 1, tx / 2 + 1, ty / 2 + 1);
  // Each run with the journal off, then on; then_edit: a tile edit straight
  // after the fill, which waits for the journal's thread to have read the
  // fill's values.
  auto time_fills = [&](bool then_edit, std::vector<double> &off, std::vector<double> &on) {
    for (int journal = 0; journal < 2; journal++) {
      journal_stop();
      history_clear();
      if (journal) journal_start(full.c_str(), hfd.c_str(), &why);
      for (int i = 0; i < 3; i++) {
        history_clear();
        for (StampCell &c : stamp.cells) c.rotation = (uint8_t)((c.rotation + 1) % 4);
        (journal ? on : off).push_back(time_of([&] {
          area_fill(stamp, all);
          if (!then_edit) return;
          history_begin(HISTORY_ROTATION, 1, 1, 0);
          turn_tile(tile_at(1, 1));
          history_end();
        }));
        journal_flush();
      }
    }
  };
  std::vector<double> fill_off, fill_on, then_off, then_on;
  time_fills(false, fill_off, fill_on);
  time_fills(true, then_off, then_on);
  printf("whole-map fill and a tile edit straight after: %.0f ms without the journal, %.0f ms with it (%.2f x)\n",
         1000 * median(then_off), 1000 * median(then_on), median(then_on) / median(then_off));
  note_target("fill and an edit straight after, journal / without", median(then_on) / median(then_off), 2.0,
              format("%.0f ms / %.0f ms", 1000 * median(then_on), 1000 * median(then_off)));
  printf("whole-map fill: %.0f ms without the journal, %.0f ms with it (%.2f x); with it one by one %.0f, %.0f, "
         "%.0f ms (the first into fresh memory)\n", 1000 * median(fill_off), 1000 * median(fill_on),
         median(fill_on) / median(fill_off), 1000 * fill_on[0], 1000 * fill_on[1], 1000 * fill_on[2]);
  note_target("whole-map fill with the journal / without", median(fill_on) / median(fill_off), 1.5,
              format("%.0f ms / %.0f ms", 1000 * median(fill_on), 1000 * median(fill_off)));
  // A fill of one texture, alone in a fresh journal.
  journal_stop();
  history_clear();
  journal_start(full.c_str(), hfd.c_str(), &why);
  TileStamp one;
  copy_stamp(&one, tx / 2, ty / 2, tx / 2, ty / 2);
  one.cells[0].texture = (int16_t)(one.cells[0].texture % 3 + 1);
  const Clock::time_point written = Clock::now();
  area_fill(one, all);
  journal_flush();
  const double write_s = seconds_since(written);
  const long long bytes = journal_bytes(), changed = (long long)tx * ty * (long long)sizeof(Tile);
  printf("  the journal of a fill of one texture: %.2f MB for %.1f MB of changed tiles, on disk %.0f ms after\n",
         bytes / 1048576.0, changed / 1048576.0, 1000 * write_s);
  note_target("journal of a one-texture fill / its tiles' bytes / (1/4)", 4.0 * bytes / changed, 1.0,
              format("%.2f MB / %.1f MB", bytes / 1048576.0, changed / 1048576.0));

  // 1,000 mixed steps: single tiles, small areas, heights, undos and redos.
  journal_stop();
  history_clear();
  journal_start(full.c_str(), hfd.c_str(), &why);
  srand(36);
  const int32_t samples[4][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}};
  for (int k = 0; k < 1000; k++) {
    const int cx = rand() % (tx - 40), cy = rand() % (ty - 40);
    const TileRect r = {cx, cy, cx + rand() % 40, cy + rand() % 40};
    switch (k % 6) {
      case 0: history_begin(HISTORY_ROTATION, cx, cy, 0), turn_tile(tile_at(cx, cy)), history_end(); break;
      case 1: area_apply(AREA_NEXT_TAG, r, stamp); break;
      case 2: heights_apply(HEIGHTS_RAISE, r, 0, samples); break;
      case 3: area_fill(stamp, r); break;
      case 4: history_undo(&x, &y, text, sizeof(text)); break;
      default: history_redo(&x, &y, text, sizeof(text)); break;
    }
  }
  journal_flush();
  journal_hold();
  journal_stop();
  const std::string path = journal_path_for(full.c_str());
  JournalFound found;
  read_journal(path.c_str(), &found);
  std::vector<double> opening, recovery;
  for (int i = 0; i < 3; i++) {
    opening.push_back(time_of([&] { open_for_bench(full.c_str()); }));
    int maps = 0;
    recovery.push_back(time_of([&] { apply_journal(path.c_str(), &maps); }));
  }
  release_textures();
  printf("opening %.0f ms; recovering %lld steps (%.1f MB of journal) %.0f ms more\n", 1000 * median(opening),
         found.steps, file_bytes(path) / 1048576.0, 1000 * median(recovery));
  unlink(path.c_str());
  note_target("opening with 1,000 steps recovered / without", (median(opening) + median(recovery)) / median(opening),
              2.0, format("%.0f ms + %.0f ms", 1000 * median(opening), 1000 * median(recovery)));
  print_goals();
  return 0;
}

static std::string data_folder(int argc, char **argv) {
  std::string dir = argc >= 3 ? argv[2] : "bench-data";
  mkdir(dir.c_str(), 0755);
  char abs_dir[4096];
  if (realpath(dir.c_str(), abs_dir)) dir = abs_dir;
  return dir;
}

static int bench_sculpt_mode(const std::string &full) { return bench_sculpt(full, open_for_bench); }

// The strip's latitude and longitude: the pointer sweeping every row of a
// 1920 x 1080 view of a 1000 km terrain at 125 m a pixel (zoom level 4),
// one readout a move as the main loop draws it: the text, then the text and
// its drawing in the strip. Against the 16 ms of a frame.
static int bench_degrees() {
  GeoFile file;
  file.projection = "+proj=tmerc +lat_0=43 +lon_0=19 +k=1 +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs";
  file.origin_east = file.origin_north = -500000;
  std::string why;
  terrain_place.place = make_geo_place(file, &why);
  if (!terrain_place.place) return fprintf(stderr, "%s\n", why.c_str()), 1;
  const int W = 1920, H = 1080, STEP = 7;  // every 7th pixel of a row: a fast pointer's moves
  char text[STRIP_DEGREES_CHARS + 8];
  long long calls = 0;
  unsigned sum = 0;
  auto sweep = [&](bool draw) {
    for (int my = 0; my < H; my += 4)
      for (int mx = 0; mx < W; mx += STEP) {
        strip_degrees_text(125.0 * mx, 125.0 * (H - my), 1, text, sizeof(text));
        if (draw) show_degrees(display.back_buffer, 1500, display.status_y + 1, text);
        sum += (unsigned char)text[2];
        calls++;
      }
  };
  for (const bool draw : {false, true}) {
    for (const int decimal : {0, 1}) {
      session.degrees_decimal = decimal;
      std::vector<double> per_call;
      for (int run = 0; run < RUNS; run++) {
        calls = 0;
        const auto t0 = Clock::now();
        sweep(draw);
        per_call.push_back(seconds_since(t0) / (double)calls);
      }
      const double us = 1e6 * median(per_call);
      printf("degrees readout%s, %s: %.2f us a call (%lld calls a sweep), %.4f %% of a 16 ms frame\n",
             draw ? " drawn" : "", decimal ? "decimal" : "minutes", us, calls, 100 * us / 16000);
    }
  }
  session.degrees_decimal = 0;
  terrain_place = TerrainPlace();
  return sum == 0;  // the text was made
}

int main(int argc, char **argv) {
  // The modes that time one thing on the full terrain, in a window of their size.
  static const struct {
    const char *option;
    int width, height;
    int (*run)(const std::string &full);
  } full_terrain_modes[] = {
      {"--lands-stroke", 1920, 1080, bench_lands_stroke}, {"--lands", 768, 538, bench_lands},
      {"--areas", 768, 538, bench_areas},                 {"--heights", 768, 538, bench_heights},
      {"--navigation", 768, 538, bench_navigation},       {"--journal", 768, 538, bench_journal},
      {"--streamed-exports", 768, 538, bench_streamed_exports}, {"--redraw", 1920, 1080, bench_redraw_mode},
      {"--sculpt", 1920, 1080, bench_sculpt_mode},
      {"--air-view", 1920, 1080, bench_air_view},
  };
  for (const auto &mode : full_terrain_modes) {
    if (argc < 2 || strcmp(argv[1], mode.option) != 0) continue;
    const std::string dir = data_folder(argc, argv);
    if (start_graphics(mode.width, mode.height) != 0) return 1;
    return mode.run(make_bench_terrain(dir + "/full", "Full", 4000));
  }
  if (argc == 2 && strcmp(argv[1], "--degrees") == 0) return start_graphics(1920, 1080) != 0 || bench_degrees();
  if (argc >= 2 && strcmp(argv[1], "--target-drag") == 0) {
    const std::string dir = data_folder(argc, argv);
    if (start_graphics(1920, 1080) != 0) return 1;
    return bench_target_drag(make_bench_terrain(dir + "/full", "Full", 4000), make_largest_target_file(dir + "/targets"));
  }
  if (argc >= 2 && strcmp(argv[1], "--target-save") == 0) {
    const std::string dir = data_folder(argc, argv);
    if (start_graphics(768, 538) != 0) return 1;
    return bench_target_save(make_largest_target_file(dir + "/targets"), dir + "/target-save");
  }
  if (argc >= 2 && strcmp(argv[1], "--lands-import") == 0) {
    const std::string dir = data_folder(argc, argv);
    if (start_graphics(768, 538) != 0) return 1;  // the terrain's textures are bitmaps
    return bench_lands_import(make_bench_terrain(dir + "/full", "Full", 4000), dir + "/lands-import");
  }
  if (argc >= 2 && strcmp(argv[1], "--make-lands") == 0) return bench_land_set(data_folder(argc, argv), veldkit_program());
  if (argc >= 2 && strcmp(argv[1], "--land-preview") == 0) return bench_land_preview(data_folder(argc, argv));
  if (argc == 4 && strcmp(argv[1], "--first-frame") == 0) return first_frame_once(argv[3], atoi(argv[2]));
  if (argc >= 2 && strcmp(argv[1], "--texture-sets") == 0) {
    const std::string dir = data_folder(argc, argv);
    const std::string self = argv[0];
    char whole[4096];
    self_program = realpath(argv[0], whole) ? whole : self;
    floor_reader = self.substr(0, self.rfind('/') + 1) + "veldkit_floor_reader";
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    return bench_texture_sets(dir);
  }
  if (argc >= 2 && strcmp(argv[1], "--briefing") == 0) {
    const std::string dir = data_folder(argc, argv);
    if (start_graphics(768, 538) != 0) return 1;  // the terrain's textures are bitmaps
    return bench_briefing(make_bench_terrain(dir + "/full", "Full", 4000), dir);
  }
  if (argc >= 2 && strcmp(argv[1], "--palette") == 0) {
    std::string dir = argc >= 3 ? argv[2] : "bench-data";
    mkdir(dir.c_str(), 0755);
    if (start_graphics(1920, 1080) != 0) return 1;
    return bench_palette(make_palette_terrain(dir + "/palette"));
  }
  if (argc >= 2 && strcmp(argv[1], "--png") == 0) {
    const std::string dir = data_folder(argc, argv);
    if (start_graphics(768, 538) != 0) return 1;
    return bench_png(argv[0], make_bench_terrain(dir + "/full", "Full", 4000), dir + "/png");
  }
  if (argc >= 2 && strcmp(argv[1], "--diff") == 0) {
    const std::string dir = data_folder(argc, argv);
    const std::string self = argv[0];
    floor_reader = self.substr(0, self.rfind('/') + 1) + "veldkit_floor_reader";
    // The terrain's textures are written as memory bitmaps: no display.
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    set_color_depth(32);
    bench_diff(dir);
    print_goals();
    return 0;
  }
  if (argc >= 2 && strcmp(argv[1], "--geo") == 0) return bench_geo(veldkit_program(), data_folder(argc, argv) + "/geo");
  if (argc == 3 && strcmp(argv[1], "--air-frames") == 0) return start_graphics(1920, 1080) != 0 || bench_air_frames(argv[2]);
  if (argc == 3 && strcmp(argv[1], "--open") == 0) return open_once(argv[2]);
  if (argc == 4 && strcmp(argv[1], "--export") == 0) return export_once(atoi(argv[2]), argv[3]);
  if (argc == 4 && strcmp(argv[1], "--exports-without-display") == 0)
    return exports_without_display(argv[2], argv[3]);
  if (argc >= 2 && strcmp(argv[1], "--command-line") == 0) {
    const std::string dir = data_folder(argc, argv);
    if (start_graphics(768, 538) != 0) return 1;
    bench_command_line(argv[0], dir);
    release_textures();
    return 0;
  }
  if (argc == 3 && strcmp(argv[1], "--bmp-writer") == 0) {
    if (start_graphics(768, 538) != 0) return 1;
    bench_bmp_writer(argv[2]);
    return 0;
  }
  if (argc >= 2 && strcmp(argv[1], "--targets") == 0) {
    const std::string dir = argc >= 3 ? argv[2] : "bench-data";
    mkdir(dir.c_str(), 0755);
    if (start_graphics(768, 538) != 0) return 1;
    bench_targets(make_largest_target_file(dir + "/targets"));
    return 0;
  }
  if (argc >= 2 && strcmp(argv[1], "--new-terrain") == 0) {
    const std::string dir = data_folder(argc, argv);
    bench_new_terrain(dir);
    print_goals();
    return 0;
  }
  if (argc >= 2 && strcmp(argv[1], "--opening") == 0) {
    std::string dir = argc >= 3 ? argv[2] : "bench-data";
    mkdir(dir.c_str(), 0755);
    const std::string self = argv[0];
    floor_reader = self.substr(0, self.rfind('/') + 1) + "veldkit_floor_reader";
    if (start_graphics(1920, 1080) != 0) return 1;
    bench_opening(argv[0], make_bench_terrain(dir + "/full", "Full", 4000));
    return 0;
  }
  std::string data_dir = argc >= 2 ? argv[1] : "bench-data";
  char abs_dir[4096];
  mkdir(data_dir.c_str(), 0755);
  if (realpath(data_dir.c_str(), abs_dir)) data_dir = abs_dir;

  if (start_graphics(1920, 1080) != 0) return 1;
  const std::string full = make_bench_terrain(data_dir + "/full", "Full", 4000);
  const std::string mid = make_bench_terrain(data_dir + "/mid", "Mid", 1000);
  const std::string small = make_bench_terrain(data_dir + "/small", "Small", 128);
  const std::string grid = make_bench_grid(full);
  const std::string self = argv[0];
  floor_reader = self.substr(0, self.rfind('/') + 1) + "veldkit_floor_reader";
  const std::string largest_targets = make_largest_target_file(data_dir + "/targets");

  printf("Veldkit benchmark, medians of several runs\n\n");
  bench_opening(argv[0], full);
  OpenResult s = open_in_child(argv[0], small);
  printf("open 128 x 128 to the first frame: %.3f s (target < 0.5 s)\n\n", s.frame_s);
  fflush(stdout);

  bench_targets(largest_targets);
  bench_files(mid, "1000");
  bench_files(full, "4000");
  printf("\n");

  // The full terrain stays loaded for redraws and exports.
  if (open_for_bench(full.c_str()) != 0) return 1;
  bench_redraws();
  std::vector<double> shade;
  for (int i = 0; i < 3; i++) {
    Clock::time_point t0 = Clock::now();
    compute_shade_map();
    shade.push_back(seconds_since(t0));
  }
  printf("\nrelief shading of %d x %d samples: %.0f ms\n\n", height_map.samples_x,
         height_map.samples_y, 1000 * median(shade));
  // The whole shade map is the bench's own: no export keeps it.
  if (open_for_bench(full.c_str()) != 0) return 1;
  bench_exports(data_dir + "/exports", grid);
  bench_bmp_writer(data_dir + "/exports");
  bench_diff(data_dir);
  bench_new_terrain(data_dir);

  print_goals();
  release_textures();
  // The PNG exports and the area commands, in fresh processes of their own.
  system(("'" + std::string(argv[0]) + "' --areas '" + data_dir + "'").c_str());
  system(("'" + std::string(argv[0]) + "' --lands '" + data_dir + "'").c_str());
  system(("'" + std::string(argv[0]) + "' --lands-import '" + data_dir + "'").c_str());
  system(("'" + std::string(argv[0]) + "' --lands-stroke '" + data_dir + "'").c_str());
  system(("'" + std::string(argv[0]) + "' --heights '" + data_dir + "'").c_str());
  system(("'" + std::string(argv[0]) + "' --sculpt '" + data_dir + "'").c_str());
  system(("'" + std::string(argv[0]) + "' --navigation '" + data_dir + "'").c_str());
  system(("'" + std::string(argv[0]) + "' --palette '" + data_dir + "'").c_str());
  system(("'" + std::string(argv[0]) + "' --png '" + data_dir + "'").c_str());
  system(("'" + std::string(argv[0]) + "' --briefing '" + data_dir + "'").c_str());
  bench_command_line(argv[0], data_dir);
  return 0;
}
END_OF_MAIN()
