#include "app/status_bar.h"
#include "app/main_loop.h"

#include <algorithm>
#include <allegro.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/save_prompt.h"
#include "app/sculpt_keys.h"
#include "app/startup.h"
#include "core/land_table.h"
#include "core/terrain_model.h"
#include "document/open_place.h"
#include "edit/clipboards.h"
#include "program/session.h"
#include "ui/degree_text.h"
#include "ui/draw_box.h"

void show_message(BITMAP *bmp, int x, int y, int scheme, const char *format, ...) {
  FONT *f;
  int fg, bg;
  switch (scheme) {
    case SCHEME_LABEL: f = display.message_font; fg = display.colour_black; bg = display.colour_pale_blue; break;
    case SCHEME_TITLE: f = display.dialog_font; fg = display.colour_dark_slate; bg = display.colour_pale_blue; break;
    case SCHEME_VALUE: f = display.message_font; fg = display.colour_blue; bg = display.colour_pale_blue; break;
    case SCHEME_OVERLAY: f = display.message_font; fg = display.colour_blue; bg = -1; break;
    default: return;
  }
  if (!bmp || !f) return;
  char text[256];
  va_list args;
  va_start(args, format);
  uvszprintf(text, sizeof(text), format, args);
  va_end(args);
  textout_ex(bmp, f, text, x, y, fg, bg);
}

namespace {

// The cursor tile's line: its labels, with the values falling into the blanks.
const char TILE_LINE[] = "xy:    ,      km:    ,     texture:    rotation:  tag:     ";

int text_width(FONT *f, const char *text, int fallback) { return f ? text_length(f, text) : fallback; }

}  // namespace

int height_range_text(BITMAP *bmp, int x, int y, int lowest, int highest) {
  FONT *f = display.dialog_font;
  char low[32], high[16];
  snprintf(low, sizeof(low), "height: %4d", lowest);
  snprintf(high, sizeof(high), "%4d", highest);
  // The font sets its dots one pixel apart: ".." would read as one dot
  // between four digits, so each dot gets two pixels either side.
  const int dots = text_width(f, low, 6 * (int)strlen(low)), after = dots + ui_size(7);
  if (bmp && f) {
    const int fg = display.colour_dark_slate, bg = display.colour_pale_blue;
    textout_ex(bmp, f, low, x, y, fg, bg);
    rectfill(bmp, x + dots, y, x + after - 1, y + text_height(f) - 1, bg);
    textout_ex(bmp, f, ".", x + dots + ui_size(1), y, fg, -1);
    textout_ex(bmp, f, ".", x + dots + ui_size(4), y, fg, -1);
    textout_ex(bmp, f, high, x + after, y, fg, bg);
  }
  return after + text_width(f, high, 6 * (int)strlen(high));
}

StripLayout strip_layout(int width, int readout_extra) {
  enum { GAP = 6 };
  StripLayout l;
  l.tile_end = ui_size(3) + text_width(display.message_font, TILE_LINE, 6 * (int)strlen(TILE_LINE));
  l.height_w = height_range_text(nullptr, 0, 0, 9999, 9999);
  l.label_w = text_width(display.message_font, "Mouse xy:", 54);
  l.value_w = text_width(display.message_font, "9999999,9999999", 90) + readout_extra;
  const int gap = ui_size(GAP);
  l.height_x = ui_size(400);
  l.label_x = width - ui_size(171) - readout_extra;
  l.value_x = width - ui_size(107) - readout_extra;
  if (l.height_x + l.height_w + gap > l.label_x) l.height_x = std::max(l.tile_end + gap, l.label_x - gap - l.height_w);
  if (l.height_x + l.height_w + gap > l.label_x) {
    l.label_x = -1;
    l.value_x = std::max(l.value_x, width - ui_size(3) - l.value_w);
  }
  return l;
}

namespace {

// The widest the degrees can be in the chosen form.
const char *widest_degrees() {
  return session.degrees_decimal ? " 90.0000\xC2\xB0S 180.0000\xC2\xB0W" : " 90\xC2\xB0" "00.0'S 180\xC2\xB0" "00.0'W";
}

}  // namespace

bool strip_layout_fits(int width, int readout_extra) {
  const StripLayout l = strip_layout(width, readout_extra);
  return l.height_x + l.height_w <= (l.label_x >= 0 ? l.label_x : l.value_x) && l.value_x + l.value_w <= width;
}

