#include "program/console_reporter.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "core/text_numbers.h"

void console_warning_line(const Warning &warning, char *line, int size) {
  // The strip pads some messages with blanks; a line needs none.
  const char *message = warning.message ? warning.message : "";
  while (*message == ' ') message++;
  int length = (int)strlen(message);
  while (length > 0 && message[length - 1] == ' ') length--;
  char path[1024];
  quote_name(warning.path ? warning.path : "", path, sizeof(path));
  const char *detail = warning.detail ? warning.detail : "";
  if (path[0])
    snprintf(line, size, "%.*s %s%s%s", length, message, path, detail[0] ? " " : "", detail);
  else
    snprintf(line, size, "%.*s%s%s", length, message, detail[0] ? " " : "", detail);
}

namespace {

// The width of the progress line last drawn, so that the next line, a
// warning or the file's name covers it.
struct ProgressLine {
  int shown_width;
};

ProgressLine progress;

void clear_progress_line() {
  if (progress.shown_width > 0) fprintf(stderr, "\r%*s\r", progress.shown_width, "");
  progress.shown_width = 0;
}

// The exports' own progress texts ("Exporting Bitmap (5)... 42%"), on one
// line redrawn in place; only a terminal shows them.
void show_progress(void *, const char *text) {
  if (!isatty(STDERR_FILENO)) return;
  while (*text == ' ') text++;
  int length = (int)strlen(text);
  while (length > 0 && text[length - 1] == ' ') length--;
  clear_progress_line();
  progress.shown_width = fprintf(stderr, "%.*s", length, text);
  fflush(stderr);
}

void print_warning(void *, const Warning &warning) {
  char line[1024];
  console_warning_line(warning, line, sizeof(line));
  // A warning gets a line of its own, not the tail of a percentage.
  clear_progress_line();
  fprintf(stderr, "%s\n", line);
}

}  // namespace

const Reporter *console_reporter() {
  static const Reporter reporter = {nullptr, print_warning, nullptr, nullptr};
  return &reporter;
}

const Reporter *console_export_reporter() {
  static const Reporter reporter = {show_progress, print_warning, nullptr, nullptr};
  return &reporter;
}

void start_file_progress() {
  progress.shown_width = 0;
}

void finish_file_progress(const char *written) {
  clear_progress_line();
  char name[1024];
  quote_name(written ? written : "", name, sizeof(name));
  if (written && written[0]) fprintf(stderr, "%s\n", name);
  fflush(stderr);
}
