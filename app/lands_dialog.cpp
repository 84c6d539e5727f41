#include "app/lands_dialog.h"

#include <allegro.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/status_bar.h"
#include "core/terrain_model.h"
#include "document/land_set_draft.h"
#include "document/land_set_preview.h"
#include "ui/dialog_theme.h"
#include "ui/display.h"
#include "ui/list_box.h"
#include "ui/text_prompt.h"

namespace {

enum {
  LANDS_DIALOG_W = 600, LANDS_DIALOG_H = 440, LANDS_LIST_X = 30, LANDS_LIST_Y = 30, LANDS_LIST_W = 290,
  LANDS_LIST_H = 164, LANDS_PREVIEW_X = 340, LANDS_PREVIEW_SIDE = 160, LANDS_BUTTON_W = 48, LANDS_LINES = 10,
  LANDS_LINE_SIZE = 96, LANDS_MISSING_SHOWN = 4, LANDS_FILE_DIALOG_SIZE = 400,
};

// The open dialog's state, for the objects' procedures.
struct LandsDialog {
  LandDraft draft;
  LandPreview preview;
  BITMAP *picture = nullptr;  // the preview at its size
  std::string preview_note;   // shown instead of a picture
  int pair[2] = {0, 0};       // the land under the cursor and the one chosen before it
  int cursor_seen = -1;
  uint32_t seed_seen = 1;
  std::vector<std::string> rows;
  std::vector<LandMissing> now;
  char variants_text[4] = "2", seed_text[12] = "1";
  char lines[LANDS_LINES][LANDS_LINE_SIZE] = {};
  DIALOG *list = nullptr;
};

LandsDialog *open_dialog;

DIALOG object(int (*proc)(int, DIALOG *, int), int x, int y, int w, int h, int flags, const void *dp) {
  return DIALOG{proc, x, y, w, h, theme.fg_color, theme.bg_color, 0, flags, 0, 0, const_cast<void *>(dp), nullptr,
                nullptr};
}

std::string row_text(const LandsDialog &s, int k) {
  const DraftLand &l = s.draft.lands[(size_t)k];
  const bool paired = k == s.pair[0] || k == s.pair[1];
  std::string text = std::string(paired ? "> " : "  ") + l.name + "  ";
  text += l.picture.empty() ? "(no picture)" : get_filename(l.picture.c_str());
  if (l.water) text += "  water";
  if (!l.number) text += "  new";
  return text;
}

char *land_row(int index, int *count) {
  LandsDialog &s = *open_dialog;
  if (index < 0) {
    *count = (int)s.draft.lands.size();
    return nullptr;
  }
  s.rows.resize(s.draft.lands.size());
  s.rows[(size_t)index] = row_text(s, index);
  return const_cast<char *>(s.rows[(size_t)index].c_str());
}

// The colour of each land's row, beside the list.
int swatches_proc(int msg, DIALOG *d, int) {
  if (msg != MSG_DRAW) return D_O_K;
  const LandsDialog &s = *open_dialog;
  const int th = text_height(font), rows = (s.list->h - 4) / th;
  rectfill(screen, d->x, d->y, d->x + d->w - 1, d->y + d->h - 1, theme.bg_color);
  for (int r = 0; r < rows && s.list->d2 + r < (int)s.draft.lands.size(); r++) {
    const int colour = s.draft.lands[(size_t)(s.list->d2 + r)].colour;
    const int y = s.list->y + 2 + r * th;
    rectfill(screen, d->x + 2, y + 1, d->x + d->w - 3, y + th - 2,
             makecol(colour >> 16 & 255, colour >> 8 & 255, colour & 255));
    rect(screen, d->x + 2, y + 1, d->x + d->w - 3, y + th - 2, theme.fg_color);
  }
  return D_O_K;
}

void remake_preview(LandsDialog &s) {
  if (s.picture) destroy_bitmap(s.picture);
  s.picture = nullptr;
  const int n = (int)s.draft.lands.size();
  if (s.pair[0] >= n) s.pair[0] = n - 1;
  if (s.pair[1] >= n) s.pair[1] = s.pair[0];
  if (n == 0) {
    s.preview_note = "No lands yet: Add makes one.";
    return;
  }
  s.preview_note = make_land_preview(s.draft, std::min(s.pair[0], s.pair[1]), std::max(s.pair[0], s.pair[1]), &s.preview);
  if (!s.preview_note.empty()) return;
  const int side = s.preview.size;
  s.picture = create_bitmap(side, side);
  if (!s.picture) return;
  for (int y = 0; y < side; y++)
    for (int x = 0; x < side; x++) {
      const unsigned char *p = &s.preview.rgb[((size_t)y * side + x) * 3];
      putpixel(s.picture, x, y, makecol(p[0], p[1], p[2]));
    }
}

// A seed of digits only, 0..4294967295.
bool seed_value(const char *text, uint32_t *seed) {
  const size_t digits = strspn(text, "0123456789");
  if (digits == 0 || digits > 10 || text[digits]) return false;
  const unsigned long long n = strtoull(text, nullptr, 10);
  if (n > 4294967295ULL) return false;
  *seed = (uint32_t)n;
  return true;
}

// The preview of the pair; on each idle turn it follows the list's cursor
// and the seed as typed.
int preview_proc(int msg, DIALOG *d, int) {
  LandsDialog &s = *open_dialog;
  if (msg == MSG_IDLE) {
    uint32_t seed = s.seed_seen;
    const bool seed_changed = seed_value(s.seed_text, &seed) && seed != s.seed_seen;
    if (s.list->d1 == s.cursor_seen && !seed_changed) return D_O_K;
    if (s.list->d1 != s.cursor_seen) {
      s.pair[1] = s.pair[0];
      s.pair[0] = s.list->d1;
      s.cursor_seen = s.list->d1;
      s.list->flags |= D_DIRTY;
    }
    s.draft.seed = s.seed_seen = seed;
    remake_preview(s);
    d->flags |= D_DIRTY;
    return D_O_K;
  }
  if (msg != MSG_DRAW) return D_O_K;
  rectfill(screen, d->x, d->y, d->x + d->w - 1, d->y + d->h - 1, theme.light_color);
  rect(screen, d->x - 1, d->y - 1, d->x + d->w, d->y + d->h, theme.fg_color);
  if (s.picture) {
    stretch_blit(s.picture, screen, 0, 0, s.picture->w, s.picture->h, d->x, d->y, d->w, d->h);
  } else {
    textout_ex(screen, font, s.preview_note.substr(0, 24).c_str(), d->x + 4, d->y + d->h / 2 - 4, theme.fg_color, -1);
  }
  return D_O_K;
}

void fill_lines(LandsDialog &s) {
  std::vector<std::string> lines = {"Corners no texture has, now:"};
  for (const std::string &l : missing_lines(s.now, LANDS_MISSING_SHOWN)) lines.push_back("  " + l);
  lines.push_back("After Generate:");
  for (const std::string &l : missing_lines(missing_after_draft(s.draft, s.now), LANDS_MISSING_SHOWN))
    lines.push_back("  " + l);
  for (int k = 0; k < LANDS_LINES; k++)
    snprintf(s.lines[k], LANDS_LINE_SIZE, "%s", k < (int)lines.size() ? lines[(size_t)k].c_str() : "");
}

void refuse(const std::string &why) {
  if (!why.empty()) alert(why.substr(0, 70).c_str(), why.size() > 70 ? why.substr(70, 70).c_str() : nullptr, nullptr,
                          "OK", nullptr, 'o', 0);
}

bool ask_picture(const LandsDialog &s, std::string *picture) {
  char path[PATH_SIZE];
  replace_filename(path, s.draft.tfd_path.c_str(), "", sizeof(path));
  if (!file_select_ex("The land's picture (PNG, JPEG or BMP)", path, "png;jpg;jpeg;bmp", sizeof(path),
                      LANDS_FILE_DIALOG_SIZE, LANDS_FILE_DIALOG_SIZE))
    return false;
  *picture = path;
  return true;
}

void add_land(LandsDialog &s) {
  char name[LAND_NAME_SIZE + 8] = "";
  if (!ask_text("Name of the new land:", name, sizeof(name))) return;
  std::string why = draft_name_fault(s.draft, name, -1), picture;
  if (!why.empty()) return refuse(why);
  if (!ask_picture(s, &picture)) return;
  why = draft_add(s.draft, name, picture, false);
  if (!why.empty()) return refuse(why);
  s.list->d1 = (int)s.draft.lands.size() - 1;
}

void colour_land(LandsDialog &s, int k) {
  const int was = s.draft.lands[(size_t)k].colour;
  char text[32];
  snprintf(text, sizeof(text), "%d, %d, %d", was >> 16 & 255, was >> 8 & 255, was & 255);
  std::string why = draft_colour(s.draft, k, was);
  if (!why.empty()) return refuse(why);
  if (!ask_text_again("Colour (red, green, blue, each 0 to 255):", text, sizeof(text))) return;
  int r, g, b;
  char tail;
  if (sscanf(text, "%d , %d , %d %c", &r, &g, &b, &tail) != 3 || r < 0 || g < 0 || b < 0 || r > 255 || g > 255 ||
      b > 255)
    return refuse("A colour is three numbers from 0 to 255, parted by commas.");
  refuse(draft_colour(s.draft, k, r << 16 | g << 8 | b));
}

// One button's work on the land under the cursor.
void run_button(LandsDialog &s, const char *label) {
  const int k = s.list->d1;
  std::string why;
  if (!strcmp(label, "Add")) {
    add_land(s);
  } else if (!strcmp(label, "Remove")) {
    why = draft_remove(s.draft, k);
    if (why.empty() && s.list->d1 > 0) s.list->d1--;
  } else if (!strcmp(label, "Rename")) {
    why = draft_rename(s.draft, k, k >= 0 && k < (int)s.draft.lands.size() ? s.draft.lands[(size_t)k].name : "");
    char name[LAND_NAME_SIZE + 8];
    snprintf(name, sizeof(name), "%s", why.empty() ? s.draft.lands[(size_t)k].name.c_str() : "");
    if (why.empty() && ask_text_again("New name of the land:", name, sizeof(name))) why = draft_rename(s.draft, k, name);
  } else if (!strcmp(label, "Colour")) {
    if (k >= 0 && k < (int)s.draft.lands.size()) colour_land(s, k);
  } else if (!strcmp(label, "Picture")) {
    std::string picture;
    if (k >= 0 && k < (int)s.draft.lands.size() && ask_picture(s, &picture)) why = draft_picture(s.draft, k, picture);
  } else if (!strcmp(label, "Water")) {
    why = draft_water(s.draft, k, k >= 0 && k < (int)s.draft.lands.size() && !s.draft.lands[(size_t)k].water);
  }
  refuse(why);
  remake_preview(s);
}

// Generate: the fields read, the set written and read in, the draft anew.
bool generate(LandsDialog &s, KeyCommand &c) {
  const int variants = atoi(s.variants_text);
  uint32_t seed;
  if (strspn(s.variants_text, "0123456789") != strlen(s.variants_text) || variants < 1 ||
      variants > LAND_SET_VARIANTS_MAX) {
    refuse("Variants must be a whole number from 1 to 8.");
    return false;
  }
  if (!seed_value(s.seed_text, &seed)) {
    refuse("The seed must be a whole number from 0 to 4294967295.");
    return false;
  }
  s.draft.variants = variants;
  s.draft.seed = seed;
  const LandSetOutcome o = generate_land_draft(s.draft, window_reporter());
  c.redraw = 1;
  if (o.result != LAND_SET_WRITTEN) {
    refuse(o.why);
    return false;
  }
  LandDraft again = draft_of_open_terrain(terrain_paths.tfd_path);
  again.variants = variants, again.seed = seed;
  s.draft = again;
  s.now = missing_transitions();
  key_note(c, o.said.c_str());
  alert("The land set is made:", o.said.substr(0, 70).c_str(), o.said.size() > 70 ? o.said.substr(70, 70).c_str() : nullptr,
        "OK", nullptr, 'o', 0);
  return true;
}

std::vector<DIALOG> lay_out(LandsDialog &s, int *first_button, int *generate_at) {
  const int x0 = (display.screen_width - LANDS_DIALOG_W) / 2, y0 = (display.screen_height - LANDS_DIALOG_H) / 2;
  std::vector<DIALOG> d;
  d.push_back(object(gui_shadow_box_proc, x0, y0, LANDS_DIALOG_W, LANDS_DIALOG_H, 0, nullptr));
  d.push_back(object(theme_text_proc, x0 + 12, y0 + 10, 400, 12, 0, "Lands: the lands file's and the lands to be made"));
  d.push_back(object(theme_list_proc, x0 + LANDS_LIST_X, y0 + LANDS_LIST_Y, LANDS_LIST_W, LANDS_LIST_H, 0, (void *)land_row));
  d.push_back(object(swatches_proc, x0 + 10, y0 + LANDS_LIST_Y, 18, LANDS_LIST_H, 0, nullptr));
  DIALOG preview = object(preview_proc, x0 + LANDS_PREVIEW_X, y0 + LANDS_LIST_Y, LANDS_PREVIEW_SIDE, LANDS_PREVIEW_SIDE, 0, nullptr);
  d.push_back(preview);
  d.push_back(object(theme_text_proc, x0 + LANDS_PREVIEW_X, y0 + LANDS_LIST_Y + LANDS_PREVIEW_SIDE + 6, 240, 12, 0,
                     "Preview: the last two lands chosen"));
  static const char *const BUTTONS[] = {"Add", "Remove", "Rename", "Colour", "Picture", "Water"};
  *first_button = (int)d.size();
  for (int b = 0; b < 6; b++)
    d.push_back(object(theme_button_proc, x0 + 10 + b * (LANDS_BUTTON_W + 4), y0 + LANDS_LIST_Y + LANDS_LIST_H + 8,
                       LANDS_BUTTON_W, 20, D_EXIT, BUTTONS[b]));
  const int fields_y = y0 + LANDS_LIST_Y + LANDS_PREVIEW_SIDE + 28;
  d.push_back(object(theme_text_proc, x0 + LANDS_PREVIEW_X, fields_y + 3, 70, 12, 0, "Variants"));
  DIALOG variants = object(theme_edit_proc, x0 + LANDS_PREVIEW_X + 72, fields_y, 40, 16, 0, s.variants_text);
  variants.d1 = 1;
  variants.d2 = (int)strlen(s.variants_text);
  d.push_back(variants);
  d.push_back(object(theme_text_proc, x0 + LANDS_PREVIEW_X, fields_y + 25, 70, 12, 0, "Seed"));
  DIALOG seed = object(theme_edit_proc, x0 + LANDS_PREVIEW_X + 72, fields_y + 22, 100, 16, 0, s.seed_text);
  seed.d1 = 10;
  seed.d2 = (int)strlen(s.seed_text);
  d.push_back(seed);
  for (int k = 0; k < LANDS_LINES; k++)
    d.push_back(object(theme_text_proc, x0 + 12, y0 + LANDS_LIST_Y + LANDS_LIST_H + 38 + 14 * k, 320, 12, 0, s.lines[k]));
  *generate_at = (int)d.size();
  d.push_back(object(theme_button_proc, x0 + LANDS_DIALOG_W - 200, y0 + LANDS_DIALOG_H - 32, 90, 22, D_EXIT, "Generate"));
  d.push_back(object(theme_button_proc, x0 + LANDS_DIALOG_W - 100, y0 + LANDS_DIALOG_H - 32, 90, 22, D_EXIT, "Close"));
  d.back().key = 27;
  d.push_back(object(d_yield_proc, 0, 0, 0, 0, 0, nullptr));
  d.push_back(DIALOG{nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr});
  return d;
}

}  // namespace

