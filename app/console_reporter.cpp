#include "app/console_reporter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

void console_warning_line(const Warning &warning, char *line, int size) {
  // The strip pads some messages with blanks; a line needs none.
  const char *message = warning.message ? warning.message : "";
  while (*message == ' ') message++;
  int length = (int)strlen(message);
  while (length > 0 && message[length - 1] == ' ') length--;
  const char *path = warning.path ? warning.path : "";
  if (path[0])
    snprintf(line, size, "%.*s %s", length, message, path);
  else
    snprintf(line, size, "%.*s", length, message);
}

namespace {

enum { PROGRESS_NAME_SIZE = 256, PROGRESS_PERIOD_MS = 200 };

struct ProgressLine {
  char name[PROGRESS_NAME_SIZE];
  long long expected;
  int shown_width;  // characters of the last line drawn, to cover them
  std::thread ticker;
  std::mutex lock;
  std::condition_variable wake;
  bool stop;
};

ProgressLine progress;

void draw_percentage() {
  struct stat st;
  long long have = stat(progress.name, &st) == 0 ? (long long)st.st_size : 0;
  // The last bytes land at the very end: 100 only once it is written.
  int percent = progress.expected > 0 ? (int)(have * 100 / progress.expected) : 0;
  if (percent > 99) percent = 99;
  progress.shown_width = fprintf(stderr, "\r%s %3d%%", progress.name, percent) - 1;
  fflush(stderr);
}

void tick() {
  std::unique_lock<std::mutex> hold(progress.lock);
  while (!progress.stop) {
    draw_percentage();
    progress.wake.wait_for(hold, std::chrono::milliseconds(PROGRESS_PERIOD_MS));
  }
}

}  // namespace

static void print_warning(void *, const Warning &warning) {
  char line[1024];
  console_warning_line(warning, line, sizeof(line));
  // A warning gets a line of its own, not the tail of a percentage.
  std::lock_guard<std::mutex> hold(progress.lock);
  if (progress.ticker.joinable() && progress.shown_width > 0) {
    fprintf(stderr, "\r%*s\r", progress.shown_width, "");
    progress.shown_width = 0;
  }
  fprintf(stderr, "%s\n", line);
}

const Reporter *console_reporter() {
  static const Reporter reporter = {nullptr, print_warning, nullptr, nullptr};
  return &reporter;
}

void start_file_progress(const char *name, long long expected_bytes) {
  snprintf(progress.name, sizeof(progress.name), "%s", name);
  progress.expected = expected_bytes;
  progress.shown_width = 0;
  progress.stop = false;
  if (isatty(STDERR_FILENO)) progress.ticker = std::thread(tick);
}

void finish_file_progress(int written) {
  if (progress.ticker.joinable()) {
    {
      std::lock_guard<std::mutex> hold(progress.lock);
      progress.stop = true;
    }
    progress.wake.notify_all();
    progress.ticker.join();
    // Blanks over the percentage, then the cursor back to the start.
    fprintf(stderr, "\r%*s\r", progress.shown_width, "");
  }
  if (written) fprintf(stderr, "%s\n", progress.name);
  fflush(stderr);
}
