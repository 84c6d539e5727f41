#include "app/opening.h"

#include <allegro.h>
#include <cstdio>
#include <string>
#include <vector>

#include "app/session.h"
#include "app/window_reporter.h"
#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "inspect/terrain_check.h"
#include "ui/lines_box.h"

enum { OPEN_DIALOG_SIZE = 400, PROBLEMS_SHOWN = 5 };

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
  const int kept = report.warning_count < OPEN_WARNINGS_MAX ? report.warning_count : OPEN_WARNINGS_MAX;
  for (int i = 0; i < kept; i++) {
    const int subject = report.subjects[i];
    if (subject < 0 || subject >= SUBJECT_COUNT || shown[subject]++) continue;
    const Warning &w = report.warnings[i];
    // The tiles' problems are the tile map's: named once, above them.
    const char *path = subject == SUBJECT_TEXTURE_USES && !w.path[0] ? terrain_paths.tfd_path : w.path;
    show_subject(subject, w.message, path, w.detail);
  }
  if (targets_read && report.outcome == OPEN_DONE && !shown[SUBJECT_TARGETS])
    show_subject(SUBJECT_TARGETS, nullptr, terrain_paths.targets_ini_path, nullptr);
}

void show_progress_text(void *, const char *text) { window_reporter()->progress(nullptr, text); }
void pause_for(void *, int milliseconds) { rest(milliseconds); }

}  // namespace

void open_terrain(int select, OpenReport *report) {
  // A second attempt follows a failed one: nothing of that terrain stays.
  static int open_attempts;
  if (open_attempts++ > 0) clear_terrain_model();

  OpenReport local;
  if (!report) report = &local;
  *report = OpenReport{};

  if (select == 1 &&
      !file_select_ex("Select a .TFD file", terrain_paths.tfd_path, "TFD",
                      sizeof(terrain_paths.tfd_path), OPEN_DIALOG_SIZE, OPEN_DIALOG_SIZE)) {
    session.run_state = RUN_END;
    return;
  }
  if (session.run_state != RUN_CONTINUE) return;
  // The warnings wait for the end, each file's gathered into one box.
  static const Reporter quiet = {show_progress_text, nullptr, pause_for, nullptr};
  const int targets_read = session.enable_targets != 0;
  const int outcome = open_terrain_files(targets_read, &quiet, report);
  show_opening_warnings(*report, targets_read);
  if (outcome != OPEN_DONE) {
    session.run_state = RUN_END;
    return;
  }
  session.terrain_open = 1;
  // The terrain as read is the saved state; no step of another may be undone.
  history_clear();
}
