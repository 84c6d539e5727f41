#include "render/export/export_file.h"

#include <allegro.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/safe_file.h"
#include "core/temp_files.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"

static void random_tag(char *out, size_t size) {
  unsigned char bytes[8];
  if (getrandom(bytes, sizeof(bytes), GRND_NONBLOCK) != (ssize_t)sizeof(bytes)) {
    // No entropy to be had yet: the clock and the process still make
    // clashes unlikely, and O_EXCL turns a clash into another try.
    const unsigned long long t =
        (unsigned long long)std::chrono::steady_clock::now().time_since_epoch().count();
    for (int k = 0; k < 8; k++) bytes[k] = (unsigned char)((t >> (8 * k)) ^ (getpid() >> k));
  }
  snprintf(out, size, "%02x%02x%02x%02x%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3],
           bytes[4], bytes[5], bytes[6], bytes[7]);
}

int export_file_create(ExportFile *file, const char *name) {
  file->fd = -1;
  file->temp_name[0] = 0;
  file->error = ENAMETOOLONG;
  for (int attempt = 0; attempt < 16; attempt++) {
    char tag[17];
    random_tag(tag, sizeof(tag));
    const int written = snprintf(file->temp_name, sizeof(file->temp_name), "%.*s.%s.part",
                                 (int)temp_name_stem(name), name, tag);
    if (written < 0 || written >= (int)sizeof(file->temp_name)) break;
    // Known to the interrupt handlers before it exists, so that no moment
    // is left in which it exists unknown. The same permissions a plain new
    // file gets (the umask applies).
    track_temp_file(file->temp_name);
    file->fd = open(file->temp_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    file->error = errno;
    if (file->fd >= 0) {
      file->error = 0;
      return RESULT_OK;
    }
    forget_temp_file(file->temp_name);
    if (file->error != EEXIST) break;
  }
  file->temp_name[0] = 0;
  return RESULT_CANNOT_WRITE;
}

// The final name for the complete file, never over an existing one: RESULT_OK,
// RESULT_NAME_TAKEN or RESULT_CANNOT_WRITE with *error set.
static int give_name(const char *temp_name, const char *name, int *error) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, temp_name, AT_FDCWD, name, RENAME_NOREPLACE) == 0) return RESULT_OK;
  *error = errno;
  if (*error == EEXIST) return RESULT_NAME_TAKEN;
  if (*error != EINVAL && *error != ENOSYS) return RESULT_CANNOT_WRITE;
#endif
  // A file system without the flag: a second link never replaces either.
  if (link(temp_name, name) != 0) {
    *error = errno;
    return *error == EEXIST ? RESULT_NAME_TAKEN : RESULT_CANNOT_WRITE;
  }
  unlink(temp_name);
  return RESULT_OK;
}

int export_file_publish(ExportFile *file, const char *name) {
  if (file->fd >= 0) {
    const int closed = close(file->fd) == 0;
    file->error = closed ? 0 : errno;
    file->fd = -1;
    if (!closed) {
      export_file_discard(file);
      return RESULT_CANNOT_WRITE;
    }
  }
  const int named = give_name(file->temp_name, name, &file->error);
  if (named == RESULT_OK) {
    forget_temp_file(file->temp_name);
    file->temp_name[0] = 0;
    return RESULT_OK;
  }
  if (named != RESULT_NAME_TAKEN) export_file_discard(file);
  return named;
}

void export_file_discard(ExportFile *file) {
  if (file->fd >= 0) close(file->fd);
  file->fd = -1;
  if (file->temp_name[0]) {
    unlink(file->temp_name);
    forget_temp_file(file->temp_name);
  }
  file->temp_name[0] = 0;
}

enum { OUTPUT_NUMBERS = 999, SUFFIX_SIZE = 64 };

// Any directory entry takes a name: a folder, a device, a link, also one
// that leads nowhere, which a write would follow into another folder.
static int name_taken(const char *name) {
  struct stat st;
  return lstat(name, &st) == 0 || errno != ENOENT;
}

