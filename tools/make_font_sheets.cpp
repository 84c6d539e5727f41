// Build-time generator: writes the font sheets and runway symbol images
// that the datafiles are assembled from.
#include <allegro.h>
#include <cstdio>
#include <string>

static PALETTE sheet_palette;

static void save_font_sheet(const std::string &path, int cell_w, int cell_h, int scale) {
  const int cols = 16, rows = 6;
  BITMAP *sheet = create_bitmap_ex(8, 1 + cols * (cell_w * scale + 1), 1 + rows * (cell_h * scale + 1));
  clear_to_color(sheet, 255);
  BITMAP *glyph = create_bitmap_ex(8, cell_w, cell_h);
  for (int c = 32; c < 127; c++) {
    int i = c - 32;
    int gx = 1 + (i % cols) * (cell_w * scale + 1), gy = 1 + (i / cols) * (cell_h * scale + 1);
    clear_to_color(glyph, 0);
    char text[2] = {(char)c, 0};
    textout_ex(glyph, font, text, 0, 0, 1, 0);
    stretch_blit(glyph, sheet, 0, 0, cell_w, cell_h, gx, gy, cell_w * scale, cell_h * scale);
  }
  save_bitmap(path.c_str(), sheet, sheet_palette);
  destroy_bitmap(glyph);
  destroy_bitmap(sheet);
}

static void save_runway(const std::string &path, int n) {
  BITMAP *b = create_bitmap_ex(8, 519, 519);
  clear_to_color(b, 0);
  for (int k = 0; k < n; k++) {
    int x = 100 + k * 60;
    rectfill(b, x, 60, x + 30, 460, 3);
  }
  save_bitmap(path.c_str(), b, sheet_palette);
  destroy_bitmap(b);
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_font_sheets OUTPUT_DIR\n");
    return 1;
  }
  install_allegro(SYSTEM_NONE, &errno, atexit);
  set_color_depth(8);
  for (int i = 0; i < 256; i++) sheet_palette[i] = (RGB){(unsigned char)(i / 4), (unsigned char)(i / 4), (unsigned char)(i / 4), 0};
  std::string dir = argv[1];
  save_font_sheet(dir + "/label_font.bmp", 8, 8, 1);
  save_font_sheet(dir + "/map_font.bmp", 8, 8, 1);
  save_font_sheet(dir + "/message_font.bmp", 8, 8, 1);
  save_font_sheet(dir + "/dialog_font.bmp", 8, 8, 1);
  for (int n = 1; n <= 6; n++) save_runway(dir + "/runway" + std::to_string(n) + ".bmp", n);
  return 0;
}
END_OF_MAIN()
