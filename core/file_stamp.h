// What a map file looked like on disk when it was read or last saved: enough
// to tell whether another program has replaced or rewritten it since.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

enum { STAMP_PATH_SIZE = 256 };

struct FileStamp {
  int known;                    // 0: nothing recorded, nothing to compare
  char path[STAMP_PATH_SIZE];   // the name the file was read under
  dev_t device;
  ino_t inode;
  off_t size;
  struct timespec modified;
};

// Records the status of the file read or written under path; with a null
// info (or a path too long to keep) the stamp is forgotten.
void record_file_stamp(FileStamp *stamp, const char *path, const struct stat *info);

// 1 when the stamp was recorded for path and info (the status of what is
// there now, as stat or fstat give it) is of the same file, unchanged.
int file_stamp_matches(const FileStamp *stamp, const char *path, const struct stat *info);

// 1 when the stamp was recorded for this very path and the file there now
// differs from it in size, modification time or identity (replaced, or
// gone); 0 when it is the same or there is nothing to compare.
int file_changed_on_disk(const FileStamp *stamp, const char *path);
