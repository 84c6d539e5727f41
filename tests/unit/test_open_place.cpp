// The open terrain's place: the strip's degrees against PROJ's own
// transformation of the same points, the geodesic against the meridian and
// the equator's known lengths, and the _GEO.ini read at the opening.
#include <gtest/gtest.h>

#include <cmath>
#include <ogr_srs_api.h>
#include <random>

#include "core/terrain_model.h"
#include "document/new_terrain.h"
#include "document/open_place.h"
#include "document/open_terrain.h"
#include "files/geo_file.h"
#include "geo/degrees_text.h"
#include "harness.h"

namespace {

const char TMERC[] = "+proj=tmerc +lat_0=43 +lon_0=19 +k=1 +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs";

GeoFile geo(const char *projection, double east, double north) {
  GeoFile file;
  file.projection = projection;
  file.origin_east = east;
  file.origin_north = north;
  return file;
}

void place_at(const GeoFile &file) {
  std::string why;
  terrain_place.place = make_geo_place(file, &why);
  ASSERT_TRUE(terrain_place.place) << why;
}

// The reference: PROJ through OGR from the projection's own text, in
// longitude, latitude order, set up apart from the program's place.
struct Reference {
  OGRSpatialReferenceH projected = OSRNewSpatialReference(nullptr), geographic = nullptr;
  OGRCoordinateTransformationH ct = nullptr;
  explicit Reference(const char *projection) {
    OSRSetFromUserInput(projected, projection);
    geographic = OSRCloneGeogCS(projected);
    OSRSetAxisMappingStrategy(projected, OAMS_TRADITIONAL_GIS_ORDER);
    OSRSetAxisMappingStrategy(geographic, OAMS_TRADITIONAL_GIS_ORDER);
    ct = OCTNewCoordinateTransformation(projected, geographic);
  }
  ~Reference() {
    OCTDestroyCoordinateTransformation(ct);
    OSRDestroySpatialReference(geographic);
    OSRDestroySpatialReference(projected);
  }
  void degrees(double x, double y, double *lat, double *lon) const {
    OCTTransform(ct, 1, &x, &y, nullptr);
    *lon = x, *lat = y;
  }
};

TEST(OpenPlace, ReadoutIsPROJsPlaceOfThePointInEitherForm) {
  // Two terrains: one across the central meridian and the equator (W and S
  // read there), one in UTM zone 34N, far from its meridian.
  const struct {
    const char *projection;
    double east, north;
  } terrains[] = {{"+proj=tmerc +lat_0=0 +lon_0=0 +k=1 +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs", -40000, -40000},
                  {"EPSG:32634", 180000, 4700000},
                  {TMERC, -33000, -44960}};
  std::mt19937 r(5);
  for (const auto &t : terrains) {
    SCOPED_TRACE(t.projection);
    place_at(geo(t.projection, t.east, t.north));
    const Reference reference(t.projection);
    for (int k = 0; k < 200; k++) {
      const double e = (double)(r() % 80001), n = (double)(r() % 80001);
      double lat, lon;
      reference.degrees(t.east + e, t.north + n, &lat, &lon);
      EXPECT_EQ(place_text(lat, lon), place_readout(e, n, 0)) << e << ", " << n;
      EXPECT_EQ(place_decimal_text(lat, lon), place_readout(e, n, 1)) << e << ", " << n;
    }
  }
  // One point worked by hand from PROJ's figures: the origin of the
  // transverse Mercator is its own centre, 43N 19E.
  place_at(geo(TMERC, -1000, -1000));
  EXPECT_EQ("43\xC2\xB0" "00.0'N 19\xC2\xB0" "00.0'E", place_readout(1000, 1000, 0));
  EXPECT_EQ("43.0000\xC2\xB0N 19.0000\xC2\xB0" "E", place_readout(1000, 1000, 1));
  terrain_place = TerrainPlace();
  EXPECT_EQ("", place_readout(1000, 1000, 0));  // no place, no readout
}

// A meridian's degree from the equator and the equator's degree on WGS 84,
// as geodesy's tables give them, whatever the projection in between.
TEST(OpenPlace, GeodesicGivesTheEllipsoidsLengthsAndTrueBearings) {
  place_at(geo("+proj=tmerc +lat_0=0 +lon_0=0.5 +k=0.9996 +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs", -200000,
               -200000));
  const struct {
    double lat0, lon0, lat1, lon1, metres, azimuth;
  } cases[] = {{0, 0, 1, 0, 110574.389, 0},     {0, 0, 0, 1, 111319.491, 90},
               {1, 1, 0, 1, 110574.389, 180},   {0, 1, 0, 0, 111319.491, 270}};
  for (const auto &c : cases) {
    double e0, n0, e1, n1, metres, azimuth;
    ASSERT_TRUE(place_from_degrees(*terrain_place.place, c.lat0, c.lon0, &e0, &n0));
    ASSERT_TRUE(place_from_degrees(*terrain_place.place, c.lat1, c.lon1, &e1, &n1));
    ASSERT_TRUE(place_geodesic(*terrain_place.place, e0, n0, e1, n1, &metres, &azimuth));
    EXPECT_NEAR(c.metres, metres, 0.01) << c.lat1 << ", " << c.lon1;
    EXPECT_NEAR(c.azimuth, azimuth, 1e-6) << c.lat1 << ", " << c.lon1;
    // The grid's length differs by the projection's scale, here 0.04 % less.
    EXPECT_NEAR(metres * 0.9996, std::hypot(e1 - e0, n1 - n0), 0.0005 * metres);
  }
  terrain_place = TerrainPlace();
}

// The opening reads the file beside the tile map: none, one that will do
// and one that will not, whose note names it; each opening drops the last
// one's place.
TEST(OpenPlace, OpeningReadsTheGeoFileOrNotesWhyItCannot) {
  TempDir dir;
  const struct {
    const char *geo_text;  // null: no file
    bool placed;
    const char *note;  // part of the opening's note
  } cases[] = {{nullptr, false, nullptr},
               {"Projection=EPSG:32634\nOrigin=500000, 4700000\n", true, nullptr},
               {"Projection=EPSG:4326\nOrigin=0, 0\n", false, "T_GEO.ini: Projection is not projected"},
               {"Projection=EPSG:32634\n", false, "T_GEO.ini: "},
               {"Projection=EPSG:32634\nOrigin=500000, 4700000\n", true, nullptr}};
  const std::string tfd = dir.file("T.TFD");
  NewTerrain t = {4, 3, 1, 0, nullptr, 0};
  NewTerrainFailure failure;
  ASSERT_EQ(NEW_TERRAIN_WRITTEN, write_new_terrain(tfd.c_str(), t, &failure));
  for (const auto &c : cases) {
    SCOPED_TRACE(c.geo_text ? c.geo_text : "no file");
    if (c.geo_text) write_text(dir.file("T_GEO.ini"), c.geo_text);
    else unlink(dir.file("T_GEO.ini").c_str());
    reset_program_state();
    snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", tfd.c_str());
    OpenReport report;
    ASSERT_EQ(OPEN_DONE, open_terrain_files(0, nullptr, &report));
    EXPECT_EQ(c.placed, terrain_place.place != nullptr);
    bool noted = false;
    for (int i = 0; i < report.warning_count; i++)
      if (report.subjects[i] == SUBJECT_PLACE) {
        noted = true;
        EXPECT_EQ(WARNING_NOTE, report.warnings[i].kind);
        EXPECT_NE(nullptr, strstr(report.warnings[i].message, c.note ? c.note : "?")) << report.warnings[i].message;
      }
    EXPECT_EQ(c.note != nullptr, noted);
    if (c.placed) {
      double lat, lon;
      ASSERT_TRUE(place_to_degrees(*terrain_place.place, 0, 0, &lat, &lon));
      // gdaltransform -s_srs EPSG:32634 -t_srs "+proj=longlat +datum=WGS84": 21 42.4523309607672
      EXPECT_NEAR(42.4523309607672, lat, 1e-9);
      EXPECT_NEAR(21.0, lon, 1e-9);
    }
  }
  terrain_place = TerrainPlace();
}

}  // namespace
