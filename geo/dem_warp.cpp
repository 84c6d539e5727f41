#include "geo/dem_warp.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_alg.h>
#include <gdal_utils.h>
#include <memory>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include "core/text_numbers.h"
#include "core/work_threads.h"
#include "geo/terrain_place.h"

namespace {

// SRTM's void, and what a grid cell holds until a raster gives it a value.
const double DEM_NO_VALUE = -32768;
// How far a void is filled from its edges, in cells (50 km at 500 m).
const double DEM_FILL_DISTANCE = 100;
// Points on each edge of a raster's outline, so that the outline stays
// true where the projections bend it.
const int DEM_OUTLINE_POINTS = 64;

const char *const RESAMPLINGS[] = {"average", "bilinear", "cubic", "cubicspline", "lanczos", "med", "max"};

struct Progress {
  const Reporter *reporter;
  const char *what;
  std::chrono::steady_clock::time_point start;
  int shown;
};

int CPL_STDCALL report_percent(double done, const char *, void *context) {
  Progress &p = *(Progress *)context;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - p.start).count();
  const int percent = (int)(done * 100);
  // Only work that takes a while says how far it is.
  if (seconds >= 1 && percent != p.shown) {
    p.shown = percent;
    report_progress(p.reporter, "%s... %d%%", p.what, percent);
  }
  return TRUE;
}

struct Rasters {
  std::vector<GDALDatasetH> opened;
  std::vector<GDALDatasetH> mosaics;  // one a projection
  ~Rasters() {
    for (GDALDatasetH d : mosaics) GDALClose(d);
    for (GDALDatasetH d : opened) GDALClose(d);
  }
};

std::string name_of(const std::string &path) { return QuotedName(path.c_str()).text; }

// A refusal of open_rasters said of land cover rather than heights.
std::string replace_model_word(std::string why) {
  const std::string model = "an elevation model";
  const size_t at = why.find(model);
  return at == std::string::npos ? why : why.replace(at, model.size(), "a land cover raster");
}

// Whether a raster reads to its last row: a file cut short fails there,
// found before a warp that would try it again and again. A text grid is
// read row after row, as its reader must find each row after the one
// before (it would look for the last row through every earlier one, over
// and over, in a file that ends early).
bool reads_to_the_end(GDALDatasetH d) {
  const std::string driver = GDALGetDriverShortName(GDALGetDatasetDriver(d));
  const bool text = driver == "AAIGrid" || driver == "GRASSASCIIGrid" || driver == "XYZ";
  const int w = GDALGetRasterXSize(d), h = GDALGetRasterYSize(d);
  std::vector<double> row((size_t)w);
  CPLErrorReset();
  for (int y = text ? 0 : h - 1; y < h; y++)
    if (GDALRasterIO(GDALGetRasterBand(d, 1), GF_Read, 0, y, w, 1, row.data(), w, 1, GDT_Float64, 0, 0) != CE_None)
      return false;
  return true;
}

// Opens each raster; "" or why one cannot be used.
std::string open_rasters(const std::vector<std::string> &paths, Rasters &r) {
  for (const std::string &path : paths) {
    CPLErrorReset();
    GDALDatasetH d = GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!d) {
      const std::string reason = geo_last_error();
      return name_of(path) + ": cannot be read as an elevation model" + (reason.empty() ? "." : ": " + reason);
    }
    r.opened.push_back(d);
    double gt[6];
    if (GDALGetRasterCount(d) < 1) return name_of(path) + ": holds no raster band.";
    if (!GDALGetSpatialRef(d) || GDALGetGeoTransform(d, gt) != CE_None)
      return name_of(path) + ": has no place on the Earth (no projection or no georeference).";
    if (!reads_to_the_end(d)) {
      const std::string reason = geo_last_error();
      return name_of(path) + ": cannot be read whole" + (reason.empty() ? "." : ": " + reason);
    }
  }
  return "";
}

