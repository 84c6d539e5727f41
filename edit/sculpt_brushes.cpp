#include "edit/sculpt_brushes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <strings.h>
#include <vector>

#include "core/terrain_model.h"
#include "edit/edit_history.h"

SculptBrush sculpt_brush;

namespace {

int clamp_int(long long v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : (int)v; }

// Every sample's weight around a brush's centre, and how far each column
// of it reaches up and down: the samples closer than the radius.
struct Kernel {
  int radius = -1, falloff = -1, hardness = -1;
  int side = 0;                  // 2 r - 1
  std::vector<int32_t> weights;  // [(dx + r - 1) * side + dy + r - 1]
  std::vector<int> reach;        // [dx + r - 1]: the largest |dy| inside
};

const Kernel &kernel_of(const SculptBrush &b) {
  static Kernel k;
  const int r = clamp_int(b.radius, SCULPT_RADIUS_MIN, SCULPT_RADIUS_MAX), h = clamp_int(b.hardness, 0, 100);
  if (k.radius == r && k.falloff == b.falloff && k.hardness == h) return k;
  k.radius = r, k.falloff = b.falloff, k.hardness = h;
  k.side = 2 * r - 1;
  k.weights.assign((size_t)k.side * k.side, 0);
  k.reach.assign((size_t)k.side, 0);
  for (int dx = 1 - r; dx < r; dx++) {
    int reach = 0;
    for (int dy = 1 - r; dy < r; dy++) {
      if (dx * dx + dy * dy >= r * r) continue;
      reach = std::max(reach, std::abs(dy));
      k.weights[(size_t)(dx + r - 1) * k.side + (dy + r - 1)] = sculpt_weight(b.falloff, h, r, std::sqrt((double)(dx * dx + dy * dy)));
    }
    k.reach[(size_t)(dx + r - 1)] = reach;
  }
  return k;
}

// The dab's square on the map, inclusive; false when none of it is.
struct Region {
  int x0, y0, x1, y1;
  int columns() const { return x1 - x0 + 1; }
  int rows() const { return y1 - y0 + 1; }
};

bool dab_region(int r, int x, int y, Region *g) {
  const int mx = 4 * map_columns(), my = 4 * map_rows();
  g->x0 = clamp_int((long long)x - r + 1, 0, mx), g->x1 = clamp_int((long long)x + r - 1, -1, mx - 1);
  g->y0 = clamp_int((long long)y - r + 1, 0, my), g->y1 = clamp_int((long long)y + r - 1, -1, my - 1);
  return g->x0 <= g->x1 && g->y0 <= g->y1;
}

uint16_t in_range(long long v) { return (uint16_t)std::clamp(v, 0LL, (long long)MAX_HEIGHT); }

// h moved towards goal by kw / SCULPT_WEIGHT_ONE of the way, rounded half
// away from zero: never past goal.
uint16_t blended(int h, int goal, long long kw) {
  const long long d = goal - h, half = SCULPT_WEIGHT_ONE / 2;
  const long long step = d >= 0 ? (d * kw + half) >> 16 : -((-d * kw + half) >> 16);
  return step ? in_range(h + step) : (uint16_t)h;
}

uint32_t mix(uint32_t h) {
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  return h ^ (h >> 16);
}

// The lattice's value at (ix, iy) of one octave, in -1..1.
double lattice(uint32_t seed, uint32_t ix, uint32_t iy) {
  return mix(seed * 0x9E3779B9u ^ mix(ix * 0x85EBCA6Bu ^ mix(iy + 0x68E31DA4u))) * (2.0 / 4294967295.0) - 1.0;
}

// The rows' share of the noise, the same for every column of a dab: each
// octave's width and, down the rows from y0, each row's lattice cell and its
// smoothed place in it.
struct NoiseRows {
  int octaves = 0, n = 0;
  double wide[SCULPT_NOISE_OCTAVES], amplitude[SCULPT_NOISE_OCTAVES], total = 0;
  std::vector<long long> cell;  // [o * n + k]
  std::vector<double> along;    // [o * n + k]

