// Build-time generator: draws the six runway symbols the map view puts on
// airfield target areas, as 8-bit images 519 pixels square.
//
// Colour 0 is transparent (the mask colour once the program expands the
// image); colours 1..8 are the greys and tans the program sets in its
// palette at start-up. Every symbol is drawn with its main runway running
// north-south and then moved so that its extent is centred in the square:
// the map view turns it about that centre by the runway heading and scales
// it down by up to 16, so runways are wide enough to stay 3 pixels wide.
#include <allegro.h>

#include <cmath>
#include <cstdio>

enum {
  SYMBOL_SIZE = 519,
  SYMBOL_CENTRE = 259,
  SYMBOL_MARGIN = 4,  // blank border kept around the drawing
  SCRATCH_SIZE = 800,
};

// Palette entries set at start-up.
enum {
  SYM_MARKING = 1,   // light grey: painted markings
  SYM_APRON = 2,     // pale concrete
  SYM_TAXIWAY = 3,   // mid grey
  SYM_ROOF = 4,      // light tan
  SYM_SAND = 5,      // sand
  SYM_HANGAR = 6,    // brown
  SYM_SURFACE = 7,   // dark asphalt
  SYM_SHOULDER = 8,  // dark grey
};

static const unsigned char startup_palette[8][3] = {
    {39, 39, 37}, {37, 36, 30}, {28, 28, 26}, {45, 40, 31},
    {51, 43, 30}, {43, 35, 23}, {20, 18, 17}, {26, 25, 23},
};

// A drawing frame: origin, unit vector along the runway (u) and across it
// to the right (v), in image coordinates (y grows downward).
struct Frame {
  double cx, cy, ux, uy, vx, vy;
};

static Frame frame_at(double cx, double cy, double heading_degrees) {
  double a = heading_degrees * M_PI / 180.0;
  Frame f = {cx, cy, sin(a), -cos(a), cos(a), sin(a)};
  return f;
}

// Fills the rectangle u0..u1 along, v0..v1 across the frame.
static void quad(BITMAP *b, const Frame &f, double u0, double u1, double v0, double v1, int colour) {
  const double us[4] = {u0, u1, u1, u0}, vs[4] = {v0, v0, v1, v1};
  int points[8];
  for (int i = 0; i < 4; i++) {
    points[2 * i] = (int)floor(f.cx + us[i] * f.ux + vs[i] * f.vx + 0.5);
    points[2 * i + 1] = (int)floor(f.cy + us[i] * f.uy + vs[i] * f.vy + 0.5);
  }
  polygon(b, 4, points, colour);
}

// A paved strip between two points, as taxiways and links are drawn.
static void strip(BITMAP *b, double x0, double y0, double x1, double y1, double width, int colour) {
  double dx = x1 - x0, dy = y1 - y0, len = sqrt(dx * dx + dy * dy);
  Frame f = {x0, y0, dx / len, dy / len, -dy / len, dx / len};
  quad(b, f, -width / 2, len + width / 2, -width / 2, width / 2, colour);
}

// The paved surface of a runway with its shoulders.
static void runway_surface(BITMAP *b, const Frame &f, double length, double width) {
  double hl = length / 2, hw = width / 2;
  quad(b, f, -hl - 4, hl + 4, -hw - 4, hw + 4, SYM_SHOULDER);
  quad(b, f, -hl, hl, -hw, hw, SYM_SURFACE);
}

// Threshold bars, aiming blocks and the dashed centre line.
static void runway_markings(BITMAP *b, const Frame &f, double length, double width) {
  double hl = length / 2, hw = width / 2;
  int bars = (int)((hw - 9) / 6);
  double step = bars > 0 ? (hw - 9) / bars : 0;
  for (int end = -1; end <= 1; end += 2) {
    double outer = end * (hl - 6), inner = end * (hl - 34);
    for (int i = 0; i < bars; i++) {
      double v = 4 + i * step + (step - 3) / 2;
      quad(b, f, fmin(outer, inner), fmax(outer, inner), v, v + 3, SYM_MARKING);
      quad(b, f, fmin(outer, inner), fmax(outer, inner), -v - 3, -v, SYM_MARKING);
    }
    double a0 = end * (hl - 70), a1 = end * (hl - 96);
    quad(b, f, fmin(a0, a1), fmax(a0, a1), hw / 2 - 3, hw / 2 + 3, SYM_MARKING);
    quad(b, f, fmin(a0, a1), fmax(a0, a1), -hw / 2 - 3, -hw / 2 + 3, SYM_MARKING);
  }
  // Centre line between the aiming blocks, its dashes centred on the runway.
  int dashes = (int)((2 * (hl - 104) + 14) / 34);
  for (int i = 0; i < dashes; i++) {
    double u = -(dashes * 34 - 14) / 2.0 + i * 34;
    quad(b, f, u, u + 20, -1.5, 1.5, SYM_MARKING);
  }
}

