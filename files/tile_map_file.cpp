#include "files/tile_map_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <atomic>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "core/file_stamp.h"
#include "core/regular_file.h"
#include "core/safe_file.h"
#include "core/stdio_packfile.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "core/work_threads.h"
#include "files/grid_file.h"

enum {
  // Rows per chunk. The grid is stored by columns, so each chunk is written
  // column by column: one short run of neighbouring tiles per column.
  TILE_CHUNK_ROWS = 64,
  // Columns moved together: their runs of the chunk stay in the cache.
  TILE_BLOCK_COLUMNS = 16,
};

static unsigned char tile_chunk[TILE_CHUNK_ROWS * MAX_TILES * TILE_RECORD_BYTES];

static inline int16_t texture_of(const unsigned char *record) {
  return (int16_t)(word_at(record) + 1);
}

// Tiles are moved as whole 8-byte values: texture, rotation, tag, the three
// extra bytes and a zero pad, in memory order.
static_assert(sizeof(Tile) == 8, "a tile is moved as one 64-bit value");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "tiles are packed little-endian");

static inline void decode_tile(const unsigned char *r, Tile *tile) {
  const uint64_t v = (uint64_t)(uint16_t)texture_of(r) | (uint64_t)r[2] << 16 |
                     (uint64_t)r[4] << 24 | (uint64_t)r[6] << 32 | (uint64_t)r[8] << 40 |
                     (uint64_t)r[10] << 48;
  memcpy(tile, &v, sizeof(v));
}

static inline void encode_tile(const Tile *tile, unsigned char *r) {
  uint64_t v;
  memcpy(&v, tile, sizeof(v));
  // texture - 1, rotation, tag, extra[0] as four words; extra[1], extra[2] as two.
  const uint64_t head = (uint64_t)(uint16_t)(v - 1) | ((v >> 16) & 0xFF) << 16 |
                        ((v >> 24) & 0xFF) << 32 | ((v >> 32) & 0xFF) << 48;
  const uint32_t tail = (uint32_t)((v >> 40) & 0xFF) | (uint32_t)((v >> 48) & 0xFF) << 16;
  memcpy(r, &head, sizeof(head));
  memcpy(r + 8, &tail, sizeof(tail));
}

static void keep_high_bytes(const unsigned char *record, int x, int y) {
  TileHighBytes &high = tile_map.high_bytes[x][y];
  for (int w = 0; w < TILE_HIGH_WORDS; w++) high.word[w] = record[2 * w + 3];
}

// What one chunk of rows held: how many of its bytes the file had, the
// highest texture number before its first bad one, where that is (-1:
// none), and the tiles whose high bytes were kept.
struct ChunkRead {
  long got;
  int highest;
  long bad;
  long high_tiles;
};

// The chunk's first bad texture number and the highest before it; used
// (may be null) gets every texture number before it marked.
static ChunkRead check_tile_chunk(const unsigned char *chunk, int rows, long got, uint8_t *used) {
  ChunkRead read = {got, 0, -1, 0};
  const long count = (long)rows * tile_map.tiles_x;
  const unsigned char *p = chunk;
  for (long k = 0; k < count; k++, p += TILE_RECORD_BYTES) {
    const int16_t texture = texture_of(p);
    if (texture > MAX_TEXTURES - 1 || texture < 0) {
      read.bad = k;
      break;
    }
    if (texture > read.highest) read.highest = texture;
    if (used) used[texture] = 1;
  }
  return read;
}

// Stores the checked chunk of file rows from i0: the tiles up to and
// including its first bad texture number.
static void store_tile_chunk(const unsigned char *chunk, int i0, int rows, ChunkRead *read) {
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  const long row_bytes = (long)tx * TILE_RECORD_BYTES;
  const long count = read->bad >= 0 ? read->bad + 1 : (long)rows * tx;
  // Words past the end read as 0xFFFF: their high bytes are not the file's.
  const long whole = read->got / TILE_RECORD_BYTES;
  // File row i holds memory row ty - 1 - i: the chunk's rows run up the
  // columns. A few columns at a time, so that both the records read and
  // the column runs written stay in the cache.
  for (int x0 = 0; x0 < tx; x0 += TILE_BLOCK_COLUMNS) {
    const int x1 = x0 + TILE_BLOCK_COLUMNS < tx ? x0 + TILE_BLOCK_COLUMNS : tx;
    for (int r = 0; r < rows; r++) {
      const unsigned char *record = chunk + (long)r * row_bytes + (long)x0 * TILE_RECORD_BYTES;
      const int y = ty - 1 - (i0 + r);
      for (int x = x0; x < x1; x++, record += TILE_RECORD_BYTES) {
        const long k = (long)r * tx + x;
        if (k >= count) break;
        decode_tile(record, &tile_map.tiles[x][y]);
        if ((record[3] | record[5] | record[7] | record[9] | record[11]) && k < whole) {
          keep_high_bytes(record, x, y);
          read->high_tiles++;
        }
      }
    }
  }
}

