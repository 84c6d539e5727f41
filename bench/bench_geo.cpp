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

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
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
  return 0;
}
