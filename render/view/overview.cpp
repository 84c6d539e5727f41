#include "render/view/overview.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/height_palette.h"
#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "edit/edit_history.h"
#include "render/view/map_layers.h"
#include "ui/display.h"

namespace {

// The picture as last made, and what it was made from.
struct OverviewPicture {
  BITMAP *bitmap = nullptr;
  unsigned changes = 0;
  int edit_mode = 0;
  int tiles_x = 0, tiles_y = 0, depth = 0;
  OverviewLayout layout;
};
OverviewPicture picture;

struct Rgb {
  int r, g, b;
};

// What one tile shows, as the farthest zoom level shows it.
struct TileColours {
  int heights;
  std::vector<Rgb> of;  // by texture number, or by height
  Rgb at(int x, int y) const {
    if (heights) return of[std::min<unsigned>(height_map.heights[4 * x][4 * y], MAX_HEIGHT)];
    const int t = tile_map.tiles[x][y].texture;
    return of[t >= 0 && t < MAX_TEXTURES ? t : 0];
  }
};

void make_picture(const ViewState &view, const OverviewLayout &l) {
  // The library's colour calls stay on this thread: components first.
  TileColours colours;
  colours.heights = view.edit_mode == EDIT_HEIGHTS;
  const int count = colours.heights ? MAX_HEIGHT + 1 : MAX_TEXTURES;
  colours.of.resize((size_t)count);
  for (int k = 0; k < count; k++) {
    const int c = colours.heights ? height_palette[k] : texture_table.textures[k].sample_color;
    colours.of[(size_t)k] = {getr(c), getg(c), getb(c)};
  }
  const int tiles_x = map_columns(), tiles_y = map_rows();
  const int block = l.shift < 0 ? 1 << -l.shift : 1;
  const int w = l.shift < 0 ? l.width : tiles_x, h = l.shift < 0 ? l.height : tiles_y;
  std::vector<Rgb> means((size_t)w * h);
  // Each pixel's mean over its tiles on the map, columns spread over the cores.
  run_parts(std::min(w, 64), [&](int k) {
    for (int px = w * k / std::min(w, 64); px < w * (k + 1) / std::min(w, 64); px++) {
      const int x0 = px * block, x1 = std::min(x0 + block, tiles_x);
      for (int py = 0; py < h; py++) {
        const int y0 = py * block, y1 = std::min(y0 + block, tiles_y);
        long long r = 0, g = 0, b = 0;
        for (int x = x0; x < x1; x++)
          for (int y = y0; y < y1; y++) {
            const Rgb c = colours.at(x, y);
            r += c.r, g += c.g, b += c.b;
          }
        const long long n = (long long)(x1 - x0) * (y1 - y0);
        means[(size_t)px * h + py] = {(int)((r + n / 2) / n), (int)((g + n / 2) / n), (int)((b + n / 2) / n)};
      }
    }
  });
  if (picture.bitmap) destroy_bitmap(picture.bitmap);
  picture.bitmap = create_bitmap(l.width, l.height);
  if (!picture.bitmap) return;
  const int size = l.shift > 0 ? 1 << l.shift : 1;
  for (int px = 0; px < w; px++)
    for (int py = 0; py < h; py++) {
      const Rgb &c = means[(size_t)px * h + py];
      rectfill(picture.bitmap, px * size, py * size, px * size + size - 1, py * size + size - 1,
               makecol(c.r, c.g, c.b));
    }
}

// Tile x's left pixel edge on the picture.
int pixel_of(const OverviewLayout &l, long long tile) {
  return (int)(l.shift >= 0 ? tile * (1LL << l.shift) : tile >> -l.shift);  // floors below 0
}

}  // namespace

OverviewLayout overview_layout(int tiles_x, int tiles_y, int area_w, int area_h) {
  OverviewLayout l;
  if (tiles_x <= 0 || tiles_y <= 0 || area_w <= 0 || area_h <= 0) return l;
  l.shift = -8;
  for (int s = 8; s > -8; s--)
    if (((long long)tiles_x << (s + 8)) <= ((long long)area_w << 8) &&
        ((long long)tiles_y << (s + 8)) <= ((long long)area_h << 8)) {
      l.shift = s;
      break;
    }
  // A pixel of many tiles covers the last ones even when they fill it only in part.
  const int block = l.shift < 0 ? 1 << -l.shift : 1;
  l.width = l.shift >= 0 ? tiles_x << l.shift : (tiles_x + block - 1) / block;
  l.height = l.shift >= 0 ? tiles_y << l.shift : (tiles_y + block - 1) / block;
  l.left = (area_w - l.width) / 2;
  l.top = (area_h - l.height) / 2;
  return l;
}

OverviewLayout screen_overview_layout() {
  return overview_layout(map_columns(), map_rows(), display.screen_width, display.status_y);
}

int overview_tile_at(const OverviewLayout &l, int mx, int my, int *x, int *y) {
  const int px = mx - l.left, py = my - l.top;
  if (l.width == 0 || px < 0 || py < 0 || px >= l.width || py >= l.height) return 1;
  if (l.shift >= 0) {
    *x = px >> l.shift;
    *y = py >> l.shift;
    return 0;
  }
  const int block = 1 << -l.shift;
  *x = std::min(px * block + block / 2, map_columns() - 1);
  *y = std::min(py * block + block / 2, map_rows() - 1);
  return 0;
}

void draw_overview(BITMAP *bmp, const ViewState &view) {
  const int area_w = bmp->w, area_h = display.status_y;
  rectfill(bmp, 0, 0, area_w - 1, area_h - 1, display.colour_black);
  const OverviewLayout l = overview_layout(map_columns(), map_rows(), area_w, area_h);
  if (l.width == 0) return;
  OverviewPicture &p = picture;
  if (!p.bitmap || p.changes != history_changes() || p.edit_mode != view.edit_mode || p.tiles_x != map_columns() ||
      p.tiles_y != map_rows() || p.depth != bitmap_color_depth(bmp) || p.layout.shift != l.shift) {
    make_picture(view, l);
    p.changes = history_changes();
    p.edit_mode = view.edit_mode;
    p.tiles_x = map_columns();
    p.tiles_y = map_rows();
    p.depth = bitmap_color_depth(bmp);
    p.layout = l;
  }
  if (p.bitmap) blit(p.bitmap, bmp, 0, 0, l.left, l.top, l.width, l.height);
  // The tiles the map view shows, those its edges cut included.
  const MapGeometry g = view_geometry(bmp, view);
  const int nx = g.cells_x, ny = g.cells_y;
  const long long x0 = g.X0, y0 = g.Y0;
  const int x1 = l.left + pixel_of(l, x0), y1 = l.top + pixel_of(l, y0);
  const int x2 = l.left + std::max(pixel_of(l, x0 + nx) - 1, pixel_of(l, x0));
  const int y2 = l.top + std::max(pixel_of(l, y0 + ny) - 1, pixel_of(l, y0));
  set_clip_rect(bmp, l.left, l.top, l.left + l.width - 1, l.top + l.height - 1);
  rect(bmp, x1, y1, x2, y2, display.colour_white);
  set_clip_rect(bmp, 0, 0, bmp->w - 1, bmp->h - 1);
}

void release_overview() {
  if (picture.bitmap) destroy_bitmap(picture.bitmap);
  picture = OverviewPicture();
}
