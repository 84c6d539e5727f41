#include "edit/height_edits.h"

#include <algorithm>
#include <cstring>

#include "core/work_threads.h"
#include "edit/edit_history.h"

namespace {

const int RULE_ACTIONS[] = {HISTORY_AREA_RAISE_HEIGHTS, HISTORY_AREA_LOWER_HEIGHTS, HISTORY_AREA_ROTATE_HEIGHTS,
                            HISTORY_AREA_PASTE_HEIGHTS, HISTORY_AREA_LEVEL,         HISTORY_AREA_SMOOTH,
                            HISTORY_AREA_SET_HEIGHT,    HISTORY_AREA_RAMP};

// Inclusive sample corners.
struct SampleRect {
  int x0, y0, x1, y1;
  long long count() const { return (long long)(x1 - x0 + 1) * (y1 - y0 + 1); }
};

SampleRect samples_of(const TileRect &r) { return {4 * r.left, 4 * r.top, 4 * r.right + 3, 4 * r.bottom + 3}; }

// work(c0, c1) on columns c0..c1 - 1 of x0..x1, the parts spread over the cores.
template <class Work>
void each_columns(int x0, int x1, const Work &work) {
  const int columns = x1 - x0 + 1, parts = std::min(columns, 64);
  run_parts(parts, [&](int k) {
    work(x0 + (int)((long long)columns * k / parts), x0 + (int)((long long)columns * (k + 1) / parts));
  });
}

template <class Rule>
void each_sample(const SampleRect &s, const Rule &rule) {
  each_columns(s.x0, s.x1, [&](int c0, int c1) {
    for (int x = c0; x < c1; x++) {
      uint16_t *column = height_map.heights[x];
      for (int y = s.y0; y <= s.y1; y++) column[y] = rule(column[y]);
    }
  });
}

long long sum_of(const SampleRect &s) {
  std::vector<long long> sums(64);
  const int columns = s.x1 - s.x0 + 1, parts = std::min(columns, 64);
  run_parts(parts, [&](int k) {
    long long sum = 0;
    for (int x = s.x0 + columns * k / parts; x < s.x0 + columns * (k + 1) / parts; x++)
      for (int y = s.y0; y <= s.y1; y++) sum += height_map.heights[x][y];
    sums[(size_t)k] = sum;
  });
  long long total = 0;
  for (long long sum : sums) total += sum;
  return total;
}

uint16_t mean_of(long long sum, long long n) { return (uint16_t)((sum + n / 2) / n); }

// n samples, each the rounded mean of the three row sums around its own
// (sums[-1] .. sums[n]): N fixed, so that the division is a multiplication,
// and sixteen at a time, apart from the sums, so that the compiler makes
// them in vectors.
template <uint32_t N>
void means_of_sums(const uint32_t *__restrict sums, uint16_t *__restrict out, int n) {
  int i = 0;
  for (; i + 16 <= n; i += 16)
    for (int k = 0; k < 16; k++) out[i + k] = (uint16_t)((sums[i + k - 1] + sums[i + k] + sums[i + k + 1] + N / 2) / N);
  for (; i < n; i++) out[i] = (uint16_t)((sums[i - 1] + sums[i] + sums[i + 1] + N / 2) / N);
}

// Each row's sum across three columns (c null: two), sixteen at a time.
void add_rows(const uint16_t *__restrict a, const uint16_t *__restrict b, const uint16_t *__restrict c,
              uint32_t *__restrict sums, size_t n) {
  size_t i = 0;
  if (c) {
    for (; i + 16 <= n; i += 16)
      for (size_t k = 0; k < 16; k++) sums[i + k] = (uint32_t)a[i + k] + b[i + k] + c[i + k];
    for (; i < n; i++) sums[i] = (uint32_t)a[i] + b[i] + c[i];
    return;
  }
  for (; i + 16 <= n; i += 16)
    for (size_t k = 0; k < 16; k++) sums[i + k] = (uint32_t)a[i + k] + b[i + k];
  for (; i < n; i++) sums[i] = (uint32_t)a[i] + b[i];
}

// Each sample the mean of its 3 x 3 neighbours on the map, all as they were
// before: each row's sum across three columns once, then the column sums of
// three of those. A part keeps the old values of the column before the one
// it writes; the columns next to other parts are copied before any part
// starts.
void smooth(const SampleRect &s) {
  const int map_x = 4 * map_columns(), map_y = 4 * map_rows();
  const int r0 = std::max(s.y0 - 1, 0), r1 = std::min(s.y1 + 1, map_y - 1);
  const size_t rows = (size_t)(r1 - r0 + 1);
  const int columns = s.x1 - s.x0 + 1, parts = std::min(columns, 64);
  auto part_start = [&](int k) { return s.x0 + (int)((long long)columns * k / parts); };
  // [k][0]: column before part k, [k][1]: column after it.
  std::vector<uint16_t> edges((size_t)parts * 2 * rows);
  auto edge = [&](int k, int side) { return edges.data() + ((size_t)k * 2 + side) * rows; };
  for (int k = 0; k < parts; k++) {
    const int before = part_start(k) - 1, after = part_start(k + 1);
    if (before >= 0) memcpy(edge(k, 0), height_map.heights[before] + r0, rows * 2);
    if (after < map_x) memcpy(edge(k, 1), height_map.heights[after] + r0, rows * 2);
  }
  run_parts(parts, [&](int k) {
    const int a = part_start(k), b = part_start(k + 1);
    std::vector<uint16_t> window(3 * rows);
    std::vector<uint32_t> row_sums(rows);
    uint16_t *prev = window.data(), *cur = prev + rows, *next = cur + rows;
    memcpy(prev, edge(k, 0), rows * 2);
    memcpy(cur, height_map.heights[a] + r0, rows * 2);
    uint32_t *sums = row_sums.data();
    const uint32_t *at_row = sums - r0;  // at_row[y]: the row sum of sample y
    for (int x = a; x < b; x++) {
      if (x + 1 < map_x) memcpy(next, x + 1 == b ? edge(k, 1) : height_map.heights[x + 1] + r0, rows * 2);
      const int has_prev = x > 0, has_next = x + 1 < map_x;
      // A map has at least four columns: an edge column has one neighbour.
      add_rows(cur, has_prev ? prev : next, has_prev && has_next ? next : nullptr, sums, rows);
      const int across = 1 + has_prev + has_next;
      uint16_t *column = height_map.heights[x];
      // The map's first and last rows have fewer neighbours.
      auto edge_mean = [&](int y) {
        const int up = y > 0, down = y + 1 < map_y;
        const uint32_t sum = at_row[y] + (up ? at_row[y - 1] : 0) + (down ? at_row[y + 1] : 0);
        const uint32_t n = (uint32_t)(across * (1 + up + down));
        column[y] = (uint16_t)((sum + n / 2) / n);
      };
      const int first = s.y0 == 0 ? 1 : s.y0, last = s.y1 == map_y - 1 ? s.y1 - 1 : s.y1;
      if (s.y0 == 0) edge_mean(0);
      if (across == 3) means_of_sums<9>(at_row + first, column + first, last - first + 1);
      else means_of_sums<6>(at_row + first, column + first, last - first + 1);
      if (s.y1 == map_y - 1 && s.y1 > 0) edge_mean(s.y1);
      std::swap(prev, cur);
      std::swap(cur, next);
    }
  });
}

// From the exact mean of the first line of samples to that of the last,
// along the longer side: line c of n gets floor(a + (b - a) c / (n - 1) + 0.5),
// here in whole numbers so that no rounding of fractions enters.
void ramp(const SampleRect &s) {
  const int along_x = s.x1 - s.x0 > s.y1 - s.y0;
  const long long n = along_x ? s.x1 - s.x0 + 1 : s.y1 - s.y0 + 1, across = s.count() / n;
  if (n == 1) {
    const uint16_t mean = mean_of(sum_of(s), s.count());
    each_sample(s, [&](uint16_t) { return mean; });
    return;
  }
  const long long first = sum_of(along_x ? SampleRect{s.x0, s.y0, s.x0, s.y1} : SampleRect{s.x0, s.y0, s.x1, s.y0});
  const long long last = sum_of(along_x ? SampleRect{s.x1, s.y0, s.x1, s.y1} : SampleRect{s.x0, s.y1, s.x1, s.y1});
  std::vector<uint16_t> line((size_t)n);
  for (long long c = 0; c < n; c++)
    line[(size_t)c] = (uint16_t)((2 * (first * (n - 1 - c) + last * c) + across * (n - 1)) / (2 * across * (n - 1)));
  each_columns(s.x0, s.x1, [&](int c0, int c1) {
    for (int x = c0; x < c1; x++) {
      uint16_t *column = height_map.heights[x];
      if (along_x)
        std::fill(column + s.y0, column + s.y1 + 1, line[(size_t)(x - s.x0)]);
      else
        std::copy(line.begin(), line.end(), column + s.y0);
    }
  });
}

// Tile by tile, the tiles of columns spread over the cores.
template <class Change>
void each_tile_of(const TileRect &r, const Change &change) {
  each_columns(r.left, r.right, [&](int c0, int c1) {
    for (int x = c0; x < c1; x++)
      for (int y = r.top; y <= r.bottom; y++) change(x, y);
  });
}

}  // namespace

