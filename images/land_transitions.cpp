#include "images/land_transitions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <strings.h>

namespace {

// How far the noise moves a border (in shares of the side) and how many
// octaves it has; the lattice it is read on has at most this many cells.
const float LAND_NOISE_AMPLITUDE = 0.6f;
const int LAND_NOISE_OCTAVES = 3;
const int LAND_LATTICE_CELLS = 64;

uint32_t mix32(uint32_t h) {
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

uint32_t name_key(const std::string &name) {
  uint32_t h = 2166136261u;
  for (char c : name) h = (h ^ (uint8_t)tolower((unsigned char)c)) * 16777619u;
  return mix32(h);
}

float lattice(uint32_t seed, int ix, int iy) {
  const uint32_t h = mix32(seed + (uint32_t)ix * 0x9E3779B1u + (uint32_t)iy * 0x85EBCA77u);
  return (float)(h >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

float value_noise(uint32_t seed, float x, float y) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = (int)fx, iy = (int)fy;
  const float u = x - fx, v = y - fy;
  const float su = u * u * u * (u * (6 * u - 15) + 10), sv = v * v * v * (v * (6 * v - 15) + 10);
  const float a = lattice(seed, ix, iy), b = lattice(seed, ix + 1, iy);
  const float c = lattice(seed, ix, iy + 1), d = lattice(seed, ix + 1, iy + 1);
  return a + (b - a) * su + (c - a) * sv + (a - b - c + d) * su * sv;
}

float fractal_noise(uint32_t seed, float x, float y, float frequency) {
  float sum = 0, amplitude = 1, total = 0;
  for (int o = 0; o < LAND_NOISE_OCTAVES; o++) {
    sum += amplitude * value_noise(seed + 0x632BE5ABu * (uint32_t)o, x * frequency, y * frequency);
    total += amplitude;
    amplitude *= 0.5f;
    frequency *= 2;
  }
  return sum / total;
}

float smooth01(float x) {
  x = x < 0 ? 0 : x > 1 ? 1 : x;
  return x * x * (3 - 2 * x);
}

// The weight of a land whose score is lag behind the leading land's (whose
// weight is 1): nothing from width on, so that most pixels are one land's.
inline float behind_share(float lag, float width) {
  const float u = 1 - lag / width;
  return u <= 0 ? 0 : u * u * (3 - 2 * u);
}

// The share of an edge's first land at t along it and d in, from the
// noise of the edge on the lattice (cells a side) in its own frame.
float noisy_edge_share(const float *noise, int cells, int n, float width, int t, int d) {
  const float u = (t + 0.5f) * cells / n, v = (d + 0.5f) * cells / n;
  const int i = std::min((int)u, cells - 1), j = (int)v;
  const float fu = u - i, fv = v - j;
  const float *row = noise + (size_t)j * (cells + 1), *next = row + cells + 1;
  const float wave = (row[i] + (row[i + 1] - row[i]) * fu) * (1 - fv) + (next[i] + (next[i + 1] - next[i]) * fu) * fv;
  const float along = (t + 0.5f) / n, in = (d + 0.5f) / n;
  const float reach = (1 - 2 * in) * (1 - 2 * in);
  const float lead = (1 - in) * (1 - 2 * along) + LAND_NOISE_AMPLITUDE * reach * wave;
  const float behind = behind_share(std::fabs(lead), width);
  return lead >= 0 ? 1 / (1 + behind) : behind / (1 + behind);
}

// The sizes every part of a set is measured in, in pixels.
struct Bands {
  int n;       // the side
  int pure;    // each corner's square of this side is its land alone
  int exact;   // pixels nearer an edge than this are its function alone
};

Bands bands_of(int n) { return Bands{n, n / 8, std::max(1, n / 64)}; }

// 0 in the exact band, rising to 1 where the pure squares end.
float edge_fade(const Bands &b, int d) {
  if (d < b.exact) return 0;
  if (d >= b.pure) return 1;
  return smooth01((float)(d - b.exact + 1) / (float)(b.pure - b.exact + 1));
}

// The corner's hold on its own land by the larger of the distances to its
// two edges: whole over the pure square, gone at twice its side.
float corner_hold(const Bands &b, int cheb) {
  if (cheb < b.pure) return 1;
  if (cheb >= 2 * b.pure) return 0;
  return 1 - smooth01((float)(cheb - b.pure + 1) / (float)(b.pure + 1));
}

// The nearest edge of pixel x, y (0 north, 1 east, 2 south, 3 west) and the
// pixel in that edge's clockwise frame: t along it, d inward.
int nearest_edge(int n, int x, int y, int *t, int *d) {
  const int m = n - 1;
  const int dist[4] = {y, m - x, m - y, x};
  int e = 0;
  for (int k = 1; k < 4; k++)
    if (dist[k] < dist[e]) e = k;
  const int along[4] = {x, y, m - x, m - y};
  *t = along[e];
  *d = dist[e];
  return e;
}

// A blend of two samples of one land that keeps its contrast: the samples
// are taken as correlated by rho (1: the same place, 0: far apart).
float keep_contrast(float a, float b, float w, float rho, float mean) {
  const float k = std::sqrt((1 - w) * (1 - w) + w * w + 2 * w * (1 - w) * rho);
  return mean + ((1 - w) * (a - mean) + w * (b - mean)) / k;
}

float nearness(float dx, float dy, float length) { return std::exp(-std::sqrt(dx * dx + dy * dy) / length); }

// The middle square of a picture scaled to n x n: blocks of whole pixels
// averaged down to less than twice n (never a copy of a large picture in
// floats), then sampled bilinearly. Floats, RGB.
std::vector<float> scaled_square(const LandSource &source, int n) {
  const int whole = std::min(source.width, source.height);
  const int x0 = (source.width - whole) / 2, y0 = (source.height - whole) / 2;
  const int f = std::max(1, whole / n), side = whole / f;
  std::vector<float> img((size_t)side * side * 3);
  const float share = 1.0f / ((float)f * f);
  for (int y = 0; y < side; y++)
    for (int x = 0; x < side; x++)
      for (int c = 0; c < 3; c++) {
        unsigned sum = 0;
        for (int dy = 0; dy < f; dy++) {
          const unsigned char *row = source.rgb + ((size_t)(y0 + y * f + dy) * source.width + x0 + x * f) * 3 + c;
          for (int dx = 0; dx < f; dx++) sum += row[dx * 3];
        }
        img[((size_t)y * side + x) * 3 + c] = sum * share;
      }
  std::vector<float> out((size_t)n * n * 3);
  const float scale = (float)side / (float)n;
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      const float sx = std::min(std::max((x + 0.5f) * scale - 0.5f, 0.0f), (float)(side - 1));
      const float sy = std::min(std::max((y + 0.5f) * scale - 0.5f, 0.0f), (float)(side - 1));
      const int ix = std::min((int)sx, side - 2 < 0 ? 0 : side - 2), iy = std::min((int)sy, side - 2 < 0 ? 0 : side - 2);
      const int jx = std::min(ix + 1, side - 1), jy = std::min(iy + 1, side - 1);
      const float fx = sx - ix, fy = sy - iy;
      for (int c = 0; c < 3; c++) {
        const float a = img[((size_t)iy * side + ix) * 3 + c], b = img[((size_t)iy * side + jx) * 3 + c];
        const float p = img[((size_t)jy * side + ix) * 3 + c], q = img[((size_t)jy * side + jx) * 3 + c];
        out[((size_t)y * n + x) * 3 + c] = (a + (b - a) * fx) * (1 - fy) + (p + (q - p) * fx) * fy;
      }
    }
  return out;
}

// A sample of the edge strip with the place of the picture it mostly comes from.
struct StripSample {
  float rgb[3];
  float sx, sy;
};

// The strip every edge of a land's picture carries, n along by `pure` deep:
// the picture's top rows, crossed with their mirror image over the diagonal
// at the ends (so that the two edges at a corner agree) and with their
// reversal about the middle (so that it reads the same from either end).
std::vector<StripSample> edge_strip(const std::vector<float> &p, const float mean[3], const Bands &b) {
  const int n = b.n, depth = b.pure;
  const float length = std::max(2.0f, n / 32.0f);
  const float diagonal = std::max(1.0f, depth / 2.0f), middle = n / 8.0f;
  std::vector<StripSample> folded((size_t)n * depth), strip((size_t)n * depth);
  for (int d = 0; d < depth; d++)
    for (int t = 0; t < n; t++) {
      const float q = smooth01(0.5f + (d - t) / (2 * diagonal));
      const float rho = nearness((float)(t - d), (float)(d - t), length);
      StripSample &s = folded[(size_t)d * n + t];
      for (int c = 0; c < 3; c++)
        s.rgb[c] = keep_contrast(p[((size_t)d * n + t) * 3 + c], p[((size_t)t * n + d) * 3 + c], q, rho, mean[c]);
      s.sx = (float)(q < 0.5f ? t : d);
      s.sy = (float)(q < 0.5f ? d : t);
    }
  for (int d = 0; d < depth; d++)
    for (int t = 0; t < n / 2; t++) {
      const float h = smooth01(0.5f + (t - (n - 1) / 2.0f) / (2 * middle));
      const float rho = nearness((float)(n - 1 - 2 * t), 0, length);
      const StripSample &a = folded[(size_t)d * n + t], &z = folded[(size_t)d * n + n - 1 - t];
      StripSample &s = strip[(size_t)d * n + t];
      for (int c = 0; c < 3; c++) s.rgb[c] = keep_contrast(a.rgb[c], z.rgb[c], h, rho, mean[c]);
      s.sx = h < 0.5f ? a.sx : z.sx;
      s.sy = h < 0.5f ? a.sy : z.sy;
      strip[(size_t)d * n + n - 1 - t] = s;
    }
  // Exactly symmetric at the corners, whatever the rounding did.
  for (int d = 0; d < depth; d++)
    for (int t = 0; t < d; t++) {
      StripSample s = strip[(size_t)t * n + d];
      std::swap(s.sx, s.sy);
      strip[(size_t)d * n + t] = strip[(size_t)d * n + n - 1 - t] = s;
    }
  return strip;
}

// The land's picture with the strip along every edge, faded into the
// picture itself by the pure squares' depth.
std::vector<unsigned char> banded_picture(const std::vector<float> &p, const float mean[3], const Bands &b) {
  const int n = b.n;
  const std::vector<StripSample> strip = edge_strip(p, mean, b);
  const float length = std::max(2.0f, n / 32.0f);
  std::vector<unsigned char> out((size_t)n * n * 3);
  for (int y = 0; y < n; y++)
    for (int x = 0; x < n; x++) {
      int t, d;
      nearest_edge(n, x, y, &t, &d);
      unsigned char *o = &out[((size_t)y * n + x) * 3];
      const float *own = &p[((size_t)y * n + x) * 3];
      for (int c = 0; c < 3; c++) {
        float v = own[c];
        if (d < b.pure) {
          const StripSample &s = strip[(size_t)d * n + t];
          v = keep_contrast(s.rgb[c], own[c], edge_fade(b, d), nearness(s.sx - x, s.sy - y, length), mean[c]);
        }
        o[c] = (unsigned char)std::lround(std::min(255.0f, std::max(0.0f, v)));
      }
    }
  return out;
}

int pair_slot(int lands, int a, int b) { return (a < b ? a : b) * lands + (a < b ? b : a); }

// The eight turns and mirrors of a square as a pixel index: base + x * sx + y * sy.
struct Turn {
  long base, sx, sy;
};

Turn turn_of(int g, int n) {
  const long m = n - 1, N = n;
  const Turn turns[8] = {{0, 1, N},         {m, N, -1},  {m * N + m, -1, -N}, {m * N, -N, 1},
                         {m, -1, N},        {m * N, 1, -N}, {0, N, 1},        {m * N + m, -N, -1}};
  return turns[g & 7];
}

struct Style {
  float width;      // how far behind the leading land's score another still has a share
  float frequency;  // the noise's lowest, in cycles a side
};

Style style_of(const LandSetStyle &s) {
  const float soft = (float)std::min(std::max(s.border, 0), (int)LAND_SET_BORDER_MAX) / LAND_SET_BORDER_MAX;
  return Style{2 * (0.02f + 0.16f * soft), 5.0f - 3.0f * soft};
}

}  // namespace

void prepare_land_transitions(const std::vector<LandSource> &sources, const LandSetStyle &style, LandTransitions *out,
                              const std::vector<bool> *only) {
  const int n = style.size;
  const Bands b = bands_of(n);
  const int lands = (int)sources.size();
  out->style = style;
  out->lands = lands;
  out->nodes = std::min(LAND_LATTICE_CELLS, n / 2);
  out->pictures.assign((size_t)lands, {});
  out->keys.assign((size_t)lands, 0);
  auto wanted = [only](int l) { return !only || (l < (int)only->size() && (*only)[(size_t)l]); };
  for (int l = 0; l < lands; l++) {
    const LandSource &source = sources[(size_t)l];
    out->keys[(size_t)l] = name_key(source.name);
    if (!wanted(l)) continue;
    if (source.prepared && source.width == n && source.height == n) {
      out->pictures[(size_t)l].assign(source.rgb, source.rgb + (size_t)n * n * 3);
      continue;
    }
    const std::vector<float> p = scaled_square(source, n);
    double sum[3] = {0, 0, 0};
    for (size_t i = 0; i < p.size(); i++) sum[i % 3] += p[i];
    const float mean[3] = {(float)(sum[0] * 3 / p.size()), (float)(sum[1] * 3 / p.size()), (float)(sum[2] * 3 / p.size())};
    out->pictures[(size_t)l] = banded_picture(p, mean, b);
  }
  const Style st = style_of(style);
  const int cells = out->nodes, deep = cells / 2;
  out->edge_noise.assign((size_t)lands * lands, {});
  out->first_of_pair.assign((size_t)lands * lands, 0);
  out->edge_shares.assign((size_t)lands * lands, {});
  for (int a = 0; a < lands; a++)
    for (int c = a + 1; c < lands; c++) {
      if (!wanted(a) || !wanted(c)) continue;
      const bool a_first = strcasecmp(sources[(size_t)a].name.c_str(), sources[(size_t)c].name.c_str()) <= 0;
      const int slot = pair_slot(lands, a, c);
      out->first_of_pair[(size_t)slot] = (uint8_t)(1 + (a_first ? a : c));
      const uint32_t seed = mix32(style.seed * 0x27D4EB2Fu ^ out->keys[(size_t)a] ^ out->keys[(size_t)c]);
      std::vector<float> &noise = out->edge_noise[(size_t)slot];
      noise.resize((size_t)(cells + 1) * (deep + 1));
      for (int j = 0; j <= deep; j++)
        for (int i = 0; i <= cells; i++)
          noise[(size_t)j * (cells + 1) + i] = fractal_noise(seed, (float)i / cells, (float)j / cells, st.frequency);
      std::vector<float> &shares = out->edge_shares[(size_t)slot];
      shares.resize((size_t)n * b.pure);
      for (int d = 0; d < b.pure; d++)
        for (int t = 0; t < n; t++)
          shares[(size_t)d * n + t] = noisy_edge_share(noise.data(), cells, n, st.width, t, d);
    }
}

namespace {

// An edge as one tile sees it: its lands, first where its own frame starts.
struct EdgeView {
  int first, second;   // 1-based; equal for an edge of one land
  bool flipped;        // its frame runs against the tile's clockwise one
  const float *noise;   // null for one land
  const float *shares;  // its first land's share in the band, null for one land
};

struct TilePlan {
  const LandTransitions *set;
  Bands b;
  Style st;
  int cells;
  int corner[4];       // 1-based land of each corner
  int slot[4];         // each corner's place among the distinct lands
  int land[4], count;  // the distinct lands
  Turn turn[4];        // how each distinct land's picture is laid
  EdgeView edge[4];
  std::vector<float> scores;  // per lattice node, per distinct land
  // Per lattice cell: the land that leads everywhere in it by so much that
  // the others' shares are nothing, or -1.
  std::vector<int8_t> decided;
  // Each pixel column's (and row's) lattice cell and place in it.
  std::vector<int> cell_of;
  std::vector<float> place_in;
  // edge_fade by the distance from the edge (below pure) and corner_hold by
  // the corner's larger distance (below twice pure), looked up.
  std::vector<float> fade_at, hold_at;
  float inverse_width;
};

void decide_cells(TilePlan &k) {
  const int cells = k.cells;
  k.decided.assign((size_t)cells * cells, -1);
  for (int j = 0; j < cells; j++)
    for (int i = 0; i < cells; i++) {
      const float *node[4] = {&k.scores[((size_t)j * (cells + 1) + i) * 4], &k.scores[((size_t)j * (cells + 1) + i + 1) * 4],
                              &k.scores[((size_t)(j + 1) * (cells + 1) + i) * 4],
                              &k.scores[((size_t)(j + 1) * (cells + 1) + i + 1) * 4]};
      int lead = 0;
      for (int s = 1; s < k.count; s++)
        if (node[0][s] > node[0][lead]) lead = s;
      bool clear = true;
      for (int c = 0; c < 4 && clear; c++)
        for (int s = 0; s < k.count && clear; s++)
          clear = s == lead || node[c][lead] - node[c][s] >= k.st.width;
      if (clear) k.decided[(size_t)j * cells + i] = (int8_t)lead;
    }
}

// The share of the edge's first land at t (in the edge's frame) and d:
// what both tiles on the edge read alike.
inline float edge_share(const EdgeView &e, int n, int t, int d) { return e.shares[(size_t)d * n + t]; }

// The scores of the distinct lands on the lattice: how near each corner
// of the land is, moved by the edges' noise near the edges and by the
// tile's own noise inside.
void lattice_scores(TilePlan &k, uint32_t inner_seed) {
  const int cells = k.cells, deep = cells / 2;
  k.scores.assign((size_t)(cells + 1) * (cells + 1) * 4, 0);
  for (int j = 0; j <= cells; j++)
    for (int i = 0; i <= cells; i++) {
      const float X = (float)i / cells, Y = (float)j / cells;
      const float near[4] = {(1 - X) * (1 - Y), X * (1 - Y), X * Y, (1 - X) * Y};
      const int along[4] = {i, j, cells - i, cells - j}, in[4] = {j, cells - i, cells - j, i};
      float moved[4] = {0, 0, 0, 0}, inside = 1;
      for (int e = 0; e < 4; e++) {
        const EdgeView &v = k.edge[e];
        const float reach = in[e] < deep ? (1 - 2.0f * in[e] / cells) * (1 - 2.0f * in[e] / cells) : 0;
        inside *= 1 - reach;
        if (!v.noise || reach == 0) continue;
        const int t = v.flipped ? cells - along[e] : along[e];
        const float noise = reach * v.noise[(size_t)in[e] * (cells + 1) + t];
        for (int s = 0; s < k.count; s++)
          moved[s] += k.land[s] == v.first ? 0.5f * noise : k.land[s] == v.second ? -0.5f * noise : 0;
      }
      float *out = &k.scores[((size_t)j * (cells + 1) + i) * 4];
      for (int c = 0; c < 4; c++) out[k.slot[c]] += near[c];
      for (int s = 0; s < k.count; s++) {
        const uint32_t seed = inner_seed ^ k.set->keys[(size_t)k.land[s] - 1];
        out[s] += LAND_NOISE_AMPLITUDE * (moved[s] + inside * fractal_noise(seed, X, Y, k.st.frequency));
      }
    }
}

TilePlan tile_of(const LandTransitions &set, LandCorners corners, int variant) {
  TilePlan k;
  k.set = &set;
  k.b = bands_of(set.style.size);
  k.st = style_of(set.style);
  k.cells = set.nodes;
  k.count = 0;
  const uint32_t seed = mix32(set.style.seed * 0x165667B1u ^ mix32(corners));
  for (int c = 0; c < 4; c++) {
    k.corner[c] = corner_land(corners, c);
    int s = 0;
    while (s < k.count && k.land[s] != k.corner[c]) s++;
    if (s == k.count) {
      k.land[k.count++] = k.corner[c];
      const uint32_t key = set.keys[(size_t)k.corner[c] - 1];
      k.turn[s] = turn_of((int)((mix32(seed ^ key) + (uint32_t)variant) & 7), set.style.size);
    }
    k.slot[c] = s;
  }
  for (int e = 0; e < 4; e++) {
    EdgeView &v = k.edge[e];
    const int a = k.corner[e], z = k.corner[(e + 1) & 3];
    v.noise = v.shares = nullptr;
    v.flipped = false;
    v.first = v.second = a;
    if (a == z) continue;
    const int slot = pair_slot(set.lands, a - 1, z - 1);
    v.first = set.first_of_pair[(size_t)slot];
    v.second = v.first == a ? z : a;
    v.flipped = v.first != a;
    v.noise = set.edge_noise[(size_t)slot].data();
    v.shares = set.edge_shares[(size_t)slot].data();
  }
  lattice_scores(k, mix32(seed + 0x9E3779B9u * (uint32_t)(variant + 1)));
  decide_cells(k);
  const int n = set.style.size;
  for (int d = 0; d < k.b.pure; d++) k.fade_at.push_back(edge_fade(k.b, d));
  for (int c = 0; c < 2 * k.b.pure; c++) k.hold_at.push_back(corner_hold(k.b, c));
  k.inverse_width = 1 / k.st.width;
  k.cell_of.resize((size_t)n);
  k.place_in.resize((size_t)n);
  for (int x = 0; x < n; x++) {
    const float u = (x + 0.5f) * k.cells / n;
    k.cell_of[(size_t)x] = std::min((int)u, k.cells - 1);
    k.place_in[(size_t)x] = u - k.cell_of[(size_t)x];
  }
  return k;
}

inline const unsigned char *land_pixel(const TilePlan &k, int s, int x, int y) {
  const Turn &t = k.turn[s];
  return &k.set->pictures[(size_t)k.land[s] - 1][(size_t)(t.base + x * t.sx + y * t.sy) * 3];
}

// The shares of the distinct lands at a pixel away from the exact band.
void inner_shares(const TilePlan &k, int x, int y, int e, int t, int d, float *share) {
  const int n = k.b.n, m = n - 1, cells = k.cells;
  const float fade = d < k.b.pure ? k.fade_at[(size_t)d] : 1;
  for (int s = 0; s < 4; s++) share[s] = 0;
  if (fade < 1) {
    const EdgeView &v = k.edge[e];
    int first = 0, second = 0;
    while (k.land[first] != v.first) first++;
    while (k.land[second] != v.second) second++;
    const float a = v.noise ? edge_share(v, n, v.flipped ? m - t : t, d) : 1;
    share[first] += (1 - fade) * a;
    share[second] += (1 - fade) * (1 - a);
  }
  if (fade > 0) {
    const int i = k.cell_of[(size_t)x], j = k.cell_of[(size_t)y];
    const float fu = k.place_in[(size_t)x], fw = k.place_in[(size_t)y];
    const float *p = &k.scores[((size_t)j * (cells + 1) + i) * 4], *q = p + (size_t)(cells + 1) * 4;
    float score[4], top = -1e30f, sum = 0;
    for (int s = 0; s < k.count; s++) {
      score[s] = (p[s] + (p[s + 4] - p[s]) * fu) * (1 - fw) + (q[s] + (q[s + 4] - q[s]) * fu) * fw;
      top = std::max(top, score[s]);
    }
    for (int s = 0; s < k.count; s++) {
      const float u = 1 - (top - score[s]) * k.inverse_width;
      sum += score[s] = u <= 0 ? 0 : u * u * (3 - 2 * u);
    }
    const float scale = fade / sum;
    for (int s = 0; s < k.count; s++) share[s] += scale * score[s];
  }
  const int near = 2 * k.b.pure;
  if ((x >= near && x <= m - near) || (y >= near && y <= m - near)) return;
  const int cheb[4] = {std::max(x, y), std::max(m - x, y), std::max(m - x, m - y), std::max(x, m - y)};
  for (int c = 0; c < 4; c++) {
    const float hold = cheb[c] < near ? k.hold_at[(size_t)cheb[c]] : 0;
    if (hold == 0) continue;
    for (int s = 0; s < k.count; s++) share[s] *= 1 - hold;
    share[k.slot[c]] += hold;
  }
}

// One pixel of the picture, and its corners' shares when weights is given.
inline void make_pixel(const TilePlan &k, int x, int y, unsigned char *rgb, float *weights) {
  const int n = k.b.n, m = n - 1, inner = 2 * k.b.pure;
  int t, d;
  const int e = nearest_edge(n, x, y, &t, &d);
  unsigned char *out = rgb + ((size_t)y * n + x) * 3;
  float share[4] = {0, 0, 0, 0};
  const int decided = k.decided[(size_t)k.cell_of[(size_t)y] * k.cells + k.cell_of[(size_t)x]];
  if (d < k.b.exact) {
    // The band both tiles of the edge make alike: the edge's own frame,
    // its first land first, every land's picture the same there.
    const EdgeView &v = k.edge[e];
    int first = 0, second = 0;
    while (k.land[first] != v.first) first++;
    while (k.land[second] != v.second) second++;
    float a = 1;
    if (v.noise) {
      const int own = v.flipped ? m - t : t;
      const int near = 2 * k.b.pure, from_start = std::max(own, d), from_end = std::max(m - own, d);
      const float start = from_start < near ? k.hold_at[(size_t)from_start] : 0;
      const float end = from_end < near ? k.hold_at[(size_t)from_end] : 0;
      a = edge_share(v, n, own, d);
      a = start + (1 - start) * a;
      a = (1 - end) * a;
    }
    const unsigned char *p = land_pixel(k, first, x, y), *q = land_pixel(k, second, x, y);
    for (int c = 0; c < 3; c++) out[c] = (unsigned char)(int)(a * p[c] + (1 - a) * q[c] + 0.5f);
    share[first] += a;
    share[second] += 1 - a;
  } else if (decided >= 0 && (d >= k.b.pure ? (x >= inner && x < n - inner) || (y >= inner && y < n - inner)
                                            : k.edge[e].first == k.edge[e].second && k.land[decided] == k.edge[e].first)) {
    // In a cell one land has: inside, past the corners' hold, or by an
    // edge of that land alone.
    memcpy(out, land_pixel(k, decided, x, y), 3);
    share[decided] = 1;
  } else {
    inner_shares(k, x, y, e, t, d, share);
    // Shares in 1/4096ths: whole numbers blend the bytes.
    int sum[3] = {2048, 2048, 2048};
    for (int s = 0; s < k.count; s++) {
      if (share[s] == 0) continue;
      const unsigned char *p = land_pixel(k, s, x, y);
      const int w = (int)(share[s] * 4096 + 0.5f);
      for (int c = 0; c < 3; c++) sum[c] += w * p[c];
    }
    for (int c = 0; c < 3; c++) out[c] = (unsigned char)std::min(255, sum[c] >> 12);
  }
  if (weights)
    for (int c = 0; c < 4; c++) weights[((size_t)y * n + x) * 4 + c] = share[k.slot[c]];
}

}  // namespace

void make_land_transition(const LandTransitions &set, LandCorners corners, int variant, unsigned char *rgb,
                          float *weights) {
  const TilePlan k = tile_of(set, corners, variant);
  const int n = k.b.n, block = 32;
  // In blocks, so that a turned picture is read from a few cache lines at a time.
  for (int by = 0; by < n; by += block)
    for (int bx = 0; bx < n; bx += block)
      for (int y = by; y < std::min(n, by + block); y++)
        for (int x = bx; x < std::min(n, bx + block); x++) make_pixel(k, x, y, rgb, weights);
}

std::vector<LandCorners> land_set_patterns(int count) {
  std::vector<LandCorners> out;
  auto lower = [](LandCorners a, LandCorners b) {
    for (int c = 0; c < 4; c++)
      if (corner_land(a, c) != corner_land(b, c)) return corner_land(a, c) < corner_land(b, c);
    return false;
  };
  for (int nw = 1; nw <= count; nw++)
    for (int ne = 1; ne <= count; ne++)
      for (int se = 1; se <= count; se++)
        for (int sw = 1; sw <= count; sw++) {
          const LandCorners w = land_corners(nw, ne, se, sw);
          bool least = true;
          for (int r = 1; r < 4 && least; r++) least = !lower(turned_corners(w, r), w);
          if (least) out.push_back(w);
        }
  return out;
}
