// The class table of a land cover raster (CLASSES.ini, named on the command
// line): which land of the lands file each class value of the raster is.
//
//   [Classes]
//   80=Water      a class value (a whole number) = a land's name
//   10=Forest
//
// Only [Classes] is read. Each fault (a value that is no whole number, a
// value given twice, an empty or over-long name, a line outside [Classes])
// is one problem naming its line; that line is left out, the rest is used.
// Whether a name is a land of the terrain is the caller's to say.
#pragma once

#include <string>
#include <vector>

struct ClassEntry {
  long long value;
  std::string land;  // the land's name as written
  long line;
};

struct ClassTable {
  std::vector<ClassEntry> entries;    // in the order of the file
  std::vector<std::string> problems;  // "line 4: 8x is not a whole number"
};

// RESULT_NO_FILE when nothing has the name, RESULT_CANNOT_OPEN when it
// cannot be read (one problem says why), RESULT_NOTHING_READ when it gives
// no class at all, RESULT_BAD_DATA when it was read with problems, else 0.
int load_class_table(const char *path, ClassTable *table);

// The same from text in memory (size bytes).
int read_class_text(const char *text, long size, ClassTable *table);