// Takes a stored chunk's findings into the model; 1 when it held a bad
// texture number.
static int count_chunk(const ChunkRead &read, long long *bytes_read) {
  *bytes_read += read.got;
  if (read.highest > tile_map.max_texture_used) tile_map.max_texture_used = read.highest;
  tile_map.high_byte_tiles += read.high_tiles;
  return read.bad >= 0;
}

// The chunks read at their own offsets and stored on every core, each part
// with a buffer of its own, with the result of reading them one after
// another: a chunk is stored only once every chunk before it is known to
// hold no bad texture number, so that the tiles after the first bad one
// keep what they had. The chunks are handed out in order, and whoever took
// one checks it before waiting for those before it, so that the waiting
// ends on any number of threads. With used (MAX_TEXTURES entries), only
// checked: nothing is stored, and the texture numbers named are marked.
// 1 when the buffers cannot be had (nothing is stored then).
static int load_chunks_in_parallel(int fd, int *failed, long long *bytes_read, uint8_t *used = nullptr) {
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  const long row_bytes = (long)tx * TILE_RECORD_BYTES;
  const int chunks = (ty + TILE_CHUNK_ROWS - 1) / TILE_CHUNK_ROWS;
  const int parts = work_thread_count() < chunks ? work_thread_count() : chunks;
  std::vector<std::vector<unsigned char>> buffers;
  std::vector<ChunkRead> reads;
  std::unique_ptr<std::atomic<int>[]> checked;  // 0 not yet, 1 good, -1 a bad texture number
  std::vector<uint8_t> part_used;
  try {
    buffers.resize((size_t)parts);
    for (auto &buffer : buffers) buffer.resize((size_t)(TILE_CHUNK_ROWS * row_bytes));
    reads.resize((size_t)chunks);
    checked.reset(new std::atomic<int>[(size_t)chunks]);
    if (used) part_used.assign((size_t)parts * MAX_TEXTURES, 0);
  } catch (const std::bad_alloc &) {
    return 1;
  }
  for (int c = 0; c < chunks; c++) checked[c] = 0;
  std::atomic<int> next(0);
  run_parts(parts, [&](int part) {
    unsigned char *chunk = buffers[(size_t)part].data();
    int good = 0;  // the chunks before this one hold no bad texture number
    for (int c = next++; c < chunks; c = next++) {
      const int i0 = c * TILE_CHUNK_ROWS;
      const int rows = ty - i0 < TILE_CHUNK_ROWS ? ty - i0 : TILE_CHUNK_ROWS;
      const long got = read_grid_words_at(fd, GRID_HEADER_BYTES + (long long)i0 * row_bytes, chunk, row_bytes * rows);
      ChunkRead &read = reads[(size_t)c];
      read = check_tile_chunk(chunk, rows, got, used ? &part_used[(size_t)part * MAX_TEXTURES] : nullptr);
      if (used) continue;
      checked[c] = read.bad < 0 ? 1 : -1;
      for (int seen; good < c && (seen = checked[good]) >= 0; good += seen)
        if (seen == 0) std::this_thread::yield();
      if (good == c) store_tile_chunk(chunk, i0, rows, &read);
    }
  });
  for (int c = 0; c < chunks && !*failed; c++) *failed = count_chunk(reads[(size_t)c], bytes_read);
  for (size_t k = 0; k < part_used.size(); k++) used[k % MAX_TEXTURES] |= part_used[k];
  return 0;
}

