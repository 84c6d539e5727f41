// The view from the air on the full terrain with 400 textures: frames at
// 1920 x 1080 while flying straight and turning, against a plain untextured
// column renderer of the same heights, size and distance written here as
// the floor; the first frame on opening the view; the first frame after an
// edit; --export view at 3840 x 2160 against the same frame drawn alone.
#include "bench/bench_air_view.h"

#include <allegro.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/editing.h"
#include "bench/bench_terrain.h"
#include "core/height_palette.h"
#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "edit/edit_history.h"
#include "document/open_terrain.h"
#include "program/session.h"
#include "render/air/air_export.h"
#include "render/air/air_view.h"
#include "ui/display.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// The process's time on the cores so far, all threads: on a machine shared
// with other work a frame's wall time says more about the others.
double cpu_now() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

size_t floor_depths;  // the last floor frame's

// The floor: one colour per height sample from the height palette, the
// nearest sample at each depth, the same depths as the view's rule, a row
// buffer per column, a plain sky; on every core in the same bands.
void floor_frame(BITMAP *bmp, const AirCamera &c, const AirOptions &o) {
  const int W = bmp->w, H = bmp->h;
  const double focal = (W / 2.0) / std::tan(o.fov_degrees * M_PI / 360), horizon = H / 2.0;
  const double distance = 1000 * o.distance_km;
  const int sx_max = height_map.samples_x - 1, sy_max = height_map.samples_y - 1;
  const double north_edge = 2000.0 * tile_map.tiles_y;
  const int cx = std::min(std::max((int)(c.east / 500), 0), sx_max);
  const int cy = std::min(std::max((int)((north_edge - c.north) / 500), 0), sy_max);
  // The view's rule for its depths: a row apart near the camera, at most
  // 1.2 % of the depth far off, none nearer than the bottom row shows.
  const double under = height_map.heights[cx][cy], above = std::max(c.altitude - under, 5.0);
  const auto highest_within = [&](double radius) {
    const int r = (int)(radius / 500) + 1;
    int highest = 0;
    for (int x = std::max(cx - r, 0); x <= std::min(cx + r, sx_max); x++)
      for (int y = std::max(cy - r, 0); y <= std::min(cy + r, sy_max); y++) highest = std::max(highest, (int)height_map.heights[x][y]);
    return highest;
  };
  const double top = std::max((double)height_map.max_height, under);
  const double near_top = std::max((double)highest_within(16000), under);
  const double rows_scale = std::max(above, std::min(near_top - c.altitude, 3 * above));
  // Nor nearer than the highest ground within a radius can show in the bottom row.
  const double slope = H / 2.0 / focal;
  double z0 = 1;
  for (double radius = 250; radius <= 64000; radius *= 4) {
    const int highest = highest_within(radius);
    if (highest >= c.altitude) break;
    const double need = (c.altitude - highest) / slope * 0.98;
    if (need < radius / 2) {
      z0 = std::max(z0, need);
      break;
    }
    z0 = radius / 2;
    if (radius * 4 > 64000 && c.altitude > top) z0 = std::max(z0, (c.altitude - top) / slope * 0.98);
  }
  std::vector<double> depth;
  std::vector<float> rows;
  for (double z = z0; z < distance; z += std::min(std::max(z * z / (rows_scale * focal), z * 0.005), z * 0.012)) {
    depth.push_back(z);
    rows.push_back((float)(focal / z));
  }
  const double he = std::sin(c.heading * M_PI / 180), hn = std::cos(c.heading * M_PI / 180);
  floor_depths = depth.size();
  const uint32_t sky = (uint32_t)makecol32(150, 180, 220);
  uint32_t **lines = (uint32_t **)bmp->line;
  const int bands = (W + 15) / 16;
  run_parts(bands, [&](int k) {
    for (int col = 16 * k; col < std::min(W, 16 * k + 16); col++) {
      const double t = (col + 0.5 - W / 2.0) / focal;
      const double de = he + t * hn, dn = hn - t * he;
      int cover = H;
      for (size_t i = 0; i < depth.size() && cover > 0; i++) {
        const double e = c.east + depth[i] * de, n = c.north + depth[i] * dn;
        const int x = (int)(e / 500), y = (int)((north_edge - n) / 500);
        const int h = e >= 0 && n >= 0 && x <= sx_max && y <= sy_max && y >= 0 ? height_map.heights[x][y] : 0;
        const float row = (float)horizon + ((float)c.altitude - h) * rows[i];
        if (!(row < cover - 0.5f)) continue;
        const float r = row - 0.5f;  // ceil(row - 0.5), in whole numbers
        const int top = r > 0 ? (int)r + ((float)(int)r < r) : 0;
        const uint32_t colour = (uint32_t)height_palette[h > MAX_HEIGHT ? MAX_HEIGHT : h];
        for (int r = top; r < cover; r++) lines[r][col] = colour;
        cover = top;
      }
      for (int r = 0; r < cover; r++) lines[r][col] = sky;
    }
  });
}

