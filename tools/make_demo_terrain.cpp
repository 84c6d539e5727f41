// Build-time generator: writes the demo terrain that the program opens by
// default. A coastline with an offshore island, a river across the coastal
// plain and a mountain range between the two sides; tiles textured by their
// heights; airfields, towns, a bridge and depots as target areas. Every value
// comes from fixed seeds, so the output is the same on every build.
//
//   make_demo_terrain OUTPUT_DIR
//
// Writes Demo.TFD, Demo.hfd, Demo_DATA.ini, Demo_TARGETS.ini and the texture
// bitmaps into OUTPUT_DIR.
#include <allegro.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

enum {
  DEMO_TILES = 128,
  DEMO_SAMPLES = DEMO_TILES * 4,
  TEX_SIZE = 256,
  DEMO_MAX_HEIGHT = 2990,
  TILE_METRES = 2000,
};

// ---------------------------------------------------------------------------
// Noise

static uint32_t hash3(int x, int y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B1u;
  h ^= (uint32_t)x * 0x85EBCA6Bu;
  h = (h << 13) | (h >> 19);
  h ^= (uint32_t)y * 0xC2B2AE35u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

static double lattice(int x, int y, uint32_t seed) { return hash3(x, y, seed) * (1.0 / 4294967295.0); }

static double smooth(double t) { return t * t * (3.0 - 2.0 * t); }

static double smoothstep(double a, double b, double x) {
  double t = (x - a) / (b - a);
  if (t < 0) t = 0;
  if (t > 1) t = 1;
  return smooth(t);
}

static int wrap(int v, int period) {
  if (period <= 0) return v;
  v %= period;
  return v < 0 ? v + period : v;
}

// Value noise in 0..1 on a lattice of unit cells; a period above 0 makes it
// repeat after that many cells in both directions.
static double value_noise(double x, double y, int period, uint32_t seed) {
  int x0 = (int)floor(x), y0 = (int)floor(y);
  double fx = smooth(x - x0), fy = smooth(y - y0);
  int xa = wrap(x0, period), xb = wrap(x0 + 1, period);
  int ya = wrap(y0, period), yb = wrap(y0 + 1, period);
  double a = lattice(xa, ya, seed), b = lattice(xb, ya, seed);
  double c = lattice(xa, yb, seed), d = lattice(xb, yb, seed);
  return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

// Fractal sum of octaves, 0..1. With a period the sum repeats as well.
static double fbm(double x, double y, int octaves, int period, uint32_t seed) {
  double sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; o++) {
    sum += amp * value_noise(x, y, period, seed + 101u * o);
    norm += amp;
    amp *= 0.5;
    x *= 2;
    y *= 2;
    period *= 2;
  }
  return sum / norm;
}

// Texture noise: `cells` lattice cells across the 256-pixel texture, so the
// pattern repeats seamlessly from one tile to the next.
static double tnoise(double px, double py, int cells, int octaves, uint32_t seed) {
  double s = (double)cells / TEX_SIZE;
  return fbm(px * s, py * s, octaves, cells, seed);
}

// A small deterministic generator for placements.
struct Rng {
  uint32_t state;
};

static uint32_t rng_next(Rng &r) {
  r.state ^= r.state << 13;
  r.state ^= r.state >> 17;
  r.state ^= r.state << 5;
  return r.state;
}

static double rng_unit(Rng &r) { return rng_next(r) * (1.0 / 4294967296.0); }
static int rng_range(Rng &r, int lo, int hi) { return lo + (int)(rng_unit(r) * (hi - lo + 1)); }

// ---------------------------------------------------------------------------
// Texture painting

struct Colour {
  double r, g, b;
};

struct Image {
  Colour px[TEX_SIZE][TEX_SIZE];  // [y][x]
};

static Image canvas;

static Colour rgb(double r, double g, double b) { return {r, g, b}; }

static Colour mix(Colour a, Colour b, double t) {
  if (t < 0) t = 0;
  if (t > 1) t = 1;
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

static Colour scale(Colour c, double f) { return {c.r * f, c.g * f, c.b * f}; }
static Colour add(Colour c, double v) { return {c.r + v, c.g + v, c.b + v}; }

static Colour &at(int x, int y) { return canvas.px[wrap(y, TEX_SIZE)][wrap(x, TEX_SIZE)]; }

// Blends a colour into a wrapped disc, soft at its rim; `shade` lights the
// upper left of the disc and darkens the lower right, like a tree crown.
static void disc(double cx, double cy, double radius, Colour c, double shade) {
  int r = (int)ceil(radius) + 1;
  for (int dy = -r; dy <= r; dy++)
    for (int dx = -r; dx <= r; dx++) {
      double d = sqrt((double)dx * dx + (double)dy * dy) / radius;
      if (d > 1) continue;
      int x = (int)floor(cx) + dx, y = (int)floor(cy) + dy;
      double light = 1.0 + shade * (-(dx + dy) / (2.0 * radius));
      Colour &p = at(x, y);
      p = mix(p, scale(c, light), smoothstep(1.0, 0.7, d));
    }
}

static void fill_rect(int x0, int y0, int x1, int y1, Colour c) {
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) at(x, y) = c;
}

static void blend_rect(int x0, int y0, int x1, int y1, Colour c, double t) {
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) at(x, y) = mix(at(x, y), c, t);
}

// Fine grain on top of a finished texture.
static void grain(double amount, uint32_t seed) {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) {
      double n = (lattice(x, y, seed) - 0.5) * amount;
      canvas.px[y][x] = add(canvas.px[y][x], n);
    }
}

static const Colour WATER_DEEP = {32, 82, 128};
static const Colour WATER_SHALLOW = {52, 120, 148};
static const Colour SAND = {218, 201, 156};

static void paint_deep_water() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) {
      double n = tnoise(x, y, 16, 4, 11);
      double w = sin(2 * M_PI * (x * 3 + y * 5) / TEX_SIZE + 9 * tnoise(x, y, 8, 3, 12));
      double crest = tnoise(x, y, 4, 2, 14);
      Colour c = mix(scale(WATER_DEEP, 0.94), scale(WATER_DEEP, 1.06), n);
      c = add(c, w * 2);
      if (w > 0.96 && crest > 0.5) c = mix(c, rgb(110, 150, 180), (w - 0.96) * 8 * (crest - 0.5) * 2);
      canvas.px[y][x] = c;
    }
  grain(4, 13);
}

