#include "terrain/regular_file.h"

#include <allegro.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

int open_regular_file(const char *path, struct stat *info) {
  struct stat st;
  // Decided by name first, so that no device is ever opened; decided again on
  // the descriptor, in case the name was given to something else meanwhile.
  if (!path || stat(path, &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return -1;
  }
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  // Reads of a regular file never wait anyway; the flag only served the open.
  const int flags = fcntl(fd, F_GETFL);
  if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (info) *info = st;
  return fd;
}

int regular_file_readable(const char *path) {
  const int fd = open_regular_file(path);
  if (fd < 0) return 0;
  close(fd);
  return 1;
}

// The whole file, or nullptr; *size is its length in bytes.
static char *read_whole_file(const char *path, int *size) {
  struct stat st;
  const int fd = open_regular_file(path, &st);
  if (fd < 0) return nullptr;
  char *text = nullptr;
  long got = 0;
  // One byte more than the file, so that an empty file is no failed allocation.
  if (st.st_size < INT_MAX && (text = (char *)malloc((size_t)st.st_size + 1)) != nullptr) {
    while (got < st.st_size) {
      const ssize_t n = read(fd, text + got, (size_t)(st.st_size - got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += n;
    }
  }
  close(fd);
  *size = (int)got;
  return text;
}

void use_config_file(const char *path) {
  int size = 0;
  char *text = read_whole_file(path, &size);
  // The library keeps its own copy of the text.
  set_config_data(text ? text : "", text ? size : 0);
  free(text);
}
