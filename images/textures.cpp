#include "images/textures.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <chrono>
#include <string>
#include <vector>

#include "core/regular_file.h"
#include "core/work_threads.h"
#include "core/terrain_model.h"
#include "images/image_header.h"
#include "images/image_pixels.h"
#include "images/plain_image.h"
#include "images/shrink_bitmap.h"
#include "images/texture_levels.h"

static void release_levels(TextureEntry &entry) {
  for (int k = 0; k < TEXTURE_LEVELS; k++) {
    if (entry.levels[k]) destroy_bitmap(entry.levels[k]);
    entry.levels[k] = nullptr;
  }
}

// The texture's file in the tile map's folder; 0 when the joined path does
// not fit a path buffer (a cut path could name some other file).
static int texture_path(char *dest, const char *filename) {
  char joined[PATH_SIZE * 2 + 16];
  replace_filename(joined, terrain_paths.tfd_path, filename, sizeof(joined));
  if (ustrlen(joined) > PATH_SIZE - 1) return 0;
  ustrzcpy(dest, PATH_SIZE, joined);
  return 1;
}

BITMAP *read_texture_file(const char *path, RGB *palette) {
  if (!regular_file_readable(path)) return nullptr;
  const ImageHeaderResult header = check_image_header(path);
  if (header == IMAGE_HEADER_REFUSED) return nullptr;
  BITMAP *file = header == IMAGE_HEADER_PLAIN_COPY ? load_plain_image(path, palette)
                 : header == IMAGE_HEADER_PIXELS    ? load_image_pixels(path)
                                                    : load_bitmap(path, palette);
  if (!file) return nullptr;
  if (!image_size_accepted(file->w, file->h)) {
    destroy_bitmap(file);
    return nullptr;
  }
  const int depth = get_color_depth();
  if (bitmap_color_depth(file) != depth) {
    BITMAP *converted = create_bitmap_ex(depth, file->w, file->h);
    if (converted) {
      select_palette(palette);
      blit(file, converted, 0, 0, 0, 0, file->w, file->h);
      unselect_palette();
    }
    destroy_bitmap(file);
    file = converted;
  }
  return file;
}

// Level 0 from the file bitmap: square files of 512, 1024 and 2048 pixels are
// block-averaged, 256 copied, any other size stretched. 1 when a bitmap
// cannot be created.
static int make_level0(TextureEntry &entry, BITMAP *file) {
  const int w = file->w, h = file->h;
  if (w == TEXTURE_SIZE && h == TEXTURE_SIZE) {
    blit(file, entry.levels[0], 0, 0, 0, 0, w, h);
  } else if (w == h && (w == 512 || w == 1024 || w == 2048)) {
    BITMAP *averaged = shrink_bitmap(file, w / TEXTURE_SIZE, h / TEXTURE_SIZE);
    if (!averaged) return 1;
    destroy_bitmap(entry.levels[0]);
    entry.levels[0] = averaged;
  } else {
    stretch_blit(file, entry.levels[0], 0, 0, w, h, 0, 0, TEXTURE_SIZE, TEXTURE_SIZE);
  }
  return 0;
}

// The old way, for files only the library's loaders read: the file's
// bitmap, level 0 of it, the levels by shrinking. 1 when memory is short.
static int load_with_library(TextureEntry &entry, const char *path) {
  BITMAP *file = path ? read_texture_file(path, entry.palette) : nullptr;
  if (!file) return 0;
  texture_table.textures_loaded++;
  entry.loaded = 1;
  entry.file_width = (int16_t)file->w;
  entry.file_height = (int16_t)file->h;
  const int failed = make_level0(entry, file);
  destroy_bitmap(file);
  return failed;
}

// The levels made on a work thread become the entry's bitmaps. 1 when
// memory is short.
static int take_levels(TextureEntry &entry, const TextureLevels &made) {
  for (int k = 0; k < TEXTURE_LEVELS; k++) {
    const int side = TEXTURE_SIZE >> k;
    BITMAP *level = k == 0 ? entry.levels[0] : create_bitmap_ex(32, side, side);
    if (!level) return 1;
    entry.levels[k] = level;
    const uint32_t *pixels = made.pixels + texture_level_offset(k);
    for (int y = 0; y < side; y++) memcpy(level->line[y], pixels + y * side, (size_t)side * 4);
  }
  entry.sample_color = makecol(made.sample_r, made.sample_g, made.sample_b);
  if (made.outcome != TEXTURE_LEVELS_FROM_FILE) return 0;
  texture_table.textures_loaded++;
  entry.loaded = 1;
  entry.file_width = (int16_t)made.file_width;
  entry.file_height = (int16_t)made.file_height;
  if (made.palette_kind == TEXTURE_PALETTE_332) generate_332_palette(entry.palette);
  if (made.palette_kind == TEXTURE_PALETTE_FILE)
    for (int i = 0; i < 256; i++) {
      entry.palette[i].r = made.palette[i][0];
      entry.palette[i].g = made.palette[i][1];
      entry.palette[i].b = made.palette[i][2];
    }
  return 0;
}