static Colour shallow_water(int x, int y) {
  double n = tnoise(x, y, 8, 4, 21);
  double caustic = fabs(tnoise(x, y, 16, 3, 22) - 0.5);
  Colour c = mix(scale(WATER_SHALLOW, 0.9), mix(WATER_SHALLOW, rgb(112, 160, 150), 0.5), n);
  if (caustic < 0.03) c = mix(c, rgb(140, 190, 195), (0.03 - caustic) * 12);
  return c;
}

static void paint_shallows() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) canvas.px[y][x] = shallow_water(x, y);
  grain(4, 23);
}

static Colour sand_at(int x, int y) {
  double n = tnoise(x, y, 4, 4, 31);
  double ripple = sin(2 * M_PI * (x * 2 + y * 9) / TEX_SIZE + 5 * tnoise(x, y, 8, 2, 32));
  Colour c = mix(scale(SAND, 0.93), mix(SAND, rgb(236, 224, 188), 0.6), n);
  return add(c, ripple * 4);
}

static Colour grass_at(int x, int y) {
  double n = tnoise(x, y, 4, 5, 41);
  double m = tnoise(x, y, 16, 3, 42);
  Colour c = mix(rgb(78, 120, 52), rgb(130, 162, 80), n);
  return mix(c, rgb(110, 128, 60), (m - 0.5) * 0.8);
}

static void paint_beach() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) {
      Colour c = sand_at(x, y);
      double tuft = tnoise(x, y, 32, 2, 33);
      if (tuft > 0.72) c = mix(c, rgb(132, 150, 82), (tuft - 0.72) * 5);
      canvas.px[y][x] = c;
    }
  grain(10, 34);
}

static void paint_grass() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) canvas.px[y][x] = grass_at(x, y);
  Rng r = {4242};
  for (int i = 0; i < 60; i++) disc(rng_unit(r) * 256, rng_unit(r) * 256, 2 + rng_unit(r) * 3, rgb(56, 92, 40), 0.5);
  grain(8, 43);
}

// The shoreline of the coast pieces: water towards the north edge, then the
// surf, a strip of beach and grass. `d` is the distance in pixels on the land
// side of the shoreline (negative in the water).
static Colour shore_colour(int x, int y, double d) {
  if (d < 0) {
    Colour c = shallow_water(x, y);
    if (d > -6) c = mix(c, rgb(200, 222, 220), (6 + d) / 6 * 0.7);  // surf
    return c;
  }
  Colour c = sand_at(x, y);
  double edge = 20 + 10 * tnoise(x, y, 8, 3, 51);
  if (d > edge) c = mix(c, grass_at(x, y), (d - edge) / 6);
  if (d < 3) c = scale(c, 0.9 + 0.033 * d);  // wet sand
  return c;
}

enum { SHORE_DEPTH = 72 };  // pixels of water from the seaward edge

static double shore_distance[TEX_SIZE][TEX_SIZE];  // [y][x], as given to shore_colour

// Bushes on the grass of a coast piece, well back from the beach.
static void shore_bushes(uint32_t seed) {
  Rng r = {seed};
  for (int i = 0; i < 70; i++) {
    double x = rng_unit(r) * 256, y = rng_unit(r) * 256, radius = 2 + rng_unit(r) * 3;
    if (shore_distance[(int)y][(int)x] > 40) disc(x, y, radius, rgb(56, 92, 40), 0.5);
  }
}

// Shoreline wobble that fades to nothing at both ends, so neighbouring coast
// tiles meet at the same point.
static double shore_wobble(double t, uint32_t seed) {
  return 14 * (tnoise(t * 256, 0, 4, 3, seed) - 0.5) * sin(M_PI * t);
}

static void paint_coast_edge() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) {
      double line = SHORE_DEPTH + shore_wobble(x / 256.0, 52);
      shore_distance[y][x] = y - line;
      canvas.px[y][x] = shore_colour(x, y, y - line);
    }
  shore_bushes(58);
  grain(8, 53);
}

// Land in the south-east quarter disc; water along the north and west edges.
static void paint_coast_corner() {
  const double radius = TEX_SIZE - SHORE_DEPTH;
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) {
      double dx = TEX_SIZE - x, dy = TEX_SIZE - y;
      double dist = sqrt(dx * dx + dy * dy);
      double angle = atan2(dy, dx) / (M_PI / 2);  // 0 at the east edge, 1 at the south edge
      double r = radius + shore_wobble(angle, 54);
      shore_distance[y][x] = r - dist;
      canvas.px[y][x] = shore_colour(x, y, r - dist);
    }
  shore_bushes(59);
  grain(8, 55);
}

// Field parcels: a recursive split of the tile; hedges run along every cut
// and along the tile's edges, so neighbouring field tiles line up.
struct Parcel {
  int x0, y0, x1, y1;
};

enum { MAX_PARCELS = 64 };
static Parcel parcels[MAX_PARCELS];
static int parcel_count;

static void split_parcels(Rng &r, int x0, int y0, int x1, int y1, int depth, double strip_bias) {
  int w = x1 - x0, h = y1 - y0;
  bool can_split = depth > 0 && (w > 40 || h > 40) && parcel_count < MAX_PARCELS - 2;
  if (!can_split) {
    parcels[parcel_count++] = {x0, y0, x1, y1};
    return;
  }
  bool vertical = w * (1.0 + strip_bias) > h;
  if (w < 40) vertical = false;
  if (h < 40) vertical = true;
  if (vertical) {
    int cut = x0 + (int)(w * (0.35 + 0.3 * rng_unit(r)));
    split_parcels(r, x0, y0, cut, y1, depth - 1, strip_bias);
    split_parcels(r, cut, y0, x1, y1, depth - 1, strip_bias);
  } else {
    int cut = y0 + (int)(h * (0.35 + 0.3 * rng_unit(r)));
    split_parcels(r, x0, y0, x1, cut, depth - 1, strip_bias);
    split_parcels(r, x0, cut, x1, y1, depth - 1, strip_bias);
  }
}