// Opens the file and takes its sizes and header into the model; null when
// it does not open or its sizes are out of range (*result says which).
static PACKFILE *open_tile_map(const char *path, int *result) {
  int32_t tx, ty, header3, header4;
  PACKFILE *f = open_grid_file(path, &tile_map.stamp, &tx, &ty, &header3, &header4);
  *result = f ? RESULT_OK : RESULT_CANNOT_OPEN;
  if (!f) return nullptr;
  if (tx > MAX_TILES || tx < 0 || ty > MAX_TILES || ty < 0) {
    pack_fclose(f);
    *result = RESULT_BAD_HEADER;
    return nullptr;
  }
  // High bytes of a terrain read before are not this file's.
  clear_tile_high_bytes();
  tile_map.tiles_x = tx;
  tile_map.tiles_y = ty;
  tile_map.header3 = header3;
  tile_map.header4 = header4;
  return f;
}

int load_tile_map(const char *path, const Reporter *reporter) {
  int result;
  PACKFILE *f = open_tile_map(path, &result);
  if (!f) return result;
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  report_progress(reporter, "Loading Tilemap (TFD)");
  prepare_table_pages(tile_map.tiles[0], sizeof(tile_map.tiles[0]), tx, sizeof(Tile) * (size_t)ty);

  int failed = 0;
  long long bytes_read = 0;
  FILE *stream = stdio_packfile_stream(f);
  // Without the stream or the buffers, chunk after chunk through the packfile.
  if (!stream || load_chunks_in_parallel(fileno(stream), &failed, &bytes_read) != 0) {
    const long row_bytes = (long)tx * TILE_RECORD_BYTES;
    for (int i0 = 0; i0 < ty && !failed; i0 += TILE_CHUNK_ROWS) {
      const int rows = ty - i0 < TILE_CHUNK_ROWS ? ty - i0 : TILE_CHUNK_ROWS;
      ChunkRead read = check_tile_chunk(tile_chunk, rows, read_grid_words(f, tile_chunk, row_bytes * rows), nullptr);
      store_tile_chunk(tile_chunk, i0, rows, &read);
      failed = count_chunk(read, &bytes_read);
    }
  }
  pack_fclose(f);
  tile_map.records_read = bytes_read / TILE_RECORD_BYTES;
  return failed ? RESULT_BAD_DATA : RESULT_OK;
}

int scan_tile_map(const char *path, uint8_t *used) {
  int result;
  PACKFILE *f = open_tile_map(path, &result);
  if (!f) return result;
  memset(used, 0, MAX_TEXTURES);
  int failed = 0;
  long long bytes_read = 0;
  // A grid file is always opened over stdio.
  FILE *stream = stdio_packfile_stream(f);
  if (!stream) result = RESULT_CANNOT_OPEN;
  else if (load_chunks_in_parallel(fileno(stream), &failed, &bytes_read, used) != 0) result = RESULT_NO_MEMORY;
  pack_fclose(f);
  tile_map.records_read = bytes_read / TILE_RECORD_BYTES;
  return result != RESULT_OK ? result : failed ? RESULT_BAD_DATA : RESULT_OK;
}

int open_tile_rows(const char *path) {
  int32_t tx, ty, header3, header4;
  FileStamp stamp;
  PACKFILE *f = open_grid_file(path, &stamp, &tx, &ty, &header3, &header4);
  FILE *stream = f ? stdio_packfile_stream(f) : nullptr;
  const int fd = stream && tx == tile_map.tiles_x && ty == tile_map.tiles_y ? dup(fileno(stream)) : -1;
  if (f) pack_fclose(f);
  return fd;
}

void read_tile_rows(int fd, int y0, int rows, Tile *out, unsigned char *buffer) {
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  const long row_bytes = (long)tx * TILE_RECORD_BYTES;
  // Memory row y is file row ty - 1 - y: the highest row comes first.
  read_grid_words_at(fd, GRID_HEADER_BYTES + (long long)(ty - y0 - rows) * row_bytes, buffer, row_bytes * rows);
  for (int r = 0; r < rows; r++) {
    const unsigned char *record = buffer + (long)(rows - 1 - r) * row_bytes;
    Tile *row = out + (size_t)r * tx;
    for (int x = 0; x < tx; x++, record += TILE_RECORD_BYTES) decode_tile(record, &row[x]);
  }
}

