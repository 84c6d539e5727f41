#include "core/file_stamp.h"

#include <cstring>

void record_file_stamp(FileStamp *stamp, const char *path, const struct stat *info) {
  stamp->known = 0;
  if (!info || !path || strlen(path) >= sizeof(stamp->path)) return;
  strcpy(stamp->path, path);
  stamp->device = info->st_dev;
  stamp->inode = info->st_ino;
  stamp->size = info->st_size;
  stamp->modified = info->st_mtim;
  stamp->known = 1;
}

static int same_file(const FileStamp *stamp, const struct stat &st) {
  return st.st_dev == stamp->device && st.st_ino == stamp->inode && st.st_size == stamp->size &&
         st.st_mtim.tv_sec == stamp->modified.tv_sec && st.st_mtim.tv_nsec == stamp->modified.tv_nsec;
}

int file_stamp_matches(const FileStamp *stamp, const char *path, const struct stat *info) {
  return stamp->known && path && info && strcmp(stamp->path, path) == 0 && same_file(stamp, *info);
}

int file_changed_on_disk(const FileStamp *stamp, const char *path) {
  if (!stamp->known || !path || strcmp(stamp->path, path) != 0) return 0;
  struct stat st;
  if (stat(path, &st) != 0) return 1;
  return !same_file(stamp, st);
}
