#include "files/height_map_file.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/file_stamp.h"
#include "core/height_palette.h"
#include "core/safe_file.h"
#include "core/stdio_packfile.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "core/work_threads.h"
#include "files/grid_file.h"

enum {
  // File rows per chunk: each sample column then receives a run of this many
  // neighbouring values at a time.
  HEIGHT_CHUNK_ROWS = 64,
  // Columns filled together: their runs of the chunk stay in the cache
  // until they are complete.
  HEIGHT_BLOCK_COLUMNS = 512,
  // File rows per piece read for the highest sample: what is read is
  // looked at while it is still in the cache.
  RELIEF_PIECE_ROWS = 8,
  // Relief rows one part makes.
  RELIEF_RUN_ROWS = 16,
  // Samples from 1 to this value take part in the height step detection.
  STEP_SAMPLE_LIMIT = 59,
  // More counted samples than this make a step stand out.
  STEP_MIN_COUNT = 1000,
};

static unsigned char height_chunk[HEIGHT_CHUNK_ROWS * MAX_SAMPLES * 2];

// What the loader learns from the samples while it stores them: the highest
// value, and how many samples from 1 to 59 are multiples of 5, 6, 8, 10, 12.
struct SampleStats {
  unsigned highest;
  long long c5, c6, c8, c10, c12;
};

static inline void note_sample(SampleStats *stats, unsigned d) {
  if (d >= 1 && d <= STEP_SAMPLE_LIMIT) {
    if (d % 12 == 0) stats->c12++;
    if (d % 10 == 0) stats->c10++;
    if (d % 8 == 0) stats->c8++;
    if (d % 6 == 0) stats->c6++;
    if (d % 5 == 0) stats->c5++;
  }
  if (d > stats->highest) stats->highest = d;
}

// Stores chunk rows r_begin..r_end - 1, columns x_begin..x_end - 1, into the
// grid one sample at a time: chunk row r is memory row y_top - r.
static void store_samples(const unsigned char *chunk, int x_begin, int x_end, int r_begin,
                          int r_end, long row_bytes, int y_top, SampleStats *stats) {
  for (int x = x_begin; x < x_end; x++) {
    uint16_t *column = height_map.heights[x];
    const unsigned char *p = chunk + (long)r_begin * row_bytes + 2 * x;
    for (int r = r_begin; r < r_end; r++, p += row_bytes) {
      const unsigned d = word_at(p);
      column[y_top - r] = (uint16_t)d;
      note_sample(stats, d);
    }
  }
}

#if defined(__SSE2__)
// The five step counters, eight lanes each. A lane gains at most one per
// vector counted; the lanes are emptied before they can overflow.
struct StepCounters8 {
  __m128i c5, c6, c8, c10, c12;
};

static long long lane_sum(__m128i v) {
  uint16_t lanes[8];
  _mm_storeu_si128((__m128i *)lanes, v);
  long long sum = 0;
  for (int k = 0; k < 8; k++) sum += lanes[k];
  return sum;
}

static void empty_counters(StepCounters8 *c, SampleStats *stats) {
  stats->c5 += lane_sum(c->c5);
  stats->c6 += lane_sum(c->c6);
  stats->c8 += lane_sum(c->c8);
  stats->c10 += lane_sum(c->c10);
  stats->c12 += lane_sum(c->c12);
  c->c5 = c->c6 = c->c8 = c->c10 = c->c12 = _mm_setzero_si128();
}

// Lanes from 1 to 59 as all ones.
static inline __m128i small_lanes(__m128i v) {
  const __m128i shifted = _mm_sub_epi16(v, _mm_set1_epi16(1));  // 0 wraps to 65535
  return _mm_cmpeq_epi16(_mm_subs_epu16(shifted, _mm_set1_epi16(STEP_SAMPLE_LIMIT - 1)),
                         _mm_setzero_si128());
}

// Lanes that are multiples of an odd q, as all ones: d * q^-1 (mod 2^16)
// is then at most 65535 / q.
static inline __m128i multiple_of_odd(__m128i v, int inverse, int bound) {
  const __m128i product = _mm_mullo_epi16(v, _mm_set1_epi16((short)inverse));
  return _mm_cmpeq_epi16(_mm_subs_epu16(product, _mm_set1_epi16((short)bound)),
                         _mm_setzero_si128());
}

static inline __m128i low_bits_clear(__m128i v, int bits) {
  return _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16((short)bits)), _mm_setzero_si128());
}

