#include "files/config_lines.h"

#include <cstring>

enum { CONFIG_SEARCH_PIECE = 256 };

// The blanks of the library's reader: no byte above 127 counts as one.
static bool is_blank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// The library's lower case: ASCII and the Latin-1 capitals.
static unsigned char lower_case(unsigned char c) {
  const bool capital = (c >= 'A' && c <= 'Z') || (c >= 192 && c <= 222 && c != 215);
  return capital ? c + 32 : c;
}

ConfigLine config_line_at(const char *text, long size, long start) {
  // Looked for a piece at a time, so that a text broken only by returns
  // does not send every search for a feed to its end.
  long at = start;
  while (at < size) {
    const long left = size - at;
    const size_t piece = (size_t)(left < (long)CONFIG_SEARCH_PIECE ? left : (long)CONFIG_SEARCH_PIECE);
    const char *feed = (const char *)memchr(text + at, '\n', piece);
    const size_t before = feed ? (size_t)(feed - (text + at)) : piece;
    const char *ret = (const char *)memchr(text + at, '\r', before);
    if (ret || feed) {
      at = (ret ? ret : feed) - text;
      break;
    }
    at += (long)piece;
  }
  ConfigLine line = {start, at, at};
  if (at < size) {
    const char c = text[at];
    line.next = at + 1;
    if (line.next < size && (text[line.next] == '\r' || text[line.next] == '\n') &&
        text[line.next] != c)
      line.next++;
  }
  return line;
}

ConfigEntry config_entry_of(const char *text, long start, long end) {
  // The reader copies the line into a string: a zero byte ends it early.
  const void *zero = memchr(text + start, 0, (size_t)(end - start));
  if (zero) end = (const char *)zero - text;

  long at = start;
  while (at < end && is_blank((unsigned char)text[at])) at++;
  ConfigEntry entry = {at, 0, end, 0};
  while (at < end && !is_blank((unsigned char)text[at]) && text[at] != '=' && text[at] != '#') at++;
  entry.name_length = at - entry.name;
  if (entry.name_length == 0) return entry;

  while (at < end && (is_blank((unsigned char)text[at]) || text[at] == '=')) at++;
  long value_end = end;
  while (value_end > at && is_blank((unsigned char)text[value_end - 1])) value_end--;
  entry.value = at;
  entry.value_length = value_end - at;
  return entry;
}

bool config_is_section(const char *text, const ConfigEntry &entry) {
  return entry.name_length > 0 && text[entry.name] == '[' &&
         text[entry.name + entry.name_length - 1] == ']';
}

bool config_name_is(const char *text, const ConfigEntry &entry, const char *name) {
  const unsigned char *a = (const unsigned char *)text + entry.name;
  const unsigned char *b = (const unsigned char *)name;
  long i = 0;
  for (; i < entry.name_length && b[i]; i++)
    if (lower_case(a[i]) != lower_case(b[i])) return false;
  return i == entry.name_length && !b[i];
}

bool config_next_entry(const char *text, long size, long *at, ConfigEntry *entry) {
  while (*at < size) {
    const ConfigLine line = config_line_at(text, size, *at);
    *at = line.next;
    *entry = config_entry_of(text, line.start, line.end);
    if (entry->name_length > 0) return true;
  }
  return false;
}
