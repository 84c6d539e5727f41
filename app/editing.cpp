#include "app/editing.h"

#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "edit/height_edits.h"

namespace {

// Every edit that changes a byte is one step of the history; one that
// changes nothing leaves no step and the map as saved.
struct EditStep {
  EditStep(int action, int x, int y, int sample = 0) { history_begin(action, x, y, sample); }
  ~EditStep() { history_end(); }
  EditStep(const EditStep &) = delete;
  EditStep &operator=(const EditStep &) = delete;
};

}  // namespace


// One tile under a rule, as one step.
static void change_tile(int x, int y, int action, void (*rule)(Tile &)) {
  if (!tile_on_map(x, y)) return;
  EditStep step(action, x, y);
  rule(tile_at(x, y));
}

void next_texture(int x, int y) { change_tile(x, y, HISTORY_TEXTURE, raise_texture); }
void previous_texture(int x, int y) { change_tile(x, y, HISTORY_TEXTURE, lower_texture); }
void rotate_tile(int x, int y) { change_tile(x, y, HISTORY_ROTATION, turn_tile); }
void next_tag(int x, int y) { change_tile(x, y, HISTORY_TAG, next_tile_tag); }

void copy_tile_block(int x, int y) { copy_stamp(&clipboards.tiles, x - 1, y - 1, x + 1, y + 1); }

// Cells without a texture (off the map when copied, or texture 0) are never pasted.
static void paste_on(const StampCell &cell, int x, int y) {
  if (tile_on_map(x, y)) paste_cell(cell, tile_at(x, y));
}

void paste_tile(int x, int y) {
  if (!tile_on_map(x, y)) return;
  EditStep step(HISTORY_PASTE_TILE, x, y);
  paste_on(clipboards.tiles.centre(), x, y);
}

void paste_tile_block(int x, int y) {
  if (!tile_on_map(x, y)) return;
  const TileStamp &stamp = clipboards.tiles;
  // Any other size than 3 x 3 is an area step; 3 x 3 is the step it always was.
  if (stamp.w != 3 || stamp.h != 3) {
    area_stamp(stamp, x - stamp.w / 2, y - stamp.h / 2);
    return;
  }
  EditStep step(HISTORY_PASTE_BLOCK, x, y);
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++) paste_on(stamp.at(dx + 1, dy + 1), x + dx, y + dy);
}

static uint16_t &sample_at(int x, int y, int i, int j) {
  return height_map.heights[4 * x + i][4 * y + j];
}

static void change_heights(int x, int y, int picked, uint16_t (*rule)(uint16_t), int tile_action,
                           int sample_action) {
  if (!tile_on_map(x, y)) return;
  if (picked != -1) {
    EditStep step(sample_action, x, y, picked);
    const unsigned sample = (unsigned)picked % 16;
    uint16_t &h = sample_at(x, y, sample % 4, sample / 4);
    h = rule(h);
    return;
  }
  EditStep step(tile_action, x, y);
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) {
      uint16_t &h = sample_at(x, y, i, j);
      h = rule(h);
    }
}

void raise_heights(int x, int y, int picked) {
  change_heights(x, y, picked, raised_height, HISTORY_RAISE, HISTORY_RAISE_SAMPLE);
}
void lower_heights(int x, int y, int picked) {
  change_heights(x, y, picked, lowered_height, HISTORY_LOWER, HISTORY_LOWER_SAMPLE);
}

void rotate_tile_heights(int x, int y) {
  if (!tile_on_map(x, y)) return;
  EditStep step(HISTORY_ROTATE_HEIGHTS, x, y);
  turn_tile_samples(x, y);
}

void copy_tile_heights(int x, int y) {
  if (!tile_on_map(x, y)) return;
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) clipboards.heights[j][i] = sample_at(x, y, i, j);
}

void paste_tile_heights(int x, int y) {
  if (!tile_on_map(x, y)) return;
  EditStep step(HISTORY_PASTE_HEIGHTS, x, y);
  paste_tile_samples(x, y, clipboards.heights);
}