struct Flight {
  std::vector<double> ours, floor, ours_cpu, floor_cpu;
};

// Frames along a path: straight ahead, then a turn on the spot.
Flight fly(BITMAP *bmp, AirCamera c, const AirOptions &o, int turning) {
  Flight f;
  AirLook look;
  look.targets = 1;
  for (int k = 0; k < 40; k++) {
    if (turning)
      c.heading += 4.5;
    else
      air_fly(c, o, 400, 0, 0);
    Clock::time_point t0 = Clock::now();
    double cpu = cpu_now();
    draw_air_view(bmp, bmp->w, bmp->h, c, o, look);
    f.ours.push_back(since(t0));
    f.ours_cpu.push_back(cpu_now() - cpu);
    t0 = Clock::now();
    cpu = cpu_now();
    floor_frame(bmp, c, o);
    f.floor.push_back(since(t0));
    f.floor_cpu.push_back(cpu_now() - cpu);
  }
  return f;
}

int open_air_terrain(const std::string &tfd) {
  clear_terrain_model();
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", tfd.c_str());
  session.enable_targets = 1;
  OpenReport report;
  const Reporter quiet = {nullptr, nullptr, nullptr, nullptr};
  if (open_terrain_files(1, &quiet, &report) != OPEN_DONE) return 1;
  session.terrain_open = 1;
  return 0;
}

double least(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }
double most(const std::vector<double> &v) { return *std::max_element(v.begin(), v.end()); }

// Medians, the fastest frames (what the others' load leaves least
// touched) and the slowest, wall time and time on the cores.
void report(const char *what, const Flight &f) {
  printf("  %s: median %.2f ms (fastest %.2f, slowest %.2f), floor %.2f ms (fastest %.2f, slowest %.2f):"
         " ratio %.2f, fastest to fastest %.2f (target <= 2)\n",
         what, 1000 * median(f.ours), 1000 * least(f.ours), 1000 * most(f.ours), 1000 * median(f.floor),
         1000 * least(f.floor), 1000 * most(f.floor), median(f.ours) / median(f.floor), least(f.ours) / least(f.floor));
  printf("    on the cores: median %.2f ms, floor %.2f ms: ratio %.2f, fastest to fastest %.2f\n",
         1000 * median(f.ours_cpu), 1000 * median(f.floor_cpu), median(f.ours_cpu) / median(f.floor_cpu),
         least(f.ours_cpu) / least(f.floor_cpu));
}

}  // namespace

