#include "document/recovery_journal.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/regular_file.h"
#include "core/safe_file.h"
#include "core/terrain_model.h"
#include "document/journal/journal_records.h"
#include "document/open_terrain.h"
#include "edit/edit_history.h"
#include "files/height_map_file.h"
#include "files/target_file_writer.h"
#include "files/tile_map_file.h"

using namespace journal_records;

int journal_files_as_begun(const JournalFound &found, const char *hfd_path) {
  return same_stamp(found.stamps[HISTORY_TILE_MAP], journal_stamp_of(found.tile_map.c_str())) &&
         same_stamp(found.stamps[HISTORY_HEIGHT_MAP], journal_stamp_of(hfd_path));
}

int apply_journal(const char *journal_path, int *maps, JournalFound *out) {
  JournalFound local;
  JournalFound &found = out ? *out : local;
  Scan scan(found, APPLY_ALL);
  int applied_targets = 0;
  scan.keep = [&](std::unique_ptr<TargetChange>) { applied_targets = 1; };
  *maps = 0;
  if (!scan_journal(journal_path, scan)) return 1;
  if (found.tile_bounds[2] >= found.tile_bounds[0]) *maps |= 1 << HISTORY_TILE_MAP;
  if (found.sample_bounds[2] >= found.sample_bounds[0]) *maps |= 1 << HISTORY_HEIGHT_MAP;
  if (applied_targets) *maps |= 1 << HISTORY_TARGET_FILE;
  return 0;
}

int recover_journal(const char *journal_path, JournalFound *found) {
  Scan seen(*found, APPLY_NONE);
  if (!scan_journal(journal_path, seen)) return 1;
  const std::string path = found->path;
  // Meanwhile the journal stays as it is: it is read once for each map.
  journal_pause(true);
  const int *t = found->tile_bounds, *s = found->sample_bounds;
  if (t[2] >= t[0]) {
    history_begin_area(HISTORY_AREA_RECOVERED_TILES, t[0], t[1], t[2], t[3]);
    JournalFound pass;
    Scan tiles(pass, APPLY_TILES);
    scan_journal(path.c_str(), tiles);
    history_end_area(0, t[2] - t[0] + 1, t[3] - t[1] + 1, t[0], t[1], t[2], t[3]);
    found->undeclared = pass.undeclared, found->undeclared_texture = pass.undeclared_texture;
  }
  if (s[2] >= s[0]) {
    const int l = s[0] / 4, top = s[1] / 4, r = s[2] / 4, b = s[3] / 4;
    history_begin_area(HISTORY_AREA_RECOVERED_HEIGHTS, l, top, r, b);
    JournalFound pass;
    Scan samples(pass, APPLY_SAMPLES);
    scan_journal(path.c_str(), samples);
    history_end_area(0, r - l + 1, b - top + 1, l, top, r, b);
  }
  if (found->target_edits) {
    JournalFound pass;
    Scan areas(pass, APPLY_TARGETS);
    areas.keep = [](std::unique_ptr<TargetChange> change) { history_target_step(change.release()); };
    scan_journal(path.c_str(), areas);
  }
  journal_pause(false);
  // The journal begins anew from the files as read, with the steps just made.
  history_tell_applied();
  return 0;
}



namespace {

// Writes bytes as a new file; 0, else the failure in *error.
int write_new_copy(const std::string &path, const char *data, size_t n, WriteError *error) {
  SafeFile file;
  if (safe_file_open(&file, path.c_str()) != 0) return write_failed(error, file.error, file.creating);
  file.keep_existing = 1;
  ChunkWriter writer = {file.pack, 0};
  const bool ok = write_chunk_whole(&writer, (const unsigned char *)data, (long)n) == 0;
  if (safe_file_commit(&file, ok) != 0) return write_failed(error, ok ? file.error : writer.error, 0);
  return 0;
}

std::string file_part(const std::string &p) { return p.substr(p.rfind('/') + 1); }

}  // namespace

int write_recovered_terrain(const char *journal_path, const char *tfd_path, JournalFound *found,
                            std::string *written, std::string *why) {
  int maps = 0;
  if (apply_journal(journal_path, &maps, found) != 0) {
    *why = "the journal cannot be read";
    return 1;
  }
  if (found->steps + found->target_edits == 0) {
    *why = "none of its edits could be used";
    return 1;
  }
  // NAME_recovered, then NAME_recovered_2 and on, until no file of the terrain has its name.
  const std::string tfd = tfd_path;
  const size_t dot = tfd.rfind('.'), slash = tfd.rfind('/');
  const bool has_dot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = has_dot ? tfd.substr(0, dot) : tfd, extension = has_dot ? tfd.substr(dot) : ".TFD";
  enum { SIBLINGS = 4 };
  std::string name, names[SIBLINGS], originals[SIBLINGS];
  auto sibling = [](const std::string &of, int k) {
    char path[4 * PATH_MAX];
    sibling_path_of(of.c_str(), k, path, sizeof(path));
    return std::string(path);
  };
  for (int n = 1;; n++) {
    name = stem + "_recovered" + (n > 1 ? "_" + std::to_string(n) : "") + extension;
    struct stat st;
    bool taken = lstat(name.c_str(), &st) == 0;
    for (int k = 0; k < SIBLINGS; k++) {
      names[k] = sibling(name, k), originals[k] = sibling(tfd, k);
      taken = taken || lstat(names[k].c_str(), &st) == 0;
    }
    if (!taken) break;
  }
  // The maps as recovered, the texture list and lands as they are, the
  // target areas with their recovered edits: a terrain of its own.
  std::vector<std::string> done;
  WriteError error{0, 0};
  std::string failed;
  if (save_tile_map(name.c_str(), &error) != RESULT_OK) failed = name;
  if (failed.empty()) done.push_back(name);
  if (failed.empty() && height_map.heights_loaded > 0) {
    if (save_height_map(names[SIBLING_HFD].c_str(), &error) != RESULT_OK)
      failed = names[SIBLING_HFD];
    else
      done.push_back(names[SIBLING_HFD]);
  }
  std::string text_why;
  for (int k = SIBLING_DATA_INI; k < SIBLINGS && failed.empty(); k++) {
    long size = 0;
    char *text = read_whole_file(originals[k].c_str(), &size);
    if (!text) continue;
    std::string edited;
    const bool with_edits = k == SIBLING_TARGETS_INI && (maps >> HISTORY_TARGET_FILE & 1) && size > 0;
    if (with_edits) edited = target_text_after_edits(text, size, targets, &text_why);
    if (!text_why.empty()) {
      failed = names[k];
    } else if ((with_edits ? write_new_copy(names[k], edited.data(), edited.size(), &error)
                           : write_new_copy(names[k], text, (size_t)size, &error)) != 0) {
      failed = names[k];
    } else {
      done.push_back(names[k]);
    }
    free(text);
  }
  if (!failed.empty()) {
    for (const std::string &d : done) unlink(d.c_str());
    char reason[4 * PATH_MAX + 128];
    write_failure_text(failed.c_str(), error, reason, sizeof(reason));
    *why = file_part(failed) + ": " + (!text_why.empty() ? text_why : reason[0] ? reason : "the system gave no reason.");
    return 1;
  }
  // "Desert_recovered.TFD with its .hfd, _DATA.ini and _TARGETS.ini"
  *written = file_part(name);
  const size_t base = file_part(name).size() - extension.size();
  for (size_t k = 1; k < done.size(); k++) {
    const std::string part = file_part(done[k]).substr(base);
    *written += (k == 1 ? " with its " : k + 1 == done.size() ? " and " : ", ") + part;
  }
  return 0;
}
