#include "terrain/work_threads.h"

#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

int work_threads_setting = 0;

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
