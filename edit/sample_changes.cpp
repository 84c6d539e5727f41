#include "edit/sample_changes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/terrain_model.h"
#include "core/work_threads.h"

namespace {

// Columns lo..hi - 1 of part k of n.
template <class Columns>
void each_column_part(int columns, const Columns &work) {
  const int parts = std::min(columns, 64);
  run_parts(parts, [&](int k) {
    work((int)((long long)columns * k / parts), (int)((long long)columns * (k + 1) / parts));
  });
}

struct ColumnCount {
  long long changed = 0;
  int first = 0, last = -1;  // rows of the first and last change
};

// The samples of a column that differ, counted sixteen at a time without a
// branch per sample (the compiler makes vectors of it); the first and last
// found by scanning in from either end.
ColumnCount count_changes(const uint16_t *__restrict now, const uint16_t *__restrict was, size_t rows) {
  ColumnCount n;
  size_t y = 0;
  while (y < rows && now[y] == was[y]) y++;
  if (y == rows) return n;
  n.first = (int)y;
  size_t end = rows;
  while (now[end - 1] == was[end - 1]) end--;
  n.last = (int)end - 1;
  long long changed = 0;
  for (; y + 16 <= end; y += 16) {
    int block = 0;
    for (size_t k = 0; k < 16; k++) block += now[y + k] != was[y + k];
    changed += block;
  }
  for (; y < end; y++) changed += now[y] != was[y];
  n.changed = changed;
  return n;
}

// The changed samples of rows first..last of a column: their values before
// to out, one after another (out may be was itself, as no value moves past
// its own place), and a bit for each in bits (zeroed), bit 0 for row first.
// Returns how many.
size_t keep_changes(const uint16_t *now, const uint16_t *was, int first, int last, uint16_t *out, uint64_t *bits) {
  size_t kept = 0;
  for (int y = first; y <= last; y++) {
    const uint16_t value = was[y];
    const int differs = now[y] != value;
    out[kept] = value;  // kept only when it differs: the next one writes over it
    kept += (size_t)differs;
    bits[(y - first) / 64] |= (uint64_t)differs << ((y - first) % 64);
  }
  return kept;
}

// The changed samples of columns cl..cr, rows ct..cb of before (rows a
// column) into the masked form, on every core: each part gathers its
// columns' values at the start of its own columns in before, never past what
// it has still to read; then the parts' runs move down into one, in order,
// each to where the one before ends. Returns how many were kept.
size_t keep_masked(int left, int top, int cl, int cr, int ct, int cb, size_t rows, uint16_t *before,
                   const std::vector<ColumnCount> &counts, uint64_t *mask, size_t column_words,
                   std::vector<int64_t> &column_start) {
  const int columns = cr - cl + 1;
  for (int c = cl; c <= cr; c++)
    column_start[(size_t)(c - cl + 1)] = column_start[(size_t)(c - cl)] + counts[(size_t)c].changed;
  const int parts = std::min(columns, 64);
  auto part_column = [&](int k) { return cl + (int)((long long)columns * k / parts); };
  run_parts(parts, [&](int k) {
    uint16_t *out = before + (size_t)part_column(k) * rows;
    for (int c = part_column(k); c < part_column(k + 1); c++)
      out += keep_changes(height_map.heights[left + c] + top, before + (size_t)c * rows, ct, cb, out,
                          mask + (size_t)(c - cl) * column_words);
  });
  for (int k = 0; k < parts; k++) {
    const int64_t start = column_start[(size_t)(part_column(k) - cl)];
    const int64_t end = column_start[(size_t)(part_column(k + 1) - cl)];
    memmove(before + start, before + (size_t)part_column(k) * rows, (size_t)(end - start) * 2);
  }
  return (size_t)column_start.back();
}

}  // namespace

SampleChanges::~SampleChanges() { free_all(); }