int strip_readout_extra(const ViewState *view) {
  const int height = view && view->edit_mode == EDIT_HEIGHTS && height_map.heights_loaded > 0
                         ? text_width(display.message_font, " 9999 m", 42) : 0;
  if (!terrain_place.place) return height;
  const int degrees =
      display.message_font ? degree_text_length(display.message_font, widest_degrees()) : 6 * STRIP_DEGREES_CHARS;
  // In a window too narrow for them the degrees give way to the rest.
  return strip_layout_fits(display.screen_width, height + degrees) ? height + degrees : height;
}

void strip_degrees_text(double east, double north, int on_terrain, char *text, int size) {
  text[0] = 0;
  if (!terrain_place.place || size < 1 || strip_readout_extra(nullptr) == 0) return;
  const std::string degrees = on_terrain ? place_readout(east, north, session.degrees_decimal) : "";
  // Padded with blanks to the widest, each sign counted as one character.
  const int signs = (int)std::count(degrees.begin(), degrees.end(), '\xB0');
  const int room = (int)strlen(widest_degrees()) - 2;
  snprintf(text, (size_t)size, " %-*s", room - 1 + signs, degrees.c_str());
}

int show_degrees(BITMAP *bmp, int x, int y, const char *text) {
  return degree_textout(bmp, display.message_font, text, x, y, display.colour_blue, display.colour_pale_blue);
}

namespace {

void draw_version(BITMAP *bmp, int width) {
  show_message(bmp, width - ui_size(140), display.status_y + ui_size(13), SCHEME_TITLE, "%s - HELP:F1", VELDKIT_VERSION);
}

// "height: ..." over the tile's 16 samples, read as unsigned 16-bit values.
void draw_height_range(BITMAP *bmp, int cursor_x, int cursor_y, const ViewState *view) {
  int lowest = 9999, highest = -9999;
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) {
      int h = height_map.heights[4 * cursor_x + i][4 * cursor_y + j];
      if (h < lowest) lowest = h;
      if (h > highest) highest = h;
    }
  }
  const int x = strip_layout(bmp->w, strip_readout_extra(view)).height_x;
  if (lowest == highest)
    show_message(bmp, x, display.status_y + ui_size(1), SCHEME_TITLE, "height: %4d flat", lowest);
  else
    height_range_text(bmp, x, display.status_y + ui_size(1), lowest, highest);
}

}  // namespace

void selection_and_brush_text(const ViewState &view, char *text, int size) {
  char selection[48] = "", brush[LAND_NAME_SIZE + 32] = "";
  if (view.selected) snprintf(selection, sizeof(selection), "Selection %d x %d", view.selection.width(), view.selection.height());
  if (painting(view)) snprintf(brush, sizeof(brush), "Paint %d x %d", view.brush_size, view.brush_size);
  if (editing_targets(view)) snprintf(brush, sizeof(brush), "Targets");
  const int land = current_land(view);
  if (view.left_button == LEFT_BUTTON_LANDS)
    snprintf(brush, sizeof(brush), "Land: %s %d x %d", land ? lands.lands[land].name : "none", view.brush_size,
             view.brush_size);
  if (sculpting(view)) sculpt_mode_text(view, brush, sizeof(brush));
  snprintf(text, size, "%s%s%s", selection, selection[0] && brush[0] ? "  " : "", brush);
}

void clipboard_text(const TileStamp &stamp, int room, char *text, int size) {
  text[0] = 0;
  if (stamp.pastes_nothing() || size < 1) return;
  auto fits = [&] { return !display.message_font || text_length(display.message_font, text) <= room; };
  if (stamp.w != 1 || stamp.h != 1) {
    snprintf(text, size, "Copy %d x %d", stamp.w, stamp.h);
    if (!fits()) text[0] = 0;
    return;
  }
  // One texture: its number and file name, the name cut short (marked
  // "..") where the strip has less room, down to the number alone.
  const int t = stamp.cells[0].texture;
  const char *name = declared_texture_name(t);
  const int whole = name ? (int)strlen(name) : 0;
  for (int keep = whole; name && keep >= std::min(whole, 4); keep--) {
    snprintf(text, size, "Clipboard: %d %.*s%s", t, keep, name, keep < whole ? ".." : "");
    if (fits()) return;
  }
  snprintf(text, size, "Clipboard: %d", t);
  if (!fits()) text[0] = 0;
}

