#include "render/export/export_rows.h"

#include <cstring>

#include "core/relief_shading.h"
#include "core/terrain_model.h"
#include "render/export/export_bitmap.h"
#include "render/export/export_passes.h"
#include "render/export/shaded_blocks.h"

namespace {

// The grids are stored column by column ([x][y]) while the file stores
// rows, so a band is made in strips of columns: within a strip the grid
// columns' runs for the band and the output rows stay in the cache.
enum {
  // The texture picture's bands: small enough to stay in the cache between
  // being made and being written (measured: its rows cost 40 % less made so
  // than into bands of 8 MB, though each band reads a short run of every
  // grid column).
  TEXTURE_BAND_ROWS = 32,
  STRIP_TILES = 64,
  STRIP_COLUMNS = 4 * STRIP_TILES,
  BAND_TILE_ROWS = STREAM_BAND_ROWS_MAX / 4 + 2,
};

// The terrain and tables as export_row_source found them; read-only while
// the rows are made.
int tiles_x, tiles_y;
uint8_t water_values[MAX_TEXTURES];
PALETTE water_palette;
uint32_t height_bgr[65536];

inline int min_int(int a, int b) { return a < b ? a : b; }

// Where picture row y of the band y0..y1 - 1 goes in the band's buffer.
inline unsigned char *row_at(unsigned char *out, long row_bytes, int y, int y1) {
  return out + (long)(y1 - 1 - y) * row_bytes;
}

// Red the texture number, green the turn, blue the tag: the bytes of
// makecol(red, green, blue) as the file stores them.
inline uint32_t data_bgr(const Tile &tile) {
  const uint32_t red = tile.texture < 0 ? 0 : (uint32_t)min_int(tile.texture, 255);
  const uint32_t green = (uint32_t)min_int(64 * tile.rotation, 255);
  const uint32_t blue = (uint32_t)min_int(64 * tile.tag, 255);
  return blue | green << 8 | red << 16;
}

inline uint8_t water_value(const Tile &tile) {
  return (tile.texture >= 0 && tile.texture < MAX_TEXTURES) ? water_values[tile.texture] : 0;
}

// One pixel per tile: a strip's tiles are read down their columns into a
// small table, then written out row by row.
template <class Pixel, class Convert>
void produce_tile_pixels(int y0, int y1, unsigned char *out, long row_bytes, const Convert &convert) {
  Pixel strip[STREAM_BAND_ROWS_MAX][STRIP_TILES];
  for (int x0 = 0; x0 < tiles_x; x0 += STRIP_TILES) {
    const int x1 = min_int(x0 + STRIP_TILES, tiles_x);
    for (int x = x0; x < x1; x++) {
      const Tile *column = tile_map.tiles[x];
      for (int y = y0; y < y1; y++) strip[y - y0][x - x0] = convert(column[y]);
    }
    for (int y = y0; y < y1; y++) {
      unsigned char *p = row_at(out, row_bytes, y, y1);
      if constexpr (sizeof(Pixel) == 1)
        memcpy(p + x0, strip[y - y0], (size_t)(x1 - x0));
      else
        put_bgr_run(strip[y - y0], x1 - x0, p + 3 * x0);
    }
  }
}

void produce_data(const void *, int y0, int y1, unsigned char *out, long row_bytes) {
  produce_tile_pixels<uint32_t>(y0, y1, out, row_bytes, data_bgr);
}

void produce_water(const void *, int y0, int y1, unsigned char *out, long row_bytes) {
  produce_tile_pixels<uint8_t>(y0, y1, out, row_bytes, water_value);
}

void produce_heights(const void *, int y0, int y1, unsigned char *out, long row_bytes) {
  const int columns = 4 * tiles_x;
  for (int x0 = 0; x0 < columns; x0 += STRIP_COLUMNS) {
    const int x1 = min_int(x0 + STRIP_COLUMNS, columns);
    for (int y = y0; y < y1; y++) {
      unsigned char *p = row_at(out, row_bytes, y, y1) + 3 * x0;
      // As in produce_embossed: four-byte stores but for the row's last pixel.
      const int n = x1 == columns ? x1 - 1 : x1;
      for (int x = x0; x < n; x++, p += 3) put_bgr4(height_bgr[height_map.heights[x][y]], p);
      if (n < x1) put_bgr(height_bgr[height_map.heights[n][y]], p);
    }
  }
}

// For the tiles x0..x1 - 1 of tile rows t0.., the start of each tile's
// block in table (turn, texture, 16 pixels): [row - t0][x - x0].
template <class Pixel, int N>
void gather_blocks(const Pixel (&table)[TILE_BLOCK_TURNS][MAX_TEXTURES + 1][N], int x0, int x1,
                   int t0, int t1, const Pixel **blocks) {
  // Each column's run starts in a page of its own: the next strip's runs
  // are fetched while this one is gathered and written.
  for (int x = x1; x < x1 + STRIP_TILES && x < tiles_x; x++)
    for (int t = t0; t < t1; t += 8) __builtin_prefetch(&tile_map.tiles[x][t]);
  for (int x = x0; x < x1; x++) {
    const Tile *column = tile_map.tiles[x];
    for (int t = t0; t < t1; t++) {
      const Tile &tile = column[t];
      blocks[(t - t0) * STRIP_TILES + (x - x0)] = table[rotation_turn[tile.rotation]][block_index(tile)];
    }
  }
}

void produce_textures(const void *, int y0, int y1, unsigned char *out, long row_bytes) {
  const int t0 = y0 / 4, t1 = (y1 - 1) / 4 + 1;
  const unsigned char *blocks[BAND_TILE_ROWS * STRIP_TILES];
  for (int x0 = 0; x0 < tiles_x; x0 += STRIP_TILES) {
    const int x1 = min_int(x0 + STRIP_TILES, tiles_x);
    gather_blocks(shaded_blocks().rows, x0, x1, t0, t1, blocks);
    // A tile row at a time: each block is looked up once for its four rows.
    for (int t = t0; t < t1; t++) {
      const unsigned char **row = blocks + (t - t0) * STRIP_TILES;
      const int ya = 4 * t < y0 ? y0 : 4 * t, yb = 4 * t + 4 > y1 ? y1 : 4 * t + 4;
      if (yb - ya == 4) {
        unsigned char *p0 = row_at(out, row_bytes, ya, y1) + 12 * x0, *p1 = p0 - row_bytes, *p2 = p1 - row_bytes,
                      *p3 = p2 - row_bytes;
        for (int k = 0; k < x1 - x0; k++) {
          const unsigned char *block = row[k];
          memcpy(p0 + 12 * k, block, 12);
          memcpy(p1 + 12 * k, block + 12, 12);
          memcpy(p2 + 12 * k, block + 24, 12);
          memcpy(p3 + 12 * k, block + 36, 12);
        }
        continue;
      }
      for (int y = ya; y < yb; y++) {
        unsigned char *p = row_at(out, row_bytes, y, y1) + 12 * x0;
        const int j = 12 * (y % 4);
        for (int k = 0; k < x1 - x0; k++, p += 12) memcpy(p, row[k] + j, 12);
      }
    }
  }
}

void produce_embossed(const void *, int y0, int y1, unsigned char *out, long row_bytes) {
  const int t0 = y0 / 4, t1 = (y1 - 1) / 4 + 1;
  const int stride = y1 - y0;
  const uint16_t *blocks[BAND_TILE_ROWS * STRIP_TILES];
  uint8_t relief[STRIP_COLUMNS * STREAM_BAND_ROWS_MAX];
  const uint32_t *shaded = shaded_blocks().bgr.data();
  for (int x0 = 0; x0 < tiles_x; x0 += STRIP_TILES) {
    const int x1 = min_int(x0 + STRIP_TILES, tiles_x);
    gather_blocks(shaded_blocks().colours, x0, x1, t0, t1, blocks);
    relief_columns(4 * x0, 4 * x1, y0, y1, relief, stride);
    for (int y = y0; y < y1; y++) {
      unsigned char *p = row_at(out, row_bytes, y, y1) + 12 * x0;
      const uint16_t **row = blocks + (y / 4 - t0) * STRIP_TILES;
      const uint8_t *shades = relief + (y - y0);
      const int j = 4 * (y % 4);
      // Four bytes a pixel, the fourth overwritten by the next pixel; the
      // row's last pixel ends the row and gets its three bytes only.
      const int n = x1 == tiles_x ? x1 - x0 - 1 : x1 - x0;
      for (int k = 0; k < n; k++) {
        const uint16_t *colours = row[k] + j;
        for (int i = 0; i < 4; i++, p += 3, shades += stride) put_bgr4(shaded[colours[i] * 256 + *shades], p);
      }
      if (n < x1 - x0) {
        const uint16_t *colours = row[n] + j;
        for (int i = 0; i < 4; i++, p += 3, shades += stride) put_bgr(shaded[colours[i] * 256 + *shades], p);
      }
    }
  }
}

struct BitmapRows {
  BITMAP *bmp;
  int depth;
  PixelShifts shifts;
};
BitmapRows bitmap_rows;

void produce_bitmap_rows(const void *context, int y0, int y1, unsigned char *out, long row_bytes) {
  const BitmapRows &source = *(const BitmapRows *)context;
  BITMAP *bmp = source.bmp;
  for (int y = y0; y < y1; y++) {
    unsigned char *p = row_at(out, row_bytes, y, y1);
    if (source.depth == 8) {
      memcpy(p, bmp->line[y], (size_t)bmp->w);
      continue;
    }
    const uint32_t *line = (const uint32_t *)bmp->line[y];
    // Four bytes a pixel, the fourth overwritten by the next: one store,
    // not three; the pixel as it is where it holds blue, green, red from
    // the lowest byte up, as the usual modes do.
    const PixelShifts &s = source.shifts;
    int x = 0;
    if (s.b == 0 && s.g == 8 && s.r == 16)
      for (; x + 1 < bmp->w; x++, p += 3) put_bgr4(line[x], p);
    else
      for (; x + 1 < bmp->w; x++, p += 3) put_bgr4(pixel_to_bgr(line[x], s), p);
    if (x < bmp->w) put_bgr(pixel_to_bgr(line[x], s), p);
  }
}

void prepare_height_colours(const PixelShifts &shifts) {
  const int max_height = height_map.max_height;
  uint32_t grey[256];
  grey[0] = pixel_to_bgr((uint32_t)makecol(0, 0, 255), shifts);
  for (int g = 1; g < 256; g++) grey[g] = pixel_to_bgr((uint32_t)makecol(g, g, g), shifts);
  for (int h = 0; h < 65536; h++)
    height_bgr[h] = grey[max_height > 0 ? min_int(h * 255 / max_height, 255) : 0];
}

// A few columns at a time: each row gets one short run, each column is
// read down its band.
void produce_heights16(const void *, int y0, int y1, unsigned char *out, long row_bytes) {
  enum { COLUMNS = 16 };
  const int columns = 4 * tiles_x;
  for (int x0 = 0; x0 < columns; x0 += COLUMNS) {
    const int n = min_int(COLUMNS, columns - x0);
    for (int y = y0; y < y1; y++) {
      uint16_t run[COLUMNS];
      for (int k = 0; k < n; k++) run[k] = height_map.heights[x0 + k][y];
      memcpy(row_at(out, row_bytes, y, y1) + 2 * x0, run, 2 * (size_t)n);
    }
  }
}

}  // namespace