static void paint_fields(uint32_t seed, const Colour *crops, int crop_count, double strip_bias, int depth) {
  Rng r = {seed};
  parcel_count = 0;
  split_parcels(r, 0, 0, TEX_SIZE, TEX_SIZE, depth, strip_bias);
  for (int i = 0; i < parcel_count; i++) {
    const Parcel &p = parcels[i];
    Colour crop = crops[rng_range(r, 0, crop_count - 1)];
    bool rows_vertical = (p.x1 - p.x0) < (p.y1 - p.y0) ? rng_unit(r) < 0.8 : rng_unit(r) < 0.2;
    int spacing = rng_range(r, 3, 6);
    double row_depth = 0.04 + 0.06 * rng_unit(r);
    for (int y = p.y0; y < p.y1; y++)
      for (int x = p.x0; x < p.x1; x++) {
        int k = rows_vertical ? x : y;
        double row = (k % spacing == 0) ? -row_depth : 0;
        double n = tnoise(x, y, 8, 3, seed + 7);
        Colour c = scale(crop, 0.92 + 0.16 * n + row);
        canvas.px[y][x] = c;
      }
  }
  // Hedges: dark green along each parcel's west and north side, which also
  // covers the tile edges.
  const Colour hedge = {52, 82, 40};
  for (int i = 0; i < parcel_count; i++) {
    const Parcel &p = parcels[i];
    for (int y = p.y0; y < p.y1; y++)
      for (int t = -1; t <= 1; t++) at(p.x0 + t, y) = mix(at(p.x0 + t, y), hedge, t == 0 ? 0.9 : 0.45);
    for (int x = p.x0; x < p.x1; x++)
      for (int t = -1; t <= 1; t++) at(x, p.y0 + t) = mix(at(x, p.y0 + t), hedge, t == 0 ? 0.9 : 0.45);
    // a few hedge trees
    int trees = rng_range(r, 1, 4);
    for (int k = 0; k < trees; k++) {
      if (rng_unit(r) < 0.5)
        disc(p.x0, rng_range(r, p.y0, p.y1), 3 + rng_unit(r) * 2, rgb(48, 84, 38), 0.6);
      else
        disc(rng_range(r, p.x0, p.x1), p.y0, 3 + rng_unit(r) * 2, rgb(48, 84, 38), 0.6);
    }
  }
  grain(6, seed + 9);
}

static void paint_fields_green() {
  static const Colour crops[] = {{112, 156, 70}, {140, 170, 84}, {96, 140, 60}, {168, 176, 96}, {124, 150, 66}};
  paint_fields(1001, crops, 5, 1.2, 3);
}

static void paint_fields_patch() {
  static const Colour crops[] = {{120, 160, 72}, {196, 180, 102}, {150, 118, 78}, {100, 146, 64}, {140, 168, 80}};
  paint_fields(2002, crops, 5, 0.0, 3);
}

static void paint_fields_harvest() {
  static const Colour crops[] = {{214, 186, 104}, {200, 166, 92}, {140, 104, 70}, {160, 124, 82}, {188, 170, 96}};
  paint_fields(3003, crops, 5, 0.4, 3);
}

static void paint_forest() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) canvas.px[y][x] = mix(rgb(26, 52, 28), rgb(42, 72, 36), tnoise(x, y, 8, 3, 61));
  Rng r = {6161};
  for (int i = 0; i < 1400; i++) {
    double cx = rng_unit(r) * 256, cy = rng_unit(r) * 256;
    double kind = tnoise(cx, cy, 4, 2, 62);
    Colour c = kind > 0.55 ? rgb(42, 84, 46) : rgb(64, 104, 44);  // conifers and broadleaf
    c = scale(c, 0.85 + 0.3 * rng_unit(r));
    disc(cx, cy, 3 + rng_unit(r) * 3.5, c, 0.7);
  }
  grain(6, 63);
}

static void paint_marsh() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) {
      double n = tnoise(x, y, 4, 4, 71);
      double pools = tnoise(x, y, 6, 4, 72);
      Colour c = mix(rgb(96, 112, 66), rgb(128, 134, 80), n);
      double reeds = sin(2 * M_PI * (x * 40 + y * 7) / TEX_SIZE + 9 * tnoise(x, y, 16, 2, 73));
      c = add(c, reeds * 5);
      if (pools > 0.58) c = mix(c, rgb(64, 96, 102), (pools - 0.58) * 14);
      if (pools > 0.58 && pools < 0.6) c = mix(c, rgb(70, 86, 50), 0.5);
      canvas.px[y][x] = c;
    }
  grain(8, 74);
}

static void paint_heath() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) {
      double n = tnoise(x, y, 4, 5, 81);
      double m = tnoise(x, y, 12, 3, 82);
      Colour c = mix(rgb(122, 128, 74), rgb(150, 130, 86), n);
      c = mix(c, rgb(104, 120, 64), (m - 0.45) * 1.5);
      canvas.px[y][x] = c;
    }
  Rng r = {8383};
  for (int i = 0; i < 160; i++) disc(rng_unit(r) * 256, rng_unit(r) * 256, 2 + rng_unit(r) * 2.5, rgb(66, 92, 48), 0.6);
  for (int i = 0; i < 50; i++) disc(rng_unit(r) * 256, rng_unit(r) * 256, 1.5 + rng_unit(r) * 2, rgb(150, 146, 136), 0.8);
  grain(10, 84);
}

// Relief-lit noise: ridges and crevices as on bare rock.
static double rock_height(int x, int y, uint32_t seed) {
  double n = tnoise(x, y, 4, 6, seed);
  double ridge = 1 - fabs(2 * tnoise(x, y, 8, 4, seed + 1) - 1);
  return n * 0.6 + ridge * ridge * 0.4;
}

static void paint_rock() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) {
      double h = rock_height(x, y, 91);
      double light = (rock_height(x - 1, y - 1, 91) - rock_height(x + 1, y + 1, 91)) * 12;
      Colour c = mix(rgb(104, 98, 90), rgb(150, 142, 128), h);
      c = add(c, light * 40);
      double moss = tnoise(x, y, 8, 3, 92);
      if (moss > 0.62) c = mix(c, rgb(106, 116, 76), (moss - 0.62) * 3);
      canvas.px[y][x] = c;
    }
  grain(10, 93);
}

static void paint_snow() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) {
      double h = rock_height(x, y, 101);
      double light = (rock_height(x - 1, y - 1, 101) - rock_height(x + 1, y + 1, 101)) * 10;
      Colour c = mix(rgb(212, 222, 236), rgb(246, 248, 252), h);
      c = add(c, light * 30);
      double outcrop = tnoise(x, y, 6, 4, 102);
      if (outcrop > 0.64) c = mix(c, rgb(118, 114, 110), (outcrop - 0.64) * 6);
      canvas.px[y][x] = c;
    }
  grain(5, 103);
}

