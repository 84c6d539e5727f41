// The real world's commands on a terrain placed in UTM zone 34N: land cover
// of known classes written here through GDAL, checked point by point
// against the mode computed here; places against PROJ's own
// transformation; the exports' GeoTIFFs read back; the graticule's spacing.
#include <gtest/gtest.h>

#include <cpl_conv.h>
#include <gdal.h>
#include <map>
#include <ogr_srs_api.h>
#include <proj.h>
#include <random>

#include "core/terrain_model.h"
#include "document/landcover_import.h"
#include "document/new_terrain.h"
#include "document/open_terrain.h"
#include "document/target_import.h"
#include "edit/land_grid.h"
#include "files/class_table.h"
#include "files/geo_file.h"
#include "files/land_file.h"
#include "files/target_areas.h"
#include "files/tile_map_file.h"
#include "geo/place_list.h"
#include "render/export/briefing_graticule.h"
#include "render/export/export_bitmap.h"
#include "harness.h"

namespace {

const char *const UTM = "EPSG:32634";
const double ORIGIN_E = 500000, ORIGIN_N = 4700000;
const int COLUMNS = 12, ROWS = 10;

// Two lands, every combination of their corners shown by some texture.
const char LANDS_TEXT[] =
    "[Land001]\nName=Water\nColor=40,90,170\n[Land002]\nName=Grass\nColor=90,160,60\n"
    "[Texture001]\nCorners=Water,Water,Water,Water\n[Texture002]\nCorners=Grass,Grass,Grass,Grass\n"
    "[Texture003]\nCorners=Water,Water,Grass,Grass\n[Texture004]\nCorners=Water,Grass,Grass,Grass\n"
    "[Texture005]\nCorners=Grass,Water,Water,Water\n[Texture006]\nCorners=Water,Grass,Water,Grass\n";

std::string placed_terrain(const TempDir &dir, int height = 0) {
  const std::string tfd = dir.file("T.TFD");
  NewTerrain t = {COLUMNS, ROWS, 1, height, nullptr, 0};
  GeoFile geo;
  geo.projection = UTM;
  geo.origin_east = ORIGIN_E;
  geo.origin_north = ORIGIN_N;
  const std::string text = geo_file_text(geo);
  t.geo_ini = text.c_str();
  t.geo_ini_size = (long)text.size();
  NewTerrainFailure failure;
  EXPECT_EQ(NEW_TERRAIN_WRITTEN, write_new_terrain(tfd.c_str(), t, &failure));
  write_text(dir.file("T_LANDS.ini"), LANDS_TEXT);
  return tfd;
}

// A byte raster in UTM: pixels[row * columns + column], the north row first.
void write_classes(const std::string &path, double west, double north, double cell, int columns, int rows,
                   const std::vector<uint8_t> &pixels, int nodata) {
  start_geo_library();
  GDALDatasetH d = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), columns, rows, 1, GDT_Byte, nullptr);
  ASSERT_NE(nullptr, d);
  double gt[6] = {west, cell, 0, north, 0, -cell};
  GDALSetGeoTransform(d, gt);
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  OSRSetFromUserInput(srs, UTM);
  char *wkt = nullptr;
  OSRExportToWkt(srs, &wkt);
  GDALSetProjection(d, wkt);
  CPLFree(wkt);
  OSRDestroySpatialReference(srs);
  GDALRasterBandH band = GDALGetRasterBand(d, 1);
  GDALSetRasterNoDataValue(band, nodata);
  ASSERT_EQ(CE_None, GDALRasterIO(band, GF_Write, 0, 0, columns, rows, (void *)pixels.data(), columns, rows, GDT_Byte, 0, 0));
  GDALClose(d);
}

// The land of corner point (x, y) as the tile map read back says.
int point_land(int x, int y) { return land_point(x, y); }

}  // namespace

