// The terrain on the Earth: elevation models made here through GDAL from a
// surface whose height is known everywhere, warped onto terrains placed by
// a _GEO.ini; the place checked against PROJ's own transformation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cpl_conv.h>
#include <functional>
#include <gdal.h>
#include <gdal_alg.h>
#include <ogr_srs_api.h>
#include <random>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

#include "document/dem_import.h"
#include "document/height_import.h"
#include "document/new_terrain.h"
#include "files/geo_file.h"
#include "geo/degrees_text.h"
#include "geo/dem_warp.h"
#include "geo/geotiff_file.h"
#include "geo/terrain_place.h"
#include "harness.h"

namespace {

// The terrain: 10 x 10 tiles in UTM zone 34N, its south-west corner at
// 500 km east, 4700 km north (near 42.4N 21E).
const char *const UTM = "EPSG:32634";
const double ORIGIN_E = 500000, ORIGIN_N = 4700000, SIDE = 20000;
const int SAMPLES = 40;

// The surface, in the terrain's metres: from below the sea to above 9999
// across the terrain, smooth enough that a cell's mean is its centre's
// height within a few metres.
double surface(double east, double north) {
  return 5000 - 6000 * std::cos(M_PI * east / SIDE) + 300 * std::sin(2 * M_PI * north / SIDE);
}

struct Srs {
  OGRSpatialReferenceH h;
  explicit Srs(const char *text) : h(OSRNewSpatialReference(nullptr)) {
    OSRSetFromUserInput(h, text);
    OSRSetAxisMappingStrategy(h, OAMS_TRADITIONAL_GIS_ORDER);
  }
  ~Srs() { OSRDestroySpatialReference(h); }
};

// PROJ's own way from a CRS into the terrain's UTM metres.
struct ToUtm {
  Srs from, to{UTM};
  OGRCoordinateTransformationH ct;
  explicit ToUtm(const char *srs) : from(srs), ct(OCTNewCoordinateTransformation(from.h, to.h)) {}
  ~ToUtm() { OCTDestroyCoordinateTransformation(ct); }
  void operator()(double *x, double *y) const { OCTTransform(ct, 1, x, y, nullptr); }
};

// A GeoTIFF of the surface: columns x rows pixels of size cell from
// (x0, y0) at the top-left, in srs; pixels in void (given as pixel
// column, row) get -32768.
void write_dem(const std::string &path, const char *srs, double x0, double y0, double cell, int columns, int rows,
               const std::function<bool(int, int)> &is_void = nullptr, GDALDataType type = GDT_Float32) {
  start_geo_library();
  const ToUtm to_utm(srs);
  GDALDatasetH d = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), columns, rows, 1, type, nullptr);
  ASSERT_NE(nullptr, d);
  double gt[6] = {x0, cell, 0, y0, 0, -cell};
  GDALSetGeoTransform(d, gt);
  char *wkt = nullptr;
  OSRExportToWkt(to_utm.from.h, &wkt);
  GDALSetProjection(d, wkt);
  CPLFree(wkt);
  GDALRasterBandH band = GDALGetRasterBand(d, 1);
  GDALSetRasterNoDataValue(band, -32768);
  std::vector<float> row((size_t)columns);
  for (int r = 0; r < rows; r++) {
    for (int c = 0; c < columns; c++) {
      double x = x0 + (c + 0.5) * cell, y = y0 - (r + 0.5) * cell;
      to_utm(&x, &y);
      row[c] = is_void && is_void(c, r) ? -32768.0f : (float)surface(x - ORIGIN_E, y - ORIGIN_N);
    }
    ASSERT_EQ(CE_None, GDALRasterIO(band, GF_Write, 0, r, columns, 1, row.data(), columns, 1, GDT_Float32, 0, 0));
  }
  GDALClose(d);
}

// A 10 x 10 terrain placed in UTM, heights 0 until imported.
std::string placed_terrain(const TempDir &dir, const std::string &name = "T") {
  const std::string tfd = dir.file(name + ".TFD");
  NewTerrain t = {10, 10, 1, 0, nullptr, 0};
  GeoFile geo;
  geo.projection = UTM;
  geo.origin_east = ORIGIN_E;
  geo.origin_north = ORIGIN_N;
  const std::string text = geo_file_text(geo);
  t.geo_ini = text.c_str();
  t.geo_ini_size = (long)text.size();
  NewTerrainFailure failure;
  EXPECT_EQ(NEW_TERRAIN_WRITTEN, write_new_terrain(tfd.c_str(), t, &failure));
  return tfd;
}

// Sample i, j of a height map file (j from the south).
int sample(const std::vector<unsigned char> &hfd, int i, int j) {
  const size_t at = 16 + 2 * ((size_t)j * SAMPLES + i);
  return hfd[at] | hfd[at + 1] << 8;
}

