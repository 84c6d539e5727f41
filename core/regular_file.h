// Files are read only when they are regular files. A named pipe blocks an
// ordinary open until some writer comes, and a device may never end; both are
// refused like an unreadable file, and the check itself never blocks.
#pragma once

#include <sys/stat.h>

// A read-only descriptor of path, or -1 when the file cannot be opened or is
// not a regular file (errno EISDIR for a folder, EINVAL for anything else
// that is no regular file). With info, the status of the opened file is stored
// there, taken from the very descriptor that is returned.
int open_regular_file(const char *path, struct stat *info = nullptr);

// The reason open_regular_file failed, from the errno it left (taken right
// after it): the system's text ("No such file or directory", "Permission
// denied", "Is a directory"), or "not a regular file" for a pipe, a device
// or the like.
const char *open_failure_reason(int error);

// 1 when path opens as a regular file for reading, else 0. For the library's
// loaders, which take a name only.
int regular_file_readable(const char *path);

// Files read whole (settings, terrain description, target file, manual) may
// hold at most this much: far above any real one, and memory never grows
// with a file's size beyond it.
enum { WHOLE_FILE_LIMIT = 64 << 20 };

enum WholeFileResult {
  WHOLE_FILE_READ = 0,
  WHOLE_FILE_CANNOT_OPEN = 1,  // missing, not a regular file, unreadable
  WHOLE_FILE_TOO_LARGE = 2,    // over WHOLE_FILE_LIMIT; nothing was read
  WHOLE_FILE_NO_MEMORY = 3,
};

// The whole of a regular file in fresh memory, with a zero byte after its
// *size bytes (free it), or nullptr with *why set. *why (may be null) gets a
// WholeFileResult.
char *read_whole_file(const char *path, long *size, int *why = nullptr);

// The library's current configuration becomes the content of path. A file
// that cannot be read as a regular file, or is over the limit, gives an
// empty configuration, as a missing one does; a UTF-8 byte order mark at
// its start is passed over. Returns a WholeFileResult.
int use_config_file(const char *path);
// The same of text[0..size) (size at most WHOLE_FILE_LIMIT).
void use_config_text(const char *text, long size);