// Roofs with a lit and a shaded half, and a shadow to the south-east.
static void building(int x0, int y0, int x1, int y1, Colour roof, bool ridge_vertical) {
  blend_rect(x0 + 2, y0 + 2, x1 + 2, y1 + 2, rgb(40, 40, 40), 0.35);
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) {
      bool lit = ridge_vertical ? x < (x0 + x1) / 2 : y < (y0 + y1) / 2;
      at(x, y) = scale(roof, lit ? 1.08 : 0.84);
    }
}

static void paint_town() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) canvas.px[y][x] = mix(rgb(150, 146, 136), rgb(168, 162, 150), tnoise(x, y, 8, 3, 111));
  static const Colour roofs[] = {{172, 84, 62}, {150, 70, 56}, {124, 122, 126}, {186, 110, 76}, {110, 92, 80}, {160, 150, 140}};
  Rng r = {1111};
  const int block = 64, street = 7;
  for (int by = 0; by < TEX_SIZE; by += block)
    for (int bx = 0; bx < TEX_SIZE; bx += block) {
      int x0 = bx + street, y0 = by + street, x1 = bx + block - 1, y1 = by + block - 1;
      if (rng_unit(r) < 0.12) {  // a park
        for (int y = y0; y <= y1; y++)
          for (int x = x0; x <= x1; x++) at(x, y) = grass_at(x, y);
        for (int k = 0; k < 6; k++) disc(rng_range(r, x0 + 4, x1 - 4), rng_range(r, y0 + 4, y1 - 4), 3 + rng_unit(r) * 2, rgb(52, 88, 40), 0.6);
        continue;
      }
      // rows of houses around the block's edge, yards in the middle
      for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) at(x, y) = mix(rgb(128, 138, 96), grass_at(x, y), 0.5);
      for (int x = x0 + 1; x < x1 - 8;) {
        int w = rng_range(r, 7, 13);
        if (x + w > x1 - 1) w = x1 - 1 - x;
        Colour roof = roofs[rng_range(r, 0, 5)];
        building(x, y0 + 1, x + w - 2, y0 + rng_range(r, 9, 14), roof, true);
        building(x, y1 - rng_range(r, 9, 14), x + w - 2, y1 - 2, roofs[rng_range(r, 0, 5)], true);
        x += w;
      }
      if (rng_unit(r) < 0.5) building(x0 + 18, y0 + 20, x1 - 18, y1 - 22, roofs[rng_range(r, 0, 5)], false);
    }
  // street markings
  for (int s = 0; s < TEX_SIZE; s += block)
    for (int t = 0; t < TEX_SIZE; t += 8) {
      fill_rect(t, s + 3, t + 3, s + 3, rgb(200, 196, 186));
      fill_rect(s + 3, t, s + 3, t + 3, rgb(200, 196, 186));
    }
  grain(8, 112);
}

// Land all round, with a small bay of water in the north-west corner: the
// inner bend of a coast whose neighbours are two edge pieces.
static void paint_coast_inlet() {
  for (int y = 0; y < TEX_SIZE; y++)
    for (int x = 0; x < TEX_SIZE; x++) {
      double dist = sqrt((double)x * x + (double)y * y);
      double angle = atan2((double)y, (double)x) / (M_PI / 2);  // 0 along the north edge, 1 along the west edge
      double r = SHORE_DEPTH + shore_wobble(angle, 56) * 0.5;
      shore_distance[y][x] = dist - r;
      canvas.px[y][x] = shore_colour(x, y, dist - r);
    }
  shore_bushes(60);
  grain(8, 57);
}

// ---------------------------------------------------------------------------
// The texture list

enum {
  TEX_WATER = 1,
  TEX_SHALLOWS,
  TEX_COAST,
  TEX_COAST_CORNER,
  TEX_COAST_INLET,
  TEX_BEACH,
  TEX_GRASS,
  TEX_FIELDS_GREEN,
  TEX_FIELDS_PATCH,
  TEX_FIELDS_HARVEST,
  TEX_FOREST,
  TEX_MARSH,
  TEX_HEATH,
  TEX_ROCK,
  TEX_SNOW,
  TEX_TOWN,
  TEX_COUNT = TEX_TOWN,
};

struct TextureSpec {
  const char *filename;
  int has_water;
  void (*paint)();
};

static const TextureSpec texture_specs[TEX_COUNT + 1] = {
    {nullptr, 0, nullptr},
    {"water.bmp", 2, paint_deep_water},
    {"shallows.bmp", 2, paint_shallows},
    {"coast.bmp", 1, paint_coast_edge},
    {"coast_corner.bmp", 1, paint_coast_corner},
    {"coast_inlet.bmp", 1, paint_coast_inlet},
    {"beach.bmp", 0, paint_beach},
    {"grass.bmp", 0, paint_grass},
    {"fields_green.bmp", 0, paint_fields_green},
    {"fields_patch.bmp", 0, paint_fields_patch},
    {"fields_harvest.bmp", 0, paint_fields_harvest},
    {"forest.bmp", 0, paint_forest},
    {"marsh.bmp", 1, paint_marsh},
    {"heath.bmp", 0, paint_heath},
    {"rock.bmp", 0, paint_rock},
    {"snow.bmp", 0, paint_snow},
    {"town.bmp", 0, paint_town},
};

static int clamp_byte(double v) {
  int i = (int)lround(v);
  return i < 0 ? 0 : i > 255 ? 255 : i;
}

// Paints one texture and saves it as a 24-bit BMP. Pure magenta is the
// library's mask colour and would leave holes in the map, so it is avoided.
static int save_texture(const std::string &dir, int n) {
  BITMAP *bmp = create_bitmap_ex(32, TEX_SIZE, TEX_SIZE);
  if (!bmp) return 1;
  texture_specs[n].paint();
  for (int y = 0; y < TEX_SIZE; y++) {
    uint32_t *line = (uint32_t *)bmp->line[y];
    for (int x = 0; x < TEX_SIZE; x++) {
      const Colour &c = canvas.px[y][x];
      int r = clamp_byte(c.r), g = clamp_byte(c.g), b = clamp_byte(c.b);
      if (r == 255 && g == 0 && b == 255) g = 1;
      line[x] = makecol32(r, g, b);
    }
  }
  std::string path = dir + "/" + texture_specs[n].filename;
  int result = save_bmp(path.c_str(), bmp, nullptr);
  destroy_bitmap(bmp);
  return result != 0;
}