static void runway(BITMAP *b, double cx, double cy, double heading, double length, double width) {
  Frame f = frame_at(cx, cy, heading);
  runway_surface(b, f, length, width);
  runway_markings(b, f, length, width);
}

// A hangar: a brown hall with a lighter ridge line.
static void hangar(BITMAP *b, int x, int y, int w, int h) {
  rectfill(b, x, y, x + w - 1, y + h - 1, SYM_HANGAR);
  rectfill(b, x, y + h / 2 - 1, x + w - 1, y + h / 2, SYM_ROOF);
}

// 1: one runway.
static void draw_single(BITMAP *b, int cx, int cy) { runway(b, cx, cy, 0, 440, 48); }

// 2: two staggered parallel runways joined by taxiways.
static void draw_parallel(BITMAP *b, int cx, int cy) {
  for (int dy = -120; dy <= 120; dy += 120) strip(b, cx - 62, cy + dy, cx + 62, cy + dy, 14, SYM_TAXIWAY);
  runway(b, cx - 62, cy - 16, 0, 420, 40);
  runway(b, cx + 62, cy + 16, 0, 420, 40);
}

// 3: a main runway crossed by a second one.
static void draw_crossing(BITMAP *b, int cx, int cy) {
  runway(b, cx, cy + 10, 55, 380, 40);
  Frame main = frame_at(cx, cy, 0);
  runway_surface(b, main, 440, 48);
  runway_markings(b, main, 440, 48);
}

// 4: a runway with a full-length parallel taxiway and exits.
static void draw_taxiways(BITMAP *b, int cx, int cy) {
  int tx = cx + 74;
  strip(b, tx, cy - 196, tx, cy + 196, 14, SYM_TAXIWAY);
  strip(b, cx, cy - 196, tx, cy - 196, 14, SYM_TAXIWAY);
  strip(b, cx, cy + 196, tx, cy + 196, 14, SYM_TAXIWAY);
  strip(b, cx, cy, tx, cy, 14, SYM_TAXIWAY);
  strip(b, cx + 10, cy - 70, tx, cy - 120, 12, SYM_TAXIWAY);  // angled exits
  strip(b, cx + 10, cy + 70, tx, cy + 120, 12, SYM_TAXIWAY);
  rectfill(b, tx + 7, cy - 40, tx + 60, cy + 40, SYM_APRON);
  hangar(b, tx + 40, cy - 34, 16, 28);
  hangar(b, tx + 40, cy + 6, 16, 28);
  runway(b, cx, cy, 0, 440, 48);
}

// 5: three runways on the sides of a triangle, a technical site inside.
static void draw_triangle(BITMAP *b, int cx, int cy) {
  const double r = 140, half_side = r * sqrt(3.0) / 2;
  double west_x = cx - r / 2, east_x = cx + r;
  double ne_x = (west_x + east_x) / 2, ne_y = (cy - half_side + cy) / 2;
  double se_y = (cy + half_side + cy) / 2;
  double heading = atan2(half_side, 1.5 * r) * 180.0 / M_PI;  // of the two slanted sides
  strip(b, cx - 10, cy, east_x, cy, 12, SYM_TAXIWAY);
  strip(b, cx, cy - 20, ne_x, ne_y, 12, SYM_TAXIWAY);
  strip(b, cx, cy + 20, ne_x, se_y, 12, SYM_TAXIWAY);
  strip(b, cx - 20, cy, west_x, cy, 12, SYM_TAXIWAY);
  rectfill(b, (int)cx - 36, (int)cy - 30, (int)cx + 30, (int)cy + 30, SYM_APRON);
  hangar(b, (int)cx - 30, (int)cy - 24, 20, 18);
  hangar(b, (int)cx - 30, (int)cy + 6, 20, 18);
  rectfill(b, (int)cx + 2, (int)cy - 24, (int)cx + 14, (int)cy - 12, SYM_SAND);
  const double length = 2 * half_side + 100;
  runway(b, ne_x, ne_y, 90 + heading, length, 36);
  runway(b, ne_x, se_y, 90 - heading, length, 36);
  runway(b, west_x, cy, 0, length, 36);
}

