// Reports of loaders and exports on standard error, for the command line:
// warnings as lines, the progress of an export on a terminal.
#pragma once

#include "core/reporter.h"

// Warnings as one line each: the message without the strip's padding, then
// the file it is about. Progress texts and pauses are dropped.
const Reporter *console_reporter();

// The warning as its line (no newline), into line of size bytes.
void console_warning_line(const Warning &warning, char *line, int size);

// The same, and the exports' progress texts with their percentage on one
// line redrawn in place, when standard error is a terminal.
const Reporter *console_export_reporter();

// Around one export; one at a time.
void start_file_progress();

// Ends the progress line; prints the name written (null or "" when none)
// as its own line.
void finish_file_progress(const char *written);