// ---------------------------------------------------------------------------
// Heights

static uint16_t heights[DEMO_SAMPLES][DEMO_SAMPLES];  // [Y][X], Y = 0 at the north edge
static double landness[DEMO_SAMPLES][DEMO_SAMPLES];   // > 0 on land

// How far inland a point lies: 0 on the coast, about 0.65 in the far
// north-east. The coast runs from the north-west corner to the south edge,
// with the sea in the south-west and an island offshore.
static double inland(double u, double v) {
  double c = 0.75 * u + 0.5 * (1 - v) - 0.47;
  c += 0.22 * (fbm(u * 5, v * 5, 5, 0, 201) - 0.5);
  double ix = (u - 0.2) / 0.09, iy = (v - 0.72) / 0.07;
  c += 0.42 * exp(-(ix * ix + iy * iy));
  double jx = (u - 0.4) / 0.035, jy = (v - 0.92) / 0.03;
  c += 0.3 * exp(-(jx * jx + jy * jy));
  return c;
}

enum { MAX_RIVER = 256 };
static int river_x[MAX_RIVER], river_y[MAX_RIVER];
static int river_length;

static double tile_inland(int x, int y) {
  double sum = 0;
  for (int j = 0; j < 4; j++)
    for (int i = 0; i < 4; i++) sum += landness[4 * y + j][4 * x + i];
  return sum / 16;
}

// A river from the foot of the mountains to the sea: a four-connected chain
// of tiles that meanders towards lower ground.
static void trace_river() {
  int x = 0, y = 30;
  while (x < DEMO_TILES - 1 && tile_inland(x, y) < 0.25) x++;
  Rng r = {777};
  river_length = 0;
  int last_dir = -1;
  while (river_length < MAX_RIVER) {
    river_x[river_length] = x;
    river_y[river_length] = y;
    river_length++;
    if (tile_inland(x, y) < 0) break;
    // Try west and south (towards the coast) and a little east for bends.
    static const int dx[3] = {-1, 0, 1}, dy[3] = {0, 1, 0};
    int best = 1;
    double best_score = 1e9;
    for (int d = 0; d < 3; d++) {
      if ((d == 0 && last_dir == 2) || (d == 2 && last_dir == 0)) continue;
      int nx = x + dx[d], ny = y + dy[d];
      if (nx < 1 || nx >= DEMO_TILES - 1 || ny < 1 || ny >= DEMO_TILES - 1) continue;
      double score = tile_inland(nx, ny) + 0.06 * rng_unit(r) + (d == 2 ? 0.05 : 0) - (d == 1 ? 0.012 : 0);
      if (d == last_dir) score -= 0.01;  // keep straight reaches
      if (score < best_score) {
        best_score = score;
        best = d;
      }
    }
    x += dx[best];
    y += dy[best];
    last_dir = best;
  }
}

static void make_heights() {
  for (int Y = 0; Y < DEMO_SAMPLES; Y++)
    for (int X = 0; X < DEMO_SAMPLES; X++) landness[Y][X] = inland(X / 511.0, Y / 511.0);
  trace_river();

  for (int Y = 0; Y < DEMO_SAMPLES; Y++)
    for (int X = 0; X < DEMO_SAMPLES; X++) {
      double u = X / 511.0, v = Y / 511.0;
      double c = landness[Y][X];
      if (c <= 0) {
        heights[Y][X] = 0;
        continue;
      }
      double plain = 10 + 240 * c + 60 * smoothstep(0.0, 0.2, c) * fbm(u * 16, v * 16, 3, 0, 301);
      double hills = 520 * smoothstep(0.12, 0.3, c) * (1 - 0.7 * smoothstep(0.4, 0.6, c)) *
                     fbm(u * 10, v * 10, 5, 0, 302);
      // The range follows the coast about a third of the way inland.
      double axis = (c - 0.31) / 0.075;
      double mask = exp(-axis * axis) * (0.55 + 0.6 * fbm(u * 3, v * 3, 3, 0, 303));
      double ridge = 1 - fabs(2 * fbm(u * 9, v * 9, 6, 0, 304) - 1);
      double mountains = 3300 * mask * pow(ridge, 2.2);
      // The far side: rolling uplands
      double uplands = 260 * smoothstep(0.4, 0.55, c) * fbm(u * 6, v * 6, 4, 0, 305) -
                       200 * smoothstep(0.4, 0.6, c);
      double h = plain + hills + mountains + uplands;
      // River valley
      double best = 1e9;
      for (int k = 0; k < river_length; k++) {
        double ddx = X - (4 * river_x[k] + 1.5), ddy = Y - (4 * river_y[k] + 1.5);
        double d2 = ddx * ddx + ddy * ddy;
        if (d2 < best) best = d2;
      }
      h *= 0.3 + 0.7 * smoothstep(2, 28, sqrt(best));
      int q = (int)lround(h / 10) * 10;
      if (q < 10) q = 10;
      if (q > DEMO_MAX_HEIGHT) q = DEMO_MAX_HEIGHT;
      heights[Y][X] = (uint16_t)q;
    }
  // The river itself lies at sea level.
  for (int k = 0; k < river_length; k++)
    for (int j = 0; j < 4; j++)
      for (int i = 0; i < 4; i++) heights[4 * river_y[k] + j][4 * river_x[k] + i] = 0;
}

// ---------------------------------------------------------------------------
// Tiles

struct DemoTile {
  int texture;
  int rotation;
};

static DemoTile tiles[DEMO_TILES][DEMO_TILES];  // [y][x]
static bool water[DEMO_TILES][DEMO_TILES];
static bool reserved[DEMO_TILES][DEMO_TILES];  // towns and airfields

struct TileStats {
  int min, max;
  double mean;
};

static TileStats tile_stats(int x, int y) {
  TileStats s = {65535, 0, 0};
  for (int j = 0; j < 4; j++)
    for (int i = 0; i < 4; i++) {
      int h = heights[4 * y + j][4 * x + i];
      if (h < s.min) s.min = h;
      if (h > s.max) s.max = h;
      s.mean += h;
    }
  s.mean /= 16;
  return s;
}

