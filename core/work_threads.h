// Splitting a long computation over the machine's cores. The parts run on
// worker threads and on the caller's; they must not touch the library's
// drawing state (no makecol, putpixel, blit ...): whatever needs the
// library is prepared before, on the caller's thread.
#pragma once

#include <cstddef>

// Threads a computation may use: 0 (the start value) means one per core;
// tests set other counts to check that results do not depend on it.
void set_work_threads(int threads);

// The number in force: the setting, or the core count, at least 1.
int work_thread_count();

// Calls part(context, k) once for every k in 0..parts - 1, spread over up to
// work_thread_count() threads (the caller's among them); returns when all
// are done. Parts may run in any order and at the same time.
void run_parts(int parts, void (*part)(void *context, int k), void *context);

// The same with any callable taking the part number.
template <class Part>
void run_parts(int parts, const Part &part) {
  run_parts(parts, [](void *context, int k) { (*(const Part *)context)(k); }, (void *)&part);
}

// Makes chunks 0..chunks - 1 on worker threads, each into a buffer of
// buffer_bytes (zeroed when first used), and hands each to consume on the
// caller's thread in order, while the next ones are being made. A few
// buffers are in use at a time. make runs on any thread, several at once;
// consume returns 0 to go on. Returns 0 when every chunk was consumed, 1
// when consume stopped the work, 2 when the buffers cannot be had.
enum { ORDERED_DONE = 0, ORDERED_STOPPED = 1, ORDERED_NO_MEMORY = 2 };
int run_in_order(int chunks, size_t buffer_bytes, void (*make)(void *context, int k, unsigned char *buffer),
                 int (*consume)(void *context, int k, const unsigned char *buffer), void *context);

// The same, and when the buffers cannot be had, chunk after chunk on the
// caller's thread through one buffer of its own (spare, buffer_bytes long):
// a write that must not fail for want of memory. Never returns 2.
int run_in_order_or_alone(int chunks, size_t buffer_bytes, void (*make)(void *context, int k, unsigned char *buffer),
                          int (*consume)(void *context, int k, const unsigned char *buffer), void *context,
                          unsigned char *spare);