double clamped_surface_at(int i, int j) {
  return std::min(9999.0, std::max(0.0, surface(500 * (i + 0.5), 500 * (j + 0.5))));
}

// The geographic model: 0.001 degrees (about 80 x 110 m) over the terrain and beyond.
const double GEO_W = 20.95, GEO_N = 42.65, GEO_CELL = 0.001;
const int GEO_COLUMNS = 350, GEO_ROWS = 300;

}  // namespace

TEST(Geo, ModelsInEitherProjectionGiveTheSurfaceAtEverySampleWithVoidsFilledAndRangeCounted) {
  TempDir dir;
  const std::string tfd = placed_terrain(dir);
  struct Case {
    const char *what, *srs;
    double x0, y0, cell;
    int columns, rows;
  };
  const Case cases[] = {
      {"geographic", "EPSG:4326", GEO_W, GEO_N, GEO_CELL, GEO_COLUMNS, GEO_ROWS},
      {"projected", UTM, ORIGIN_E - 1000, ORIGIN_N + SIDE + 1000, 100, 220, 220},
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.what);
    const std::string dem = dir.file(std::string(k.what) + ".tif");
    // A void of some 2 km in the middle of the terrain, wider than a cell.
    write_dem(dem, k.srs, k.x0, k.y0, k.cell, k.columns, k.rows,
              [&](int c, int r) { return std::abs(c - k.columns / 2) < 10 && std::abs(r - k.rows / 2) < 10; });
    double void_e = k.x0 + (k.columns / 2 + 0.5) * k.cell, void_n = k.y0 - (k.rows / 2 + 0.5) * k.cell;
    ToUtm(k.srs)(&void_e, &void_n);
    void_e -= ORIGIN_E, void_n -= ORIGIN_N;
    const DemImport im = import_dems({dem}, tfd.c_str(), nullptr, nullptr);
    ASSERT_EQ(IMPORT_WRITTEN, im.outcome) << im.why;
    EXPECT_EQ("average", im.counts.resampling);  // finer than 500 m
    EXPECT_GT(im.counts.voids_filled, 0);
    EXPECT_EQ(0, im.counts.voids_left);
    EXPECT_EQ(0, im.counts.uncovered);
    const std::vector<unsigned char> hfd = read_file(dir.file("T.hfd"));
    ASSERT_EQ(16u + 2 * SAMPLES * SAMPLES, hfd.size());
    long long below = 0, above = 0;
    for (int j = 0; j < SAMPLES; j++)
      for (int i = 0; i < SAMPLES; i++) {
        const double want = surface(500 * (i + 0.5), 500 * (j + 0.5));
        below += want < -5, above += want > 10004;
        // Filled voids come from their edges, and the mean of a cell the
        // void cuts is that of the rest: only a rough height there.
        const bool filled = std::fabs(500 * (i + 0.5) - void_e) < 2000 && std::fabs(500 * (j + 0.5) - void_n) < 2000;
        EXPECT_NEAR(clamped_surface_at(i, j), sample(hfd, i, j), filled ? 600 : 12) << i << ", " << j;
      }
    // The counts hold the samples the surface puts out of range, give or
    // take those within a few metres of the limits.
    EXPECT_NEAR((double)below, (double)im.counts.below, 8);
    EXPECT_NEAR((double)above, (double)im.counts.above, 8);
    EXPECT_GT(im.counts.below, 0);
    EXPECT_GT(im.counts.above, 0);
  }
}

TEST(Geo, OverlappingTilesGiveTheSameBytesAsTheWholeModel) {
  TempDir dir;
  const std::string tfd = placed_terrain(dir);
  const std::string whole = dir.file("whole.tif");
  auto voids = [](int c, int r) { return c > 100 && c < 110 && r > 120 && r < 125; };
  write_dem(whole, "EPSG:4326", GEO_W, GEO_N, GEO_CELL, GEO_COLUMNS, GEO_ROWS, voids);
  for (const char *method : {"average", "bilinear", "cubic"}) {
    SCOPED_TRACE(method);
    ASSERT_EQ(IMPORT_WRITTEN, import_dems({whole}, tfd.c_str(), method, nullptr).outcome);
    const std::vector<unsigned char> from_whole = read_file(dir.file("T.hfd"));
    // Four tiles overlapping by 20 pixels, each written from the same surface.
    std::vector<std::string> tiles;
    const int half_c = GEO_COLUMNS / 2, half_r = GEO_ROWS / 2, overlap = 10;
    for (int t = 0; t < 4; t++) {
      const int c0 = t % 2 ? half_c - overlap : 0, r0 = t / 2 ? half_r - overlap : 0;
      const int c1 = t % 2 ? GEO_COLUMNS : half_c + overlap, r1 = t / 2 ? GEO_ROWS : half_r + overlap;
      tiles.push_back(dir.file("tile" + std::to_string(t) + ".tif"));
      write_dem(tiles.back(), "EPSG:4326", GEO_W + c0 * GEO_CELL, GEO_N - r0 * GEO_CELL, GEO_CELL, c1 - c0, r1 - r0,
                [&](int c, int r) { return voids(c + c0, r + r0); });
    }
    const DemImport im = import_dems(tiles, tfd.c_str(), method, nullptr);
    ASSERT_EQ(IMPORT_WRITTEN, im.outcome) << im.why;
    EXPECT_EQ(from_whole, read_file(dir.file("T.hfd")));
  }
}