static bool on_map(int x, int y) { return x >= 0 && y >= 0 && x < DEMO_TILES && y < DEMO_TILES; }
static bool water_at(int x, int y) { return on_map(x, y) && water[y][x]; }

static bool near_water(int x, int y, int radius) {
  for (int dy = -radius; dy <= radius; dy++)
    for (int dx = -radius; dx <= radius; dx++)
      if (water_at(x + dx, y + dy)) return true;
  return false;
}

static bool near_land(int x, int y, int radius) {
  for (int dy = -radius; dy <= radius; dy++)
    for (int dx = -radius; dx <= radius; dx++)
      if (on_map(x + dx, y + dy) && !water[y + dy][x + dx]) return true;
  return false;
}

static int turn(int x, int y) { return (int)(hash3(x, y, 909) & 3); }

// Coast pieces for a land tile by its water sides and corners; false when it
// touches no water.
static bool coast_piece(int x, int y, DemoTile &t) {
  bool n = water_at(x, y - 1), e = water_at(x + 1, y), s = water_at(x, y + 1), w = water_at(x - 1, y);
  int sides = n + e + s + w;
  if (sides == 0) {
    bool nw = water_at(x - 1, y - 1), ne = water_at(x + 1, y - 1), se = water_at(x + 1, y + 1), sw = water_at(x - 1, y + 1);
    int corners = nw + ne + se + sw;
    if (corners == 0) return false;
    t.texture = corners == 1 ? TEX_COAST_INLET : TEX_BEACH;
    t.rotation = corners > 1 ? turn(x, y) : nw ? 0 : ne ? 1 : se ? 2 : 3;
    return true;
  }
  if (sides == 1) {
    t.texture = TEX_COAST;
    t.rotation = n ? 0 : e ? 1 : s ? 2 : 3;
    return true;
  }
  if (sides == 2 && n != s) {
    t.texture = TEX_COAST_CORNER;
    t.rotation = (n && w) ? 0 : (n && e) ? 1 : (e && s) ? 2 : 3;
    return true;
  }
  t.texture = TEX_BEACH;
  t.rotation = turn(x, y);
  return true;
}

static double crop_value(int x, int y) {
  double u = x / 127.0, v = y / 127.0;
  return fbm(u * 14, v * 14, 2, 0, 402) + 0.12 * (lattice(x, y, 403) - 0.5);
}

static int compare_doubles(const void *a, const void *b) {
  double d = *(const double *)a - *(const double *)b;
  return d < 0 ? -1 : d > 0 ? 1 : 0;
}

static void texture_tiles() {
  for (int y = 0; y < DEMO_TILES; y++)
    for (int x = 0; x < DEMO_TILES; x++) water[y][x] = tile_stats(x, y).max == 0;

  // Farmland split into even shares of grass and the three field kinds.
  static double crops[DEMO_TILES * DEMO_TILES];
  for (int y = 0; y < DEMO_TILES; y++)
    for (int x = 0; x < DEMO_TILES; x++) crops[y * DEMO_TILES + x] = crop_value(x, y);
  qsort(crops, DEMO_TILES * DEMO_TILES, sizeof(double), compare_doubles);
  const double q1 = crops[DEMO_TILES * DEMO_TILES * 35 / 100], q2 = crops[DEMO_TILES * DEMO_TILES * 60 / 100],
               q3 = crops[DEMO_TILES * DEMO_TILES * 82 / 100];

  for (int y = 0; y < DEMO_TILES; y++)
    for (int x = 0; x < DEMO_TILES; x++) {
      DemoTile &t = tiles[y][x];
      t.rotation = turn(x, y);
      if (water[y][x]) {
        t.texture = near_land(x, y, 2) ? TEX_SHALLOWS : TEX_WATER;
        continue;
      }
      if (coast_piece(x, y, t)) continue;
      TileStats s = tile_stats(x, y);
      double u = x / 127.0, v = y / 127.0;
      double patch = fbm(u * 9, v * 9, 3, 0, 401);
      double crop = crop_value(x, y);
      double relief = s.max - s.min;
      if (s.min == 0) {
        t.texture = TEX_BEACH;
      } else if (s.mean > 2300) {
        t.texture = TEX_SNOW;
      } else if (s.mean > 1900) {
        t.texture = patch > 0.5 ? TEX_SNOW : TEX_ROCK;
      } else if (s.mean > 1500) {
        t.texture = relief > 500 || patch > 0.5 ? TEX_ROCK : TEX_HEATH;
      } else if (s.mean > 1050) {
        t.texture = relief > 600 || patch > 0.6 ? TEX_ROCK : crop > q2 ? TEX_HEATH : TEX_FOREST;
      } else if (s.mean > 650) {
        t.texture = patch > 0.6 ? TEX_HEATH : TEX_FOREST;
      } else if (s.mean > 400) {
        t.texture = patch > 0.42 ? TEX_FOREST : (crop > 0.5 ? TEX_GRASS : TEX_HEATH);
      } else {
        if (s.mean < 90 && near_water(x, y, 3) && patch > 0.56)
          t.texture = TEX_MARSH;
        else if (patch > 0.66)
          t.texture = TEX_FOREST;
        else if (crop < q1)
          t.texture = TEX_GRASS;
        else
          t.texture = crop < q2 ? TEX_FIELDS_GREEN : crop < q3 ? TEX_FIELDS_PATCH : TEX_FIELDS_HARVEST;
      }
    }
}

// ---------------------------------------------------------------------------
// Target areas

struct TargetSpec {
  const char *type;
  int east, north;
};

struct AreaSpec {
  const char *name;
  int want_x, want_y;  // wished tile; the nearest suitable tile is taken
  bool enemy;
  int kind;            // SITE_*
  int heading;         // runways only
  int runway;          // 1..6, 0 = no runway
  TargetSpec targets[8];
};

enum { SITE_AIRFIELD, SITE_TOWN, SITE_PORT, SITE_BRIDGE, SITE_DEPOT, SITE_HIGH };

