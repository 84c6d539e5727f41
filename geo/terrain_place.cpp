#include "geo/terrain_place.h"

#include <cmath>
#include <cstring>
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <geodesic.h>
#include <mutex>
#include <ogr_spatialref.h>
#include <ogr_srs_api.h>

struct GeoPlace {
  OGRSpatialReferenceH projected = nullptr;
  OGRSpatialReferenceH geographic = nullptr;
  OGRCoordinateTransformationH to_degrees = nullptr;
  OGRCoordinateTransformationH to_metres = nullptr;
  double origin_east = 0, origin_north = 0;
  double semi_major = 0, eccentricity2 = 0;
  geod_geodesic ellipsoid{};  // for the ruler's true distances
  ~GeoPlace() {
    if (to_degrees) OCTDestroyCoordinateTransformation(to_degrees);
    if (to_metres) OCTDestroyCoordinateTransformation(to_metres);
    if (geographic) OSRDestroySpatialReference(geographic);
    if (projected) OSRDestroySpatialReference(projected);
  }
};

void start_geo_library() {
  static std::once_flag once;
  std::call_once(once, [] {
    CPLSetErrorHandler(CPLQuietErrorHandler);
    GDALAllRegister();
  });
}

std::string geo_last_error() {
  // One line, whatever the library's message holds: it ends a line of ours.
  std::string message = CPLGetLastErrorMsg() ? CPLGetLastErrorMsg() : "";
  for (char &c : message)
    if ((unsigned char)c < 32) c = ' ';
  return message;
}

GeoPlacePtr make_geo_place(const GeoFile &file, std::string *why) {
  start_geo_library();
  GeoPlacePtr place = std::make_shared<GeoPlace>();
  place->projected = OSRNewSpatialReference(nullptr);
  CPLErrorReset();
  // The file comes with a terrain from anywhere: its text is a projection,
  // never a file to read or an address to fetch.
  if (OGRSpatialReference::FromHandle(place->projected)
          ->SetFromUserInput(file.projection.c_str(), OGRSpatialReference::SET_FROM_USER_INPUT_LIMITATIONS_get()) !=
      OGRERR_NONE) {
    const std::string reason = geo_last_error();
    *why = "Projection is not one PROJ knows" + (reason.empty() ? std::string() : ": " + reason);
    return nullptr;
  }
  if (!OSRIsProjected(place->projected)) {
    *why = "Projection is not projected: its coordinates are degrees, not metres";
    return nullptr;
  }
  if (std::fabs(OSRGetLinearUnits(place->projected, nullptr) - 1.0) > 1e-9) {
    *why = "Projection counts in other units than metres";
    return nullptr;
  }
  place->geographic = OSRCloneGeogCS(place->projected);
  // East first, then north, whatever order the authority gives the axes.
  OSRSetAxisMappingStrategy(place->projected, OAMS_TRADITIONAL_GIS_ORDER);
  OSRSetAxisMappingStrategy(place->geographic, OAMS_TRADITIONAL_GIS_ORDER);
  place->to_degrees = OCTNewCoordinateTransformation(place->projected, place->geographic);
  place->to_metres = OCTNewCoordinateTransformation(place->geographic, place->projected);
  if (!place->to_degrees || !place->to_metres) {
    *why = "Projection cannot be turned into degrees: " + geo_last_error();
    return nullptr;
  }
  place->origin_east = file.origin_east;
  place->origin_north = file.origin_north;
  place->semi_major = OSRGetSemiMajor(place->geographic, nullptr);
  const double inverse_flattening = OSRGetInvFlattening(place->geographic, nullptr);
  const double f = inverse_flattening > 0 ? 1 / inverse_flattening : 0;
  place->eccentricity2 = f * (2 - f);
  geod_init(&place->ellipsoid, place->semi_major, f);
  return place;
}

bool place_to_degrees(GeoPlace &place, double east, double north, double *latitude, double *longitude) {
  double x = place.origin_east + east, y = place.origin_north + north;
  if (!OCTTransform(place.to_degrees, 1, &x, &y, nullptr) || !std::isfinite(x) || !std::isfinite(y)) return false;
  *longitude = x;
  *latitude = y;
  return true;
}

bool place_from_degrees(GeoPlace &place, double latitude, double longitude, double *east, double *north) {
  double x = longitude, y = latitude;
  if (!OCTTransform(place.to_metres, 1, &x, &y, nullptr) || !std::isfinite(x) || !std::isfinite(y)) return false;
  *east = x - place.origin_east;
  *north = y - place.origin_north;
  return true;
}

