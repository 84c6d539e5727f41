#include "core/huge_pages.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

namespace {
const size_t HUGE_PAGE = 2 << 20;
}

void *huge_pages_allocate(size_t bytes) {
  if (bytes < HUGE_PAGES_FROM) return malloc(bytes ? bytes : 1);
  if (bytes > (size_t)-1 - HUGE_PAGE) return nullptr;
  const size_t whole = (bytes + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
  void *p = aligned_alloc(HUGE_PAGE, whole);
  // Only advice: where the kernel has no huge pages the memory is as any.
  if (p) madvise(p, whole, MADV_HUGEPAGE);
  return p;
}

void huge_pages_free(void *p) { free(p); }

void huge_pages_advise(void *p, size_t bytes) {
  if (!p || bytes < HUGE_PAGES_FROM) return;
  const uintptr_t start = ((uintptr_t)p + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
  const uintptr_t end = ((uintptr_t)p + bytes) / HUGE_PAGE * HUGE_PAGE;
  if (end > start) madvise((void *)start, end - start, MADV_HUGEPAGE);
}