TEST(Geo, UncoveredSamplesAreZeroAndCountedAndATerrainNoModelCoversIsRefused) {
  TempDir dir;
  const std::string tfd = placed_terrain(dir);
  // The western half of the terrain only, in its own metres.
  const std::string west = dir.file("west.tif");
  write_dem(west, UTM, ORIGIN_E - 1000, ORIGIN_N + SIDE + 1000, 100, 110, 220);
  const DemImport im = import_dems({west}, tfd.c_str(), "bilinear", nullptr);
  ASSERT_EQ(IMPORT_WRITTEN, im.outcome) << im.why;
  const std::vector<unsigned char> hfd = read_file(dir.file("T.hfd"));
  long long zero_east = 0;
  for (int j = 0; j < SAMPLES; j++)
    for (int i = 20; i < SAMPLES; i++) zero_east += sample(hfd, i, j) == 0;
  EXPECT_EQ(20 * SAMPLES, zero_east);
  EXPECT_EQ(20 * SAMPLES, im.counts.uncovered);
  EXPECT_NEAR(clamped_surface_at(5, 5), sample(hfd, 5, 5), 12);

  // Far away: nothing is written, the old heights stay.
  const std::string far = dir.file("far.tif");
  write_dem(far, "EPSG:4326", 10, 50, 0.01, 20, 20);
  const DemImport refused = import_dems({far}, tfd.c_str(), nullptr, nullptr);
  EXPECT_EQ(IMPORT_REFUSED, refused.outcome);
  EXPECT_NE(std::string::npos, refused.why.find("no elevation model covers")) << refused.why;
  EXPECT_EQ(hfd, read_file(dir.file("T.hfd")));

  // A text grid cut short is refused at once: its reader would look for
  // each row through all the rows before it, failing over and over.
  write_text(dir.file("short.asc"), "ncols 12\nnrows 243\nxllcorner 499000\nyllcorner 4999000\ncellsize 600\n"
                                    "1 2 3 4 5 6 7 8 9 10 11 12\n1 2 3\n");
  {
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    char *wkt = nullptr;
    ASSERT_EQ(OGRERR_NONE, OSRSetFromUserInput(srs, UTM));
    OSRExportToWkt(srs, &wkt);
    write_text(dir.file("short.prj"), wkt);
    CPLFree(wkt);
    OSRDestroySpatialReference(srs);
  }
  const DemImport cut = import_dems({dir.file("short.asc")}, tfd.c_str(), nullptr, nullptr);
  EXPECT_EQ(IMPORT_REFUSED, cut.outcome);
  EXPECT_NE(std::string::npos, cut.why.find("short.asc: cannot be read whole")) << cut.why;
  EXPECT_EQ(hfd, read_file(dir.file("T.hfd")));

  // Without a place there is nothing to warp onto.
  const std::string lost = dir.file("Lost.TFD");
  NewTerrain t = {2, 2, 1, 0, nullptr, 0};
  NewTerrainFailure failure;
  ASSERT_EQ(NEW_TERRAIN_WRITTEN, write_new_terrain(lost.c_str(), t, &failure));
  const DemImport unplaced = import_dems({west}, lost.c_str(), nullptr, nullptr);
  EXPECT_EQ(IMPORT_REFUSED, unplaced.outcome);
  EXPECT_NE(std::string::npos, unplaced.why.find("Lost_GEO.ini does not exist")) << unplaced.why;
}

