#include "render/export/briefing_page.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/terrain_model.h"
#include "geo/degrees_text.h"
#include "render/export/briefing_grid.h"

namespace {

// Sizes on the page, in points.
const double MARGIN = 28.35;        // 10 mm
const double TITLE_SIZE = 15;
const double TITLE_BAND = 28;       // from the margin to the map's labels
const double GUTTER = 14;           // the grid labels around the map
const double LABEL_SIZE = 6;        // area names on the map
const double LABEL_PAD = 0.8;
const double LABEL_GAP = 0.6;
const double AREA_RADIUS = 2.4;
const double RUNWAY_LENGTH = 12, RUNWAY_WIDTH = 2.8;
const double KEY_W = 210, KEY_H = 158;
// The table's type: 7 points down to 2; below that only when even 2
// points cannot hold every area (a PDF can still be zoomed), to 0.5.
const double TABLE_LARGEST = 7, TABLE_SMALLEST = 0.5, TABLE_GAP = 8;
const double PANEL_SHARE = 0.26;

// The graticule: its lines and their labels inside the map's edges.
const double GRATICULE_SIZE = 5, GRATICULE_PAD = 0.7;
const double GRATICULE_INK[3] = {0.05, 0.22, 0.38};

const double FRIENDLY[3] = {0.10, 0.32, 0.86}, ENEMY[3] = {0.86, 0.10, 0.10};
const double FRIENDLY_TEXT[3] = {0.04, 0.15, 0.50}, ENEMY_TEXT[3] = {0.55, 0.0, 0.0};

// Glyph advances as the font has them, not fitted to a pixel grid, so
// that the layout measured once holds on the page and in the PNG.
void plain_metrics(cairo_t *cr) {
  cairo_font_options_t *options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

void set_font(cairo_t *cr, cairo_font_face_t *face, double size) {
  cairo_set_font_face(cr, face);
  cairo_set_font_size(cr, size);
}

double advance(cairo_t *cr, const std::string &text) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, text.c_str(), &e);
  return e.x_advance;
}

// Text with its left end, middle or right end at x (align 0, 0.5, 1).
void text_at(cairo_t *cr, const std::string &text, double x, double baseline, double align = 0) {
  cairo_move_to(cr, x - align * advance(cr, text), baseline);
  cairo_show_text(cr, text.c_str());
}

void set_rgb(cairo_t *cr, const double c[3]) { cairo_set_source_rgb(cr, c[0], c[1], c[2]); }

// The box a mark covers: a runway turned by its heading, or a dot.
PlacerBox mark_box(const BriefingArea &a) {
  double rx = AREA_RADIUS + 0.4, ry = rx;
  if (a.airfield) {
    const double t = a.heading * M_PI / 180, c = std::fabs(std::cos(t)), s = std::fabs(std::sin(t));
    rx = (s * RUNWAY_LENGTH + c * RUNWAY_WIDTH) / 2 + 0.4;
    ry = (c * RUNWAY_LENGTH + s * RUNWAY_WIDTH) / 2 + 0.4;
  }
  return PlacerBox{a.x - rx, a.y - ry, a.x + rx, a.y + ry};
}

// Where everything but the map goes: beside a landscape map, under a
// portrait one; the key block first, the table in the rest.
void lay_out_panel(BriefingLayout &l, bool landscape, double body_top, double *x1, double *y1) {
  if (landscape) {
    const double panel_w = std::max(KEY_W, PANEL_SHARE * l.page_w);
    const double panel_x = l.page_w - MARGIN - panel_w;
    l.key_x = panel_x;
    l.key_y = body_top;
    l.key_w = panel_w;
    l.key_h = KEY_H;
    l.table_x = panel_x;
    l.table_y = body_top + KEY_H + 6;
    l.table_w = panel_w;
    l.table_h = l.page_h - MARGIN - l.table_y;
    *x1 = panel_x - 10 - GUTTER;
    *y1 = l.page_h - MARGIN - GUTTER;
  } else {
    const double panel_h = std::max(KEY_H, PANEL_SHARE * l.page_h);
    const double panel_y = l.page_h - MARGIN - panel_h;
    l.key_x = MARGIN;
    l.key_y = panel_y;
    l.key_w = KEY_W;
    l.key_h = panel_h;
    l.table_x = MARGIN + KEY_W + 10;
    l.table_y = panel_y;
    l.table_w = l.page_w - MARGIN - l.table_x;
    l.table_h = panel_h;
    *x1 = l.page_w - MARGIN - GUTTER;
    *y1 = panel_y - 10 - GUTTER;
  }
}

