// Build-time generator: turns the hand-drawn glyph tables in
// resources/fonts/*.txt into the four font sheets the dat tool imports, at
// scale 1 and again at 2 and 3 for the window's larger interface (each ink
// pixel of the table a square of 2 or 3, every advance and row as many
// times: the same faces, measured alike).
//
// A sheet is an 8-bit image: glyphs for ASCII 32..126 in rows of 16, each
// glyph box framed by colour 255, ink 1 on 0 inside the box. Every box of a
// font has the same height; its width is the glyph's advance.
#include <allegro.h>

#include <cstdio>
#include <cstring>

enum {
  GLYPH_FIRST = 32,
  GLYPH_COUNT = 95,
  GLYPH_MAX_W = 16,
  GLYPH_MAX_H = 16,
  SHEET_COLUMNS = 16,
  SHEET_FRAME = 255,
};

// One hand-drawn glyph table as read from its text file.
struct GlyphSet {
  int height;
  int width[GLYPH_COUNT];
  bool seen[GLYPH_COUNT];
  unsigned char ink[GLYPH_COUNT][GLYPH_MAX_H][GLYPH_MAX_W];
};

// How a font is derived from a glyph set.
struct FaceRecipe {
  const char *sheet_name;
  const GlyphSet *set;
  int fixed_width;  // > 0: every source glyph must be this wide
  bool trim;        // drop blank columns left and right of the ink
  bool bold;        // ink ORed with itself one pixel to the right
  bool tilde_gap;   // '~' is a blank gap that pads the start of a label
  int pad_top, pad_bottom;
};

static GlyphSet fixed_glyphs, proportional_glyphs;

static void fail(const char *path, int line, const char *what) {
  fprintf(stderr, "%s:%d: %s\n", path, line, what);
  exit(1);
}

static void chomp(char *s) {
  size_t n = strlen(s);
  while (n > 0 && (s[n - 1] == '\n' || s[n - 1] == '\r')) s[--n] = 0;
}

// File format: "height N" once, then for each character a line "glyph C"
// (C the character itself, or the word space) followed by exactly N rows of
// '.' and '#' of equal length. Lines starting with ';' and blank lines
// outside a glyph are ignored.
static void read_glyph_set(const char *path, GlyphSet *set) {
  FILE *f = fopen(path, "r");
  if (!f) fail(path, 0, "cannot open");
  memset(set, 0, sizeof(*set));
  char line[256];
  int line_no = 0, current = -1, rows_read = 0;
  while (fgets(line, sizeof(line), f)) {
    line_no++;
    chomp(line);
    if (current >= 0 && rows_read < set->height) {
      int w = (int)strlen(line);
      if (w == 0 || w > GLYPH_MAX_W) fail(path, line_no, "glyph row missing or too wide");
      if (rows_read == 0) set->width[current] = w;
      if (w != set->width[current]) fail(path, line_no, "glyph rows differ in width");
      for (int x = 0; x < w; x++) {
        if (line[x] != '.' && line[x] != '#') fail(path, line_no, "glyph rows hold only . and #");
        set->ink[current][rows_read][x] = line[x] == '#';
      }
      rows_read++;
      continue;
    }
    if (line[0] == 0 || line[0] == ';') continue;
    if (strncmp(line, "height ", 7) == 0) {
      set->height = atoi(line + 7);
      if (set->height < 1 || set->height > GLYPH_MAX_H) fail(path, line_no, "bad height");
    } else if (strncmp(line, "glyph ", 6) == 0) {
      if (set->height == 0) fail(path, line_no, "height must come first");
      const char *name = line + 6;
      int c = strcmp(name, "space") == 0 ? ' ' : (strlen(name) == 1 ? (unsigned char)name[0] : -1);
      if (c < GLYPH_FIRST || c >= GLYPH_FIRST + GLYPH_COUNT) fail(path, line_no, "bad glyph name");
      current = c - GLYPH_FIRST;
      if (set->seen[current]) fail(path, line_no, "glyph drawn twice");
      set->seen[current] = true;
      rows_read = 0;
    } else {
      fail(path, line_no, "unexpected line");
    }
  }
  fclose(f);
  if (current >= 0 && rows_read < set->height) fail(path, line_no, "last glyph is cut short");
  for (int i = 0; i < GLYPH_COUNT; i++) {
    if (!set->seen[i]) {
      fprintf(stderr, "%s: no glyph for '%c'\n", path, GLYPH_FIRST + i);
      exit(1);
    }
  }
}

static bool column_blank(const GlyphSet *set, int g, int x) {
  for (int y = 0; y < set->height; y++)
    if (set->ink[g][y][x]) return false;
  return true;
}

// Columns [first, first + count) of source glyph g that make up the face's
// glyph, before bolding and the spacing column.
static void glyph_columns(const FaceRecipe *face, int g, int *first, int *count) {
  const GlyphSet *set = face->set;
  int lo = 0, hi = set->width[g] - 1;
  if (face->trim) {
    while (lo <= hi && column_blank(set, g, lo)) lo++;
    while (hi >= lo && column_blank(set, g, hi)) hi--;
    if (lo > hi) {  // a blank glyph keeps a fixed gap
      lo = 0;
      hi = set->width[g] < 3 ? set->width[g] - 1 : 2;
    }
  }
  *first = lo;
  *count = hi - lo + 1;
}

