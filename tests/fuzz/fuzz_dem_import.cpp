// The DEM import on small rasters GDAL reads, from arbitrary bytes: the
// first byte picks an ASCII grid (the bytes are its text) or a GeoTIFF
// written in memory (the bytes give its size, cell type, void value,
// projection, georeference and cells), and the terrain's size (1 to 3
// tiles a side). The terrain lies in the scratch folder, placed on the
// Earth by its _GEO.ini. The warp hands on numbers only; the heights
// written are 0 to 9999 and are the warp's, rounded and clamped; the
// counts of voids, uncovered, clamped and plain samples add up.
#include <cmath>
#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <cstring>
#include <gdal.h>
#include <ogr_srs_api.h>
#include <string>
#include <vector>

#include "core/terrain_model.h"
#include "document/dem_import.h"
#include "document/height_import.h"
#include "files/geo_file.h"
#include "geo/dem_warp.h"
#include "geo/terrain_place.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char *const PROJECTIONS[] = {"EPSG:32633", "EPSG:4326", "EPSG:32634", "EPSG:3857", nullptr};
const GDALDataType TYPES[] = {GDT_Byte, GDT_Int16, GDT_UInt16, GDT_Int32, GDT_Float32, GDT_Float64};
const char *const RESAMPLINGS[] = {nullptr, "average", "bilinear", "cubic", "med", "max"};
const double ORIGIN_EAST = 500000, ORIGIN_NORTH = 5000000;

std::string wkt_of(const char *projection) {
  if (!projection) return "";
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  char *wkt = nullptr;
  std::string s;
  if (OSRSetFromUserInput(srs, projection) == OGRERR_NONE && OSRExportToWkt(srs, &wkt) == OGRERR_NONE) s = wkt;
  CPLFree(wkt);
  OSRDestroySpatialReference(srs);
  return s;
}

// A GeoTIFF in /vsimem/ from the bytes after the first eight.
std::string write_geotiff(const uint8_t *d, size_t size) {
  const int w = 1 + d[1] % 16, h = 1 + d[2] % 16;
  const GDALDataType type = TYPES[d[3] % 6];
  const std::string path = "/vsimem/dem.tif";
  GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), w, h, 1, type, nullptr);
  if (!ds) __builtin_trap();
  const char *projection = PROJECTIONS[d[5] % 5];
  const bool degrees = projection && strcmp(projection, "EPSG:4326") == 0;
  if (projection) GDALSetProjection(ds, wkt_of(projection).c_str());
  static const double CELLS[] = {30, 90, 250, 500, 700, 1000, 2000, 0};
  double cell = CELLS[d[6] % 8], east = ORIGIN_EAST + (int8_t)d[4] * 300.0, north = ORIGIN_NORTH + (int8_t)d[7] * 300.0;
  if (degrees) cell /= 111000, east = 15 + (int8_t)d[4] * 0.002, north = 45.15 + (int8_t)d[7] * 0.002;
  if (projection && strcmp(projection, "EPSG:3857") == 0) east = 1668000 + (int8_t)d[4] * 400.0, north = 5640000 + (int8_t)d[7] * 400.0;
  const double skew = d[6] & 128 ? cell / 7 : 0;
  double gt[6] = {east, cell, skew, north, skew / 3, d[6] & 64 ? cell : -cell};
  GDALSetGeoTransform(ds, gt);
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  switch (d[4] % 6) {
    case 1: GDALSetRasterNoDataValue(band, -32768); break;
    case 2: GDALSetRasterNoDataValue(band, 0); break;
    case 3: GDALSetRasterNoDataValue(band, NAN); break;
    case 4: GDALSetRasterNoDataValue(band, 9999); break;
    default: break;
  }
  const int bytes = GDALGetDataTypeSizeBytes(type);
  std::vector<uint8_t> cells((size_t)w * h * bytes, 0);
  for (size_t k = 0; k < cells.size() && 8 + k < size; k++) cells[k] = d[8 + k];
  if (GDALRasterIO(band, GF_Write, 0, 0, w, h, cells.data(), w, h, type, 0, 0) != CE_None) __builtin_trap();
  GDALClose(ds);
  return path;
}