ChangedPlaces SampleChanges::places() const {
  ChangedPlaces p;
  if (count_ == 0) return p;
  if (form_ == LISTED) {
    p.list = taken_places_ ? taken_places_ : places_.data();
    p.listed = taken_places_ ? count_ : (long long)places_.size();
    return p;
  }
  p.left = left_, p.top = top_, p.right = right_, p.bottom = bottom_;
  if (form_ == MASKED) p.mask = mask_.data(), p.column_bits = column_words_ * 64;
  return p;
}

void SampleChanges::free_all() {
  free(values_);
  values_ = nullptr;
  count_ = 0;
  mask_ = std::vector<uint64_t>();
  column_start_ = std::vector<int64_t>();
  places_ = std::vector<uint32_t>();
  free(taken_places_);
  taken_places_ = nullptr;
}

int SampleChanges::smallest_form(long long changed, long long columns, long long rows, long long whole) const {
  const long long masked = columns * ((rows + 63) / 64 * 8 + 8) + 2 * changed, listed = 6 * changed;
  if (whole >= 0 && whole <= masked && whole <= listed) return WHOLE;
  return masked < listed ? MASKED : LISTED;
}

void SampleChanges::take_copy(int left, int top, int right, int bottom, uint16_t *before) {
  free_all();
  const int columns = right - left + 1;
  const size_t rows = (size_t)(bottom - top + 1);
  std::vector<ColumnCount> counts((size_t)std::max(columns, 0));
  each_column_part(columns, [&](int c0, int c1) {
    for (int c = c0; c < c1; c++)
      counts[(size_t)c] = count_changes(height_map.heights[left + c] + top, before + (size_t)c * rows, rows);
  });
  long long changed = 0;
  int cl = columns, cr = -1, ct = (int)rows, cb = -1;
  for (int c = 0; c < columns; c++) {
    const ColumnCount &n = counts[(size_t)c];
    if (!n.changed) continue;
    changed += n.changed;
    cl = std::min(cl, c), cr = c;
    ct = std::min(ct, n.first), cb = std::max(cb, n.last);
  }
  if (changed == 0) {
    free(before);
    return;
  }
  form_ = smallest_form(changed, cr - cl + 1, cb - ct + 1, 2LL * columns * (long long)rows);
  if (form_ == WHOLE) {
    // Unchanged samples swap with themselves, so keeping them costs only memory.
    left_ = left, top_ = top, right_ = right, bottom_ = bottom;
    values_ = before;
    count_ = (long long)columns * (long long)rows;
    return;
  }
  left_ = left + cl, right_ = left + cr, top_ = top + ct, bottom_ = top + cb;
  column_words_ = (size_t)(cb - ct + 64) / 64;
  if (form_ == MASKED) {
    mask_.assign((size_t)(cr - cl + 1) * column_words_, 0);
    column_start_.resize((size_t)(cr - cl + 2));
  } else {
    places_.reserve((size_t)changed);
  }
  if (form_ == MASKED) {
    const size_t kept = keep_masked(left, top, cl, cr, ct, cb, rows, before, counts, mask_.data(), column_words_,
                                    column_start_);
    uint16_t *smaller = (uint16_t *)realloc(before, kept * 2);
    values_ = smaller ? smaller : before;
    count_ = (long long)kept;
    return;
  }
  // In place: a changed sample never moves past its own place.
  size_t kept = 0;
  for (int c = cl; c <= cr; c++) {
    if (form_ == MASKED) column_start_[(size_t)(c - cl)] = (int64_t)kept;
    const uint16_t *now = height_map.heights[left + c] + top, *was = before + (size_t)c * rows;
    uint64_t *bits = form_ == MASKED ? mask_.data() + (size_t)(c - cl) * column_words_ : nullptr;
    for (int y = ct; y <= cb; y++) {
      if (now[y] == was[y]) continue;
      before[kept++] = was[y];
      if (bits)
        bits[(y - ct) / 64] |= 1ULL << ((y - ct) % 64);
      else
        places_.push_back((uint32_t)(left + c) * MAX_SAMPLES + (uint32_t)(top + y));
    }
  }
  if (form_ == MASKED) column_start_.back() = (int64_t)kept;
  uint16_t *smaller = (uint16_t *)realloc(before, kept * 2);
  values_ = smaller ? smaller : before;
  count_ = (long long)kept;
}

