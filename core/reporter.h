// How loaders, writers and exports tell their caller what they are doing and
// what went wrong, without knowing where it is shown: the window draws the
// progress texts in its status strip and the warnings as alert boxes; a
// command line would print them; tests record them.
#pragma once

// What every loader, writer and export returns: 0 for success, one of the
// named failures otherwise. Counts come back in the model or through
// out-parameters, never in the result.
enum FileResult {
  RESULT_OK = 0,
  RESULT_CANNOT_OPEN = 1,    // missing, empty or unreadable file
  RESULT_BAD_HEADER = 2,     // sizes the file may not have; nothing was stored
  RESULT_BAD_DATA = 3,       // a value out of range; what came before it is stored
  RESULT_NOTHING_READ = 4,   // the file holds no entry
  RESULT_NO_MEMORY = 5,      // a bitmap or buffer could not be had
  RESULT_CANNOT_WRITE = 6,   // the output could not be written; the original is kept
  RESULT_NO_TILES = 7,       // the terrain has no tiles to picture
  RESULT_NO_FREE_NAME = 8,   // every numbered output name is taken
  RESULT_UNKNOWN_KIND = 9,   // an export kind that does not exist
  RESULT_NO_FILE = 10,       // nothing has the name: a file the terrain may go without
  RESULT_CHANGED_ON_DISK = 11,  // another program changed the file since it was read; nothing written
  RESULT_NAME_TAKEN = 12,       // the name was taken meanwhile; the file written is kept under its own
  RESULT_NAME_TOO_LONG = 13,    // the name would be longer than a file name may be
};

enum WarningKind {
  WARNING_PLAIN = 0,       // a box answered with OK
  WARNING_READ_ERROR = 1,  // a file that cannot be read at all, answered with Enter
  WARNING_NOTE = 2,        // worth saying, wrong with nothing: a line in the strip, no box
};

struct Warning {
  int kind;             // WarningKind
  const char *message;  // first line
  const char *path;     // the file it is about, or ""
  const char *detail;   // a third line, or null
};

// Any callback may be null: that kind of report is then dropped.
struct Reporter {
  // A one-line progress text; trailing blanks cover a longer earlier text.
  void (*progress)(void *context, const char *text);
  void (*warning)(void *context, const Warning &warning);
  // A pause that lets a person read the last progress text.
  void (*pause)(void *context, int milliseconds);
  void *context;
};

// Formats into 256 characters, as the status strip shows it. r may be null.
void report_progress(const Reporter *r, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void report_warning(const Reporter *r, int kind, const char *message, const char *path,
                    const char *detail = nullptr);
void report_pause(const Reporter *r, int milliseconds);