static inline void count_steps(__m128i v, StepCounters8 *c) {
  const __m128i small = small_lanes(v);
  const __m128i by5 = _mm_and_si128(small, multiple_of_odd(v, 52429, 13107));
  const __m128i by3 = _mm_and_si128(small, multiple_of_odd(v, 43691, 21845));
  const __m128i even = low_bits_clear(v, 1);
  // Subtracting an all-ones lane adds one.
  c->c5 = _mm_sub_epi16(c->c5, by5);
  c->c10 = _mm_sub_epi16(c->c10, _mm_and_si128(by5, even));
  c->c6 = _mm_sub_epi16(c->c6, _mm_and_si128(by3, even));
  c->c12 = _mm_sub_epi16(c->c12, _mm_and_si128(by3, low_bits_clear(v, 3)));
  c->c8 = _mm_sub_epi16(c->c8, _mm_and_si128(small, low_bits_clear(v, 7)));
}

// SSE2 compares signed lanes only: unsigned d is ordered as d - 32768.
static inline __m128i as_signed(__m128i v) { return _mm_xor_si128(v, _mm_set1_epi16(-32768)); }

// d - 1 (0 wrapping to 65535) ordered as a signed lane, so that the samples
// from 1 to 59 are the lowest.
static inline __m128i small_first(__m128i v) { return _mm_sub_epi16(v, _mm_set1_epi16(-32767)); }

static inline __m128i max8(__m128i a0, __m128i a1, __m128i a2, __m128i a3, __m128i a4,
                           __m128i a5, __m128i a6, __m128i a7) {
  return _mm_max_epi16(_mm_max_epi16(_mm_max_epi16(a0, a1), _mm_max_epi16(a2, a3)),
                       _mm_max_epi16(_mm_max_epi16(a4, a5), _mm_max_epi16(a6, a7)));
}

static inline __m128i min8(__m128i a0, __m128i a1, __m128i a2, __m128i a3, __m128i a4,
                           __m128i a5, __m128i a6, __m128i a7) {
  return _mm_min_epi16(_mm_min_epi16(_mm_min_epi16(a0, a1), _mm_min_epi16(a2, a3)),
                       _mm_min_epi16(_mm_min_epi16(a4, a5), _mm_min_epi16(a6, a7)));
}

