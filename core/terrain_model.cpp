#include "core/terrain_model.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/mman.h>
#include <unistd.h>

#include "core/land_table.h"
#include "core/text_numbers.h"
#include "core/work_threads.h"

TileMap tile_map;
HeightMap height_map;
uint8_t shade_map[MAX_SAMPLES][MAX_SAMPLES];
int32_t height_palette[MAX_HEIGHT + 1];
TextureTable texture_table;
TargetSet targets;
TerrainPaths terrain_paths;

const char *declared_texture_name(int t) {
  if (t < 1 || t > texture_table.last_declared_texture || t >= MAX_TEXTURES) return nullptr;
  const char *name = texture_table.textures[t].filename;
  return name[0] && strcmp(name, "NONE") != 0 ? name : nullptr;
}

void init_placeholder_colours() {
  srand((unsigned)time(nullptr));
  for (int t = 0; t < MAX_TEXTURES; t++) {
    int r1 = rand(), r2 = rand();
    texture_table.textures[t].sample_color = makecol(156 + r1 % 100, 0, 156 + r2 % 100);
    texture_table.textures[t].loaded = 0;
  }
  texture_table.textures[1].sample_color = makecol(150, 0, 150);
  texture_table.textures[2].sample_color = makecol(156, 0, 156);
}

void release_textures() {
  for (int t = 1; t <= texture_table.texture_count && t < MAX_TEXTURES; t++) {
    TextureEntry &entry = texture_table.textures[t];
    for (int k = 0; k < TEXTURE_LEVELS; k++) {
      if (entry.levels[k]) destroy_bitmap(entry.levels[k]);
      entry.levels[k] = nullptr;
    }
  }
}

// Zeroes a range without touching whole pages that were never used: the pages
// inside the range are handed back to the system, only the partial ends are
// written.
static void zero_range(void *start, size_t size) {
  if (size == 0) return;
  const uintptr_t page = (uintptr_t)sysconf(_SC_PAGESIZE);
  uintptr_t begin = (uintptr_t)start, end = begin + size;
  uintptr_t inner_begin = (begin + page - 1) & ~(page - 1);
  uintptr_t inner_end = end & ~(page - 1);
  if (inner_begin >= inner_end ||
      madvise((void *)inner_begin, inner_end - inner_begin, MADV_DONTNEED) != 0) {
    memset(start, 0, size);
    return;
  }
  memset(start, 0, inner_begin - begin);
  memset((void *)inner_end, 0, end - inner_end);
}

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

// Pieces of a table faulted in by one part.
static const size_t TABLE_PIECE_BYTES = 32u << 20;

// Faults in the pages of [start, start + bytes).
static void populate(uintptr_t start, size_t bytes) {
  const uintptr_t page = (uintptr_t)sysconf(_SC_PAGESIZE);
  const uintptr_t begin = start & ~(page - 1);
  const uintptr_t end = (start + bytes + page - 1) & ~(page - 1);
  if (begin >= end || madvise((void *)begin, end - begin, MADV_POPULATE_WRITE) == 0 || errno != EINVAL)
    return;
  // An older kernel: touch one byte a page, keeping what it holds.
  for (uintptr_t p = begin; p < end; p += page) *(volatile char *)p = *(volatile char *)p;
}

void prepare_table_pages(void *first_column, size_t column_bytes, int columns, size_t used_bytes) {
  // A small grid's pages are faulted in as it is stored, sooner than a
  // call per column could fault them.
  if (columns <= 0 || used_bytes == 0 || (size_t)columns * used_bytes < TABLE_PIECE_BYTES) return;
  // Faulting fresh pages on every core beats faulting them one by one as
  // the file is read. No huge pages: on virtual machines that hand free
  // memory back to their host, a huge page is mostly taken from such
  // memory, and touching it first costs several times what small pages
  // recently freed in the guest cost (measured: 640 MB in 1.6 to 3 s
  // against 0.4 s).
  const uintptr_t start = (uintptr_t)first_column;
  if (2 * used_bytes >= column_bytes) {
    // Most of each column is used: the whole range, in large pieces.
    const size_t bytes = column_bytes * (size_t)(columns - 1) + used_bytes;
    const int parts = (int)((bytes + TABLE_PIECE_BYTES - 1) / TABLE_PIECE_BYTES);
    run_parts(parts, [&](int k) {
      const size_t offset = (size_t)k * TABLE_PIECE_BYTES;
      populate(start + offset, bytes - offset < TABLE_PIECE_BYTES ? bytes - offset : TABLE_PIECE_BYTES);
    });
    return;
  }
  // Short columns: only the used start of each.
  const int per_part = (int)(TABLE_PIECE_BYTES / column_bytes) + 1;
  run_parts((columns + per_part - 1) / per_part, [&](int k) {
    for (int x = k * per_part; x < (k + 1) * per_part && x < columns; x++)
      populate(start + (size_t)x * column_bytes, used_bytes);
  });
}

