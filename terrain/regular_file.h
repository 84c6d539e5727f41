// Files are read only when they are regular files. A named pipe blocks an
// ordinary open until some writer comes, and a device may never end; both are
// refused like an unreadable file, and the check itself never blocks.
#pragma once

#include <sys/stat.h>

// A read-only descriptor of path, or -1 when the file cannot be opened or is
// not a regular file. With info, the status of the opened file is stored
// there, taken from the very descriptor that is returned.
int open_regular_file(const char *path, struct stat *info = nullptr);

// 1 when path opens as a regular file for reading, else 0. For the library's
// loaders, which take a name only.
int regular_file_readable(const char *path);

// The library's current configuration becomes the content of path. A file
// that cannot be read as a regular file gives an empty configuration, as a
// missing one does. Nothing is ever written back.
void use_config_file(const char *path);