TEST(ClassTable, GoodLinesAreTakenAndEachBadOneIsNamedByItsLine) {
  struct Case {
    const char *text;
    int result;
    size_t entries;
    const char *problem;  // a part of the first problem, or ""
  } cases[] = {
      {"[Classes]\n10=Forest\n80 = Water\n", 0, 2, ""},
      {"[classes]\r\n-5=Sand\r\n", 0, 1, ""},
      {"10=Forest\n[Classes]\n80=Water\n", RESULT_BAD_DATA, 1, "line 1: 10 comes before [Classes]"},
      {"[Classes]\n8x=Forest\n80=Water\n", RESULT_BAD_DATA, 1, "line 2: 8x is not a whole number"},
      {"[Classes]\n80=\n10=Grass\n", RESULT_BAD_DATA, 1, "line 2: 80 names no land"},
      {"[Classes]\n80=Water\n# a comment\n80=Grass\n", RESULT_BAD_DATA, 1, "line 4: class 80 is given on line 2"},
      {"[Other]\n1=Water\n[Classes]\n2=Grass\n", RESULT_BAD_DATA, 1, "line 1: [Other] is not read"},
      {"[Classes]\n1=" "0123456789012345678901234567890123456789012345678901234567890123\n", RESULT_NOTHING_READ, 0,
       "longer than 63"},
      {"", RESULT_NOTHING_READ, 0, ""},
  };
  for (const Case &k : cases) {
    ClassTable table;
    EXPECT_EQ(k.result, read_class_text(k.text, (long)strlen(k.text), &table)) << k.text;
    EXPECT_EQ(k.entries, table.entries.size()) << k.text;
    if (k.problem[0]) {
      ASSERT_FALSE(table.problems.empty()) << k.text;
      EXPECT_NE(std::string::npos, table.problems[0].find(k.problem)) << table.problems[0];
    } else {
      EXPECT_TRUE(table.problems.empty()) << k.text;
    }
  }
}

// Each point's cell is 4 x 4 of the raster's 500 m pixels: its mode, over
// the pixels that are not nodata, is computed here and must be the point's
// land; ties are left unchecked. With the sea, points whose samples are
// all at 0 m are Water whatever their class.
TEST(LandCover, EveryPointTakesTheModeOfItsCellAndTheSeaTakesThePointsAtZero) {
  for (const bool sea : {false, true}) {
    TempDir dir;
    const std::string tfd = placed_terrain(dir, 100);
    // The west three tile columns at 0 m: points x 0..2 have only 0 m samples.
    std::vector<unsigned char> hfd = read_file(dir.file("T.hfd"));
    for (int j = 0; j < 4 * ROWS; j++)
      for (int i = 0; i < 12; i++) hfd[16 + 2 * ((size_t)j * 4 * COLUMNS + i)] = hfd[17 + 2 * ((size_t)j * 4 * COLUMNS + i)] = 0;
    write_file(dir.file("T.hfd"), hfd);
    const int pc = COLUMNS + 1, pr = ROWS + 1, w = 4 * pc, h = 4 * pr;
    const int NODATA = 255, values[4] = {10, 80, 50, NODATA};  // 50: a class the table lacks
    std::mt19937 random(sea ? 7 : 3);
    std::vector<uint8_t> pixels((size_t)w * h);
    for (int py = 0; py < pr; py++)
      for (int px = 0; px < pc; px++) {
        const int dominant = values[random() % 4];
        for (int k = 0; k < 16; k++)
          pixels[(size_t)(4 * py + k / 4) * w + 4 * px + k % 4] = (uint8_t)(random() % 10 < 6 ? dominant : values[random() % 4]);
      }
    write_classes(dir.file("cover.tif"), ORIGIN_E - 1000, ORIGIN_N + 2000 * ROWS + 1000, 500, w, h, pixels, NODATA);
    write_text(dir.file("classes.ini"), "[Classes]\n10=Grass\n80=Water\n");
    const LandCoverImport im =
        import_landcover({dir.file("cover.tif").c_str(), tfd.c_str(), dir.file("classes.ini").c_str(), sea ? "water" : nullptr}, nullptr);
    ASSERT_EQ(LAND_IMPORT_WRITTEN, im.lands.outcome) << im.lands.why;
    long long counted = im.no_class;
    for (const ClassCount &c : im.taken) counted += c.points;
    for (const ClassCount &c : im.unlisted) counted += c.points;
    EXPECT_EQ((long long)pc * pr, counted);
    ASSERT_EQ(1u, im.unlisted.size());
    EXPECT_EQ(50, im.unlisted[0].value);
    EXPECT_EQ(sea ? 3LL * pr : 0LL, im.sea_points);

    ASSERT_EQ(RESULT_OK, load_tile_map(tfd.c_str(), nullptr));
    load_land_file(dir.file("T_LANDS.ini").c_str());
    read_land_grid();
    int checked = 0;
    for (int py = 0; py < pr; py++)
      for (int px = 0; px < pc; px++) {
        std::map<int, int> count;
        for (int k = 0; k < 16; k++) {
          const int v = pixels[(size_t)(4 * py + k / 4) * w + 4 * px + k % 4];
          if (v != NODATA) count[v]++;
        }
        int best = -1, most = 0, ties = 0;
        for (const auto &c : count) {
          if (c.second > most) best = c.first, most = c.second, ties = 0;
          else if (c.second == most) ties++;
        }
        // Water (the new terrain's texture 1) stays where nothing is said.
        int want = best == 10 ? 2 : 1;
        if (sea && px <= 2) want = 1;
        else if (ties) continue;
        EXPECT_EQ(want, point_land(px, py)) << "point " << px << ", " << py << " mode " << best;
        checked++;
      }
    EXPECT_GT(checked, pc * pr * 2 / 3);
  }
}

