// The brush of paint mode where the next dab would land: its square
// outlined, and the paint shown faintly on the map's tiles under it where a
// tile is large enough to show a texture.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/terrain_model.h"
#include "render/view/map_layers.h"
#include "render/view/map_view.h"
#include "ui/display.h"

namespace {

// 5/16 of the paint over 11/16 of the tile, each channel by shifts alone
// (at most 251: no carry into the next channel), so that a brush across
// the whole window costs little more than a copy of it.
inline uint32_t blend(uint32_t old, uint32_t paint) {
  return ((old >> 1) & 0x7F7F7F) + ((old >> 3) & 0x1F1F1F) + ((old >> 4) & 0x0F0F0F) + ((paint >> 2) & 0x3F3F3F) +
         ((paint >> 4) & 0x0F0F0F);
}

// Mask-colour pixels of the paint leave the tile as it is.
template <int N>
inline void blend_span(uint32_t *__restrict out, const uint32_t *__restrict in, uint32_t mask) {
  for (int k = 0; k < N; k++) {
    const uint32_t c = in[k], o = out[k], b = blend(o, c);
    out[k] = c != mask ? b : o;
  }
}

// The paint's S rows of S pixels as the map shows the tile it makes: its
// level for the zoom level turned by its rotation (unturned, the level's own
// rows), or the entry's sample colour without one. Mask-colour pixels are
// marked so that they leave the tile.
struct Paint {
  std::vector<const uint32_t *> rows;
  std::vector<uint32_t> pixels;  // turned or plain pixels the rows point into
  uint32_t mask = 0xFFFFFFFF;    // no pixel of a plain colour is left out
};

bool paint_rows(const MapGeometry &g, const StampCell &cell, Paint &p) {
  const int t = cell.texture, S = g.S;
  if (t < 1 || t >= MAX_TEXTURES) return false;
  const TextureEntry &entry = texture_table.textures[t];
  BITMAP *level = t <= texture_table.texture_count ? entry.levels[g.zoom] : nullptr;
  p.rows.resize(S);
  if (!level || !is_memory_bitmap(level) || bitmap_color_depth(level) != 32 || level->w != S || level->h != S) {
    p.pixels.assign(S, (uint32_t)entry.sample_color);
    for (int v = 0; v < S; v++) p.rows[v] = p.pixels.data();
    return true;
  }
  p.mask = (uint32_t)bitmap_mask_color(level);
  uint32_t *const *in = (uint32_t *const *)level->line;
  const int r = cell.rotation & 3;
  if (r == 0) {
    for (int v = 0; v < S; v++) p.rows[v] = in[v];
    return true;
  }
  p.pixels.resize((size_t)S * S);
  for (int v = 0; v < S; v++) {
    uint32_t *out = p.pixels.data() + (size_t)v * S;
    for (int u = 0; u < S; u++)
      out[u] = r == 1 ? in[S - 1 - u][v] : r == 2 ? in[S - 1 - v][S - 1 - u] : in[u][S - 1 - v];
    p.rows[v] = out;
  }
  return true;
}

// The paint blended over the on-map tiles of the square whose top-left
// tile's top-left pixel is (x1, y1), within [0, w) x [0, h).
void blend_paint(const MapGeometry &g, const StampCell &paint, long long x1, long long y1, int size, int w, int h) {
  Paint p;
  if (!paint_rows(g, paint, p)) return;
  const uint32_t mask = p.mask;
  const long long S = g.S;
  const int px0 = (int)std::max({x1, (long long)g.i0 * S, 0LL});
  const int px1 = (int)std::min({x1 + size * S, (long long)g.i1 * S, (long long)w});
  const int py0 = (int)std::max({y1, (long long)g.j0 * S, 0LL});
  const int py1 = (int)std::min({y1 + size * S, (long long)g.j1 * S, (long long)h});
  for (int y = py0; y < py1; y++) {
    uint32_t *row = (uint32_t *)g.bmp->line[y];
    const uint32_t *source = p.rows[(size_t)((y - y1) & (S - 1))];
    // A tile's width at a time, the paint's row read straight through.
    for (int x = px0; x < px1;) {
      const int u = (int)((x - x1) & (S - 1)), n = std::min(px1 - x, (int)S - u);
      const uint32_t *in = source + u;
      uint32_t *out = row + x;
      int k = 0;
      // Eight at a time, a count the compiler turns into vector operations.
      for (; k + 8 <= n; k += 8) blend_span<8>(out + k, in + k, mask);
      for (; k < n; k++) blend_span<1>(out + k, in + k, mask);
      x += n;
    }
  }
}

int clamped(long long v, int lo, int hi) { return (int)std::clamp(v, (long long)lo, (long long)hi); }

}  // namespace

void draw_brush_outline(BITMAP *bmp, const ViewState &view, int tile_x, int tile_y, const StampCell &paint) {
  if (!bmp) return;
  const MapGeometry g = view_geometry(bmp, view);
  const int size = std::clamp(view.brush_size, 1, (int)BRUSH_SIZE_MAX);
  const long long S = g.S;
  // The tiles a dab at (tile_x, tile_y) paints, as the stroke centres it.
  const long long x1 = ((long long)tile_x - (size - 1) / 2 - g.X0) * S;
  const long long y1 = ((long long)tile_y - (size - 1) / 2 - g.Y0) * S;
  const int w = bmp->w, h = std::min(bmp->h, std::max(display.status_y, 0));
  if (w <= 0 || h <= 0) return;
  if (x1 + size * S < -2 || y1 + size * S < -2 || x1 > w + 2 || y1 > h + 2) return;

  const int saved_clip = get_clip_state(bmp);
  int cl, ct, cr, cb;
  get_clip_rect(bmp, &cl, &ct, &cr, &cb);
  set_clip_rect(bmp, 0, 0, w - 1, h - 1);
  if (S >= BRUSH_PAINT_MIN_SCALE && is_memory_bitmap(bmp) && bitmap_color_depth(bmp) == 32)
    blend_paint(g, paint, x1, y1, size, w, h);
  // White just outside the square, black outside that: seen on any texture.
  const int a = clamped(x1, -4, w + 4), b = clamped(y1, -4, h + 4);
  const int c = clamped(x1 + size * S - 1, -4, w + 4), d = clamped(y1 + size * S - 1, -4, h + 4);
  rect(bmp, a - 2, b - 2, c + 2, d + 2, display.colour_black);
  rect(bmp, a - 1, b - 1, c + 1, d + 1, display.colour_white);
  set_clip_rect(bmp, cl, ct, cr, cb);
  set_clip_state(bmp, saved_clip);
}