void clear_tile_high_bytes() {
  const int tx = tile_map.tiles_x;
  if (tile_map.high_byte_tiles > 0 && tx > 0)
    zero_range(&tile_map.high_bytes[0][0], sizeof(tile_map.high_bytes[0]) * (size_t)tx);
  tile_map.high_byte_tiles = 0;
}

void clear_terrain_model() {
  release_textures();

  // Only the columns the stored sizes reach can hold anything.
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  if (tx > 0 && ty > 0) zero_range(&tile_map.tiles[0][0], sizeof(tile_map.tiles[0]) * (size_t)tx);
  clear_tile_high_bytes();
  tile_map.records_read = 0;
  tile_map.tiles_x = tile_map.tiles_y = tile_map.header3 = tile_map.header4 = 0;
  tile_map.max_texture_used = 0;
  tile_map.stamp.known = 0;

  const int sx = height_map.samples_x, sy = height_map.samples_y;
  if (sx > 0 && sy > 0) {
    zero_range(&height_map.heights[0][0], sizeof(height_map.heights[0]) * (size_t)sx);
    zero_range(&shade_map[0][0], sizeof(shade_map[0]) * (size_t)sx);
  }
  height_map.samples_x = height_map.samples_y = height_map.header3 = height_map.header4 = 0;
  height_map.max_height = height_map.detected_height_step = height_map.height_step = 0;
  height_map.heights_loaded = 0;
  height_map.stamp.known = 0;
  memset(height_palette, 0, sizeof(height_palette));

  for (int t = 0; t < MAX_TEXTURES; t++) {
    TextureEntry &entry = texture_table.textures[t];
    entry.filename[0] = 0;
    entry.has_water = 0;
    entry.loaded = 0;
    entry.file_width = entry.file_height = 0;
  }
  init_placeholder_colours();
  clear_land_table();
  texture_table.textures_declared = texture_table.last_declared_texture = 0;
  texture_table.textures_loaded = texture_table.texture_count = 0;

  targets.area_count = targets.target_total = 0;
}

static float clamp_to_float(double value) {
  if (std::isnan(value)) return 0;
  if (value > FLT_MAX) return FLT_MAX;
  if (value < -FLT_MAX) return -FLT_MAX;
  return (float)value;
}

int drawn_metres(float value) {
  double v = value;
  if (!(v > -1e9)) v = -1e9;
  return round_to_int(v > 1e9 ? 1e9 : v);
}

int target_ground(const TargetArea &area, int t, double *east, double *north) {
  const double e = (double)area.pos_x + drawn_metres(area.targets[t].offset_x);
  const double n = (double)area.pos_y + drawn_metres(area.targets[t].offset_y);
  *east = e, *north = n;
  if (!(e >= 0 && n >= 0 && e < 2000.0 * map_columns() && n < 2000.0 * map_rows())) return TARGET_OFF_TERRAIN;
  const int texture = tile_map.tiles[(int)(e / 2000)][map_rows() - 1 - (int)(n / 2000)].texture;
  return texture >= 0 && texture < MAX_TEXTURES && texture_table.textures[texture].has_water ? TARGET_ON_WATER
                                                                                            : TARGET_ON_LAND;
}

void turn_area_targets(TargetArea &area) {
  const bool turned = area.target_count > 1 && area.runway_number >= 0 && area.targets[1].heading != 0;
  const double a = -area.targets[1].heading * 0.01745329;
  const double c = cos(a), s = sin(a);
  float reach = 0;
  for (int t = 1; t <= area.target_count && t < MAX_TARGETS; t++) {
    Target &target = area.targets[t];
    const double x = target.file_offset_x, y = target.file_offset_y;
    if (!turned || t == 1) {
      target.offset_x = target.file_offset_x;
      target.offset_y = target.file_offset_y;
    } else {
      target.offset_x = clamp_to_float(x * c - y * s);
      target.offset_y = clamp_to_float(x * s + y * c);
    }
    // NaN stays: no view passes over such an area.
    const float far = std::max(std::fabs(target.offset_x), std::fabs(target.offset_y));
    reach = std::isnan(far) || std::isnan(reach) ? NAN : std::max(reach, far);
  }
  area.reach = reach;
  area.reach_known = 1;
}
