// The _TARGETS.ini target areas file.
#pragma once

#include <memory>
#include <vector>

#include "core/file_stamp.h"
#include "core/reporter.h"
#include "core/terrain_model.h"

enum { LINE_NOT_SECTION = -1 };

// The lines of a file that begin with "[" and what each is.
struct TargetSections {
  long size = 0;
  bool returns = false;      // a carriage return anywhere: the quick way finds lines at line feeds only
  std::vector<long> starts;  // as bracket_lines gives them
  std::vector<int> kinds;    // the area a header names (met again or not), 0 another section, or LINE_NOT_SECTION
};

// The target file as last read or saved: the areas it holds, where its
// sections are and its stamp then. The open terrain keeps it and hands it
// to the writer, whose quick way reads only the changed sections while the
// file on disk is still the one the stamp describes. areas null: nothing
// known (the next save reads the file whole).
struct TargetFile {
  std::unique_ptr<TargetSet> areas;
  TargetSections sections;
  FileStamp stamp;
};

// Reads the areas into targets from area 1 on, adding to area_count and
// target_total. 0 when at least one area is held; RESULT_NO_FILE when
// nothing has the name (a terrain without target areas); RESULT_CANNOT_OPEN
// when the file is empty or cannot be read; RESULT_NOTHING_READ when it
// holds no area. The first progress text is followed by a pause. file,
// when given, is what was read, for the writer (its areas null when
// nothing was).
int load_target_areas(const char *path, const Reporter *reporter, TargetFile *file = nullptr);

// What a line beginning at line is: the area a header names, 0 another
// section, LINE_NOT_SECTION none.
int target_line_kind(const char *line, long size);
// The sections of a text from the lines that begin with "[" (bracket_lines).
TargetSections target_sections_of(const char *text, long size, std::vector<long> starts);
// Areas 1..area_count of from, with the counts.
void copy_target_areas(TargetSet &to, const TargetSet &from);

// Bytes of the file the reader looks through for each area, from where the
// area before it began one section further on.
enum { TARGET_READ_WINDOW = 45000 };

// The keys of an area's section the reader takes: a target's three (its
// number in *t) and the area's three.
enum TargetKey {
  TARGET_KEY_TYPE,
  TARGET_KEY_OFFSET,
  TARGET_KEY_HEADING,
  TARGET_KEY_NAME,
  TARGET_KEY_POSITION,
  TARGET_KEY_ALIGNMENT,
};
struct ConfigEntry;
// The key of a line of an area's section, -1 for one the reader ignores.
int target_key_of(const char *text, const ConfigEntry &entry, int *t);
// The area number of a section header "[TargetAreaNNN]" (any case), 0 for another.
int target_area_section(const char *text, const ConfigEntry &entry);

// What a terrain without a target file is told, in the strip and on the
// command line.
#define NO_TARGET_FILE_TEXT "No target areas file."

// 1 when nothing at all has the name: no file, no folder, no link.
int target_file_absent(const char *path);

// Reads the areas from the file's text in memory (size > 0 bytes) as
// load_target_areas does, without its first text and pause; 0 when at least
// one area is held, else RESULT_NOTHING_READ. Each area is looked for in a
// window of the text that begins one section header further on than the
// last one's, as the file's readers have always done.
int read_target_text(const char *text, long size, const Reporter *reporter);
// The same into set (adding to its counts); window_starts, when given, gets
// the window start of every area it looked for (areas 1 to area_count + 1).
struct TargetSet;
int read_target_text_into(TargetSet &set, const char *text, long size, const Reporter *reporter,
                          std::vector<long> *window_starts = nullptr);

// Where the reader's window for area n begins, p being area n - 1's (0 for
// area 1): one section header further on, as the file's readers have always
// done. Then area n read from that window alone; 0 when the reader would
// stop there.
long target_window_start(const char *text, long size, long p, int n);
// The window starts of areas 1..count + 1 at once, from where the text's
// lines that begin with "[" begin (bracket_lines): target_window_start's.
std::vector<long> target_window_starts(const std::vector<long> &bracket_lines, long size, int count);
struct TargetArea;
int read_target_area_at(TargetArea &area, const char *text, long size, long p, int n);
