#include "render/export/planning_map.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/relief_shading.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "core/work_threads.h"
#include "render/export/export_passes.h"
#include "render/export/label_places.h"
#include "render/export/shade_cache.h"
#include "render/export/shaded_blocks.h"
#include "render/export/tile_blocks.h"
#include "ui/display.h"

enum { PLANNING_BASE = 512, PLANNING_MAX = 4 * PLANNING_BASE };

int planning_scale(int kind) { return kind == 10 ? 4 : (kind == 9 ? 2 : 1); }

// For each map column and row, the working-bitmap column and row that
// stretch_blit copies there (-1: none). Found by letting the library
// stretch a line of numbered pixels, so the map picks exactly its pixels
// without the full-size picture ever being made.
static int stretch_columns[PLANNING_MAX];
static int stretch_rows[PLANNING_MAX];

static int probe_stretch(int source_size, int map_size, int horizontal, int *out) {
  BITMAP *line = horizontal ? create_bitmap_ex(32, source_size, 1) : create_bitmap_ex(32, 1, source_size);
  BITMAP *stretched = horizontal ? create_bitmap_ex(32, map_size, 1) : create_bitmap_ex(32, 1, map_size);
  int failed = !line || !stretched;
  if (!failed) {
    for (int k = 0; k < source_size; k++) {
      if (horizontal) ((uint32_t *)line->line[0])[k] = (uint32_t)k;
      else ((uint32_t *)line->line[k])[0] = (uint32_t)k;
    }
    clear_to_color(stretched, -1);
    stretch_blit(line, stretched, 0, 0, line->w, line->h, 0, 0, stretched->w, stretched->h);
    for (int k = 0; k < map_size; k++) {
      const uint32_t v = horizontal ? ((uint32_t *)stretched->line[0])[k]
                                    : ((uint32_t *)stretched->line[k])[0];
      out[k] = v < (uint32_t)source_size ? (int)v : -1;
    }
  }
  if (line) destroy_bitmap(line);
  if (stretched) destroy_bitmap(stretched);
  return failed;
}

// The relief at the samples each planning map picks, column by column
// ([x * E + y]), as the last embossed export or first planning map found
// it; all 0 until then, as the shade map is.
static uint8_t relief_512[512 * 512], relief_1024[1024 * 1024], relief_2048[2048 * 2048];

static uint8_t *planning_relief(int f) {
  return f == 4 ? relief_2048 : (f == 2 ? relief_1024 : relief_512);
}

// Set once a relief was stored: clearing before then touches nothing.
static bool planning_relief_stored = false;

void clear_planning_relief() {
  if (!planning_relief_stored) return;
  memset(relief_512, 0, sizeof(relief_512));
  memset(relief_1024, 0, sizeof(relief_1024));
  memset(relief_2048, 0, sizeof(relief_2048));
}

// Map columns handled by one part of a parallel pass.
enum { PLANNING_PART_COLUMNS = 64 };

static int planning_parts(int size) {
  return (size + PLANNING_PART_COLUMNS - 1) / PLANNING_PART_COLUMNS;
}

PlanningFrame planning_frame(int size) {
  int tx, ty;
  export_extent(&tx, &ty);
  PlanningFrame frame = {0, 0, size, size};
  // A square terrain fills the map exactly as it always has; any other
  // keeps its proportions, its longer side the map's.
  if (tx == ty || tx <= 0 || ty <= 0) return frame;
  const long long longer = tx > ty ? tx : ty;
  frame.w = (int)(((long long)size * tx + longer / 2) / longer);
  frame.h = (int)(((long long)size * ty + longer / 2) / longer);
  if (frame.w < 1) frame.w = 1;
  if (frame.h < 1) frame.h = 1;
  frame.x = (size - frame.w) / 2;
  frame.y = (size - frame.h) / 2;
  return frame;
}

// The stretch of the current terrain onto its frame of an E x E map, -1
// for the map's columns and rows around the frame; 1 when a probe cannot
// be made.
static int probe_planning_stretch(int size) {
  int tx, ty;
  export_extent(&tx, &ty);
  const PlanningFrame frame = planning_frame(size);
  for (int k = 0; k < size; k++) stretch_columns[k] = stretch_rows[k] = -1;
  return probe_stretch(4 * tx, frame.w, 1, stretch_columns + frame.x) ||
         probe_stretch(4 * ty, frame.h, 0, stretch_rows + frame.y);
}