static const AreaSpec area_specs[] = {
    {"Harrowfield AB", 44, 30, false, SITE_AIRFIELD, 45, 1,
     {{"Control Tower", 700, 0}, {"Hangar", 900, 500}, {"Hangar", 900, -500}, {"Fuel Tanks", 1300, -1100},
      {"SAM Site", -1500, -1400}, {nullptr, 0, 0}}},
    {"Port Aldane", 40, 60, false, SITE_PORT, 0, 0,
     {{"Harbour Cranes", -600, -300}, {"Warehouse", 300, 400}, {"Power Plant", 900, -200}, {"Fuel Tanks", -200, 800},
      {nullptr, 0, 0}}},
    {"Saltmere AB", 64, 72, false, SITE_AIRFIELD, 90, 2,
     {{"Hangar", 800, 600}, {"Hangar", 1100, 600}, {"Ammo Bunker", -900, 1200}, {"Radar", 1600, 1400},
      {"AAA", -600, -1600}, {"AAA", 600, -1600}, {nullptr, 0, 0}}},
    {"Kestrel Island AB", 27, 95, false, SITE_AIRFIELD, -30, 3,
     {{"Hangar", 700, 300}, {"Fuel Tanks", 1000, -600}, {"SAM Site", -1200, 900}, {nullptr, 0, 0}}},
    {"Brenmouth", 0, 0, false, SITE_TOWN, 0, 0,
     {{"Rail Yard", 500, -400}, {"Factory", -700, 200}, {"Warehouse", 200, 700}, {nullptr, 0, 0}}},
    {"Aldane River Bridge", 0, 0, false, SITE_BRIDGE, 0, 0,
     {{"Bridge", 0, 0}, {"AAA", 400, 300}, {"AAA", -400, -300}, {nullptr, 0, 0}}},
    {"Fenwick Supply Depot", 74, 100, false, SITE_DEPOT, 0, 0,
     {{"Warehouse", 0, 0}, {"Warehouse", 300, 0}, {"Fuel Tanks", -400, 500}, {"Truck Park", 200, -500},
      {nullptr, 0, 0}}},
    {"Drovny AB", 88, 14, true, SITE_AIRFIELD, 0, 4,
     {{"Control Tower", 700, 0}, {"Hangar", 900, 600}, {"Hangar", 900, -600}, {"Fuel Tanks", -1200, -900},
      {"SAM Site", 1800, 1500}, {"SAM Site", -1800, -1500}, {"Radar", 1500, -1700}, {nullptr, 0, 0}}},
    {"Karsk AB", 118, 34, true, SITE_AIRFIELD, 135, 5,
     {{"Hangar", 800, 400}, {"Ammo Bunker", -900, 900}, {"Fuel Tanks", 1200, -800}, {"AAA", 0, 1800},
      {nullptr, 0, 0}}},
    {"Velesk AB", 120, 68, true, SITE_AIRFIELD, -60, 6,
     {{"Control Tower", 600, 200}, {"Hangar", 900, 700}, {"SAM Site", -1400, 1100}, {"Radar", 1500, -1500},
      {nullptr, 0, 0}}},
    {"Tarvik", 106, 10, true, SITE_TOWN, 0, 0,
     {{"Factory", 0, 0}, {"Power Plant", 800, -400}, {"Rail Yard", -600, 500}, {nullptr, 0, 0}}},
    {"Zelvar", 98, 36, true, SITE_TOWN, 0, 0,
     {{"Barracks", 300, 300}, {"Warehouse", -500, 200}, {"Fuel Tanks", 600, -600}, {nullptr, 0, 0}}},
    {"Mount Eske Radar", 0, 0, true, SITE_HIGH, 0, 0,
     {{"Early Warning Radar", 0, 0}, {"SAM Site", 700, -500}, {"Bunker", -300, 400}, {nullptr, 0, 0}}},
    {"Orvel Rail Yard", 110, 54, true, SITE_DEPOT, 0, 0,
     {{"Rail Yard", 0, 0}, {"Locomotive Shed", 400, 200}, {"Fuel Tanks", -500, -300}, {nullptr, 0, 0}}},
    {"Eske Ridge Bunkers", 0, 0, true, SITE_HIGH, 0, 0,
     {{"Bunker", 0, 0}, {"Bunker", 500, 300}, {"AAA", -400, 200}, {nullptr, 0, 0}}},
};

enum { AREA_COUNT = sizeof(area_specs) / sizeof(area_specs[0]) };

static int site_x[AREA_COUNT], site_y[AREA_COUNT];

// A flat, dry tile with dry neighbours (a port: next to the shore), not yet
// taken, on the given side of the mountains.
static bool lowland_site(int x, int y, bool enemy, bool port) {
  if (x < 3 || y < 3 || x >= DEMO_TILES - 3 || y >= DEMO_TILES - 3) return false;
  if (reserved[y][x] || near_water(x, y, 1) || (port && !near_water(x, y, 2))) return false;
  TileStats s = tile_stats(x, y);
  if (s.mean > (enemy ? 900 : 400) || s.max - s.min > 160) return false;
  double c = tile_inland(x, y);
  return enemy ? c > 0.44 : c < 0.26;
}

static bool find_site(int want_x, int want_y, bool enemy, bool port, int *out_x, int *out_y) {
  for (int r = 0; r < DEMO_TILES; r++)
    for (int dy = -r; dy <= r; dy++)
      for (int dx = -r; dx <= r; dx++) {
        if (abs(dx) != r && abs(dy) != r) continue;
        int x = want_x + dx, y = want_y + dy;
        if (lowland_site(x, y, enemy, port)) {
          *out_x = x;
          *out_y = y;
          return true;
        }
      }
  return false;
}

static void reserve(int x, int y) {
  for (int dy = -2; dy <= 2; dy++)
    for (int dx = -2; dx <= 2; dx++)
      if (on_map(x + dx, y + dy)) reserved[y + dy][x + dx] = true;
}

// Towns: a small cluster of town tiles ringed by fields.
static void place_town(int x, int y, int size) {
  static const int cluster[][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {-1, 0}, {0, -1}};
  for (int dy = -2; dy <= 3; dy++)
    for (int dx = -2; dx <= 3; dx++) {
      int tx = x + dx, ty = y + dy;
      if (!on_map(tx, ty) || water[ty][tx]) continue;
      DemoTile &t = tiles[ty][tx];
      if (t.texture == TEX_GRASS || t.texture == TEX_FOREST || t.texture == TEX_HEATH || t.texture == TEX_MARSH)
        t.texture = TEX_FIELDS_GREEN + (int)(hash3(tx, ty, 515) % 3);
    }
  for (int k = 0; k < size; k++) {
    int tx = x + cluster[k][0], ty = y + cluster[k][1];
    DemoTile shore;
    if (on_map(tx, ty) && !water[ty][tx] && !coast_piece(tx, ty, shore)) tiles[ty][tx].texture = TEX_TOWN;
  }
}

