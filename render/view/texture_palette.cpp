#include "render/view/texture_palette.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/land_table.h"
#include "edit/sculpt_brushes.h"

#include "ui/display.h"
#include "ui/draw_box.h"

namespace {

// The frame of the choice reaches this far outside its picture; the cells
// leave room for it.
enum { FRAME_REACH = 4, SCROLL_BAR_W = 4, LABEL_SIZE = LAND_NAME_SIZE };

// The number beneath a picture grows with the interface's texts.
int cell_height(int side) { return side + ui_size(PALETTE_LABEL_HEIGHT); }

// Columns and rows of side-pixel pictures in the grid area.
void fit(PaletteLayout &l, int side) {
  const int grid_w = l.width - 2 * PALETTE_MARGIN, grid_h = l.info_y - 2 * PALETTE_MARGIN;
  l.picture = side;
  l.cell_w = side + PALETTE_GAP;
  l.cell_h = cell_height(side);
  l.columns = std::max(1, (grid_w + PALETTE_GAP) / l.cell_w);
  l.rows_visible = std::max(1, grid_h / l.cell_h);
}

// Level k of a texture is 256 >> k pixels square: the sides that need no scaling.
int level_of_side(int side) {
  for (int k = 0; k < TEXTURE_LEVELS; k++)
    if (256 >> k == side) return k;
  return -1;
}

// level 0 averaged down to side x side, each picture pixel the mean of the
// source pixels its area covers (whole pixels, 2 or 3 a side for the sides
// used here).
BITMAP *scaled_picture(BITMAP *src, int side) {
  if (!is_memory_bitmap(src) || bitmap_color_depth(src) != 32) {
    BITMAP *out = create_bitmap_ex(bitmap_color_depth(src), side, side);
    if (out) stretch_blit(src, out, 0, 0, src->w, src->h, 0, 0, side, side);
    return out;
  }
  BITMAP *out = create_bitmap_ex(32, side, side);
  if (!out) return nullptr;
  for (int dy = 0; dy < side; dy++) {
    const int y0 = dy * src->h / side, y1 = std::max(y0 + 1, (dy + 1) * src->h / side);
    uint32_t *row = (uint32_t *)out->line[dy];
    for (int dx = 0; dx < side; dx++) {
      const int x0 = dx * src->w / side, x1 = std::max(x0 + 1, (dx + 1) * src->w / side);
      uint32_t r = 0, g = 0, b = 0;
      for (int y = y0; y < y1; y++) {
        const uint32_t *in = (const uint32_t *)src->line[y];
        for (int x = x0; x < x1; x++) {
          r += (in[x] >> 16) & 0xFF;
          g += (in[x] >> 8) & 0xFF;
          b += in[x] & 0xFF;
        }
      }
      const uint32_t n = (uint32_t)((x1 - x0) * (y1 - y0));
      row[dx] = (r / n) << 16 | (g / n) << 8 | (b / n);
    }
  }
  return out;
}

// A cell with no picture: the map's colour for the number and what is missing.
void draw_placeholder(BITMAP *bmp, int t, int x, int y, int side) {
  const bool declared = declared_texture_name(t) != nullptr;
  const int fill = declared && t < MAX_TEXTURES ? texture_table.textures[t].sample_color : display.colour_slate;
  rectfill(bmp, x, y, x + side - 1, y + side - 1, fill);
  if (display.message_font)
    textout_centre_ex(bmp, display.message_font, declared ? "no file" : "none", x + side / 2,
                      y + side / 2 - text_height(display.message_font) / 2,
                      declared ? display.colour_black : display.colour_white, -1);
}

void draw_cell(BITMAP *bmp, const PaletteLayout &l, PaletteItems &items, const PaletteFrame &f, int t, int x,
               int y) {
  const int s = l.picture;
  items.draw_picture(bmp, t, x, y, s);
  if (t == f.hover) rect(bmp, x - 2, y - 2, x + s + 1, y + s + 1, display.colour_pale_blue);
  if (t == f.choice) {
    rect(bmp, x - 4, y - 4, x + s + 3, y + s + 3, display.colour_black);
    rect(bmp, x - 3, y - 3, x + s + 2, y + s + 2, display.colour_white);
    rect(bmp, x - 2, y - 2, x + s + 1, y + s + 1, display.colour_white);
  }
  if (!display.message_font) return;
  char number[LABEL_SIZE];
  items.label(t, number, sizeof(number));
  // A long name is cut to the cell, so that it stays clear of its neighbours'.
  for (size_t n = strlen(number); n > 1 && text_length(display.message_font, number) > l.cell_w - 2; n--)
    number[n - 1] = 0;
  textout_centre_ex(bmp, display.message_font, number, x + s / 2, y + s + FRAME_REACH + 1,
                    t == f.choice ? display.colour_white : display.colour_pale_blue, -1);
}

// Where the visible rows lie among all of them, along the right edge.
void draw_scroll_bar(BITMAP *bmp, const PaletteLayout &l, int first_row) {
  if (l.total_rows <= l.rows_visible) return;
  const int x1 = l.width - PALETTE_MARGIN / 2 - SCROLL_BAR_W / 2, x2 = x1 + SCROLL_BAR_W - 1;
  const int y1 = PALETTE_MARGIN, y2 = l.info_y - PALETTE_MARGIN - 1, span = y2 - y1 + 1;
  rectfill(bmp, x1, y1, x2, y2, display.colour_slate);
  const int top = y1 + (int)((long long)span * first_row / l.total_rows);
  const int bottom = y1 + (int)((long long)span * (first_row + l.rows_visible) / l.total_rows) - 1;
  rectfill(bmp, x1, top, x2, std::max(top, bottom), display.colour_steel);
}

void draw_info(BITMAP *bmp, const PaletteLayout &l, PaletteItems &items, int named) {
  draw_box(bmp, 0, l.info_y, l.width - 1, l.height - 1, display.colour_pale_blue, BOX_PANEL);
  char text[PATH_SIZE + 64];
  items.line(named, text, sizeof(text));
  if (display.dialog_font)
    textout_ex(bmp, display.dialog_font, text, ui_size(3), l.info_y + ui_size(1), display.colour_dark_slate,
               display.colour_pale_blue);
  if (display.message_font)
    textout_ex(bmp, display.message_font,
               "Arrows, Page Up/Down, Home, End, digits: choose   Return, click: pick   Esc, X: close", ui_size(3),
               l.info_y + ui_size(13), display.colour_blue, display.colour_pale_blue);
}

}  // namespace