void edit_lands(KeyCommand &c) {
  LandsDialog s;
  s.draft = draft_of_open_terrain(terrain_paths.tfd_path);
  s.now = missing_transitions();
  open_dialog = &s;
  int first_button = 0, generate_at = 0;
  std::vector<DIALOG> d = lay_out(s, &first_button, &generate_at);
  s.list = &d[2];
  scale_dialog(d.data());
  s.pair[0] = s.pair[1] = s.cursor_seen = 0;
  s.pair[1] = s.draft.lands.size() > 1 ? 1 : 0;
  remake_preview(s);
  const int mouse_focus = gui_mouse_focus;
  gui_mouse_focus = FALSE;
  clear_keybuf();
  int focus = 2;
  for (;;) {
    fill_lines(s);
    const int ended = popup_dialog(d.data(), focus);
    if (ended < 0 || ended == generate_at + 1) break;
    focus = ended;
    if (ended == generate_at) generate(s, c);
    else if (ended >= first_button && ended < first_button + 6) run_button(s, (const char *)d[(size_t)ended].dp);
    remake_preview(s);
  }
  gui_mouse_focus = mouse_focus;
  clear_keybuf();
  if (s.picture) destroy_bitmap(s.picture);
  open_dialog = nullptr;
  c.redraw = 1;
}