TEST(LandCover, ATerrainWithoutAPlaceOrATableWithoutClassesIsRefusedAndLeftAsItIs) {
  TempDir dir;
  const std::string tfd = placed_terrain(dir);
  const std::vector<unsigned char> before = read_file(tfd);
  write_classes(dir.file("cover.tif"), ORIGIN_E, ORIGIN_N + 20000, 500, 8, 8, std::vector<uint8_t>(64, 10), 0);
  write_text(dir.file("empty.ini"), "[Classes]\n");
  write_text(dir.file("classes.ini"), "[Classes]\n10=Grass\n");
  LandCoverImport im = import_landcover({dir.file("cover.tif").c_str(), tfd.c_str(), dir.file("empty.ini").c_str(), nullptr}, nullptr);
  EXPECT_EQ(LAND_IMPORT_REFUSED, im.lands.outcome);
  EXPECT_NE(std::string::npos, im.lands.why.find("no class")) << im.lands.why;
  im = import_landcover({dir.file("cover.tif").c_str(), tfd.c_str(), dir.file("classes.ini").c_str(), "Ocean"}, nullptr);
  EXPECT_EQ(LAND_IMPORT_REFUSED, im.lands.outcome);
  EXPECT_NE(std::string::npos, im.lands.why.find("\"Ocean\" is no land")) << im.lands.why;
  remove(dir.file("T_GEO.ini").c_str());
  im = import_landcover({dir.file("cover.tif").c_str(), tfd.c_str(), dir.file("classes.ini").c_str(), nullptr}, nullptr);
  EXPECT_EQ(LAND_IMPORT_REFUSED, im.lands.outcome);
  EXPECT_NE(std::string::npos, im.lands.why.find("has no place on the Earth")) << im.lands.why;
  EXPECT_EQ(before, read_file(tfd));
}