// The whole blocks of 8 x 8 samples of a chunk, turned in registers: each
// column then gets eight neighbouring rows with one store. A block's rows
// are taken from the bottom up so that the samples come out in memory
// order. A band of columns at a time, eight rows after eight, so that the
// columns' runs stay in the cache until they are complete.
static void store_blocks(const unsigned char *chunk, int rows8, int columns8, long row_bytes,
                         int y_top, SampleStats *stats) {
  static_assert(HEIGHT_BLOCK_COLUMNS / 8 * HEIGHT_CHUNK_ROWS <= 65535,
                "the lane counters of one band must not overflow");
  const __m128i small_limit = _mm_set1_epi16(STEP_SAMPLE_LIMIT - 32768);
  __m128i top = as_signed(_mm_setzero_si128());
  StepCounters8 counters;
  counters.c5 = counters.c6 = counters.c8 = counters.c10 = counters.c12 = _mm_setzero_si128();
  for (int xb = 0; xb < columns8; xb += HEIGHT_BLOCK_COLUMNS) {
    const int xb_end = xb + HEIGHT_BLOCK_COLUMNS < columns8 ? xb + HEIGHT_BLOCK_COLUMNS : columns8;
    for (int r0 = 0; r0 < rows8; r0 += 8) {
      const unsigned char *row = chunk + (long)r0 * row_bytes;
      const int y = y_top - (r0 + 7);
      for (int x0 = xb; x0 < xb_end; x0 += 8) {
        const unsigned char *p = row + 2 * x0;
        const __m128i a0 = _mm_loadu_si128((const __m128i *)(p + 7 * row_bytes));
        const __m128i a1 = _mm_loadu_si128((const __m128i *)(p + 6 * row_bytes));
        const __m128i a2 = _mm_loadu_si128((const __m128i *)(p + 5 * row_bytes));
        const __m128i a3 = _mm_loadu_si128((const __m128i *)(p + 4 * row_bytes));
        const __m128i a4 = _mm_loadu_si128((const __m128i *)(p + 3 * row_bytes));
        const __m128i a5 = _mm_loadu_si128((const __m128i *)(p + 2 * row_bytes));
        const __m128i a6 = _mm_loadu_si128((const __m128i *)(p + row_bytes));
        const __m128i a7 = _mm_loadu_si128((const __m128i *)p);

        top = _mm_max_epi16(top, max8(as_signed(a0), as_signed(a1), as_signed(a2), as_signed(a3),
                                      as_signed(a4), as_signed(a5), as_signed(a6), as_signed(a7)));
        const __m128i lowest =
            min8(small_first(a0), small_first(a1), small_first(a2), small_first(a3),
                 small_first(a4), small_first(a5), small_first(a6), small_first(a7));
        // Most blocks hold no sample from 1 to 59 and skip the counting.
        if (_mm_movemask_epi8(_mm_cmpgt_epi16(small_limit, lowest))) {
          count_steps(a0, &counters);
          count_steps(a1, &counters);
          count_steps(a2, &counters);
          count_steps(a3, &counters);
          count_steps(a4, &counters);
          count_steps(a5, &counters);
          count_steps(a6, &counters);
          count_steps(a7, &counters);
        }

        const __m128i t0 = _mm_unpacklo_epi16(a0, a1), t1 = _mm_unpackhi_epi16(a0, a1);
        const __m128i t2 = _mm_unpacklo_epi16(a2, a3), t3 = _mm_unpackhi_epi16(a2, a3);
        const __m128i t4 = _mm_unpacklo_epi16(a4, a5), t5 = _mm_unpackhi_epi16(a4, a5);
        const __m128i t6 = _mm_unpacklo_epi16(a6, a7), t7 = _mm_unpackhi_epi16(a6, a7);
        const __m128i u0 = _mm_unpacklo_epi32(t0, t2), u1 = _mm_unpackhi_epi32(t0, t2);
        const __m128i u2 = _mm_unpacklo_epi32(t1, t3), u3 = _mm_unpackhi_epi32(t1, t3);
        const __m128i u4 = _mm_unpacklo_epi32(t4, t6), u5 = _mm_unpackhi_epi32(t4, t6);
        const __m128i u6 = _mm_unpacklo_epi32(t5, t7), u7 = _mm_unpackhi_epi32(t5, t7);
        uint16_t *out = &height_map.heights[x0][y];
        _mm_storeu_si128((__m128i *)out, _mm_unpacklo_epi64(u0, u4));
        _mm_storeu_si128((__m128i *)(out + MAX_SAMPLES), _mm_unpackhi_epi64(u0, u4));
        _mm_storeu_si128((__m128i *)(out + 2 * MAX_SAMPLES), _mm_unpacklo_epi64(u1, u5));
        _mm_storeu_si128((__m128i *)(out + 3 * MAX_SAMPLES), _mm_unpackhi_epi64(u1, u5));
        _mm_storeu_si128((__m128i *)(out + 4 * MAX_SAMPLES), _mm_unpacklo_epi64(u2, u6));
        _mm_storeu_si128((__m128i *)(out + 5 * MAX_SAMPLES), _mm_unpackhi_epi64(u2, u6));
        _mm_storeu_si128((__m128i *)(out + 6 * MAX_SAMPLES), _mm_unpacklo_epi64(u3, u7));
        _mm_storeu_si128((__m128i *)(out + 7 * MAX_SAMPLES), _mm_unpackhi_epi64(u3, u7));
      }
    }
    empty_counters(&counters, stats);
  }
  uint16_t lanes[8];
  _mm_storeu_si128((__m128i *)lanes, as_signed(top));
  for (int k = 0; k < 8; k++)
    if (lanes[k] > stats->highest) stats->highest = lanes[k];
}
#endif

// Moves a chunk of rows into the grid's columns.
static void store_chunk(const unsigned char *chunk, int rows, int sx, long row_bytes, int y_top,
                        SampleStats *stats) {
  int rows8 = 0, columns8 = 0;
#if defined(__SSE2__)
  rows8 = rows & ~7;
  columns8 = sx & ~7;
  store_blocks(chunk, rows8, columns8, row_bytes, y_top, stats);
#endif
  store_samples(chunk, columns8, sx, 0, rows, row_bytes, y_top, stats);
  store_samples(chunk, 0, columns8, rows8, rows, row_bytes, y_top, stats);
}

static void add_stats(SampleStats *total, const SampleStats &part) {
  if (part.highest > total->highest) total->highest = part.highest;
  total->c5 += part.c5;
  total->c6 += part.c6;
  total->c8 += part.c8;
  total->c10 += part.c10;
  total->c12 += part.c12;
}

