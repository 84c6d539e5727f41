#include "geo/degrees_text.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char DEGREE_UTF8[] = "\xC2\xB0";

const char *skip_blanks(const char *at) {
  while (*at == ' ' || *at == '\t') at++;
  return at;
}

// A number without a sign: digits with an optional decimal part.
bool read_unsigned(const char **at, double *value) {
  const char *p = *at;
  if (!isdigit((unsigned char)*p)) return false;
  char *end;
  errno = 0;
  *value = strtod(p, &end);
  if (errno == ERANGE || end == p || !std::isfinite(*value)) return false;
  // strtod also takes exponents and hexadecimal; an angle has neither.
  for (const char *c = p; c < end; c++)
    if (!isdigit((unsigned char)*c) && *c != '.') return false;
  *at = end;
  return true;
}

}  // namespace

bool parse_angle(const char *text, double *degrees, char *axis) {
  const char *at = skip_blanks(text);
  const bool negative = *at == '-';
  if (negative) at = skip_blanks(at + 1);
  double whole, minutes = 0;
  if (!read_unsigned(&at, &whole)) return false;
  const bool decimal = strchr(text, '.') && (size_t)(strchr(text, '.') - text) < (size_t)(at - text);
  at = skip_blanks(at);
  // The degree sign in UTF-8 or Latin-1, or a 'd' where neither can be typed.
  if (strncmp(at, DEGREE_UTF8, 2) == 0) at = skip_blanks(at + 2);
  else if (*at == '\xB0' || *at == 'd') at = skip_blanks(at + 1);
  if (isdigit((unsigned char)*at)) {
    // Minutes follow whole degrees only.
    if (decimal || !read_unsigned(&at, &minutes) || minutes >= 60) return false;
    at = skip_blanks(at);
    if (*at == '\'') at = skip_blanks(at + 1);
  }
  *axis = 0;
  int sign = negative ? -1 : 1;
  const char letter = (char)toupper((unsigned char)*at);
  if (letter == 'N' || letter == 'S' || letter == 'E' || letter == 'W') {
    if (negative) return false;  // "-43S" says it twice
    *axis = letter == 'N' || letter == 'S' ? 'N' : 'E';
    sign = letter == 'S' || letter == 'W' ? -1 : 1;
    at = skip_blanks(at + 1);
  }
  if (*at) return false;
  *degrees = sign * (whole + minutes / 60);
  return true;
}

bool parse_place(const char *text, double *latitude, double *longitude) {
  // Two parts: at a comma when there is one, else at the blank after the
  // first hemisphere letter.
  std::string parts[2];
  const char *comma = strchr(text, ',');
  if (comma) {
    parts[0].assign(text, (size_t)(comma - text));
    parts[1] = comma + 1;
  } else {
    const char *p = text;
    while (*p && !strchr("NSEWnsew", *p)) p++;
    if (!*p) return false;
    parts[0].assign(text, (size_t)(p + 1 - text));
    parts[1] = p + 1;
  }
  double value[2];
  char axis[2];
  for (int k = 0; k < 2; k++)
    if (!parse_angle(parts[k].c_str(), &value[k], &axis[k]) || !axis[k]) return false;
  if (axis[0] == axis[1]) return false;
  *latitude = axis[0] == 'N' ? value[0] : value[1];
  *longitude = axis[0] == 'N' ? value[1] : value[0];
  return std::fabs(*latitude) <= 90 && std::fabs(*longitude) <= 180;
}

std::string place_text(double latitude, double longitude, const char *degree_sign) {
  std::string text;
  const double values[2] = {latitude, longitude};
  for (int k = 0; k < 2; k++) {
    const double v = std::fabs(values[k]);
    // Tenths of a minute, rounded once so that 59.96' becomes the next degree.
    const long tenths = lround(v * 600);
    char part[48];
    snprintf(part, sizeof(part), "%s%ld%s%02ld.%ld'%c", k ? " " : "", tenths / 600, degree_sign, tenths % 600 / 10,
             tenths % 10, k == 0 ? (values[k] < 0 ? 'S' : 'N') : (values[k] < 0 ? 'W' : 'E'));
    text += part;
  }
  return text;
}

std::string place_decimal_text(double latitude, double longitude, const char *degree_sign) {
  char text[96];
  // Rounded before the sign is chosen, so that -0.00001 reads 0.0000N.
  const double lat = std::round(latitude * 1e4) / 1e4, lon = std::round(longitude * 1e4) / 1e4;
  snprintf(text, sizeof(text), "%.4f%s%c %.4f%s%c", std::fabs(lat), degree_sign, lat < 0 ? 'S' : 'N', std::fabs(lon),
           degree_sign, lon < 0 ? 'W' : 'E');
  return text;
}
