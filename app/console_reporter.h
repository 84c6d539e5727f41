// Reports of loaders and exports on standard error, for the command line:
// warnings as lines, the percentage of a file being written.
#pragma once

#include "terrain/reporter.h"

// Warnings as one line each: the message without the strip's padding, then
// the file it is about. Progress texts and pauses are dropped.
const Reporter *console_reporter();

// The warning as its line (no newline), into line of size bytes.
void console_warning_line(const Warning &warning, char *line, int size);

// While a file is being written: "NAME NN%" on standard error, redrawn a
// few times a second, NN the share of expected_bytes the file called name
// holds so far; only when standard error is a terminal. One at a time.
void start_file_progress(const char *name, long long expected_bytes);

// Ends the progress line; prints the name as its own line when written.
void finish_file_progress(int written);
