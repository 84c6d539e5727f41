#include "core/reporter.h"

#include <cstdarg>
#include <cstdio>

enum { REPORT_TEXT_SIZE = 256 };

void report_progress(const Reporter *r, const char *format, ...) {
  if (!r || !r->progress) return;
  char text[REPORT_TEXT_SIZE];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  r->progress(r->context, text);
}

void report_warning(const Reporter *r, int kind, const char *message, const char *path,
                    const char *detail) {
  if (!r || !r->warning) return;
  r->warning(r->context, Warning{kind, message, path ? path : "", detail});
}

void report_pause(const Reporter *r, int milliseconds) {
  if (r && r->pause) r->pause(r->context, milliseconds);
}