  void make(int r, int y0, int rows) {
    n = rows, octaves = 0, total = 0;
    cell.resize((size_t)SCULPT_NOISE_OCTAVES * n);
    along.resize((size_t)SCULPT_NOISE_OCTAVES * n);
    double w = std::max(r, 2), a = 1;
    for (int o = 0; o < SCULPT_NOISE_OCTAVES && (o == 0 || w >= 2); o++, w /= 2, a /= 2) {
      wide[o] = w, amplitude[o] = a, total += a, octaves++;
      for (int k = 0; k < n; k++) {
        const double fy = (y0 + k) / w, iy = std::floor(fy), ty = fy - iy;
        cell[(size_t)o * n + k] = (long long)iy;
        along[(size_t)o * n + k] = ty * ty * (3 - 2 * ty);
      }
    }
  }
};

// The noise down the rows of column x: value noise of a few octaves, each
// interpolated smoothly between its lattice points, a lattice cell's two
// rows looked up once down the column.
void noise_column(uint32_t seed, const NoiseRows &rows, int x, double *out) {
  const int n = rows.n;
  std::fill(out, out + n, 0.0);
  for (int o = 0; o < rows.octaves; o++) {
    const uint32_t s = seed + 101u * (uint32_t)o;
    const double fx = x / rows.wide[o], amplitude = rows.amplitude[o];
    const double ix = std::floor(fx), tx = fx - ix, sx = tx * tx * (3 - 2 * tx);
    const uint32_t cx = (uint32_t)(long long)ix;
    const long long *cells = rows.cell.data() + (size_t)o * n;
    const double *along = rows.along.data() + (size_t)o * n;
    long long cell = cells[0] - 1;
    double top = 0, bottom = 0;
    for (int k = 0; k < n; k++) {
      if (cells[k] != cell) {
        cell = cells[k];
        const uint32_t cy = (uint32_t)cell;
        top = lattice(s, cx, cy) + (lattice(s, cx + 1, cy) - lattice(s, cx, cy)) * sx;
        bottom = lattice(s, cx, cy + 1) + (lattice(s, cx + 1, cy + 1) - lattice(s, cx, cy + 1)) * sx;
      }
      out[k] += amplitude * (top + (bottom - top) * along[k]);
    }
  }
  for (int k = 0; k < n; k++) out[k] /= rows.total;
}

// Where a stroke has been, 64 x 64 samples: their values before it
// (copied when the stroke first changes one of them, none changed yet) and
// a bit for each sample that is in the lists.
struct Block {
  uint16_t first[64 * 64];  // [X % 64 * 64 + Y % 64]
  uint64_t listed[64];      // a word a column
};
enum { BLOCK_CHUNK = 64, CHUNKS_KEPT = 32 };

// What a stroke changed: each sample a dab changed, once, with its value
// before the stroke, in the order first changed, and how many differ from
// that value now (a sample a later dab puts back stops counting). The lists
// are the history step's as they are, so that its end copies nothing; the
// blocks' memory stays for the next stroke, up to CHUNKS_KEPT chunks.
struct Capture {
  int blocks_y = 0;
  std::vector<Block *> slot;  // block (X / 64, Y / 64) at [X / 64 * blocks_y + Y / 64], or null
  std::vector<std::unique_ptr<Block[]>> chunks;
  size_t used = 0;            // blocks of the chunks this stroke has
  size_t last_key = SIZE_MAX;  // the block note last used
  Block *last = nullptr;
  uint32_t *places = nullptr;  // X * MAX_SAMPLES + Y
  uint16_t *before = nullptr;
  size_t kept = 0, room = 0;
  long long differ = 0;
  int left = 0, top = 0, right = -1, bottom = -1;  // of the places kept