void draw_status_bar(BITMAP *bmp, int cursor_x, int cursor_y, const ViewState *view) {
  if (!bmp) return;
  draw_box(bmp, 0, display.status_y, bmp->w - 1, bmp->h - 1, display.colour_pale_blue, BOX_PANEL);
  draw_version(bmp, bmp->w);
  // "*" after the name while a map has changes not saved.
  const char *unsaved = tile_map_unsaved() || height_map_unsaved() || targets_unsaved() ? "*" : "";
  char summary[PATH_SIZE + 128];
  snprintf(summary, sizeof(summary), "%s%s - %dx%d - Textures: %d/%d - Targets/areas: %d/%d ",
           get_filename(terrain_paths.tfd_path), unsaved, tile_map.tiles_x, tile_map.tiles_y,
           texture_table.textures_loaded, texture_table.textures_declared, targets.target_total, targets.area_count);
  show_message(bmp, ui_size(3), display.status_y + ui_size(13), SCHEME_TITLE, "%s", summary);
  char area[96] = "";
  if (view) selection_and_brush_text(*view, area, sizeof(area));
  // Right-aligned before the version, where the terrain's line has room.
  int right = bmp->w - ui_size(148);
  if (area[0] && display.message_font) {
    right -= text_length(display.message_font, area);
    show_message(bmp, right, display.status_y + ui_size(13), SCHEME_VALUE, "%s", area);
    right -= ui_size(12);
  }
  // The clipboard before them, in what room the terrain's line leaves.
  if (view && display.message_font && display.dialog_font) {
    char clip[PATH_SIZE + 32];
    clipboard_text(clipboards.tiles, right - (ui_size(3) + text_length(display.dialog_font, summary) + ui_size(6)), clip,
                   sizeof(clip));
    if (clip[0])
      show_message(bmp, right - text_length(display.message_font, clip), display.status_y + ui_size(13), SCHEME_VALUE, "%s",
                   clip);
  }
  show_message(bmp, ui_size(3), display.status_y + ui_size(1), SCHEME_LABEL, "%s", TILE_LINE);

  // A cursor outside the grid has no tile to describe.
  if (cursor_x < 0 || cursor_x >= MAX_TILES || cursor_y < 0 || cursor_y >= MAX_TILES) return;
  const Tile &tile = tile_at(cursor_x, cursor_y);
  int rows = tile_map.tiles_y;
  // The values fall into the blanks after their labels, column for column.
  show_message(bmp, ui_size(3), display.status_y + ui_size(1), SCHEME_OVERLAY,
               "   %4d %4d     %4d %4d         %3d          %d     %d", cursor_x,
               rows - 1 - cursor_y, 2 * cursor_x + 1, 2 * (rows - cursor_y) - 1, (int)tile.texture,
               (int)tile.rotation, (int)tile.tag);

  if (height_map.heights_loaded > 0) draw_height_range(bmp, cursor_x, cursor_y, view);
}

void draw_empty_status_bar(BITMAP *bmp) {
  if (!bmp) return;
  draw_box(bmp, 0, display.status_y, display.screen_width - 1, display.screen_height - 1, display.colour_pale_blue, BOX_PANEL);
  draw_version(bmp, display.screen_width);
}

// The window's side of the reports of loaders, writers and exports.
namespace {

enum { KEY_CODE_ENTER = 13 };

void show_progress_text(void *, const char *text) { show_progress("%s", text); }

void show_warning(void *, const Warning &w) {
  if (w.kind == WARNING_NOTE) {
    // Said now, and again once the map is drawn over the strip.
    show_progress("%-59s", w.message);
    note_in_strip(w.message);
    return;
  }
  const int shortcut = w.kind == WARNING_READ_ERROR ? (int)KEY_CODE_ENTER : (int)'o';
  if (w.detail)
    alert(w.message, w.path, w.detail, "OK", nullptr, shortcut, 0);
  else
    alert(w.message, "", w.path, "OK", nullptr, shortcut, 0);
}

void pause_for(void *, int milliseconds) { rest(milliseconds); }

}  // namespace

const Reporter *window_reporter() {
  static const Reporter reporter = {show_progress_text, show_warning, pause_for, nullptr};
  return &reporter;
}