int numbered_output_name(const char *suffix, char *name, const char *extension, const char *also_free) {
  char base[PATH_SIZE * 2];
  replace_extension(base, get_filename(terrain_paths.tfd_path), extension, sizeof(base));
  for (int n = 0; n < OUTPUT_NUMBERS; n++) {
    char numbered[SUFFIX_SIZE];
    ustrzcpy(numbered, SUFFIX_SIZE - 3, suffix);  // room for the three digits
    append_number3(numbered, n);
    char whole[sizeof(base) + SUFFIX_SIZE];
    ustrzcpy(whole, sizeof(whole), base);
    insert_suffix(whole, numbered, sizeof(whole));
    if (strlen(whole) > PATH_SIZE - 1 || !whole[0]) {
      // No file may have so long a name: it is named, cut, and refused.
      cut_middle(whole[0] ? whole : base, PATH_CUT_KEEP, name, PATH_SIZE);
      return RESULT_NAME_TOO_LONG;
    }
    ustrzcpy(name, PATH_SIZE, whole);
    if (name_taken(name)) continue;
    if (!also_free) return RESULT_OK;
    char other[PATH_SIZE + 16];
    replace_extension(other, name, also_free, sizeof(other));
    if (!name_taken(other)) return RESULT_OK;
  }
  name[0] = 0;
  return RESULT_NO_FREE_NAME;
}

// The first line of a write failure names the kind of file: heights are
// no bitmap.
static void error_writing(const char *word, char *line, size_t size) {
  snprintf(line, size, "Error writing %s file.", word);
}

int report_name_failure(const Reporter *r, int found, const char *name, const char *word) {
  if (found != RESULT_NAME_TOO_LONG) return report_no_free_name(r);
  char line[64];
  error_writing(word, line, sizeof(line));
  report_warning(r, WARNING_PLAIN, line, name, "The file name is longer than 255 characters.");
  return RESULT_CANNOT_WRITE;
}

// Whatever part of the file was written is gone already (save_new_bmp);
// whatever has the name now is not ours to remove.
static int failure(const Reporter *r, int result, const char *line1, const char *name) {
  report_warning(r, WARNING_PLAIN, line1, name);
  return result;
}

int report_no_free_name(const Reporter *r) {
  report_warning(r, WARNING_PLAIN, "No free file name for the export.", "");
  return RESULT_NO_FREE_NAME;
}

int report_write_failure(const Reporter *r, const char *name, const WriteError &error, const char *word) {
  char line[64], detail[4 * PATH_MAX + 128];
  error_writing(word, line, sizeof(line));
  write_failure_text(name, error, detail, sizeof(detail));
  report_warning(r, WARNING_PLAIN, line, name, detail[0] ? detail : nullptr);
  return RESULT_CANNOT_WRITE;
}

int report_memory_failure(const Reporter *r, const char *name) {
  return failure(r, RESULT_NO_MEMORY, "Not enough memory for the export.", name);
}

std::string written_files_text(const std::vector<std::string> &names, int width) {
  std::string files = names.empty() ? "" : names[0];
  for (size_t i = 1; i < names.size(); i++) {
    size_t same = 0;
    while (same < names[0].size() && same < names[i].size() && names[0][same] == names[i][same]) same++;
    const size_t dot = names[i].rfind('.');
    // Names that differ in their extension only: ".png".
    if (dot != std::string::npos && same > dot) same = dot;
    const std::string tail = names[i].substr(same, dot != std::string::npos && dot > same ? dot - same : std::string::npos);
    const bool extension = dot == same;
    files += (i + 1 == names.size() ? " and " : ", ") + std::string(extension ? names[i].substr(dot) : "..." + tail);
  }
  const int room = width - (int)files.size() - (int)strlen("Wrote  in .");
  char whole[PATH_SIZE * 4], folder[PATH_SIZE * 4];
  cut_middle(getcwd(whole, sizeof(whole)) ? whole : ".", room > 12 ? room : 12, folder, sizeof(folder));
  return "Wrote " + files + " in " + folder + ".";
}
