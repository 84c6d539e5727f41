#include "app/opening.h"

#include <allegro.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/command_line.h"
#include "app/main_loop.h"
#include "app/save_prompt.h"
#include "program/session.h"
#include "app/status_bar.h"
#include "core/regular_file.h"
#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "edit/land_grid.h"
#include "document/new_terrain.h"
#include "document/recovery_journal.h"
#include "render/view/map_layers.h"
#include "ui/display.h"
#include "ui/text_prompt.h"
#include "inspect/terrain_check.h"
#include "ui/lines_box.h"

enum { OPEN_DIALOG_SIZE = 400, ANSWER_SIZE = 64, PROBLEMS_SHOWN = 5 };

namespace {

struct Problems {
  std::vector<std::string> lines;
  int count = 0;
  const char *named = "";  // the file the box names; its problems need no name
};

void collect(void *context, const char *file, const char *what) {
  Problems &p = *(Problems *)context;
  if (++p.count > PROBLEMS_SHOWN) return;
  if (file[0] && strcmp(file, p.named) != 0)
    p.lines.push_back(std::string(get_filename(file)) + ": " + what);
  else
    p.lines.push_back(what);
}

// One box: the warning's own line, its file, and the problems as the
// terrain check words them, the first few and then their number.
void show_subject(int subject, const char *message, const char *path, const char *detail) {
  Problems problems;
  problems.named = path;
  CheckOutput output = {nullptr, nullptr, &problems};
  output.problem = collect;
  output.system_reasons = 1;
  check_opened_subject(subject, output);
  if (!message && problems.count == 0) return;

  std::vector<std::string> lines = {message ? message : "Warning: Problems in _TARGETS.INI file."};
  if (path[0]) lines.push_back(path);
  if (detail) lines.push_back(detail);
  for (const std::string &line : problems.lines) lines.push_back(line);
  if (problems.count > PROBLEMS_SHOWN) {
    char more[64];
    snprintf(more, sizeof(more), "and %d more.", problems.count - PROBLEMS_SHOWN);
    lines.push_back(more);
  }
  std::vector<const char *> texts;
  for (const std::string &line : lines) texts.push_back(line.c_str());
  show_lines_box(texts.data(), (int)texts.size());
}

// After the opening, one box per subject that went wrong, in the order the
// loaders met them; the target areas are checked even when they read well,
// for areas off the terrain.
void show_opening_warnings(const OpenReport &report, int targets_read) {
  int shown[SUBJECT_COUNT] = {};
  std::string notes;
  const int kept = report.warning_count < OPEN_WARNINGS_MAX ? report.warning_count : OPEN_WARNINGS_MAX;
  for (int i = 0; i < kept; i++) {
    const Warning &w = report.warnings[i];
    const int subject = report.subjects[i];
    // A note is no fault: it goes to the strip, and the subject is settled.
    // The strip holds one line: the notes share it.
    if (w.kind == WARNING_NOTE) {
      notes += (notes.empty() ? "" : " ") + std::string(w.message);
      shown[subject] = 1;
      continue;
    }
    if (subject < 0 || subject >= SUBJECT_COUNT || shown[subject]++) continue;
    // The tiles' problems are the tile map's: named once, above them.
    const char *path = subject == SUBJECT_TEXTURE_USES && !w.path[0] ? terrain_paths.tfd_path : w.path;
    show_subject(subject, w.message, path, w.detail);
  }
  if (!notes.empty()) report_warning(window_reporter(), WARNING_NOTE, notes.c_str(), "", nullptr);
  if (targets_read && report.outcome == OPEN_DONE && !shown[SUBJECT_TARGETS])
    show_subject(SUBJECT_TARGETS, nullptr, terrain_paths.targets_ini_path, nullptr);
  // Not a box: a builder may place them there on purpose.
  const int wet = targets_read && report.outcome == OPEN_DONE ? targets_on_water_to_tell() : 0;
  if (wet > 0)
    note_in_strip((std::to_string(wet) + (wet == 1 ? " target stands" : " targets stand") +
                   " on water: E rings them in red, --check names them.").c_str());
}

// The map is drawn as soon as the textures in view are in and again as the
// rest fill in, the strip keeping the loading's progress.
void draw_map_while_loading(void *) {
  draw_map_view(display.back_buffer, view, session.enable_targets);
  blit(display.back_buffer, screen, 0, 0, 0, 0, display.screen_width, display.status_y);
}

void show_progress_text(void *, const char *text) { window_reporter()->progress(nullptr, text); }
void pause_for(void *, int milliseconds) { rest(milliseconds); }

int nothing_named(const char *path) {
  struct stat st;
  return lstat(path, &st) != 0 && errno == ENOENT;
}

// Asked until the answer will do; 0 for Esc.
int ask_size(int *columns, int *rows) {
  for (;;) {
    char text[ANSWER_SIZE] = "";
    if (!ask_text("Size (columns x rows):", text, sizeof(text))) return 0;
    if (parse_terrain_size(text, 1, columns, rows)) return 1;
    alert("Columns and rows from 1 to 4000 each,", "such as 200 x 150.", nullptr, "OK", nullptr, 'o', 0);
  }
}

// Nothing typed is the first texture; one the list holds (listed, when
// known) or any.
int ask_texture(int *texture, int listed) {
  const int last = listed > 0 ? listed : MAX_TEXTURES - 1;
  for (;;) {
    char text[ANSWER_SIZE] = "";
    if (!ask_text("Texture number:", text, sizeof(text))) return 0;
    const char *first = text + strspn(text, " \t");
    const size_t digits = strspn(first, "0123456789");
    const long number = digits == 0 ? (first[0] ? -1 : 1) : digits < 4 ? strtol(first, nullptr, 10) : -1;
    if (number >= 1 && number <= last && first[digits + strspn(first + digits, " \t")] == 0) {
      *texture = (int)number;
      return 1;
    }
    const std::string range = "A texture number from 1 to " + std::to_string(last) + ".";
    const std::string holds = "The list holds " + std::to_string(listed) + (listed == 1 ? " texture." : " textures.");
    alert(range.c_str(), listed > 0 ? holds.c_str() : nullptr, nullptr, "OK", nullptr, 'o', 0);
  }
}

// The pictures that were not listed, the first few and their number.
void show_left_out(const std::vector<std::string> &left_out) {
  std::vector<const char *> lines = {"Left out of the texture list:"};
  for (size_t i = 0; i < left_out.size() && i < PROBLEMS_SHOWN; i++) lines.push_back(left_out[i].c_str());
  const std::string more = "and " + std::to_string(left_out.size() - PROBLEMS_SHOWN) + " more.";
  if (left_out.size() > PROBLEMS_SHOWN) lines.push_back(more.c_str());
  show_lines_box(lines.data(), (int)lines.size());
}

// A texture list for a new terrain that has none to copy: every picture of
// a folder, as --new --textures lists them, or none. 0 for Esc; *listed is
// how many the list holds.
int ask_texture_list(const char *tfd, std::string *list, int *listed) {
  const std::string question = std::string("Textures for ") + get_filename(tfd) + ":";
  for (;;) {
    const int answer = alert3(question.c_str(), "a list of the pictures in a folder,",
                              "or none (tiles in a placeholder colour).", "&Folder...", "&None", "Cancel", 'f', 'n', 0);
    if (answer == 2) return 1;
    if (answer != 1) return 0;
    // Any picture in the folder, or OK in it; Cancel asks again.
    char path[PATH_SIZE];
    replace_filename(path, tfd, "", sizeof(path));
    if (!file_select_ex("A picture in the texture folder (or OK in it)", path, "bmp;pcx;tga;lbm;png;jpg;jpeg",
                        sizeof(path), OPEN_DIALOG_SIZE, OPEN_DIALOG_SIZE))
      continue;
    char folder[PATH_SIZE];
    replace_filename(folder, path, "", sizeof(folder));
    const TextureFolder found = list_texture_folder(folder[0] ? folder : "./", tfd);
    if (found.error || found.filenames.empty()) {
      alert(found.error ? "This folder cannot be read:" : "No picture in this folder can be a texture:", folder,
            found.error ? strerror(found.error) : nullptr, "OK", nullptr, 'o', 0);
      continue;
    }
    if (!found.left_out.empty()) show_left_out(found.left_out);
    *list = texture_list_text(found.filenames);
    *listed = (int)found.filenames.size();
    return 1;
  }
}

// The texture list (asked for when none is given), the size and texture,
// then the files, the lands file with a list given; 1 when written. A file that could not be is named in an
// alert.
int write_new_terrain_asked(const char *tfd, const std::string *list, const std::string *lands_text = nullptr) {
  std::string made;
  int listed = 0;
  if (!list && !ask_texture_list(tfd, &made, &listed)) return 0;
  if (listed > 0) list = &made;
  NewTerrain t = {0, 0, 1, 0, list ? list->data() : nullptr, list ? (long)list->size() : 0};
  if (list && lands_text) t.lands_ini = lands_text->data(), t.lands_ini_size = (long)lands_text->size();
  if (!ask_size(&t.columns, &t.rows) || !ask_texture(&t.texture, listed)) return 0;
  show_progress("%-59s", "Writing the new terrain...");
  NewTerrainFailure failure;
  const int outcome = write_new_terrain(tfd, t, &failure);
  if (outcome == NEW_TERRAIN_WRITTEN) return 1;
  alert("No new terrain: nothing was written.", failure.path.c_str(),
        new_terrain_failure_text(outcome, failure).c_str(), "OK", nullptr, 'o', 0);
  return 0;
}

// The file selector until a tile map is chosen, or a new one is made for a
// .TFD name that nothing has; 0 for a cancel.
int select_tile_map() {
  for (;;) {
    char *path = terrain_paths.tfd_path;
    if (!file_select_ex("Select a .TFD file", path, "TFD", sizeof(terrain_paths.tfd_path), OPEN_DIALOG_SIZE,
                        OPEN_DIALOG_SIZE))
      return 0;
    if (!names_a_tile_map(path) || !nothing_named(path)) return 1;
    const std::string question = std::string(get_filename(path)) + " does not exist.";
    if (alert(question.c_str(), nullptr, "Make a new terrain?", "&Yes", "&No", 'y', 'n') == 1 &&
        write_new_terrain_asked(path, nullptr))
      return 1;
  }
}

// The open terrain's texture list, for a new terrain in the same folder:
// the file names it holds are taken from there. false when there is none.
// Its lands file comes with it, byte for byte, when it has one (*with_lands
// then true): the lands name the textures by their numbers in that list.
bool list_to_copy(const char *tfd, std::string *list, std::string *lands_text, bool *with_lands) {
  char here[PATH_MAX], there[PATH_MAX];
  folder_of_file(terrain_paths.tfd_path, here, sizeof(here));
  folder_of_file(tfd, there, sizeof(there));
  *with_lands = false;
  long size = 0;
  char *text = strcmp(here, there) == 0 && terrain_paths.data_ini_path[0]
                   ? read_whole_file(terrain_paths.data_ini_path, &size)
                   : nullptr;
  if (!text) return false;
  list->assign(text, (size_t)size);
  free(text);
  text = terrain_paths.lands_ini_path[0] ? read_whole_file(terrain_paths.lands_ini_path, &size) : nullptr;
  if (text) {
    lands_text->assign(text, (size_t)size);
    *with_lands = true;
    free(text);
  }
  return true;
}

// The journal's edits as the alert's third line says them.
std::string edits_text(const JournalFound &found) {
  std::string text = journal_edits_text(found) + ", " + journal_time_text(found, "the last on %Y-%m-%d at %H:%M");
  if (found.dropped)
    text += " (" + std::to_string(found.dropped) + " more cannot be used)";
  return text + ".";
}

// Starts the journal of the terrain just read, and offers the edits of a
// session that ended without saving. Recover makes them steps of the
// history over the terrain as read (nothing written until a save; undo
// takes them back); with files changed on disk since, the recovered
// terrain is written beside them and the terrain opens as on disk.
void offer_recovery() {
  std::string why;
  const char *name = get_filename(terrain_paths.tfd_path);
  const int state = journal_start(terrain_paths.tfd_path, terrain_paths.hfd_path, &why);
  if (state == JOURNAL_ELSEWHERE)
    note_in_strip((std::string(name) + " is open elsewhere: no recovery journal in this window.").c_str());
  if (state == JOURNAL_OFF) note_in_strip(("Recovery journal off: " + why).c_str());
  JournalFound found;
  if (state != JOURNAL_ON || !journal_pending(&found)) return;
  const int as_begun = journal_files_as_begun(found, terrain_paths.hfd_path);
  const std::string first = std::string(as_begun ? "Unsaved edits of " : "") + name +
                            (as_begun ? " were found," : " changed on disk since these edits:");
  const int answer = alert3(first.c_str(), "from a session that ended without saving:", edits_text(found).c_str(),
                            "&Recover", "&Discard", "&Keep for later", 'r', 'd', 'k');
  // Any answer but Recover and Discard (Esc too) keeps the journal for later.
  if (answer == 2) journal_discard();
  if (answer != 1 && answer != 2) journal_hold();
  if (answer != 1) return;
  if (as_begun) {
    recover_journal(found.path.c_str(), &found);
    note_in_strip(("Recovered " + journal_edits_text(found) + ", not saved yet: Ctrl + S writes them.").c_str());
    const std::string left_out = journal_left_out_text(found), textures = journal_texture_text(found);
    if (!left_out.empty() || !textures.empty())
      alert(left_out.empty() ? textures.c_str() : left_out.c_str(), left_out.empty() || textures.empty() ? nullptr : textures.c_str(),
            "Ctrl + Z takes the recovered edits back.", "OK", nullptr, 'o', 0);
    return;
  }
  std::string written;
  if (write_recovered_terrain(found.path.c_str(), terrain_paths.tfd_path, &found, &written, &why) != 0) {
    alert("The recovered edits could not be written:", why.c_str(), "The journal is kept.", "OK", nullptr, 'o', 0);
    journal_hold();
  } else {
    alert("The recovered edits were written to", written.c_str(), "The terrain opens as it is on disk.", "OK",
          nullptr, 'o', 0);
    journal_discard();
  }
  // The terrain in memory holds the recovered edits: it is read again.
  session.terrain_open = 0;
  open_terrain(0);
}

}  // namespace

