#include "terrain/safe_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "terrain/stdio_packfile.h"

int safe_file_open(SafeFile *file, const char *path) {
  file->pack = nullptr;
  // Write beside the file a link points to, so the rename replaces the file
  // and not the link.
  char resolved[PATH_MAX];
  const char *target = realpath(path, resolved) ? resolved : path;
  if (snprintf(file->final_path, sizeof(file->final_path), "%s", target) >=
          (int)sizeof(file->final_path) ||
      snprintf(file->temp_path, sizeof(file->temp_path), "%s.%d.saving", target, (int)getpid()) >=
          (int)sizeof(file->temp_path)) {
    return 1;
  }
  // Only a regular file is replaced: never a device, a folder or the like.
  struct stat st;
  if (stat(file->final_path, &st) == 0 && !S_ISREG(st.st_mode)) return 1;
  file->pack = open_stdio_packfile(file->temp_path, "wb");
  return file->pack ? 0 : 1;
}

int safe_file_commit(SafeFile *file, int ok) {
  if (!file->pack) return 1;
  if (pack_ferror(file->pack)) ok = 0;
  if (pack_fclose(file->pack) != 0) ok = 0;
  file->pack = nullptr;
  if (ok) {
    // The new file keeps the permissions of the one it replaces.
    struct stat old_stat;
    if (stat(file->final_path, &old_stat) == 0) chmod(file->temp_path, old_stat.st_mode & 07777);
    if (rename(file->temp_path, file->final_path) == 0) return 0;
  }
  remove(file->temp_path);
  return 1;
}
