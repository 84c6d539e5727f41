// A terrain's place on the Earth as transformations: terrain metres (east
// and north of the south-west corner) to and from latitude and longitude on
// the projection's own datum, through OGR and PROJ. Made once from the
// NAME_GEO.ini values and kept; each conversion is then one transform call.
#pragma once

#include <memory>
#include <string>

#include "files/geo_file.h"

// GDAL's drivers registered and its messages kept from standard error
// (they come back through geo_last_error); any number of calls.
void start_geo_library();
// GDAL's last error message, or "" when it gave none.
std::string geo_last_error();

struct GeoPlace;  // its transformations; see the calls below
using GeoPlacePtr = std::shared_ptr<GeoPlace>;

// The place of a GEO file's values, or null with why set ("Projection:
// ... is not a projection in metres"). A projection must be projected
// (not degrees) and count in metres.
GeoPlacePtr make_geo_place(const GeoFile &file, std::string *why);

// Terrain metres to degrees (north and east positive) and back; false when
// the point has no image (far off the projection's area).
bool place_to_degrees(GeoPlace &place, double east, double north, double *latitude, double *longitude);
bool place_from_degrees(GeoPlace &place, double latitude, double longitude, double *east, double *north);

// The geodesic on the place's ellipsoid from one point of the terrain to
// another (metres east and north of its corner, as the ruler measures
// them): its length in metres and its azimuth at the first point, degrees
// clockwise from true north, 0 to 360; false when either point has no image.
bool place_geodesic(GeoPlace &place, double east0, double north0, double east1, double north1, double *metres,
                    double *azimuth);

// The projection's name and method, as --check names it:
// "WGS 84 / UTM zone 34N (Transverse_Mercator on WGS 84)", or without a
// name of its own "Transverse_Mercator on WGS 84".
std::string place_projection_name(const GeoPlace &place);

// The projection as WKT, for a raster written in it.
std::string place_wkt(const GeoPlace &place);
double place_origin_east(const GeoPlace &place);
double place_origin_north(const GeoPlace &place);

// The point scale's largest departure from 1 (0.003 for 0.3 %) at the four
// corners of a terrain width by height metres, east and north along the
// ground; a negative value when a corner has no image.
double place_corner_scale_error(GeoPlace &place, double width, double height);

// "scale at the corners within 0.3 %": the error rounded up to a tenth of
// a percent.
std::string scale_error_text(double error);

// The PROJ string of a projection for an area of the Earth (degrees): a
// transverse Mercator on its centre when it is narrower than
// PLACE_TM_MAX_WIDTH metres east to west, else a Lambert conformal conic
// with standard parallels at a sixth and five sixths of it. Both on WGS 84.
enum { PLACE_TM_MAX_WIDTH = 1500000 };
std::string projection_for_area(double south, double west, double north, double east);