// A model without voids is warped without masks, one with a void with
// them: both give the same bytes beyond the void's reach and count the
// same samples beyond the model, in every resampling and cell type.
TEST(Geo, AModelWithoutVoidsGivesTheBytesOfOneWithAVoidAwayFromIt) {
  TempDir dir;
  const std::string tfd = placed_terrain(dir);
  const std::string plain = dir.file("plain.tif"), holed = dir.file("holed.tif");
  for (const GDALDataType type : {GDT_Float32, GDT_Int16}) {
    for (const char *method : {"average", "bilinear", "cubic"}) {
      SCOPED_TRACE(std::string(method) + (type == GDT_Int16 ? ", Int16" : ", Float32"));
      write_dem(plain, UTM, ORIGIN_E - 1000, ORIGIN_N + SIDE + 1000, 100, 110, 220, nullptr, type);
      write_dem(holed, UTM, ORIGIN_E - 1000, ORIGIN_N + SIDE + 1000, 100, 110, 220,
                [](int c, int r) { return std::abs(c - 50) < 8 && std::abs(r - 100) < 8; }, type);
      const DemImport a = import_dems({plain}, tfd.c_str(), method, nullptr);
      ASSERT_EQ(IMPORT_WRITTEN, a.outcome) << a.why;
      const std::vector<unsigned char> from_plain = read_file(dir.file("T.hfd"));
      const DemImport b = import_dems({holed}, tfd.c_str(), method, nullptr);
      ASSERT_EQ(IMPORT_WRITTEN, b.outcome) << b.why;
      EXPECT_EQ(0, a.counts.voids_filled);
      EXPECT_GT(b.counts.voids_filled, 0);
      EXPECT_EQ(a.counts.uncovered, b.counts.uncovered);
      const std::vector<unsigned char> from_holed = read_file(dir.file("T.hfd"));
      // The void's middle: pixel 50, 100, 4050 m east and 10950 m north of the corner.
      for (int j = 0; j < SAMPLES; j++)
        for (int i = 0; i < SAMPLES; i++) {
          if (std::hypot(500 * (i + 0.5) - 4050, 500 * (j + 0.5) - 10950) < 2500) continue;
          ASSERT_EQ(sample(from_plain, i, j), sample(from_holed, i, j)) << i << ", " << j;
        }
    }
  }
}

TEST(Geo, AGeoTiffOfTheHeightsImportsBackByteForByte) {
  TempDir dir;
  const std::string tfd = placed_terrain(dir);
  const std::string dem = dir.file("dem.tif");
  write_dem(dem, "EPSG:4326", GEO_W, GEO_N, GEO_CELL, GEO_COLUMNS, GEO_ROWS);
  ASSERT_EQ(IMPORT_WRITTEN, import_dems({dem}, tfd.c_str(), nullptr, nullptr).outcome);
  const std::vector<unsigned char> hfd = read_file(dir.file("T.hfd"));
  GeoFile geo;
  ASSERT_EQ(0, load_geo_file(dir.file("T_GEO.ini").c_str(), &geo));
  std::string why;
  GeoPlacePtr place = make_geo_place(geo, &why);
  ASSERT_TRUE(place) << why;
  // Rows from the north, as a picture holds them.
  auto row = [](void *context, int y, uint16_t *out) {
    const auto &file = *(const std::vector<unsigned char> *)context;
    for (int x = 0; x < SAMPLES; x++) out[x] = (uint16_t)sample(file, x, SAMPLES - 1 - y);
  };
  const HeightRows rows = {SAMPLES, SAMPLES, 500, row, (void *)&hfd};
  const std::string tif = dir.file("heights.tif");
  ASSERT_EQ(0, write_height_geotiff(tif.c_str(), *place, rows, &why)) << why;
  for (const char *method : {"", "bilinear", "average", "cubic"}) {
    write_file(dir.file("T.hfd"), std::vector<unsigned char>(hfd.size(), 0));
    const DemImport back = import_dems({tif}, tfd.c_str(), method, nullptr);
    ASSERT_EQ(IMPORT_WRITTEN, back.outcome) << back.why;
    EXPECT_EQ(hfd, read_file(dir.file("T.hfd"))) << method;
  }
}

TEST(Geo, ThePlaceAgreesWithProjsOwnTransformationBothWays) {
  std::mt19937 random(47);
  struct Case {
    const char *projection;
    double east, north;
  };
  const Case cases[] = {{UTM, ORIGIN_E, ORIGIN_N},
                        {"+proj=lcc +lat_0=45 +lon_0=10 +lat_1=40 +lat_2=50 +datum=WGS84 +units=m", -400000, -300000}};
  for (const Case &k : cases) {
    GeoFile geo;
    geo.projection = k.projection;
    geo.origin_east = k.east;
    geo.origin_north = k.north;
    std::string why;
    GeoPlacePtr place = make_geo_place(geo, &why);
    ASSERT_TRUE(place) << why;
    const ToUtm reference(k.projection);  // only its source CRS is used below
    Srs degrees("EPSG:4326");
    OGRCoordinateTransformationH ct = OCTNewCoordinateTransformation(reference.from.h, degrees.h);
    std::uniform_real_distribution<double> metres(0, 8000000);
    for (int n = 0; n < 200; n++) {
      const double e = metres(random) / 10, no = metres(random) / 10;
      double lon = k.east + e, lat = k.north + no;
      ASSERT_TRUE(OCTTransform(ct, 1, &lon, &lat, nullptr));
      double got_lat, got_lon, back_e, back_n;
      ASSERT_TRUE(place_to_degrees(*place, e, no, &got_lat, &got_lon));
      EXPECT_NEAR(lat, got_lat, 1e-9);
      EXPECT_NEAR(lon, got_lon, 1e-9);
      ASSERT_TRUE(place_from_degrees(*place, lat, lon, &back_e, &back_n));
      EXPECT_NEAR(e, back_e, 1e-4);
      EXPECT_NEAR(no, back_n, 1e-4);
    }
    OCTDestroyCoordinateTransformation(ct);
  }
}

