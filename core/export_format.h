// The file format of exports and screenshots, as the settings and the
// command line choose it.
#pragma once

enum ExportFormat {
  EXPORT_FORMAT_BMP = 0,
  EXPORT_FORMAT_PNG = 1,
  EXPORT_FORMAT_RAW = 2,  // the 16-bit heights only: bare little-endian words
};
