#include "geo/height_geotiff.h"

#include <gdal.h>
#include <vector>

int write_height_geotiff(const char *path, GeoPlace &place, const HeightRows &h, std::string *why) {
  start_geo_library();
  GDALDriverH tiff = GDALGetDriverByName("GTiff");
  if (!tiff) {
    *why = "GDAL has no GeoTIFF driver";
    return 1;
  }
  // Past 4 GB a plain TIFF cannot count its offsets.
  const char *options[] = {"BIGTIFF=IF_SAFER", nullptr};
  CPLErrorReset();
  GDALDatasetH d = GDALCreate(tiff, path, h.columns, h.rows, 1, GDT_UInt16, (char **)options);
  if (!d) {
    *why = geo_last_error();
    return 1;
  }
  const double top = place_origin_north(place) + h.cell * h.rows;
  double gt[6] = {place_origin_east(place), h.cell, 0, top, 0, -h.cell};
  GDALSetGeoTransform(d, gt);
  GDALSetProjection(d, place_wkt(place).c_str());
  // Every value is a height; none stands for a void.
  GDALRasterBandH band = GDALGetRasterBand(d, 1);
  GDALSetMetadataItem(d, "AREA_OR_POINT", "Area", nullptr);
  std::vector<uint16_t> row((size_t)h.columns);
  int failed = 0;
  for (int y = 0; y < h.rows && !failed; y++) {
    h.row(h.context, y, row.data());
    failed = GDALRasterIO(band, GF_Write, 0, y, h.columns, 1, row.data(), h.columns, 1, GDT_UInt16, 0, 0) != CE_None;
  }
  GDALClose(d);  // flushes: a failed write shows here too
  if (failed || CPLGetLastErrorType() >= CE_Failure) {
    *why = geo_last_error();
    return 1;
  }
  return 0;
}