void textures_in_view(void *, unsigned char *first) {
  reset_view();
  const MapGeometry g = view_geometry(display.back_buffer, view);
  for (int i = g.i0; i < g.i1; i++)
    for (int j = g.j0; j < g.j1; j++) {
      const int t = tile_at(g.X0 + i, g.Y0 + j).texture;
      if (t >= 1 && t < MAX_TEXTURES) first[t] = 1;
    }
}

void show_subject_box(int subject, const char *message, const char *path) { show_subject(subject, message, path, nullptr); }

void open_terrain(int select, OpenReport *report) {
  // A second attempt follows a failed one: nothing of that terrain stays.
  static int open_attempts;
  // The terrain before is settled (saved or let go): its journal goes first,
  // as its writer may still be reading the maps.
  journal_stop();
  if (open_attempts++ > 0) clear_terrain_model();

  OpenReport local;
  if (!report) report = &local;
  *report = OpenReport{};

  if (select == 1 && !select_tile_map()) {
    session.run_state = RUN_END;
    return;
  }
  if (session.run_state != RUN_CONTINUE) return;
  // The warnings wait for the end, each file's gathered into one box.
  static const Reporter quiet = {show_progress_text, nullptr, pause_for, nullptr};
  const int targets_read = session.enable_targets != 0;
  static const TextureWatcher watcher = {textures_in_view, draw_map_while_loading, nullptr};
  const int outcome = open_terrain_files(targets_read, &quiet, report, &watcher);
  show_opening_warnings(*report, targets_read);
  if (outcome != OPEN_DONE) {
    session.run_state = RUN_END;
    return;
  }
  session.terrain_open = 1;
  // The terrain as read is the saved state; no step of another may be undone.
  history_clear();
  offer_recovery();
  if (!session.terrain_open) return;
  if (lands_in_use()) read_land_grid();
}

