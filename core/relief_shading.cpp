#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/relief_shading.h"
#include "core/terrain_model.h"
#include "core/work_threads.h"

namespace {

// Light from the north-west, 30 degrees above the horizon, scaled to 255.9.
enum { LIGHT_X = -142, LIGHT_Y = 169, LIGHT_Z = 127 };

// Differences of three samples within 0..max_height lie within
// +-3 max_height, so their gradients (difference * 255 / max_height) lie
// within +-765. Both steps go through tables; samples above max_height
// (left by a failed load) take the long way.
enum { SHADE_SPAN = 3 * MAX_HEIGHT, SHADE_SLOPE = 3 * 255, SHADE_SIDE = 2 * SHADE_SLOPE + 1 };

// Columns of the shade map one part of compute_shade_map fills, and of a
// relief grid one part of relief_grid_from_heights.
enum { RELIEF_PART_COLUMNS = 256, RELIEF_STRIP_COLUMNS = 32 };

// Gradient of each difference, offset by SHADE_SLOPE; rebuilt for every max_height.
int16_t gradient_index[2 * SHADE_SPAN + 1];

// Shade of each pair of gradients, [gx][gy] offset by SHADE_SLOPE; built once.
uint8_t shade_of[SHADE_SIDE * SHADE_SIDE];
bool shade_table_ready = false;

// What prepare_relief found: the extent, the scale and whether the map is
// level ground throughout.
struct Relief {
  int columns, rows;
  int64_t max_height;
  int span;
  bool level;
} relief;

int shade_for(int64_t gx, int64_t gy) {
  if (gx == 0 && gy == 0) return LIGHT_Z;
  int64_t d = gx * LIGHT_X + gy * LIGHT_Y + 255 * LIGHT_Z;
  if (d < 0) return 0;
  return (int)((double)d / std::sqrt((double)(gx * gx + gy * gy + 65025)));
}

void build_shade_table() {
  for (int gx = -SHADE_SLOPE; gx <= SHADE_SLOPE; gx++)
    for (int gy = -SHADE_SLOPE; gy <= SHADE_SLOPE; gy++)
      shade_of[(gx + SHADE_SLOPE) * SHADE_SIDE + gy + SHADE_SLOPE] = (uint8_t)shade_for(gx, gy);
  shade_table_ready = true;
}

// The shade of one inner sample from its two differences.
inline uint8_t shade_of_differences(int a, int b) {
  const int span = relief.span;
  const unsigned limit = 2u * (unsigned)span;
  if ((unsigned)(a + span) <= limit && (unsigned)(b + span) <= limit)
    return shade_of[gradient_index[a + span] * SHADE_SIDE + gradient_index[b + span]];
  return (uint8_t)shade_for((int64_t)a * 255 / relief.max_height, (int64_t)b * 255 / relief.max_height);
}

#if defined(__SSE2__)
// Four neighbouring samples of a column as 32-bit lanes.
inline __m128i lanes4(const uint16_t *p) {
  return _mm_unpacklo_epi16(_mm_loadl_epi64((const __m128i *)p), _mm_setzero_si128());
}

// difference * 255 / max_height, truncated, for differences within
// +-3 max_height: the quotient's float is within 2^-14 of the exact one
// while any fraction is at least 1 / max_height (> 2^-14) from a whole
// number, so truncating it gives the integer division's result (also
// checked for every max_height and every difference).
inline __m128i gradients4(__m128i d, __m128 max_height) {
  const __m128i times255 = _mm_sub_epi32(_mm_slli_epi32(d, 8), d);
  return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(times255), max_height));
}
#endif

// Shades of the inner samples y0..y1 - 1 (all within 1..rows - 2) of one
// column, from the height columns west (X - 1), here and east (X + 1),
// into out[0 ..]. Heights are contiguous along Y.
void shade_run(const uint16_t *west, const uint16_t *here, const uint16_t *east, uint8_t *out,
               int y0, int y1) {
  int y = y0;
#if defined(__SSE2__)
  // Four samples at a time, as long as their differences are in the tables' range.
  const __m128 max_height = _mm_set1_ps((float)relief.max_height);
  const __m128i low = _mm_set1_epi32(-relief.span - 1), high = _mm_set1_epi32(relief.span + 1);
  for (; y + 4 <= y1; y += 4, out += 4) {
    const __m128i w0 = lanes4(west + y - 1), w1 = lanes4(west + y), w2 = lanes4(west + y + 1);
    const __m128i e0 = lanes4(east + y - 1), e1 = lanes4(east + y), e2 = lanes4(east + y + 1);
    const __m128i h0 = lanes4(here + y - 1), h2 = lanes4(here + y + 1);
    const __m128i a = _mm_sub_epi32(_mm_add_epi32(_mm_add_epi32(w0, w1), w2),
                                    _mm_add_epi32(_mm_add_epi32(e0, e1), e2));
    const __m128i b = _mm_sub_epi32(_mm_add_epi32(_mm_add_epi32(w2, h2), e2),
                                    _mm_add_epi32(_mm_add_epi32(w0, h0), e0));
    const __m128i inside = _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(a, low), _mm_cmplt_epi32(a, high)),
                                         _mm_and_si128(_mm_cmpgt_epi32(b, low), _mm_cmplt_epi32(b, high)));
    if (_mm_movemask_epi8(inside) != 0xFFFF) {
      int as[4], bs[4];
      _mm_storeu_si128((__m128i *)as, a);
      _mm_storeu_si128((__m128i *)bs, b);
      for (int k = 0; k < 4; k++) out[k] = shade_of_differences(as[k], bs[k]);
      continue;
    }
    int gx[4], gy[4];
    _mm_storeu_si128((__m128i *)gx, _mm_add_epi32(gradients4(a, max_height), _mm_set1_epi32(SHADE_SLOPE)));
    _mm_storeu_si128((__m128i *)gy, _mm_add_epi32(gradients4(b, max_height), _mm_set1_epi32(SHADE_SLOPE)));
    for (int k = 0; k < 4; k++) out[k] = shade_of[gx[k] * SHADE_SIDE + gy[k]];
  }