// Chunk k of the file's rows, encoded into out.
static void encode_chunk(int k, unsigned char *out) {
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  const long row_bytes = (long)tx * TILE_RECORD_BYTES;
  const int i0 = k * TILE_CHUNK_ROWS;
  const int rows = ty - i0 < TILE_CHUNK_ROWS ? ty - i0 : TILE_CHUNK_ROWS;
  // File row i holds memory row ty - 1 - i.
  const int y_low = ty - i0 - rows;
  for (int x0 = 0; x0 < tx; x0 += TILE_BLOCK_COLUMNS) {
    const int x1 = x0 + TILE_BLOCK_COLUMNS < tx ? x0 + TILE_BLOCK_COLUMNS : tx;
    // Each column's run lies in a page of its own: the next block's runs
    // are fetched while this one is encoded.
    for (int x = x1; x < x1 + TILE_BLOCK_COLUMNS && x < tx; x++)
      for (int y = y_low; y < y_low + rows; y += 8) __builtin_prefetch(&tile_map.tiles[x][y]);
    for (int r = 0; r < rows; r++) {
      unsigned char *record = out + (long)r * row_bytes + (long)x0 * TILE_RECORD_BYTES;
      const int y = ty - 1 - (i0 + r);
      for (int x = x0; x < x1; x++, record += TILE_RECORD_BYTES) encode_tile(&tile_map.tiles[x][y], record);
    }
    if (tile_map.high_byte_tiles == 0) continue;
    for (int r = 0; r < rows; r++) {
      unsigned char *record = out + (long)r * row_bytes + (long)x0 * TILE_RECORD_BYTES;
      const int y = ty - 1 - (i0 + r);
      for (int x = x0; x < x1; x++, record += TILE_RECORD_BYTES) {
        const TileHighBytes &high = tile_map.high_bytes[x][y];
        for (int w = 0; w < TILE_HIGH_WORDS; w++) record[2 * w + 3] = high.word[w];
      }
    }
  }
}

static long chunk_bytes(int k) {
  const int rows = tile_map.tiles_y - k * TILE_CHUNK_ROWS;
  return (long)tile_map.tiles_x * TILE_RECORD_BYTES * (rows < TILE_CHUNK_ROWS ? rows : TILE_CHUNK_ROWS);
}

// Chunks are encoded on the other cores while this one writes.
static void make_chunk(void *, int k, unsigned char *out) { encode_chunk(k, out); }
static int write_chunk(void *context, int k, const unsigned char *chunk) {
  return write_chunk_whole((ChunkWriter *)context, chunk, chunk_bytes(k));
}

static int write_tile_map(const char *path, WriteError *why, int unless_changed) {
  SafeFile file;
  if (safe_file_open(&file, path) != 0) return write_failed(why, file.error, file.creating);
  PACKFILE *f = file.pack;
  ChunkWriter out = {f, 0};
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  write_grid_header(f, tx, ty, tile_map.header3, tile_map.header4);

  const int chunks = tx > 0 && ty > 0 ? (ty + TILE_CHUNK_ROWS - 1) / TILE_CHUNK_ROWS : 0;
  const int result = run_in_order_or_alone(chunks, sizeof(tile_chunk), make_chunk, write_chunk, &out, tile_chunk);
  if (unless_changed && result == ORDERED_DONE && file_changed_on_disk(&tile_map.stamp, path)) {
    safe_file_commit(&file, 0);
    return TILE_MAP_CHANGED;
  }
  if (safe_file_commit(&file, result == ORDERED_DONE) != 0)
    return write_failed(why, out.error ? out.error : file.error, 0);
  record_file_stamp(&tile_map.stamp, path, &file.written);
  return RESULT_OK;
}

int save_tile_map(const char *path, WriteError *why) { return write_tile_map(path, why, 0); }
int save_tile_map_unless_changed(const char *path, WriteError *why) { return write_tile_map(path, why, 1); }

void tile_map_failure_line(const char *path, int error, const char *reason, char *line, int size) {
  char name[4 * PATH_SIZE];
  quote_name(path, name, sizeof(name));
  if (error == ENOENT)
    snprintf(line, (size_t)size, "%s: the tile map does not exist.", name);
  else
    snprintf(line, (size_t)size, "%s: the tile map cannot be read: %s.", name,
             error ? open_failure_reason(error) : reason);
}

int tile_map_unopened(const char *path, char *line, int size) {
  const int fd = open_regular_file(path);
  if (fd >= 0) {
    close(fd);
    return 0;
  }
  tile_map_failure_line(path, errno, "", line, size);
  return 1;
}