  void begin() {
    clear();
    blocks_y = (4 * map_rows() + 63) / 64;
    slot.assign((size_t)((4 * map_columns() + 63) / 64) * blocks_y, nullptr);
    left = top = MAX_SAMPLES, right = bottom = -1;
  }
  Block *make_block(int x, int y) {
    if (used / BLOCK_CHUNK == chunks.size()) chunks.emplace_back(new Block[BLOCK_CHUNK]);
    Block *b = &chunks[used / BLOCK_CHUNK][used % BLOCK_CHUNK];
    used++;
    const int x0 = x & ~63, y0 = y & ~63;
    const int columns = std::min(64, 4 * map_columns() - x0), rows = std::min(64, 4 * map_rows() - y0);
    for (int c = 0; c < columns; c++) memcpy(b->first + c * 64, height_map.heights[x0 + c] + y0, (size_t)rows * 2);
    memset(b->listed, 0, sizeof(b->listed));
    return b;
  }
  // Before a sample changes from was to now.
  void note(int x, int y, uint16_t was, uint16_t now) {
    const size_t key = (size_t)(x >> 6) * blocks_y + (y >> 6);
    if (key != last_key) {
      Block *&b = slot[key];
      if (!b) b = make_block(x, y);
      last_key = key, last = b;
    }
    const uint16_t first = last->first[(x & 63) * 64 + (y & 63)];
    differ += (now != first) - (was != first);
    uint64_t &word = last->listed[x & 63];
    const uint64_t bit = 1ULL << (y & 63);
    if (word & bit) return;
    word |= bit;
    if (kept == room) grow();
    places[kept] = (uint32_t)x * MAX_SAMPLES + (uint32_t)y;
    before[kept++] = first;
    left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
  }
  // The lists start large enough to lie in memory mapped for them alone
  // (the C library maps any block over 32 MB so): a page is only used once
  // written, and growing or shrinking them moves no bytes, so that no frame
  // of a long stroke, nor its end, copies what came before.
  void grow() {
    const size_t more = std::max<size_t>(room * 2, (size_t)1 << 25);
    uint32_t *p = (uint32_t *)realloc(places, more * 4);
    if (p) places = p;
    uint16_t *b = p ? (uint16_t *)realloc(before, more * 2) : nullptr;
    if (!b) throw std::bad_alloc();
    before = b;
    room = more;
  }
  // The lists cut to what they hold, for the history to keep.
  void shrink() {
    if (kept < 4096) {
      // A few pages would be mostly empty: small lists are copied.
      uint32_t *p = (uint32_t *)malloc(kept * 4);
      uint16_t *b = (uint16_t *)malloc(kept * 2);
      if (!p || !b) {
        free(p), free(b);
        return;
      }
      memcpy(p, places, kept * 4), memcpy(b, before, kept * 2);
      free(places), free(before);
      places = p, before = b;
      return;
    }
    uint32_t *p = (uint32_t *)realloc(places, kept * 4);
    if (p) places = p;
    uint16_t *b = (uint16_t *)realloc(before, kept * 2);
    if (b) before = b;
  }
  void clear() {
    last_key = SIZE_MAX, last = nullptr;
    slot = std::vector<Block *>();
    used = 0;
    if (chunks.size() > CHUNKS_KEPT) chunks.resize(CHUNKS_KEPT);
    free(places);
    free(before);
    places = nullptr, before = nullptr;
    kept = room = 0;
    differ = 0;
  }
};

// The samples of the dab's square as they were, as the brush makes them,
// and each one's weight, column by column; kept between dabs.
struct Scratch {
  std::vector<uint16_t> was, now;
  std::vector<int32_t> weight;
  std::vector<double> noise;
  std::vector<uint32_t> sums;
  NoiseRows noise_rows;
};
Scratch scratch;

// The weights of the brush's samples in column c of the region, from row 0.
const int32_t *weights_of(const Kernel &k, const Region &g, int x, int y, int c) {
  return k.weights.data() + (size_t)(g.x0 + c - x + k.radius - 1) * k.side + (g.y0 - y + k.radius - 1);
}

// change(h, weight, c, j) for each sample of the brush on the map (column c,
// row j of the region), written in place; capture, when given, learns each
// changed sample's value before. The samples changed.
template <class Change>
long long each_brush_sample(const Kernel &k, const Region &g, int x, int y, Capture *capture, const Change &change) {
  long long changed = 0;
  for (int c = 0; c < g.columns(); c++) {
    const int column_x = g.x0 + c, reach = k.reach[(size_t)(column_x - x + k.radius - 1)];
    const int j0 = std::max(y - reach - g.y0, 0), j1 = std::min(y + reach - g.y0, g.rows() - 1);
    const int32_t *w = weights_of(k, g, x, y, c);
    uint16_t *column = height_map.heights[column_x] + g.y0;
    for (int j = j0; j <= j1; j++) {
      if (w[j] <= 0) continue;
      const uint16_t h = column[j], v = change(h, w[j], c, j);
      if (v == h) continue;
      if (capture) capture->note(column_x, g.y0 + j, h, v);
      column[j] = v;
      changed++;
    }
  }
  return changed;
}

// Each sample of the brush towards the mean of the samples within r / 4
// (at least 1) of it, on the map, as they were: the means from a table of
// sums over the square and that far around it (wrapping in 32 bits, which
// a difference of four undoes while a box's true sum fits), made before any
// sample changes.
long long smooth(const Kernel &k, const Region &g, int x, int y, int strength, Capture *capture) {
  const int reach = std::max(1, k.radius / 4);
  const int mx = 4 * map_columns(), my = 4 * map_rows();
  const int bx0 = std::max(g.x0 - reach, 0), bx1 = std::min(g.x1 + reach, mx - 1);
  const int by0 = std::max(g.y0 - reach, 0), by1 = std::min(g.y1 + reach, my - 1);
  const size_t h = (size_t)(by1 - by0 + 2);
  std::vector<uint32_t> &sat = scratch.sums;
  sat.assign((size_t)(bx1 - bx0 + 2) * h, 0);
  for (int i = 1; i <= bx1 - bx0 + 1; i++) {
    const uint16_t *column = height_map.heights[bx0 + i - 1] + by0;
    uint32_t running = 0, *out = sat.data() + (size_t)i * h, *left = out - h;
    for (size_t j = 1; j < h; j++) {
      running += column[j - 1];
      out[j] = left[j] + running;
    }
  }
  auto at = [&](int sx, int sy) { return sat[(size_t)(sx - bx0) * h + (size_t)(sy - by0)]; };
  return each_brush_sample(k, g, x, y, capture, [&](uint16_t v, int32_t w, int c, int j) {
    const int sx = g.x0 + c, sy = g.y0 + j;
    const int xa = std::max(sx - reach, 0), xb = std::min(sx + reach, mx - 1);
    const int ya = std::max(sy - reach, 0), yb = std::min(sy + reach, my - 1);
    const uint32_t sum = at(xb + 1, yb + 1) - at(xa, yb + 1) - at(xb + 1, ya) + at(xa, ya);
    const uint32_t n = (uint32_t)((xb - xa + 1) * (yb - ya + 1));
    return blended(v, (int)((sum + n / 2) / n), (long long)strength * w / 100);
  });
}

// The seeded noise, less its weighted mean over the brush so that the dab
// adds as much as it takes away (before rounding and the height bounds).
long long add_noise(const Kernel &k, const Region &g, int x, int y, uint32_t seed, int strength, Capture *capture) {
  const int rows = g.rows();
  scratch.noise.resize((size_t)g.columns() * rows);
  scratch.noise_rows.make(k.radius, g.y0, rows);
  double weighted = 0, weights = 0;
  for (int c = 0; c < g.columns(); c++) {
    double *noise = scratch.noise.data() + (size_t)c * rows;
    const int32_t *w = weights_of(k, g, x, y, c);
    noise_column(seed, scratch.noise_rows, g.x0 + c, noise);
    for (int j = 0; j < rows; j++) {
      weighted += (double)w[j] * noise[j];
      weights += w[j];
    }
  }
  if (weights <= 0) return 0;
  const double mean = weighted / weights, scale = SCULPT_NOISE_METRES * strength / (100.0 * SCULPT_WEIGHT_ONE);
  return each_brush_sample(k, g, x, y, capture, [&](uint16_t v, int32_t w, int c, int j) {
    const long long step = std::llround(scale * w * (scratch.noise[(size_t)c * rows + j] - mean));
    return step ? in_range(v + step) : v;
  });
}

// Thermal erosion within the brush: each sample in turn gives a neighbour
// lower by more than the talus part of the excess, at most half of it, so
// that it never ends below the one it gave to. The sum stays, the highest
// sample never rises and the lowest never falls. Passes alternate their
// direction so that no side is favoured.
void erode(const Region &g, int strength) {
  const int columns = g.columns(), rows = g.rows();
  std::vector<uint16_t> &h = scratch.now;
  const int32_t *w = scratch.weight.data();
  auto give = [&](size_t p, size_t q) {
    if (w[q] <= 0) return;
    const int d = (int)h[p] - (int)h[q];
    if (d <= SCULPT_TALUS_METRES) return;
    const long long kw = (long long)strength * std::min(w[p], w[q]) / 100;
    const int amount = (int)(((long long)(d - SCULPT_TALUS_METRES) * kw) >> 17);
    h[p] = (uint16_t)(h[p] - amount);
    h[q] = (uint16_t)(h[q] + amount);
  };
  for (int pass = 0; pass < SCULPT_ERODE_PASSES; pass++) {
    const bool back = pass & 1;
    for (int n = 0; n < columns; n++) {
      const int c = back ? columns - 1 - n : n;
      for (int m = 0; m < rows; m++) {
        const int j = back ? rows - 1 - m : m;
        const size_t p = (size_t)c * rows + j;
        if (w[p] <= 0) continue;
        // Most samples have no neighbour that much lower.
        int low = h[p];
        if (c > 0) low = std::min(low, (int)h[p - rows]);
        if (c + 1 < columns) low = std::min(low, (int)h[p + rows]);
        if (j > 0) low = std::min(low, (int)h[p - 1]);
        if (j + 1 < rows) low = std::min(low, (int)h[p + 1]);
        if (h[p] - low <= SCULPT_TALUS_METRES) continue;
        if (c > 0) give(p, p - rows);
        if (c + 1 < columns) give(p, p + rows);
        if (j > 0) give(p, p - 1);
        if (j + 1 < rows) give(p, p + 1);
      }
    }
  }
}

// Erosion moves material between samples in turn: on a copy of the
// brush's square, compared with the map afterwards.
long long erode_dab(const Kernel &k, const Region &g, int x, int y, int strength, Capture *capture) {
  const int columns = g.columns(), rows = g.rows();
  const size_t n = (size_t)columns * rows;
  scratch.was.resize(n);
  scratch.weight.resize(n);
  for (int c = 0; c < columns; c++) {
    memcpy(scratch.was.data() + (size_t)c * rows, height_map.heights[g.x0 + c] + g.y0, (size_t)rows * 2);
    memcpy(scratch.weight.data() + (size_t)c * rows, weights_of(k, g, x, y, c), (size_t)rows * 4);
  }
  scratch.now = scratch.was;
  erode(g, strength);
  return each_brush_sample(k, g, x, y, capture,
                           [&](uint16_t v, int32_t, int c, int j) { return v == scratch.was[(size_t)c * rows + j] ? scratch.now[(size_t)c * rows + j] : v; });
}

// A dab; capture, when given, learns each changed sample's value before.
long long dab(const SculptBrush &b, int x, int y, int target, Capture *capture) {
  const Kernel &k = kernel_of(b);
  const int strength = clamp_int(b.strength, 0, 100);
  Region g;
  if (!dab_region(k.radius, x, y, &g)) return 0;
  const int target_height = clamp_int(target, 0, MAX_HEIGHT);
  // A raise never lowers a sample above the top; a lower ends within the bounds.
  auto amount = [&](int32_t w) { return (int)(((long long)strength * SCULPT_RAISE_METRES / 100 * w + SCULPT_WEIGHT_ONE / 2) >> 16); };
  switch (b.kind) {
    case SCULPT_RAISE:
      return each_brush_sample(k, g, x, y, capture, [&](uint16_t v, int32_t w, int, int) {
        return v < MAX_HEIGHT ? in_range(v + amount(w)) : v;
      });
    case SCULPT_LOWER:
      return each_brush_sample(k, g, x, y, capture, [&](uint16_t v, int32_t w, int, int) {
        const int a = amount(w);
        return a > 0 && v > 0 ? in_range(v - a) : v;
      });
    case SCULPT_SMOOTH: return smooth(k, g, x, y, strength, capture);
    case SCULPT_FLATTEN:
      return each_brush_sample(k, g, x, y, capture, [&](uint16_t v, int32_t w, int, int) {
        return blended(v, target_height, (long long)strength * w / 100);
      });
    case SCULPT_NOISE: return add_noise(k, g, x, y, b.seed, strength, capture);
    case SCULPT_ERODE: return erode_dab(k, g, x, y, strength, capture);
    default: return 0;
  }
}

struct Stroke {
  bool on = false;
  SculptBrush brush;
  int target = 0;
  double x = 0, y = 0;  // where the last dab or move left the pointer
  double carry = 0;     // the way since the last dab
  double spacing = 1;
  Capture capture;
};
Stroke stroke;

int floor_int(double v) { return (int)std::clamp(std::floor(v), -1e9, 1e9); }

}  // namespace