PaletteLayout palette_layout(int width, int height, int count) {
  PaletteLayout l;
  l.width = std::max(width, 0);
  l.height = std::max(height, 0);
  l.count = std::clamp(count, 0, MAX_TEXTURES - 1);
  l.info_y = std::max(0, l.height - ui_size(PALETTE_INFO_HEIGHT));
  int side = PALETTE_PICTURE_MAX;
  for (; side > PALETTE_PICTURE_MIN; side -= 16) {
    fit(l, side);
    if (l.columns * l.rows_visible >= l.count) break;
  }
  fit(l, side);
  l.total_rows = (l.count + l.columns - 1) / l.columns;
  l.left = (l.width - (l.columns * l.cell_w - PALETTE_GAP)) / 2;
  // Rows that all fit stand in the middle of the grid area; more start at its top.
  const int shown = std::min(l.total_rows, l.rows_visible);
  l.top = PALETTE_MARGIN + FRAME_REACH + std::max(0, (l.info_y - 2 * PALETTE_MARGIN - shown * l.cell_h) / 2);
  return l;
}

int palette_last_first_row(const PaletteLayout &l) { return std::max(0, l.total_rows - l.rows_visible); }

int palette_clamped_first_row(const PaletteLayout &l, int first_row) {
  return std::clamp(first_row, 0, palette_last_first_row(l));
}

