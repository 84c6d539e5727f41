// The lands dialog's preview after a change of the seed or a picture, and
// the land set's whole command at 256 and 1024 pixels, four lands of
// synthetic pictures, two variants (140 pictures), against libpng writing
// the very pictures it made (decoded first) at zlib level 1, libpng's own
// filter choice, on one core; the 1024 set also on one core alone
// (taskset), for its 20 s. Medians of a few runs.
#include "bench/bench_land_set.h"

#include <allegro.h>

#include <png.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "document/land_set_preview.h"

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double time_command(const std::string &cmd) {
  const Clock::time_point t0 = Clock::now();
  if (system(cmd.c_str()) != 0) fprintf(stderr, "failed: %s\n", cmd.c_str());
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Processor time (user and system) of this process, or of its finished children.
double processor_seconds(int who) {
  struct rusage u;
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + 1e-6 * (u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

bool write_png(const std::string &path, int n, const unsigned char *rgb) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, (png_uint_32)n, (png_uint_32)n, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < n; y++) png_write_row(png, rgb + (size_t)y * n * 3);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return fclose(f) == 0;
}

std::vector<unsigned char> read_png(const std::string &path, int *n) {
  std::vector<unsigned char> rgb;
  png_image image;
  memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return rgb;
  image.format = PNG_FORMAT_RGB;
  rgb.resize(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr);
  *n = (int)image.width;
  return rgb;
}

// A land's picture: waves of its own direction over grain.
void write_land(const std::string &path, int n, int land) {
  static const int base[4][3] = {{40, 90, 170}, {90, 160, 60}, {210, 190, 120}, {120, 120, 120}};
  std::mt19937 r((unsigned)land);
  std::vector<unsigned char> rgb((size_t)n * n * 3);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++)
      for (int c = 0; c < 3; c++)
        rgb[((size_t)y * n + x) * 3 + c] = (unsigned char)std::min(
            255.0, base[land][c] + 20 * std::sin((x * (land + 1) + y * (4 - land)) * 64.0 / n) + r() % 24);
  write_png(path, n, rgb.data());
}

}  // namespace

int bench_land_set(const std::string &data_dir, const std::string &veldkit) {
  const std::string dir = data_dir + "/land-set";
  mkdir(dir.c_str(), 0755);
  const char *names[4] = {"Water", "Grass", "Sand", "Rock"};
  for (int n : {256, 1024}) {
    std::string lands;
    for (int l = 0; l < 4; l++) {
      const std::string picture = dir + "/" + names[l] + std::to_string(n) + ".png";
      write_land(picture, n, l);
      lands += std::string(" --land ") + names[l] + "='" + picture + "'" + (l == 0 ? ":water" : "");
    }
    const std::string tfd = dir + "/T.TFD", clear = "rm -rf '" + dir + "/T_lands' '" + dir + "/T_DATA.ini' '" + dir +
                                                     "/T_LANDS.ini' '" + dir + "/floor'";
    if (system(("rm -f '" + tfd + "' '" + dir + "/T.hfd' && '" + veldkit + "' --new '" + tfd + "' 4x4 > /dev/null").c_str()) != 0)
      return 1;
    const std::string command = "env -u DISPLAY '" + veldkit + "' --make-lands '" + tfd + "'" + lands + " > /dev/null";
    std::vector<double> ours, floor, alone, ours_cpu, floor_cpu;
    const int runs = n == 256 ? 5 : 3;
    for (int run = 0; run < runs; run++) {
      system(clear.c_str());
      sync();
      const double c0 = processor_seconds(RUSAGE_CHILDREN);
      ours.push_back(time_command(command));
      ours_cpu.push_back(processor_seconds(RUSAGE_CHILDREN) - c0);
      if (run == 0 && n == 1024) {
        system(clear.c_str());
        sync();
        alone.push_back(time_command("taskset -c 0 " + command));
      }
      // The floor: libpng writing the pictures just made, decoded beforehand.
      std::vector<std::vector<unsigned char>> made;
      int side = 0;
      for (int t = 1; t <= 140; t++) {
        char name[32];
        snprintf(name, sizeof(name), "/T_lands/%03d.png", t);
        made.push_back(read_png(dir + name, &side));
      }
      mkdir((dir + "/floor").c_str(), 0755);
      sync();
      const Clock::time_point t0 = Clock::now();
      const double s0 = processor_seconds(RUSAGE_SELF);
      for (size_t k = 0; k < made.size(); k++)
        write_png(dir + "/floor/" + std::to_string(k) + ".png", side, made[k].data());
      floor.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
      floor_cpu.push_back(processor_seconds(RUSAGE_SELF) - s0);
    }
    printf("--make-lands, 4 lands x 2 variants (140 pictures) at %d pixels: %.2f s (runs %s) against libpng writing them "
           "at level 1 on one core %.2f s: %.2f x (target 1.5 x)\n",
           n, median(ours), [&] {
             std::string all;
             for (double t : ours) all += (all.empty() ? "" : ", ") + std::to_string(t).substr(0, 5);
             return all;
           }().c_str(), median(floor), median(ours) / median(floor));
    printf("  processor time: ours %.2f s (both cores together) against libpng's %.2f s: %.2f x\n", median(ours_cpu),
           median(floor_cpu), median(ours_cpu) / median(floor_cpu));
    if (!alone.empty()) printf("  on one core alone (taskset -c 0): %.2f s (target 20 s)\n", alone[0]);
  }
  return 0;
}

int bench_land_preview(const std::string &data_dir) {
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
  const std::string dir = data_dir + "/land-preview";
  mkdir(dir.c_str(), 0755);
  const char *names[4] = {"Water", "Grass", "Sand", "Rock"};
  for (int n : {256, 1024}) {
    LandDraft draft;
    for (int l = 0; l < 4; l++) {
      DraftLand land;
      land.name = names[l];
      land.picture = dir + "/" + names[l] + std::to_string(n) + ".png";
      write_land(land.picture, n, l);
      draft.lands.push_back(land);
    }
    const std::string other = dir + "/Other" + std::to_string(n) + ".png";
    write_land(other, n, 3);
    std::vector<double> first, seed, picture;
    for (int run = 0; run < 5; run++) {
      LandPreview preview;
      draft.seed = 1;
      draft.lands[2].picture = dir + "/Sand" + std::to_string(n) + ".png";
      Clock::time_point t0 = Clock::now();
      make_land_preview(draft, 0, 2, &preview);
      first.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
      draft.seed = 2 + run;
      t0 = Clock::now();
      make_land_preview(draft, 0, 2, &preview);
      seed.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
      draft.lands[2].picture = other;
      t0 = Clock::now();
      make_land_preview(draft, 0, 2, &preview);
      picture.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    printf("lands dialog preview at %d pixels: first %.1f ms, after a seed change %.1f ms, after a picture change %.1f ms "
           "(medians of 5; the dialog's box is 160 pixels)\n",
           n, 1000 * median(first), 1000 * median(seed), 1000 * median(picture));
  }
  return 0;
}
