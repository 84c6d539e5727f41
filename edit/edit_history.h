// The edits of the open terrain, step by step, for undo and redo, and where
// the last save of each map lies among them.
#pragma once

#include <cstdint>

#include "edit/sample_changes.h"

enum HistoryMap {
  HISTORY_TILE_MAP = 0,
  HISTORY_HEIGHT_MAP = 1,
  HISTORY_TARGET_FILE = 2,  // the target areas, saved as their file
  HISTORY_MAPS = 3,
};

enum HistoryAction {
  HISTORY_TEXTURE,         // next or previous texture of a tile
  HISTORY_ROTATION,        // quarter turn of a tile
  HISTORY_TAG,             // next tag of a tile
  HISTORY_PASTE_TILE,      // the clipboard's centre cell pasted on a tile
  HISTORY_PASTE_BLOCK,     // all nine cells pasted around a tile
  HISTORY_RAISE,           // the 16 heights of a tile raised
  HISTORY_LOWER,           // the 16 heights of a tile lowered
  HISTORY_RAISE_SAMPLE,    // one height sample raised
  HISTORY_LOWER_SAMPLE,    // one height sample lowered
  HISTORY_ROTATE_HEIGHTS,  // quarter turn of a tile's heights
  HISTORY_PASTE_HEIGHTS,   // the height clipboard pasted on a tile
  // Area steps: any number of tiles, kept apart from the ring.
  HISTORY_AREA_TEXTURE,    // next or previous texture of the selected tiles
  HISTORY_AREA_ROTATION,   // quarter turn of the selected tiles
  HISTORY_AREA_TAG,        // next tag of the selected tiles
  HISTORY_AREA_PASTE,      // the clipboard's centre cell on the selected tiles
  HISTORY_AREA_STAMP,      // every cell of the clipboard pasted
  HISTORY_AREA_FILL,       // the selection filled with the clipboard
  HISTORY_AREA_FLOOD,      // a region of one texture filled
  HISTORY_AREA_STROKE,     // a brush stroke
  // Land steps: corner points of the land grid and the tiles retiled for them.
  HISTORY_AREA_LAND_STROKE,  // a land brush stroke
  HISTORY_AREA_LAND_FILL,    // every corner point of a rectangle one land
  HISTORY_AREA_LAND_FLOOD,   // a region of one land's points flooded
  // Area steps on the height map.
  HISTORY_AREA_RAISE_HEIGHTS,   // the selected tiles' heights raised
  HISTORY_AREA_LOWER_HEIGHTS,   // ... lowered
  HISTORY_AREA_ROTATE_HEIGHTS,  // ... each tile's turned a quarter
  HISTORY_AREA_PASTE_HEIGHTS,   // the height clipboard pasted on each tile
  HISTORY_AREA_LEVEL,           // every sample the area's mean
  HISTORY_AREA_SMOOTH,          // one pass of 3 x 3 means
  HISTORY_AREA_SET_HEIGHT,      // every sample one height
  HISTORY_AREA_RAMP,            // an even slope from one side to the other
  HISTORY_AREA_HEIGHT_STAMP,    // the copied heights pasted
  HISTORY_AREA_HEIGHT_FILL,     // the selection filled with the copied heights
  HISTORY_AREA_HEIGHT_STROKE,   // a brush stroke raising or lowering
  // The edits of a recovery journal put on the terrain as read, one step a map.
  HISTORY_AREA_RECOVERED_TILES,
  HISTORY_AREA_RECOVERED_HEIGHTS,
  // Sculpt strokes (edit/sculpt_brushes.h), one per brush.
  HISTORY_AREA_SCULPT_RAISE,
  HISTORY_AREA_SCULPT_LOWER,
  HISTORY_AREA_SCULPT_SMOOTH,
  HISTORY_AREA_SCULPT_FLATTEN,
  HISTORY_AREA_SCULPT_NOISE,
  HISTORY_AREA_SCULPT_ERODE,
  // A change of the target areas (edit/target_edits.h).
  HISTORY_TARGETS,
  // Sea level and lands made to agree (edit/sea_level.h), after the others
  // so that the numbers a journal holds keep their meaning.
  HISTORY_AREA_LANDS_FROM_HEIGHTS,
  HISTORY_AREA_HEIGHTS_FROM_LANDS,
  // Heights of an elevation model or a picture put on the map (Ctrl + I).
  HISTORY_AREA_IMPORT_HEIGHTS,
  HISTORY_ACTIONS,
};

enum {
  HISTORY_MAX_STEPS = 10000,  // the oldest step goes when a new one would exceed this
  HISTORY_TEXT_SIZE = 64,
};

// ... and when the area steps would hold more than this.
const long long HISTORY_MAX_BYTES = 512LL << 20;

