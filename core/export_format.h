// What the settings and the command line choose of exports: the file format
// of exports and screenshots, and the briefing map's page and pixels.
#pragma once

enum ExportFormat {
  EXPORT_FORMAT_BMP = 0,
  EXPORT_FORMAT_PNG = 1,
  EXPORT_FORMAT_RAW = 2,  // the 16-bit heights only: bare little-endian words
  EXPORT_FORMAT_GEOTIFF = 3,  // the data, texture and embossed maps, placed on the Earth (_GEO.ini)
};

enum BriefingPaper { BRIEFING_A3 = 0, BRIEFING_A4 = 1, BRIEFING_LETTER = 2 };

enum {
  BRIEFING_PIXELS_DEFAULT = 4096,  // the PNG's longer side
  BRIEFING_PIXELS_LEAST = 512,
  BRIEFING_PIXELS_MOST = 8192,
};

// [Export] Briefing_Page (A3, A4 or Letter, in any case; A3 otherwise) and
// Briefing_Pixels (kept within 512 .. 8192) of the current configuration.
struct BriefingSettings {
  int paper;   // BriefingPaper
  int pixels;
};
BriefingSettings read_briefing_settings();