void SampleChanges::take_list(const std::vector<std::pair<int64_t, uint16_t>> &list) {
  free_all();
  auto changed = [](const std::pair<int64_t, uint16_t> &s) {
    return height_map.heights[s.first / MAX_SAMPLES][s.first % MAX_SAMPLES] != s.second;
  };
  // Counted first, so that every table is taken once at its size.
  long long n = 0;
  left_ = MAX_SAMPLES, top_ = MAX_SAMPLES, right_ = bottom_ = -1;
  for (const auto &s : list) {
    if (!changed(s)) continue;
    n++;
    const int x = (int)(s.first / MAX_SAMPLES), y = (int)(s.first % MAX_SAMPLES);
    left_ = std::min(left_, x), right_ = std::max(right_, x);
    top_ = std::min(top_, y), bottom_ = std::max(bottom_, y);
  }
  if (n == 0) return;
  form_ = smallest_form(n, right_ - left_ + 1, bottom_ - top_ + 1, -1);
  column_words_ = (size_t)(bottom_ - top_ + 64) / 64;
  if (form_ == MASKED) {
    mask_.assign((size_t)(right_ - left_ + 1) * column_words_, 0);
    column_start_.assign((size_t)(right_ - left_ + 2), 0);
  } else {
    places_.reserve((size_t)n);
  }
  values_ = (uint16_t *)malloc((size_t)n * 2);
  if (!values_) throw std::bad_alloc();
  for (const auto &s : list) {
    if (!changed(s)) continue;
    values_[count_++] = s.second;
    if (form_ == LISTED) {
      places_.push_back((uint32_t)s.first);
      continue;
    }
    const int c = (int)(s.first / MAX_SAMPLES) - left_, y = (int)(s.first % MAX_SAMPLES) - top_;
    mask_[(size_t)c * column_words_ + (size_t)y / 64] |= 1ULL << (y % 64);
    column_start_[(size_t)c + 1]++;
  }
  for (size_t c = 1; c < column_start_.size(); c++) column_start_[c] += column_start_[c - 1];
}

void SampleChanges::take_places(uint32_t *places, uint16_t *values, long long n) {
  free_all();
  if (n <= 0) {
    free(places);
    free(values);
    return;
  }
  form_ = LISTED;
  taken_places_ = places;
  values_ = values;
  count_ = n;
}

void SampleChanges::swap_with_map() {
  if (!count_) return;
  if (form_ == LISTED) {
    const uint32_t *list = taken_places_ ? taken_places_ : places_.data();
    const size_t n = taken_places_ ? (size_t)count_ : places_.size();
    for (size_t k = 0; k < n; k++) std::swap(height_map.heights[list[k] / MAX_SAMPLES][list[k] % MAX_SAMPLES], values_[k]);
    return;
  }
  const size_t rows = (size_t)(bottom_ - top_ + 1);
  each_column_part(right_ - left_ + 1, [&](int c0, int c1) {
    for (int c = c0; c < c1; c++) {
      uint16_t *column = height_map.heights[left_ + c] + top_;
      if (form_ == WHOLE) {
        std::swap_ranges(column, column + rows, values_ + (size_t)c * rows);
        continue;
      }
      uint16_t *value = values_ + column_start_[(size_t)c];
      const uint64_t *bits = mask_.data() + (size_t)c * column_words_;
      for (size_t w = 0; w < column_words_; w++)
        for (uint64_t word = bits[w]; word; word &= word - 1)
          std::swap(column[w * 64 + (size_t)__builtin_ctzll(word)], *value++);
    }
  });
}

long long SampleChanges::bytes() const {
  return 2 * count_ + (long long)(mask_.capacity() + column_start_.capacity()) * 8 + (long long)places_.capacity() * 4 +
         (taken_places_ ? 4 * count_ : 0);
}