TEST(Geo, ScaleErrorFollowsTheTransverseMercatorsGrowthAndTheAreasProjectionKeepsItSmall) {
  // A terrain from the central meridian to 500 km east of it: x^2 / 2R^2.
  GeoFile geo;
  geo.projection = "+proj=tmerc +lat_0=0 +lon_0=0 +k=1 +datum=WGS84 +units=m";
  geo.origin_north = 0;
  std::string why;
  GeoPlacePtr place = make_geo_place(geo, &why);
  ASSERT_TRUE(place) << why;
  const double error = place_corner_scale_error(*place, 500000, 2000);
  EXPECT_NEAR(500000.0 * 500000 / (2 * 6371000.0 * 6371000), error, 2e-4);
  EXPECT_EQ("scale at the corners within 0.4 %", scale_error_text(error));
  // Wide areas get a conic, narrow ones a transverse Mercator on their centre.
  EXPECT_NE(std::string::npos, projection_for_area(40, 10, 44, 14).find("+proj=tmerc +lat_0=42 +lon_0=12"));
  const std::string wide = projection_for_area(30, -20, 60, 40);
  EXPECT_NE(std::string::npos, wide.find("+proj=lcc")) << wide;
  EXPECT_NE(std::string::npos, wide.find("+lat_1=35 +lat_2=55")) << wide;
}

TEST(Geo, NewTerrainOfAnAreaIsPlacedCentredOnItWithHeightsFromTheModels) {
  TempDir dir;
  const std::string dem = dir.file("dem.tif");
  write_dem(dem, "EPSG:4326", 20.5, 43, 0.002, 500, 400);
  AreaTerrain area;
  area.south = 42.5, area.west = 21, area.north = 42.7, area.east = 21.3;
  const std::string tfd = dir.file("Area.TFD");
  const AreaResult r = write_area_terrain(tfd.c_str(), area, {dem}, nullptr);
  ASSERT_EQ(AREA_WRITTEN, r.outcome) << r.why;
  // 0.3 degrees at 42.5N is 24.6 km: 13 tiles; 0.2 degrees north is 22.2 km: 12.
  EXPECT_EQ(13, r.columns);
  EXPECT_EQ(12, r.rows);
  GeoFile geo;
  ASSERT_EQ(0, load_geo_file(dir.file("Area_GEO.ini").c_str(), &geo));
  std::string why;
  GeoPlacePtr place = make_geo_place(geo, &why);
  ASSERT_TRUE(place) << why;
  double lat, lon;
  ASSERT_TRUE(place_to_degrees(*place, 13000, 12000, &lat, &lon));
  EXPECT_NEAR(42.6, lat, 0.001);
  EXPECT_NEAR(21.15, lon, 0.001);
  EXPECT_EQ(16u + 2 * 52 * 48, read_file(dir.file("Area.hfd")).size());
  // A second time every name is taken: refused before anything is warped.
  const AreaResult again = write_area_terrain(tfd.c_str(), area, {dem}, nullptr);
  EXPECT_EQ(AREA_REFUSED, again.outcome);
  EXPECT_NE(std::string::npos, again.why.find("exists already")) << again.why;
}

