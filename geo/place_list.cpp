#include "geo/place_list.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <strings.h>

#include "core/text_numbers.h"
#include "geo/degrees_text.h"

namespace {

std::string trimmed(const char *text) {
  std::string s = text ? text : "";
  const size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// A field as a problem line shows it: a quoted field may hold line breaks.
std::string shown(const std::string &field) { return QuotedName(field.c_str()).text; }

bool is_csv(const char *path) {
  const char *dot = strrchr(path, '.');
  return dot && (strcasecmp(dot, ".csv") == 0 || strcasecmp(dot, ".txt") == 0);
}

struct Srs {
  OGRSpatialReferenceH h = nullptr;
  explicit Srs(const char *text) {
    h = OSRNewSpatialReference(nullptr);
    if (OSRSetFromUserInput(h, text) != OGRERR_NONE) {
      OSRDestroySpatialReference(h);
      h = nullptr;
      return;
    }
    OSRSetAxisMappingStrategy(h, OAMS_TRADITIONAL_GIS_ORDER);
  }
  explicit Srs(OGRSpatialReferenceH from) : h(from ? OSRClone(from) : nullptr) {
    if (h) OSRSetAxisMappingStrategy(h, OAMS_TRADITIONAL_GIS_ORDER);
  }
  ~Srs() {
    if (h) OSRDestroySpatialReference(h);
  }
};

// From the list's coordinates to the projection's metres and to WGS 84.
struct Ways {
  OGRCoordinateTransformationH to_metres = nullptr, to_wgs84 = nullptr;
  ~Ways() {
    if (to_metres) OCTDestroyCoordinateTransformation(to_metres);
    if (to_wgs84) OCTDestroyCoordinateTransformation(to_wgs84);
  }
};

// x, y in the list's coordinates (longitude, latitude for a CSV) into p.
void place_point(const Ways &w, GeoPlace &place, double x, double y, ListedPlace &p) {
  double lon = x, lat = y;
  if (w.to_wgs84 && !OCTTransform(w.to_wgs84, 1, &lon, &lat, nullptr)) return;
  p.longitude = lon;
  p.latitude = lat;
  double e = x, n = y;
  if (!OCTTransform(w.to_metres, 1, &e, &n, nullptr) || !std::isfinite(e) || !std::isfinite(n)) return;
  p.east = e - place_origin_east(place);
  p.north = n - place_origin_north(place);
  p.placed = 1;
}

// A heading as a whole number of degrees, blanks around it.
bool read_heading(const std::string &text, ListedPlace &p) {
  if (text.empty()) return true;
  const size_t sign = text[0] == '-';
  if (text.size() == sign || text.size() > sign + 6 || text.find_first_not_of("0123456789", sign) != std::string::npos)
    return false;
  p.heading = atoi(text.c_str());
  p.has_heading = 1;
  return true;
}

std::string field(OGRFeatureH f, int i) {
  return i >= 0 && i < OGR_F_GetFieldCount(f) && OGR_F_IsFieldSetAndNotNull(f, i) ? trimmed(OGR_F_GetFieldAsString(f, i))
                                                                                   : "";
}

// A CSV row; false (and a problem, unless it is the header) when left out.
bool csv_row(OGRFeatureH f, long row, const Ways &w, GeoPlace &place, PlaceList &list) {
  ListedPlace p;
  p.row = row;
  p.name = field(f, 0);
  const std::string lat = field(f, 1), lon = field(f, 2);
  char axis_lat = 0, axis_lon = 0;
  const bool angles = parse_angle(lat.c_str(), &p.latitude, &axis_lat) && parse_angle(lon.c_str(), &p.longitude, &axis_lon);
  if (!angles && row == 1) return false;  // a header
  const std::string at = "row " + std::to_string(row) + ": ";
  if (p.name.empty() && lat.empty() && lon.empty()) return false;  // a blank line
  if (p.name.empty()) {
    list.problems.push_back(at + "no name; left out");
    return false;
  }
  if (!angles || (axis_lat && axis_lat != 'N') || (axis_lon && axis_lon != 'E') || std::fabs(p.latitude) > 90 ||
      std::fabs(p.longitude) > 180) {
    list.problems.push_back(at + "\"" + shown(lat) + "\", \"" + shown(lon) + "\" is no latitude and longitude; left out");
    return false;
  }
  p.side = field(f, 3);
  p.type = field(f, 4);
  if (!read_heading(field(f, 5), p)) {
    list.problems.push_back(at + "the heading \"" + shown(field(f, 5)) + "\" is no whole number of degrees; left out");
    return false;
  }
  place_point(w, place, p.longitude, p.latitude, p);
  list.places.push_back(p);
  return true;
}

// A point of another vector file, its properties by name in any case.
void vector_feature(OGRFeatureH f, long row, const Ways &w, GeoPlace &place, PlaceList &list) {
  ListedPlace p;
  p.row = row;
  const char *keys[] = {"name", "side", "type"};
  std::string *into[] = {&p.name, &p.side, &p.type};
  OGRFeatureDefnH defn = OGR_F_GetDefnRef(f);
  int heading_field = -1;
  for (int i = 0; i < OGR_FD_GetFieldCount(defn); i++) {
    const char *name = OGR_Fld_GetNameRef(OGR_FD_GetFieldDefn(defn, i));
    for (int k = 0; k < 3; k++)
      if (strcasecmp(name, keys[k]) == 0) *into[k] = field(f, i);
    if (strcasecmp(name, "heading") == 0) heading_field = i;
  }
  const std::string at = "feature " + std::to_string(row) + ": ";
  if (p.name.empty()) {
    list.problems.push_back(at + "no name; left out");
    return;
  }
  OGRGeometryH g = OGR_F_GetGeometryRef(f);
  if (!g || wkbFlatten(OGR_G_GetGeometryType(g)) != wkbPoint || OGR_G_IsEmpty(g)) {
    list.problems.push_back(at + "not a point; left out");
    return;
  }
  if (!read_heading(field(f, heading_field), p)) {
    list.problems.push_back(at + "the heading \"" + shown(field(f, heading_field)) + "\" is no whole number of degrees; left out");
    return;
  }
  place_point(w, place, OGR_G_GetX(g, 0), OGR_G_GetY(g, 0), p);
  list.places.push_back(p);
}

}  // namespace

PlaceList read_place_list(const char *path, GeoPlace &place) {
  start_geo_library();
  PlaceList list;
  const bool csv = is_csv(path);
  const std::string name = QuotedName(path).text;
  // A CSV's fields are all text, the header found here, not guessed.
  const char *csv_options[] = {"HEADERS=NO", "AUTODETECT_TYPE=NO", nullptr};
  const char *csv_driver[] = {"CSV", nullptr};
  CPLErrorReset();
  // The prefix opens a CSV whatever its name ends in.
  const std::string open_name = csv ? "CSV:" + std::string(path) : std::string(path);
  GDALDatasetH d = GDALOpenEx(open_name.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, csv ? csv_driver : nullptr,
                              csv ? csv_options : nullptr, nullptr);
  if (!d || GDALDatasetGetLayerCount(d) < 1) {
    const std::string reason = geo_last_error();
    list.why = name + ": cannot be read as a list of places" + (reason.empty() ? "." : ": " + reason + ".");
    if (d) GDALClose(d);
    return list;
  }
  OGRLayerH layer = GDALDatasetGetLayer(d, 0);
  Srs projected(place_wkt(place).c_str()), wgs84("EPSG:4326");
  Srs own(csv ? nullptr : OGR_L_GetSpatialRef(layer));
  OGRSpatialReferenceH from = own.h ? own.h : wgs84.h;
  Ways w;
  w.to_metres = OCTNewCoordinateTransformation(from, projected.h);
  if (own.h) w.to_wgs84 = OCTNewCoordinateTransformation(from, wgs84.h);
  if (!w.to_metres || (own.h && !w.to_wgs84)) {
    list.why = name + ": its coordinates cannot be put into the terrain's projection: " + geo_last_error();
    GDALClose(d);
    return list;
  }
  OGR_L_ResetReading(layer);
  long row = 0;
  while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
    row++;
    if (csv) csv_row(f, row, w, place, list);
    else vector_feature(f, row, w, place, list);
    OGR_F_Destroy(f);
  }
  GDALClose(d);
  return list;
}