// Whether band 1 of d holds the value anywhere, read a strip of rows at a time.
bool holds_value(GDALDatasetH d, double value) {
  GDALRasterBandH band = GDALGetRasterBand(d, 1);
  const int w = GDALGetRasterXSize(d), h = GDALGetRasterYSize(d);
  enum { STRIP_CELLS = 1 << 22 };
  const int strip = std::max(1, std::min(h, STRIP_CELLS / std::max(1, w)));
  std::vector<double> cells((size_t)w * strip);
  for (int y = 0; y < h; y += strip) {
    const int n = std::min(strip, h - y);
    // A strip that cannot be read may hold anything.
    if (GDALRasterIO(band, GF_Read, 0, y, w, n, cells.data(), w, n, GDT_Float64, 0, 0) != CE_None) return true;
    for (size_t k = 0; k < (size_t)w * n; k++)
      if (cells[k] == value) return true;
  }
  return false;
}

// Whether a raster holds no void: it declares no void value, or none of
// its cells has it, and none is -32768 (the SRTM mark). Only a raster of
// at most twice the grid's cells is read through for it: a larger one is
// taken to hold voids rather than read whole for a small terrain.
bool holds_no_void(GDALDatasetH d, double grid_cells) {
  if ((double)GDALGetRasterXSize(d) * GDALGetRasterYSize(d) > 2 * grid_cells) return false;
  int declared = 0;
  const double nodata = GDALGetRasterNoDataValue(GDALGetRasterBand(d, 1), &declared);
  if (declared && (std::isnan(nodata) || holds_value(d, nodata))) return false;
  return !holds_value(d, DEM_NO_VALUE);
}

// One mosaic of the rasters of each projection, built in memory. plain
// tells whether no raster holds a void: then no cell needs a mask.
std::string build_mosaics(Rasters &r, const std::vector<std::string> &paths, double grid_cells, bool *plain) {
  std::vector<std::vector<GDALDatasetH>> groups;
  *plain = true;
  for (GDALDatasetH d : r.opened) {
    size_t g = 0;
    while (g < groups.size() && !OSRIsSame(GDALGetSpatialRef(groups[g][0]), GDALGetSpatialRef(d))) g++;
    if (g == groups.size()) groups.emplace_back();
    groups[g].push_back(d);
    if (*plain && !holds_no_void(d, grid_cells)) *plain = false;
  }
  for (auto &group : groups) {
    int has_nodata = 0;
    GDALGetRasterNoDataValue(GDALGetRasterBand(group[0], 1), &has_nodata);
    // A raster that declares no void value still marks its voids as SRTM does.
    const char *bare[] = {"-b", "1", "-srcnodata", "None", "-vrtnodata", "None", nullptr};
    const char *declared[] = {"-b", "1", nullptr};
    const char *voids[] = {"-b", "1", "-srcnodata", "-32768", "-vrtnodata", "-32768", nullptr};
    GDALBuildVRTOptions *options = GDALBuildVRTOptionsNew((char **)(*plain ? bare : has_nodata ? declared : voids), nullptr);
    int usage = 0;
    CPLErrorReset();
    GDALDatasetH mosaic = GDALBuildVRT("", (int)group.size(), group.data(), nullptr, options, &usage);
    GDALBuildVRTOptionsFree(options);
    if (!mosaic) return name_of(paths[0]) + ": the elevation models cannot be mosaicked: " + geo_last_error();
    r.mosaics.push_back(mosaic);
  }
  return "";
}

// The size of a raster's cells in metres on the ground, near its centre.
double cell_metres(GDALDatasetH d) {
  double gt[6];
  GDALGetGeoTransform(d, gt);
  OGRSpatialReferenceH srs = (OGRSpatialReferenceH)GDALGetSpatialRef(d);
  double dx = std::hypot(gt[1], gt[4]), dy = std::hypot(gt[2], gt[5]);
  if (OSRIsGeographic(srs)) {
    const double lat = gt[3] + gt[5] * GDALGetRasterYSize(d) / 2;
    const double metres = M_PI / 180 * 6371000;
    dx *= metres * std::cos(lat * M_PI / 180), dy *= metres;
  } else {
    const double units = OSRGetLinearUnits(srs, nullptr);
    dx *= units, dy *= units;
  }
  return std::sqrt(dx * dy);
}

