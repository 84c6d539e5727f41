// What a map file looked like on disk when it was read or last saved: enough
// to tell whether another program has replaced or rewritten it since.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include "terrain/terrain_model.h"

struct FileStamp {
  int known;              // 0: nothing recorded, nothing to compare
  char path[PATH_SIZE];   // the name the file was read under
  dev_t device;
  ino_t inode;
  off_t size;
  struct timespec modified;
};

// The tile map's and the height map's files, as this program last saw them.
extern FileStamp tile_map_stamp;
extern FileStamp height_map_stamp;

// Records the status of the file read or written under path; with a null
// info (or a path too long to keep) the stamp is forgotten.
void record_file_stamp(FileStamp *stamp, const char *path, const struct stat *info);

// 1 when the stamp was recorded for this very path and the file there now
// differs from it in size, modification time or identity (replaced, or
// gone); 0 when it is the same or there is nothing to compare.
int file_changed_on_disk(const FileStamp *stamp, const char *path);
