// The view's columns: marched from the camera outwards at depths all
// columns share, sixteen side by side, the ground of each depth noted where
// it rises above what the nearer ground covered (a row buffer per column);
// then what was noted is coloured (texture, light, haze, runways) and
// written in place, and the sky above. Bands of columns on every core.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "core/height_palette.h"
#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "render/air/air_frame.h"
#include "render/air/air_view.h"

namespace {

// Depth steps: one pixel row of the ground apart near the camera, at most
// this share of the depth far off (where detail falls), and no less than
// the least share.
const double STEP_FAR = 0.012, STEP_LEAST = 0.005, NEAREST = 1.0;
// How far around the camera the ground's heights choose the near depths.
const double ROWS_REACH_M = 16000;
// The edge of a texel of level k is 2000 / 256 * 2^k metres.
const double TEXEL_M = 2000.0 / 256;
enum { COLUMN_BAND = 16 };  // columns a part draws: a cache line of each row
enum { PREFETCH_AHEAD = 16 };  // ground shown, coloured this many after its texel is asked for

AirGround ground;  // read by the work threads while a frame is drawn
AirFrameCounts counts;

int within(int v, int low, int high) { return v < low ? low : (v > high ? high : v); }

// The sky and the haze: pale at the horizon, deeper towards the zenith.
const int HORIZON_RGB[3] = {196, 210, 222}, ZENITH_RGB[3] = {72, 118, 190};

uint32_t rgb_mix(const int *a, const int *b, double t) {
  return (uint32_t)makecol32((int)(a[0] + (b[0] - a[0]) * t + 0.5), (int)(a[1] + (b[1] - a[1]) * t + 0.5),
                             (int)(a[2] + (b[2] - a[2]) * t + 0.5));
}

// 2^16 / (2 m) for each brightest component m of a pixel.
struct ShadeTables {
  uint32_t half_reciprocal[256];
  uint16_t light[256];  // shade * 510 / 511: twice the value the shade adds
  ShadeTables() {
    half_reciprocal[0] = 0;
    for (int m = 1; m < 256; m++) half_reciprocal[m] = (uint32_t)((65536.0 / (2 * m)) + 0.5);
    for (int s = 0; s < 256; s++) light[s] = (uint16_t)((s * 510 + 255) / 511);
  }
} tables;

// apply_shade's light on a pixel: hue and saturation kept, its value
// halved and the shade's share (shade / 511) added.
inline uint32_t shaded(uint32_t c, int shade) {
  const uint32_t a = c & 255, b = (c >> 8) & 255, d = (c >> 16) & 255;
  const uint32_t m = std::max(a, std::max(b, d));
  const uint32_t k = tables.light[shade];
  if (m == 0) {
    const uint32_t grey = k / 2;
    return grey | grey << 8 | grey << 16;
  }
  const uint32_t mul = (k + m) * tables.half_reciprocal[m];
  return ((a * mul) >> 16) | ((b * mul) >> 16) << 8 | ((d * mul) >> 16) << 16;
}

// c with weight (256 - w), the haze with w.
inline uint32_t hazed(uint32_t c, uint32_t haze, uint32_t w) {
  const uint32_t keep = 256 - w;
  const uint32_t rb = ((c & 0xFF00FF) * keep + (haze & 0xFF00FF) * w) >> 8;
  const uint32_t g = ((c & 0x00FF00) * keep + (haze & 0x00FF00) * w) >> 8;
  return (rb & 0xFF00FF) | (g & 0x00FF00);
}

// The highest sample within radius metres of the camera (a square), raw.
int highest_near(const AirCamera &c, double radius) {
  if (ground.samples_x <= 0) return 0;
  const auto index = [](double v, int n) { return v < 0 ? 0 : (v > n - 1 ? n - 1 : (int)v); };
  const double sx = sample_x_of(c.east), sy = sample_y_of(c.north, ground.tiles_y), r = radius / 500 + 1;
  const int x0 = index(sx - r, ground.samples_x), x1 = index(sx + r, ground.samples_x);
  const int y0 = index(sy - r, ground.samples_y), y1 = index(sy + r, ground.samples_y);
  if (sx + r < 0 || sy + r < 0 || sx - r > ground.samples_x - 1 || sy - r > ground.samples_y - 1) return 0;
  int most = 0;
  for (int x = x0; x <= x1; x++)
    for (int y = y0; y <= y1; y++) most = std::max(most, (int)height_map.heights[x][y]);
  return most;
}

// The nearest depth whose ground can show in the bottom row: ground within
// a radius r of the camera shows there no nearer than its height below the
// camera over the bottom row's slope, and lies no farther ahead than r / 2
// (the widest view's outer columns reach twice as far aside as ahead).
double nearest_depth(const AirFrame &f, double top, double exaggeration) {
  const double slope = (f.p.height - f.p.horizon_row) / f.p.focal, altitude = f.camera.altitude;
  if (!(slope > 0)) return NEAREST;
  double z = NEAREST;
  for (double radius = 250; radius <= 64000; radius *= 4) {
    const double highest = highest_near(f.camera, radius) * exaggeration;
    if (highest >= altitude) return z;
    const double need = (altitude - highest) / slope * 0.98;
    if (need < radius / 2) return std::max(z, need);
    z = radius / 2;
  }
  return altitude > top ? std::max(z, (altitude - top) / slope * 0.98) : z;
}

void make_schedule(AirFrame &f, const AirOptions &o) {
  AirSchedule &s = f.schedule;
  s.depth.clear(), s.rows_per_m.clear(), s.level.clear(), s.shade_level.clear(), s.haze.clear(), s.coarse.clear();
  const double focal = f.p.focal, distance = 1000.0 * o.distance_km;
  const double under = air_ground_height(f.camera.east, f.camera.north, o.exaggeration);
  const double above = std::max(f.camera.altitude - under, (double)AIR_CLEARANCE);
  // Ground higher than the camera nearby needs closer depths for its rows
  // (far off, the depths' share of the depth bounds them).
  const double top = std::max((double)ground.max_raw * o.exaggeration, under);
  const double near_top = std::max(highest_near(f.camera, ROWS_REACH_M) * o.exaggeration, under);
  const double rows_scale = std::max(above, std::min(near_top - f.camera.altitude, 3 * above));
  double z = nearest_depth(f, top, o.exaggeration);
  for (double dz; z < distance; z += dz) {
    dz = std::min(std::max(z * z / (rows_scale * focal), z * STEP_LEAST), z * STEP_FAR);
    s.depth.push_back(z);
    // Depths a sample or more apart take the nearest sample.
    s.coarse.push_back(dz >= 500);
    s.rows_per_m.push_back((float)(focal / z));
    const double pixel = z / focal;  // metres across a pixel there
    s.level.push_back((uint8_t)within((int)std::ceil(std::log2(std::max(pixel / TEXEL_M, 1e-9))), 0, TEXTURE_LEVELS - 1));
    const double spacing = std::max(2 * pixel, z * STEP_FAR);
    s.shade_level.push_back((uint8_t)within((int)std::floor(std::log2(std::max(spacing / 500, 1e-9))), 0, SHADE_LEVELS - 1));
    s.haze.push_back((uint16_t)(o.haze ? within((int)(256 * (1 - std::exp(-3 * z / distance)) + 0.5), 0, 256) : 0));
  }
}

void make_sky(AirFrame &f) {
  f.sky.resize((size_t)f.p.height);
  for (int r = 0; r < f.p.height; r++) {
    const double up = std::atan((f.p.horizon_row - (r + 0.5)) / f.p.focal) / (M_PI / 2);
    f.sky[(size_t)r] = up <= 0 ? f.haze_colour : rgb_mix(HORIZON_RGB, ZENITH_RGB, std::pow(std::min(up * 1.6, 1.0), 0.7));
  }
}

inline int palette_colour(int sample) { return height_palette[sample < 0 ? 0 : (sample > MAX_HEIGHT ? MAX_HEIGHT : sample)]; }

// How the last ground coloured was textured: most shown ground lies on
// the tile, texture level and turn of the ground shown before it.
struct Texturing {
  int texture = -1, level = -1, rotation = -1;
  const GroundTexture *tex = nullptr;
  const uint32_t *pixels = nullptr;
  TexelWalk walk = {0, 0, 0};
  int shift = 0, mask = 0;
};

// The ground's colour at depth i, before the haze.
inline uint32_t ground_colour(const AirFrame &f, int i, GroundPlace p, const Tile &tile, ShadeCursor &cursor,
                              Texturing &t) {
  const int number = texture_number(tile), k = f.schedule.level.data()[i], rotation = tile.rotation & 3;
  if (number != t.texture || k != t.level || rotation != t.rotation) {
    t.texture = number, t.level = k, t.rotation = rotation;
    t.tex = &ground.textures[number];
    t.pixels = t.tex->levels[k].pixels;
    t.walk = texel_walks[k][rotation];
    t.shift = k + 2, t.mask = t.tex->levels[k].size - 1;
  }
  const GroundTexture &tex = *t.tex;
  uint32_t c;
  if (f.look.height_display) {
    c = (uint32_t)palette_colour(tex.water ? 0 : ground_sample(ground, p));
  } else if (t.pixels) {
    const int shift = t.shift, mask = t.mask;
    c = t.pixels[t.walk.start + t.walk.along_u * ((p.x >> shift) & mask) + t.walk.along_v * ((p.y >> shift) & mask)];
    if (c == tex.mask) c = tex.sample;
  } else {
    c = tex.sample;
  }
  if (!tex.water) c = shaded(c, ground_shade(ground, cursor, p, f.schedule.shade_level[(size_t)i]));
  return c;
}

// Asks for the texel ground_colour will read at depth i, ahead of it: the
// texels of 400 textures' levels lie far apart, and the colouring pass
// otherwise waits on each one in turn.
inline void prefetch_texel(const AirFrame &f, int i, GroundPlace p, const Tile &tile) {
  const int k = f.schedule.level.data()[i];
  const GroundLevel &level = ground.textures[texture_number(tile)].levels[k];
  if (!level.pixels) return;
  const uint32_t *texel = ground_texel_at(level, k, tile.rotation, p);
  // GCC 12 leaves __builtin_prefetch out of this loop; the instruction itself stays.
#if defined(__x86_64__) || defined(__i386__)
  asm volatile("prefetcht0 %0" : : "m"(*texel));
#else
  __builtin_prefetch(texel);
#endif
}

// The first row whose centre lies at or below y (y < height): ceil(y - 0.5), 0 above the view.
inline int first_row(float y) {
  const float r = y - 0.5f;
  if (!(r > 0)) return 0;
  const int t = (int)r;
  return t + ((float)t < r);
}

struct ColumnCounts {
  long long looks = 0, drawn = 0;
};

// A column under way: where it looks, how far up its ground reaches.
struct Column {
  double dx, dy;  // sample units per metre ahead
  int cover;      // rows cover .. height - 1 are drawn
  int probe, probes_end;
};

// Ground found to show, to be coloured: rows top .. bottom - 1 of a column.
struct Shown {
  GroundPlace p;
  const Tile *tile;  // null off the terrain
  int16_t top, bottom;
  uint16_t step;
  uint8_t column;
};

// Columns side by side, each depth for all of them before the next: their
// ground, its texels and heights, lies together at each depth and is read
// once into the cache for all. First the depths are marched and what shows
// is noted, then it is coloured in one run, its reads apart from the
// march's branches; the sky above what the ground covered.
// Pixel (column first + j, row r) is out[r * stride + j].
void draw_columns(AirFrame &f, int first, int count, uint32_t *out, int stride, ColumnCounts &n) {
  enum { MOST = 16 };
  Column columns[MOST];
  count = std::min(count, (int)MOST);
  for (int j = 0; j < count; j++) {
    Column &c = columns[j];
    double de, dn;
    air_column_direction(f.p, first + j, &de, &dn);
    c.dx = de / 500, c.dy = -dn / 500;
    c.cover = f.p.height;
    c.probe = f.first[(size_t)(first + j)], c.probes_end = f.first[(size_t)(first + j) + 1];
  }
  thread_local std::vector<Shown> shown;
  shown.resize((size_t)count * f.p.height);
  Shown *__restrict next = shown.data();
  // What the loops read, apart from what they write.
  const AirSchedule &s = f.schedule;
  const int steps = (int)s.depth.size();
  const double *const depth = s.depth.data(), x0 = f.x0, y0 = f.y0;
  const float *const rows_per_m = s.rows_per_m.data();
  const uint8_t *const coarse = s.coarse.data();
  const float horizon = (float)f.p.horizon_row, altitude = (float)f.camera.altitude;
  AirProbe *const probes = f.probes.data();
  long long looks = 0;
  int open = count;  // columns whose ground has not reached the top
  for (int i = 0; i < steps && open > 0; i++) {
    const double z = depth[i];
    const float rows = rows_per_m[i];
    const int nearest = coarse[i];
    for (int j = 0; j < count; j++) {
      Column &c = columns[j];
      if (c.cover <= 0) continue;
      looks++;
      while (c.probe < c.probes_end && probes[c.probe].step <= i) probes[c.probe++].cover = c.cover;
      GroundPlace p;
      const bool on = ground_place_on(ground, x0 + z * c.dx, y0 + z * c.dy, &p);
      const Tile *tile = on ? &ground_tile(ground, p) : nullptr;
      const float g = on ? ground_height(ground, p, *tile, nearest) : 0.0f;
      const float y = horizon + (altitude - g) * rows;
      // Rows whose centres lie at or below y show this ground.
      if (!(y < c.cover - 0.5f)) continue;
      const int top = first_row(y);
      *next++ = Shown{p, tile, (int16_t)top, (int16_t)c.cover, (uint16_t)i, (uint8_t)j};
      c.cover = top;
      open -= top == 0;
    }
  }
  n.looks += looks;
  n.drawn += next - shown.data();
  ShadeCursor cursor;
  Texturing texturing;
  const bool runways = f.look.targets && f.cells_x > 0;
  const uint32_t plain = f.plain, haze = f.haze_colour;
  const uint16_t *const haze_of = s.haze.data();
  uint32_t *__restrict pixels = out;
  const bool textured = !f.look.height_display;
  for (const Shown *w = shown.data(); w < next; w++) {
    const Shown *ahead = w + PREFETCH_AHEAD;
    if (textured && ahead < next && ahead->tile) prefetch_texel(f, ahead->step, ahead->p, *ahead->tile);
    uint32_t c = plain;
    if (w->tile) {
      c = ground_colour(f, w->step, w->p, *w->tile, cursor, texturing);
      if (runways) c = runway_paint(f, w->p, c);
    }
    const uint32_t colour = hazed(c, haze, haze_of[w->step]);
    // The ground shown at one depth lies side by side in a row's pixels.
    uint32_t *__restrict at = pixels + (ptrdiff_t)w->top * stride + w->column;
    for (int r = w->top; r < w->bottom; r++, at += stride) *at = colour;
  }
  // The sky row by row over the columns it shows in: whole rows of the
  // band above the lowest sky, then each column down to its ground.
  int most = 0, least = f.p.height;
  for (int j = 0; j < count; j++) {
    Column &c = columns[j];
    for (; c.probe < c.probes_end; c.probe++) probes[c.probe].cover = c.cover;
    most = std::max(most, c.cover);
    least = std::min(least, c.cover);
  }
  for (int r = 0; r < least; r++) {
    uint32_t *__restrict row = out + (ptrdiff_t)r * stride;
    const uint32_t sky = f.sky[(size_t)r];
    for (int j = 0; j < count; j++) row[j] = sky;
  }
  for (int r = least; r < most; r++) {
    uint32_t *__restrict row = out + (ptrdiff_t)r * stride;
    const uint32_t sky = f.sky[(size_t)r];
    for (int j = 0; j < count; j++)
      if (r < columns[j].cover) row[j] = sky;
  }
}

void prepare_frame(AirFrame &f, uint32_t **lines, int width, int height, const AirCamera &camera,
                   const AirOptions &options, const AirLook &look) {
  f.camera = camera;
  f.look = look;
  f.p = air_projection(camera, options, width, height);
  f.ground = &ground;
  f.lines = lines;
  f.x0 = sample_x_of(camera.east);
  f.y0 = sample_y_of(camera.north, ground.tiles_y);
  f.haze_colour = rgb_mix(HORIZON_RGB, HORIZON_RGB, 0);  // the horizon's own
  f.plain = shaded(ground.plain, LEVEL_SHADE);
  make_schedule(f, options);
  make_sky(f);
  f.probes.clear();
  f.first.assign((size_t)width + 1, 0);
  f.runways.clear();
  f.cells_x = f.cells_y = 0;
}

AirFrame frame;

}  // namespace