// The chunks read at their own offsets and stored on every core, each
// thread with a buffer of its own; a thread held up elsewhere leaves its
// share to the others. The statistics do not depend on the order. 1 when
// a buffer cannot be had: some chunks may be stored, none counted.
static int load_chunks_in_parallel(int fd, int sx, int sy, SampleStats *stats) {
  const long row_bytes = (long)sx * 2;
  const int chunks = (sy + HEIGHT_CHUNK_ROWS - 1) / HEIGHT_CHUNK_ROWS;
  std::vector<SampleStats> chunk_stats((size_t)chunks, SampleStats{0, 0, 0, 0, 0, 0});
  std::atomic<int> failed(0);
  run_parts(chunks, [&](int c) {
    thread_local std::vector<unsigned char> chunk;
    if (failed) return;
    try {
      chunk.resize((size_t)(HEIGHT_CHUNK_ROWS * row_bytes));
    } catch (const std::bad_alloc &) {
      failed = 1;
      return;
    }
    const int i0 = c * HEIGHT_CHUNK_ROWS;
    const int rows = sy - i0 < HEIGHT_CHUNK_ROWS ? sy - i0 : HEIGHT_CHUNK_ROWS;
    read_grid_words_at(fd, GRID_HEADER_BYTES + (long long)i0 * row_bytes, chunk.data(), row_bytes * rows);
    store_chunk(chunk.data(), rows, sx, row_bytes, sy - 1 - i0, &chunk_stats[(size_t)c]);
  });
  if (failed) return 1;
  for (const SampleStats &part : chunk_stats) add_stats(stats, part);
  return 0;
}

// The step the editor raises and lowers heights by, from how many small
// samples are multiples of 5, 6, 8, 10 and 12; at least 1, so that a flat or
// low map can still be raised.
static int detect_height_step(const SampleStats &stats, int max_height) {
  int s = round_to_int(max_height / 255);
  if (stats.c8 > STEP_MIN_COUNT) s = 8;
  if (stats.c10 > STEP_MIN_COUNT) {
    s = 10;
    if (stats.c5 >= 2 * stats.c10) s = 5;
  }
  if (stats.c12 > STEP_MIN_COUNT) {
    s = 12;
    if (stats.c6 >= 2 * stats.c12) s = 6;
  }
  return s > 0 ? s : 1;
}

// Four samples a tile of the loaded tile map each way. The tile map's sizes
// are at most 4000, so a match is never negative.
static bool sizes_fit_tile_map(int32_t sx, int32_t sy) {
  return sx <= MAX_SAMPLES && sy <= MAX_SAMPLES && sx == 4LL * tile_map.tiles_x && sy == 4LL * tile_map.tiles_y &&
         sx >= 0 && sy >= 0;
}

int load_height_map(const char *path, const Reporter *reporter) {
  int32_t sx, sy, header3, header4;
  PACKFILE *f = open_grid_file(path, &height_map.stamp, &sx, &sy, &header3, &header4);
  if (!f) return RESULT_CANNOT_OPEN;
  if (!sizes_fit_tile_map(sx, sy)) {
    pack_fclose(f);
    return RESULT_BAD_HEADER;
  }
  height_map.samples_x = sx;
  height_map.samples_y = sy;
  height_map.header3 = header3;
  height_map.header4 = header4;
  report_progress(reporter, "Loading Heightmap (HFD)");
  prepare_table_pages(height_map.heights[0], sizeof(height_map.heights[0]), sx, sizeof(uint16_t) * (size_t)sy);

  SampleStats stats = {};
  stats.highest = height_map.max_height > 0 ? (unsigned)height_map.max_height : 0;
  const long row_bytes = (long)sx * 2;
  FILE *stream = stdio_packfile_stream(f);
  // Without the stream (or memory for the threads' buffers), chunk after
  // chunk through the packfile; the chunks stored so far are stored again.
  if (!stream || load_chunks_in_parallel(fileno(stream), sx, sy, &stats) != 0) {
    for (int i0 = 0; i0 < sy; i0 += HEIGHT_CHUNK_ROWS) {
      const int rows = sy - i0 < HEIGHT_CHUNK_ROWS ? sy - i0 : HEIGHT_CHUNK_ROWS;
      read_grid_words(f, height_chunk, row_bytes * rows);
      // File row i0 + r is memory row sy - 1 - i0 - r.
      store_chunk(height_chunk, rows, sx, row_bytes, sy - 1 - i0, &stats);
    }
  }
  pack_fclose(f);
  height_map.max_height = (int32_t)stats.highest;

  if (height_map.max_height > MAX_HEIGHT) return RESULT_BAD_DATA;
  const int step = detect_height_step(stats, height_map.max_height);
  height_map.detected_height_step = step;
  height_map.height_step = step;
  build_height_palette();
  height_map.heights_loaded = 1;
  return RESULT_OK;
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "samples are read as they lie in the file");

