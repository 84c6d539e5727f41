// The values of a rectangle of a grid before an edit, and after it only
// those that changed: how the edit history keeps an area step's tiles,
// samples and land points, copied and compared on every core.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/work_threads.h"

// Allocates without the pass of zeros a vector's resize makes: the copies
// of a whole-map step fill every element themselves, on every core.
template <class T>
struct NoZeroAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = NoZeroAllocator<U>;
  };
  NoZeroAllocator() = default;
  template <class U>
  NoZeroAllocator(const NoZeroAllocator<U> &) {}
  template <class U>
  void construct(U *p) {
    ::new ((void *)p) U;
  }
  template <class U, class... Args>
  void construct(U *p, Args &&...args) {
    ::new ((void *)p) U(std::forward<Args>(args)...);
  }
};
template <class T>
using Values = std::vector<T, NoZeroAllocator<T>>;

enum { CAPTURE_BANDS = 32 };

// Copies the rectangle's columns (column(x) is grid column x) into before,
// column by column, on every core.
template <class T, class Column>
void capture_rect(Values<T> &before, int left, int top, int right, int bottom, const Column &column) {
  const int columns = right - left + 1;
  const size_t rows = (size_t)(bottom - top + 1);
  before.resize((size_t)columns * rows);
  const int bands = std::min(columns, (int)CAPTURE_BANDS);
  run_parts(bands, [&](int k) {
    for (int x = left + columns * k / bands; x < left + columns * (k + 1) / bands; x++)
      memcpy(before.data() + (size_t)(x - left) * rows, column(x) + top, rows * sizeof(T));
  });
}

// Where a rectangle captured before changed: the changed elements' bounds,
// a bit per element of them (empty: all changed) and their values before,
// column by column.
template <class T>
struct RectChanges {
  int cl = 0, ct = 0, cr = -1, cb = -1;
  std::vector<uint64_t> &mask;
  Values<T> &values;
};

// Compares the capture with the grid on every core. When (nearly) all
// changed, the capture is the values as it is: swapping an element that
// did not change is no change, and a fresh list would cost more than the
// edit itself. Else straight into the mask and values, each column at its
// place, found from the columns' counts.
template <class T, class Column, class Same>
void keep_rect_changes(Values<T> &before, int left, int top, int right, int bottom, const Column &column,
                       const Same &same, long long counted, RectChanges<T> &out) {
  const int columns = right - left + 1;
  const size_t rows = (size_t)(bottom - top + 1);
  if (columns <= 0 || before.size() != (size_t)columns * rows || counted == 0) return;
  if (counted > 0 && 4 * (size_t)counted >= 3 * before.size()) {
    out.cl = left, out.ct = top, out.cr = right, out.cb = bottom;
    out.values.swap(before);
    return;
  }
  struct Count {
    size_t n, first, last;
  };
  std::vector<Count> counts((size_t)columns);
  const int bands = std::min(columns, (int)CAPTURE_BANDS);
  run_parts(bands, [&](int k) {
    for (int x = left + columns * k / bands; x < left + columns * (k + 1) / bands; x++) {
      const T *now = column(x) + top, *was = before.data() + (size_t)(x - left) * rows;
      size_t n = 0, first = rows, last = 0;
      for (size_t y = 0; y < rows; y++) {
        const size_t differs = !same(was[y], now[y]);
        n += differs;
        if (differs) first = std::min(first, y), last = y;
      }
      counts[(size_t)(x - left)] = {n, first, last};
    }
  });
  size_t count = 0;
  int cl = right, cr = left, ct = bottom, cb = top;
  for (int x = left; x <= right; x++) {
    const Count &c = counts[(size_t)(x - left)];
    if (!c.n) continue;
    count += c.n;
    cl = std::min(cl, x), cr = std::max(cr, x);
    ct = std::min(ct, top + (int)c.first), cb = std::max(cb, top + (int)c.last);
  }
  if (count == 0) return;
  if (4 * count >= 3 * before.size()) {
    out.cl = left, out.ct = top, out.cr = right, out.cb = bottom;
    out.values.swap(before);
    return;
  }
  out.cl = cl, out.ct = ct, out.cr = cr, out.cb = cb;
  const size_t bounds_rows = (size_t)(cb - ct + 1), bits = (size_t)(cr - cl + 1) * bounds_rows;
  if (count < bits) out.mask.assign((bits + 63) / 64, 0);
  out.values.resize(count);
  std::vector<size_t> start((size_t)(cr - cl + 2), 0);
  for (int x = cl; x <= cr; x++) start[(size_t)(x - cl + 1)] = start[(size_t)(x - cl)] + counts[(size_t)(x - left)].n;
  const int value_bands = std::min(cr - cl + 1, (int)CAPTURE_BANDS);
  const bool masked = !out.mask.empty();
  run_parts(value_bands, [&](int k) {
    const int x0 = cl + (cr - cl + 1) * k / value_bands, x1 = cl + (cr - cl + 1) * (k + 1) / value_bands;
    for (int x = x0; x < x1; x++) {
      const T *now = column(x), *was = before.data() + (size_t)(x - left) * rows;
      size_t v = start[(size_t)(x - cl)], bit = (size_t)(x - cl) * bounds_rows;
      // A mask word can hold the ends of two bands' columns: or-ed in.
      uint64_t word = 0;
      size_t word_at = bit / 64;
      for (int y = ct; y <= cb; y++, bit++) {
        if (same(was[y - top], now[y])) continue;
        out.values[v++] = was[y - top];
        if (!masked) continue;
        if (bit / 64 != word_at) {
          if (word) __atomic_fetch_or(&out.mask[word_at], word, __ATOMIC_RELAXED);
          word = 0;
          word_at = bit / 64;
        }
        word |= 1ULL << (bit % 64);
      }
      if (word) __atomic_fetch_or(&out.mask[word_at], word, __ATOMIC_RELAXED);
    }
  });
}