void draw_air_view(BITMAP *bmp, int width, int height, const AirCamera &camera, const AirOptions &given,
                   const AirLook &look) {
  width = std::min(width, bmp->w);
  height = std::min(height, bmp->h);
  if (width <= 0 || height <= 0) return;
  const AirOptions options = air_options_within_limits(given);
  // Columns are written through the line pointers of a 32-bit memory
  // bitmap; any other is drawn through one.
  bool direct = is_memory_bitmap(bmp) && bitmap_color_depth(bmp) == 32;
  for (int r = 2; direct && r < height; r++) direct = bmp->line[r] - bmp->line[r - 1] == bmp->line[1] - bmp->line[0];
  BITMAP *target = direct ? bmp : create_bitmap_ex(32, width, height);
  if (!target) return;
  prepare_air_ground(ground, options.exaggeration);
  prepare_frame(frame, (uint32_t **)target->line, width, height, camera, options, look);
  AirMarks *marks = look.targets ? plan_air_marks(frame) : nullptr;
  const int bands = (width + COLUMN_BAND - 1) / COLUMN_BAND;
  std::vector<ColumnCounts> band_counts((size_t)bands);
  // Rows evenly apart, as memory bitmaps have them: columns are written in place.
  uint32_t *const origin = frame.lines[0];
  const int stride = height > 1 ? (int)(frame.lines[1] - frame.lines[0]) : width;
  run_parts(bands, [&](int k) {
    const int c0 = k * COLUMN_BAND, n = std::min(width, c0 + COLUMN_BAND) - c0;
    draw_columns(frame, c0, n, origin + c0, stride, band_counts[(size_t)k]);
  });
  counts = AirFrameCounts{(int)frame.schedule.depth.size(), 0, 0};
  for (const ColumnCounts &n : band_counts) counts.looks += n.looks, counts.drawn += n.drawn;
  if (marks) draw_air_marks(target, frame, marks);
  if (!direct) {
    blit(target, bmp, 0, 0, 0, 0, width, height);
    destroy_bitmap(target);
  }
}