static int face_height(const FaceRecipe *face) {
  return face->pad_top + face->set->height + face->pad_bottom;
}

static int face_advance(const FaceRecipe *face, int g) {
  if (face->tilde_gap && g == '~' - GLYPH_FIRST) return 2;
  int first, count;
  glyph_columns(face, g, &first, &count);
  return count + (face->bold ? 1 : 0) + 1;
}

static bool face_ink(const FaceRecipe *face, int g, int x, int y) {
  if (face->tilde_gap && g == '~' - GLYPH_FIRST) return false;
  const GlyphSet *set = face->set;
  int sy = y - face->pad_top;
  if (sy < 0 || sy >= set->height) return false;
  int first, count;
  glyph_columns(face, g, &first, &count);
  bool ink = x < count && set->ink[g][sy][first + x];
  if (face->bold && x >= 1 && x - 1 < count) ink = ink || set->ink[g][sy][first + x - 1];
  return ink;
}

static void save_font_sheet(const char *dir, const FaceRecipe *face, PALETTE pal, int scale) {
  for (int g = 0; g < GLYPH_COUNT; g++) {
    if (face->fixed_width > 0 && face->set->width[g] != face->fixed_width) {
      fprintf(stderr, "%s: glyph '%c' is not %d wide\n", face->sheet_name, GLYPH_FIRST + g,
              face->fixed_width);
      exit(1);
    }
  }
  const int rows = (GLYPH_COUNT + SHEET_COLUMNS - 1) / SHEET_COLUMNS;
  const int h = scale * face_height(face);
  int sheet_w = 1;
  for (int r = 0; r < rows; r++) {
    int w = 1;
    for (int g = r * SHEET_COLUMNS; g < GLYPH_COUNT && g < (r + 1) * SHEET_COLUMNS; g++)
      w += scale * face_advance(face, g) + 1;
    if (w > sheet_w) sheet_w = w;
  }
  BITMAP *sheet = create_bitmap_ex(8, sheet_w, 1 + rows * (h + 1));
  clear_to_color(sheet, SHEET_FRAME);
  for (int r = 0; r < rows; r++) {
    int gx = 1, gy = 1 + r * (h + 1);
    for (int g = r * SHEET_COLUMNS; g < GLYPH_COUNT && g < (r + 1) * SHEET_COLUMNS; g++) {
      int w = scale * face_advance(face, g);
      for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) sheet->line[gy + y][gx + x] = face_ink(face, g, x / scale, y / scale) ? 1 : 0;
      gx += w + 1;
    }
  }
  char path[1024];
  if (scale == 1)
    snprintf(path, sizeof(path), "%s/%s.bmp", dir, face->sheet_name);
  else
    snprintf(path, sizeof(path), "%s/%s_x%d.bmp", dir, face->sheet_name, scale);
  if (save_bitmap(path, sheet, pal) != 0) {
    fprintf(stderr, "cannot write %s\n", path);
    exit(1);
  }
  destroy_bitmap(sheet);
}

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: make_font_sheets OUTPUT_DIR GLYPH_DIR\n");
    return 1;
  }
  install_allegro(SYSTEM_NONE, &errno, atexit);
  const char *out_dir = argv[1], *glyph_dir = argv[2];
  char path[1024];
  snprintf(path, sizeof(path), "%s/fixed_glyphs.txt", glyph_dir);
  read_glyph_set(path, &fixed_glyphs);
  snprintf(path, sizeof(path), "%s/proportional_glyphs.txt", glyph_dir);
  read_glyph_set(path, &proportional_glyphs);

  // A grey ramp: the sheets only hold colours 0, 1 and 255.
  PALETTE pal;
  for (int i = 0; i < 256; i++) pal[i] = (RGB){(unsigned char)(i / 4), (unsigned char)(i / 4), (unsigned char)(i / 4), 0};

  // Area names: bold proportional, so they hold up white on slate.
  const FaceRecipe label = {"label_font", &proportional_glyphs, 0, false, true, true, 0, 0};
  // Target labels and height numbers: the small fixed face, closed up.
  const FaceRecipe map = {"map_font", &fixed_glyphs, 5, true, false, true, 1, 0};
  // Status strip: one advance for every character, 11 rows for 12-row lines.
  const FaceRecipe message = {"message_font", &fixed_glyphs, 5, false, false, false, 1, 1};
  // Dialogs, buttons, lists and the manual.
  const FaceRecipe dialog = {"dialog_font", &proportional_glyphs, 0, false, false, false, 1, 0};
  for (int scale = 1; scale <= 3; scale++) {
    save_font_sheet(out_dir, &label, pal, scale);
    save_font_sheet(out_dir, &map, pal, scale);
    save_font_sheet(out_dir, &message, pal, scale);
    save_font_sheet(out_dir, &dialog, pal, scale);
  }
  return 0;
}
END_OF_MAIN()