int open_new_terrain() {
  if (!changes_settled("before a new terrain?")) return 0;
  char path[PATH_SIZE];
  replace_filename(path, terrain_paths.tfd_path, "", sizeof(path));
  std::string list, lands_text;
  bool with_list = false, with_lands = false;
  for (;;) {
    if (!file_select_ex("Name of the new tile map", path, "TFD", sizeof(path), OPEN_DIALOG_SIZE, OPEN_DIALOG_SIZE))
      return 0;
    if (!get_filename(path)[0]) continue;
    if (!names_a_tile_map(path) && strlen(path) + 4 < sizeof(path)) strcat(path, ".TFD");
    with_list = list_to_copy(path, &list, &lands_text, &with_lands);
    NewTerrain names = {1, 1, 1, 0, with_list ? "" : nullptr, 0, with_lands ? "" : nullptr, 0};
    std::string taken;
    if (!new_terrain_name_taken(path, names, &taken)) break;
    alert("A file has this name already:", taken.c_str(), "A new terrain never replaces one.", "OK", nullptr, 'o', 0);
  }
  if (!write_new_terrain_asked(path, with_list ? &list : nullptr, with_lands ? &lands_text : nullptr)) return 0;

  // The new terrain takes the open one's place; should it not open, the
  // one before comes back.
  char before[PATH_SIZE];
  strcpy(before, terrain_paths.tfd_path);
  strcpy(terrain_paths.tfd_path, path);
  session.terrain_open = 0;
  open_terrain(0);
  if (!session.terrain_open) {
    strcpy(terrain_paths.tfd_path, before);
    session.run_state = RUN_CONTINUE;
    open_terrain(0);
  }
  return session.terrain_open;
}
