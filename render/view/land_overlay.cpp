// Land mode's layer of the map view: the land of every corner point as a dot
// of its colour (far out, where dots would hide the map, each tile tinted by
// the land of most of its corners), and in red what disagrees: the edges of a
// tile whose texture says other corners than the grid has, and a cross on a
// tile whose corners no texture shows. Only the tiles in view are read, so
// that a frame costs the same on any size of map.
#include <algorithm>
#include <cstdint>

#include "core/work_threads.h"
#include "edit/land_grid.h"
#include "render/view/map_layers.h"
#include "render/view/map_view.h"
#include "ui/display.h"

namespace {

// From this many pixels a tile edge the points show as dots.
enum { LAND_DOT_MIN_SCALE = 8 };

struct Canvas {
  BITMAP *bmp;
  int w, h;     // drawn within [0, w) x [0, h): above the status strip
  int direct;   // a 32-bit memory bitmap, written through its line pointers
  int colours[MAX_LANDS];
  int red, black;
};

void fill(const Canvas &c, int x0, int y0, int x1, int y1, int colour) {
  x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, c.w - 1), y1 = std::min(y1, c.h - 1);
  if (x0 > x1 || y0 > y1) return;
  if (!c.direct) {
    rectfill(c.bmp, x0, y0, x1, y1, colour);
    return;
  }
  for (int y = y0; y <= y1; y++) std::fill((uint32_t *)c.bmp->line[y] + x0, (uint32_t *)c.bmp->line[y] + x1 + 1, (uint32_t)colour);
}

// Half the tile under the land's colour; the library's blender elsewhere.
void tint(const Canvas &c, int x0, int y0, int S, int colour) {
  const int x1 = std::min(x0 + S, c.w), y1 = std::min(y0 + S, c.h);
  if (!c.direct) {
    if (bitmap_color_depth(c.bmp) == 8) return;  // no blender without a colour map
    drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
    set_trans_blender(0, 0, 0, 128);
    rectfill(c.bmp, x0, y0, x1 - 1, y1 - 1, colour);
    solid_mode();
    return;
  }
  const uint32_t half = ((uint32_t)colour >> 1) & 0x7F7F7F;
  for (int y = std::max(y0, 0); y < y1; y++) {
    uint32_t *row = (uint32_t *)c.bmp->line[y];
    for (int x = std::max(x0, 0); x < x1; x++) row[x] = ((row[x] >> 1) & 0x7F7F7F) + half;
  }
}

// The land of most of the four corners, a tie going to the lower number; 0 for none.
int most_corners(LandCorners corners) {
  int best = 0, best_count = 0;
  for (int i = 0; i < 4; i++) {
    const int land = corner_land(corners, i);
    if (!land) continue;
    int count = 0;
    for (int k = 0; k < 4; k++) count += corner_land(corners, k) == land;
    if (count > best_count || (count == best_count && land < best)) best = land, best_count = count;
  }
  return best;
}

// The red marks of a tile at (px, py) whose texture says said but whose
// grid corners are grid: each edge with a corner that differs, and a cross
// where no texture shows the grid's corners.
void mark_tile(const Canvas &c, int px, int py, int S, LandCorners said, LandCorners grid) {
  if (S < LAND_DOT_MIN_SCALE) {
    fill(c, px, py, px + S - 1, py + S - 1, c.red);
    return;
  }
  const int t = std::max(2, S / 16), e = S - 1;
  int differs[4];
  for (int i = 0; i < 4; i++) differs[i] = corner_land(said, i) != corner_land(grid, i);
  // Corners clockwise from north-west: edge k joins corners k and k + 1.
  if (differs[0] || differs[1]) fill(c, px, py, px + e, py + t - 1, c.red);
  if (differs[1] || differs[2]) fill(c, px + S - t, py, px + e, py + e, c.red);
  if (differs[2] || differs[3]) fill(c, px, py + S - t, px + e, py + e, c.red);
  if (differs[3] || differs[0]) fill(c, px, py, px + t - 1, py + e, c.red);
  uint32_t count;
  uint64_t total;
  if (!land_candidates(grid, &count, &total)) {
    for (int k = -t / 2; k <= t / 2; k++) {
      line(c.bmp, px + k, py, px + e + k, py + e, c.red);
      line(c.bmp, px + e + k, py, px + k, py + e, c.red);
    }
  }
}

