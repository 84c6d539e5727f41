// Splitting a long computation over the machine's cores. The parts run on
// worker threads and on the caller's; they must not touch the library's
// drawing state (no makecol, putpixel, blit ...): whatever needs the
// library is prepared before, on the caller's thread.
#pragma once

// Threads a computation may use: 0 (the start value) means one per core;
// tests set other counts to check that results do not depend on it.
extern int work_threads_setting;

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