int air_pick(const AirCamera &camera, const AirOptions &given, int width, int height, int px, int py,
             double *east, double *north, double *height_m) {
  if (px < 0 || py < 0 || px >= width || py >= height) return 1;
  const AirOptions options = air_options_within_limits(given);
  prepare_air_heights(ground, options.exaggeration);
  AirFrame f;
  prepare_frame(f, nullptr, width, height, camera, options, AirLook());
  double de, dn;
  air_column_direction(f.p, px, &de, &dn);
  const AirSchedule &s = f.schedule;
  // The first depth whose ground covers the pixel's row, as the columns draw it.
  for (size_t i = 0; i < s.depth.size(); i++) {
    const double z = s.depth[i], sx = f.x0 + z * de / 500, sy = f.y0 - z * dn / 500;
    GroundPlace p;
    const bool on = ground_place_on(ground, sx, sy, &p);
    const float g = on ? ground_height(ground, p, ground_tile(ground, p), s.coarse[i]) : 0.0f;
    const float y = (float)f.p.horizon_row + ((float)camera.altitude - g) * s.rows_per_m[i];
    if (y < py + 0.5f) {
      *east = camera.east + z * de;
      *north = camera.north + z * dn;
      *height_m = g;
      return 0;
    }
  }
  return 1;
}

void forget_air_view() { forget_air_shading(); }

AirFrameCounts last_air_frame_counts() { return counts; }