// The highest of n samples.
static unsigned highest_sample(const uint16_t *samples, long n) {
  unsigned highest = 0;
  long i = 0;
#if defined(__SSE2__)
  __m128i top = as_signed(_mm_setzero_si128());
  for (; i + 8 <= n; i += 8) top = _mm_max_epi16(top, as_signed(_mm_loadu_si128((const __m128i *)(samples + i))));
  uint16_t lanes[8];
  _mm_storeu_si128((__m128i *)lanes, as_signed(top));
  for (int k = 0; k < 8; k++) highest = lanes[k] > highest ? lanes[k] : highest;
#endif
  for (; i < n; i++) highest = samples[i] > highest ? samples[i] : highest;
  return highest;
}

// The highest sample of the file's rows, each part's chunk read at its own
// offset. 1 when a buffer cannot be had.
static int read_highest(int fd, int sx, int sy, unsigned *highest) {
  const long row_bytes = (long)sx * 2;
  const int chunks = (sy + RELIEF_PIECE_ROWS - 1) / RELIEF_PIECE_ROWS;
  std::vector<unsigned> chunk_highest((size_t)chunks, 0);
  std::atomic<int> failed(0);
  run_parts(chunks, [&](int c) {
    thread_local std::vector<uint16_t> chunk;
    if (failed) return;
    try {
      chunk.resize((size_t)RELIEF_PIECE_ROWS * (size_t)sx);
    } catch (const std::bad_alloc &) {
      failed = 1;
      return;
    }
    const int i0 = c * RELIEF_PIECE_ROWS;
    const int rows = sy - i0 < RELIEF_PIECE_ROWS ? sy - i0 : RELIEF_PIECE_ROWS;
    read_grid_words_at(fd, GRID_HEADER_BYTES + (long long)i0 * row_bytes, (unsigned char *)chunk.data(),
                       row_bytes * rows);
    chunk_highest[(size_t)c] = highest_sample(chunk.data(), (long)rows * sx);
  });
  for (unsigned h : chunk_highest) *highest = h > *highest ? h : *highest;
  return failed ? 1 : 0;
}

// The grid's rows, a few to a part: each part reads the file rows its
// samples and their neighbours lie on, in one piece where the rows of
// neighbouring samples meet, else each sample row's three apart (a fourth
// of the file less at one pixel a tile). 1 when a buffer cannot be had.
static int read_relief_rows(int fd, int sx, int sy, ReliefGrid *grid) {
  const long row_bytes = (long)sx * 2;
  const int parts = (grid->rows + RELIEF_RUN_ROWS - 1) / RELIEF_RUN_ROWS;
  // Memory row y is file row sy - 1 - y; the outermost rows repeat their
  // inner neighbours, and a map under 3 rows is level (no row is looked at).
  const auto inner = [sy](int y) { return sy < 3 ? 0 : y < 1 ? 1 : y > sy - 2 ? sy - 2 : y; };
  const int reach = sy < 3 ? 0 : 1;
  std::atomic<int> failed(0);
  run_parts(parts, [&](int k) {
    thread_local std::vector<uint16_t> rows;
    if (failed) return;
    const int j0 = k * RELIEF_RUN_ROWS, j1 = j0 + RELIEF_RUN_ROWS < grid->rows ? j0 + RELIEF_RUN_ROWS : grid->rows;
    const bool apart = grid->step > 2 * reach + 1;
    int y_high = inner(grid->first + (j1 - 1) * grid->step) + reach;
    const long count = apart ? 2 * reach + 1 : y_high - (inner(grid->first + j0 * grid->step) - reach) + 1;
    try {
      rows.resize((size_t)count * (size_t)sx);
    } catch (const std::bad_alloc &) {
      failed = 1;
      return;
    }
    // File order: memory row y_high comes first.
    const auto read = [&](int high) {
      y_high = high;
      if (sy > 0)
        read_grid_words_at(fd, GRID_HEADER_BYTES + (long long)(sy - 1 - high) * row_bytes,
                           (unsigned char *)rows.data(), row_bytes * count);
    };
    const auto row = [&](int y) { return rows.data() + (size_t)(y_high - y) * (size_t)sx; };
    if (!apart) read(y_high);
    for (int j = j0; j < j1; j++) {
      const int y = inner(grid->first + j * grid->step);
      if (apart) read(y + reach);
      relief_row_samples(row(y - reach), row(y), row(y + reach), grid->first, grid->step, grid->columns,
                         grid->shades.data() + (size_t)j * grid->columns);
    }
  });
  return failed ? 1 : 0;
}