TEST(Geo, PlacesAreReadAsTypedAndWrittenToATenthOfAMinute) {
  struct Row {
    const char *text;
    bool ok;
    double lat, lon;
  };
  const Row rows[] = {
      {"43.2N 19.1E", true, 43.2, 19.1},
      {"43\xC2\xB0" "12'N 19\xC2\xB0" "06'E", true, 43.2, 19.1},
      {"19.1E, 43.2N", true, 43.2, 19.1},
      {"43 12.5 s 19d30 w", true, -(43 + 12.5 / 60), -19.5},
      {"43.2N 19.1N", false, 0, 0},
      {"43.2 19.1", false, 0, 0},
      {"43\xC2\xB0" "60'N 19E", false, 0, 0},
      {"95N 19E", false, 0, 0},
      {"43.2N 19.1E x", false, 0, 0},
      {"1e1N 19E", false, 0, 0},
  };
  for (const Row &r : rows) {
    double lat = 0, lon = 0;
    EXPECT_EQ(r.ok, parse_place(r.text, &lat, &lon)) << r.text;
    if (!r.ok) continue;
    EXPECT_NEAR(r.lat, lat, 1e-9) << r.text;
    EXPECT_NEAR(r.lon, lon, 1e-9) << r.text;
  }
  EXPECT_EQ("43\xC2\xB0" "12.3'N 19\xC2\xB0" "05.6'E", place_text(43.205, 19.0933));
  EXPECT_EQ("0*00.0'S 180*00.0'W", place_text(-0.0000001, -179.99999, "*"));
  // What is written reads back within the twentieth of a minute it was rounded to.
  std::mt19937 random(5);
  std::uniform_real_distribution<double> lat(-90, 90), lon(-180, 180);
  for (int n = 0; n < 500; n++) {
    const double a = lat(random), b = lon(random);
    double got_a, got_b;
    const std::string text = place_text(a, b);
    ASSERT_TRUE(parse_place(text.c_str(), &got_a, &got_b)) << text;
    EXPECT_NEAR(a, got_a, 0.05 / 60 + 1e-12) << text;
    EXPECT_NEAR(b, got_b, 0.05 / 60 + 1e-12) << text;
  }
}

TEST(Geo, TheGeoFileReadsBackWhatIsWrittenAndNamesWhatIsWrong) {
  GeoFile geo;
  geo.projection = "+proj=tmerc +lon_0=19.5 +datum=WGS84";
  geo.origin_east = -123456.25;
  geo.origin_north = 4700000.125;
  const std::string text = geo_file_text(geo);
  GeoFile back;
  ASSERT_EQ(0, read_geo_text(text.c_str(), (long)text.size(), &back));
  EXPECT_EQ(geo.projection, back.projection);
  EXPECT_EQ(geo.origin_east, back.origin_east);
  EXPECT_EQ(geo.origin_north, back.origin_north);
  const struct {
    const char *text, *problem;
  } wrong[] = {{"Origin=1, 2\n", "no Projection"},
               {"Projection=EPSG:32634\n", "no Origin"},
               {"Projection=EPSG:32634\r\nOrigin=1 2\r\n", "line 2: Origin takes E, N"},
               {"[Other]\nProjection=EPSG:32634\nOrigin=1, 2\n", "no Projection"}};
  for (const auto &w : wrong) {
    EXPECT_EQ(RESULT_BAD_DATA, read_geo_text(w.text, (long)strlen(w.text), &back)) << w.text;
    ASSERT_FALSE(back.problems.empty());
    EXPECT_NE(std::string::npos, back.problems[0].find(w.problem)) << back.problems[0];
  }
  std::string why;
  back.projection = "EPSG:4326";
  EXPECT_FALSE(make_geo_place(back, &why));
  EXPECT_NE(std::string::npos, why.find("not projected")) << why;
}

// A _GEO.ini comes with a terrain from anywhere: its projection is taken
// as text alone, never as the name of a file to read or a place to fetch.
TEST(Geo, AProjectionNamesNoFileAndNoAddress) {
  TempDir dir;
  const std::string prj = dir.file("utm.prj");
  {
    Srs utm(UTM);
    char *wkt = nullptr;
    OSRExportToWkt(utm.h, &wkt);
    write_text(prj, wkt);
    CPLFree(wkt);
  }
  for (const std::string &projection : std::vector<std::string>{prj, "http://127.0.0.1:9/utm.prj", "https://127.0.0.1:9/x"}) {
    GeoFile geo;
    geo.projection = projection;
    std::string why;
    EXPECT_FALSE(make_geo_place(geo, &why)) << projection;
    EXPECT_NE(std::string::npos, why.find("Projection is not one PROJ knows")) << why;
  }
  GeoFile geo;
  geo.projection = UTM;
  std::string why;
  EXPECT_TRUE(make_geo_place(geo, &why)) << why;
}

