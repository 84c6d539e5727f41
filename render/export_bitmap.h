// Whole-terrain bitmap exports and the numbered output names.
#pragma once

#include <allegro.h>

enum ExportKind {
  EXPORT_DATA = 1,
  EXPORT_WATER = 2,
  EXPORT_TEXTURES_4X = 5,
  EXPORT_EMBOSSED_4X = 6,
  EXPORT_HEIGHT_4X = 7,
  EXPORT_PLANNING_MAP_1 = 8,
  EXPORT_PLANNING_MAP_2 = 9,
  EXPORT_PLANNING_MAP_3 = 10,
};

int export_bitmap(int kind);  // 0 written, 1 not

// The first free "<terrain><suffix>NNN.bmp" in the working directory, into
// name (256 bytes); 0 when found, 1 when all of 000..998 are taken.
int numbered_output_name(const char *suffix, char *name);

// Saves bmp as a BMP file that did not exist before: created without
// following any link and never over an existing entry. 0 when written; on a
// failure whatever part of the file was written is removed.
int save_new_bmp(const char *name, BITMAP *bmp, const RGB *palette);

// The alerts of a failed export or screenshot; each returns 1.
int report_write_failure(const char *name);
int report_memory_failure(const char *name);
int report_no_free_name();