struct MemGrid {
  GDALDatasetH dataset = nullptr;
  ~MemGrid() {
    if (dataset) GDALClose(dataset);
  }
};

// A dataset over memory of our own: the warp and the fill write into it.
bool wrap_memory(MemGrid &m, const DemGrid &grid, GDALDataType type, void *data) {
  GDALDriverH mem = GDALGetDriverByName("MEM");
  if (!mem) return false;
  m.dataset = GDALCreate(mem, "", grid.columns, grid.rows, 0, type, nullptr);
  if (!m.dataset) return false;
  char pointer[64];
  snprintf(pointer, sizeof(pointer), "DATAPOINTER=%p", data);
  char *options[] = {pointer, nullptr};
  if (GDALAddBand(m.dataset, type, options) != CE_None) return false;
  double gt[6] = {grid.west, grid.cell, 0, grid.south + grid.cell * grid.rows, 0, -grid.cell};
  GDALSetGeoTransform(m.dataset, gt);
  GDALSetProjection(m.dataset, grid.wkt.c_str());
  return true;
}

// Fills the void cells (those marked void in kind) from their surroundings
// as GDALFillNodata does over the whole grid, but only around the voids:
// each block that holds one is filled in a window of its voids' bounds
// with the fill's reach around them, blocks on every core. A terrain
// mostly beyond its models, or voids along a model's edge, do not pay for
// what no fill reaches. The filled values are put in once every block is
// done, so that no fill feeds another.
struct VoidBlock {
  int x0, y0, x1, y1;  // the voids' bounds, x1 and y1 past the last
  std::vector<std::pair<size_t, float>> filled;
  bool ok = true;
};

bool fill_block(const GridFloats &heights, int columns, int rows, const std::vector<unsigned char> &kind,
                unsigned char void_mark, VoidBlock &b, GDALDriverH mem) {
  const int reach = (int)DEM_FILL_DISTANCE;
  const int x0 = std::max(0, b.x0 - reach), y0 = std::max(0, b.y0 - reach);
  const int x1 = std::min(columns, b.x1 + reach), y1 = std::min(rows, b.y1 + reach);
  const int w = x1 - x0, h = y1 - y0;
  std::vector<float> window((size_t)w * h);
  for (int y = 0; y < h; y++)
    std::copy_n(heights.data() + (size_t)(y0 + y) * columns + x0, w, window.data() + (size_t)y * w);
  GDALDatasetH d = GDALCreate(mem, "", w, h, 1, GDT_Float32, nullptr);
  if (!d) return false;
  GDALRasterBandH band = GDALGetRasterBand(d, 1);
  GDALSetRasterNoDataValue(band, DEM_NO_VALUE);
  const bool ok = GDALRasterIO(band, GF_Write, 0, 0, w, h, window.data(), w, h, GDT_Float32, 0, 0) == CE_None &&
                  GDALFillNodata(band, nullptr, DEM_FILL_DISTANCE, 0, 0, nullptr, nullptr, nullptr) == CE_None &&
                  GDALRasterIO(band, GF_Read, 0, 0, w, h, window.data(), w, h, GDT_Float32, 0, 0) == CE_None;
  GDALClose(d);
  if (!ok) return false;
  for (int y = b.y0; y < b.y1; y++)
    for (int x = b.x0; x < b.x1; x++) {
      const size_t k = (size_t)y * columns + x;
      if (kind[k] == void_mark) b.filled.push_back({k, window[(size_t)(y - y0) * w + (x - x0)]});
    }
  return true;
}

