// Shared set-up of the fuzz targets: the library without a display, a memory
// bitmap standing in for the screen, the built-in font for every text, and a
// scratch folder in memory for the files the readers are given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

void fuzz_init();

// Whether a grid of cells cells (a tile or a height sample each), declared
// by size input bytes of which each cell takes record_bytes, is worth a
// run: at most a few times what the bytes can fill, so that the work of a
// run follows the size of its input. The loaders' limits are checked apart
// from this, so larger grids are still declared and refused.
bool fuzz_grid_fits(long long cells, size_t size, long record_bytes);

// Zeroes what a grid run can have written: the tiles and height samples
// within the stored extents and the headers and counters of both grids.
// Far cheaper than clearing the whole model.
void fuzz_reset_grids();

// Writes the bytes to <scratch>/<name> and returns the path.
std::string fuzz_file(const char *name, const uint8_t *data, size_t size);

// One run of an image reader (images/image_pixels.h) on the bytes: a picture
// it gives must be within the texture size limits; small ones are made into
// bitmaps too.
struct ImagePixels;
int fuzz_image_reader(int (*read)(const unsigned char *, long, ImagePixels *), const uint8_t *data, size_t size);

// A small terrain in the model, the same at every call: 12 x 9 tiles of
// textures 1 to 9, their heights, textures 1 to 5 declared and two target
// areas. Cheap enough to make again before every run.
void fuzz_small_terrain();

// The lands file of the land import's terrain, also the seed of the lands
// reader's: four lands, twelve textures with corners, one of weight 0.
#define FUZZ_LANDS_TEXT                                                                                     \
  "[Land001]\nName=Water\nColor=40,90,170\n[Land002]\nName=Grass\nColor=90,160,60\n"                        \
  "[Land003]\nName=Sand\nColor=200,180,90\n[Land004]\nName=Rock\nColor=120,120,120\n\n"                     \
  "[Texture001]\nCorners=Water,Water,Water,Water\n[Texture002]\nCorners=Grass,Grass,Grass,Grass\n"         \
  "[Texture003]\nCorners=Sand,Sand,Sand,Sand\n[Texture004]\nCorners=Rock,Rock,Rock,Rock\n"                 \
  "[Texture005]\nCorners=Water,Water,Sand,Sand\n[Texture006]\nCorners=Water,Sand,Sand,Sand\n"              \
  "[Texture007]\nCorners=Sand,Grass,Grass,Sand\nWeight=3\n[Texture008]\nCorners=Grass,Grass,Rock,Grass\n" \
  "[Texture009]\nCorners=Grass, Rock, Rock, Rock\nWeight=0\n[Texture010]\nCorners=Water,Grass,Grass,Grass\n" \
  "[Texture011]\nCorners=Sand,Sand,Sand,Grass\n[Texture012]\nCorners=Water,Water,Water,Sand\nWeight=2\n"