// The far zoom levels on a 32-bit memory bitmap, every cell whole within
// it: a block of columns at a time, so that the grid and the tiles are read
// down their columns while the pixels are written along whole cache lines.
// The land of most corners is kept for the corner combinations met, which
// are few: a frame counts each once instead of once a tile.
template <int S>
void tint_tiles(const Canvas &c, const MapGeometry &g) {
  enum { BLOCK = 16 / S, KEPT = 4096 };  // a block's row of pixels: one cache line
  static uint32_t kept_corners[KEPT];  // all 0 at first: no land for no corners
  static uint8_t kept_land[KEPT];
  uint32_t half[MAX_LANDS];
  for (int n = 0; n < MAX_LANDS; n++) half[n] = ((uint32_t)c.colours[n] >> 1) & 0x7F7F7F;
  const uint32_t red = (uint32_t)c.red;
  for (int b0 = g.i0; b0 < g.i1; b0 += BLOCK) {
    const int b1 = std::min(b0 + BLOCK, g.i1);
    for (int j = g.j0; j < g.j1; j++) {
      const int y = g.Y0 + j;
      uint32_t *rows[S];
      for (int v = 0; v < S; v++) rows[v] = (uint32_t *)c.bmp->line[j * S + v];
      for (int i = b0; i < b1; i++) {
        const int x = g.X0 + i;
        const uint8_t *west = land_grid[x] + y, *east = land_grid[x + 1] + y;
        const LandCorners grid = land_corners(west[0], east[0], east[1], west[1]);
        const Tile &tile = tile_map.tiles[x][y];
        const LandCorners said = tile_said_corners(tile);
        const uint32_t slot = (grid * 2654435761u) >> 20;
        if (kept_corners[slot] != grid) kept_corners[slot] = grid, kept_land[slot] = (uint8_t)most_corners(grid);
        const int land = kept_land[slot];
        // Chosen by selects, not branches: on a map of many lands which way
        // a tile goes is past guessing.
        const bool broken = said != 0 && said != grid;
        for (int v = 0; v < S; v++)
          for (int u = 0; u < S; u++) {
            uint32_t &p = rows[v][i * S + u];
            const uint32_t tinted = land ? ((p >> 1) & 0x7F7F7F) + half[land] : p;
            p = broken ? red : tinted;
          }
      }
    }
  }
}

// Zoom level 8, a pixel a tile, on a 32-bit memory bitmap: the texture
// layer's pixel (the texture's sample colour) tinted, written in its place
// (land_layer_draws_tiles), the map not drawn first. Two million tiles a
// frame leave room for few steps each: a tile whose texture says the grid's
// corners takes its colour from a table by texture and rotation, any other
// is red; only a texture without corners under lands needs the count.
void tint_pixel_tiles(const Canvas &c, const MapGeometry &g) {
  enum { BLOCK = 16 };
  uint32_t agree[MAX_TEXTURES * 4], sample[MAX_TEXTURES], half[MAX_LANDS];
  for (int n = 0; n < MAX_LANDS; n++) half[n] = ((uint32_t)c.colours[n] >> 1) & 0x7F7F7F;
  for (int t = 0; t < MAX_TEXTURES; t++) {
    sample[t] = (uint32_t)texture_table.textures[t].sample_color;
    for (int r = 0; r < 4; r++) {
      const int land = most_corners(lands.turned[4 * t + r]);
      agree[4 * t + r] = land ? ((sample[t] >> 1) & 0x7F7F7F) + half[land] : sample[t];
    }
  }
  const uint32_t red = (uint32_t)c.red;
  // Blocks of columns shared out over the work threads: pixels and tables
  // only, no call of the library.
  const int blocks = (g.i1 - g.i0 + BLOCK - 1) / BLOCK, parts = std::min(blocks, 32);
  run_parts(parts, [&](int part) {
    for (int n = blocks * part / parts; n < blocks * (part + 1) / parts; n++) {
      const int b0 = g.i0 + n * BLOCK, b1 = std::min(b0 + BLOCK, g.i1);
      for (int j = g.j0; j < g.j1; j++) {
        const int y = g.Y0 + j;
        uint32_t *row = (uint32_t *)c.bmp->line[j];
        // Each column's two points serve the tile west of it, then the one east.
        uint32_t north_west = land_grid[g.X0 + b0][y], south_west = land_grid[g.X0 + b0][y + 1];
        for (int i = b0; i < b1; i++) {
          const int x = g.X0 + i;
          const uint8_t *east = land_grid[x + 1] + y;
          const uint32_t north_east = east[0], south_east = east[1];
          const LandCorners grid = north_west | north_east << 8 | south_east << 16 | south_west << 24;
          north_west = north_east, south_west = south_east;
          const Tile &tile = tile_map.tiles[x][y];
          // Rows ahead, down the 33 columns a block reads: more streams than
          // the processor's own prefetching follows.
          __builtin_prefetch(east + 192);
          __builtin_prefetch(&tile + 96);
          const int t = tile.texture >= 0 && tile.texture < MAX_TEXTURES ? tile.texture : 0;
          const int k = 4 * t + (tile.rotation & 3);
          const LandCorners said = lands.turned[k];
          uint32_t out = said == grid ? agree[k] : red;
          if (!said && grid) {
            const int land = most_corners(grid);
            out = land ? ((sample[t] >> 1) & 0x7F7F7F) + half[land] : sample[t];
          }
          row[i] = out;
        }
      }
    }
  });
}

