#include "files/grid_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "core/stdio_packfile.h"

void read_grid_header(PACKFILE *f, int32_t *a, int32_t *b, int32_t *c, int32_t *d) {
  *a = pack_igetl(f);
  *b = pack_igetl(f);
  *c = pack_igetl(f);
  *d = pack_igetl(f);
}

PACKFILE *open_grid_file(const char *path, FileStamp *stamp, int32_t *a, int32_t *b, int32_t *c, int32_t *d) {
  struct stat opened;
  PACKFILE *f = open_stdio_packfile(path, "rb", &opened);
  record_file_stamp(stamp, path, f ? &opened : nullptr);
  if (f) read_grid_header(f, a, b, c, d);
  return f;
}

void write_grid_header(PACKFILE *f, int32_t a, int32_t b, int32_t c, int32_t d) {
  pack_iputl(a, f);
  pack_iputl(b, f);
  pack_iputl(c, f);
  pack_iputl(d, f);
}

long read_grid_words(PACKFILE *f, unsigned char *buffer, long n) {
  long got = pack_fread(buffer, n, f);
  if (got < 0) got = 0;
  if (got < n) memset(buffer + (got & ~1L), 0xFF, n - (got & ~1L));
  return got;
}

long read_grid_words_at(int fd, long long offset, unsigned char *buffer, long n) {
  long got = 0;
  while (got < n) {
    const ssize_t done = pread(fd, buffer + got, (size_t)(n - got), (off_t)(offset + got));
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) break;
    got += done;
  }
  if (got < n) memset(buffer + (got & ~1L), 0xFF, n - (got & ~1L));
  return got;
}
