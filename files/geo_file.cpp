#include "files/geo_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "core/regular_file.h"
#include "core/reporter.h"
#include "files/config_lines.h"

namespace {

// "E, N": two finite numbers apart by a comma, blanks around either.
bool parse_origin(const std::string &value, double *east, double *north) {
  const char *at = value.c_str();
  char *end;
  errno = 0;
  *east = strtod(at, &end);
  if (end == at || errno == ERANGE || !std::isfinite(*east)) return false;
  while (*end == ' ' || *end == '\t') end++;
  if (*end != ',') return false;
  at = end + 1;
  *north = strtod(at, &end);
  if (end == at || errno == ERANGE || !std::isfinite(*north)) return false;
  while (*end == ' ' || *end == '\t') end++;
  return *end == 0;
}

}  // namespace

int read_geo_text(const char *text, long size, GeoFile *geo) {
  *geo = GeoFile();
  long at = 0, line_of_origin = 0;
  int line = 0;
  bool in_section = false, has_projection = false, has_origin = false;
  std::string origin;
  while (at < size) {
    const ConfigLine l = config_line_at(text, size, at);
    line++;
    const ConfigEntry e = config_entry_of(text, l.start, l.end);
    at = l.next;
    if (e.name_length == 0) continue;
    if (config_is_section(text, e)) in_section = true;
    if (in_section) continue;
    const std::string value(text + e.value, (size_t)e.value_length);
    if (!has_projection && config_name_is(text, e, "Projection")) {
      geo->projection = value;
      has_projection = true;
    } else if (!has_origin && config_name_is(text, e, "Origin")) {
      origin = value;
      line_of_origin = line;
      has_origin = true;
    }
  }
  if (!has_projection || geo->projection.empty()) geo->problems.push_back("no Projection (a PROJ string, EPSG:n or WKT)");
  if (!has_origin) {
    geo->problems.push_back("no Origin (E, N: projected metres of the south-west corner)");
  } else if (!parse_origin(origin, &geo->origin_east, &geo->origin_north)) {
    char problem[160];
    snprintf(problem, sizeof(problem), "line %ld: Origin takes E, N in metres, not \"%.60s\"", line_of_origin,
             origin.c_str());
    geo->problems.push_back(problem);
  }
  return geo->problems.empty() ? 0 : RESULT_BAD_DATA;
}

int load_geo_file(const char *path, GeoFile *geo) {
  *geo = GeoFile();
  int too_large, error;
  const int result =
      read_config_file(path, [&](const char *text, long size) { return read_geo_text(text, size, geo); }, &too_large, &error);
  if (result == RESULT_CANNOT_OPEN)
    geo->problems.push_back(too_large ? "over the 64 MB a file may hold; it is not read" : "cannot be read");
  return result;
}

std::string geo_file_text(const GeoFile &geo) {
  // Seventeen digits bring any double back as it was.
  char origin[96];
  snprintf(origin, sizeof(origin), "%.17g, %.17g", geo.origin_east, geo.origin_north);
  return "Projection=" + geo.projection + "\nOrigin=" + origin + "\n";
}
