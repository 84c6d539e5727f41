#include "core/regular_file.h"

#include <allegro.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int open_regular_file(const char *path, struct stat *info) {
  struct stat st;
  // Decided by name first, so that no device is ever opened; decided again on
  // the descriptor, in case the name was given to something else meanwhile.
  if (!path || stat(path, &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
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

const char *open_failure_reason(int error) {
  // EINVAL is what open_regular_file leaves for a pipe, a device or a socket.
  return error == EINVAL ? "not a regular file" : strerror(error);
}

int regular_file_readable(const char *path) {
  const int fd = open_regular_file(path);
  if (fd < 0) return 0;
  close(fd);
  return 1;
}

char *read_whole_file(const char *path, long *size, int *why) {
  int result = WHOLE_FILE_READ;
  char *text = nullptr;
  long got = 0;
  struct stat st;
  const int fd = open_regular_file(path, &st);
  if (fd < 0) {
    result = WHOLE_FILE_CANNOT_OPEN;
  } else if (st.st_size > (off_t)WHOLE_FILE_LIMIT) {
    result = WHOLE_FILE_TOO_LARGE;
  } else if ((text = (char *)malloc((size_t)st.st_size + 1)) == nullptr) {
    result = WHOLE_FILE_NO_MEMORY;
  } else {
    // What the file held when opened: one that grows meanwhile is not followed.
    while (got < st.st_size) {
      const ssize_t n = read(fd, text + got, (size_t)(st.st_size - got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += n;
    }
    text[got] = 0;
  }
  if (fd >= 0) close(fd);
  *size = got;
  if (why) *why = result;
  return text;
}

void use_config_text(const char *text, long size) {
  // The library keeps its own copy of the text. It would take a UTF-8 byte
  // order mark for a part of the first line and miss the section there.
  const int mark = size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  set_config_data(text + mark, (int)(size - mark));
}

int use_config_file(const char *path) {
  long size = 0;
  int why = WHOLE_FILE_READ;
  char *text = read_whole_file(path, &size, &why);
  use_config_text(text ? text : "", text ? size : 0);
  free(text);
  return why;
}
