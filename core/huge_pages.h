// Large buffers on the kernel's huge pages where it offers them: a grid of
// hundreds of megabytes written once otherwise takes a page fault every
// 4 KB, which cost more than the warp that fills it.
#pragma once

#include <cstddef>
#include <new>

// Memory for bytes bytes, 2 MB aligned and marked for huge pages when there
// are at least HUGE_PAGES_FROM of them; null when there is none.
void *huge_pages_allocate(size_t bytes);
void huge_pages_free(void *p);

// Marks the whole huge pages within bytes at p, memory not yet touched
// that another allocator gave (a bitmap's pixels, a mapped buffer), when
// there are at least HUGE_PAGES_FROM bytes.
void huge_pages_advise(void *p, size_t bytes);

enum { HUGE_PAGES_FROM = 8 << 20 };

template <class T>
struct HugePageAllocator {
  using value_type = T;
  HugePageAllocator() = default;
  template <class U>
  HugePageAllocator(const HugePageAllocator<U> &) {}
  T *allocate(size_t n) {
    if (n > (size_t)-1 / sizeof(T)) throw std::bad_alloc();
    void *p = huge_pages_allocate(n * sizeof(T));
    if (!p) throw std::bad_alloc();
    return (T *)p;
  }
  void deallocate(T *p, size_t) { huge_pages_free(p); }
  template <class U>
  bool operator==(const HugePageAllocator<U> &) const {
    return true;
  }
  template <class U>
  bool operator!=(const HugePageAllocator<U> &) const {
    return false;
  }
};