bool fill_voids(GridFloats &heights, int columns, int rows, const std::vector<unsigned char> &kind,
                unsigned char void_mark, Progress *progress) {
  enum { FILL_BLOCK = 512 };
  const int blocks_x = (columns + FILL_BLOCK - 1) / FILL_BLOCK, blocks_y = (rows + FILL_BLOCK - 1) / FILL_BLOCK;
  std::vector<VoidBlock> all((size_t)blocks_x * blocks_y, VoidBlock{INT32_MAX, INT32_MAX, -1, -1, {}, true});
  for (size_t k = 0; k < heights.size(); k++) {
    if (kind[k] != void_mark) continue;
    const int x = (int)(k % columns), y = (int)(k / columns);
    VoidBlock &b = all[(size_t)(y / FILL_BLOCK) * blocks_x + x / FILL_BLOCK];
    b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y), b.x1 = std::max(b.x1, x + 1), b.y1 = std::max(b.y1, y + 1);
  }
  std::vector<VoidBlock *> holding;
  for (VoidBlock &b : all)
    if (b.x1 > 0) holding.push_back(&b);
  GDALDriverH mem = GDALGetDriverByName("MEM");
  if (!mem) return false;
  // Batches of a few blocks a core, so that the progress is told from this thread.
  const size_t batch = 2 * (size_t)work_thread_count();
  for (size_t first = 0; first < holding.size(); first += batch) {
    const size_t count = std::min(batch, holding.size() - first);
    run_parts((int)count, [&](int k) {
      VoidBlock &b = *holding[first + (size_t)k];
      b.ok = fill_block(heights, columns, rows, kind, void_mark, b, mem);
    });
    for (size_t k = first; k < first + count; k++)
      if (!holding[k]->ok) return false;
    if (progress) report_percent((double)(first + count) / holding.size(), nullptr, progress);
  }
  for (const VoidBlock *b : holding)
    for (const auto &f : b->filled) heights[f.first] = f.second;
  return true;
}

// The outline of a raster, in its own projection.
OGRGeometryH raster_outline(GDALDatasetH d) {
  double gt[6];
  GDALGetGeoTransform(d, gt);
  const double w = GDALGetRasterXSize(d), h = GDALGetRasterYSize(d);
  const double corners[5][2] = {{0, 0}, {w, 0}, {w, h}, {0, h}, {0, 0}};
  OGRGeometryH ring = OGR_G_CreateGeometry(wkbLinearRing);
  for (int c = 0; c < 4; c++)
    for (int k = 0; k < DEM_OUTLINE_POINTS; k++) {
      const double t = (double)k / DEM_OUTLINE_POINTS;
      const double px = corners[c][0] + t * (corners[c + 1][0] - corners[c][0]);
      const double py = corners[c][1] + t * (corners[c + 1][1] - corners[c][1]);
      OGR_G_AddPoint_2D(ring, gt[0] + px * gt[1] + py * gt[2], gt[3] + px * gt[4] + py * gt[5]);
    }
  OGR_G_AddPoint_2D(ring, gt[0], gt[3]);
  OGRGeometryH polygon = OGR_G_CreateGeometry(wkbPolygon);
  OGR_G_AddGeometryDirectly(polygon, ring);
  return polygon;
}

// 1 for each cell whose centre lies within some raster's outline.
bool covered_cells(const Rasters &r, const DemGrid &grid, std::vector<unsigned char> &covered) {
  covered.assign((size_t)grid.columns * grid.rows, 0);
  MemGrid mask;
  if (!wrap_memory(mask, grid, GDT_Byte, covered.data())) return false;
  OGRSpatialReferenceH target = OSRNewSpatialReference(grid.wkt.c_str());
  OSRSetAxisMappingStrategy(target, OAMS_TRADITIONAL_GIS_ORDER);
  std::vector<OGRGeometryH> outlines;
  for (GDALDatasetH d : r.opened) {
    OGRGeometryH outline = raster_outline(d);
    OGRSpatialReferenceH own = OSRClone((OGRSpatialReferenceH)GDALGetSpatialRef(d));
    OSRSetAxisMappingStrategy(own, OAMS_TRADITIONAL_GIS_ORDER);
    OGR_G_AssignSpatialReference(outline, own);
    OSRRelease(own);
    // An outline that will not go into the grid's projection covers nothing there.
    if (OGR_G_TransformTo(outline, target) == OGRERR_NONE) outlines.push_back(outline);
    else OGR_G_DestroyGeometry(outline);
  }
  int bands[1] = {1};
  std::vector<double> burn(outlines.size(), 1.0);
  const CPLErr e = outlines.empty() ? CE_None
                                    : GDALRasterizeGeometries(mask.dataset, 1, bands, (int)outlines.size(), outlines.data(),
                                                              nullptr, nullptr, burn.data(), nullptr, nullptr, nullptr);
  for (OGRGeometryH g : outlines) OGR_G_DestroyGeometry(g);
  OSRRelease(target);
  return e == CE_None;
}

