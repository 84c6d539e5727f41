// The status strip under the map view and the progress messages shown in it.
#pragma once

#include <allegro.h>

#include "core/reporter.h"
#include "edit/tile_stamp.h"
#include "render/view/map_view.h"
#include "ui/display.h"

enum TextScheme {
  SCHEME_LABEL = 0,    // message font, black on pale blue
  SCHEME_TITLE = 1,    // dialog font, dark slate on pale blue
  SCHEME_VALUE = 2,    // message font, blue on pale blue
  SCHEME_OVERLAY = 3,  // message font, blue, transparent
};

// Formats into 256 characters and draws with the scheme's font and colours;
// a scheme outside 0..3 draws nothing.
void show_message(BITMAP *bmp, int x, int y, int scheme, const char *format, ...);

// Shows a progress message at its place in the strip, on the screen.
#define show_progress(...) show_message(screen, ui_size(3), display.status_y + ui_size(13), SCHEME_VALUE, __VA_ARGS__)

// Paints the whole strip (all but the mouse readout) for the cursor tile;
// drawn after the map view. With a view, also its selection's size and the
// brush in paint mode.
void draw_status_bar(BITMAP *bmp, int cursor_x, int cursor_y, const ViewState *view = nullptr);

// "height: 2888..2894" at (x, y) in the strip's colours, its two dots set
// apart; its width (only measured without bmp).
int height_range_text(BITMAP *bmp, int x, int y, int lowest, int highest);

// The selection's size and the left button's mode, as the strip shows them:
// "Paint 3 x 3", "Land: Grass 1 x 1" or "Targets" ("" for neither).
void selection_and_brush_text(const ViewState &view, char *text, int size);

// The tile clipboard as the strip shows it, in at most room pixels of the
// message font: "Clipboard: 12 grass_03.bmp" for one texture (the file name
// cut short, then left out, where room is short), "Copy 12 x 8" for a
// larger stamp; "" when it holds no texture to paste or nothing fits.
void clipboard_text(const TileStamp &stamp, int room, char *text, int size);

// Where the parts of the strip's upper line go in a window width pixels
// wide: the cursor tile's line from the left edge, its height range, and
// the pointer's readout ("Mouse xy:" or "Ruler:" and its value, readout_extra
// pixels wider for the height under the pointer). Where they stood before
// wherever that leaves them apart; in a narrower window the height range
// moves up to the tile's line, then the readout's label is left out and its
// value goes to the right edge.
struct StripLayout {
  int tile_end;         // first pixel right of the cursor tile's line
  int height_x, height_w;
  int label_x, label_w;  // label_x -1: the label is left out
  int value_x, value_w;
};
StripLayout strip_layout(int width, int readout_extra);

// Whether the layout keeps every part apart in a window width pixels wide.
bool strip_layout_fits(int width, int readout_extra);

// The readout's extra room: the height under the pointer's, in height
// display with a height map, and the latitude and longitude's for a terrain
// with a place on the Earth where the window has room for them beside the
// rest (from some 730 pixels wide); 0 for neither.
int strip_readout_extra(const ViewState *view);

// The readout's degrees for the point east, north metres of the south-west
// corner, as the strip shows them after its metres: " 43°12.3'N 19°05.6'E"
// (decimal degrees with the setting Degrees=decimal) padded to the room
// strip_readout_extra keeps for them; blanks for a point off the terrain
// (on_terrain 0) and "" for a terrain without a place or a window without
// room for them.
enum { STRIP_DEGREES_CHARS = 23 };
void strip_degrees_text(double east, double north, int on_terrain, char *text, int size);

// Draws text holding degree signs in the strip's value colours; its width.
int show_degrees(BITMAP *bmp, int x, int y, const char *text);

// The empty strip start-up shows while the terrain loads.
void draw_empty_status_bar(BITMAP *bmp);

// The window's side of the reports of loaders, writers and exports:
// progress texts in the status strip, warnings as alert boxes.
// Progress at (3, status_y + 13) on the screen in SCHEME_VALUE; a warning as
// an alert with its message, an empty line and its path, one button "OK",
// but a note as a line in the strip that stays after the next redraw;
// pauses as rest().
const Reporter *window_reporter();
