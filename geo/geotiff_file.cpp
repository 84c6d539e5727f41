#include "geo/geotiff_file.h"

#include <gdal.h>
#include <new>
#include <vector>

#include "core/work_threads.h"

namespace {

// A new GeoTIFF of bands of type over the terrain, placed; null with why.
GDALDatasetH create_placed(const char *path, GeoPlace &place, int columns, int rows, double cell, int bands,
                           GDALDataType type, std::string *why) {
  start_geo_library();
  GDALDriverH tiff = GDALGetDriverByName("GTiff");
  if (!tiff) {
    *why = "GDAL has no GeoTIFF driver";
    return nullptr;
  }
  // Past 4 GB a plain TIFF cannot count its offsets; a picture's bands
  // are one pixel's, as the rows come.
  const char *options[] = {"BIGTIFF=IF_SAFER", bands == 3 ? "PHOTOMETRIC=RGB" : nullptr, nullptr};
  CPLErrorReset();
  GDALDatasetH d = GDALCreate(tiff, path, columns, rows, bands, type, (char **)options);
  if (!d) {
    *why = geo_last_error();
    return nullptr;
  }
  const double top = place_origin_north(place) + cell * rows;
  double gt[6] = {place_origin_east(place), cell, 0, top, 0, -cell};
  GDALSetGeoTransform(d, gt);
  GDALSetProjection(d, place_wkt(place).c_str());
  // Every value is a value; none stands for a void.
  GDALSetMetadataItem(d, "AREA_OR_POINT", "Area", nullptr);
  return d;
}

// Closes d (which flushes it: a failed write shows there too); 0 or 1 with why.
int close_placed(GDALDatasetH d, int failed, std::string *why) {
  GDALClose(d);
  if (failed || CPLGetLastErrorType() >= CE_Failure) {
    *why = geo_last_error();
    if (why->empty()) *why = "GDAL could not write the file";
    return 1;
  }
  return 0;
}

}  // namespace

int write_height_geotiff(const char *path, GeoPlace &place, const HeightRows &h, std::string *why) {
  GDALDatasetH d = create_placed(path, place, h.columns, h.rows, h.cell, 1, GDT_UInt16, why);
  if (!d) return 1;
  GDALRasterBandH band = GDALGetRasterBand(d, 1);
  std::vector<uint16_t> row((size_t)h.columns);
  int failed = 0;
  for (int y = 0; y < h.rows && !failed; y++) {
    h.row(h.context, y, row.data());
    failed = GDALRasterIO(band, GF_Write, 0, y, h.columns, 1, row.data(), h.columns, 1, GDT_UInt16, 0, 0) != CE_None;
  }
  return close_placed(d, failed, why);
}

namespace {

struct PictureWrite {
  const PictureRows *p;
  GDALDatasetH d;
  int band_rows;
  size_t band_bytes;
};

void band_rows_of(const PictureWrite &w, int k, int *y0, int *y1) {
  *y0 = k * w.band_rows;
  *y1 = *y0 + w.band_rows < w.p->rows ? *y0 + w.band_rows : w.p->rows;
}

void make_band(void *context, int k, unsigned char *buffer) {
  const PictureWrite &w = *(const PictureWrite *)context;
  int y0, y1;
  band_rows_of(w, k, &y0, &y1);
  w.p->rows_of(w.p->context, y0, y1, buffer, buffer + w.band_bytes);
}

int write_band(void *context, int k, const unsigned char *buffer) {
  const PictureWrite &w = *(const PictureWrite *)context;
  int y0, y1;
  band_rows_of(w, k, &y0, &y1);
  const int columns = w.p->columns;
  // Pixel-interleaved: red, green and blue of a pixel side by side.
  return GDALDatasetRasterIO(w.d, GF_Write, 0, y0, columns, y1 - y0, (void *)buffer, columns, y1 - y0, GDT_Byte, 3,
                             nullptr, 3, 3 * (GSpacing)columns, 1) != CE_None;
}

}  // namespace

int write_picture_geotiff(const char *path, GeoPlace &place, const PictureRows &p, std::string *why) {
  GDALDatasetH d = create_placed(path, place, p.columns, p.rows, p.cell, 3, GDT_Byte, why);
  if (!d) return 1;
  PictureWrite w = {&p, d, p.band_rows > 0 ? p.band_rows : 1, 0};
  w.band_bytes = (size_t)3 * p.columns * w.band_rows;
  const int bands = (p.rows + w.band_rows - 1) / w.band_rows;
  const int done = run_in_order(bands, 2 * w.band_bytes, make_band, write_band, &w);
  if (done == ORDERED_NO_MEMORY) {
    GDALClose(d);
    *why = "no memory for the bands of rows";
    return 1;
  }
  return close_placed(d, done != ORDERED_DONE, why);
}
