// Configuration text (the library's settings format) read in place: where
// its lines begin and end, and the name and value of a line, exactly as the
// library's own reader takes them, so that a reader built on these answers
// as the library's look-ups would.
#pragma once

#include <functional>

#include <string>
#include <vector>

// A line of text[0..size): its characters are text[start..end), the next
// line begins at next. A line ends at a carriage return or a line feed; a
// return and a feed in either order end it together.
struct ConfigLine {
  long start;
  long end;
  long next;
};

// The line that begins at start (start < size).
ConfigLine config_line_at(const char *text, long size, long start);

// The name and value of the characters text[start..end) of a line. Blanks
// before the name are skipped; the name runs up to a blank, "=", "#" or a
// zero byte; blanks and "=" after it are skipped and the value is the rest,
// up to a zero byte, without trailing blanks. name_length 0: a blank line
// or a comment.
struct ConfigEntry {
  long name;
  long name_length;
  long value;
  long value_length;
};

ConfigEntry config_entry_of(const char *text, long start, long end);

// Whether the entry's name is a section header: "[" first and "]" last.
bool config_is_section(const char *text, const ConfigEntry &entry);

// Whether the entry's name equals name (terminated), ignoring the case of
// letters as the library's comparison does (ASCII and Latin-1 capitals).
bool config_name_is(const char *text, const ConfigEntry &entry, const char *name);

// The next entry with a name in text[*at..size), blank lines and comments
// passed over; *at moves past its line. false when there is none.
bool config_next_entry(const char *text, long size, long *at, ConfigEntry *entry);

// Whether a new section may follow text as it is: nothing before it, or an
// empty line last, its line ends counted as the reader counts them.
bool config_ends_blank(const std::string &text);

// A value for a key of a section, both named as the reader takes them (in
// any case; the section without its brackets).
struct ConfigValue {
  std::string section, key, value;
  bool number = false;  // the reader takes the number the value begins with, as strtol does: only it changes
};

// The text with each key set to its value and every other byte as it was:
// in the line the library's reader takes the key from, only the value's
// characters change; a key the text lacks is added after the last key line
// of its section's first header (for a number, only the number the old
// value begins with and any digits right after it change, what follows stays), a section the text lacks at the end after
// a blank line. New lines take the spacing around "=" of the section's first
// key line (else the text's, else " = ") and the line end of the line they follow (a new section the text's first), and a
// text whose last line has no line end still ends without one. A UTF-8 byte
// order mark at the start stays, and the lines after it are read.
std::string config_text_with_values(const char *text, long size, const std::vector<ConfigValue> &values);

// A file of settings-like lines read whole and handed to read(text, size):
// RESULT_NO_FILE when nothing has the name, RESULT_CANNOT_OPEN when it
// cannot be read (*too_large set when it is over the whole-file limit,
// else the system's error in *error), otherwise read's result.
int read_config_file(const char *path, const std::function<int(const char *, long)> &read, int *too_large,
                     int *error);
