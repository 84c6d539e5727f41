// The tile layer of the map view. On a 32-bit memory bitmap the pixels are
// written through the line pointers, giving the same pixels as rotate_sprite
// and putpixel would; any other bitmap goes through the library calls.
#include <cstdint>
#include <cstring>

#include "core/terrain_model.h"
#include "render/view/map_layers.h"
#include "ui/display.h"

namespace {

// Pixels the renderer may write itself: the clip rectangle, inside the
// bitmap, above the status strip. Ends are exclusive.
struct PixelArea {
  int x0, y0, x1, y1;
};

int max_int(int a, int b) { return a > b ? a : b; }
int min_int(int a, int b) { return a < b ? a : b; }

PixelArea writable_area(BITMAP *bmp) {
  PixelArea a = {0, 0, bmp->w, bmp->h};
  if (bmp->clip) {
    a.x0 = max_int(a.x0, bmp->cl);
    a.y0 = max_int(a.y0, bmp->ct);
    a.x1 = min_int(a.x1, bmp->cr);
    a.y1 = min_int(a.y1, bmp->cb);
  }
  a.y1 = min_int(a.y1, display.status_y);
  return a;
}

// The on-map cells' pixels within the writable area.
PixelArea map_pixels(const MapGeometry &g) {
  PixelArea a = writable_area(g.bmp);
  a.x0 = max_int(a.x0, g.i0 * g.S);
  a.x1 = min_int(a.x1, g.i1 * g.S);
  a.y0 = max_int(a.y0, g.j0 * g.S);
  a.y1 = min_int(a.y1, g.j1 * g.S);
  return a;
}

bool direct_target(BITMAP *bmp) {
  return is_memory_bitmap(bmp) && bitmap_color_depth(bmp) == 32;
}

inline uint32_t *pixel_row(BITMAP *bmp, int y) { return (uint32_t *)bmp->line[y]; }

int texture_index(int t) { return t >= 0 && t < MAX_TEXTURES ? t : 0; }

// Columns of output handled together: their rows are whole cache lines and
// the grid columns they read are few enough to stream side by side.
enum { BLOCK_COLUMNS = 16 };

enum CellKind { CELL_FILL, CELL_COPY, CELL_SPRITE };

// Source pixel shown at (u, v) of a cell whose S x S level bitmap is turned
// r quarter turns clockwise, as rotate_sprite turns it for the angles 0, 64,
// 128 and 192.
inline uint32_t turned_pixel(uint32_t *const *in, int S, int r, int u, int v) {
  switch (r) {
    case 0: return in[v][u];
    case 1: return in[S - 1 - u][v];
    case 2: return in[S - 1 - v][S - 1 - u];
    default: return in[u][S - 1 - v];
  }
}

// Mask-colour pixels leave the cell as it was.
inline uint32_t masked(uint32_t c, uint32_t mask, uint32_t old) { return c != mask ? c : old; }

// The level bitmap drawn masked and turned into the cell at (x, y), within
// the writable area: the pixels rotate_sprite draws.
void copy_turned(BITMAP *bmp, const PixelArea &a, BITMAP *src, int r, int x, int y, int S) {
  const int u0 = max_int(0, a.x0 - x), u1 = min_int(S, a.x1 - x);
  const int v0 = max_int(0, a.y0 - y), v1 = min_int(S, a.y1 - y);
  if (u0 >= u1 || v0 >= v1) return;
  const uint32_t mask = (uint32_t)bitmap_mask_color(src);
  uint32_t *const *in = (uint32_t *const *)src->line;
  for (int v = v0; v < v1; v++) {
    uint32_t *out = pixel_row(bmp, y + v) + x;
    switch (r) {
      case 0: {
        const uint32_t *s = in[v];
        for (int u = u0; u < u1; u++) out[u] = masked(s[u], mask, out[u]);
        break;
      }
      case 1:
        for (int u = u0; u < u1; u++) out[u] = masked(in[S - 1 - u][v], mask, out[u]);
        break;
      case 2: {
        const uint32_t *s = in[S - 1 - v] + (S - 1);
        for (int u = u0; u < u1; u++) out[u] = masked(s[-u], mask, out[u]);
        break;
      }
      default:
        for (int u = u0; u < u1; u++) out[u] = masked(in[u][S - 1 - v], mask, out[u]);
        break;
    }
  }
}

// The small levels of the far zoom levels, turned in advance: one block of
// S x S pixels per texture entry and rotation, so that each of the many
// small cells is a plain masked copy.
enum { TURNED_MAX_SIZE = 8 };
uint32_t turned_levels[MAX_TEXTURES][4][TURNED_MAX_SIZE * TURNED_MAX_SIZE];

void turn_level(int t, BITMAP *src, int S) {
  uint32_t *const *in = (uint32_t *const *)src->line;
  for (int r = 0; r < 4; r++)
    for (int v = 0; v < S; v++)
      for (int u = 0; u < S; u++) turned_levels[t][r][v * S + u] = turned_pixel(in, S, r, u, v);
}

template <int S>
void put_turned(BITMAP *bmp, const uint32_t *block, uint32_t mask, int x, int y) {
  for (int v = 0; v < S; v++, block += S) {
    uint32_t *out = pixel_row(bmp, y + v) + x;
    for (int u = 0; u < S; u++) out[u] = masked(block[u], mask, out[u]);
  }
}

void fill_cell(BITMAP *bmp, const PixelArea &a, bool direct, int x, int y, int S, int colour) {
  if (!direct) {
    rectfill(bmp, x, y, x + S - 1, y + S - 1, colour);
    return;
  }
  const int u0 = max_int(x, a.x0), u1 = min_int(x + S, a.x1);
  const int v0 = max_int(y, a.y0), v1 = min_int(y + S, a.y1);
  for (int v = v0; v < v1; v++) {
    uint32_t *out = pixel_row(bmp, v);
    for (int u = u0; u < u1; u++) out[u] = (uint32_t)colour;
  }
}

void draw_level_cells(const MapGeometry &g) {
  BITMAP *bmp = g.bmp;
  const bool direct = direct_target(bmp);
  const PixelArea a = writable_area(bmp);
  const int S = g.S;
  const bool small = S <= TURNED_MAX_SIZE;

  // How each texture entry is drawn at this zoom level. Only entries
  // 1..texture_count have bitmaps; a missing level is shown as a cell of the
  // entry's sample colour.
  BITMAP *level[MAX_TEXTURES];
  uint32_t mask[MAX_TEXTURES];
  unsigned char kind[MAX_TEXTURES];
  for (int t = 0; t < MAX_TEXTURES; t++) {
    BITMAP *b = t >= 1 && t <= texture_table.texture_count
                    ? texture_table.textures[t].levels[g.zoom]
                    : nullptr;
    level[t] = b;
    mask[t] = b ? (uint32_t)bitmap_mask_color(b) : 0;
    if (!b) {
      kind[t] = CELL_FILL;
    } else if (direct && is_memory_bitmap(b) && bitmap_color_depth(b) == 32 && b->w == S &&
               b->h == S) {
      kind[t] = CELL_COPY;
      if (small) turn_level(t, b, S);
    } else {
      kind[t] = CELL_SPRITE;
    }
  }

  // Cells do not overlap, so they are visited a grid column at a time, the
  // order in which the tile grid lies in memory.
  for (int i = g.i0; i < g.i1; i++) {
    const Tile *column = tile_map.tiles[g.X0 + i];
    const int x = i * S;
    const bool columns_inside = x >= a.x0 && x + S <= a.x1;
    for (int j = g.j0; j < g.j1; j++) {
      const Tile &tile = column[g.Y0 + j];
      const int t = texture_index(tile.texture);
      const int r = tile.rotation & 3;
      const int y = j * S;
      switch (kind[t]) {
        case CELL_COPY:
          if (!small || !columns_inside || y < a.y0 || y + S > a.y1) {
            copy_turned(bmp, a, level[t], r, x, y, S);
          } else {
            const uint32_t *block = turned_levels[t][r];
            if (S == 2)
              put_turned<2>(bmp, block, mask[t], x, y);
            else if (S == 4)
              put_turned<4>(bmp, block, mask[t], x, y);
            else
              put_turned<8>(bmp, block, mask[t], x, y);
          }
          break;
        case CELL_SPRITE:
          rotate_sprite(bmp, level[t], x, y, itofix(r * 64));
          break;
        default:
          fill_cell(bmp, a, direct, x, y, S, texture_table.textures[t].sample_color);
          break;
      }
    }
  }
}

void draw_sample_colours(const MapGeometry &g) {
  BITMAP *bmp = g.bmp;
  int colour[MAX_TEXTURES];
  for (int t = 0; t < MAX_TEXTURES; t++) colour[t] = texture_table.textures[t].sample_color;

  if (!direct_target(bmp)) {
    for (int j = g.j0; j < g.j1; j++)
      for (int i = g.i0; i < g.i1; i++)
        putpixel(bmp, i, j, colour[texture_index(tile_map.tiles[g.X0 + i][g.Y0 + j].texture)]);
    return;
  }
  const PixelArea a = map_pixels(g);
  for (int bx = a.x0; bx < a.x1;) {
    const int end = min_int(a.x1, (bx / BLOCK_COLUMNS + 1) * BLOCK_COLUMNS);
    const int n = end - bx;
    const Tile *column[BLOCK_COLUMNS];
    for (int k = 0; k < n; k++) column[k] = tile_map.tiles[g.X0 + bx + k];
    for (int y = a.y0; y < a.y1; y++) {
      uint32_t *out = pixel_row(bmp, y) + bx;
      const int ty = g.Y0 + y;
      for (int k = 0; k < n; k++) out[k] = (uint32_t)colour[texture_index(column[k][ty].texture)];
    }
    bx = end;
  }
}

inline int palette_colour(unsigned sample) {
  return height_palette[sample > (unsigned)MAX_HEIGHT ? (unsigned)MAX_HEIGHT : sample];
}

}  // namespace