int32_t sculpt_weight(int falloff, int hardness, int r, double d) {
  if (r < 1 || d >= r) return 0;
  const double t = d / r, inner = clamp_int(hardness, 0, 100) / 100.0;
  if (falloff == SCULPT_FALLOFF_CONSTANT || t <= inner) return SCULPT_WEIGHT_ONE;
  const double u = (t - inner) / (1 - inner);
  const double f = falloff == SCULPT_FALLOFF_LINEAR ? 1 - u : 1 - u * u * (3 - 2 * u);
  return (int32_t)std::lround(f * SCULPT_WEIGHT_ONE);
}

const char *sculpt_kind_name(int kind) {
  static const char *const names[SCULPT_KINDS] = {"raise", "lower", "smooth", "flatten", "noise", "erode"};
  return kind >= 0 && kind < SCULPT_KINDS ? names[kind] : "";
}

int sculpt_falloff_named(const char *word) {
  static const char *const names[] = {"smooth", "linear", "constant"};
  for (int f = 0; word && f < 3; f++)
    if (strcasecmp(word, names[f]) == 0) return f;
  return -1;
}

void sculpt_strip_text(const SculptBrush &b, int flatten_to, char *text, int size) {
  if (size <= 0) return;
  char target[24] = "";
  if (b.kind == SCULPT_FLATTEN && flatten_to >= 0) snprintf(target, sizeof(target), " to %d m", flatten_to);
  snprintf(text, (size_t)size, "Sculpt: %s %d sample%s %d %%%s", sculpt_kind_name(b.kind), b.radius,
           b.radius == 1 ? "" : "s", b.strength, target);
}

