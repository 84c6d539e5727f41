// Sculpt mode: K in height display, the brush keys, the left button's
// strokes as the mouse's gestures hand them over, Shift + wheel, the brush
// drawn under the pointer and the strip's words for it.
#pragma once

#include <allegro.h>

#include "app/key_table.h"

void toggle_sculpt_mode(KeyCommand &c);
// 1 to 6: the brush.
// The brush of kind (SculptKind), as its number key chooses it.
void choose_sculpt_brush(int kind);

void sculpt_raise(KeyCommand &c);
void sculpt_lower(KeyCommand &c);
void sculpt_smooth(KeyCommand &c);
void sculpt_flatten(KeyCommand &c);
void sculpt_noise(KeyCommand &c);
void sculpt_erode(KeyCommand &c);
// ] and [: a sample larger or smaller (with Shift, 16); ' and ;: 5 % stronger or weaker.
void grow_sculpt_brush(KeyCommand &c);
void shrink_sculpt_brush(KeyCommand &c);
void stronger_sculpt_brush(KeyCommand &c);
void weaker_sculpt_brush(KeyCommand &c);

// A left press at pixel (mx, my) of the map view in sculpt mode: a stroke
// begins (ctrl: raise and lower swap), or with Shift held on the flatten
// brush the height there becomes its target. 1 when a stroke began.
int sculpt_press(const ViewState &view, int mx, int my, int ctrl, int shift);
// The stroke on to the pointer at (mx, my): 1 when it laid a dab.
int sculpt_drag(const ViewState &view, int mx, int my);
// The stroke's end: its step, said in the strip.
void sculpt_release();

// Shift + wheel in sculpt mode: 5 % stronger a notch away from the user,
// weaker towards; 1 when it took the notches.
int sculpt_wheel(const ViewState &view, int notches);

// The brush under the pointer in sculpt mode, and whether it would now be
// drawn elsewhere than the last frame drew it.
void draw_sculpt_brush(BITMAP *bmp, const ViewState &view);
int sculpt_brush_moved(const ViewState &view);

// "Sculpt: raise 24 samples 50 %", the strip's words for the brush ("" off sculpt mode).
void sculpt_mode_text(const ViewState &view, char *text, int size);