int export_row_source(int kind, RowSource *source) {
  export_extent(&tiles_x, &tiles_y);
  const PixelShifts shifts = current_pixel_shifts();
  const int scale = (kind == EXPORT_DATA || kind == EXPORT_WATER) ? 1 : 4;
  *source = RowSource{scale * tiles_x, scale * tiles_y, 24, nullptr, nullptr, nullptr};
  switch (kind) {
    case EXPORT_DATA: source->produce = produce_data; return 0;
    case EXPORT_WATER:
      for (int t = 0; t < MAX_TEXTURES; t++) water_values[t] = texture_table.textures[t].has_water == 2;
      // All black but entry 1, a dark red, on the library's 0..63 scale.
      memcpy(water_palette, black_palette, sizeof(PALETTE));
      water_palette[1].r = 32;
      source->bits = 8;
      source->palette = water_palette;
      source->produce = produce_water;
      return 0;
    case EXPORT_HEIGHT_4X:
      prepare_height_colours(shifts);
      source->produce = produce_heights;
      return 0;
    case EXPORT_TEXTURES_4X:
    case EXPORT_EMBOSSED_4X: {
      if (prepare_tile_blocks() != 0) return 1;
      const int shaded = kind == EXPORT_EMBOSSED_4X;
      prepare_shaded_blocks(shifts, shaded);
      if (shaded) prepare_relief();
      source->produce = shaded ? produce_embossed : produce_textures;
      if (!shaded) source->band_rows = TEXTURE_BAND_ROWS;
      return 0;
    }
    default: return 1;
  }
}

RowSource bitmap_row_source(BITMAP *bmp, const RGB *palette) {
  bitmap_rows = BitmapRows{bmp, bitmap_color_depth(bmp), current_pixel_shifts()};
  const int bits = bitmap_rows.depth == 8 ? 8 : 24;
  return RowSource{bmp->w, bmp->h, bits, palette, produce_bitmap_rows, &bitmap_rows};
}

RowSource heights16_row_source() {
  export_extent(&tiles_x, &tiles_y);
  return RowSource{4 * tiles_x, 4 * tiles_y, 16, nullptr, produce_heights16, nullptr};
}