int read_height_relief(const char *path, int step, int first, ReliefGrid *grid) {
  int32_t sx, sy, header3, header4;
  FileStamp stamp;
  PACKFILE *f = open_grid_file(path, &stamp, &sx, &sy, &header3, &header4);
  if (!f) return RESULT_CANNOT_OPEN;
  if (!sizes_fit_tile_map(sx, sy)) {
    pack_fclose(f);
    return RESULT_BAD_HEADER;
  }
  // A grid file is always opened over stdio.
  FILE *stream = stdio_packfile_stream(f);
  const int fd = stream ? fileno(stream) : -1;
  unsigned highest = 0;
  int result = RESULT_OK;
  if (fd < 0) result = RESULT_CANNOT_OPEN;
  else if (read_highest(fd, sx, sy, &highest) != 0) result = RESULT_NO_MEMORY;
  else if (highest > MAX_HEIGHT) result = RESULT_BAD_DATA;
  if (result == RESULT_OK) {
    prepare_relief_of(sx, sy, (int)highest);
    if (size_relief_grid(step, first, grid) != 0 || read_relief_rows(fd, sx, sy, grid) != 0) result = RESULT_NO_MEMORY;
  }
  pack_fclose(f);
  return result;
}

static inline void put_word(unsigned char *p, unsigned w) {
  p[0] = (unsigned char)(w & 0xFF);
  p[1] = (unsigned char)(w >> 8);
}

// Chunk k of the file's rows into out: file row i0 + r holds memory row
// y_top - r; a band of columns at a time keeps the columns being read in
// the cache.
static void encode_chunk(int k, unsigned char *out) {
  const int sx = height_map.samples_x, sy = height_map.samples_y;
  const long row_bytes = (long)sx * 2;
  const int i0 = k * HEIGHT_CHUNK_ROWS;
  const int rows = sy - i0 < HEIGHT_CHUNK_ROWS ? sy - i0 : HEIGHT_CHUNK_ROWS;
  const int y_top = sy - 1 - i0;
  for (int xb = 0; xb < sx; xb += HEIGHT_BLOCK_COLUMNS) {
    const int xb_end = xb + HEIGHT_BLOCK_COLUMNS < sx ? xb + HEIGHT_BLOCK_COLUMNS : sx;
    for (int r = 0; r < rows; r++) {
      unsigned char *p = out + r * row_bytes;
      for (int x = xb; x < xb_end; x++) put_word(p + 2 * x, height_map.heights[x][y_top - r]);
    }
  }
}

static long chunk_bytes(int k) {
  const int rows = height_map.samples_y - k * HEIGHT_CHUNK_ROWS;
  return (long)height_map.samples_x * 2 * (rows < HEIGHT_CHUNK_ROWS ? rows : HEIGHT_CHUNK_ROWS);
}

// Chunks are encoded on the other cores while this one writes.
static void make_chunk(void *, int k, unsigned char *out) { encode_chunk(k, out); }
static int write_chunk(void *context, int k, const unsigned char *chunk) {
  return write_chunk_whole((ChunkWriter *)context, chunk, chunk_bytes(k));
}

int save_height_map(const char *path, WriteError *why) {
  const int sx = height_map.samples_x, sy = height_map.samples_y;
  SafeFile file;
  if (safe_file_open(&file, path) != 0) return write_failed(why, file.error, file.creating);
  PACKFILE *f = file.pack;
  ChunkWriter out = {f, 0};
  write_grid_header(f, sx, sy, height_map.header3, height_map.header4);

  const int chunks = sx > 0 && sy > 0 ? (sy + HEIGHT_CHUNK_ROWS - 1) / HEIGHT_CHUNK_ROWS : 0;
  const int result = run_in_order_or_alone(chunks, sizeof(height_chunk), make_chunk, write_chunk, &out, height_chunk);
  if (safe_file_commit(&file, result == ORDERED_DONE) != 0)
    return write_failed(why, out.error ? out.error : file.error, 0);
  record_file_stamp(&height_map.stamp, path, &file.written);
  return RESULT_OK;
}
