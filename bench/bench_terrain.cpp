#include "bench/bench_terrain.h"

#include <allegro.h>
#include <png.h>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

enum { BENCH_TEXTURES = 16, BENCH_AREAS = 200, BENCH_TARGETS = 12 };

static bool exists_file(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

static void put16(std::vector<unsigned char> &out, unsigned v) {
  out.push_back((unsigned char)(v & 0xFF));
  out.push_back((unsigned char)(v >> 8));
}

static void put32(FILE *f, int32_t v) {
  unsigned char b[4] = {(unsigned char)v, (unsigned char)(v >> 8), (unsigned char)(v >> 16),
                        (unsigned char)(v >> 24)};
  fwrite(b, 1, 4, f);
}

// A square grid file with its header written: size, size, 0, 0.
static FILE *open_grid_file(const std::string &path, int size) {
  FILE *f = fopen(path.c_str(), "wb");
  put32(f, size);
  put32(f, size);
  put32(f, 0);
  put32(f, 0);
  return f;
}

// Smooth hills from a few waves; heights are multiples of 10 up to about 3000.
static int height_at(int x, int y, int samples) {
  double u = (double)x / samples, v = (double)y / samples;
  double h = 1400 + 900 * sin(u * 17.0 + 1.3) * cos(v * 13.0) + 500 * sin((u + v) * 41.0) +
             200 * cos(u * 97.0 - v * 83.0);
  if (h < 300) return 0;
  return ((int)h - 300) / 10 * 10;
}

static void write_height_map(const std::string &path, int tiles) {
  const int samples = tiles * 4;
  FILE *f = open_grid_file(path, samples);
  std::vector<unsigned char> row;
  for (int i = 0; i < samples; i++) {
    row.clear();
    for (int x = 0; x < samples; x++) put16(row, (unsigned)height_at(x, samples - 1 - i, samples));
    fwrite(row.data(), 1, row.size(), f);
  }
  fclose(f);
}

static void write_tile_map(const std::string &path, int tiles) {
  FILE *f = open_grid_file(path, tiles);
  std::vector<unsigned char> row;
  for (int i = 0; i < tiles; i++) {
    row.clear();
    const int y = tiles - 1 - i;
    for (int x = 0; x < tiles; x++) {
      int h = height_at(4 * x, 4 * y, 4 * tiles);
      int texture = h == 0 ? 1 : 2 + (h / 250 + (x * 7 + y * 3) % 3) % (BENCH_TEXTURES - 1);
      put16(row, (unsigned)(texture - 1));
      put16(row, (unsigned)((x + y) % 4));
      put16(row, (unsigned)((x * y) % 3));
      put16(row, 0);
      put16(row, 0);
      put16(row, 0);
    }
    fwrite(row.data(), 1, row.size(), f);
  }
  fclose(f);
}

static void write_textures(const std::string &dir, const std::string &name) {
  FILE *ini = fopen((dir + "/" + name + "_DATA.ini").c_str(), "w");
  for (int t = 1; t <= BENCH_TEXTURES; t++) {
    char file[64];
    snprintf(file, sizeof(file), "bench_tex%02d.bmp", t);
    fprintf(ini, "[Texture%03d]\nFilename=%s\nHasWater=%d\n\n", t, file, t == 1 ? 2 : 0);
    std::string path = dir + "/" + file;
    if (exists_file(path)) continue;
    BITMAP *b = create_bitmap_ex(32, 256, 256);
    for (int y = 0; y < 256; y++)
      for (int x = 0; x < 256; x++) {
        int n = ((x * 13) ^ (y * 7) ^ (t * 31)) & 31;
        putpixel(b, x, y, makecol32(40 + t * 12 + n, 90 + (t * 37) % 120 + n, 60 + (t * 53) % 150));
      }
    save_bmp(path.c_str(), b, nullptr);
    destroy_bitmap(b);
  }
  fclose(ini);
}

static void write_targets(const std::string &path, int tiles) {
  FILE *f = fopen(path.c_str(), "w");
  const double span = tiles * 2000.0;
  for (int a = 1; a <= BENCH_AREAS; a++) {
    fprintf(f, "[TargetArea%03d]\nName=Area %d\nPosition=%.0f, %.0f\nAlignment=%s\n", a, a,
            span * ((a * 37) % 100) / 100.0, span * ((a * 61) % 100) / 100.0,
            a % 2 ? "FRIENDLY" : "ENEMY");
    for (int t = 1; t <= BENCH_TARGETS; t++) {
      if (t == 1 && a % 3 == 0) {
        fprintf(f, "Target[001].Type=Runway%d\nTarget[001].Offset=0, 0\nTarget[001].Heading=%d\n",
                1 + a % 6, (a * 23) % 360);
      } else {
        fprintf(f, "Target[%03d].Type=Hangar\nTarget[%03d].Offset=%d, %d\n", t, t, t * 150 - 900,
                (t * 97) % 600 - 300);
      }
    }
    fprintf(f, "\n");
  }
  fclose(f);
}

std::string make_bench_grid(const std::string &tfd) {
  FILE *f = fopen(tfd.c_str(), "rb");
  int32_t tiles = 0;
  unsigned char b[4];
  if (f && fread(b, 1, 4, f) == 4) tiles = b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24;
  if (f) fclose(f);
  const int samples = 4 * tiles;
  const std::string base = tfd.substr(0, tfd.size() - 4);
  const std::string grid = base + ".bil";
  if (exists_file(base + ".hdr")) return grid;
  fprintf(stderr, "writing the %d x %d height grid %s ...\n", samples, samples, grid.c_str());
  f = fopen(grid.c_str(), "wb");
  std::vector<unsigned char> row;
  for (int y = 0; y < samples; y++) {
    row.clear();
    for (int x = 0; x < samples; x++) put16(row, (unsigned)height_at(x, y, samples));
    fwrite(row.data(), 1, row.size(), f);
  }
  fclose(f);
  // Written last: its presence means the grid is complete.
  f = fopen((base + ".hdr").c_str(), "w");
  fprintf(f,
          "BYTEORDER I\nLAYOUT BIL\nNROWS %d\nNCOLS %d\nNBANDS 1\nNBITS 16\n"
          "BANDROWBYTES %d\nTOTALROWBYTES %d\nULXMAP 250\nULYMAP %d\nXDIM 500\nYDIM 500\n",
          samples, samples, 2 * samples, 2 * samples, 500 * samples - 250);
  fclose(f);
  return grid;
}

std::string make_bench_terrain(const std::string &dir, const std::string &name, int tiles) {
  mkdir(dir.c_str(), 0755);
  const std::string base = dir + "/" + name;
  const std::string tfd = base + ".TFD";
  if (!exists_file(tfd)) {
    fprintf(stderr, "generating the %d x %d terrain in %s ...\n", tiles, tiles, dir.c_str());
    write_height_map(base + ".hfd", tiles);
    write_textures(dir, name);
    write_targets(base + "_TARGETS.ini", tiles);
    write_tile_map(tfd, tiles);  // last: its presence means the set is complete
  }
  return tfd;
}

std::string make_largest_target_file(const std::string &dir) {
  mkdir(dir.c_str(), 0755);
  const std::string path = dir + "/Largest_TARGETS.ini";
  if (exists_file(path)) return path;
  fprintf(stderr, "generating the 511 x 511 target file in %s ...\n", dir.c_str());
  const std::string part = path + ".part";
  FILE *f = fopen(part.c_str(), "w");
  for (int a = 1; a <= 511; a++) {
    fprintf(f, "[TargetArea%03d]\nName=Area %d\nPosition=%d, %d\nAlignment=%s\n", a, a, a * 1500,
            a * 700, a % 2 ? "FRIENDLY" : "ENEMY");
    fprintf(f, "Target[001].Type=Runway%d\nTarget[001].Offset=0, 0\nTarget[001].Heading=%d\n",
            1 + a % 6, (a * 23) % 360);
    for (int t = 2; t <= 511; t++)
      fprintf(f, "Target[%03d].Type=Storage Building\nTarget[%03d].Offset=%d.5, %d\n", t, t,
              t * 15 - 900, (t * 97) % 600 - 300);
    fprintf(f, "\n");
  }
  fclose(f);
  rename(part.c_str(), path.c_str());  // complete files only
  return path;
}

enum { PALETTE_TEXTURES = 511, PALETTE_TILES = 256 };

// A texture of its own colour with a pattern, so that neighbours differ.
static void write_palette_texture(const std::string &path, int t) {
  const int side = t % 16 == 0 ? 512 : 256;
  BITMAP *b = create_bitmap_ex(32, side, side);
  for (int y = 0; y < side; y++) {
    uint32_t *row = (uint32_t *)b->line[y];
    for (int x = 0; x < side; x++) {
      const int n = ((x * (3 + t % 5)) ^ (y * (7 + t % 3))) & 63;
      row[x] = (uint32_t)makecol32((t * 37 + n) % 256, (t * 11 + 2 * n) % 256, (t * 73 + n / 2) % 256);
    }
  }
  save_bmp(path.c_str(), b, nullptr);
  destroy_bitmap(b);
}

std::string make_palette_terrain(const std::string &dir) {
  mkdir(dir.c_str(), 0755);
  const std::string base = dir + "/Palette", tfd = base + ".TFD";
  if (exists_file(tfd)) return tfd;
  fprintf(stderr, "generating the %d-texture terrain in %s ...\n", PALETTE_TEXTURES, dir.c_str());
  write_height_map(base + ".hfd", PALETTE_TILES);
  FILE *ini = fopen((base + "_DATA.ini").c_str(), "w");
  for (int t = 1; t <= PALETTE_TEXTURES; t++) {
    char file[64];
    snprintf(file, sizeof(file), "palette_%03d.bmp", t);
    fprintf(ini, "[Texture%03d]\nFilename=%s\nHasWater=0\n\n", t, file);
    write_palette_texture(dir + "/" + file, t);
  }
  fclose(ini);
  FILE *f = open_grid_file(tfd + ".part", PALETTE_TILES);
  std::vector<unsigned char> row;
  for (int i = 0; i < PALETTE_TILES; i++) {
    row.clear();
    for (int x = 0; x < PALETTE_TILES; x++) {
      put16(row, (unsigned)((x * 7 + i * 13) % PALETTE_TEXTURES));  // texture - 1
      for (int k = 0; k < 5; k++) put16(row, 0);
    }
    fwrite(row.data(), 1, row.size(), f);
  }
  fclose(f);
  rename((tfd + ".part").c_str(), tfd.c_str());  // last: its presence means the set is complete
  return tfd;
}

enum { SET_TEXTURES = 400, SET_TILES = 100 };

// A photograph-like texture: a gradient of its own colours with a few bits
// of noise, so that a PNG of it is neither tiny nor incompressible.
static void texture_row(int t, int side, int y, unsigned char *rgb) {
  uint32_t seed = (uint32_t)(t * 7919 + y * 104729);
  for (int x = 0; x < side; x++) {
    seed = seed * 1664525u + 1013904223u;
    const int n = (int)(seed >> 27);
    rgb[3 * x] = (unsigned char)((t * 37 + x / 8 + n) & 255);
    rgb[3 * x + 1] = (unsigned char)((t * 11 + y / 8 + n) & 255);
    rgb[3 * x + 2] = (unsigned char)((t * 73 + (x + y) / 16 + n / 2) & 255);
  }
}

static bool write_set_bmp(const std::string &path, int t, int side) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const long stride = (side * 3 + 3) / 4 * 4;
  std::vector<unsigned char> head = {'B', 'M'};
  auto le32 = [&head](uint32_t v) {
    for (int i = 0; i < 4; i++) head.push_back((unsigned char)(v >> (8 * i)));
  };
  le32((uint32_t)(54 + stride * side)), le32(0), le32(54), le32(40), le32((uint32_t)side), le32((uint32_t)side);
  head.insert(head.end(), {1, 0, 24, 0});
  for (int i = 0; i < 6; i++) le32(0);
  fwrite(head.data(), 1, head.size(), f);
  std::vector<unsigned char> rgb((size_t)side * 3), row((size_t)stride, 0);
  for (int y = side - 1; y >= 0; y--) {
    texture_row(t, side, y, rgb.data());
    for (int x = 0; x < side; x++) {  // blue, green, red
      row[3 * x] = rgb[3 * x + 2];
      row[3 * x + 1] = rgb[3 * x + 1];
      row[3 * x + 2] = rgb[3 * x];
    }
    fwrite(row.data(), 1, row.size(), f);
  }
  return fclose(f) == 0;
}

