// The rows of the exports that are written as they are made: data and
// water maps at one pixel per tile, texture, embossed and height pictures
// at one pixel per height sample. Each gives exactly the pixels the whole
// working bitmap of export_passes.h would hold.
#pragma once

#include "render/export/export_stream.h"

// Prepares the kind's tables on this thread and describes its picture for
// the current terrain. 0 when ready; 1 when the kind cannot be made in
// bands (the tile blocks cannot stand for the sprites) and needs the whole
// working bitmap instead. Kinds 6 recompute the relief as they go.
int export_row_source(int kind, RowSource *source);

// A finished 8-bit or 32-bit bitmap as a row source (its lines are read
// from the worker threads, nothing else of the library).
RowSource bitmap_row_source(BITMAP *bmp, const RGB *palette);

// The height samples themselves, 16 bits a pixel, the north row first.
RowSource heights16_row_source();
