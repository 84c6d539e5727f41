#include "terrain/height_map_file.h"

#include <cstring>

#include "app/startup.h"
#include "app/status_bar.h"
#include "terrain/height_palette.h"
#include "terrain/safe_file.h"
#include "terrain/terrain_model.h"

enum {
  // File rows per chunk: each sample column then receives a run of this many
  // neighbouring values, which keeps the transposed writes in the cache.
  HEIGHT_CHUNK_ROWS = 64,
  // Samples from 1 to this value take part in the height step detection.
  STEP_SAMPLE_LIMIT = 59,
  // More counted samples than this make a step stand out.
  STEP_MIN_COUNT = 1000,
};

static unsigned char height_chunk[HEIGHT_CHUNK_ROWS * MAX_SAMPLES * 2];

static inline unsigned word_at(const unsigned char *p) { return p[0] | (p[1] << 8); }

// Reads n bytes into the chunk. Words the file does not hold completely read
// as 0xFFFF, the packfile layer's end-of-file value.
static void read_chunk(PACKFILE *f, long n) {
  long got = pack_fread(height_chunk, n, f);
  if (got < 0) got = 0;
  if (got < n) memset(height_chunk + (got & ~1L), 0xFF, n - (got & ~1L));
}

// The step the editor raises and lowers heights by, from how many small
// samples are multiples of 5, 6, 8, 10 and 12 (counts[d] = samples of value d).
static int detect_height_step(const long long *counts, int max_height) {
  long long c5 = 0, c6 = 0, c8 = 0, c10 = 0, c12 = 0;
  for (int d = 1; d <= STEP_SAMPLE_LIMIT; d++) {
    if (d % 12 == 0) c12 += counts[d];
    if (d % 10 == 0) c10 += counts[d];
    if (d % 8 == 0) c8 += counts[d];
    if (d % 6 == 0) c6 += counts[d];
    if (d % 5 == 0) c5 += counts[d];
  }
  int s = round_to_int(max_height / 255);
  if (c8 > STEP_MIN_COUNT) s = 8;
  if (c10 > STEP_MIN_COUNT) {
    s = 10;
    if (c5 >= 2 * c10) s = 5;
  }
  if (c12 > STEP_MIN_COUNT) {
    s = 12;
    if (c6 >= 2 * c12) s = 6;
  }
  return s;
}

int load_height_map(const char *path) {
  PACKFILE *f = pack_fopen(path, F_READ);
  if (!f) return 1;
  height_map.samples_x = pack_igetl(f);
  height_map.samples_y = pack_igetl(f);
  height_map.header3 = pack_igetl(f);
  height_map.header4 = pack_igetl(f);
  const int sx = height_map.samples_x, sy = height_map.samples_y;
  // The tile map's sizes are at most 4000, so a match is never negative.
  if (sx > MAX_SAMPLES || sy > MAX_SAMPLES || sx != 4LL * tile_map.tiles_x ||
      sy != 4LL * tile_map.tiles_y || sx < 0 || sy < 0) {
    pack_fclose(f);
    return 1;
  }
  show_progress("Loading Heightmap (HFD)");

  long long counts[STEP_SAMPLE_LIMIT + 1] = {0};
  unsigned highest = height_map.max_height > 0 ? (unsigned)height_map.max_height : 0;
  const long row_bytes = (long)sx * 2;
  for (int i0 = 0; i0 < sy; i0 += HEIGHT_CHUNK_ROWS) {
    const int rows = sy - i0 < HEIGHT_CHUNK_ROWS ? sy - i0 : HEIGHT_CHUNK_ROWS;
    read_chunk(f, row_bytes * rows);
    // File rows i0..i0 + rows - 1 are memory rows y_low + rows - 1 down to y_low.
    const int y_low = sy - i0 - rows;
    for (int x = 0; x < sx; x++) {
      uint16_t *column = &height_map.heights[x][y_low];
      const unsigned char *p = height_chunk + 2 * x;
      for (int r = 0; r < rows; r++, p += row_bytes) {
        const unsigned d = word_at(p);
        column[rows - 1 - r] = (uint16_t)d;
        if (d <= STEP_SAMPLE_LIMIT) counts[d]++;
        if (d > highest) highest = d;
      }
    }
  }
  pack_fclose(f);
  height_map.max_height = (int32_t)highest;

  if (height_map.max_height > MAX_HEIGHT) return 1;
  const int step = detect_height_step(counts, height_map.max_height);
  height_map.detected_height_step = step;
  height_map.height_step = step;
  build_height_palette();
  height_map.heights_loaded = 1;
  return 0;
}

static inline void put_word(unsigned char *p, unsigned w) {
  p[0] = (unsigned char)(w & 0xFF);
  p[1] = (unsigned char)(w >> 8);
}

int save_height_map(const char *path) {
  const int sx = height_map.samples_x, sy = height_map.samples_y;
  // Only a grid that fits the table can be written.
  if (sx < 0 || sy < 0 || sx > MAX_SAMPLES || sy > MAX_SAMPLES) return 1;
  SafeFile file;
  if (safe_file_open(&file, path) != 0) return 1;
  PACKFILE *f = file.pack;
  pack_iputl(sx, f);
  pack_iputl(sy, f);
  pack_iputl(height_map.header3, f);
  pack_iputl(height_map.header4, f);

  int ok = 1;
  const long row_bytes = (long)sx * 2;
  for (int i0 = 0; i0 < sy && ok; i0 += HEIGHT_CHUNK_ROWS) {
    const int rows = sy - i0 < HEIGHT_CHUNK_ROWS ? sy - i0 : HEIGHT_CHUNK_ROWS;
    const int y_low = sy - i0 - rows;
    for (int x = 0; x < sx; x++) {
      const uint16_t *column = &height_map.heights[x][y_low];
      unsigned char *p = height_chunk + 2 * x;
      for (int r = 0; r < rows; r++, p += row_bytes) put_word(p, column[rows - 1 - r]);
    }
    if (pack_fwrite(height_chunk, row_bytes * rows, f) != row_bytes * rows) ok = 0;
  }
  return safe_file_commit(&file, ok);
}
