#include "edit/edit_history.h"

#include <algorithm>
#include <array>
#include <deque>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "edit/land_grid.h"
#include "edit/rect_changes.h"
#include "edit/sample_changes.h"
#include "edit/target_edits.h"

namespace {

// An area step's tiles: those that changed within their bounding
// rectangle, column by column (the grid's own order), each with its value
// in the other state. Undo and redo swap these with the map, so one copy
// serves both ways.
struct AreaStep {
  int left, top, right, bottom;  // where undo and redo put the cursor
  long long covered;             // for the text
  int w, h;
  int cl = 0, ct = 0, cr = -1, cb = -1;  // bounds of the changed tiles
  std::vector<uint64_t> mask;            // a bit per tile of the bounds; empty: all changed
  Values<Tile> values;
  SampleChanges samples;                 // a height step's instead
  // A land step's changed grid points, kept as the tiles are.
  int pl = 0, pt = 0, pr = -1, pb = -1;
  std::vector<uint64_t> land_mask;
  Values<uint8_t> land_values;
  std::unique_ptr<TargetChange> targets;  // a target step's instead
  long long bytes() const {
    return (long long)(values.capacity() * sizeof(Tile) + mask.capacity() * 8 + land_mask.capacity() * 8 +
                       land_values.capacity()) +
           samples.bytes() + (targets ? targets->bytes() : 0);
  }
};

struct TileChange {
  int32_t x, y;
  Tile before, after;
};

struct HistoryStep {
  uint32_t id;
  int16_t action;
  int16_t count;  // tiles changed; 0 for a step off the map
  int16_t sample;
  int32_t x, y;
  AreaStep *area;  // area steps only (owned)
  union {
    TileChange tiles[9];
    struct {
      uint16_t before[16], after[16];  // [4 * j + i]
    } heights;
  };
};

// A ring of steps in BSS: the pages stay untouched until edits fill them.
struct History {
  HistoryStep steps[HISTORY_MAX_STEPS];
  int first;    // ring index of the oldest step
  int applied;  // steps that can be undone
  int total;    // applied plus those that can be redone
  uint32_t next_id;
  // The id of each map's state at its last save, and of its state when the
  // oldest kept step was made (the last step of it that fell off the ring).
  uint32_t saved_id[HISTORY_MAPS];
  uint32_t base_id[HISTORY_MAPS];
  HistoryStep pending;
  long long area_bytes;
  unsigned changes;
  int dropped;         // steps dropped since the last report
  int dropped_told;    // the drop has been reported since opening
};

// What an area command may change, as it was before: the rectangle's tiles
// column by column, or the tiles touched so far with a bit per map tile.
struct AreaCapture {
  int action;
  int touches;
  int heights;  // a height action: the samples below instead of tiles
  int left, top, right, bottom;
  Values<Tile> before;
  uint16_t *samples_before = nullptr;                      // the rectangle's samples, column by column
  // Touched tiles' samples [4 * i + j]; a deque grows without copying, so
  // that no frame of a long stroke pays for it.
  std::deque<std::pair<int64_t, std::array<uint16_t, 16>>> touched_heights;
  std::vector<uint64_t> seen;
  std::vector<std::pair<int64_t, Tile>> touched;  // x * MAX_TILES + y, and the value before
  // Land grid points: a rectangle's as they were, or each touched one.
  int pl = 0, pt = 0, pr = -1, pb = -1;
  Values<uint8_t> land_before;
  std::vector<uint64_t> land_seen;
  std::vector<std::pair<int64_t, uint8_t>> land_touched;  // x * LAND_GRID_SIZE + y
  // The counts the command gave of what it changed; -1: not given.
  long long tiles_counted = -1, points_counted = -1;
};
AreaCapture capture_area;

// All zero at start, so it lies in BSS; ids count from 1, 0 is the opening state.
History history;

HistoryWatcher watcher;
void (*settle_watcher)();

void settle() {
  if (settle_watcher) settle_watcher();
}

int height_action(int action) {
  return (action >= HISTORY_RAISE && action <= HISTORY_PASTE_HEIGHTS) ||
         (action >= HISTORY_AREA_RAISE_HEIGHTS && action <= HISTORY_AREA_HEIGHT_STROKE) ||
         action == HISTORY_AREA_RECOVERED_HEIGHTS ||
         (action >= HISTORY_AREA_SCULPT_RAISE && action <= HISTORY_AREA_SCULPT_ERODE) ||
         action == HISTORY_AREA_HEIGHTS_FROM_LANDS || action == HISTORY_AREA_IMPORT_HEIGHTS;
}

bool same_tile(const Tile &a, const Tile &b) {
  return a.texture == b.texture && a.rotation == b.rotation && a.tag == b.tag && a.extra[0] == b.extra[0] &&
         a.extra[1] == b.extra[1] && a.extra[2] == b.extra[2];
}

int step_map(const HistoryStep &step) {
  if (step.action == HISTORY_TARGETS) return HISTORY_TARGET_FILE;
  return height_action(step.action) ? HISTORY_HEIGHT_MAP : HISTORY_TILE_MAP;
}

// Column bands of the copies and comparisons of a rectangle: enough for
// every core, few enough that a small rectangle is not cut into slivers.
// Swaps the step's values with the map's: the other state in both.
void swap_area(AreaStep &area) {
  area.samples.swap_with_map();
  size_t point = 0, point_bit = 0;
  for (int x = area.pl; x <= area.pr; x++)
    for (int y = area.pt; y <= area.pb; y++, point_bit++)
      if (area.land_mask.empty() || (area.land_mask[point_bit / 64] >> (point_bit % 64) & 1))
        std::swap(land_grid[x][y], area.land_values[point++]);
  size_t k = 0, bit = 0;
  for (int x = area.cl; x <= area.cr; x++) {
    Tile *column = tile_map.tiles[x];
    for (int y = area.ct; y <= area.cb; y++, bit++) {
      if (!area.mask.empty() && !(area.mask[bit / 64] >> (bit % 64) & 1)) continue;
      std::swap(column[y], area.values[k++]);
    }
  }
}

void free_area(HistoryStep &step) {
  if (!step.area) return;
  history.area_bytes -= step.area->bytes();
  delete step.area;
  step.area = nullptr;
}

HistoryStep &step_at(int k) { return history.steps[(history.first + k) % HISTORY_MAX_STEPS]; }

int on_map(int x, int y) {
  const int columns = tile_map.tiles_x < MAX_TILES ? tile_map.tiles_x : MAX_TILES;
  const int rows = tile_map.tiles_y < MAX_TILES ? tile_map.tiles_y : MAX_TILES;
  return x >= 0 && y >= 0 && x < columns && y < rows;
}

uint16_t &sample_at(int x, int y, int k) { return height_map.heights[4 * x + k % 4][4 * y + k / 4]; }

// Reads the values the step covers into its before (or after) half.
void capture(HistoryStep &step, int after) {
  if (step_map(step) == HISTORY_HEIGHT_MAP) {
    if (step.count == 0) return;
    uint16_t *values = after ? step.heights.after : step.heights.before;
    for (int k = 0; k < 16; k++) values[k] = sample_at(step.x, step.y, k);
    return;
  }
  for (int n = 0; n < step.count; n++) {
    TileChange &change = step.tiles[n];
    (after ? change.after : change.before) = tile_at(change.x, change.y);
  }
}

void restore(HistoryStep &step, int after) {
  if (step.area && step.area->targets) {
    step.area->targets->apply(after);
    return;
  }
  if (step.area) {
    swap_area(*step.area);
    return;
  }
  if (step_map(step) == HISTORY_HEIGHT_MAP) {
    if (step.count == 0) return;
    const uint16_t *values = after ? step.heights.after : step.heights.before;
    for (int k = 0; k < 16; k++) sample_at(step.x, step.y, k) = values[k];
    return;
  }
  for (int n = 0; n < step.count; n++) {
    const TileChange &change = step.tiles[n];
    tile_at(change.x, change.y) = after ? change.after : change.before;
  }
}

// The watcher learns the places the step changed, the map holding their
// values of the state it came to.
void tell(const HistoryStep &step, int event) {
  if (!watcher) return;
  HistoryChange change = {event, step.action, {}, {}};
  if (step.area) {
    const AreaStep &a = *step.area;
    change.tiles.left = a.cl, change.tiles.top = a.ct, change.tiles.right = a.cr, change.tiles.bottom = a.cb;
    change.tiles.mask = a.mask.empty() ? nullptr : a.mask.data();
    change.samples = a.samples.places();
    change.targets = a.targets.get();
  } else if (step_map(step) == HISTORY_HEIGHT_MAP) {
    if (step.count) change.samples = {4 * step.x, 4 * step.y, 4 * step.x + 3, 4 * step.y + 3};
  } else if (step.count) {
    // The tiles on the map of a 3 x 3 block lie in one rectangle.
    ChangedPlaces &t = change.tiles;
    t.left = t.right = step.tiles[0].x, t.top = t.bottom = step.tiles[0].y;
    for (int n = 1; n < step.count; n++) {
      t.left = std::min(t.left, (int)step.tiles[n].x), t.right = std::max(t.right, (int)step.tiles[n].x);
      t.top = std::min(t.top, (int)step.tiles[n].y), t.bottom = std::max(t.bottom, (int)step.tiles[n].y);
    }
  }
  watcher(change);
}

void describe(const HistoryStep &step, char *text, int size) {
  static const char *const what[HISTORY_ACTIONS] = {
      "texture of tile",        "rotation of tile",        "tag of tile",
      "paste on tile",          "3 x 3 paste around tile", "heights raised on tile",
      "heights lowered on tile", "raised on tile",         "lowered on tile",
      "heights rotated on tile", "heights pasted on tile",
  };
  // Steps of a counted number of tiles say so; the others their width and height.
  static const char *const area_what[] = {
      "texture of %lld tiles", "rotation of %lld tiles", "tag of %lld tiles", "paste on %lld tiles",
      "paste of %d x %d tiles", "fill of %d x %d tiles", "flood fill of %lld tiles", "paint stroke of %lld tiles",
      "land stroke of %lld tiles", "land fill of %d x %d tiles", "land flood of %lld tiles",
      "heights raised on %d x %d tiles", "heights lowered on %d x %d tiles", "heights rotated on %d x %d tiles",
      "heights pasted on %d x %d tiles", "level of %d x %d tiles", "smooth of %d x %d tiles",
      "set height of %d x %d tiles", "ramp of %d x %d tiles", "height paste of %d x %d tiles",
      "height fill of %d x %d tiles", "height stroke of %lld tiles", "recovered edits on %d x %d tiles",
      "recovered heights on %d x %d tiles",
      "sculpt raise, %lld samples", "sculpt lower, %lld samples", "sculpt smooth, %lld samples",
      "sculpt flatten, %lld samples", "sculpt noise, %lld samples", "sculpt erode, %lld samples", "%s",
      "lands from heights, %lld points", "heights from lands, %lld tiles",
      "heights imported on %lld tiles"};
  static_assert(sizeof(area_what) / sizeof(area_what[0]) == HISTORY_ACTIONS - HISTORY_AREA_TEXTURE, "a text per step");
  if (size <= 0) return;
  if (step.area && step.area->targets) {
    snprintf(text, size, "%s", step.area->targets->what.c_str());
    return;
  }
  if (step.area) {
    const AreaStep &a = *step.area;
    const char *format = area_what[step.action - HISTORY_AREA_TEXTURE];
    if (strstr(format, "%lld"))
      snprintf(text, size, format, a.covered);
    else
      snprintf(text, size, format, a.w, a.h);
    return;
  }
  // The tile as the status strip's xy names it: rows count from the south edge.
  const int row = map_rows() - 1 - step.y;
  if (step.action == HISTORY_RAISE_SAMPLE || step.action == HISTORY_LOWER_SAMPLE) {
    snprintf(text, size, "height sample %d %s %d, %d", step.sample, what[step.action], step.x, row);
  } else {
    snprintf(text, size, "%s %d, %d", what[step.action], step.x, row);
  }
}

// The id of the map's state: its last applied step, or its base.
uint32_t state_id(int map) {
  for (int k = history.applied - 1; k >= 0; k--) {
    const HistoryStep &step = step_at(k);
    if (step_map(step) == map) return step.id;
  }
  return history.base_id[map];
}

// Drops the oldest step: its map's state then is the base.
void drop_oldest() {
  HistoryStep &oldest = step_at(0);
  history.base_id[step_map(oldest)] = oldest.id;
  free_area(oldest);
  history.first = (history.first + 1) % HISTORY_MAX_STEPS;
  history.applied--;
  history.total--;
  history.dropped++;
}

// Keeps the pending step: the steps that could have been redone go, and the
// oldest while there are too many or the area steps hold too much.
void keep_pending() {
  HistoryStep &step = history.pending;
  step.id = ++history.next_id;
  for (int k = history.applied; k < history.total; k++) free_area(step_at(k));
  history.total = history.applied;
  if (step.area) history.area_bytes += step.area->bytes();
  while (history.total > 0 &&
         (history.total == HISTORY_MAX_STEPS || history.area_bytes > HISTORY_MAX_BYTES))
    drop_oldest();
  step_at(history.applied) = step;
  history.total = ++history.applied;
  history.changes++;
  step.area = nullptr;
  tell(step_at(history.applied - 1), HISTORY_KEPT);
}

void start_pending(int action) {
  HistoryStep &step = history.pending;
  step.action = (int16_t)action;
  step.area = nullptr;
  step.count = 0;
}

void forget_land_capture() {
  AreaCapture &c = capture_area;
  c.pl = c.pt = 0;
  c.pr = c.pb = -1;
  c.land_before = Values<uint8_t>();
  c.land_seen = std::vector<uint64_t>();
  c.land_touched = std::vector<std::pair<int64_t, uint8_t>>();
}

// The grid points the land command changed, into the step: bounds, a mask
// when not all of them changed, and their values before.
void keep_land_changes(AreaStep &area) {
  AreaCapture &c = capture_area;
  std::vector<std::pair<int64_t, uint8_t>> changed;
  if (!c.land_before.empty()) {
    RectChanges<uint8_t> out = {0, 0, -1, -1, area.land_mask, area.land_values};
    keep_rect_changes(c.land_before, c.pl, c.pt, c.pr, c.pb, [](int x) { return land_grid[x]; },
                      [](uint8_t a, uint8_t b) { return a == b; }, c.points_counted, out);
    area.pl = out.cl, area.pt = out.ct, area.pr = out.cr, area.pb = out.cb;
  } else {
    std::sort(c.land_touched.begin(), c.land_touched.end());
    for (const auto &p : c.land_touched)
      if (land_grid[p.first / LAND_GRID_SIZE][p.first % LAND_GRID_SIZE] != p.second) changed.push_back(p);
  }
  forget_land_capture();
  if (changed.empty()) return;
  area.pl = area.pt = LAND_GRID_SIZE;
  for (const auto &p : changed) {
    const int x = (int)(p.first / LAND_GRID_SIZE), y = (int)(p.first % LAND_GRID_SIZE);
    area.pl = std::min(area.pl, x), area.pr = std::max(area.pr, x);
    area.pt = std::min(area.pt, y), area.pb = std::max(area.pb, y);
  }
  const long long rows = area.pb - area.pt + 1, bits = (area.pr - area.pl + 1) * rows;
  if ((long long)changed.size() < bits) area.land_mask.assign((size_t)(bits + 63) / 64, 0);
  area.land_values.reserve(changed.size());
  for (const auto &p : changed) {
    const long long bit = (p.first / LAND_GRID_SIZE - area.pl) * rows + (p.first % LAND_GRID_SIZE - area.pt);
    if (!area.land_mask.empty()) area.land_mask[(size_t)bit / 64] |= 1ULL << (bit % 64);
    area.land_values.push_back(p.second);
  }
}

}  // namespace

