#include "bench/bench_geo.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_srs_api.h>

namespace {

using Clock = std::chrono::steady_clock;

// The lands of the land cover part: Water, Forest, Grass.
const unsigned char LAND_COLOURS[3][3] = {{40, 90, 170}, {30, 110, 40}, {120, 170, 70}};

// A region of 72 x 72 degrees would be 8000 km: the models cover a smaller
// one at the same 2000 m a tile, which --size stretches to 4000 x 4000.
const double SOUTH = 20, WEST = 0, NORTH = 56, EAST = 60;
enum { MODEL_SIDE = 1200, TILES = 4000 };

double run(const std::string &cmd) {
  const Clock::time_point t0 = Clock::now();
  if (system(cmd.c_str()) != 0) fprintf(stderr, "failed: %s\n", cmd.c_str());
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

bool exists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Quadrant q of the region as an Int16 GeoTIFF in degrees, a smooth relief
// of hills 0 to 3000 m with a little sea, overlapping its neighbours by a
// few cells.
bool write_model(const std::string &path, int q) {
  const double half_lat = (NORTH - SOUTH) / 2, half_lon = (EAST - WEST) / 2;
  const double south = SOUTH + (q / 2) * half_lat - 0.05, west = WEST + (q % 2) * half_lon - 0.05;
  const double step_lat = (half_lat + 0.1) / MODEL_SIDE, step_lon = (half_lon + 0.1) / MODEL_SIDE;
  GDALDriverH gtiff = GDALGetDriverByName("GTiff");
  GDALDatasetH ds = GDALCreate(gtiff, path.c_str(), MODEL_SIDE, MODEL_SIDE, 1, GDT_Int16, nullptr);
  if (!ds) return false;
  double transform[6] = {west, step_lon, 0, south + MODEL_SIDE * step_lat, 0, -step_lat};
  GDALSetGeoTransform(ds, transform);
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  OSRImportFromEPSG(srs, 4326);
  char *wkt = nullptr;
  OSRExportToWkt(srs, &wkt);
  GDALSetProjection(ds, wkt);
  CPLFree(wkt);
  OSRDestroySpatialReference(srs);
  std::vector<int16_t> row(MODEL_SIDE);
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  bool ok = true;
  for (int y = 0; y < MODEL_SIDE && ok; y++) {
    const double lat = south + (MODEL_SIDE - y - 0.5) * step_lat;
    for (int x = 0; x < MODEL_SIDE; x++) {
      const double lon = west + (x + 0.5) * step_lon;
      row[x] = (int16_t)std::lround(1500 + 1500 * std::sin(lat * 0.7) * std::cos(lon * 0.5) - 200);
    }
    ok = GDALRasterIO(band, GF_Write, 0, y, MODEL_SIDE, 1, row.data(), MODEL_SIDE, 1, GDT_Int16, 0, 0) == CE_None;
  }
  GDALClose(ds);
  return ok;
}

// The value of key in the _GEO.ini text ("" when missing).
std::string geo_value(const std::string &path, const std::string &key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
  return "";
}

// A land cover raster over the region in degrees: Byte classes 10 (forest),
// 20 (grass) and 80 (water) in bands and patches finer than a tile.
bool write_cover(const std::string &path) {
  enum { SIDE = 6000 };
  GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), SIDE, SIDE, 1, GDT_Byte, nullptr);
  if (!ds) return false;
  const double step_lat = (NORTH - SOUTH) / SIDE, step_lon = (EAST - WEST) / SIDE;
  double transform[6] = {WEST, step_lon, 0, NORTH, 0, -step_lat};
  GDALSetGeoTransform(ds, transform);
  GDALSetProjection(ds, "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],"
                        "PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433],AUTHORITY[\"EPSG\",\"4326\"]]");
  std::vector<unsigned char> row(SIDE);
  bool ok = true;
  for (int y = 0; y < SIDE && ok; y++) {
    for (int x = 0; x < SIDE; x++) {
      const double wave = std::sin(x * 0.013) * std::cos(y * 0.011) + 0.3 * std::sin((x + y) * 0.07);
      row[(size_t)x] = wave < -0.6 ? 80 : wave < 0.2 ? 10 : 20;
    }
    ok = GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, y, SIDE, 1, row.data(), SIDE, 1, GDT_Byte, 0, 0) == CE_None;
  }
  GDALClose(ds);
  return ok;
}