double sculpt_noise(uint32_t seed, int r, int x, int y) {
  NoiseRows rows;
  rows.make(r, y, 1);
  double v;
  noise_column(seed, rows, x, &v);
  return v;
}

long long sculpt_dab(const SculptBrush &brush, int x, int y, int target) { return dab(brush, x, y, target, nullptr); }

void sculpt_stroke_begin(const SculptBrush &brush, double x, double y, int flatten_to) {
  if (stroke.on) sculpt_stroke_end();
  stroke.brush = brush;
  stroke.brush.radius = clamp_int(brush.radius, SCULPT_RADIUS_MIN, SCULPT_RADIUS_MAX);
  stroke.spacing = std::max(1.0, stroke.brush.radius / 4.0);
  stroke.x = x, stroke.y = y, stroke.carry = 0;
  stroke.on = true;
  const int cx = floor_int(x), cy = floor_int(y);
  stroke.target = flatten_to;
  if (flatten_to < 0) {
    const int mx = 4 * map_columns(), my = 4 * map_rows();
    stroke.target = mx > 0 && my > 0 ? height_map.heights[clamp_int(cx, 0, mx - 1)][clamp_int(cy, 0, my - 1)] : 0;
  }
  stroke.capture.begin();
  history_begin_samples();
  dab(stroke.brush, cx, cy, stroke.target, &stroke.capture);
}