std::string write_ascii_grid(const uint8_t *d, size_t size) {
  VSILFILE *f = VSIFOpenL("/vsimem/dem.asc", "wb");
  VSIFWriteL(d + 2, 1, size - 2, f);
  VSIFCloseL(f);
  VSIUnlink("/vsimem/dem.prj");
  const std::string wkt = wkt_of(PROJECTIONS[d[1] % 5]);
  if (!wkt.empty()) {
    f = VSIFOpenL("/vsimem/dem.prj", "wb");
    VSIFWriteL(wkt.data(), 1, wkt.size(), f);
    VSIFCloseL(f);
  }
  return "/vsimem/dem.asc";
}

std::vector<unsigned char> bytes_of(const std::string &path) {
  std::vector<unsigned char> v;
  FILE *f = fopen(path.c_str(), "rb");
  for (int c; f && (c = fgetc(f)) != EOF;) v.push_back((unsigned char)c);
  if (f) fclose(f);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *d, size_t size) {
  fuzz_init();
  start_geo_library();
  if (size < 8) return 0;
  const int columns = 1 + (d[0] >> 1) % 3, rows = 1 + (d[0] >> 3) % 3;
  const unsigned char header[16] = {(unsigned char)columns, 0, 0, 0, (unsigned char)rows, 0, 0, 0};
  const std::string tfd = fuzz_file("D.TFD", header, sizeof(header));
  GeoFile geo;
  geo.projection = "EPSG:32633";
  geo.origin_east = ORIGIN_EAST, geo.origin_north = ORIGIN_NORTH;
  const std::string geo_text = geo_file_text(geo);
  fuzz_file("D_GEO.ini", (const uint8_t *)geo_text.data(), geo_text.size());
  const std::string hfd = tfd.substr(0, tfd.size() - 3) + "hfd";
  remove(hfd.c_str());
  const std::string dem = d[0] & 1 ? write_ascii_grid(d, size) : write_geotiff(d, size);
  const char *resampling = RESAMPLINGS[(d[0] >> 5) % 6];
  const DemImport im = import_dems({dem}, tfd.c_str(), resampling, nullptr);
  // The warp alone, onto the same grid, for what the import made of it.
  std::string why;
  GeoPlacePtr place = make_geo_place(geo, &why);
  if (!place) __builtin_trap();
  DemGrid grid;
  grid.wkt = place_wkt(*place);
  grid.west = ORIGIN_EAST, grid.south = ORIGIN_NORTH;
  grid.columns = 4 * columns, grid.rows = 4 * rows;
  const DemWarp w = warp_dems({dem}, grid, resampling, nullptr);
  const std::vector<unsigned char> written = bytes_of(hfd);
  if (im.outcome != IMPORT_WRITTEN) {
    if (im.why.empty() || !written.empty() || w.outcome == DEM_WARPED) __builtin_trap();
    return 0;
  }
  const long long total = (long long)grid.columns * grid.rows;
  if (w.outcome != DEM_WARPED || (long long)w.heights.size() != total) __builtin_trap();
  if ((long long)written.size() != 16 + 2 * total || written[0] != grid.columns || written[4] != grid.rows) __builtin_trap();
  const DemCounts &c = im.counts;
  if (c.voids_filled != w.voids_filled || c.voids_left != w.voids_left || c.uncovered != w.uncovered) __builtin_trap();
  if (c.voids_filled < 0 || c.voids_left < 0 || c.uncovered < 0 || c.voids_filled + c.voids_left + c.uncovered > total)
    __builtin_trap();
  long long below = 0, above = 0;
  for (int r = 0; r < grid.rows; r++)
    for (int x = 0; x < grid.columns; x++) {
      const float v = w.heights[(size_t)(grid.rows - 1 - r) * grid.columns + x];
      if (!std::isfinite(v)) __builtin_trap();  // the warp hands on numbers only
      double e = std::round((double)v);
      if (e < 0) below++, e = 0;
      if (e > MAX_HEIGHT) above++, e = MAX_HEIGHT;
      const size_t at = 16 + 2 * ((size_t)r * grid.columns + x);
      if ((written[at] | written[at + 1] << 8) != (int)e) __builtin_trap();
    }
  if (below != c.below || above != c.above || below + above + c.voids_left + c.uncovered > total) __builtin_trap();
  return 0;
}
