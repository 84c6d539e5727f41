// The palette: items 1..count as pictures with a label beneath, in rows over
// the whole window, and a line at the bottom naming one of them. Its items
// are the declared textures (with their numbers), or in land mode the lands
// (their colours and names). Laid out and drawn here for any bitmap; the
// keys and the mouse that move through it are the shell's.
#pragma once

#include <allegro.h>

#include "core/terrain_model.h"

enum {
  PALETTE_PICTURE_MIN = 64,   // picture side when the textures do not all fit larger
  PALETTE_PICTURE_MAX = 128,  // the largest picture side
  PALETTE_INFO_HEIGHT = 26,   // the line at the bottom, as high as the status strip
  PALETTE_MARGIN = 8,         // around the grid
  PALETTE_GAP = 8,            // between pictures, across
  PALETTE_LABEL_HEIGHT = 20,  // the number beneath a picture, and the gap to the next row
};

// Where textures 1..count go. Texture t is cell t - 1, row by row; row r of
// the grid shows at the top when first_row is r.
struct PaletteLayout {
  int width = 0, height = 0;  // the bitmap
  int count = 0;              // textures 1..count
  int picture = PALETTE_PICTURE_MIN;
  int cell_w = 0, cell_h = 0;  // the pitch of the cells
  int columns = 1;             // cells a row
  int rows_visible = 1;        // whole rows in the grid area
  int total_rows = 0;
  int left = 0, top = 0;  // top-left corner of the first visible cell's picture
  int info_y = 0;         // top of the line at the bottom
};

// The layout of count textures in a width x height bitmap: the largest
// picture side, in steps of 16 from 128 down to 64, at which all fit
// without scrolling; 64 when none does.
PaletteLayout palette_layout(int width, int height, int count);

// The grid row texture t is in (t within 1..count).
inline int palette_row_of(const PaletteLayout &l, int t) { return (t - 1) / l.columns; }

// The highest first row: the last row at the bottom of the grid area.
int palette_last_first_row(const PaletteLayout &l);

// first_row brought within 0..palette_last_first_row.
int palette_clamped_first_row(const PaletteLayout &l, int first_row);

// The first row that shows texture t, moving as little as it can from first_row.
int palette_first_row_showing(const PaletteLayout &l, int first_row, int t);

// The texture whose cell (picture or number) holds pixel (x, y) with
// first_row at the top; 0 when none does.
int palette_texture_at(const PaletteLayout &l, int first_row, int x, int y);

// The line that names texture t: "Texture 12: grass_03.bmp, 512 x 512", or
// "... could not be read" for a declared file that did not load, "Texture
// 7: not declared" for a number the texture list leaves out.
void palette_texture_text(int t, char *text, int size);

// What a palette shows of its items: the picture, the label beneath it
// (cut to the cell's width when drawn) and the bottom line naming it.
class PaletteItems {
 public:
  virtual ~PaletteItems() = default;
  virtual void draw_picture(BITMAP *bmp, int item, int x, int y, int side) = 0;
  virtual void label(int item, char *text, int size);  // the number
  virtual void line(int item, char *text, int size) = 0;
};

// The lands as items: land n is item n, 1 to the highest declared (a number
// the file leaves out drawn "none"); each a square of its colour, its name
// beneath, "Land 2: Grass, colour 90,160,60" at the bottom.
class LandPaletteItems : public PaletteItems {
 public:
  void draw_picture(BITMAP *bmp, int item, int x, int y, int side) override;
  void label(int item, char *text, int size) override;
  void line(int item, char *text, int size) override;
};

// Sculpt mode's brushes as items: brush kind k (SculptKind) is item k + 1,
// each a small profile of what it does to the ground, its name beneath, and
// at the bottom its number key and what it does.
class SculptPaletteItems : public PaletteItems {
 public:
  void draw_picture(BITMAP *bmp, int item, int x, int y, int side) override;
  void label(int item, char *text, int size) override;
  void line(int item, char *text, int size) override;
};

// The highest declared land number, 0 without lands: the land palette's count.
int last_declared_land();

// The textures as items: the pictures of one layout's side. Sides 64 and 128 are the texture
// levels themselves; any other side is scaled from level 0 once, the first
// time a texture is drawn, and kept while the object lives.
class PalettePictures : public PaletteItems {
 public:
  explicit PalettePictures(int side);
  ~PalettePictures();
  PalettePictures(const PalettePictures &) = delete;
  PalettePictures &operator=(const PalettePictures &) = delete;
  int side() const { return side_; }
  // Texture t's picture, side x side; null when it has none to show (no
  // file read, a number not declared or without bitmaps).
  BITMAP *picture(int t);
  // The picture, or the map's colour with "no file" or "none" without one.
  void draw_picture(BITMAP *bmp, int t, int x, int y, int side) override;
  void line(int t, char *text, int size) override { palette_texture_text(t, text, size); }

 private:
  int side_;
  BITMAP *scaled_[MAX_TEXTURES] = {};
};

// What one frame shows: the rows from first_row, the choice framed, the
// item under the pointer outlined and the item the bottom line names.
struct PaletteFrame {
  int first_row = 0;
  int choice = 1;
  int hover = 0;  // 0: the pointer is on no texture
  int named = 1;
};

// Draws the palette of items over the whole of bmp.
void draw_palette(BITMAP *bmp, const PaletteLayout &l, PaletteItems &items, const PaletteFrame &f);
