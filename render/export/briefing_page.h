// The briefing map's page, laid out once and drawn with cairo onto any
// surface (the PDF page in points, the PNG scaled): the title line, the
// shaded picture under a grid of round square cells with its labels on
// all four edges, every target area's mark and name placed without
// overlaps, the north arrow, the scale in km and NM, the legend and the
// table of areas with their grid squares.
#pragma once

#include <cairo.h>
#include <string>
#include <vector>

#include "core/export_format.h"
#include "render/export/briefing_graticule.h"
#include "render/export/label_places.h"

// The page sizes (BriefingPaper), in points (1/72 inch), portrait.
void briefing_paper_size(int paper, double *w, double *h);

struct BriefingFonts {
  cairo_font_face_t *regular;
  cairo_font_face_t *bold;
};

// The mark of a heading among the table's lines: a control character, which
// no name keeps (briefing_text turns them into "?").
#define BRIEFING_HEADING "\x01"

// One target area as the page shows it.
struct BriefingArea {
  std::string name;  // UTF-8
  double x, y;       // the position on the page
  bool on_map;
  bool enemy;
  bool airfield;     // the first target is a runway
  int heading;
  std::string label;   // the name, and an airfield's designators
  std::string square;  // "D4", or empty off the map
  std::string degrees; // "43°12.3'N 19°05.6'E" on a terrain placed on the Earth, else empty
  bool labelled;       // its label is on the map, else it has a number
  PlacerBox label_box;
  int number;          // 1.. for areas listed by number
  PlacerBox number_box;
};

struct BriefingLayout {
  double page_w, page_h;
  std::string title;
  // The terrain's rectangle on the page, its size in km and the grid.
  double map_x, map_y, map_w, map_h;
  double width_km, height_km;
  int cell_km, columns, rows;
  double grid_font;
  // The north arrow, scale and legend; the table beside them.
  double key_x, key_y, key_w, key_h;
  double table_x, table_y, table_w, table_h;
  double table_font;
  int table_lines;  // lines per column
  double table_column_w;
  std::vector<std::string> table;  // lines; a heading begins with BRIEFING_HEADING
  std::vector<BriefingArea> areas;
  // On a terrain placed on the Earth: its lines, their labels' boxes on
  // the map's edges (a label a line's end) and the north arrow's note.
  Graticule graticule;
  std::vector<PlacerBox> graticule_boxes;
  std::vector<std::string> graticule_texts;
  std::string convergence;
};

// The terrain that a layout is made for.
struct BriefingTerrain {
  std::string name;     // UTF-8, for the title
  std::string date;     // for the title
  int tiles_x, tiles_y;
  int paper;            // BriefingPaper
  GeoPlace *place = nullptr;  // its place on the Earth, or null
};

// Lays out the page for the terrain and the current target areas; text is
// measured with the fonts on measure (any cairo context).
void lay_out_briefing(cairo_t *measure, const BriefingFonts &fonts, const BriefingTerrain &terrain,
                      BriefingLayout *layout);

// Draws the page in points on cr (scaled by the caller for pixels), the
// picture (any size) stretched over the terrain's rectangle.
void draw_briefing(cairo_t *cr, const BriefingFonts &fonts, const BriefingLayout &layout,
                   cairo_surface_t *picture);

// Area names are bytes in the file: valid UTF-8 stays, anything else is
// read as Latin-1; control characters become "?".
std::string briefing_text(const char *bytes);