void refresh_planning_relief() {
  int tx, ty;
  export_extent(&tx, &ty);
  if (tx == 0 || ty == 0) return;
  prepare_relief();
  planning_relief_stored = true;
  for (int f = 1; f <= 4; f *= 2) {
    const int size = PLANNING_BASE * f;
    uint8_t *relief = planning_relief(f);
    if (probe_planning_stretch(size)) {
      memset(relief, 0, (size_t)size * size);
      continue;
    }
    run_parts(planning_parts(size), [&](int k) {
      const int x0 = k * PLANNING_PART_COLUMNS;
      const int x1 = x0 + PLANNING_PART_COLUMNS < size ? x0 + PLANNING_PART_COLUMNS : size;
      for (int x = x0; x < x1; x++) {
        uint8_t *column = relief + (long)x * size;
        for (int y = 0; y < size; y++) {
          const int c = stretch_columns[x], r = stretch_rows[y];
          column[y] = (c >= 0 && r >= 0) ? relief_at(c, r) : 0;
        }
      }
    });
  }
}

// The stretched, shaded texture picture, pixel by pixel from the tile
// blocks, strips of columns on all cores; 1 when the probes cannot be made.
static int fill_from_blocks(BITMAP *map, int f) {
  const int size = map->w;
  if (probe_planning_stretch(size)) return 1;
  for (int k = 0; k < size; k++) {
    if (stretch_columns[k] < 0 || stretch_rows[k] < 0) {
      clear_to_color(map, 0);
      break;
    }
  }
  // Around a terrain that is not square: the frame's colour.
  const PlanningFrame frame = planning_frame(size);
  if (frame.w != size || frame.h != size) clear_to_color(map, display.colour_black);
  prepare_shaded_blocks(current_pixel_shifts(), 1);
  const uint8_t *relief = planning_relief(f);
  const ShadedBlocks &blocks = shaded_blocks();
  const uint32_t *shaded = blocks.pixels.data();
  // Down a strip the sampled rows advance a few samples at a time, so the
  // grid columns they come from stay in the cache.
  run_parts(planning_parts(size), [&](int k) {
    const int x0 = k * PLANNING_PART_COLUMNS;
    const int x1 = x0 + PLANNING_PART_COLUMNS < size ? x0 + PLANNING_PART_COLUMNS : size;
    for (int y = 0; y < size; y++) {
      const int row = stretch_rows[y];
      if (row < 0) continue;
      uint32_t *line = (uint32_t *)map->line[y];
      for (int x = x0; x < x1; x++) {
        const int column = stretch_columns[x];
        if (column < 0) continue;
        const Tile &tile = tile_map.tiles[column / 4][row / 4];
        const uint16_t colour =
            blocks.colours[rotation_turn[tile.rotation]][block_index(tile)][(row % 4) * 4 + column % 4];
        line[x] = shaded[colour * 256 + relief[(long)x * size + y]];
      }
    }
  });
  return 0;
}

// Without usable tile blocks: the full-size picture, stretched, then each
// picked pixel shaded with its relief.
static int fill_from_working_bitmap(BITMAP *map, int f) {
  int tx, ty;
  export_extent(&tx, &ty);
  const int size = map->w;
  if (probe_planning_stretch(size)) return 1;
  BITMAP *work = create_bitmap_ex(32, 4 * tx, 4 * ty);
  if (!work) return 1;
  draw_texture_pass(work, 0, 0);
  const PlanningFrame frame = planning_frame(size);
  clear_to_color(map, frame.w != size || frame.h != size ? display.colour_black : 0);
  stretch_blit(work, map, 0, 0, work->w, work->h, frame.x, frame.y, frame.w, frame.h);
  destroy_bitmap(work);
  const uint8_t *relief = planning_relief(f);
  for (int x = 0; x < size; x++) {
    if (stretch_columns[x] < 0) continue;
    for (int y = 0; y < size; y++) {
      if (stretch_rows[y] < 0) continue;
      uint32_t *pixel = (uint32_t *)map->line[y] + x;
      *pixel = (uint32_t)cached_shade((int)*pixel, relief[(long)x * size + y]);
    }
  }
  return 0;
}

