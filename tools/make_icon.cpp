// Build-time generator: draws the program's desktop icon, an island seen from
// above, shaded from the north-west, with a grid of tiles over it, on a
// rounded square, and writes it as an RGBA PNG of the size asked for.
//
//   make_icon OUTPUT.png SIZE
//
// The picture is a function of the unit square, so every size is drawn from
// the same terrain rather than scaled from another; 4 x 4 samples a pixel
// smooth the coast, the grid and the rounded edge at 48 pixels.
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Colour {
  double r, g, b, a;
};

const int SAMPLES = 4;      // per pixel along each axis
const int GRID_TILES = 6;   // tiles across the icon
const double MARGIN = 0.04; // blank border, as icon themes expect
const double CORNER = 0.18; // corner radius of the rounded square
const double RIM = 0.025;   // dark outline inside the edge

// Height at (x, y) in 0..1 (y down): three hills on a shelf that falls off
// towards the edge, roughened by a few sines so the coast is not a circle.
double height(double x, double y) {
  struct Hill {
    double x, y, radius, top;
  };
  static const Hill hills[] = {
      {0.40, 0.40, 0.20, 0.62}, {0.64, 0.58, 0.17, 0.48}, {0.34, 0.68, 0.14, 0.30}};
  double h = 0;
  for (const Hill &hill : hills) {
    double dx = (x - hill.x) / hill.radius, dy = (y - hill.y) / hill.radius;
    h += hill.top * std::exp(-(dx * dx + dy * dy));
  }
  double cx = x - 0.5, cy = y - 0.52;
  h += 0.34 - 2.0 * (cx * cx + cy * cy);
  h += 0.05 * std::sin(17 * x + 3 * std::sin(9 * y)) * std::cos(13 * y - 2 * x);
  h += 0.025 * std::sin(41 * x + 29 * y);
  return h;
}

Colour ground(double h) {
  struct Band {
    double top;
    Colour colour;
  };
  static const Band bands[] = {
      {0.10, {22, 64, 128, 255}},   {0.20, {40, 112, 172, 255}},  {0.24, {216, 198, 142, 255}},
      {0.46, {98, 156, 72, 255}},   {0.66, {52, 108, 54, 255}},   {0.84, {132, 120, 104, 255}},
      {1e9, {240, 240, 236, 255}},
  };
  for (const Band &band : bands)
    if (h < band.top) return band.colour;
  return bands[0].colour;
}

// Colour of one sample of the icon, alpha 0 outside the rounded square.
Colour sample(double x, double y) {
  double inner = 1 - 2 * MARGIN;
  double px = (x - MARGIN) / inner, py = (y - MARGIN) / inner;
  // Distance outside the rounded square (negative inside), in icon units.
  double qx = std::fabs(px - 0.5) - (0.5 - CORNER), qy = std::fabs(py - 0.5) - (0.5 - CORNER);
  double outside = std::hypot(std::fmax(qx, 0.0), std::fmax(qy, 0.0)) + std::fmin(std::fmax(qx, qy), 0.0) - CORNER;
  if (outside > 0) return {0, 0, 0, 0};

  double h = height(px, py);
  Colour c = ground(h);
  if (h >= 0.20) {
    // Water stays flat; land is lit from the north-west.
    const double e = 0.004;
    double gx = (height(px + e, py) - height(px - e, py)) / (2 * e);
    double gy = (height(px, py + e) - height(px, py - e)) / (2 * e);
    double nx = -gx * 0.6, ny = -gy * 0.6, nz = 1;
    double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    double light = (nx * -0.55 + ny * -0.55 + nz * 0.63) / length;
    double shade = std::fmin(std::fmax(0.45 + 0.75 * light, 0.35), 1.2);
    c.r *= shade, c.g *= shade, c.b *= shade;
  }
  double gx = px * GRID_TILES, gy = py * GRID_TILES;
  double line = std::fmin(std::fabs(gx - std::round(gx)), std::fabs(gy - std::round(gy))) / GRID_TILES;
  if (line < 0.006) c.r *= 0.72, c.g *= 0.72, c.b *= 0.72;
  if (outside > -RIM) c.r *= 0.45, c.g *= 0.45, c.b *= 0.45;
  return c;
}

bool write_png(const char *path, int size, const std::vector<png_byte> &pixels) {
  FILE *f = std::fopen(path, "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, size, size, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  for (int y = 0; y < size; ++y) png_write_row(png, &pixels[(size_t)y * size * 4]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char **argv) {
  int size = argc == 3 ? std::atoi(argv[2]) : 0;
  if (size < 16 || size > 1024) {
    std::fprintf(stderr, "usage: make_icon OUTPUT.png SIZE (16 to 1024)\n");
    return 2;
  }
  std::vector<png_byte> pixels((size_t)size * size * 4);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      // Colours are averaged weighted by alpha so the edge does not darken.
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < SAMPLES; ++sy) {
        for (int sx = 0; sx < SAMPLES; ++sx) {
          Colour c = sample((x + (sx + 0.5) / SAMPLES) / size, (y + (sy + 0.5) / SAMPLES) / size);
          r += c.r * c.a, g += c.g * c.a, b += c.b * c.a, a += c.a;
        }
      }
      png_byte *p = &pixels[((size_t)y * size + x) * 4];
      double n = SAMPLES * SAMPLES;
      p[0] = a > 0 ? (png_byte)std::lround(std::fmin(r / a, 255.0)) : 0;
      p[1] = a > 0 ? (png_byte)std::lround(std::fmin(g / a, 255.0)) : 0;
      p[2] = a > 0 ? (png_byte)std::lround(std::fmin(b / a, 255.0)) : 0;
      p[3] = (png_byte)std::lround(a / n);
    }
  }
  if (!write_png(argv[1], size, pixels)) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