static void place_sites() {
  DemoTile scratch;
  // The bridge crosses the river halfway down; Brenmouth lies near its mouth.
  int bridge = river_length / 2, mouth = river_length - 4;
  for (int n = 0; n < AREA_COUNT; n++) {
    const AreaSpec &a = area_specs[n];
    int x = a.want_x, y = a.want_y;
    if (a.kind == SITE_BRIDGE) {
      x = river_x[bridge];
      y = river_y[bridge];
    } else if (a.kind == SITE_HIGH) {
      // the highest tile beyond the coast plain, away from other sites
      double best = -1;
      for (int ty = 4; ty < DEMO_TILES - 4; ty++)
        for (int tx = 4; tx < DEMO_TILES - 4; tx++) {
          if (reserved[ty][tx]) continue;
          double m = tile_stats(tx, ty).mean;
          if (m > best) {
            best = m;
            x = tx;
            y = ty;
          }
        }
    } else {
      if (a.kind == SITE_TOWN && a.want_x == 0) {
        x = river_x[mouth] + 2;
        y = river_y[mouth] - 2;
      }
      if (!find_site(x, y, a.enemy, a.kind == SITE_PORT, &x, &y)) {
        fprintf(stderr, "make_demo_terrain: no site for %s\n", a.name);
        exit(1);
      }
    }
    site_x[n] = x;
    site_y[n] = y;
    reserve(x, y);
    if (a.kind == SITE_AIRFIELD) {
      // open grass around the runway
      for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++)
          if (!water[y + dy][x + dx] && !coast_piece(x + dx, y + dy, scratch)) tiles[y + dy][x + dx].texture = TEX_GRASS;
    } else if (a.kind == SITE_TOWN || a.kind == SITE_PORT) {
      place_town(x, y, 3 + (int)(hash3(x, y, 616) % 4));
    } else if (a.kind == SITE_DEPOT) {
      place_town(x, y, 1);
    }
  }
  // Villages scattered over the farmland.
  for (int y = 0; y < DEMO_TILES; y++)
    for (int x = 0; x < DEMO_TILES; x++) {
      int t = tiles[y][x].texture;
      bool farmland = t == TEX_GRASS || (t >= TEX_FIELDS_GREEN && t <= TEX_FIELDS_HARVEST);
      if (farmland && !reserved[y][x] && hash3(x, y, 717) % 90 == 0) tiles[y][x].texture = TEX_TOWN;
    }
}

// ---------------------------------------------------------------------------
// Writers

static void put16(FILE *f, int v) {
  fputc(v & 0xFF, f);
  fputc((v >> 8) & 0xFF, f);
}

static void put32(FILE *f, int32_t v) {
  put16(f, v & 0xFFFF);
  put16(f, ((uint32_t)v >> 16) & 0xFFFF);
}

// Rows are written from the south edge; the file counts textures from 0.
static int write_tile_map(const std::string &path) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return 1;
  put32(f, DEMO_TILES);
  put32(f, DEMO_TILES);
  put32(f, 0);
  put32(f, 0);
  for (int y = DEMO_TILES - 1; y >= 0; y--)
    for (int x = 0; x < DEMO_TILES; x++) {
      put16(f, tiles[y][x].texture - 1);
      put16(f, tiles[y][x].rotation);
      for (int k = 0; k < 4; k++) put16(f, 0);
    }
  return fclose(f) != 0;
}

static int write_height_map(const std::string &path) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return 1;
  put32(f, DEMO_SAMPLES);
  put32(f, DEMO_SAMPLES);
  put32(f, 0);
  put32(f, 0);
  for (int Y = DEMO_SAMPLES - 1; Y >= 0; Y--)
    for (int X = 0; X < DEMO_SAMPLES; X++) put16(f, heights[Y][X]);
  return fclose(f) != 0;
}

static int write_description(const std::string &path) {
  FILE *f = fopen(path.c_str(), "w");
  if (!f) return 1;
  for (int n = 1; n <= TEX_COUNT; n++)
    fprintf(f, "[Texture%03d]\nFilename=%s\nHasWater=%d\n\n", n, texture_specs[n].filename, texture_specs[n].has_water);
  return fclose(f) != 0;
}

// Positions are metres east and north of the south-west corner; a site
// stands at the centre of its tile.
static int write_targets(const std::string &path) {
  FILE *f = fopen(path.c_str(), "w");
  if (!f) return 1;
  for (int n = 0; n < AREA_COUNT; n++) {
    const AreaSpec &a = area_specs[n];
    int east = site_x[n] * TILE_METRES + TILE_METRES / 2;
    int north = (DEMO_TILES - 1 - site_y[n]) * TILE_METRES + TILE_METRES / 2;
    if (n > 0) fprintf(f, "\n");
    fprintf(f, "[TargetArea%03d]\nName=%s\nPosition=%d, %d\nAlignment=%s\n", n + 1, a.name, east, north,
            a.enemy ? "ENEMY" : "FRIENDLY");
    int t = 1;
    if (a.runway > 0) {
      fprintf(f, "Target[%03d].Type=Runway%d\nTarget[%03d].Offset=0, 0\nTarget[%03d].Heading=%d\n", t, a.runway, t, t,
              a.heading);
      t++;
    }
    for (int k = 0; a.targets[k].type; k++, t++)
      fprintf(f, "Target[%03d].Type=%s\nTarget[%03d].Offset=%d, %d\n", t, a.targets[k].type, t, a.targets[k].east,
              a.targets[k].north);
  }
  return fclose(f) != 0;
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_demo_terrain OUTPUT_DIR\n");
    return 1;
  }
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
    fprintf(stderr, "make_demo_terrain: cannot start the library\n");
    return 1;
  }
  set_color_depth(32);
  std::string dir = argv[1];

  make_heights();
  texture_tiles();
  place_sites();

  int failed = 0;
  failed |= write_tile_map(dir + "/Demo.TFD");
  failed |= write_height_map(dir + "/Demo.hfd");
  failed |= write_description(dir + "/Demo_DATA.ini");
  failed |= write_targets(dir + "/Demo_TARGETS.ini");
  for (int n = 1; n <= TEX_COUNT; n++) failed |= save_texture(dir, n);
  if (failed) {
    fprintf(stderr, "make_demo_terrain: cannot write the demo terrain into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
END_OF_MAIN()
