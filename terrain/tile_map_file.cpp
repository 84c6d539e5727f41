#include "terrain/tile_map_file.h"

#include <cstring>

#include "app/startup.h"
#include "app/status_bar.h"
#include "terrain/safe_file.h"
#include "terrain/stdio_packfile.h"
#include "terrain/terrain_model.h"

enum {
  TILE_RECORD_BYTES = 12,
  // Rows per chunk: enough that the columns being filled stay in the cache.
  TILE_CHUNK_ROWS = 16,
};

static unsigned char tile_chunk[TILE_CHUNK_ROWS * MAX_TILES * TILE_RECORD_BYTES];

static inline unsigned word_at(const unsigned char *p) { return p[0] | (p[1] << 8); }

// Reads n bytes into the chunk. Words the file does not hold completely read
// as 0xFFFF, the packfile layer's end-of-file value.
static void read_chunk(PACKFILE *f, long n) {
  long got = pack_fread(tile_chunk, n, f);
  if (got < 0) got = 0;
  if (got < n) memset(tile_chunk + (got & ~1L), 0xFF, n - (got & ~1L));
}

int load_tile_map(const char *path) {
  PACKFILE *f = open_stdio_packfile(path, "rb");
  if (!f) return 1;
  tile_map.tiles_x = pack_igetl(f);
  tile_map.tiles_y = pack_igetl(f);
  tile_map.header3 = pack_igetl(f);
  tile_map.header4 = pack_igetl(f);
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  if (tx > MAX_TILES || tx < 0 || ty > MAX_TILES || ty < 0) {
    pack_fclose(f);
    return 1;
  }
  show_progress("Loading Tilemap (TFD)");

  const long row_bytes = (long)tx * TILE_RECORD_BYTES;
  for (int i0 = 0; i0 < ty; i0 += TILE_CHUNK_ROWS) {
    const int rows = ty - i0 < TILE_CHUNK_ROWS ? ty - i0 : TILE_CHUNK_ROWS;
    read_chunk(f, row_bytes * rows);
    const unsigned char *p = tile_chunk;
    for (int i = i0; i < i0 + rows; i++) {
      const int y = ty - 1 - i;
      for (int x = 0; x < tx; x++, p += TILE_RECORD_BYTES) {
        Tile &tile = tile_map.tiles[x][y];
        tile.texture = (int16_t)(word_at(p) + 1);
        tile.rotation = p[2];
        tile.tag = p[4];
        tile.extra[0] = p[6];
        tile.extra[1] = p[8];
        tile.extra[2] = p[10];
        if (tile.texture > MAX_TEXTURES - 1 || tile.texture < 0) {
          pack_fclose(f);
          return 1;
        }
        if (tile.texture > tile_map.max_texture_used) tile_map.max_texture_used = tile.texture;
      }
    }
  }
  pack_fclose(f);
  return 0;
}

static inline unsigned char *put_word(unsigned char *p, unsigned w) {
  p[0] = (unsigned char)(w & 0xFF);
  p[1] = (unsigned char)(w >> 8);
  return p + 2;
}

int save_tile_map(const char *path) {
  SafeFile file;
  if (safe_file_open(&file, path) != 0) return 1;
  PACKFILE *f = file.pack;
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  pack_iputl(tx, f);
  pack_iputl(ty, f);
  pack_iputl(tile_map.header3, f);
  pack_iputl(tile_map.header4, f);

  int ok = 1;
  const long row_bytes = (long)tx * TILE_RECORD_BYTES;
  for (int i0 = 0; i0 < ty && ok; i0 += TILE_CHUNK_ROWS) {
    const int rows = ty - i0 < TILE_CHUNK_ROWS ? ty - i0 : TILE_CHUNK_ROWS;
    unsigned char *p = tile_chunk;
    for (int i = i0; i < i0 + rows; i++) {
      const int y = ty - 1 - i;
      for (int x = 0; x < tx; x++) {
        const Tile &tile = tile_map.tiles[x][y];
        p = put_word(p, (uint16_t)(tile.texture - 1));
        p = put_word(p, tile.rotation);
        p = put_word(p, tile.tag);
        p = put_word(p, tile.extra[0]);
        p = put_word(p, tile.extra[1]);
        p = put_word(p, tile.extra[2]);
      }
    }
    if (pack_fwrite(tile_chunk, row_bytes * rows, f) != row_bytes * rows) ok = 0;
  }
  return safe_file_commit(&file, ok);
}