// The page point of terrain metres.
void page_point(const BriefingLayout &l, double east, double north, double *x, double *y) {
  *x = l.map_x + east / (l.width_km * 1000) * l.map_w;
  *y = l.map_y + l.map_h - north / (l.height_km * 1000) * l.map_h;
}

// The graticule of a placed terrain and its labels' boxes, each inside the
// map on the edge its line meets, kept within the map.
void lay_out_graticule(cairo_t *cr, const BriefingFonts &fonts, GeoPlace &place, BriefingLayout &l) {
  l.graticule = make_graticule(place, l.width_km * 1000, l.height_km * 1000);
  if (!l.graticule.made) return;
  l.convergence = convergence_text(l.graticule.convergence);
  set_font(cr, fonts.regular, GRATICULE_SIZE);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  const double h = fe.ascent + fe.descent + 2 * GRATICULE_PAD;
  for (const GraticuleLine &line : l.graticule.lines)
    for (const GraticuleEnd &end : line.ends) {
      const double w = advance(cr, line.label) + 2 * GRATICULE_PAD;
      const bool across = end.edge <= GRATICULE_SOUTH;
      double x, y;
      page_point(l, across ? end.along : end.edge == GRATICULE_WEST ? 0 : l.width_km * 1000,
                 across ? (end.edge == GRATICULE_NORTH ? l.height_km * 1000 : 0) : end.along, &x, &y);
      double x0 = across ? x - w / 2 : end.edge == GRATICULE_WEST ? x + 1 : x - 1 - w;
      double y0 = across ? (end.edge == GRATICULE_NORTH ? y + 1 : y - 1 - h) : y - h / 2;
      x0 = std::max(l.map_x, std::min(x0, l.map_x + l.map_w - w));
      y0 = std::max(l.map_y, std::min(y0, l.map_y + l.map_h - h));
      l.graticule_boxes.push_back(PlacerBox{x0, y0, x0 + w, y0 + h});
      l.graticule_texts.push_back(line.label);
    }
}

void read_areas(BriefingLayout &l, GeoPlace *place) {
  const double width_m = l.width_km * 1000, height_m = l.height_km * 1000;
  for (int n = 1; n <= areas_in_use(); n++) {
    const TargetArea &t = targets.areas[n];
    BriefingArea a{};
    a.name = briefing_text(t.name);
    const double e = t.pos_x, north = t.pos_y;
    a.on_map = e >= 0 && e <= width_m && north >= 0 && north <= height_m;
    a.x = l.map_x + (a.on_map ? e / width_m * l.map_w : 0);
    a.y = l.map_y + l.map_h - (a.on_map ? north / height_m * l.map_h : 0);
    a.enemy = t.enemy != 0;
    a.airfield = is_airfield(t);
    a.heading = a.airfield ? t.targets[1].heading : 0;
    a.label = a.name;
    if (a.airfield) {
      char designators[BRIEFING_GRID_NAME_SIZE];
      briefing_runway_designators(a.heading, designators);
      a.label += std::string(" ") + designators;
    }
    char square[BRIEFING_GRID_NAME_SIZE];
    briefing_grid_square(e, north, width_m, height_m, l.cell_km, square);
    a.square = square;
    double lat, lon;
    if (place && place_to_degrees(*place, e, north, &lat, &lon)) a.degrees = place_text(lat, lon);
    l.areas.push_back(a);
  }
}