// Places in a CSV (a header, quoted names, degrees with minutes) and in a
// GeoJSON go where PROJ's own transformation puts them; those outside the
// terrain are named and left out, the rest added as areas.
TEST(PlaceList, PlacesLieAtPROJsMetresAndThoseOutsideAreNamedAndLeftOut) {
  TempDir dir;
  const std::string tfd = placed_terrain(dir);
  write_text(dir.file("places.csv"),
             "name,latitude,longitude,side,type,heading\n"
             "\"Saltmere AB, north\",42.50,21.05,friendly,Runway1,90\n"
             "Bridge,42\xC2\xB0" "29'N,21\xC2\xB0" "06'E,enemy,Bridge\n"
             "Far Hill,45.0,21.0\n"
             "Nowhere,abc,21\n"
             ",42.5,21.0\n"
             "Split,\"42.5\n1\",21\n");
  write_text(dir.file("places.geojson"),
             "{\"type\":\"FeatureCollection\",\"features\":["
             "{\"type\":\"Feature\",\"properties\":{\"name\":\"Depot\",\"side\":\"Enemy\"},"
             "\"geometry\":{\"type\":\"Point\",\"coordinates\":[21.08,42.47]}}]}");
  PJ_CONTEXT *ctx = proj_context_create();
  PJ *raw = proj_create_crs_to_crs(ctx, "EPSG:4326", UTM, nullptr);
  PJ *to_utm = proj_normalize_for_visualization(ctx, raw);
  const auto expect_at = [&](const ListedPlace &p, double lat, double lon) {
    const PJ_COORD c = proj_trans(to_utm, PJ_FWD, proj_coord(lon, lat, 0, 0));
    ASSERT_TRUE(p.placed) << p.name;
    EXPECT_NEAR(c.xy.x - ORIGIN_E, p.east, 1e-3) << p.name;
    EXPECT_NEAR(c.xy.y - ORIGIN_N, p.north, 1e-3) << p.name;
  };
  GeoFile geo;
  ASSERT_EQ(0, load_geo_file(dir.file("T_GEO.ini").c_str(), &geo));
  std::string why;
  GeoPlacePtr place = make_geo_place(geo, &why);
  const PlaceList csv = read_place_list(dir.file("places.csv").c_str(), *place);
  ASSERT_EQ("", csv.why);
  ASSERT_EQ(3u, csv.places.size());
  EXPECT_EQ("Saltmere AB, north", csv.places[0].name);
  EXPECT_EQ(90, csv.places[0].heading);
  expect_at(csv.places[0], 42.50, 21.05);
  expect_at(csv.places[1], 42 + 29 / 60.0, 21.1);
  ASSERT_EQ(3u, csv.problems.size());
  EXPECT_NE(std::string::npos, csv.problems[0].find("row 5")) << csv.problems[0];
  // A row of no name would have become an area no one can name; a quoted
  // field's line break would have split the problem's line.
  EXPECT_EQ("row 6: no name; left out", csv.problems[1]);
  EXPECT_EQ("row 7: \"$'42.5\\n1'\", \"21\" is no latitude and longitude; left out", csv.problems[2]);
  const PlaceList json = read_place_list(dir.file("places.geojson").c_str(), *place);
  ASSERT_EQ(1u, json.places.size()) << json.why;
  expect_at(json.places[0], 42.47, 21.08);
  proj_destroy(to_utm);
  proj_destroy(raw);
  proj_context_destroy(ctx);

  const TargetImport im = import_targets(dir.file("places.csv").c_str(), tfd.c_str());
  ASSERT_EQ(TARGET_IMPORT_WRITTEN, im.outcome) << im.why;
  EXPECT_EQ(2, im.added);
  EXPECT_EQ(1, im.outside);
  bool named = false;
  for (const std::string &note : im.notes) named |= note.find("Far Hill") != std::string::npos && note.find("outside") != std::string::npos;
  EXPECT_TRUE(named);
  targets.area_count = targets.target_total = 0;
  ASSERT_EQ(0, load_target_areas(dir.file("T_TARGETS.ini").c_str(), nullptr));
  ASSERT_EQ(2, targets.area_count);
  EXPECT_STREQ("Saltmere AB, north", targets.areas[1].name);
  EXPECT_EQ(0, targets.areas[1].enemy);
  EXPECT_EQ(90, targets.areas[1].targets[1].heading);
  EXPECT_FLOAT_EQ(std::round(csv.places[1].east), targets.areas[2].pos_x);
  EXPECT_FLOAT_EQ(std::round(csv.places[1].north), targets.areas[2].pos_y);
  EXPECT_STREQ("Bridge", targets.areas[2].targets[1].type);
}