#endif
  for (; y < y1; y++, out++) {
    const int a = (west[y - 1] + west[y] + west[y + 1]) - (east[y - 1] + east[y] + east[y + 1]);
    const int b = (west[y + 1] + here[y + 1] + east[y + 1]) - (west[y - 1] + here[y - 1] + east[y - 1]);
    *out = shade_of_differences(a, b);
  }
}

inline int clamp_int(int v, int low, int high) { return v < low ? low : (v > high ? high : v); }

}  // namespace

void prepare_relief() {
  // The loaders store only checked sizes: 0..MAX_SAMPLES.
  prepare_relief_of(height_map.samples_x, height_map.samples_y, height_map.max_height);
}

void prepare_relief_of(int columns, int rows, int max_height) {
  relief.columns = columns;
  relief.rows = rows;
  relief.max_height = max_height;
  // No inner samples to take a slope from, or a flat map: level ground.
  relief.level = relief.columns < 3 || relief.rows < 3 || relief.max_height <= 0;
  if (relief.level) return;
  if (!shade_table_ready) build_shade_table();
  relief.span = relief.max_height <= MAX_HEIGHT ? 3 * (int)relief.max_height : 0;
  for (int d = -relief.span; d <= relief.span; d++)
    gradient_index[d + relief.span] = (int16_t)(d * 255 / relief.max_height + SHADE_SLOPE);
}

// Columns ahead whose heights are fetched while a column is shaded: each
// column's run starts in a cache line (and a page) of its own.
enum { RELIEF_FETCH_AHEAD = 16 };

static void fetch_column(int x, int y0, int y1) {
  if (x < 0 || x >= relief.columns || relief.rows == 0) return;
  const uint16_t *column = height_map.heights[x];
  const int first = y0 > 0 ? y0 - 1 : 0, last = y1 < relief.rows ? y1 : relief.rows - 1;
  for (int y = first; y <= last; y += 32) __builtin_prefetch(column + y);
  __builtin_prefetch(column + last);
}

void relief_columns(int x0, int x1, int y0, int y1, uint8_t *out, int stride) {
  const int rows = relief.rows;
  for (int k = 1; k < RELIEF_FETCH_AHEAD && x0 + k < x1; k++) fetch_column(x0 + k, y0, y1);
  for (int x = x0; x < x1; x++, out += stride) {
    if (x + RELIEF_FETCH_AHEAD < x1) fetch_column(x + RELIEF_FETCH_AHEAD, y0, y1);
    // Outside the height map the shade map is never written: 0.
    if (x < 0 || x >= relief.columns || rows == 0) {
      memset(out, 0, (size_t)(y1 - y0));
      continue;
    }
    // Rows past the height map's extent are 0 too.
    const int inside_end = y1 < rows ? (y1 > y0 ? y1 : y0) : (rows > y0 ? rows : y0);
    if (y1 > inside_end) memset(out + (inside_end - y0), 0, (size_t)(y1 - inside_end));
    if (y0 >= inside_end) continue;
    if (relief.level) {
      memset(out, LIGHT_Z, (size_t)(inside_end - y0));
      continue;
    }
    // The outermost samples repeat their inner neighbours.
    const int column = clamp_int(x, 1, relief.columns - 2);
    const uint16_t *west = height_map.heights[column - 1], *here = height_map.heights[column],
                   *east = height_map.heights[column + 1];
    int y = y0;
    if (y == 0) shade_run(west, here, east, out + (y++ - y0), 1, 2);
    const int inner_end = inside_end < rows - 1 ? inside_end : rows - 1;
    if (y < inner_end) {
      shade_run(west, here, east, out + (y - y0), y, inner_end);
      y = inner_end;
    }
    if (y < inside_end) shade_run(west, here, east, out + (y - y0), rows - 2, rows - 1);
  }
}

uint8_t relief_at(int x, int y) {
  uint8_t value;
  relief_columns(x, x + 1, y, y + 1, &value, 1);
  return value;
}