// Airfields first, then the other areas, each in the file's order; what
// fits nowhere gets a number.
void place_labels(cairo_t *cr, const BriefingFonts &fonts, BriefingLayout &l) {
  BoundedPlacer placer(PlacerBox{l.map_x, l.map_y, l.map_x + l.map_w, l.map_y + l.map_h}, LABEL_GAP);
  for (const BriefingArea &a : l.areas)
    if (a.on_map) placer.add_obstacle(mark_box(a));
  for (const PlacerBox &box : l.graticule_boxes) placer.add_obstacle(box);
  cairo_font_extents_t fe;
  set_font(cr, fonts.regular, LABEL_SIZE);
  cairo_font_extents(cr, &fe);
  const double h = fe.ascent + fe.descent + 2 * LABEL_PAD;
  for (int pass = 0; pass < 2; pass++)
    for (BriefingArea &a : l.areas) {
      if (!a.on_map || a.airfield != (pass == 0)) continue;
      a.labelled = placer.place(mark_box(a), advance(cr, a.label) + 2 * LABEL_PAD, h, &a.label_box);
    }
  set_font(cr, fonts.bold, LABEL_SIZE);
  int number = 0;
  for (BriefingArea &a : l.areas) {
    if (!a.on_map || a.labelled) continue;
    a.number = ++number;
    const double w = advance(cr, std::to_string(a.number)) + 2 * LABEL_PAD;
    // A number that finds no free place still goes beside its mark.
    if (!placer.place(mark_box(a), w, h, &a.number_box)) a.number_box = placer.first_place(mark_box(a), w, h);
  }
}

// The table's lines: the areas listed by number, then every other area
// with its grid square, by name.
void make_table(BriefingLayout &l) {
  std::vector<const BriefingArea *> numbered, named;
  for (const BriefingArea &a : l.areas) (a.number > 0 ? numbered : named).push_back(&a);
  std::stable_sort(named.begin(), named.end(),
                   [](const BriefingArea *a, const BriefingArea *b) { return a->name < b->name; });
  const auto square = [](const BriefingArea *a) {
    const std::string where = a->square.empty() ? std::string("off the map") : a->square;
    return a->degrees.empty() ? where : where + ", " + a->degrees;
  };
  if (!numbered.empty()) {
    l.table.push_back(BRIEFING_HEADING "Not named on the map");
    for (const BriefingArea *a : numbered)
      l.table.push_back(std::to_string(a->number) + "  " + a->name + ": " + square(a));
  }
  if (!named.empty()) {
    if (!l.table.empty()) l.table.push_back("");
    l.table.push_back(BRIEFING_HEADING "Grid squares");
    for (const BriefingArea *a : named) l.table.push_back(a->name + ": " + square(a));
  }
}

// The largest type from 7 points down that lets the table fit its room in
// columns; the smallest when nothing fits (the rest is cut off then).
void fit_table(cairo_t *cr, const BriefingFonts &fonts, BriefingLayout &l) {
  double widest = 0;  // at 10 points
  for (const std::string &line : l.table) {
    const bool heading = !line.empty() && line[0] == BRIEFING_HEADING[0];
    set_font(cr, heading ? fonts.bold : fonts.regular, 10);
    widest = std::max(widest, advance(cr, heading ? line.substr(1) : line));
  }
  for (double size = TABLE_LARGEST; size >= TABLE_SMALLEST; size -= 0.25) {
    l.table_font = size;
    l.table_column_w = widest * size / 10 + TABLE_GAP * size / TABLE_LARGEST;
    l.table_lines = std::max(1, (int)(l.table_h / (1.25 * size)));
    const int columns = std::max(1, (int)((l.table_w + TABLE_GAP) / l.table_column_w));
    if ((long)columns * l.table_lines >= (long)l.table.size()) return;
  }
}

// --- Drawing ---