int palette_first_row_showing(const PaletteLayout &l, int first_row, int t) {
  if (t < 1 || t > l.count) return palette_clamped_first_row(l, first_row);
  const int row = palette_row_of(l, t);
  if (row < first_row) first_row = row;
  if (row >= first_row + l.rows_visible) first_row = row - l.rows_visible + 1;
  return palette_clamped_first_row(l, first_row);
}

int palette_texture_at(const PaletteLayout &l, int first_row, int x, int y) {
  // A cell reaches half the gap either side of its picture, from its frame's
  // top to the next frame's top.
  const int x0 = l.left - PALETTE_GAP / 2, y0 = l.top - FRAME_REACH;
  if (x < x0 || y < y0 || y >= l.info_y || x >= l.width) return 0;
  const int column = (x - x0) / l.cell_w, row = (y - y0) / l.cell_h;
  if (column >= l.columns || row >= l.rows_visible) return 0;
  const long long t = (long long)(first_row + row) * l.columns + column + 1;
  return t >= 1 && t <= l.count ? (int)t : 0;
}

void palette_texture_text(int t, char *text, int size) {
  const char *name = declared_texture_name(t);
  if (!name) {
    snprintf(text, size, "Texture %d: not declared", t);
    return;
  }
  const TextureEntry &entry = texture_table.textures[t];
  if (entry.loaded)
    snprintf(text, size, "Texture %d: %s, %d x %d", t, name, entry.file_width, entry.file_height);
  else
    snprintf(text, size, "Texture %d: %s could not be read", t, name);
}

PalettePictures::PalettePictures(int side) : side_(side) {}

PalettePictures::~PalettePictures() {
  for (BITMAP *b : scaled_)
    if (b) destroy_bitmap(b);
}

BITMAP *PalettePictures::picture(int t) {
  if (t < 1 || t >= MAX_TEXTURES || t > texture_table.texture_count || !declared_texture_name(t)) return nullptr;
  const TextureEntry &entry = texture_table.textures[t];
  if (!entry.loaded) return nullptr;
  const int k = level_of_side(side_);
  if (k >= 0) {
    BITMAP *level = entry.levels[k];
    return level && level->w == side_ && level->h == side_ ? level : nullptr;
  }
  if (!scaled_[t] && entry.levels[0]) scaled_[t] = scaled_picture(entry.levels[0], side_);
  return scaled_[t];
}

void PaletteItems::label(int item, char *text, int size) { snprintf(text, size, "%d", item); }

void PalettePictures::draw_picture(BITMAP *bmp, int t, int x, int y, int side) {
  BITMAP *p = picture(t);
  if (!p)
    draw_placeholder(bmp, t, x, y, side);
  else if (bitmap_color_depth(p) == bitmap_color_depth(bmp))
    masked_blit(p, bmp, 0, 0, x, y, side, side);
  else
    blit(p, bmp, 0, 0, x, y, side, side);
}

int last_declared_land() {
  for (int n = MAX_LANDS - 1; n >= 1; n--)
    if (lands.lands[n].name[0]) return n;
  return 0;
}

void LandPaletteItems::draw_picture(BITMAP *bmp, int n, int x, int y, int side) {
  const bool declared = n >= 1 && n < MAX_LANDS && lands.lands[n].name[0];
  if (!declared) {
    rectfill(bmp, x, y, x + side - 1, y + side - 1, display.colour_slate);
    if (display.message_font)
      textout_centre_ex(bmp, display.message_font, "none", x + side / 2, y + side / 2 - text_height(display.message_font) / 2,
                        display.colour_white, -1);
    return;
  }
  const Land &land = lands.lands[n];
  rectfill(bmp, x, y, x + side - 1, y + side - 1, makecol_depth(bitmap_color_depth(bmp), land.r, land.g, land.b));
}

void LandPaletteItems::label(int n, char *text, int size) {
  snprintf(text, size, "%s", n >= 1 && n < MAX_LANDS && lands.lands[n].name[0] ? lands.lands[n].name : "none");
}