void turn_tile_samples(int x, int y) {
  uint16_t old[4][4];  // [i][j]
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) old[i][j] = height_map.heights[4 * x + i][4 * y + j];
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) height_map.heights[4 * x + i][4 * y + j] = old[j][3 - i];
}

void paste_tile_samples(int x, int y, const int32_t samples[4][4]) {
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) height_map.heights[4 * x + i][4 * y + j] = (uint16_t)samples[j][i];
}

void heights_apply(int rule, const TileRect &rect, int value, const int32_t samples[4][4]) {
  if (rule < HEIGHTS_RAISE || rule > HEIGHTS_RAMP) return;
  TileRect r = rect;
  if (!clip_to_map(r)) return;
  const SampleRect s = samples_of(r);
  // The mean is of the heights before the command.
  const uint16_t level = rule == HEIGHTS_LEVEL ? mean_of(sum_of(s), s.count()) : 0;
  history_begin_area(RULE_ACTIONS[rule], r.left, r.top, r.right, r.bottom);
  switch (rule) {
    case HEIGHTS_RAISE: each_sample(s, raised_height); break;
    case HEIGHTS_LOWER: each_sample(s, lowered_height); break;
    case HEIGHTS_TURN: each_tile_of(r, turn_tile_samples); break;
    case HEIGHTS_PASTE: each_tile_of(r, [&](int x, int y) { paste_tile_samples(x, y, samples); }); break;
    case HEIGHTS_LEVEL: each_sample(s, [&](uint16_t) { return level; }); break;
    case HEIGHTS_SMOOTH: smooth(s); break;
    case HEIGHTS_SET: each_sample(s, [&](uint16_t) { return (uint16_t)std::clamp(value, 0, (int)MAX_HEIGHT); }); break;
    default: ramp(s); break;
  }
  history_end_area((long long)r.width() * r.height(), r.width(), r.height(), r.left, r.top, r.right, r.bottom);
}

