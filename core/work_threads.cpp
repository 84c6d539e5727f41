#include "core/work_threads.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <vector>

#include "core/huge_pages.h"

static int work_threads_setting = 0;

void set_work_threads(int threads) { work_threads_setting = threads; }

enum { WORK_THREADS_MAX = 64 };

int work_thread_count() {
  int n = work_threads_setting;
  if (n <= 0) n = (int)std::thread::hardware_concurrency();
  if (n < 1) n = 1;
  return n > WORK_THREADS_MAX ? WORK_THREADS_MAX : n;
}

void run_parts(int parts, void (*part)(void *context, int k), void *context) {
  if (parts <= 0) return;
  std::atomic<int> next(0);
  auto work = [&]() {
    for (int k = next++; k < parts; k = next++) part(context, k);
  };
  const int helpers = (work_thread_count() < parts ? work_thread_count() : parts) - 1;
  std::vector<std::thread> threads;
  for (int i = 0; i < helpers; i++) {
    // Without another thread the caller does the rest alone.
    try {
      threads.emplace_back(work);
    } catch (const std::system_error &) {
      break;
    }
  }
  work();
  for (std::thread &t : threads) t.join();
}

namespace {

// Chunks in flight between the workers and the consumer. Chunk k's buffer
// is k % slots; a worker may fill it once the chunk that used it before
// is consumed.
struct OrderedRing {
  int chunks, slots;
  void (*make)(void *, int, unsigned char *);
  void *context;
  std::vector<unsigned char *> buffers;
  std::vector<int> ready;  // the chunk each buffer holds, -1 when none
  int consumed = 0;
  bool stop = false;
  std::atomic<int> next{0};
  std::mutex lock;
  std::condition_variable made, freed;

  void work() {
    for (;;) {
      const int k = next++;
      if (k >= chunks) return;
      const int slot = k % slots;
      {
        std::unique_lock<std::mutex> hold(lock);
        freed.wait(hold, [&] { return stop || k < consumed + slots; });
        if (stop) return;
      }
      make(context, k, buffers[slot]);
      std::lock_guard<std::mutex> hold(lock);
      ready[slot] = k;
      made.notify_all();
    }
  }
};

}  // namespace

int run_in_order(int chunks, size_t buffer_bytes, void (*make)(void *context, int k, unsigned char *buffer),
                 int (*consume)(void *context, int k, const unsigned char *buffer), void *context) {
  if (chunks <= 0) return ORDERED_DONE;
  OrderedRing ring;
  ring.chunks = chunks;
  ring.make = make;
  ring.context = context;
  // A single chunk, or a single core: made here, as a thread would only
  // take turns with this one.
  const int threads_usable = work_thread_count();
  const int workers = chunks == 1 || threads_usable == 1 ? 0 : threads_usable < chunks ? threads_usable : chunks;
  // One buffer being consumed, one made and waiting, one per worker; alone,
  // one buffer is made and consumed in turn.
  ring.slots = workers == 0 ? 1 : workers + 2 < chunks ? workers + 2 : chunks;
  int result = ORDERED_DONE;
  // Mapped apart from the heap, so that they go back to the system at the
  // end; zero from the start.
  for (int s = 0; s < ring.slots; s++) {
    void *buffer = mmap(nullptr, buffer_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (buffer == MAP_FAILED) {
      result = ORDERED_NO_MEMORY;
      break;
    }
    huge_pages_advise(buffer, buffer_bytes);
    ring.buffers.push_back((unsigned char *)buffer);
  }
  ring.ready.assign((size_t)ring.slots, -1);

  std::vector<std::thread> threads;
  for (int i = 0; i < workers && result == ORDERED_DONE; i++) {
    try {
      threads.emplace_back([&ring] { ring.work(); });
    } catch (const std::system_error &) {
      break;
    }
  }
  for (int k = 0; k < chunks && result == ORDERED_DONE; k++) {
    const int slot = k % ring.slots;
    if (threads.empty()) {
      // No worker could be started: this thread makes each chunk itself.
      make(context, k, ring.buffers[slot]);
    } else {
      std::unique_lock<std::mutex> hold(ring.lock);
      ring.made.wait(hold, [&] { return ring.ready[slot] == k; });
    }
    if (consume(context, k, ring.buffers[slot]) != 0) result = ORDERED_STOPPED;
    std::lock_guard<std::mutex> hold(ring.lock);
    ring.ready[slot] = -1;
    ring.consumed = k + 1;
    if (result != ORDERED_DONE) ring.stop = true;
    ring.freed.notify_all();
  }
  {
    // Workers still waiting for a buffer leave once told to stop.
    std::lock_guard<std::mutex> hold(ring.lock);
    ring.stop = true;
    ring.freed.notify_all();
  }
  for (std::thread &t : threads) t.join();
  for (unsigned char *buffer : ring.buffers) munmap(buffer, buffer_bytes);
  return result;
}

int run_in_order_or_alone(int chunks, size_t buffer_bytes, void (*make)(void *context, int k, unsigned char *buffer),
                          int (*consume)(void *context, int k, const unsigned char *buffer), void *context,
                          unsigned char *spare) {
  const int result = run_in_order(chunks, buffer_bytes, make, consume, context);
  if (result != ORDERED_NO_MEMORY) return result;
  for (int k = 0; k < chunks; k++) {
    make(context, k, spare);
    if (consume(context, k, spare) != 0) return ORDERED_STOPPED;
  }
  return ORDERED_DONE;
}
