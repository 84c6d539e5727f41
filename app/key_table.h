// The main loop's key commands as one table: the first row that names the
// key pressed, whose modifiers were held with it and whose condition holds
// is carried out.
#pragma once

#include "app/key_presses.h"
#include "render/view/map_view.h"

// When a row applies at all; otherwise the search goes on with the next row.
enum KeyCondition {
  WHEN_ALWAYS,
  WHEN_TILE_EDITING,         // texture display at zoom level 4 or closer
  WHEN_HEIGHT_EDITING,       // height display at zoom level 4 or closer
  WHEN_EDIT_ZOOM,            // zoom level 4 or closer, either display
  WHEN_TARGETS_ENABLED,      // the setting Enable_Targets is not 0
  WHEN_PICKING_SAMPLES,      // height display at zoom level 0
  WHEN_NOT_PICKING_SAMPLES,  // any other display or zoom level
  WHEN_SELECTION_TILES,      // texture display with a selection, any zoom level
  WHEN_TEXTURE_DISPLAY,      // texture display at any zoom level
  WHEN_BRUSH,                // paint mode, or land mode in texture display: the brush paints
  WHEN_LANDS,                // land mode in texture display
  WHEN_SELECTION_HEIGHTS,    // height display with a selection, any zoom level
  WHEN_HEIGHT_DISPLAY,       // height display at any zoom level
  WHEN_HEIGHT_AREA,          // height display with a selection, or at zoom level 4 or closer
  WHEN_OVERVIEW,             // the overview is shown
  WHEN_TARGET_MODE,          // target mode (E)
  WHEN_SCULPT,               // sculpt mode (K) in height display
};

// What a row needs to do anything; a row that applies but lacks it ends the
// search doing nothing.
enum KeyNeed {
  NEED_NOTHING,
  NEED_TILE,               // a cursor tile on the map
  NEED_HEIGHTS,            // a loaded height map
  NEED_HEIGHTS_TILE,       // both
  NEED_HEIGHT_COPY,        // both, and copied heights
  NEED_DECLARED_TEXTURES,  // a texture declared by the terrain description
  NEED_ZOOM_IN_ROOM,       // a closer zoom level
  NEED_ZOOM_OUT_ROOM,      // a farther zoom level
  NEED_SLOWER_ROOM,        // the movement pacing below its top
};

enum KeyMarks { MARKS_NOTHING, MARKS_TILE_MAP, MARKS_HEIGHT_MAP };

enum { KEY_DELAY_MAX = 10, ZOOM_EDIT_MAX = 4, KEY_NOTE_SIZE = 128 };

// What an action works on.
struct KeyCommand {
  ViewState *view;
  int *key_delay;  // pacing of cursor movement, 0..KEY_DELAY_MAX
  int redraw = 0;  // set by an action whose texts must leave the strip
  char note[KEY_NOTE_SIZE] = "";  // shown in the strip once the view is redrawn
  char done[KEY_NOTE_SIZE] = "";  // what an edit did: the note only when it made a step
  int modifiers = 0;              // KeyModifierBits held at the key's press
};

// Sets the strip's note, padded like the progress messages so that it
// covers a longer text.
void key_note(KeyCommand &c, const char *text);

// "1 tile" or "W x H tiles", as the notes count tiles.
void tiles_text(int w, int h, char *text, int size);
// Sets what an edit did: format with the w x h tiles in place of its %s.
void key_done_tiles(KeyCommand &c, const char *format, int w, int h);
// Sets what Page Up or Page Down did: "Lowered 3 x 2 tiles (step 10 m).".
void height_step_done(KeyCommand &c, const char *what, const char *where);

#define NOTHING_COPIED_TEXT "Nothing copied: C or Ctrl + C copies tiles, X picks a texture."
#define NO_LANDS_TEXT "No lands: land mode needs a _LANDS.ini file that declares lands."


// Modifiers beyond single keys: either Ctrl key, and either Ctrl key with
// either Shift key.
enum { MODIFIER_CTRL = KEY_MAX + 1, MODIFIER_CTRL_SHIFT = KEY_MAX + 2 };

struct KeyRow {
  int keys[2];    // the key pressed is either; both 0: any key
  int modifier;   // held with it (a modifier key or a MODIFIER_...); 0: none needed
  int condition;  // KeyCondition
  int need;       // KeyNeed
  void (*action)(KeyCommand &command);
  int marks;      // KeyMarks: the map the row's edit changes (its history step marks it)
  int redraw;     // 1: the view is redrawn although the cursor stayed
  int pause_ms;   // pause after the action of a repeat (a key held down)
};

// The rows in their order of precedence; *count receives their number.
const KeyRow *key_table(int *count);

int condition_holds(int condition, const ViewState &view);
int need_met(int need, const ViewState &view, int key_delay);

// Whether a row's modifier is among modifiers (KeyModifierBits).
int modifier_held(int modifier, int modifiers);

// Walks the table against the key pressed and carries out the first
// matching row: its action and, for a repeat, its pause. The row for any key is the last
// resort, taken only when no row takes the key. Returns that row (null when
// none matched); *redraw is set when the row or its action forces a redraw.
// An edit row whose action made no step of the history says so in the note.
const KeyRow *run_key_table(KeyCommand &command, const KeyPress &press, int *redraw);