void draw_grid(cairo_t *cr, const BriefingFonts &fonts, const BriefingLayout &l) {
  const double cell_x = l.cell_km / l.width_km * l.map_w, cell_y = l.cell_km / l.height_km * l.map_h;
  cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
  cairo_set_line_width(cr, 0.45);
  for (int c = 1; c < l.columns; c++) {
    cairo_move_to(cr, l.map_x + c * cell_x, l.map_y);
    cairo_line_to(cr, l.map_x + c * cell_x, l.map_y + l.map_h);
  }
  for (int r = 1; r < l.rows; r++) {
    cairo_move_to(cr, l.map_x, l.map_y + r * cell_y);
    cairo_line_to(cr, l.map_x + l.map_w, l.map_y + r * cell_y);
  }
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 0.9);
  cairo_rectangle(cr, l.map_x, l.map_y, l.map_w, l.map_h);
  cairo_stroke(cr);
  // Letters above and below each column, numbers on both sides of each row,
  // in the middle of the part of the cell the terrain has.
  set_font(cr, fonts.bold, l.grid_font);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  for (int c = 0; c < l.columns; c++) {
    char name[BRIEFING_GRID_NAME_SIZE];
    briefing_column_name(c, name);
    const double x = l.map_x + (c * cell_x + std::min((c + 1) * cell_x, l.map_w)) / 2;
    text_at(cr, name, x, l.map_y - 3 - fe.descent, 0.5);
    text_at(cr, name, x, l.map_y + l.map_h + 3 + fe.ascent, 0.5);
  }
  for (int r = 0; r < l.rows; r++) {
    const std::string number = std::to_string(r + 1);
    const double y = l.map_y + (r * cell_y + std::min((r + 1) * cell_y, l.map_h)) / 2 + (fe.ascent - fe.descent) / 2;
    text_at(cr, number, l.map_x - 3, y, 1);
    text_at(cr, number, l.map_x + l.map_w + 3, y, 0);
  }
}

void draw_runway(cairo_t *cr, double x, double y, int heading, const double colour[3], double scale = 1) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, heading * M_PI / 180);
  cairo_rectangle(cr, -RUNWAY_WIDTH * scale / 2, -RUNWAY_LENGTH * scale / 2, RUNWAY_WIDTH * scale,
                  RUNWAY_LENGTH * scale);
  set_rgb(cr, colour);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, 0.5);
  cairo_stroke(cr);
  // The centre line, so that the symbol reads as a runway.
  cairo_move_to(cr, 0, -RUNWAY_LENGTH * scale / 2 + 1.5);
  cairo_line_to(cr, 0, RUNWAY_LENGTH * scale / 2 - 1.5);
  cairo_set_line_width(cr, 0.35);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void draw_dot(cairo_t *cr, double x, double y, const double colour[3]) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x, y, AREA_RADIUS, 0, 2 * M_PI);
  set_rgb(cr, colour);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, 0.6);
  cairo_stroke(cr);
}

// A label: its text on a pale box, in its side's dark colour.
void draw_label(cairo_t *cr, const PlacerBox &box, const std::string &text, const double colour[3], double ascent,
                double pad = LABEL_PAD) {
  cairo_rectangle(cr, box.x0, box.y0, box.x1 - box.x0, box.y1 - box.y0);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.78);
  cairo_fill(cr);
  set_rgb(cr, colour);
  text_at(cr, text, box.x0 + pad, box.y0 + pad + ascent);
}

// Thin dashed lines of latitude and longitude over the picture, clipped to
// the map, their labels on pale boxes inside its edges.
void draw_graticule(cairo_t *cr, const BriefingFonts &fonts, const BriefingLayout &l) {
  if (!l.graticule.made) return;
  cairo_save(cr);
  cairo_rectangle(cr, l.map_x, l.map_y, l.map_w, l.map_h);
  cairo_clip(cr);
  const double dash[2] = {2.2, 1.4};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_set_line_width(cr, 0.4);
  cairo_set_source_rgba(cr, GRATICULE_INK[0], GRATICULE_INK[1], GRATICULE_INK[2], 0.85);
  for (const GraticuleLine &line : l.graticule.lines) {
    for (size_t k = 0; k < line.east.size(); k++) {
      double x, y;
      page_point(l, line.east[k], line.north[k], &x, &y);
      if (k == 0) cairo_move_to(cr, x, y);
      else cairo_line_to(cr, x, y);
    }
    cairo_stroke(cr);
  }
  cairo_set_dash(cr, nullptr, 0, 0);
  set_font(cr, fonts.regular, GRATICULE_SIZE);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  for (size_t k = 0; k < l.graticule_boxes.size(); k++)
    draw_label(cr, l.graticule_boxes[k], l.graticule_texts[k], GRATICULE_INK, fe.ascent, GRATICULE_PAD);
  cairo_restore(cr);
}

