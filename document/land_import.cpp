#include "document/land_import.h"

#include <allegro.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>
#include <unistd.h>

#include "core/byte_order.h"
#include "core/land_table.h"
#include "core/regular_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "edit/edit_history.h"
#include "edit/land_grid.h"
#include "files/land_file.h"
#include "document/open_terrain.h"
#include "files/tile_map_file.h"
#include "images/image_pixels.h"
#include "images/textures.h"

enum {
  COLOUR_SLOTS = 1024,  // four times the lands there may be
  PICTURE_BLOCK_ROWS = 32,  // rows turned into columns together, in the cache
};

namespace {

std::string file_part(const char *path) { return QuotedName(get_filename(path)).text; }


// The size a PNG's or BMP's header gives, without decoding its pixels: a
// picture of the wrong size is named as such, however large. 0 when read.
int picture_size(const char *path, int png, long *width, long *height, std::string *why) {
  const int fd = open_regular_file(path);
  if (fd < 0) {
    *why = file_part(path) + ": cannot be read: " + open_failure_reason(errno) + ".";
    return 1;
  }
  unsigned char head[26] = {0};
  const ssize_t got = read(fd, head, sizeof(head));
  close(fd);
  static const unsigned char PNG_SIGNATURE[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
  if (png && got >= 24 && memcmp(head, PNG_SIGNATURE, 8) == 0 && memcmp(head + 12, "IHDR", 4) == 0) {
    *width = be32(head + 16);
    *height = be32(head + 20);
    return 0;
  }
  if (!png && got >= 26 && head[0] == 'B' && head[1] == 'M') {
    // The old core header has 16-bit sides; a negative height runs top-down.
    const int core = le32(head + 14) == 12;
    *width = core ? (head[18] | head[19] << 8) : (long)(int32_t)le32(head + 18);
    *height = core ? (head[20] | head[21] << 8) : (long)(int32_t)le32(head + 22);
    if (*height < 0) *height = -*height;
    return 0;
  }
  *why = file_part(path) + ": not a " + (png ? "PNG" : "BMP") + " picture that can be read.";
  return 1;
}

// Pixel values (the colour bits of a 32-bit pixel) to lands: land + 1 in
// an open-addressed table; black is no land's, whatever the file says.
struct ColourLands {
  uint32_t key[COLOUR_SLOTS];
  int land[COLOUR_SLOTS];  // 0: empty slot; -1 marks black

  static unsigned slot_of(uint32_t key) { return (key * 2654435761u) >> 22; }
  void put(uint32_t k, int value) {
    unsigned s = slot_of(k);
    while (land[s] && key[s] != k) s = (s + 1) % COLOUR_SLOTS;
    key[s] = k;
    land[s] = value;
  }
  // The land of a pixel, 0 for black, -1 for no land's colour.
  int find(uint32_t k) const {
    for (unsigned s = slot_of(k);; s = (s + 1) % COLOUR_SLOTS) {
      if (!land[s]) return -1;
      if (key[s] == k) return land[s] < 0 ? 0 : land[s] - 1;
    }
  }
};

void fill_colour_lands(ColourLands &c) {
  memset(c.land, 0, sizeof(c.land));
  for (int n = 1; n < MAX_LANDS; n++) {
    const Land &l = lands.lands[n];
    if (l.name[0] && (l.r | l.g | l.b)) c.put((uint32_t)makecol32(l.r, l.g, l.b), n + 1);
  }
  c.put((uint32_t)makecol32(0, 0, 0), -1);
}

// The picture's lands, column by column (cells[x * h + y]); "" when every
// pixel is black or a land's colour, else the line naming the first other
// pixel, in reading order.
std::string picture_lands(BITMAP *bmp, const char *path, std::vector<uint8_t> &cells) {
  static ColourLands colours;
  fill_colour_lands(colours);
  const uint32_t mask = (uint32_t)makecol32(255, 255, 255);
  const int w = bmp->w, h = bmp->h;
  cells.resize((size_t)w * h);
  uint32_t last = (uint32_t)makecol32(0, 0, 0);
  int last_land = 0;
  for (int y0 = 0; y0 < h; y0 += PICTURE_BLOCK_ROWS) {
    const int y1 = y0 + PICTURE_BLOCK_ROWS < h ? y0 + PICTURE_BLOCK_ROWS : h;
    int bad = 0;
    for (int x = 0; x < w && !bad; x++) {
      uint8_t *column = cells.data() + (size_t)x * h;
      for (int y = y0; y < y1; y++) {
        const uint32_t p = ((const uint32_t *)bmp->line[y])[x] & mask;
        if (p != last) {
          const int land = colours.find(p);
          if (land < 0) {
            bad = 1;
            break;
          }
          last = p;
          last_land = land;
        }
        column[y] = (uint8_t)last_land;
      }
    }
    if (!bad) continue;
    for (int y = y0; y < y1; y++) {
      for (int x = 0; x < w; x++) {
        const uint32_t p = ((const uint32_t *)bmp->line[y])[x];
        if (colours.find(p & mask) >= 0) continue;
        char line[128];
        unsigned char rgba[4];
        // A transparent pixel reads as the mask colour: the file's own is named.
        if ((p & mask) == (uint32_t)makecol32(255, 0, 255) && image_pixel_rgba(path, x, y, rgba) == 0 && rgba[3] < 128)
          snprintf(line, sizeof(line), "pixel %d, %d is %d,%d,%d (alpha %d): a transparent pixel is no land's colour.",
                   x, y, rgba[0], rgba[1], rgba[2], rgba[3]);
        else
          snprintf(line, sizeof(line), "pixel %d, %d is %d,%d,%d, which is no land's colour.", x, y, getr32(p),
                   getg32(p), getb32(p));
        return file_part(path) + ": " + line;
      }
    }
  }
  return "";
}

}  // namespace

void lay_land_points(const uint8_t *points, const char *tfd_path, LandImport &im) {
  history_clear();
  read_land_grid();
  im.result = land_set_all_points(points);
  if (im.result.tiles_changed == 0) {
    im.outcome = LAND_IMPORT_WRITTEN;
    return;
  }
  WriteError error = {0, 0};
  const int saved = save_tile_map_unless_changed(tfd_path, &error);
  if (saved == RESULT_OK) {
    im.outcome = LAND_IMPORT_WRITTEN;
    im.written = 1;
    return;
  }
  im.outcome = LAND_IMPORT_NOT_WRITTEN;
  if (saved == TILE_MAP_CHANGED) {
    im.why = file_part(tfd_path) + " changed on disk during the import; nothing written.";
    return;
  }
  char reason[4 * PATH_SIZE + 128];
  write_failure_text(tfd_path, error, reason, sizeof(reason));
  im.why = file_part(tfd_path) + " cannot be written: " + (reason[0] ? reason : "the system gave no reason.");
}

std::string open_tile_map_and_lands(const char *tfd_path, std::vector<std::string> &notes) {
  char line[6 * PATH_SIZE];
  if (tile_map_unopened(tfd_path, line, sizeof(line))) return line;
  if (strlen(tfd_path) >= PATH_SIZE) return file_part(tfd_path) + ": " + PATH_TOO_LONG_TEXT;
  strcpy(terrain_paths.tfd_path, tfd_path);
  derive_terrain_paths();
  const int loaded = load_tile_map(tfd_path, nullptr);
  if (loaded != RESULT_OK) {
    const char *reason = loaded == RESULT_BAD_HEADER  ? "its size is beyond 4000 tiles a side"
                         : loaded == RESULT_BAD_DATA ? "a tile names a texture outside 0 to 511"
                                                     : "";
    tile_map_failure_line(tfd_path, loaded == RESULT_CANNOT_OPEN ? errno : 0, reason, line, sizeof(line));
    return line;
  }
  const char *ini = terrain_paths.lands_ini_path;
  if (!ini[0]) return file_part(tfd_path) + ": the lands file's path is longer than 255 characters.";
  load_land_file(ini);
  for (const LandProblem &p : lands.problems) notes.push_back(std::string(QuotedName(ini).text) + ": " + p.what);
  const std::string unusable = lands_unusable_text(ini);
  return unusable.empty() ? "" : unusable + "; no lands can be imported.";
}

void land_points_of_tiles(const uint8_t *tiles, int columns, int rows, uint8_t *points) {
  const size_t stride = (size_t)rows + 1;
  // A tile off the picture says nothing, as one of no land.
  auto said = [&](int tx, int ty) {
    return tx < 0 || ty < 0 || tx >= columns || ty >= rows ? 0u : tiles[(size_t)tx * rows + ty];
  };
  for (int x = 0; x <= columns; x++)
    for (int y = 0; y <= rows; y++)
      points[(size_t)x * stride + y] = (uint8_t)land_vote(said(x - 1, y - 1), said(x, y - 1), said(x - 1, y), said(x, y));
}

LandImport import_lands(const char *picture_path, const char *tfd_path) {
  LandImport im;
  const char *ext = get_extension(picture_path);
  const int png = ustricmp(ext, "png") == 0;
  if (!png && ustricmp(ext, "bmp") != 0) {
    im.why = file_part(picture_path) + ": not a .png or .bmp file.";
    return im;
  }
  // The picture is decoded on a thread of its own while the tile map is
  // read: neither waits for the other. Only a picture of a size some map
  // may have: a wrong size is named from the header, however large.
  long width = 0, height = 0;
  std::string picture_why;
  const int header_read = picture_size(picture_path, png, &width, &height, &picture_why) == 0;
  RGB palette[PAL_SIZE];
  BITMAP *bmp = nullptr;
  std::thread decoder;
  if (header_read && width >= 1 && height >= 1 && width <= MAX_TILES + 1 && height <= MAX_TILES + 1)
    decoder = std::thread([&] { bmp = read_texture_file(picture_path, palette); });
  im.why = open_tile_map_and_lands(tfd_path, im.notes);
  if (decoder.joinable()) decoder.join();
  std::unique_ptr<BITMAP, void (*)(BITMAP *)> picture(bmp, [](BITMAP *b) {
    if (b) destroy_bitmap(b);
  });
  if (!im.why.empty()) return im;
  if (!header_read) {
    im.why = picture_why;
    return im;
  }
  const int columns = map_columns(), rows = map_rows();
  const int by_tile = width == columns && height == rows && columns > 0 && rows > 0;
  if (!by_tile && (width != columns + 1 || height != rows + 1)) {
    char sizes[160];
    snprintf(sizes, sizeof(sizes), ": %ld x %ld pixels; %s needs %d x %d (a pixel a corner point) or %d x %d (a pixel a tile).",
             width, height, file_part(tfd_path).c_str(), columns + 1, rows + 1, columns, rows);
    im.why = file_part(picture_path) + sizes;
    return im;
  }
  if (!bmp || bmp->w != width || bmp->h != height) {
    im.why = file_part(picture_path) + ": damaged, or not a picture that can be read.";
    return im;
  }
  std::vector<uint8_t> cells;
  im.why = picture_lands(bmp, picture_path, cells);
  picture.reset();
  if (!im.why.empty()) return im;
  if (by_tile) {
    std::vector<uint8_t> points((size_t)(columns + 1) * (rows + 1));
    land_points_of_tiles(cells.data(), columns, rows, points.data());
    cells.swap(points);
  }
  lay_land_points(cells.data(), tfd_path, im);
  return im;
}