void history_land_rect(int left, int top, int right, int bottom) {
  AreaCapture &c = capture_area;
  c.pl = std::max(left, 0);
  c.pt = std::max(top, 0);
  c.pr = std::min(right, map_columns());
  c.pb = std::min(bottom, map_rows());
  if (c.pl > c.pr || c.pt > c.pb) return;
  capture_rect(c.land_before, c.pl, c.pt, c.pr, c.pb, [](int x) { return land_grid[x]; });
}

int history_land_touch(int x, int y) {
  AreaCapture &c = capture_area;
  if (!c.touches || !land_point_on_map(x, y)) return 0;
  if (c.land_seen.empty()) c.land_seen.assign(((size_t)LAND_GRID_SIZE * LAND_GRID_SIZE + 63) / 64, 0);
  const int64_t index = (int64_t)x * LAND_GRID_SIZE + y;
  uint64_t &word = c.land_seen[(size_t)index / 64];
  if (word >> (index % 64) & 1) return 0;
  word |= 1ULL << (index % 64);
  c.land_touched.push_back({index, land_grid[x][y]});
  return 1;
}

void history_area_counted(long long tiles, long long points) {
  capture_area.tiles_counted = tiles;
  capture_area.points_counted = points;
}

void history_begin_area(int action, int left, int top, int right, int bottom) {
  settle();
  AreaCapture &c = capture_area;
  c.tiles_counted = c.points_counted = -1;
  c.action = action;
  c.touches = 0;
  c.heights = height_action(action);
  c.left = std::max(left, 0);
  c.top = std::max(top, 0);
  c.right = std::min(right, map_columns() - 1);
  c.bottom = std::min(bottom, map_rows() - 1);
  c.before.clear();
  forget_land_capture();
  free(c.samples_before);
  c.samples_before = nullptr;
  if (c.left > c.right || c.top > c.bottom) return;
  if (c.heights) {
    const int columns = 4 * (c.right - c.left + 1);
    const size_t rows = 4 * (size_t)(c.bottom - c.top + 1);
    c.samples_before = (uint16_t *)malloc((size_t)columns * rows * 2);
    if (!c.samples_before) throw std::bad_alloc();
    const int parts = std::min(columns, 64);
    run_parts(parts, [&](int k) {
      for (int x = columns * k / parts; x < columns * (k + 1) / parts; x++)
        memcpy(c.samples_before + (size_t)x * rows, height_map.heights[4 * c.left + x] + 4 * c.top, rows * 2);
    });
    return;
  }
  capture_rect(c.before, c.left, c.top, c.right, c.bottom, [](int x) { return tile_map.tiles[x]; });
}

