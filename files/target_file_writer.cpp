#include "files/target_file_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/regular_file.h"
#include "core/safe_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "files/target_quick_patch.h"
#include "files/target_rewrite.h"

namespace {

int quick_saves;



// The file as now saved, for the next save's quick way.
void keep_file(TargetFile *file, const TargetSet &areas, TargetSections sections, const FileStamp &stamp) {
  if (!file) return;
  if (!file->areas) file->areas.reset(new TargetSet);
  copy_target_areas(*file->areas, areas);
  file->sections = std::move(sections);
  file->stamp = stamp;
}
// Writes the new file as a save does (a new file renamed over the old
// one) with write, which returns 0, an errno, or -1 for a failure whose
// reason it does not know; then stamp records the new file.
int write_target_file(const char *path, const std::function<int(SafeFile &)> &write, FileStamp *stamp,
                      std::string *why) {
  SafeFile file;
  WriteError error = {0, 0};
  if (safe_file_open(&file, path) != 0) {
    write_failed(&error, file.error, file.creating);
  } else {
    const int failed = write(file);
    if (safe_file_commit(&file, failed == 0) == 0) {
      record_file_stamp(stamp, path, &file.written);
      return RESULT_OK;
    }
    write_failed(&error, failed > 0 ? failed : file.error, 0);
  }
  char reason[1024];
  write_failure_text(path, error, reason, sizeof(reason));
  *why = get_filename(path) + std::string(" cannot be written: ") + (reason[0] ? reason : "the system gave no reason.");
  return RESULT_CANNOT_WRITE;
}

void number_as_saved(TargetArea &area, int n) {
  area.file_number = n;
  for (int t = 1; t <= area.target_count; t++) area.targets[t].file_number = t;
}

// The quick way from the file as kept, when what is at path is still that
// very file: only the changed sections are read from it, the rest copied
// by the system. -1 when it cannot vouch for its result.
int save_quickly(const char *path, FileStamp *stamp, TargetSet &now, std::string *why, TargetFile &kept) {
  struct stat st;
  const int fd = open_regular_file(path, &st);
  if (fd < 0) return -1;
  QuickSave plan;
  int result = -1;
  if (file_stamp_matches(&kept.stamp, path, &st) && kept.sections.size == (long)st.st_size &&
      plan_quick_save(*kept.areas, kept.sections, old_text_in_file(fd), now, &plan)) {
    result = write_target_file(
        path, [&](SafeFile &file) { return write_patched_file(file.fd, fd, plan.patch); }, stamp, why);
  }
  close(fd);
  if (result != RESULT_OK) return result;
  // Only the areas the file did not hold as they are now are copied.
  for (int n : plan.renewed) {
    number_as_saved(now.areas[n], n);
    kept.areas->areas[n] = now.areas[n];
  }
  kept.areas->area_count = now.area_count;
  kept.areas->target_total = now.target_total;
  kept.sections = std::move(plan.after);
  kept.stamp = *stamp;
  quick_saves++;
  return RESULT_OK;
}

}  // namespace

int target_saves_taken_quickly() { return quick_saves; }


std::string target_text_after_edits(const char *text, long size, const TargetSet &now, std::string *why,
                                    const TargetSet *file_areas) {
  std::string quick;
  if (file_areas && target_text_quickly(text, size, *file_areas, now, &quick)) {
    why->clear();
    return quick;
  }
  std::unique_ptr<TargetSet> was(new TargetSet);
  was->area_count = was->target_total = 0;
  if (size > 0) read_target_text_into(*was, text, size, nullptr);
  return target_text_rewritten(text, size, *was, now, why);
}

int save_target_file(const char *path, FileStamp *stamp, TargetSet &now, std::string *why, int overwrite,
                     TargetFile *kept) {
  const std::string name = get_filename(path);
  const int changed = file_changed_on_disk(stamp, path);
  if (changed && !overwrite) return RESULT_CHANGED_ON_DISK;
  const bool known = kept && kept->areas;
  if (!changed && known) {
    const int quick = save_quickly(path, stamp, now, why, *kept);
    if (quick >= 0) return quick;
  }
  long size = 0;
  char *text = nullptr;
  if (!target_file_absent(path)) {
    text = read_whole_file(path, &size);
    if (!text) {
      *why = name + " cannot be read again to be written.";
      return RESULT_CANNOT_WRITE;
    }
  }
  // Another program's file: the areas are compared with what it holds.
  const std::string out =
      target_text_after_edits(text ? text : "", size, now, why, changed || !known ? nullptr : kept->areas.get());
  free(text);
  if (!why->empty()) {
    *why = name + ": " + *why + "; nothing written.";
    return RESULT_CANNOT_WRITE;
  }
  const int result = write_target_file(
      path,
      [&](SafeFile &file) {
        ChunkWriter writer = {file.pack, 0};
        return write_chunk_whole(&writer, (const unsigned char *)out.data(), (long)out.size()) == 0 ? 0 : writer.error;
      },
      stamp, why);
  if (result != RESULT_OK) return result;
  for (int n = 1; n <= now.area_count; n++) number_as_saved(now.areas[n], n);
  keep_file(kept, now, target_sections_of(out.data(), (long)out.size(), bracket_lines(out.data(), (long)out.size())), *stamp);
  return RESULT_OK;
}