// The rows of the page a drawing shows, in points: all of them on the PDF's
// page, a band on each of the PNG's surfaces. Marks, labels and lines of
// the table whose ink lies wholly outside are left out: drawing them would
// change no pixel, and the PNG's bands would each draw the whole page.
struct ShownRows {
  double top, bottom;
  // Whether anything between top and bottom, with margin around, shows.
  bool hold(double from, double to, double margin) const { return to + margin >= top && from - margin <= bottom; }
};

ShownRows shown_rows(cairo_t *cr) {
  double x0, y0, x1, y1;
  cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
  return ShownRows{y0, y1};
}

void draw_areas(cairo_t *cr, const BriefingFonts &fonts, const BriefingLayout &l) {
  const ShownRows shown = shown_rows(cr);
  cairo_save(cr);
  cairo_rectangle(cr, l.map_x, l.map_y, l.map_w, l.map_h);
  cairo_clip(cr);
  for (const BriefingArea &a : l.areas) {
    // A runway reaches half its length from its middle, its outline a
    // little more.
    if (!a.on_map || !shown.hold(a.y, a.y, RUNWAY_LENGTH)) continue;
    if (a.airfield) draw_runway(cr, a.x, a.y, a.heading, a.enemy ? ENEMY : FRIENDLY);
    else draw_dot(cr, a.x, a.y, a.enemy ? ENEMY : FRIENDLY);
  }
  cairo_font_extents_t fe;
  set_font(cr, fonts.regular, LABEL_SIZE);
  cairo_font_extents(cr, &fe);
  for (const BriefingArea &a : l.areas)
    if (a.labelled && shown.hold(a.label_box.y0, a.label_box.y1, LABEL_SIZE))
      draw_label(cr, a.label_box, a.label, a.enemy ? ENEMY_TEXT : FRIENDLY_TEXT, fe.ascent);
  set_font(cr, fonts.bold, LABEL_SIZE);
  for (const BriefingArea &a : l.areas)
    if (a.number > 0 && shown.hold(a.number_box.y0, a.number_box.y1, LABEL_SIZE))
      draw_label(cr, a.number_box, std::to_string(a.number), a.enemy ? ENEMY_TEXT : FRIENDLY_TEXT, fe.ascent);
  cairo_restore(cr);
}

void draw_north_arrow(cairo_t *cr, const BriefingFonts &fonts, double x, double y) {
  // An arrow 30 points long, its west half dark, under its "N".
  set_font(cr, fonts.bold, 11);
  cairo_set_source_rgb(cr, 0, 0, 0);
  text_at(cr, "N", x, y + 10, 0.5);
  const double top = y + 14, bottom = y + 46;
  cairo_move_to(cr, x, top);
  cairo_line_to(cr, x - 7, bottom);
  cairo_line_to(cr, x, bottom - 7);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_move_to(cr, x, top);
  cairo_line_to(cr, x + 7, bottom);
  cairo_line_to(cr, x, bottom - 7);
  cairo_close_path(cr);
  cairo_set_line_width(cr, 0.8);
  cairo_stroke(cr);
}

std::string number_text(double v) {
  char text[32];
  snprintf(text, sizeof(text), "%g", v);
  return text;
}

// Four steps of alternating black and white, numbered, the unit after.
void draw_scale_bar(cairo_t *cr, const BriefingFonts &fonts, double x, double y, double room, double points_per_unit,
                    const char *unit) {
  const int steps = 4;
  const double step = briefing_scale_step(room / points_per_unit, steps);
  if (step <= 0) return;
  const double w = step * points_per_unit;
  cairo_set_line_width(cr, 0.6);
  for (int k = 0; k < steps; k++) {
    cairo_rectangle(cr, x + k * w, y, w, 3.5);
    if (k % 2 == 0) cairo_set_source_rgb(cr, 0, 0, 0);
    else cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_stroke(cr);
  }
  set_font(cr, fonts.regular, 6.5);
  for (int k = 0; k <= steps; k++) text_at(cr, number_text(k * step), x + k * w, y + 11, 0.5);
  text_at(cr, unit, x + steps * w + 8, y + 4.5);
}