void draw_texture_layer(const MapGeometry &g) {
  if (g.zoom == 8)
    draw_sample_colours(g);
  else
    draw_level_cells(g);
}

void draw_height_layer(const MapGeometry &g) {
  BITMAP *bmp = g.bmp;
  const int S = g.S, sh = g.shift;
  // Sample column of view pixel column px (row likewise): 4 per tile, spread
  // over the cell's S pixels.
  auto sample_x = [&](int px) { return 4 * (g.X0 + (px >> sh)) + ((4 * (px & (S - 1))) >> sh); };
  auto sample_y = [&](int py) { return 4 * (g.Y0 + (py >> sh)) + ((4 * (py & (S - 1))) >> sh); };

  if (!direct_target(bmp)) {
    for (int j = g.j0; j < g.j1; j++)
      for (int i = g.i0; i < g.i1; i++)
        for (int v = 0; v < S; v++)
          for (int u = 0; u < S; u++) {
            const int px = i * S + u, py = j * S + v;
            putpixel(bmp, px, py, palette_colour(height_map.heights[sample_x(px)][sample_y(py)]));
          }
    return;
  }

  const PixelArea a = map_pixels(g);
  for (int bx = a.x0; bx < a.x1;) {
    const int end = min_int(a.x1, (bx / BLOCK_COLUMNS + 1) * BLOCK_COLUMNS);
    const int n = end - bx;
    const uint16_t *column[BLOCK_COLUMNS];
    for (int k = 0; k < n; k++) column[k] = height_map.heights[sample_x(bx + k)];
    int last_y = -1;
    const uint32_t *last_row = nullptr;
    for (int y = a.y0; y < a.y1; y++) {
      uint32_t *out = pixel_row(bmp, y) + bx;
      const int sy = sample_y(y);
      if (sy == last_y) {
        // Further pixel rows of the same samples repeat the first one.
        memcpy(out, last_row, sizeof(uint32_t) * n);
      } else {
        for (int k = 0; k < n; k++) out[k] = (uint32_t)palette_colour(column[k][sy]);
        last_y = sy;
      }
      last_row = out;
    }
    bx = end;
  }
}
