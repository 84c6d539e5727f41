// Small helpers for the texts and numbers of the terrain files.
#pragma once

#include <climits>
#include <string>

// Inserts text before the last four characters of path (size bytes in all).
// A path shorter than four characters, or one the text would not fit into,
// is emptied instead, so that it names no file at all rather than a
// different one.
void insert_suffix(char *path, const char *text, int size);

// Appends n (0..999) padded with zeros to three digits.
void append_number3(char *text, int n);

// The integer at the start of text: leading blanks, an optional sign and the
// decimal digits that follow; 0 without digits. Values beyond low..high are
// clamped, however many digits there are.
long parse_leading_int(const char *text, long low, long high);

// The number at the start of text, finite: NaN reads as 0, values beyond
// the float range as the largest float of their sign.
float parse_float(const char *text);

// The number after the first comma, as parse_float; 0 without a comma.
float parse_float_after_comma(const char *text);

// Copies src into dest of size bytes, cut to size - 1 characters.
void copy_cut(char *dest, const char *src, int size);

// x truncated toward zero, one more when the part cut off exceeds one half
// (so negative values are only truncated); NaN gives 0 and values beyond the
// int range its ends.
// The text in lower case (ASCII), for matching names whatever their case.
std::string lower_case(const char *text);

// Inline: drawing a large target file calls it for every target of a frame.
inline int round_to_int(double x) {
  // Out of range or not a number: the nearest int, never undefined.
  if (!(x == x)) return 0;
  if (x >= (double)INT_MAX) return INT_MAX;
  if (x <= (double)INT_MIN) return INT_MIN;
  int t = (int)x;
  return x - t > 0.5 ? t + 1 : t;
}

// text, or when longer than keep characters its start and end joined by
// "..." (keep characters in all), into out of size bytes.
void cut_middle(const char *text, int keep, char *out, int size);

enum {
  // A path too long to use is shown cut in the middle to this many characters.
  PATH_CUT_KEEP = 72,
  PATH_CUT_SIZE = PATH_CUT_KEEP + 1,
};

#define PATH_TOO_LONG_TEXT "The path is longer than 255 characters."

// text as a terminal line may show it: unchanged when it is printable
// UTF-8 (Wüste.TFD), else quoted as a shell reads it back, control
// characters and bytes that are no UTF-8 escaped ($'Bad\nName.TFD',
// $'bad\xff.TFD'). Cut to fit out (size bytes); the quoted form never
// inside a character or an escape.
void quote_name(const char *text, char *out, int size);

// A name as quote_name shows it, in a buffer of its own, for the arguments
// of a message: QuotedName(path).text. Room for any path the system takes.
struct QuotedName {
  char text[4 * 4096];
  explicit QuotedName(const char *name) { quote_name(name, text, sizeof(text)); }
};

// Exactly count whole numbers of decimal digits in text, apart by blanks, a
// comma or both, blanks around: 0 with them in values (each at most
// 999999999, more digits count as unreadable), 1 for any other text.
int parse_whole_numbers(const char *text, long *values, int count);