// The data map (a pixel a tile) and the texture map (four a tile) as
// GeoTIFFs: the BMP's very pixels, on the terrain's projection and place.
TEST(GeoTiffExport, TheMapsArePlacedAtTheirPixelSizeWithTheBmpsPixels) {
  TempDir dir;
  const std::string tfd = placed_terrain(dir);
  ASSERT_EQ(RESULT_OK, load_tile_map("T.TFD", nullptr));
  strcpy(terrain_paths.tfd_path, "T.TFD");
  derive_terrain_paths();
  for (int x = 0; x < COLUMNS; x++)
    for (int y = 0; y < ROWS; y++) tile_map.tiles[x][y].rotation = (uint8_t)((x + y) % 4);
  struct Kind {
    int kind;
    double cell;
  } kinds[] = {{EXPORT_DATA, 2000}, {EXPORT_TEXTURES_4X, 500}};
  for (const Kind &k : kinds) {
    char tif[PATH_SIZE], bmp[PATH_SIZE];
    ASSERT_EQ(RESULT_OK, export_bitmap(k.kind, nullptr, nullptr, tif, EXPORT_FORMAT_GEOTIFF));
    ASSERT_EQ(RESULT_OK, export_bitmap(k.kind, nullptr, nullptr, bmp, EXPORT_FORMAT_BMP));
    GDALDatasetH t = GDALOpen(tif, GA_ReadOnly), b = GDALOpen(bmp, GA_ReadOnly);
    ASSERT_TRUE(t && b) << tif << " " << bmp;
    double gt[6];
    ASSERT_EQ(CE_None, GDALGetGeoTransform(t, gt));
    EXPECT_DOUBLE_EQ(ORIGIN_E, gt[0]);
    EXPECT_DOUBLE_EQ(k.cell, gt[1]);
    EXPECT_DOUBLE_EQ(ORIGIN_N + 2000 * ROWS, gt[3]);
    EXPECT_DOUBLE_EQ(-k.cell, gt[5]);
    OGRSpatialReferenceH want = OSRNewSpatialReference(nullptr);
    OSRSetFromUserInput(want, UTM);
    EXPECT_TRUE(OSRIsSame(GDALGetSpatialRef(t), want));
    OSRDestroySpatialReference(want);
    const int w = GDALGetRasterXSize(t), h = GDALGetRasterYSize(t);
    ASSERT_EQ(3, GDALGetRasterCount(t));
    EXPECT_EQ(COLUMNS * 2000 / k.cell, w);
    for (int band = 1; band <= 3; band++) {
      std::vector<uint8_t> a((size_t)w * h), c((size_t)w * h);
      ASSERT_EQ(CE_None, GDALRasterIO(GDALGetRasterBand(t, band), GF_Read, 0, 0, w, h, a.data(), w, h, GDT_Byte, 0, 0));
      ASSERT_EQ(CE_None, GDALRasterIO(GDALGetRasterBand(b, band), GF_Read, 0, 0, w, h, c.data(), w, h, GDT_Byte, 0, 0));
      EXPECT_EQ(c, a) << "band " << band;
    }
    GDALClose(t);
    GDALClose(b);
  }
}

TEST(Graticule, TheSpacingIsTheSmallestRoundOneOfAtMostEightLines) {
  struct Case {
    double low, high;
    int minutes, lines;
  } cases[] = {
      {42.41, 42.59, 2, 5},     // 20 km: 10.8' across, 1' would give 11 lines
      {42.001, 42.011, 1, 0},   // shorter than any spacing
      {41.95, 43.45, 30, 3},    // 1.5 degrees: 10' gives 9
      {10.5, 40.5, 300, 6},     // 30 degrees
      {-3.2, 3.2, 60, 7},       // across the equator
      {-180.0, 180.0, 1800, 11},  // the whole Earth: the largest, over 8
  };
  for (const Case &k : cases) {
    const int m = graticule_minutes(k.low, k.high);
    EXPECT_EQ(k.minutes, m) << k.low << ".." << k.high;
    EXPECT_EQ(k.lines, graticule_count(k.low, k.high, m)) << k.low << ".." << k.high;
  }
  EXPECT_EQ("43\xC2\xB0N", graticule_label(43, true));
  EXPECT_EQ("19\xC2\xB0" "05'E", graticule_label(19 + 5 / 60.0, false));
  EXPECT_EQ("0\xC2\xB0" "30'S", graticule_label(-0.5, true));
  EXPECT_EQ("grid north 1.2\xC2\xB0 east of true north", convergence_text(1.23));
  EXPECT_EQ("grid north is true north", convergence_text(0.01));
}