// Without voids the warp needs no masks (GDAL's fastest kernels): the
// cells it leaves keep the grid's first value, and are the uncovered ones.
bool run_warp(Rasters &r, MemGrid &out, const std::string &resampling, bool plain, Progress &progress) {
  const char *args[] = {"-r", resampling.c_str(), "-multi", "-wo", "NUM_THREADS=ALL_CPUS", "-wm", "512",
                        "-dstnodata", "-32768", nullptr};
  if (plain) args[7] = nullptr;
  GDALWarpAppOptions *options = GDALWarpAppOptionsNew((char **)args, nullptr);
  if (!options) return false;
  GDALWarpAppOptionsSetProgress(options, report_percent, &progress);
  int usage = 0;
  CPLErrorReset();
  GDALDatasetH done = GDALWarp(nullptr, out.dataset, (int)r.mosaics.size(), r.mosaics.data(), options, &usage);
  GDALWarpAppOptionsFree(options);
  return done != nullptr;
}

}  // namespace

bool fill_dem_voids(GridFloats &heights, int columns, int rows, const std::vector<unsigned char> &kind,
                    unsigned char void_mark) {
  start_geo_library();
  return fill_voids(heights, columns, rows, kind, void_mark, nullptr);
}

bool dem_resampling_known(const char *name) {
  for (const char *known : RESAMPLINGS)
    if (strcmp(name, known) == 0) return true;
  return false;
}

DemWarp warp_dems(const std::vector<std::string> &paths, const DemGrid &grid, const char *resampling,
                  const Reporter *reporter) {
  start_geo_library();
  DemWarp w;
  Rasters r;
  w.why = open_rasters(paths, r);
  bool plain = false;
  if (w.why.empty()) w.why = build_mosaics(r, paths, (double)grid.columns * grid.rows, &plain);
  if (!w.why.empty()) {
    w.outcome = DEM_REFUSED;
    return w;
  }
  w.resampling = resampling && *resampling ? resampling : cell_metres(r.mosaics[0]) < grid.cell ? "average" : "bilinear";
  const size_t cells = (size_t)grid.columns * grid.rows;
  try {
    w.heights.assign(cells, (float)DEM_NO_VALUE);
  } catch (const std::bad_alloc &) {
    w.why = "no memory for the grid's cells";
    return w;
  }
  MemGrid out;
  if (!wrap_memory(out, grid, GDT_Float32, w.heights.data())) {
    w.why = "no memory for the grid: " + geo_last_error();
    return w;
  }
  if (!plain) GDALSetRasterNoDataValue(GDALGetRasterBand(out.dataset, 1), DEM_NO_VALUE);
  Progress progress = {reporter, "Warping the elevation models", std::chrono::steady_clock::now(), -1};
  if (!run_warp(r, out, w.resampling, plain, progress)) {
    w.why = "the elevation models cannot be warped: " + geo_last_error();
    return w;
  }
  // NaN and infinities are no heights: voids, filled as the others are.
  // Whole numbers are never NaN: without voids, the cells the warp left
  // are the uncovered ones, set to 0 in this very pass.
  bool whole_numbers = plain;
  for (GDALDatasetH d : r.opened)
    whole_numbers = whole_numbers && GDALDataTypeIsInteger(GDALGetRasterDataType(GDALGetRasterBand(d, 1)));
  long long missing = 0, nans = 0;
  for (float &v : w.heights) {
    nans += !std::isfinite(v);
    if (v != (float)DEM_NO_VALUE) continue;
    missing++;
    if (whole_numbers) v = 0, w.uncovered++;
  }
  missing += nans;
  if (missing == (long long)cells) {
    w.outcome = DEM_REFUSED;
    w.why = "no elevation model covers any of the terrain; nothing written.";
    return w;
  }
  if (whole_numbers) {
    // Done in the pass above.
  } else if (missing > 0 && plain && nans == 0) {
    // Without masks a cell the warp reached has a value: the others are
    // beyond every raster.
    for (float &v : w.heights)
      if (v == (float)DEM_NO_VALUE) v = 0, w.uncovered++;
  } else if (missing > 0) {
    std::vector<unsigned char> covered;
    if (plain) {
      covered.assign(cells, 0);
      for (size_t k = 0; k < cells; k++) covered[k] = !std::isfinite(w.heights[k]);
    } else if (!covered_cells(r, grid, covered)) {
      w.why = "the elevation models' outlines cannot be drawn: " + geo_last_error();
      return w;
    }
    for (float &v : w.heights)
      if (!std::isfinite(v)) v = (float)DEM_NO_VALUE;
    // What each missing cell is, before the fill gives most of them a value.
    enum { CELL_VOID = 2, CELL_UNCOVERED = 3 };
    long long voids = 0;
    for (size_t k = 0; k < cells; k++) {
      if (w.heights[k] != (float)DEM_NO_VALUE) continue;
      covered[k] = covered[k] ? CELL_VOID : CELL_UNCOVERED;
      voids += covered[k] == CELL_VOID;
    }
    progress.what = "Filling the voids";
    if (voids > 0 && !fill_voids(w.heights, grid.columns, grid.rows, covered, CELL_VOID, &progress)) {
      w.why = "the voids cannot be filled: " + geo_last_error();
      return w;
    }
    for (size_t k = 0; k < cells; k++) {
      float &v = w.heights[k];
      if (covered[k] == CELL_UNCOVERED) {
        w.uncovered++;
        v = 0;
      } else if (covered[k] == CELL_VOID) {
        const bool left = v == (float)DEM_NO_VALUE || !std::isfinite(v);
        w.voids_left += left;
        w.voids_filled += !left;
        if (left) v = 0;
      }
    }
  }
  w.outcome = DEM_WARPED;
  return w;
}