void draw_key(cairo_t *cr, const BriefingFonts &fonts, const BriefingLayout &l) {
  const double x = l.key_x, y = l.key_y;
  draw_north_arrow(cr, fonts, x + 12, y);
  // Scale bars to the right of the arrow, leaving room for the units.
  const double bar_x = x + 40, room = l.key_w - 40 - 30;
  const double per_km = l.map_w / l.width_km;
  draw_scale_bar(cr, fonts, bar_x, y + 8, room, per_km, "km");
  draw_scale_bar(cr, fonts, bar_x, y + 30, room, per_km * BRIEFING_NAUTICAL_MILE / 1000.0, "NM");
  if (!l.convergence.empty()) {
    set_font(cr, fonts.regular, 6.5);
    cairo_set_source_rgb(cr, 0, 0, 0);
    text_at(cr, l.convergence, x, y + 56);
  }

  set_font(cr, fonts.bold, 8);
  cairo_set_source_rgb(cr, 0, 0, 0);
  text_at(cr, "Legend", x, y + 66);
  const double row = 11.5;
  double ly = y + 76;
  const auto entry = [&](const std::string &text) {
    set_font(cr, fonts.regular, 7);
    cairo_set_source_rgb(cr, 0, 0, 0);
    text_at(cr, text, x + 22, ly + 2.5);
    ly += row;
  };
  draw_runway(cr, x + 8, ly, 90, FRIENDLY, 0.9);
  entry("Airfield: runway as laid, ends 09/27");
  draw_dot(cr, x + 8, ly, FRIENDLY);
  entry("Target area");
  cairo_rectangle(cr, x + 3, ly - 3, 10, 6);
  set_rgb(cr, FRIENDLY);
  cairo_fill(cr);
  entry("Friendly");
  cairo_rectangle(cr, x + 3, ly - 3, 10, 6);
  set_rgb(cr, ENEMY);
  cairo_fill(cr);
  entry("Enemy");
  set_font(cr, fonts.bold, LABEL_SIZE);
  set_rgb(cr, FRIENDLY_TEXT);
  text_at(cr, "12", x + 8, ly + 2.2, 0.5);
  entry("Area named in the table by its number");
  cairo_rectangle(cr, x + 3, ly - 4, 10, 8);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 0.45);
  cairo_stroke(cr);
  entry("Grid squares of " + std::to_string(l.cell_km) + " km");
}

void draw_table(cairo_t *cr, const BriefingFonts &fonts, const BriefingLayout &l) {
  cairo_save(cr);
  cairo_rectangle(cr, l.table_x, l.table_y, l.table_w, l.table_h);
  cairo_clip(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  const double line = 1.25 * l.table_font;
  const ShownRows shown = shown_rows(cr);
  for (size_t i = 0; i < l.table.size(); i++) {
    const int column = (int)(i / l.table_lines), row = (int)(i % l.table_lines);
    const double baseline = l.table_y + row * line + l.table_font;
    if (!shown.hold(baseline, baseline, 2 * l.table_font)) continue;
    const std::string &text = l.table[i];
    const bool heading = !text.empty() && text[0] == BRIEFING_HEADING[0];
    set_font(cr, heading ? fonts.bold : fonts.regular, l.table_font);
    text_at(cr, heading ? text.substr(1) : text, l.table_x + column * l.table_column_w, baseline);
  }
  cairo_restore(cr);
}

}  // namespace

void briefing_paper_size(int paper, double *w, double *h) {
  switch (paper) {
    case BRIEFING_A4: *w = 595.28; *h = 841.89; return;
    case BRIEFING_LETTER: *w = 612; *h = 792; return;
    default: *w = 841.89; *h = 1190.55; return;
  }
}

std::string briefing_text(const char *bytes) {
  std::string out;
  const unsigned char *p = (const unsigned char *)bytes;
  while (*p) {
    // The length of a well-formed UTF-8 sequence starting here, or 0.
    int n = *p < 0x80 ? 1 : (*p >= 0xC2 && *p <= 0xDF) ? 2 : (*p >= 0xE0 && *p <= 0xEF) ? 3 : (*p >= 0xF0 && *p <= 0xF4) ? 4 : 0;
    for (int k = 1; k < n; k++)
      if ((p[k] & 0xC0) != 0x80) n = 0;
    if (n == 3 && ((p[0] == 0xE0 && p[1] < 0xA0) || (p[0] == 0xED && p[1] >= 0xA0))) n = 0;
    if (n == 4 && ((p[0] == 0xF0 && p[1] < 0x90) || (p[0] == 0xF4 && p[1] >= 0x90))) n = 0;
    if (n == 1) {
      out += *p < 0x20 || *p == 0x7F ? '?' : (char)*p;
    } else if (n > 1) {
      out.append((const char *)p, (size_t)n);
    } else {
      n = 1;
      if (*p < 0xA0) {
        out += '?';
      } else {
        out += (char)(0xC0 | *p >> 6);
        out += (char)(0x80 | (*p & 0x3F));
      }
    }
    p += n;
  }
  return out;
}

