#include "ui/degree_text.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char DEGREE_SIGN[] = "\xC2\xB0";

// The text with each sign a blank, and the byte offsets of those blanks.
std::string with_blanks(const char *text, std::vector<size_t> *signs) {
  std::string out;
  for (const char *p = text; *p;) {
    if (strncmp(p, DEGREE_SIGN, 2) == 0) {
      if (signs) signs->push_back(out.size());
      out += ' ';
      p += 2;
    } else {
      out += *p++;
    }
  }
  return out;
}

}  // namespace

int degree_text_length(FONT *f, const char *text) {
  return f ? text_length(f, with_blanks(text, nullptr).c_str()) : 0;
}

int degree_textout(BITMAP *bmp, FONT *f, const char *text, int x, int y, int fg, int bg) {
  std::vector<size_t> signs;
  const std::string plain = with_blanks(text, &signs);
  if (!bmp || !f) return 0;
  textout_ex(bmp, f, plain.c_str(), x, y, fg, bg);
  const int blank = std::max(4, text_length(f, " ")), h = text_height(f);
  for (size_t at : signs) {
    const int left = x + text_length(f, plain.substr(0, at).c_str()) + (blank - 4) / 2;
    if (h < 16) {
      // Four pixels square with its corners cut: a ring at this size, where
      // a circle of radius 1 would be a cross.
      static const int RING[8][2] = {{1, 0}, {2, 0}, {0, 1}, {3, 1}, {0, 2}, {3, 2}, {1, 3}, {2, 3}};
      for (const auto &p : RING) putpixel(bmp, left + p[0], y + 1 + p[1], fg);
      continue;
    }
    // At the larger scales a circle a third of the line high, two pixels thick.
    const int r = h / 6, cx = x + text_length(f, plain.substr(0, at).c_str()) + blank / 2, cy = y + h / 8 + r;
    circle(bmp, cx, cy, r, fg);
    circle(bmp, cx, cy, r - 1, fg);
  }
  return text_length(f, plain.c_str());
}