ClassWarp warp_classes(const std::string &path, const DemGrid &grid, const Reporter *reporter) {
  start_geo_library();
  ClassWarp w;
  Rasters r;
  w.why = open_rasters({path}, r);
  if (!w.why.empty()) {
    w.why = replace_model_word(w.why);
    w.outcome = DEM_REFUSED;
    return w;
  }
  try {
    w.classes.assign((size_t)grid.columns * grid.rows, CLASS_NONE);
  } catch (const std::bad_alloc &) {
    w.why = "no memory for the grid's cells";
    return w;
  }
  MemGrid out;
  if (!wrap_memory(out, grid, GDT_Int32, w.classes.data())) {
    w.why = "no memory for the grid: " + geo_last_error();
    return w;
  }
  char none[32];
  snprintf(none, sizeof(none), "%d", (int)CLASS_NONE);
  GDALSetRasterNoDataValue(GDALGetRasterBand(out.dataset, 1), CLASS_NONE);
  const char *args[] = {"-r", "mode", "-dstnodata", none, "-wo", "NUM_THREADS=ALL_CPUS", "-wm", "512", nullptr};
  GDALWarpAppOptions *options = GDALWarpAppOptionsNew((char **)args, nullptr);
  if (!options) return w;
  Progress progress = {reporter, "Warping the land cover", std::chrono::steady_clock::now(), -1};
  GDALWarpAppOptionsSetProgress(options, report_percent, &progress);
  int usage = 0;
  CPLErrorReset();
  // The first band alone: a class raster's others are no classes.
  const char *first[] = {"-b", "1", nullptr};
  GDALBuildVRTOptions *vrt_options = GDALBuildVRTOptionsNew((char **)first, nullptr);
  GDALDatasetH source = GDALBuildVRT("", 1, r.opened.data(), nullptr, vrt_options, &usage);
  GDALBuildVRTOptionsFree(vrt_options);
  GDALDatasetH done = source ? GDALWarp(nullptr, out.dataset, 1, &source, options, &usage) : nullptr;
  if (source) GDALClose(source);
  GDALWarpAppOptionsFree(options);
  if (!done) {
    w.why = "the land cover cannot be warped: " + geo_last_error();
    return w;
  }
  w.outcome = DEM_WARPED;
  return w;
}
