#include "core/export_format.h"

#include <allegro.h>

BriefingSettings read_briefing_settings() {
  BriefingSettings s = {BRIEFING_A3, BRIEFING_PIXELS_DEFAULT};
  const char *page = get_config_string("Export", "Briefing_Page", "A3");
  if (page && ustricmp(page, "A4") == 0) s.paper = BRIEFING_A4;
  if (page && ustricmp(page, "Letter") == 0) s.paper = BRIEFING_LETTER;
  const int pixels = get_config_int("Export", "Briefing_Pixels", BRIEFING_PIXELS_DEFAULT);
  s.pixels = pixels < BRIEFING_PIXELS_LEAST ? BRIEFING_PIXELS_LEAST
             : pixels > BRIEFING_PIXELS_MOST ? BRIEFING_PIXELS_MOST
                                             : pixels;
  return s;
}