// A model of 40 x 40 cells of 500 m over the terrain, each cell value(k)
// (k counts row by row from the north-west).
void write_cells(const std::string &path, const std::function<float(size_t)> &value) {
  start_geo_library();
  GDALDatasetH d = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), SAMPLES, SAMPLES, 1, GDT_Float32, nullptr);
  ASSERT_NE(nullptr, d);
  double gt[6] = {ORIGIN_E, 500, 0, ORIGIN_N + SIDE, 0, -500};
  GDALSetGeoTransform(d, gt);
  const Srs utm(UTM);
  char *wkt = nullptr;
  OSRExportToWkt(utm.h, &wkt);
  GDALSetProjection(d, wkt);
  CPLFree(wkt);
  std::vector<float> cells((size_t)SAMPLES * SAMPLES);
  for (size_t k = 0; k < cells.size(); k++) cells[k] = value(k);
  ASSERT_EQ(CE_None, GDALRasterIO(GDALGetRasterBand(d, 1), GF_Write, 0, 0, SAMPLES, SAMPLES, cells.data(), SAMPLES,
                                  SAMPLES, GDT_Float32, 0, 0));
  GDALClose(d);
}

// Heights far beyond the format, either way, are brought to its ends and
// counted on their side: a float too large for a whole number is no void.
TEST(Geo, HeightsBeyondAnyWholeNumberAreClampedAndCountedOnTheirSide) {
  TempDir dir;
  const std::string tfd = placed_terrain(dir), path = dir.file("wild.tif");
  // Halves round away from 0, as std::round does, at either limit too.
  const float values[8] = {1e30f, -1e30f, 12345.6f, 2.5f, 9999.5f, 9999.4f, -0.5f, -0.4f};
  const int expected[8] = {9999, 0, 9999, 3, 9999, 9999, 0, 0};
  write_cells(path, [&](size_t k) { return values[k % 8]; });
  const DemImport im = import_dems({path}, tfd.c_str(), "average", nullptr);
  ASSERT_EQ(IMPORT_WRITTEN, im.outcome) << im.why;
  const std::vector<unsigned char> hfd = read_file(dir.file("T.hfd"));
  for (int j = 0; j < SAMPLES; j++)
    for (int i = 0; i < SAMPLES; i++) ASSERT_EQ(expected[i % 8], sample(hfd, i, j)) << i << ", " << j;
  EXPECT_EQ(SAMPLES * SAMPLES / 8 * 3, im.counts.above);
  EXPECT_EQ(SAMPLES * SAMPLES / 8 * 2, im.counts.below);
}

// Cells that hold no number (NaN, infinities), whatever void value the
// model declares, are voids too: filled from around them, not heights.
TEST(Geo, CellsThatAreNoNumberAreVoidsFilledFromAround) {
  TempDir dir;
  const std::string tfd = placed_terrain(dir), path = dir.file("nan.tif");
  write_cells(path, [](size_t k) {
    const size_t x = k % SAMPLES, y = k / SAMPLES;
    if (y == 10 && x >= 10 && x < 13) return NAN;
    return y == 20 && x >= 5 && x < 7 ? (x == 5 ? INFINITY : -INFINITY) : 700.0f;
  });
  for (const char *resampling : {"average", "bilinear"}) {
    const DemImport im = import_dems({path}, tfd.c_str(), resampling, nullptr);
    ASSERT_EQ(IMPORT_WRITTEN, im.outcome) << im.why;
    const std::vector<unsigned char> hfd = read_file(dir.file("T.hfd"));
    for (int j = 0; j < SAMPLES; j++)
      for (int i = 0; i < SAMPLES; i++) ASSERT_EQ(700, sample(hfd, i, j)) << resampling << " " << i << ", " << j;
    EXPECT_EQ(0, im.counts.below + im.counts.above + im.counts.voids_left) << resampling;
    EXPECT_LE(5, im.counts.voids_filled) << resampling;
  }
}