static bool write_set_png(const std::string &path, int t, int side) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<unsigned char> rgb((size_t)side * 3);
  bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, f);
    png_set_IHDR(png, info, (png_uint_32)side, (png_uint_32)side, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < side; y++) {
      texture_row(t, side, y, rgb.data());
      png_write_row(png, rgb.data());
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  return fclose(f) == 0 && ok;
}

std::string make_texture_set_terrain(const std::string &dir, int side, const char *format) {
  mkdir(dir.c_str(), 0755);
  const std::string base = dir + "/Set", tfd = base + ".TFD";
  if (exists_file(tfd)) return tfd;
  fprintf(stderr, "generating %d %s textures of %d pixels in %s ...\n", SET_TEXTURES, format, side, dir.c_str());
  write_height_map(base + ".hfd", SET_TILES);
  FILE *ini = fopen((base + "_DATA.ini").c_str(), "w");
  for (int t = 1; t <= SET_TEXTURES; t++) {
    char file[64];
    snprintf(file, sizeof(file), "set_%03d.%s", t, format);
    fprintf(ini, "[Texture%03d]\nFilename=%s\nHasWater=0\n\n", t, file);
    const std::string path = dir + "/" + file;
    if (!(std::string(format) == "png" ? write_set_png(path, t, side) : write_set_bmp(path, t, side))) {
      fprintf(stderr, "cannot write %s\n", path.c_str());
      fclose(ini);
      return "";
    }
  }
  fclose(ini);
  FILE *f = open_grid_file(tfd + ".part", SET_TILES);
  std::vector<unsigned char> row;
  for (int i = 0; i < SET_TILES; i++) {
    row.clear();
    for (int x = 0; x < SET_TILES; x++) {
      put16(row, (unsigned)((x * 7 + i * 13) % SET_TEXTURES));  // texture - 1
      for (int k = 0; k < 5; k++) put16(row, 0);
    }
    fwrite(row.data(), 1, row.size(), f);
  }
  fclose(f);
  rename((tfd + ".part").c_str(), tfd.c_str());  // last: its presence means the set is complete
  return tfd;
}

