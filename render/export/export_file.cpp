#include "render/export/export_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include "core/temp_files.h"

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
      return 0;
    }
    forget_temp_file(file->temp_name);
    if (file->error != EEXIST) break;
  }
  file->temp_name[0] = 0;
  return 1;
}

// The final name for the complete file, never over an existing one: 0,
// EXPORT_NAME_TAKEN or 1 with *error set.
static int give_name(const char *temp_name, const char *name, int *error) {
#ifdef RENAME_NOREPLACE
  if (renameat2(AT_FDCWD, temp_name, AT_FDCWD, name, RENAME_NOREPLACE) == 0) return 0;
  *error = errno;
  if (*error == EEXIST) return EXPORT_NAME_TAKEN;
  if (*error != EINVAL && *error != ENOSYS) return 1;
#endif
  // A file system without the flag: a second link never replaces either.
  if (link(temp_name, name) != 0) {
    *error = errno;
    return *error == EEXIST ? EXPORT_NAME_TAKEN : 1;
  }
  unlink(temp_name);
  return 0;
}

int export_file_publish(ExportFile *file, const char *name) {
  if (file->fd >= 0) {
    const int closed = close(file->fd) == 0;
    file->error = closed ? 0 : errno;
    file->fd = -1;
    if (!closed) {
      export_file_discard(file);
      return 1;
    }
  }
  const int named = give_name(file->temp_name, name, &file->error);
  if (named == 0) {
    forget_temp_file(file->temp_name);
    file->temp_name[0] = 0;
    return 0;
  }
  if (named != EXPORT_NAME_TAKEN) export_file_discard(file);
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