void lay_out_briefing(cairo_t *cr, const BriefingFonts &fonts, const BriefingTerrain &terrain, BriefingLayout *out) {
  BriefingLayout &l = *out;
  l = BriefingLayout{};
  plain_metrics(cr);
  const int tx = terrain.tiles_x > 0 ? terrain.tiles_x : 1, ty = terrain.tiles_y > 0 ? terrain.tiles_y : 1;
  const bool landscape = tx >= ty;
  double w, h;
  briefing_paper_size(terrain.paper, &w, &h);
  l.page_w = landscape ? h : w;
  l.page_h = landscape ? w : h;
  l.width_km = tx * (BRIEFING_TILE_METRES / 1000.0);
  l.height_km = ty * (BRIEFING_TILE_METRES / 1000.0);
  char size[64];
  snprintf(size, sizeof(size), "%g x %g km", l.width_km, l.height_km);
  l.title = terrain.name + "  \u2013  " + size + "  \u2013  " + terrain.date;

  double x1, y1;
  const double body_top = MARGIN + TITLE_BAND;
  lay_out_panel(l, landscape, body_top, &x1, &y1);
  const double x0 = MARGIN + GUTTER, y0 = body_top + GUTTER;
  const double scale = std::min((x1 - x0) / tx, (y1 - y0) / ty);
  l.map_w = tx * scale;
  l.map_h = ty * scale;
  l.map_x = x0 + (x1 - x0 - l.map_w) / 2;
  l.map_y = y0;

  l.cell_km = briefing_cell_km(std::max(l.width_km, l.height_km));
  l.columns = briefing_cells(l.width_km, l.cell_km);
  l.rows = briefing_cells(l.height_km, l.cell_km);
  const double cell_pt = l.cell_km / l.width_km * l.map_w;
  l.grid_font = std::max(3.0, std::min(8.0, cell_pt * 0.6));

  if (terrain.place) lay_out_graticule(cr, fonts, *terrain.place, l);
  read_areas(l, terrain.place);
  place_labels(cr, fonts, l);
  make_table(l);
  fit_table(cr, fonts, l);
}

void draw_briefing(cairo_t *cr, const BriefingFonts &fonts, const BriefingLayout &l, cairo_surface_t *picture) {
  plain_metrics(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  set_font(cr, fonts.bold, TITLE_SIZE);
  cairo_set_source_rgb(cr, 0, 0, 0);
  text_at(cr, l.title, MARGIN, MARGIN + TITLE_SIZE);

  if (picture) {
    cairo_save(cr);
    cairo_rectangle(cr, l.map_x, l.map_y, l.map_w, l.map_h);
    cairo_clip(cr);
    cairo_translate(cr, l.map_x, l.map_y);
    cairo_scale(cr, l.map_w / cairo_image_surface_get_width(picture), l.map_h / cairo_image_surface_get_height(picture));
    cairo_set_source_surface(cr, picture, 0, 0);
    // Enlarged, bilinear is what the library's averaging filter does anyway,
    // for less; shrunk, only averaging keeps fine textures from moire. A
    // PDF only learns that the picture may be smoothed.
    double pixel = 1, unused = 0;
    cairo_user_to_device_distance(cr, &pixel, &unused);
    cairo_pattern_set_filter(cairo_get_source(cr), pixel >= 1 ? CAIRO_FILTER_BILINEAR : CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
  }
  draw_grid(cr, fonts, l);
  draw_graticule(cr, fonts, l);
  draw_areas(cr, fonts, l);
  draw_key(cr, fonts, l);
  draw_table(cr, fonts, l);
}