std::string make_briefing_terrain(const std::string &dir, const std::string &full_tfd) {
  mkdir(dir.c_str(), 0755);
  const std::string tfd = dir + "/Full.TFD", targets = dir + "/Full_TARGETS.ini";
  if (exists_file(targets)) return tfd;
  // Every file of the full terrain but its targets, so that the texture
  // list's names lead to the same pictures.
  const std::string from = full_tfd.substr(0, full_tfd.rfind('/'));
  DIR *folder = opendir(from.c_str());
  for (dirent *e; folder && (e = readdir(folder));) {
    const std::string name = e->d_name;
    if (name == "." || name == ".." || name == "Full_TARGETS.ini") continue;
    if (symlink((from + "/" + name).c_str(), (dir + "/" + name).c_str()) != 0 && errno != EEXIST)
      perror(name.c_str());
  }
  if (folder) closedir(folder);
  const char *kinds[] = {"Depot", "Radar Station", "Northern Supply Depot of the Coast", "Bridge"};
  const std::string part = targets + ".part";
  FILE *f = fopen(part.c_str(), "w");
  unsigned seed = 12345;
  const auto next = [&seed]() { return seed = seed * 1103515245u + 12345u, (seed >> 8) % 8000000; };
  for (int a = 1; a <= 511; a++) {
    const bool airfield = a % 3 == 0;
    const unsigned x = next(), y = next();
    fprintf(f, "[TargetArea%03d]\nName=%s %d\nPosition=%u, %u\nAlignment=%s\n", a,
            airfield ? "Airbase" : kinds[a % 4], a, x, y, a % 2 ? "FRIENDLY" : "ENEMY");
    if (airfield)
      fprintf(f, "Target[001].Type=Runway%d\nTarget[001].Offset=0, 0\nTarget[001].Heading=%d\n", 1 + a % 6,
              (a * 23) % 360);
    else
      fprintf(f, "Target[001].Type=Hangar\nTarget[001].Offset=0, 0\n");
    fprintf(f, "\n");
  }
  fclose(f);
  rename(part.c_str(), targets.c_str());  // last: its presence means the set is complete
  return tfd;
}

