#include "core/temp_files.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

enum {
  TEMP_SLOTS = 8,         // a save writes two maps, an export one file
  TEMP_PATH_SIZE = 1100,  // a save's temporary path is its final one and a tail
};

namespace {

// A slot is written while free, then published by its flag: the handler
// reads only published names, with nothing but async-signal-safe calls.
struct TempSlot {
  std::atomic<int> used;
  char path[TEMP_PATH_SIZE];
};

TempSlot slots[TEMP_SLOTS];
const int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[sizeof(SIGNALS) / sizeof(SIGNALS[0])];
std::atomic<int> installed{0};

static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the flags");

void on_interrupt(int signal_number) {
  for (TempSlot &slot : slots)
    if (slot.used.load() == 1) unlink(slot.path);
  // The action the program had before, which ends it with this signal.
  for (size_t i = 0; i < sizeof(SIGNALS) / sizeof(SIGNALS[0]); i++)
    if (SIGNALS[i] == signal_number) sigaction(signal_number, &previous[i], nullptr);
  raise(signal_number);
}

void install_handlers() {
  if (installed.exchange(1) != 0) return;
  for (size_t i = 0; i < sizeof(SIGNALS) / sizeof(SIGNALS[0]); i++) {
    struct sigaction now;
    if (sigaction(SIGNALS[i], nullptr, &previous[i]) != 0) continue;
    if (previous[i].sa_handler == SIG_IGN) continue;  // nohup and the like
    memset(&now, 0, sizeof(now));
    now.sa_handler = on_interrupt;
    sigfillset(&now.sa_mask);
    sigaction(SIGNALS[i], &now, nullptr);
  }
}

}  // namespace

size_t temp_name_stem(const char *path) {
  const char *slash = strrchr(path, '/');
  const size_t folder = slash ? (size_t)(slash + 1 - path) : 0, name = strlen(path) - folder;
  return folder + std::min(name, (size_t)TEMP_NAME_KEEP);
}

int track_temp_file(const char *path) {
  install_handlers();
  if (strlen(path) >= TEMP_PATH_SIZE) return 1;
  for (TempSlot &slot : slots) {
    int expected = 0;
    // 2: being written, which the handler passes over.
    if (!slot.used.compare_exchange_strong(expected, 2)) continue;
    strcpy(slot.path, path);
    slot.used.store(1);
    return 0;
  }
  return 1;
}

void forget_temp_file(const char *path) {
  for (TempSlot &slot : slots) {
    if (slot.used.load() != 1 || strcmp(slot.path, path) != 0) continue;
    slot.used.store(0);
    return;
  }
}