// The fill block by block gives every void the value GDAL's fill of the
// whole grid gives it, near a block's edge and beside the cells no model
// covers alike (a window cut short or read at the wrong place would not).
TEST(Geo, VoidsFilledBlockByBlockAsTheWholeGridFillsThem) {
  start_geo_library();
  const int columns = 1300, rows = 700;
  std::mt19937 rng(5);
  GridFloats heights((size_t)columns * rows);
  std::vector<unsigned char> kind(heights.size(), 0);
  for (int y = 0; y < rows; y++)
    for (int x = 0; x < columns; x++) {
      const size_t k = (size_t)y * columns + x;
      heights[k] = (float)(500 + 300 * std::sin(x * 0.013) * std::cos(y * 0.021) + rng() % 7);
      // Beyond the models: a wedge in the north-east.
      if (x > 800 + y) heights[k] = -32768;
    }
  // Voids: holes of every size, some touching the wedge or a block's edge.
  for (int hole = 0; hole < 60; hole++) {
    const int cx = (int)(rng() % columns), cy = (int)(rng() % rows), r = 1 + (int)(rng() % 25);
    for (int y = std::max(0, cy - r); y < std::min(rows, cy + r); y++)
      for (int x = std::max(0, cx - r); x < std::min(columns, cx + r); x++) {
        const size_t k = (size_t)y * columns + x;
        if (heights[k] == -32768) continue;
        heights[k] = -32768;
        kind[k] = 2;
      }
  }
  std::vector<float> whole(heights.begin(), heights.end());
  GDALDatasetH d = GDALCreate(GDALGetDriverByName("MEM"), "", columns, rows, 1, GDT_Float32, nullptr);
  GDALRasterBandH band = GDALGetRasterBand(d, 1);
  GDALSetRasterNoDataValue(band, -32768);
  ASSERT_EQ(CE_None, GDALRasterIO(band, GF_Write, 0, 0, columns, rows, whole.data(), columns, rows, GDT_Float32, 0, 0));
  ASSERT_EQ(CE_None, GDALFillNodata(band, nullptr, 100, 0, 0, nullptr, nullptr, nullptr));
  ASSERT_EQ(CE_None, GDALRasterIO(band, GF_Read, 0, 0, columns, rows, whole.data(), columns, rows, GDT_Float32, 0, 0));
  GDALClose(d);
  ASSERT_TRUE(fill_dem_voids(heights, columns, rows, kind, 2));
  long long voids = 0;
  for (size_t k = 0; k < heights.size(); k++) {
    if (kind[k] != 2) {
      // What no model covers stays as it is.
      ASSERT_EQ(heights[k] == -32768, (int)(k % columns) > 800 + (int)(k / columns)) << k;
      continue;
    }
    voids++;
    ASSERT_FLOAT_EQ(whole[k], heights[k]) << "void at " << k % columns << ", " << k / columns;
  }
  EXPECT_GT(voids, 5000);
}

// A large grid on huge-page bounds (the advice is lost on memory that is
// not), a small one as any; both hold what is put in them.
// The mappings of the process that the kernel flags for huge pages
// (VmFlags "hg") and that overlap [from, to).
std::vector<std::pair<uintptr_t, uintptr_t>> huge_page_mappings(uintptr_t from, uintptr_t to) {
  std::vector<std::pair<uintptr_t, uintptr_t>> found;
  FILE *smaps = fopen("/proc/self/smaps", "r");
  if (!smaps) return found;
  char line[512];
  unsigned long start = 0, end = 0;
  while (fgets(line, sizeof(line), smaps)) {
    unsigned long a, b;
    if (sscanf(line, "%lx-%lx ", &a, &b) == 2) start = a, end = b;  // a mapping's first line
    if (strncmp(line, "VmFlags:", 8) == 0 && strstr(line, " hg") && start < to && end > from) found.emplace_back(start, end);
  }
  fclose(smaps);
  return found;
}

// Advice on memory another allocator gave (a bitmap's pixels, a mapped
// buffer) marks only the whole huge pages inside it, and nothing below
// the size from which it pays.
TEST(Geo, HugePageAdviceStaysWithinItsMemory) {
  if (access("/sys/kernel/mm/transparent_hugepage/enabled", F_OK) != 0) return;  // a kernel without them
  const size_t HUGE = 2 << 20, whole = 24 << 20;
  unsigned char *mapped = (unsigned char *)mmap(nullptr, whole, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(MAP_FAILED, (void *)mapped);
  const uintptr_t from = (uintptr_t)mapped, to = from + whole;
  huge_pages_advise(mapped + 100, HUGE_PAGES_FROM - 200);
  EXPECT_TRUE(huge_page_mappings(from, to).empty());
  unsigned char *inside = mapped + 4096 + 123;
  const size_t bytes = whole - 2 * 4096 - 300;
  huge_pages_advise(inside, bytes);
  const auto marked = huge_page_mappings(from, to);
  ASSERT_EQ(1u, marked.size());
  EXPECT_EQ(0u, marked[0].first % HUGE);
  EXPECT_EQ(0u, marked[0].second % HUGE);
  EXPECT_GE(marked[0].first, (uintptr_t)inside);
  EXPECT_LE(marked[0].second, (uintptr_t)inside + bytes);
  EXPECT_GE(marked[0].second - marked[0].first, bytes - 2 * HUGE);
  munmap(mapped, whole);
}

TEST(Geo, LargeGridsLieOnHugePageBounds) {
  for (const size_t cells : {(size_t)10, (size_t)HUGE_PAGES_FROM / sizeof(float) + 3}) {
    GridFloats grid(cells, 7.5f);
    if (cells * sizeof(float) >= HUGE_PAGES_FROM) {
      EXPECT_EQ(0u, (uintptr_t)grid.data() % (2 << 20)) << cells;
    }
    grid.back() = 1;
    EXPECT_EQ(7.5f, grid.front());
    EXPECT_EQ(1.0f, grid[cells - 1]);
  }
}
