// Configuration text (the library's settings format) read in place: where
// its lines begin and end, and the name and value of a line, exactly as the
// library's own reader takes them, so that a reader built on these answers
// as the library's look-ups would.
#pragma once

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
