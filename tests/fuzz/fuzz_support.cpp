#include "tests/fuzz/fuzz_support.h"

#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "app/editing.h"
#include "app/startup.h"
#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "images/image_header.h"
#include "images/image_pixels.h"

static std::string scratch;

void fuzz_small_terrain() {
  fuzz_reset_grids();
  tile_map.tiles_x = 12, tile_map.tiles_y = 9;
  height_map.samples_x = 48, height_map.samples_y = 36;
  height_map.heights_loaded = 1;
  for (int x = 0; x < 12; x++)
    for (int y = 0; y < 9; y++) tile_map.tiles[x][y] = {(int16_t)(1 + (x + y) % 9), (uint8_t)(x % 4), 0, {0, 0, 0}};
  for (int x = 0; x < 48; x++)
    for (int y = 0; y < 36; y++) height_map.heights[x][y] = (uint16_t)(10 * x + y);
  texture_table.textures_declared = texture_table.last_declared_texture = 5;
  for (int t = 1; t <= 5; t++) snprintf(texture_table.textures[t].filename, PATH_SIZE, "t%d.bmp", t);
  targets.area_count = 2;
  for (int n = 1; n <= 2; n++) {
    TargetArea &a = targets.areas[n];
    a = TargetArea();
    snprintf(a.name, NAME_SIZE, "Area %d", n);
    a.pos_x = a.pos_y = 3000.0f * (float)n;
    a.target_count = 1;
    a.file_number = n;
    snprintf(a.targets[1].type, NAME_SIZE, "Hut");
    a.targets[1].file_number = 1;
    a.runway_number = -1;
  }
  targets.target_total = 2;
}

void fuzz_init() {
  static bool done = false;
  if (done) return;
  done = true;
  install_allegro(SYSTEM_NONE, &errno, atexit);
  // One run at a time on one core: helper threads would only take turns.
  set_work_threads(1);
  set_uformat(U_ASCII);
  set_color_depth(32);
  display.screen_width = 768;
  display.screen_height = 538;
  display.status_y = display.screen_height - 26;
  screen = create_bitmap(display.screen_width, display.screen_height);
  display.back_buffer = create_bitmap(display.screen_width, display.screen_height);
  display.label_font = display.map_font = display.message_font = display.dialog_font = font;
  display.colour_black = makecol(0, 0, 0);
  display.colour_white = makecol(255, 255, 255);
  display.colour_blue = makecol(0, 0, 255);
  display.colour_pale_blue = makecol(173, 197, 222);
  display.colour_dark_slate = makecol(56, 72, 89);
  init_placeholder_colours();
  clear_clipboards();
  char tmpl[] = "/dev/shm/veldkit-fuzz-XXXXXX";
  char *dir = mkdtemp(tmpl);
  if (!dir) {
    char tmpl2[] = "/tmp/veldkit-fuzz-XXXXXX";
    dir = mkdtemp(tmpl2);
  }
  scratch = dir ? dir : "/tmp";
}

std::string fuzz_file(const char *name, const uint8_t *data, size_t size) {
  std::string path = scratch + "/" + name;
  FILE *f = fopen(path.c_str(), "wb");
  if (f) {
    if (size) fwrite(data, 1, size, f);
    fclose(f);
  }
  return path;
}

enum { FUZZ_GRID_SLACK = 4096, FUZZ_GRID_TIMES = 4 };

bool fuzz_grid_fits(long long cells, size_t size, long record_bytes) {
  const long long held = (long long)(size / (size_t)record_bytes);
  return cells <= FUZZ_GRID_TIMES * held + FUZZ_GRID_SLACK;
}

static bool within(int32_t v, int limit) { return v >= 0 && v <= limit; }

void fuzz_reset_grids() {
  // The loaders keep a refused header but write no cell under it.
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  const int sx = height_map.samples_x, sy = height_map.samples_y;
  const bool tiles_taken = within(tx, MAX_TILES) && within(ty, MAX_TILES);
  const bool samples_taken = tiles_taken && sx == 4 * tx && sy == 4 * ty;
  if (tiles_taken)
    for (int x = 0; x < tx; x++) memset(tile_map.tiles[x], 0, sizeof(Tile) * (size_t)ty);
  if (samples_taken) {
    for (int x = 0; x < sx; x++) {
      memset(height_map.heights[x], 0, sizeof(uint16_t) * (size_t)sy);
      memset(shade_map[x], 0, (size_t)sy);
    }
  }
  tile_map.tiles_x = tile_map.tiles_y = tile_map.header3 = tile_map.header4 = 0;
  tile_map.max_texture_used = 0;
  height_map.samples_x = height_map.samples_y = height_map.header3 = height_map.header4 = 0;
  height_map.max_height = height_map.detected_height_step = height_map.height_step = 0;
  height_map.heights_loaded = 0;
}

int fuzz_image_reader(int (*read)(const unsigned char *, long, ImagePixels *), const uint8_t *data, size_t size) {
  fuzz_init();
  ImagePixels image;
  if (read(data, (long)size, &image) != 0) return 0;
  if (!image_size_accepted(image.width, image.height) || !image.rgba) __builtin_trap();
  if ((long long)image.width * image.height <= 256 * 256) {
    BITMAP *bmp = image_pixels_bitmap(image);
    if (bmp) destroy_bitmap(bmp);
  }
  free_image_pixels(&image);
  return 0;
}