// 6: a runway, its taxiway and two aprons with hangars.
static void draw_aprons(BITMAP *b, int cx, int cy) {
  int tx = cx + 70;
  strip(b, tx, cy - 200, tx, cy + 200, 14, SYM_TAXIWAY);
  for (int dy = -200; dy <= 200; dy += 200) strip(b, cx, cy + dy, tx, cy + dy, 14, SYM_TAXIWAY);
  rectfill(b, tx + 7, cy - 80, tx + 110, cy + 80, SYM_APRON);
  rectfill(b, tx + 7, cy - 170, tx + 70, cy - 110, SYM_APRON);
  strip(b, tx, cy - 140, tx + 40, cy - 140, 12, SYM_TAXIWAY);
  for (int i = 0; i < 4; i++) hangar(b, tx + 80, cy - 72 + 38 * i, 26, 30);
  rectfill(b, tx + 30, cy - 160, tx + 60, cy - 150, SYM_SAND);
  rectfill(b, tx + 30, cy - 130, tx + 60, cy - 120, SYM_SAND);
  rectfill(b, tx + 20, cy - 20, tx + 40, cy + 20, SYM_ROOF);
  runway(b, cx, cy, 0, 440, 48);
}

// Draws one symbol on a large scratch image, then copies it so that its
// extent is centred in the square.
static BITMAP *make_symbol(int number, void (*draw)(BITMAP *, int, int)) {
  BITMAP *scratch = create_bitmap_ex(8, SCRATCH_SIZE, SCRATCH_SIZE);
  clear_to_color(scratch, 0);
  draw(scratch, SCRATCH_SIZE / 2, SCRATCH_SIZE / 2);
  int x0 = SCRATCH_SIZE, y0 = SCRATCH_SIZE, x1 = -1, y1 = -1;
  for (int y = 0; y < SCRATCH_SIZE; y++) {
    for (int x = 0; x < SCRATCH_SIZE; x++) {
      if (!scratch->line[y][x]) continue;
      if (x < x0) x0 = x;
      if (x > x1) x1 = x;
      if (y < y0) y0 = y;
      if (y > y1) y1 = y;
    }
  }
  if (x1 - x0 + 1 > SYMBOL_SIZE - 2 * SYMBOL_MARGIN || y1 - y0 + 1 > SYMBOL_SIZE - 2 * SYMBOL_MARGIN) {
    fprintf(stderr, "runway symbol %d does not fit: %d x %d\n", number, x1 - x0 + 1, y1 - y0 + 1);
    exit(1);
  }
  BITMAP *symbol = create_bitmap_ex(8, SYMBOL_SIZE, SYMBOL_SIZE);
  clear_to_color(symbol, 0);
  int sx = (x0 + x1) / 2 - SYMBOL_CENTRE, sy = (y0 + y1) / 2 - SYMBOL_CENTRE;
  blit(scratch, symbol, sx, sy, 0, 0, SYMBOL_SIZE, SYMBOL_SIZE);
  destroy_bitmap(scratch);
  // The map view centres the symbol on the target: something must be there.
  if (!symbol->line[SYMBOL_CENTRE][SYMBOL_CENTRE]) {
    fprintf(stderr, "runway symbol %d is blank at its centre\n", number);
    exit(1);
  }
  return symbol;
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_runway_symbols OUTPUT_DIR\n");
    return 1;
  }
  install_allegro(SYSTEM_NONE, &errno, atexit);
  PALETTE pal;
  for (int i = 0; i < 256; i++) pal[i] = (RGB){0, 0, 0, 0};
  for (int i = 0; i < 8; i++) pal[i + 1] = (RGB){startup_palette[i][0], startup_palette[i][1], startup_palette[i][2], 0};
  pal[0] = (RGB){63, 0, 63, 0};

  void (*const draw[6])(BITMAP *, int, int) = {draw_single,   draw_parallel, draw_crossing,
                                                draw_taxiways, draw_triangle, draw_aprons};
  for (int n = 1; n <= 6; n++) {
    BITMAP *symbol = make_symbol(n, draw[n - 1]);
    char path[1024];
    snprintf(path, sizeof(path), "%s/runway%d.bmp", argv[1], n);
    if (save_bitmap(path, symbol, pal) != 0) {
      fprintf(stderr, "cannot write %s\n", path);
      return 1;
    }
    destroy_bitmap(symbol);
  }
  return 0;
}
END_OF_MAIN()