void LandPaletteItems::line(int n, char *text, int size) {
  if (n < 1 || n >= MAX_LANDS || !lands.lands[n].name[0]) {
    snprintf(text, size, "Land %d: not declared", n);
    return;
  }
  const Land &land = lands.lands[n];
  snprintf(text, size, "Land %d: %s, colour %d,%d,%d", n, land.name, land.r, land.g, land.b);
}

namespace {

// The ground's height (0 bottom, 1 top) across a brush's picture at t from
// -1 (its west rim) to 1, after the brush: a bump, a dip, waves calmed in
// the middle, a hill cut flat, a rough patch, a cliff worn into a slope.
double sculpted_ground(int kind, double t) {
  const double a = std::fabs(t), bump = a < 1 ? (1 - a * a) * (1 - a * a) : 0;
  switch (kind) {
    case SCULPT_RAISE: return 0.25 + 0.45 * bump;
    case SCULPT_LOWER: return 0.7 - 0.45 * bump;
    case SCULPT_SMOOTH: return 0.45 + 0.18 * std::sin(7 * M_PI * t) * (1 - bump);
    case SCULPT_FLATTEN: return std::min(0.2 + 0.6 * (1 - a), 0.5);
    case SCULPT_NOISE: return 0.45 + 0.2 * bump * sculpt_noise(7, 10, (int)std::lround(60 * t), 0);
    default: return 0.2 + 0.5 / (1 + std::exp(-6 * t)) + 0.04 * std::sin(19 * t) * bump;  // SCULPT_ERODE
  }
}

const char *const BRUSH_DOES[SCULPT_KINDS] = {
    "raises the ground, 100 m a dab at 100 %",
    "lowers the ground, 100 m a dab at 100 %",
    "towards the mean height around each sample",
    "towards the height under the press (Shift + click picks it)",
    "adds rough fractal noise, level on the whole",
    "slopes steeper than the talus angle slide down",
};

}  // namespace

void SculptPaletteItems::draw_picture(BITMAP *bmp, int item, int x, int y, int side) {
  rectfill(bmp, x, y, x + side - 1, y + side - 1, display.colour_steel);
  const int ground = makecol_depth(bitmap_color_depth(bmp), 139, 110, 70);
  for (int i = 0; i < side; i++) {
    const double h = sculpted_ground(item - 1, 2.0 * (i + 0.5) / side - 1);
    const int top = y + side - 1 - (int)std::lround(h * (side - 1));
    vline(bmp, x + i, top, y + side - 1, ground);
    putpixel(bmp, x + i, top, display.colour_white);
  }
}

void SculptPaletteItems::label(int item, char *text, int size) {
  snprintf(text, size, "%s", item >= 1 && item <= SCULPT_KINDS ? sculpt_kind_name(item - 1) : "");
}

void SculptPaletteItems::line(int item, char *text, int size) {
  if (item < 1 || item > SCULPT_KINDS) {
    text[0] = 0;
    return;
  }
  snprintf(text, size, "Brush %d: %s: %s", item, sculpt_kind_name(item - 1), BRUSH_DOES[item - 1]);
}

void draw_palette(BITMAP *bmp, const PaletteLayout &l, PaletteItems &items, const PaletteFrame &f) {
  if (!bmp) return;
  rectfill(bmp, 0, 0, l.width - 1, l.info_y - 1, display.colour_dark_slate);
  for (int row = 0; row < l.rows_visible; row++) {
    for (int column = 0; column < l.columns; column++) {
      const long long t = (long long)(f.first_row + row) * l.columns + column + 1;
      if (t > l.count) break;
      draw_cell(bmp, l, items, f, (int)t, l.left + column * l.cell_w, l.top + row * l.cell_h);
    }
  }
  draw_scroll_bar(bmp, l, f.first_row);
  draw_info(bmp, l, items, f.named);
}