int sculpt_stroke_to(double x, double y) {
  if (!stroke.on) return 0;
  const double dx = x - stroke.x, dy = y - stroke.y, way = std::hypot(dx, dy);
  if (way <= 0) return 0;
  int laid = 0;
  double at = stroke.spacing - stroke.carry;
  for (; at <= way; at += stroke.spacing, laid = 1)
    dab(stroke.brush, floor_int(stroke.x + dx * at / way), floor_int(stroke.y + dy * at / way), stroke.target,
        &stroke.capture);
  stroke.carry = way - (at - stroke.spacing);
  stroke.x = x, stroke.y = y;
  return laid;
}

long long sculpt_stroke_end() {
  if (!stroke.on) return 0;
  stroke.on = false;
  Capture &c = stroke.capture;
  const long long differ = c.differ;
  if (differ > 0) {
    c.shrink();
    const int action = HISTORY_AREA_SCULPT_RAISE + clamp_int(stroke.brush.kind, 0, SCULPT_KINDS - 1);
    history_end_samples(action, c.places, c.before, (long long)c.kept, differ, (c.left + c.right) / 8,
                        (c.top + c.bottom) / 8);
    c.places = nullptr, c.before = nullptr;
  }
  c.clear();
  return differ;
}

int sculpt_stroke_on() { return stroke.on; }