// The warped classes as a picture of the lands' colours (black: none), for
// --import-lands.
bool classes_to_picture(const std::string &warped, const std::string &png) {
  GDALDatasetH in = GDALOpen(warped.c_str(), GA_ReadOnly);
  if (!in) return false;
  const int w = GDALGetRasterXSize(in), h = GDALGetRasterYSize(in);
  std::vector<unsigned char> classes((size_t)w * h), rgb((size_t)w * h * 3, 0);
  bool ok = GDALRasterIO(GDALGetRasterBand(in, 1), GF_Read, 0, 0, w, h, classes.data(), w, h, GDT_Byte, 0, 0) == CE_None;
  GDALClose(in);
  for (size_t k = 0; k < classes.size(); k++) {
    const unsigned char c = classes[k];
    const unsigned char *colour = c == 80 ? LAND_COLOURS[0] : c == 10 ? LAND_COLOURS[1] : c == 20 ? LAND_COLOURS[2] : nullptr;
    if (colour) std::copy(colour, colour + 3, rgb.begin() + (long)(3 * k));
  }
  GDALDatasetH mem = GDALCreate(GDALGetDriverByName("MEM"), "", w, h, 3, GDT_Byte, nullptr);
  for (int b = 0; ok && b < 3; b++)
    ok = GDALRasterIO(GDALGetRasterBand(mem, b + 1), GF_Write, 0, 0, w, h, rgb.data() + b, w, h, GDT_Byte, 3, 3 * w) == CE_None;
  GDALDatasetH out = ok ? GDALCreateCopy(GDALGetDriverByName("PNG"), png.c_str(), mem, FALSE, nullptr, nullptr, nullptr) : nullptr;
  if (out) GDALClose(out);
  GDALClose(mem);
  return out != nullptr;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// --import-landcover onto the terrain the first part made, against
// gdalwarp -r mode onto its corner points plus --import-lands of them.
int bench_landcover(const std::string &veldkit, const std::string &dir) {
  const std::string cover = dir + "/cover.tif", tfd = dir + "/Region.TFD", kept = dir + "/kept.TFD";
  if (!exists(cover) && !write_cover(cover)) return 1;
  {
    std::ofstream lands(dir + "/Region_LANDS.ini");
    const char *names[] = {"Water", "Forest", "Grass"};
    for (int l = 0; l < 3; l++)
      lands << "[Land00" << l + 1 << "]\nName=" << names[l] << "\nColor=" << (int)LAND_COLOURS[l][0] << ","
            << (int)LAND_COLOURS[l][1] << "," << (int)LAND_COLOURS[l][2] << "\n";
    for (int l = 0; l < 3; l++)
      lands << "[Texture00" << l + 1 << "]\nCorners=" << names[l] << "," << names[l] << "," << names[l] << "," << names[l] << "\n";
    std::ofstream classes(dir + "/classes.ini");
    classes << "[Classes]\n80=Water\n10=Forest\n20=Grass\n";
  }
  run("cp '" + tfd + "' '" + kept + "'");
  const std::string proj = geo_value(dir + "/Region_GEO.ini", "Projection");
  double east = 0, north = 0;
  if (sscanf(geo_value(dir + "/Region_GEO.ini", "Origin").c_str(), "%lf , %lf", &east, &north) != 2) return 1;
  char extent[160];
  snprintf(extent, sizeof(extent), "%.3f %.3f %.3f %.3f", east - 1000, north - 1000, east + 2000.0 * TILES + 1000,
           north + 2000.0 * TILES + 1000);
  const std::string warp_cmd = "gdalwarp -q -overwrite -r mode -ot Byte -dstnodata 0 -t_srs '" + proj + "' -te " + extent +
                               " -tr 2000 2000 -wo NUM_THREADS=ALL_CPUS '" + cover + "' '" + dir + "/classes.tif'";
  run(warp_cmd);
  if (!classes_to_picture(dir + "/classes.tif", dir + "/lands.png")) return 1;
  std::vector<double> ours, warp, import;
  for (int i = 0; i < 2; i++) {
    run("cp '" + kept + "' '" + tfd + "'");
    ours.push_back(run("'" + veldkit + "' --import-landcover '" + cover + "' '" + tfd + "' --classes '" + dir +
                       "/classes.ini' > /dev/null 2>&1"));
    run("cp '" + kept + "' '" + tfd + "'");
    warp.push_back(run(warp_cmd));
    import.push_back(run("'" + veldkit + "' --import-lands '" + dir + "/lands.png' '" + tfd + "' > /dev/null 2>&1"));
  }
  const double floor = median(warp) + median(import);
  printf("--import-landcover of a 6000 x 6000 class raster onto the %d x %d terrain: %.2f s; gdalwarp -r mode onto the "
         "corner points %.2f s + --import-lands of them %.2f s = %.2f x (target <= 1.5)\n",
         TILES, TILES, median(ours), median(warp), median(import), median(ours) / floor);
  run("cp '" + kept + "' '" + tfd + "'; rm -f '" + kept + "' '" + dir + "/classes.tif' '" + dir + "/lands.png'");
  return 0;
}

}  // namespace