bool place_geodesic(GeoPlace &place, double east0, double north0, double east1, double north1, double *metres,
                    double *azimuth) {
  double lat0, lon0, lat1, lon1, back;
  if (!place_to_degrees(place, east0, north0, &lat0, &lon0) || !place_to_degrees(place, east1, north1, &lat1, &lon1))
    return false;
  geod_inverse(&place.ellipsoid, lat0, lon0, lat1, lon1, metres, azimuth, &back);
  if (!std::isfinite(*metres) || !std::isfinite(*azimuth)) return false;
  if (*azimuth < 0) *azimuth += 360;
  return true;
}

std::string place_projection_name(const GeoPlace &place) {
  const char *name = OSRGetName(place.projected);
  const char *method = OSRGetAttrValue(place.projected, "PROJECTION", 0);
  const char *datum = OSRGetAttrValue(place.projected, "GEOGCS", 0);
  if (!datum || strcmp(datum, "unknown") == 0) datum = OSRGetAttrValue(place.projected, "DATUM", 0);
  std::string text = method && *method ? method : "unnamed projection";
  if (datum && *datum) text += std::string(" on ") + datum;
  // A PROJ string gives no name of its own.
  if (name && *name && strcmp(name, "unknown") != 0) text = std::string(name) + " (" + text + ")";
  return text;
}

std::string place_wkt(const GeoPlace &place) {
  char *wkt = nullptr;
  OSRExportToWkt(place.projected, &wkt);
  std::string text = wkt ? wkt : "";
  CPLFree(wkt);
  return text;
}

double place_origin_east(const GeoPlace &place) { return place.origin_east; }
double place_origin_north(const GeoPlace &place) { return place.origin_north; }

namespace {

// Projected metres between two points of the ground given in degrees.
bool projected_distance(GeoPlace &place, double lat0, double lon0, double lat1, double lon1, double *d) {
  double e0, n0, e1, n1;
  if (!place_from_degrees(place, lat0, lon0, &e0, &n0) || !place_from_degrees(place, lat1, lon1, &e1, &n1))
    return false;
  *d = std::hypot(e1 - e0, n1 - n0);
  return true;
}

// The scale along the meridian and the parallel at a point, from a small
// step either way measured on the ellipsoid and on the projection.
bool point_scale_error(GeoPlace &place, double east, double north, double *error) {
  double lat, lon;
  if (!place_to_degrees(place, east, north, &lat, &lon)) return false;
  const double step = 1e-3;  // degrees: a hundred metres, where the scale is still one value
  const double phi = lat * M_PI / 180, s = std::sin(phi), w = 1 - place.eccentricity2 * s * s;
  const double meridian = place.semi_major * (1 - place.eccentricity2) / std::pow(w, 1.5);
  const double normal = place.semi_major / std::sqrt(w);
  const double radians = 2 * step * M_PI / 180;
  double along_meridian, along_parallel;
  if (!projected_distance(place, lat - step, lon, lat + step, lon, &along_meridian) ||
      !projected_distance(place, lat, lon - step, lat, lon + step, &along_parallel))
    return false;
  const double k_north = along_meridian / (meridian * radians);
  const double k_east = along_parallel / (normal * std::cos(phi) * radians);
  *error = std::max(std::fabs(k_north - 1), std::fabs(k_east - 1));
  return true;
}

}  // namespace

double place_corner_scale_error(GeoPlace &place, double width, double height) {
  double worst = 0;
  const double corners[4][2] = {{0, 0}, {width, 0}, {0, height}, {width, height}};
  for (const auto &c : corners) {
    double error;
    if (!point_scale_error(place, c[0], c[1], &error)) return -1;
    worst = std::max(worst, error);
  }
  return worst;
}

std::string scale_error_text(double error) {
  char text[64];
  snprintf(text, sizeof(text), "scale at the corners within %.1f %%", std::ceil(error * 1000 - 1e-9) / 10);
  return text;
}

std::string projection_for_area(double south, double west, double north, double east) {
  const double centre_lat = (south + north) / 2, centre_lon = (west + east) / 2;
  // The widest parallel of the area, the one nearest the equator.
  const double widest = south <= 0 && north >= 0 ? 0 : std::min(std::fabs(south), std::fabs(north));
  const double width = (east - west) * M_PI / 180 * 6378137 * std::cos(widest * M_PI / 180);
  char text[256];
  if (width < PLACE_TM_MAX_WIDTH) {
    snprintf(text, sizeof(text), "+proj=tmerc +lat_0=%.9g +lon_0=%.9g +k=1 +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs",
             centre_lat, centre_lon);
  } else {
    const double span = north - south;
    snprintf(text, sizeof(text),
             "+proj=lcc +lat_0=%.9g +lon_0=%.9g +lat_1=%.9g +lat_2=%.9g +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs",
             centre_lat, centre_lon, south + span / 6, south + 5 * span / 6);
  }
  return text;
}
