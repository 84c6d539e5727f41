#include "terrain/edit_history.h"

#include <cstdio>

#include "terrain/terrain_model.h"

namespace {

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
};

// All zero at start, so it lies in BSS; ids count from 1, 0 is the opening state.
History history;

int step_map(const HistoryStep &step) {
  return step.action >= HISTORY_RAISE ? HISTORY_HEIGHT_MAP : HISTORY_TILE_MAP;
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

void restore(const HistoryStep &step, int after) {
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

void describe(const HistoryStep &step, char *text, int size) {
  static const char *const what[HISTORY_ACTIONS] = {
      "texture of tile",        "rotation of tile",        "tag of tile",
      "paste on tile",          "3 x 3 paste around tile", "heights raised on tile",
      "heights lowered on tile", "raised on tile",         "lowered on tile",
      "heights rotated on tile", "heights pasted on tile",
  };
  if (size <= 0) return;
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

}  // namespace

void history_begin(int action, int x, int y, int sample) {
  HistoryStep &step = history.pending;
  step.action = (int16_t)(action >= 0 && action < HISTORY_ACTIONS ? action : HISTORY_TEXTURE);
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

void history_end() {
  HistoryStep &step = history.pending;
  capture(step, 1);
  step.id = ++history.next_id;
  history.total = history.applied;
  if (history.total == HISTORY_MAX_STEPS) {
    const HistoryStep &oldest = step_at(0);
    history.base_id[step_map(oldest)] = oldest.id;
    history.first = (history.first + 1) % HISTORY_MAX_STEPS;
    history.applied--;
  }
  step_at(history.applied) = step;
  history.total = ++history.applied;
}

int history_undo(int *x, int *y, char *text, int size) {
  if (history.applied == 0) return 1;
  const HistoryStep &step = step_at(--history.applied);
  restore(step, 0);
  *x = step.x;
  *y = step.y;
  describe(step, text, size);
  return 0;
}

int history_redo(int *x, int *y, char *text, int size) {
  if (history.applied == history.total) return 1;
  const HistoryStep &step = step_at(history.applied++);
  restore(step, 1);
  *x = step.x;
  *y = step.y;
  describe(step, text, size);
  return 0;
}

int history_undo_count() { return history.applied; }
int history_redo_count() { return history.total - history.applied; }

int history_map_changed(int map) {
  if (map < 0 || map >= HISTORY_MAPS) return 0;
  return state_id(map) != history.saved_id[map];
}

void history_mark_saved(int map) {
  if (map >= 0 && map < HISTORY_MAPS) history.saved_id[map] = state_id(map);
}

void history_clear() {
  history.first = history.applied = history.total = 0;
  // Ids go on counting, so that no state of the old terrain matches a new one.
  const uint32_t opened = ++history.next_id;
  for (int m = 0; m < HISTORY_MAPS; m++) history.saved_id[m] = history.base_id[m] = opened;
}