// Around every edit of tile (x, y): begin remembers what the action may
// change (sample: the height sample of a single-sample action), end keeps the
// step with the values before and after and drops the steps that could have
// been redone. An edit that changed no byte (or a tile off the map) is no
// step: end returns 0 for it, 1 for a step kept.
void history_begin(int action, int x, int y, int sample);
int history_end();

// Around an area command. begin_area remembers the tiles of the rectangle
// (inclusive corners, clipped to the map); begin_touches remembers nothing
// until touch is called for a tile, before it changes (a stroke, whose
// extent is not known in advance). end_area keeps only the tiles that
// changed; covered, w and h are what the step's text says ("fill of w x h
// tiles", "flood fill of covered tiles"), left..bottom the rectangle whose
// centre undo and redo go to.
void history_begin_area(int action, int left, int top, int right, int bottom);
void history_begin_touches(int action);
int history_touch(int x, int y);  // 1 the first time for the tile
void history_land_rect(int left, int top, int right, int bottom);
int history_land_touch(int x, int y);
// For a height action both remember the tiles' 16 samples each. Land steps
// also keep the land grid's points they change (edit/land_grid.h): after
// begin_area or begin_touches, land_rect remembers the points of a
// rectangle (inclusive, clipped to the map's points), land_touch one point
// before it changes (1 the first time). Undo and redo put the points back
// with the tiles; a step that changed points only is still a step. Returns 1
// when the step was kept, 0 when nothing changed and there is no step.
int history_end_area(long long covered, int w, int h, int left, int top, int right, int bottom);
// Before end_area of a rectangle: the command counted the tiles and points
// it changed in it (changing no field of a tile but texture and rotation),
// so end_area need not compare the whole rectangle again when nearly all
// or none of them changed.
void history_area_counted(long long tiles, long long points);

// A height command that keeps its own copy of what it changes (a sculpt
// stroke): begin_samples before its first change; end_samples keeps n
// places (X * MAX_SAMPLES + Y, each once) with their values before, both
// malloc'd and taken over, as one step, the map as it is now after it;
// covered: what the text counts, (x, y) the tile undo and redo go to.
// Returns 0, and keeps no step, when n or covered is 0.
void history_begin_samples();
int history_end_samples(int action, uint32_t *places, uint16_t *values, long long n, long long covered, int x, int y);

// Keeps a change of the target areas, made already, as a step of its own:
// undone and redone with the rest, its text the change's ("move of
// TargetArea004"). 0 for no change.
struct TargetChange;
int history_target_step(TargetChange *change);  // taken over

// Drops every step of the target areas, kept or undone, the other steps
// staying in their order: the areas were read again from their file, which
// is their saved state now.
void history_forget_targets();

// Bytes the area steps hold.
long long history_area_bytes();

// Steps dropped to keep within the bounds since the last call (0 after the
// first report since opening: the strip says it once).
int history_take_dropped();

// Puts back the last edit (or makes the next undone one again): 0 with the
// tile it changed and its description ("texture of tile 12, 40", the row
// counted from the south edge as the status strip counts it), or 1 when
// there is none.
int history_undo(int *x, int *y, char *text, int size);
int history_redo(int *x, int *y, char *text, int size);

int history_undo_count();
// Changes with every edit, undo, redo and clearing: pictures made from the
// maps stay good while it does not.
unsigned history_changes();
int history_redo_count();

// 1 while the map differs from its state at the last save (or at opening),
// as far as the edits since then tell.
int history_map_changed(int map);

// The map's current state is the saved one.
void history_mark_saved(int map);

// Forgets every step: the state of a newly opened terrain counts as saved.
void history_clear();

// What a kept, undone or redone step changed, and each map saved, for one
// watcher that keeps the edits elsewhere (the recovery journal). Only the
// places: their values are the map's as it is during the call. Land grid
// points are left out, as the grid is read again from the tiles. Reading
// the target areas again from their file counts as their save.
enum HistoryEvent { HISTORY_KEPT, HISTORY_UNDONE, HISTORY_REDONE, HISTORY_SAVED };
struct HistoryChange {
  int event;
  int action;  // HISTORY_SAVED: the map saved
  ChangedPlaces tiles;    // a bit per tile when masked
  ChangedPlaces samples;  // height steps
  const TargetChange *targets = nullptr;  // a target step's change (undone: taken back)
};
typedef void (*HistoryWatcher)(const HistoryChange &change);
// settle, when given, is called before the history or the maps change
// again (each begin, undo, redo and clearing): a watcher still reading the
// places of the last step on another thread finishes first.
void history_watch(HistoryWatcher watcher, void (*settle)() = nullptr);  // null: none
// Tells the watcher every step that can be undone again, oldest first, as
// if each were just kept (a watcher that was let go meanwhile catches up).
void history_tell_applied();

// The map's state counts as unsaved until its next save (edits recovered
// from elsewhere).
void history_mark_unsaved(int map);