std::string make_air_terrain(const std::string &dir, const std::string &full_tfd) {
  mkdir(dir.c_str(), 0755);
  const std::string base = dir + "/Air", tfd = base + ".TFD";
  if (exists_file(tfd)) return tfd;
  const std::string full = full_tfd.substr(0, full_tfd.size() - 4);
  int32_t tiles = 0;
  if (FILE *f = fopen(full_tfd.c_str(), "rb")) {
    unsigned char b[4];
    if (fread(b, 1, 4, f) == 4) tiles = b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24;
    fclose(f);
  }
  fprintf(stderr, "generating the %d-texture terrain of %d x %d tiles in %s ...\n", SET_TEXTURES, tiles, tiles, dir.c_str());
  // The full terrain's heights and targets; textures of its own.
  for (const char *ending : {".hfd", "_TARGETS.ini"})
    if (symlink((full + ending).c_str(), (base + ending).c_str()) != 0 && errno != EEXIST) perror(ending);
  FILE *ini = fopen((base + "_DATA.ini").c_str(), "w");
  for (int t = 1; t <= SET_TEXTURES; t++) {
    char file[64];
    snprintf(file, sizeof(file), "air_%03d.bmp", t);
    fprintf(ini, "[Texture%03d]\nFilename=%s\nHasWater=%d\n\n", t, file, t == 1 ? 2 : 0);
    if (!write_set_bmp(dir + "/" + file, t, 256)) {
      fclose(ini);
      return "";
    }
  }
  fclose(ini);
  FILE *f = open_grid_file(tfd + ".part", tiles);
  std::vector<unsigned char> row;
  for (int i = 0; i < tiles; i++) {
    row.clear();
    const int y = tiles - 1 - i;
    for (int x = 0; x < tiles; x++) {
      const int h = height_at(4 * x, 4 * y, 4 * tiles);
      // Sea where the heights are 0, else bands of height with patches of neighbours.
      const int texture = h == 0 ? 1 : 2 + (h / 100 * 13 + (x / 3) * 7 + (y / 3) * 3) % (SET_TEXTURES - 1);
      put16(row, (unsigned)(texture - 1));
      put16(row, (unsigned)((x + 2 * y) % 4));
      for (int k = 0; k < 4; k++) put16(row, 0);
    }
    fwrite(row.data(), 1, row.size(), f);
  }
  fclose(f);
  rename((tfd + ".part").c_str(), tfd.c_str());  // last: its presence means the set is complete
  return tfd;
}