int bench_air_view(const std::string &full) {
  const std::string dir = full.substr(0, full.rfind('/'));
  const std::string tfd = make_air_terrain(dir + "/../air", full);
  if (tfd.empty() || open_air_terrain(tfd) != 0) {
    fprintf(stderr, "cannot open the terrain of 400 textures\n");
    return 1;
  }
  printf("The view from the air, %d x %d tiles, %d textures, %d cores\n", map_columns(), map_rows(),
         texture_table.texture_count, work_thread_count());
  AirOptions o;
  BITMAP *frame = create_bitmap_ex(32, 1920, 1080);
  // Over the hills, 1000 m above the ground, looking along them.
  AirCamera start;
  start.east = 3100000, start.north = 4300000, start.heading = 30;
  start.altitude = air_ground_height(start.east, start.north, 1) + 1000;

  // Opening: the first frame with nothing kept.
  forget_air_view();
  Clock::time_point t0 = Clock::now();
  AirLook look;
  look.targets = 1;
  draw_air_view(frame, 1920, 1080, start, o, look);
  const double first = since(t0);
  const AirFrameCounts n = last_air_frame_counts();
  printf("  first frame on opening the view     %7.2f ms (target <= 100)  %d depths, %.0f%% of %lld looks drew\n",
         1000 * first, n.steps, n.looks ? 100.0 * n.drawn / n.looks : 0, n.looks);

  const Flight straight = fly(frame, start, o, 0), turn = fly(frame, start, o, 1);
  printf("  depths a column looks at: %d, the floor's %zu\n", last_air_frame_counts().steps, floor_depths);
  report("1920 x 1080 flying straight", straight);
  report("1920 x 1080 turning", turn);
  // A slow frame whose floor frame, drawn right after it, was slow too
  // (a quarter over the floor's median) met a machine busy elsewhere.
  int over = 0, busy = 0, frames = 0;
  for (const Flight *f : {&straight, &turn}) {
    const double usual = median(f->floor);
    for (size_t k = 0; k < f->ours.size(); k++, frames++)
      if (f->ours[k] > 0.016) over++, busy += f->floor[k] > 1.25 * usual;
  }
  printf("  frames over 16 ms: %d of %d, %d of them beside a floor frame a quarter over its median\n", over, frames, busy);

  // An edit on the map in front of the camera, then the view: what it
  // rebuilds, against the same frame with nothing to rebuild, in turns.
  std::vector<double> edited, kept;
  for (int k = 0; k < 7; k++) {
    int x, y;
    air_camera_tile(start, &x, &y);
    raise_heights(x + 2, y - 3 - k % 3, -1);
    t0 = Clock::now();
    draw_air_view(frame, 1920, 1080, start, o, look);
    edited.push_back(since(t0));
    t0 = Clock::now();
    draw_air_view(frame, 1920, 1080, start, o, look);
    kept.push_back(since(t0));
  }
  printf("  first frame after an edit           %7.2f ms, the same frame again %.2f ms (medians of 7): rebuilt %.2f ms (target <= 20)\n",
         1000 * median(edited), 1000 * median(kept), 1000 * (median(edited) - median(kept)));

  // --export view at 3840 x 2160 against the frame alone at that size;
  // and, for what no picture file can go below, the frame with its pixels
  // written to a file as they are, three bytes each, on both cores.
  BITMAP *big = create_bitmap_ex(32, 3840, 2160);
  std::vector<double> drawn, exported, unencoded;
  std::vector<unsigned char> bytes((size_t)3840 * 2160 * 3, 1);
  char written[PATH_SIZE];
  const Reporter quiet = {nullptr, nullptr, nullptr, nullptr};
  for (int k = 0; k < 5; k++) {
    t0 = Clock::now();
    draw_air_view(big, 3840, 2160, start, o, look);
    drawn.push_back(since(t0));
    t0 = Clock::now();
    export_air_view(start, o, look, 3840, 2160, &quiet, written);
    exported.push_back(since(t0));
    unlink(written);
    t0 = Clock::now();
    draw_air_view(big, 3840, 2160, start, o, look);
    run_parts(2160 / 40, [&](int part) {
      for (int y = 40 * part; y < 40 * part + 40; y++) {
        const uint32_t *line = (const uint32_t *)big->line[y];
        unsigned char *out = bytes.data() + (size_t)y * 3840 * 3;
        for (int x = 0; x < 3840; x++, out += 3) out[0] = (unsigned char)line[x], out[1] = (unsigned char)(line[x] >> 8), out[2] = (unsigned char)(line[x] >> 16);
      }
    });
    FILE *f = fopen("bench_view.raw", "wb");
    const size_t put = f ? fwrite(bytes.data(), 1, bytes.size(), f) : 0;
    if (f) fclose(f);
    unencoded.push_back(since(t0));
    unlink("bench_view.raw");
    if (put != bytes.size()) fprintf(stderr, "cannot write bench_view.raw\n");
  }
  printf("  --export view 3840 x 2160           %7.2f ms, the frame alone %.2f ms: ratio %.2f (target <= 1.2)\n",
         1000 * median(exported), 1000 * median(drawn), median(exported) / median(drawn));
  printf("    the frame and its pixels written unencoded (24 MB) %.2f ms: ratio %.2f, below any picture file\n",
         1000 * median(unencoded), median(unencoded) / median(drawn));
  destroy_bitmap(big);
  destroy_bitmap(frame);
  release_textures();
  return 0;
}

int bench_air_frames(const std::string &tfd) {
  if (open_air_terrain(tfd) != 0) return 1;
  BITMAP *frame = create_bitmap_ex(32, 1920, 1080);
  AirOptions o;
  AirLook look;
  look.targets = 1;
  AirCamera c;
  c.east = 2000.0 * map_columns() / 2, c.north = 2000.0 * map_rows() / 3, c.heading = 20;
  c.altitude = air_ground_height(c.east, c.north, 1) + 1000;
  for (int k = 0; k < 3; k++) {
    air_fly(c, o, 400, 0, 0);
    draw_air_view(frame, 1920, 1080, c, o, look);
    floor_frame(frame, c, o);
  }
  printf("%d depths, %lld looks, %lld drew\n", last_air_frame_counts().steps, last_air_frame_counts().looks,
         last_air_frame_counts().drawn);
  destroy_bitmap(frame);
  release_textures();
  return 0;
}