void copy_height_stamp(HeightStamp *stamp, const TileRect &rect) {
  TileRect r = rect;
  if (!clip_to_map(r)) return;
  const SampleRect s = samples_of(r);
  stamp->w = r.width();
  stamp->h = r.height();
  const size_t rows = (size_t)(s.y1 - s.y0 + 1);
  stamp->samples.resize((size_t)s.count());
  each_columns(s.x0, s.x1, [&](int c0, int c1) {
    for (int x = c0; x < c1; x++)
      memcpy(stamp->samples.data() + (size_t)(x - s.x0) * rows, height_map.heights[x] + s.y0, rows * 2);
  });
}

// The samples of r from the stamp laid with its cell (0, 0) on tile (x0, y0), repeating.
static void lay_stamp(int action, const HeightStamp &stamp, TileRect r, int x0, int y0, int w, int h) {
  if (stamp.w <= 0 || stamp.h <= 0) return;
  // Wholly off the map it is still a step, as the tile stamp's is.
  const TileRect placed = r;
  const bool on_map = clip_to_map(r);
  if (!on_map) r = {placed.left, placed.top, placed.left - 1, placed.top - 1};
  history_begin_area(action, r.left, r.top, r.right, r.bottom);
  const SampleRect s = samples_of(r);
  const int columns = 4 * stamp.w, rows = 4 * stamp.h;
  if (on_map)
    each_columns(s.x0, s.x1, [&](int c0, int c1) {
      for (int x = c0; x < c1; x++) {
        const uint16_t *from = stamp.samples.data() + (size_t)((x - 4 * x0) % columns) * rows;
        uint16_t *column = height_map.heights[x];
        for (int y = s.y0, j = (s.y0 - 4 * y0) % rows; y <= s.y1; y++, j = j + 1 == rows ? 0 : j + 1)
          column[y] = from[j];
      }
    });
  if (!on_map) r = placed;
  history_end_area((long long)w * h, w, h, r.left, r.top, r.right, r.bottom);
}

void heights_stamp(const HeightStamp &stamp, int x0, int y0) {
  lay_stamp(HISTORY_AREA_HEIGHT_STAMP, stamp, {x0, y0, x0 + stamp.w - 1, y0 + stamp.h - 1}, x0, y0, stamp.w,
            stamp.h);
}

void heights_fill(const HeightStamp &stamp, const TileRect &rect) {
  TileRect r = rect;
  if (!clip_to_map(r)) return;
  lay_stamp(HISTORY_AREA_HEIGHT_FILL, stamp, r, rect.left, rect.top, r.width(), r.height());
}