int bench_geo(const std::string &veldkit, const std::string &dir) {
  GDALAllRegister();
  mkdir(dir.c_str(), 0755);
  std::string models;
  for (int q = 0; q < 4; q++) {
    const std::string path = dir + "/model_" + std::to_string(q) + ".tif";
    if (!exists(path) && !write_model(path, q)) return 1;
    models += " '" + path + "'";
  }
  char area[128];
  snprintf(area, sizeof(area), "%g,%g,%g,%g", SOUTH, WEST, NORTH, EAST);
  std::vector<double> ours, warp, copy;
  for (int i = 0; i < 2; i++) {
    run("rm -f '" + dir + "'/Region.* '" + dir + "'/Region_* '" + dir + "/warped.tif'");
    ours.push_back(run("'" + veldkit + "' --new '" + dir + "/Region.TFD' --area " + area + " --size 4000x4000 --dem" +
                       models + " --resampling bilinear > /dev/null"));
    // The same grid: the terrain's projection and extent in 500 m pixels.
    const std::string proj = geo_value(dir + "/Region_GEO.ini", "Projection");
    double east = 0, north = 0;
    if (sscanf(geo_value(dir + "/Region_GEO.ini", "Origin").c_str(), "%lf , %lf", &east, &north) != 2) return 1;
    char extent[160];
    snprintf(extent, sizeof(extent), "%.3f %.3f %.3f %.3f", east, north, east + 2000.0 * TILES, north + 2000.0 * TILES);
    warp.push_back(run("gdalwarp -q -overwrite -r bilinear -ot Int16 -t_srs '" + proj + "' -te " + extent +
                       " -tr 500 500" + models + " '" + dir + "/warped.tif'"));
    copy.push_back(run("dd if='" + dir + "/Region.hfd' of='" + dir + "/copy.hfd' bs=4M 2>/dev/null"));
  }
  const double floor = median(warp) + median(copy);
  printf("--new --area --dem of 4 models as %d x %d tiles: %.2f s; gdalwarp onto the same grid %.2f s + dd %.2f s "
         "= %.2f x (target <= 1.2)\n",
         TILES, TILES, median(ours), median(warp), median(copy), median(ours) / floor);
  fflush(stdout);
  run("rm -f '" + dir + "/warped.tif' '" + dir + "/copy.hfd'");
  return bench_landcover(veldkit, dir);
}