// The cells i0 <= i < i1, j0 <= j < j1 one by one, column by column as the
// tiles and the grid lie in memory: tints below the dot scale, red marks.
void tint_cells(const Canvas &c, const MapGeometry &g, int i0, int i1, int j0, int j1) {
  const int S = g.S, dots = S >= LAND_DOT_MIN_SCALE;
  for (int i = i0; i < i1; i++) {
    const int x = g.X0 + i;
    for (int j = j0; j < j1; j++) {
      const int y = g.Y0 + j;
      const LandCorners grid = grid_corners(x, y), said = tile_said_corners(tile_at(x, y));
      if (!dots) {
        const int land = most_corners(grid);
        if (land) tint(c, i * S, j * S, S, c.colours[land]);
      }
      if (said && said != grid) mark_tile(c, i * S, j * S, S, said, grid);
    }
  }
}

}  // namespace

int current_land(const ViewState &view) {
  if (view.land >= 1 && view.land < MAX_LANDS && lands.lands[view.land].name[0]) return view.land;
  for (int n = 1; n < MAX_LANDS; n++)
    if (lands.lands[n].name[0]) return n;
  return 0;
}

// A pixel a tile on a 32-bit memory bitmap, wholly writable above the strip.
bool pixel_tiles(const MapGeometry &g) {
  BITMAP *b = g.bmp;
  return g.S == 1 && is_memory_bitmap(b) && bitmap_color_depth(b) == 32 && b->h >= display.status_y &&
         (!b->clip || (b->cl <= 0 && b->ct <= 0 && b->cr >= b->w && b->cb >= display.status_y));
}

int land_layer_draws_tiles(const MapGeometry &g) { return lands_in_use() && pixel_tiles(g); }

void draw_land_overlay(const MapGeometry &g) {
  if (!lands_in_use() || g.i0 >= g.i1 || g.j0 >= g.j1) return;
  Canvas c;
  c.bmp = g.bmp;
  c.w = g.bmp->w;
  c.h = std::min(g.bmp->h, std::max(display.status_y, 0));
  c.direct = is_memory_bitmap(g.bmp) && bitmap_color_depth(g.bmp) == 32;
  const int depth = bitmap_color_depth(g.bmp);
  for (int n = 0; n < MAX_LANDS; n++) c.colours[n] = makecol_depth(depth, lands.lands[n].r, lands.lands[n].g, lands.lands[n].b);
  c.red = makecol_depth(depth, 230, 20, 20);
  c.black = makecol_depth(depth, 0, 0, 0);
  const int S = g.S, dots = S >= LAND_DOT_MIN_SCALE;
  if (pixel_tiles(g)) {
    tint_pixel_tiles(c, g);
    return;
  }
  if (!dots && c.direct && (S == 2 || S == 4)) {
    // The whole cells a block at a time; those the area's edges cut, one by one.
    MapGeometry whole = g;
    whole.i1 = std::max(g.i0, std::min(g.i1, c.w / S));
    whole.j1 = std::max(g.j0, std::min(g.j1, c.h / S));
    (S == 2 ? tint_tiles<2> : tint_tiles<4>)(c, whole);
    tint_cells(c, g, whole.i1, g.i1, g.j0, g.j1);
    tint_cells(c, g, g.i0, whole.i1, whole.j1, g.j1);
    return;
  }
  tint_cells(c, g, g.i0, g.i1, g.j0, g.j1);
  if (!dots) return;
  // A dot on every point, over the marks: black rimmed, seen on any texture.
  const int r = std::clamp(S / 16, 2, 6);
  for (int i = g.i0; i <= g.i1; i++) {
    for (int j = g.j0; j <= g.j1; j++) {
      const int land = land_point(g.X0 + i, g.Y0 + j), px = i * S, py = j * S;
      if (!land) continue;
      fill(c, px - r - 1, py - r - 1, px + r, py + r, c.black);
      fill(c, px - r, py - r, px + r - 1, py + r - 1, c.colours[land]);
    }
  }
}
