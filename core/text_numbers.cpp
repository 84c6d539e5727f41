#include "core/text_numbers.h"

#include <allegro.h>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void insert_suffix(char *path, const char *text, int size) {
  const int length = ustrlen(path), added = ustrlen(text);
  if (length < 4 || ustrsize(path) + ustrsize(text) > size - 1) {
    if (size > 0) path[0] = 0;
    return;
  }
  for (int i = 0; i < added; i++) uinsert(path, ustrlen(path) - 4, ugetat(text, i));
}

void append_number3(char *text, int n) {
  char digits[16];
  if (n >= 0 && n <= 999) {
    // The readers build hundreds of keys per file: no formatting for these.
    digits[0] = (char)('0' + n / 100);
    digits[1] = (char)('0' + n / 10 % 10);
    digits[2] = (char)('0' + n % 10);
    digits[3] = 0;
  } else {
    snprintf(digits, sizeof(digits), "%s%s%d", n < 100 ? "0" : "", n < 10 ? "0" : "", n);
  }
  strcat(text, digits);
}

long parse_leading_int(const char *text, long low, long high) {
  const unsigned char *p = (const unsigned char *)text;
  while (*p && isspace(*p)) p++;
  int negative = 0;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // The magnitude stops growing far beyond any range a caller asks for, so a
  // long run of digits clamps instead of overflowing.
  const long long saturated = 100000000000000000LL;
  long long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; p++)
    if (magnitude < saturated) magnitude = magnitude * 10 + (*p - '0');
  const long long value = negative ? -magnitude : magnitude;
  if (value < low) return low;
  if (value > high) return high;
  return (long)value;
}

float parse_float(const char *text) {
  const double value = strtod(text, nullptr);
  // Positions feed screen arithmetic: keep them finite.
  if (std::isnan(value)) return 0;
  if (value > FLT_MAX) return FLT_MAX;
  if (value < -FLT_MAX) return -FLT_MAX;
  return (float)value;
}

float parse_float_after_comma(const char *text) {
  const char *comma = strchr(text, ',');
  return comma ? parse_float(comma + 1) : 0;
}

void copy_cut(char *dest, const char *src, int size) {
  if (size <= 0) return;
  size_t n = strlen(src);
  if (n > (size_t)size - 1) n = (size_t)size - 1;
  memcpy(dest, src, n);
  dest[n] = 0;
}

void cut_middle(const char *text, int keep, char *out, int size) {
  const int length = (int)strlen(text);
  if (length <= keep || keep < 5) {
    snprintf(out, (size_t)size, "%s", text);
    return;
  }
  const int head = (keep - 3) / 2, tail = keep - 3 - head;
  snprintf(out, (size_t)size, "%.*s...%s", head, text, text + length - tail);
}

// The length of the printable UTF-8 character of two or more bytes at p, or
// 0: overlong forms, surrogates, values past U+10FFFF and the C1 controls
// (U+0080..U+009F) are no printable characters.
static int printable_utf8(const unsigned char *p) {
  int n;
  unsigned value;
  if (*p >= 0xC2 && *p <= 0xDF) n = 2, value = *p & 0x1Fu;
  else if (*p >= 0xE0 && *p <= 0xEF) n = 3, value = *p & 0x0Fu;
  else if (*p >= 0xF0 && *p <= 0xF4) n = 4, value = *p & 0x07u;
  else return 0;
  for (int k = 1; k < n; k++) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    value = value << 6 | (p[k] & 0x3Fu);
  }
  static const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < least[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) || value < 0xA0) return 0;
  return n;
}

void quote_name(const char *text, char *out, int size) {
  bool plain = true;
  for (const unsigned char *p = (const unsigned char *)text; *p && plain;) {
    const int n = *p < 0x80 ? 1 : printable_utf8(p);
    plain = n > 1 || (n == 1 && *p >= 0x20 && *p != 0x7F);
    p += n;
  }
  if (plain || size < 4) {
    snprintf(out, (size_t)size, "%s", text);
    return;
  }
  // Room is kept for the closing quote; an escape or a character that does
  // not fit is left out.
  int at = snprintf(out, (size_t)size, "$'");
  for (const unsigned char *p = (const unsigned char *)text; *p;) {
    char piece[8];
    int taken = 1;
    const int utf8 = *p < 0x80 ? 0 : printable_utf8(p);
    if (utf8) {
      memcpy(piece, p, (size_t)utf8);
      piece[utf8] = 0;
      taken = utf8;
    } else if (*p == '\n') snprintf(piece, sizeof(piece), "\\n");
    else if (*p == '\t') snprintf(piece, sizeof(piece), "\\t");
    else if (*p == '\r') snprintf(piece, sizeof(piece), "\\r");
    else if (*p == '\\' || *p == '\'') snprintf(piece, sizeof(piece), "\\%c", *p);
    else if (*p < 0x20 || *p >= 0x7F) snprintf(piece, sizeof(piece), "\\x%02x", *p);
    else snprintf(piece, sizeof(piece), "%c", *p);
    p += taken;
    const int n = (int)strlen(piece);
    if (at + n + 2 > size) break;
    memcpy(out + at, piece, (size_t)n);
    at += n;
  }
  out[at++] = '\'';
  out[at] = 0;
}

int parse_whole_numbers(const char *text, long *values, int count) {
  const char *p = text;
  for (int n = 0; n < count; n++) {
    while (*p == ' ' || *p == '\t') p++;
    if (n > 0 && *p == ',') {
      p++;
      while (*p == ' ' || *p == '\t') p++;
    }
    if (*p < '0' || *p > '9') return 1;
    long v = 0;
    for (int digits = 0; *p >= '0' && *p <= '9'; p++, digits++) {
      if (digits == 9) return 1;
      v = v * 10 + (*p - '0');
    }
    values[n] = v;
    // Numbers must be apart: "12,34" and "12 34" but not "1234" read as two.
    if (n + 1 < count && *p != ' ' && *p != '\t' && *p != ',') return 1;
  }
  while (*p == ' ' || *p == '\t') p++;
  return *p ? 1 : 0;
}

std::string lower_case(const char *text) {
  std::string lower;
  for (const char *p = text; *p; p++) lower += (char)tolower((unsigned char)*p);
  return lower;
}
