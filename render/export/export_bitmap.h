// Whole-terrain bitmap exports and the numbered output names.
#pragma once

#include <allegro.h>

#include "core/export_format.h"
#include "core/relief_shading.h"
#include "core/reporter.h"
#include "core/safe_file.h"
#include "render/export/export_file.h"
#include "render/export/export_timing.h"

enum ExportKind {
  EXPORT_DATA = 1,
  EXPORT_WATER = 2,
  EXPORT_TEXTURES_4X = 5,
  EXPORT_EMBOSSED_4X = 6,
  EXPORT_HEIGHT_4X = 7,
  EXPORT_PLANNING_MAP_1 = 8,
  EXPORT_PLANNING_MAP_2 = 9,
  EXPORT_PLANNING_MAP_3 = 10,
  EXPORT_HEIGHTS16 = 11,  // the samples themselves, as a 16-bit grey picture
  EXPORT_LANDS = 12,      // the land of each corner point (land_picture.h)
  EXPORT_BRIEFING = 13,   // a PDF page and its PNG (briefing_map.h)
  EXPORT_GEOTIFF = 14,    // the samples as a 16-bit GeoTIFF in the terrain's projection (its _GEO.ini)
};

// The extension a kind is written with in a format: heights are never a
// BMP, and raw is for heights only (nullptr for other kinds); the briefing
// map is a PDF (and its PNG) whatever the format.
const char *export_extension(int kind, int format);

// Writes the next numbered file of the kind into the working directory,
// with its progress texts and any failure reported. 0, or RESULT_NO_TILES,
// RESULT_NO_MEMORY, RESULT_CANNOT_WRITE (no partial file is left),
// RESULT_NO_FREE_NAME or RESULT_UNKNOWN_KIND. timing (may be null) receives
// where the time went, final_name (PATH_SIZE bytes, may be null) the name
// written: the first free one at the start, or the next free one at the end
// when another export took that meanwhile.
int export_bitmap(int kind, const Reporter *reporter, ExportTiming *timing = nullptr,
                  char *final_name = nullptr, int format = EXPORT_FORMAT_BMP);

// The briefing map as export_bitmap writes it; relief: see
// write_briefing_map (null: the loaded maps).
int export_briefing(const Reporter *reporter, char *final_name, const ReliefGrid *relief);

// Writes a picture made in bands to the next free numbered name of the
// suffix ("bmp" or "png" extension), as an export's file is written and
// named. 0 with its name in final_name (PATH_SIZE bytes), or the failure
// reported and returned.
struct RowSource;
int export_picture_file(const char *suffix, const char *extension, const RowSource &source,
                        const Reporter *reporter, char *final_name);

// Saves bmp as a BMP file that did not exist before: created without
// following any link and never over an existing entry. 0 when written, or
// RESULT_CANNOT_WRITE, with whatever part of the file was written removed
// and why in error (may be null).
int save_new_bmp(const char *name, BITMAP *bmp, const RGB *palette, WriteError *error = nullptr);
// The same as a PNG file of the same pixels.
int save_new_png(const char *name, BITMAP *bmp, WriteError *error = nullptr);