// A position in metres within what round_to_int can take.
static double metres(float v) {
  if (!(v > -2e9f)) return v < 0 ? -2e9 : 0.0;  // NaN counts as 0
  return v < 2e9f ? (double)v : 2e9;
}

static int clamp_coordinate(long long v) {
  return v < -100000 ? -100000 : (v > 100000 ? 100000 : (int)v);
}

int planning_position(float pos_x, float pos_y, int f, int *px, int *py) {
  int tx, ty;
  export_extent(&tx, &ty);
  if (tx == 0 || ty == 0) return 1;
  // In 64 bits: the same truncating steps, without overflow for far-off
  // positions.
  const PlanningFrame frame = planning_frame(PLANNING_BASE * f);
  long long x = round_to_int(metres(pos_x)) / 10;
  x = frame.x + x * frame.w / ((long long)tx * 200);
  long long y = round_to_int(metres(pos_y)) / 10;
  y = frame.y + frame.h - y * frame.h / ((long long)ty * 200);
  *px = clamp_coordinate(x);
  *py = clamp_coordinate(y);
  return 0;
}

// Ten square cells along the terrain's longer side, from its north-west
// corner; the shorter side ends where the terrain does.
static void draw_grid(BITMAP *map, int f) {
  const PlanningFrame g = planning_frame(map->w);
  const int black = display.colour_black;
  rect(map, g.x, g.y, g.x + g.w - 1, g.y + g.h - 1, black);
  for (int k = 1; round_to_int(k * 51.2 * f) < g.h - 1; k++)
    hline(map, g.x + 1, g.y + round_to_int(k * 51.2 * f), g.x + g.w - 2, black);
  for (int k = 1; round_to_int(k * 51.2 * f) < g.w - 1; k++)
    vline(map, g.x + round_to_int(k * 51.2 * f), g.y + 1, g.y + g.h - 2, black);
}

// The airfields' names, in number order, each where the map view's placing
// puts it: beside its mark, clear of the names before it, or left out.
static void draw_area_names(BITMAP *map, int f) {
  FONT *text_font = display.label_font ? display.label_font : font;
  LabelPlacer placer;
  for (int n = 1; n <= areas_in_use(); n++) {
    const TargetArea &area = targets.areas[n];
    int px, py;
    if (area.runway_number <= 0 || planning_position(area.pos_x, area.pos_y, f, &px, &py)) continue;
    // "~" and at most 62 characters of the name fill the 64 bytes.
    char label[NAME_SIZE];
    snprintf(label, sizeof(label), "~%.*s", NAME_SIZE - 2, area.name);
    LabelBox box;
    if (placer.place(px, py, text_length(text_font, label), text_height(text_font), &box) == 0)
      textout_ex(map, text_font, label, box.x1, box.y1, display.colour_white, display.colour_slate);
  }
}

static void draw_area_marks(BITMAP *map, int kind, int f) {
  for (int n = 1; n <= areas_in_use(); n++) {
    const TargetArea &area = targets.areas[n];
    int px, py;
    if (planning_position(area.pos_x, area.pos_y, f, &px, &py)) continue;
    const int colour = area.enemy ? display.colour_red : display.colour_blue;
    if (area.runway_number > 0)
      circle(map, px, py, kind == 8 ? 2 : 3, colour);
    else if (kind != 8)
      rect(map, px - 1, py - 1, px + 1, py + 1, colour);
  }
}

BITMAP *make_planning_map(int kind) {
  const int f = planning_scale(kind);
  const int size = PLANNING_BASE * f;
  int tx, ty;
  export_extent(&tx, &ty);
  const int blocks_ready = prepare_tile_blocks() == 0;
  if (kind == 8) refresh_planning_relief();
  BITMAP *map = create_bitmap_ex(32, size, size);
  if (!map) return nullptr;
  if (tx == 0 || ty == 0) {
    clear_to_color(map, 0);
  } else {
    const int failed = blocks_ready ? fill_from_blocks(map, f) : fill_from_working_bitmap(map, f);
    if (failed) {
      destroy_bitmap(map);
      return nullptr;
    }
  }
  draw_grid(map, f);
  if (kind != 8) draw_area_names(map, f);
  draw_area_marks(map, kind, f);
  return map;
}