namespace {

enum { TEXTURE_SHOWN_EVERY_MS = 250 };  // how often a watcher sees the rest fill in

struct TextureLoading {
  const Reporter *reporter;
  std::vector<int> order;          // the entry loaded k-th
  std::vector<std::string> paths;  // of entry order[k]; empty for none
  std::vector<uint32_t> placeholders;
  int direct;  // the program's colour depth is 32 bits
  int failed;
  const TextureWatcher *watcher;
  int first_count;  // entries the watcher wanted first
  std::chrono::steady_clock::time_point last_shown;
};

void make_texture(void *context, int k, unsigned char *buffer) {
  const TextureLoading &loading = *(const TextureLoading *)context;
  const std::string &path = loading.paths[(size_t)k];
  // Levels in plain memory are 32-bit values; other depths take the old way.
  if (!loading.direct) {
    ((TextureLevels *)buffer)->outcome = TEXTURE_LEVELS_LIBRARY;
    return;
  }
  read_texture_levels(path.empty() ? nullptr : path.c_str(), loading.placeholders[(size_t)k], (TextureLevels *)buffer);
}

// In the order of the entries, on the caller's thread: progress, bitmaps,
// and the files the library reads.
int take_texture(void *context, int k, const unsigned char *buffer) {
  TextureLoading &loading = *(TextureLoading *)context;
  TextureTable &table = texture_table;
  const int t = loading.order[(size_t)k];
  const TextureWatcher *watcher = loading.watcher;
  if (watcher && watcher->shown) {
    const auto now = std::chrono::steady_clock::now();
    if (k == loading.first_count ||
        (k > loading.first_count && now - loading.last_shown > std::chrono::milliseconds(TEXTURE_SHOWN_EVERY_MS))) {
      watcher->shown(watcher->context);
      loading.last_shown = std::chrono::steady_clock::now();
    }
  }
  TextureEntry &entry = table.textures[t];
  report_progress(loading.reporter, "Loading Texture: %3d/%3d : %s" "                       ", t,
                  table.textures_declared, entry.filename);
  release_levels(entry);
  entry.loaded = 0;
  entry.file_width = entry.file_height = 0;
  entry.levels[0] = create_bitmap(TEXTURE_SIZE, TEXTURE_SIZE);
  const TextureLevels &made = *(const TextureLevels *)buffer;
  int failed = !entry.levels[0];
  if (!failed && made.outcome == TEXTURE_LEVELS_LIBRARY) {
    clear_to_color(entry.levels[0], entry.sample_color);
    const std::string &path = loading.paths[(size_t)k];
    failed = load_with_library(entry, path.empty() ? nullptr : path.c_str()) || make_texture_levels(t) != 0;
  } else if (!failed) {
    failed = take_levels(entry, made);
  }
  loading.failed = failed;
  return failed;
}

}  // namespace

int load_textures(const Reporter *reporter, const TextureWatcher *watcher) {
  TextureTable &table = texture_table;
  int count = table.texture_count;
  if (count > MAX_TEXTURES - 1) count = MAX_TEXTURES - 1;
  if (count < 1) {
    report_progress(reporter, "Loading Texture: Done." "                              ");
    return RESULT_OK;
  }

  // Names, paths and placeholder colours first: the work threads only read.
  TextureLoading loading = {reporter, {}, {}, {}, get_color_depth() == 32, 0, watcher, 0, {}};
  for (int t = 1; t <= count; t++)
    if (t > table.last_declared_texture) strcpy(table.textures[t].filename, "NONE");
  if (watcher) {
    // Entries not in yet show their sample colour, not a bitmap of before.
    for (int t = 1; t <= count; t++) release_levels(table.textures[t]);
    unsigned char first[MAX_TEXTURES] = {};
    if (watcher->choose) watcher->choose(watcher->context, first);
    for (int t = 1; t <= count; t++)
      if (first[t]) loading.order.push_back(t);
    loading.first_count = (int)loading.order.size();
    for (int t = 1; t <= count; t++)
      if (!first[t]) loading.order.push_back(t);
  } else {
    for (int t = 1; t <= count; t++) loading.order.push_back(t);
  }
  for (int t : loading.order) {
    const TextureEntry &entry = table.textures[t];
    char path[PATH_SIZE];
    loading.paths.push_back(texture_path(path, entry.filename) ? std::string(path) : std::string());
    loading.placeholders.push_back((uint32_t)entry.sample_color);
  }
  // Textures are made on every core, each on its own; the entries take them
  // in order, as the progress counts.
  TextureLevels *spare = (TextureLevels *)malloc(sizeof(TextureLevels));
  if (!spare) return RESULT_NO_MEMORY;
  run_in_order_or_alone(count, sizeof(TextureLevels), make_texture, take_texture, &loading, (unsigned char *)spare);
  free(spare);
  if (loading.failed) return RESULT_NO_MEMORY;
  // Every entry was wanted first: the watcher sees them all in.
  if (watcher && watcher->shown && loading.first_count == count) watcher->shown(watcher->context);
  report_progress(reporter, "Loading Texture: Done." "                              ");
  return RESULT_OK;
}

int make_texture_levels(int t) {
  if (t < 1 || t > MAX_TEXTURES - 1) return RESULT_BAD_DATA;
  TextureEntry &entry = texture_table.textures[t];
  if (!entry.levels[0]) return RESULT_BAD_DATA;
  for (int k = 1; k < TEXTURE_LEVELS; k++) {
    if (entry.levels[k]) destroy_bitmap(entry.levels[k]);
    entry.levels[k] = shrink_bitmap(entry.levels[0], 1 << k, 1 << k);
    if (!entry.levels[k]) return RESULT_NO_MEMORY;
  }

  // The four corners of the 8 x 8 level, each component divided by 4.
  BITMAP *level = entry.levels[TEXTURE_SAMPLE_LEVEL];
  const int corner_x[4] = {0, 0, level->w - 1, level->w - 1};
  const int corner_y[4] = {0, level->h - 1, 0, level->h - 1};
  int r = 0, g = 0, b = 0;
  for (int i = 0; i < 4; i++) {
    const int c = ((const int32_t *)level->line[corner_y[i]])[corner_x[i]];
    r += getr32(c) / 4;
    g += getg32(c) / 4;
    b += getb32(c) / 4;
  }
  entry.sample_color = makecol(r, g, b);
  return RESULT_OK;
}