void relief_samples(int x, int y0, int step, int count, uint8_t *out) {
  const int rows = relief.rows;
  const bool inner_column = x >= 0 && x < relief.columns && !relief.level;
  const int column = clamp_int(x, 1, relief.columns - 2);
  const uint16_t *west = inner_column ? height_map.heights[column - 1] : nullptr;
  const uint16_t *here = inner_column ? height_map.heights[column] : nullptr;
  const uint16_t *east = inner_column ? height_map.heights[column + 1] : nullptr;
  for (int k = 0; k < count; k++) {
    const int y = y0 + k * step;
    // The edges, past the extent and level ground as relief_at has them.
    if (!inner_column || y < 1 || y >= rows - 1) {
      out[k] = y < 0 ? 0 : relief_at(x, y);
      continue;
    }
    const int a = (west[y - 1] + west[y] + west[y + 1]) - (east[y - 1] + east[y] + east[y + 1]);
    const int b = (west[y + 1] + here[y + 1] + east[y + 1]) - (west[y - 1] + here[y - 1] + east[y - 1]);
    out[k] = shade_of_differences(a, b);
  }
}

void relief_row_samples(const uint16_t *below, const uint16_t *at, const uint16_t *above, int x0, int step,
                        int count, uint8_t *out) {
  const auto one = [&](int x) -> uint8_t {
    if (x < 0 || x >= relief.columns || relief.rows == 0) return 0;
    if (relief.level) return LIGHT_Z;
    const int c = clamp_int(x, 1, relief.columns - 2);
    const int a = (below[c - 1] + at[c - 1] + above[c - 1]) - (below[c + 1] + at[c + 1] + above[c + 1]);
    const int b = (above[c - 1] + above[c] + above[c + 1]) - (below[c - 1] + below[c] + below[c + 1]);
    return shade_of_differences(a, b);
  };
  // The inner samples without the edge cases: most of a row.
  int k = 0;
  for (; k < count && x0 + k * step < 1; k++) out[k] = one(x0 + k * step);
  if (!relief.level && relief.rows > 0)
    for (int x = x0 + k * step; k < count && x < relief.columns - 1; k++, x += step) {
      const int a = (below[x - 1] + at[x - 1] + above[x - 1]) - (below[x + 1] + at[x + 1] + above[x + 1]);
      const int b = (above[x - 1] + above[x] + above[x + 1]) - (below[x - 1] + below[x] + below[x + 1]);
      out[k] = shade_of_differences(a, b);
    }
  for (; k < count; k++) out[k] = one(x0 + k * step);
}

int size_relief_grid(int step, int first, ReliefGrid *grid) {
  grid->step = step > 0 ? step : 1;
  grid->first = first;
  const auto count = [&](int samples) { return samples > first ? (samples - first + grid->step - 1) / grid->step : 0; };
  grid->columns = count(relief.columns);
  grid->rows = count(relief.rows);
  try {
    grid->shades.assign((size_t)grid->columns * (size_t)grid->rows, 0);
  } catch (const std::bad_alloc &) {
    grid->columns = grid->rows = 0;
    return 1;
  }
  return 0;
}

int relief_grid_from_heights(int step, int first, ReliefGrid *grid) {
  prepare_relief();
  if (size_relief_grid(step, first, grid) != 0) return 1;
  // Columns as the heights are stored, a strip at a time, written out by
  // rows: the strip's part of each row stays in the cache.
  const int columns = grid->columns, rows = grid->rows;
  const int strips = (columns + RELIEF_STRIP_COLUMNS - 1) / RELIEF_STRIP_COLUMNS;
  std::atomic<int> failed(0);
  run_parts(strips, [&](int k) {
    const int c0 = k * RELIEF_STRIP_COLUMNS, c1 = std::min(c0 + RELIEF_STRIP_COLUMNS, columns);
    thread_local std::vector<uint8_t> strip;
    try {
      strip.resize((size_t)(c1 - c0) * (size_t)rows);
    } catch (const std::bad_alloc &) {
      failed = 1;
      return;
    }
    for (int c = c0; c < c1; c++)
      relief_samples(grid->first + c * grid->step, grid->first, grid->step, rows, strip.data() + (size_t)(c - c0) * rows);
    for (int r = 0; r < rows; r++) {
      uint8_t *out = grid->shades.data() + (size_t)r * columns;
      for (int c = c0; c < c1; c++) out[c] = strip[(size_t)(c - c0) * rows + r];
    }
  });
  return failed ? 1 : 0;
}

void compute_shade_map() {
  prepare_relief();
  const int columns = relief.columns, rows = relief.rows;
  if (columns <= 0 || rows <= 0) return;
  const int parts = (columns + RELIEF_PART_COLUMNS - 1) / RELIEF_PART_COLUMNS;
  run_parts(parts, [&](int k) {
    const int x0 = k * RELIEF_PART_COLUMNS;
    const int x1 = x0 + RELIEF_PART_COLUMNS < columns ? x0 + RELIEF_PART_COLUMNS : columns;
    for (int x = x0; x < x1; x++) relief_columns(x, x + 1, 0, rows, shade_map[x], 0);
  });
}
