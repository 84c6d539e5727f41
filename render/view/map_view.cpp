#include "render/view/map_view.h"

#include <algorithm>

#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "render/view/map_layers.h"
#include "ui/display.h"

namespace {

int clamp_int(long long v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : (int)v); }

// Rounded toward minus infinity, for pixels left of or above the area.
long long floor_div(long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

MapPixel map_pixel(const ViewState &view, int width, int height, long long px, long long py) {
  const long long S = 1LL << (8 - clamp_int(view.zoom_level, 0, 8));
  const long long w = width > 0 ? width : 0, h = height > 0 ? height : 0;
  // The top-left cell's tile: the cursor tile stands at the middle of the whole cells.
  const long long x0 = view.cursor_x - (w / S) / 2, y0 = view.cursor_y - (h / S) / 2;
  MapPixel p;
  p.tile_x = x0 + floor_div(px, S);
  p.tile_y = y0 + floor_div(py, S);
  p.east = 2000 * x0 + floor_div(2000 * px, S);
  p.north = 2000 * (map_rows() - y0) - floor_div(2000 * py, S);
  p.sample_x = 4 * x0 + floor_div(4 * px, S);
  p.sample_y = 4 * y0 + floor_div(4 * py, S);
  p.on_map = px >= 0 && py >= 0 && px < w && py < h && p.tile_x >= 0 && p.tile_y >= 0 && p.tile_x < map_columns() &&
             p.tile_y < map_rows();
  return p;
}

int fit_view(ViewState *view, int width, int height) {
  const long long columns = map_columns(), rows = map_rows();
  for (int zoom = 0; zoom < ZOOM_FARTHEST; zoom++) {
    const long long S = 1LL << (8 - zoom), nx = std::max(width, 0) / S, ny = std::max(height, 0) / S;
    if (columns > nx || rows > ny) continue;
    // With the cursor at c, tiles c - n / 2 .. c - n / 2 + n - 1 show whole:
    // the terrain's n tiles do for c from n - ceil(n / 2) to floor(n / 2).
    const auto fitted = [](long long c, long long tiles, long long n) {
      const long long lo = std::max(0LL, tiles - (n + 1) / 2), hi = std::min(tiles - 1, n / 2);
      return (int)(lo > hi ? c : std::min(std::max(c, lo), hi));
    };
    view->cursor_x = fitted(view->cursor_x, columns, nx);
    view->cursor_y = fitted(view->cursor_y, rows, ny);
    return view->zoom_level = zoom;
  }
  return view->zoom_level = ZOOM_FARTHEST;
}

MapGeometry view_geometry(BITMAP *bmp, const ViewState &view) {
  const int zoom = clamp_int(view.zoom_level, 0, 8);
  MapGeometry g;
  g.bmp = bmp;
  g.zoom = zoom;
  g.shift = 8 - zoom;
  g.S = 1 << g.shift;
  g.W = bmp->w;
  const int H = display.status_y > 0 ? display.status_y : 0;
  g.nx = g.W / g.S;
  g.ny = H / g.S;
  g.cells_x = (g.W + g.S - 1) / g.S;
  g.cells_y = (H + g.S - 1) / g.S;
  const MapPixel top_left = map_pixel(view, g.W, H, 0, 0);
  g.X0 = (int)top_left.tile_x;
  g.Y0 = (int)top_left.tile_y;
  const int tx = map_columns(), ty = map_rows();
  g.i0 = clamp_int(-(long long)g.X0, 0, g.cells_x);
  g.i1 = clamp_int((long long)tx - g.X0, 0, g.cells_x);
  g.j0 = clamp_int(-(long long)g.Y0, 0, g.cells_y);
  g.j1 = clamp_int((long long)ty - g.Y0, 0, g.cells_y);
  g.overlay_mode = view.overlay_mode;
  g.height_sample = view.height_sample;
  g.target_mode = editing_targets(view);
  g.target_area = view.target_area;
  g.target = view.target;
  return g;
}

namespace {

// The selection's outline, a tile's edge outside its tiles: white with a
// black line outside, seen on any texture at any zoom level.
void draw_selection(const MapGeometry &g, const TileRect &r) {
  const long long S = g.S;
  const long long x1 = (r.left - (long long)g.X0) * S, y1 = (r.top - (long long)g.Y0) * S;
  const long long x2 = (r.right + 1LL - g.X0) * S - 1, y2 = (r.bottom + 1LL - g.Y0) * S - 1;
  // Far off the view: nothing of the outline shows, and the corners stay in int range.
  if (x2 < -2 || y2 < -2 || x1 > g.W + 2 || y1 > display.status_y + 2) return;
  const int c1 = clamp_int(x1, -4, g.W + 4), r1 = clamp_int(y1, -4, display.status_y + 4);
  const int c2 = clamp_int(x2, -4, g.W + 4), r2 = clamp_int(y2, -4, display.status_y + 4);
  rect(g.bmp, c1 - 1, r1 - 1, c2 + 1, r2 + 1, display.colour_black);
  rect(g.bmp, c1, r1, c2, r2, display.colour_white);
}

void draw_cursor_marks(const MapGeometry &g) {
  const int S = g.S, cx_cell = g.nx / 2, cy_cell = g.ny / 2;
  if (g.zoom <= 4)
    rect(g.bmp, S * cx_cell, S * cy_cell, S * (cx_cell + 1) - 1, S * (cy_cell + 1) - 1,
         display.colour_black);
  const double cx = S * (cx_cell + 0.5), cy = S * (cy_cell + 0.5);
  hline(g.bmp, (int)(cx - 6), (int)cy, (int)(cx + 6), display.colour_red);
  vline(g.bmp, (int)cx, (int)(cy - 6), (int)(cy + 6), display.colour_red);
}

// A black fill; the corners are clamped to the int range, and a fill whose
// corners are the wrong way round has nothing to cover.
void blank(BITMAP *bmp, long long x1, long long y1, long long x2, long long y2) {
  if (x2 < x1 || y2 < y1) return;
  rectfill(bmp, clamp_int(x1, -1, bmp->w), clamp_int(y1, -1, bmp->h), clamp_int(x2, -1, bmp->w),
           clamp_int(y2, -1, bmp->h), display.colour_black);
}

// Black only where the terrain ends: the cells the area's edges cut show
// their tiles.
void blank_outside_map(const MapGeometry &g) {
  const long long S = g.S, W = g.W, H = display.status_y, X0 = g.X0, Y0 = g.Y0;
  const long long tx = map_columns(), ty = map_rows();
  if (X0 + g.cells_x > tx) blank(g.bmp, S * (tx - X0), 0, W - 1, H - 1);
  if (Y0 + g.cells_y > ty) blank(g.bmp, 0, S * (ty - Y0), W - 1, H - 1);
  if (X0 < 0) blank(g.bmp, 0, 0, S * -X0 - 1, H - 1);
  if (Y0 < 0) blank(g.bmp, 0, 0, W - 1, S * -Y0 - 1);
}

}  // namespace

// The map's layers as drawn at the start of a drag, with the areas not
// dragged, and what they were drawn for: the same view, map, textures and
// selection give the same pixels.
struct KeptLayers {
  BITMAP *bitmap = nullptr;
  int X0 = 0, Y0 = 0, S = 0, W = 0, H = 0, edit_mode = 0, lands = 0, textures = 0, overlay_mode = 0, area = 0;
  unsigned changes = 0;
  bool valid = false;
};
static KeptLayers kept_layers;

static bool same_as_kept(const ViewState &view, const MapGeometry &g) {
  const KeptLayers &k = kept_layers;
  return k.valid && k.X0 == g.X0 && k.Y0 == g.Y0 && k.S == g.S && k.W == g.W && k.H == g.bmp->h &&
         k.edit_mode == view.edit_mode && k.lands == (int)painting_lands(view) &&
         k.textures == texture_table.textures_loaded && k.changes == history_changes() &&
         k.overlay_mode == view.overlay_mode && k.area == view.target_area;
}

static bool put_back_map_layers(const ViewState &view, const MapGeometry &g) {
  if (!view.map_layers_kept) {
    kept_layers.valid = false;
    return false;
  }
  if (!same_as_kept(view, g)) return false;
  blit(kept_layers.bitmap, g.bmp, 0, 0, 0, 0, g.W, std::min(g.bmp->h, display.status_y));
  return true;
}

static void keep_map_layers(const ViewState &view, const MapGeometry &g) {
  KeptLayers &k = kept_layers;
  if (!view.map_layers_kept) return;
  if (!k.bitmap || k.bitmap->w != g.bmp->w || k.bitmap->h != g.bmp->h) {
    if (k.bitmap) destroy_bitmap(k.bitmap);
    k.bitmap = create_bitmap_ex(bitmap_color_depth(g.bmp), g.bmp->w, g.bmp->h);
    if (!k.bitmap) return;
  }
  blit(g.bmp, k.bitmap, 0, 0, 0, 0, g.W, std::min(g.bmp->h, display.status_y));
  k.X0 = g.X0, k.Y0 = g.Y0, k.S = g.S, k.W = g.W, k.H = g.bmp->h, k.edit_mode = view.edit_mode;
  k.lands = (int)painting_lands(view), k.textures = texture_table.textures_loaded, k.changes = history_changes();
  k.overlay_mode = view.overlay_mode, k.area = view.target_area;
  k.valid = true;
}

void draw_map_view(BITMAP *bmp, const ViewState &view, int show_targets) {
  acquire_screen();
  const MapGeometry g = view_geometry(bmp, view);
  // The cut cells end at the strip: nothing of the view is drawn on it.
  const int saved_clip = get_clip_state(bmp);
  int cl, ct, cr, cb;
  get_clip_rect(bmp, &cl, &ct, &cr, &cb);
  if (saved_clip)
    set_clip_rect(bmp, cl, ct, cr, std::min(cb, display.status_y - 1));
  else
    set_clip_rect(bmp, 0, 0, bmp->w - 1, display.status_y - 1);
  set_clip_state(bmp, TRUE);

  // While a mark is dragged, the other areas are kept with the map.
  const bool dragging = view.map_layers_kept && show_targets;
  if (!put_back_map_layers(view, g)) {
    if (view.edit_mode == EDIT_HEIGHTS)
      draw_height_layer(g);
    else if (!painting_lands(view) || !land_layer_draws_tiles(g))
      draw_texture_layer(g);
    if (painting_lands(view)) draw_land_overlay(g);
    if (dragging) {
      MapGeometry others = g;
      others.overlay_part = OVERLAY_ALL_BUT_SELECTED;
      draw_target_overlay(others);
    }
    keep_map_layers(view, g);
  }

  if (show_targets) {
    MapGeometry part = g;
    if (dragging) part.overlay_part = OVERLAY_SELECTED;
    draw_target_overlay(part);
    if (view.edit_mode == EDIT_HEIGHTS && g.zoom == 0)
      draw_height_numbers(g, view.cursor_x, view.cursor_y);
  }

  if (view.selected) draw_selection(g, view.selection);
  draw_cursor_marks(g);
  blank_outside_map(g);
  set_clip_rect(bmp, cl, ct, cr, cb);
  set_clip_state(bmp, saved_clip);
  release_screen();
}