void history_begin_touches(int action) {
  settle();
  AreaCapture &c = capture_area;
  c.tiles_counted = c.points_counted = -1;
  c.action = action;
  c.touches = 1;
  c.heights = height_action(action);
  c.touched.clear();
  forget_land_capture();
  c.touched_heights.clear();
  c.seen.assign(((size_t)MAX_TILES * MAX_TILES + 63) / 64, 0);
}

int history_touch(int x, int y) {
  AreaCapture &c = capture_area;
  if (!c.touches || !tile_on_map(x, y)) return 0;
  const int64_t index = (int64_t)x * MAX_TILES + y;
  uint64_t &word = c.seen[(size_t)index / 64];
  if (word >> (index % 64) & 1) return 0;
  word |= 1ULL << (index % 64);
  if (!c.heights) {
    c.touched.push_back({index, tile_at(x, y)});
    return 1;
  }
  c.touched_heights.emplace_back();
  c.touched_heights.back().first = index;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) c.touched_heights.back().second[4 * i + j] = height_map.heights[4 * x + i][4 * y + j];
  return 1;
}

int history_end_area(long long covered, int w, int h, int left, int top, int right, int bottom) {
  AreaCapture &c = capture_area;
  AreaStep *area = new AreaStep();
  area->left = left;
  area->top = top;
  area->right = right;
  area->bottom = bottom;
  area->covered = covered;
  area->w = w;
  area->h = h;
  // The tiles that changed, each with its value before, in column order.
  std::vector<std::pair<int64_t, Tile>> changed;
  if (c.heights && c.touches) {
    // Tiles in column order give their samples in column order: a tile
    // column's four sample columns, each down all its tiles.
    std::vector<std::pair<int64_t, std::array<uint16_t, 16>>> tiles(c.touched_heights.begin(), c.touched_heights.end());
    c.touched_heights = {};
    std::sort(tiles.begin(), tiles.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<std::pair<int64_t, uint16_t>> samples;
    samples.reserve(tiles.size() * 16);
    for (size_t k = 0, next; k < tiles.size(); k = next) {
      const int64_t x = tiles[k].first / MAX_TILES;
      for (next = k; next < tiles.size() && tiles[next].first / MAX_TILES == x;) next++;
      for (int i = 0; i < 4; i++)
        for (size_t t = k; t < next; t++)
          for (int j = 0; j < 4; j++)
            samples.push_back({(4 * x + i) * MAX_SAMPLES + 4 * (tiles[t].first % MAX_TILES) + j, tiles[t].second[4 * i + j]});
    }
    area->samples.take_list(samples);
    c.seen = std::vector<uint64_t>();
  } else if (c.heights) {
    if (c.samples_before)
      area->samples.take_copy(4 * c.left, 4 * c.top, 4 * c.right + 3, 4 * c.bottom + 3, c.samples_before);
    c.samples_before = nullptr;
  } else if (c.touches) {
    std::sort(c.touched.begin(), c.touched.end(),
              [](const std::pair<int64_t, Tile> &a, const std::pair<int64_t, Tile> &b) { return a.first < b.first; });
    for (const auto &t : c.touched)
      if (!same_tile(t.second, tile_map.tiles[t.first / MAX_TILES][t.first % MAX_TILES])) changed.push_back(t);
    c.touched = std::vector<std::pair<int64_t, Tile>>();
    c.seen = std::vector<uint64_t>();
  } else if (!c.before.empty()) {
    RectChanges<Tile> out = {0, 0, -1, -1, area->mask, area->values};
    keep_rect_changes(c.before, c.left, c.top, c.right, c.bottom, [](int x) { return tile_map.tiles[x]; }, same_tile,
                      c.tiles_counted, out);
    area->cl = out.cl, area->ct = out.ct, area->cr = out.cr, area->cb = out.cb;
  }
  c.before = Values<Tile>();
  keep_land_changes(*area);
  if (!changed.empty()) {
    area->cl = area->ct = MAX_TILES;
    for (const auto &t : changed) {
      const int x = (int)(t.first / MAX_TILES), y = (int)(t.first % MAX_TILES);
      area->cl = std::min(area->cl, x), area->cr = std::max(area->cr, x);
      area->ct = std::min(area->ct, y), area->cb = std::max(area->cb, y);
    }
    const long long rows = area->cb - area->ct + 1, bits = (area->cr - area->cl + 1) * rows;
    if ((long long)changed.size() < bits) area->mask.assign((size_t)(bits + 63) / 64, 0);
    area->values.reserve(changed.size());
    for (const auto &t : changed) {
      const long long bit = (t.first / MAX_TILES - area->cl) * rows + (t.first % MAX_TILES - area->ct);
      if (!area->mask.empty()) area->mask[(size_t)bit / 64] |= 1ULL << (bit % 64);
      area->values.push_back(t.second);
    }
  }
  if (area->cr < area->cl && area->samples.count() == 0 && area->pr < area->pl) {
    delete area;
    return 0;
  }
  start_pending(c.action);
  HistoryStep &step = history.pending;
  step.x = left + (right - left) / 2;
  step.y = top + (bottom - top) / 2;
  step.area = area;
  keep_pending();
  return 1;
}

void history_begin_samples() { settle(); }

int history_end_samples(int action, uint32_t *places, uint16_t *values, long long n, long long covered, int x, int y) {
  if (n <= 0 || covered <= 0 || !height_action(action) || action < HISTORY_AREA_TEXTURE) {
    free(places);
    free(values);
    return 0;
  }
  AreaStep *area = new AreaStep();
  area->left = area->right = x;
  area->top = area->bottom = y;
  area->covered = covered;
  area->w = area->h = 1;
  area->samples.take_places(places, values, n);
  start_pending(action);
  history.pending.x = x;
  history.pending.y = y;
  history.pending.area = area;
  keep_pending();
  return 1;
}

int history_target_step(TargetChange *change) {
  std::unique_ptr<TargetChange> taken(change);
  if (!taken) return 0;
  start_pending(HISTORY_TARGETS);
  HistoryStep &step = history.pending;
  // Undo and redo go to the area's tile.
  const TargetArea &area = taken->after ? *taken->after : *taken->before;
  const double e = area.pos_x / 2000.0, n = area.pos_y / 2000.0;
  step.x = std::clamp((int)std::clamp(e, -1.0, (double)MAX_TILES), 0, std::max(map_columns() - 1, 0));
  step.y = std::clamp(map_rows() - 1 - (int)std::clamp(n, -1.0, (double)MAX_TILES), 0, std::max(map_rows() - 1, 0));
  step.area = new AreaStep();
  step.area->targets = std::move(taken);
  keep_pending();
  return 1;
}

void history_forget_targets() {
  int kept = 0, applied = 0;
  for (int k = 0; k < history.total; k++) {
    HistoryStep &step = step_at(k);
    if (step_map(step) == HISTORY_TARGET_FILE) {
      free_area(step);
      continue;
    }
    if (k < history.applied) applied++;
    if (kept != k) step_at(kept) = step, step.area = nullptr;
    kept++;
  }
  history.total = kept;
  history.applied = applied;
  history.changes++;
  history.saved_id[HISTORY_TARGET_FILE] = history.base_id[HISTORY_TARGET_FILE] = ++history.next_id;
  if (watcher) watcher(HistoryChange{HISTORY_SAVED, HISTORY_TARGET_FILE, {}, {}});
}

long long history_area_bytes() { return history.area_bytes; }

int history_take_dropped() {
  const int n = history.dropped_told ? 0 : history.dropped;
  history.dropped = 0;
  if (n > 0) history.dropped_told = 1;
  return n;
}

void history_begin(int action, int x, int y, int sample) {
  settle();
  HistoryStep &step = history.pending;
  step.area = nullptr;
  step.action = (int16_t)(action >= 0 && action < HISTORY_AREA_TEXTURE ? action : HISTORY_TEXTURE);
  step.x = x;
  step.y = y;
  step.sample = (int16_t)(sample & 15);
  step.count = 0;
  if (step_map(step) == HISTORY_HEIGHT_MAP) {
    step.count = on_map(x, y) ? 16 : 0;
  } else {
    const int reach = step.action == HISTORY_PASTE_BLOCK ? 1 : 0;
    for (int dy = -reach; dy <= reach; dy++)
      for (int dx = -reach; dx <= reach; dx++)
        if (on_map(x + dx, y + dy)) step.tiles[step.count++] = {x + dx, y + dy, {}, {}};
  }
  capture(step, 0);
}

int history_end() {
  HistoryStep &step = history.pending;
  capture(step, 1);
  int changed = 0;
  if (step_map(step) == HISTORY_HEIGHT_MAP)
    changed = step.count > 0 && memcmp(step.heights.before, step.heights.after, sizeof(step.heights.before)) != 0;
  for (int n = 0; n < step.count && !changed && step_map(step) == HISTORY_TILE_MAP; n++)
    changed = !same_tile(step.tiles[n].before, step.tiles[n].after);
  if (!changed) return 0;
  keep_pending();
  return 1;
}

int history_undo(int *x, int *y, char *text, int size) {
  settle();
  if (history.applied == 0) return 1;
  HistoryStep &step = step_at(--history.applied);
  restore(step, 0);
  history.changes++;
  tell(step, HISTORY_UNDONE);
  *x = step.x;
  *y = step.y;
  describe(step, text, size);
  return 0;
}

int history_redo(int *x, int *y, char *text, int size) {
  settle();
  if (history.applied == history.total) return 1;
  HistoryStep &step = step_at(history.applied++);
  restore(step, 1);
  history.changes++;
  tell(step, HISTORY_REDONE);
  *x = step.x;
  *y = step.y;
  describe(step, text, size);
  return 0;
}

int history_undo_count() { return history.applied; }
unsigned history_changes() { return history.changes; }
int history_redo_count() { return history.total - history.applied; }

int history_map_changed(int map) {
  if (map < 0 || map >= HISTORY_MAPS) return 0;
  return state_id(map) != history.saved_id[map];
}

void history_mark_saved(int map) {
  if (map < 0 || map >= HISTORY_MAPS) return;
  history.saved_id[map] = state_id(map);
  if (watcher) watcher(HistoryChange{HISTORY_SAVED, map, {}, {}});
}

// Id 0 is no state's: ids count from 1.
void history_mark_unsaved(int map) {
  if (map < 0 || map >= HISTORY_MAPS) return;
  history.saved_id[map] = 0;
  history.changes++;
}

void history_watch(HistoryWatcher w, void (*settle)()) {
  watcher = w;
  settle_watcher = settle;
}

void history_tell_applied() {
  for (int k = 0; k < history.applied; k++) tell(step_at(k), HISTORY_KEPT);
}

void history_clear() {
  settle();
  for (int k = 0; k < history.total; k++) free_area(step_at(k));
  history.first = history.applied = history.total = 0;
  history.dropped = history.dropped_told = 0;
  history.changes++;
  // Ids go on counting, so that no state of the old terrain matches a new one.
  const uint32_t opened = ++history.next_id;
  for (int m = 0; m < HISTORY_MAPS; m++) history.saved_id[m] = history.base_id[m] = opened;
}
