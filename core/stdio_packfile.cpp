#include "core/stdio_packfile.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "core/regular_file.h"

static int stdio_fclose(void *file) { return fclose((FILE *)file) == 0 ? 0 : EOF; }
// A stream belongs to one packfile, used by one thread: byte by byte, the
// stream's lock would cost more than the byte (the library runs threads of
// its own, so stdio takes it).
static int stdio_getc(void *file) { return getc_unlocked((FILE *)file); }
static int stdio_ungetc(int c, void *file) { return ungetc(c, (FILE *)file); }
static long stdio_fread(void *p, long n, void *file) {
  return n > 0 ? (long)fread(p, 1, (size_t)n, (FILE *)file) : 0;
}
static int stdio_putc(int c, void *file) { return putc_unlocked(c, (FILE *)file); }
static long stdio_fwrite(const void *p, long n, void *file) {
  return n > 0 ? (long)fwrite(p, 1, (size_t)n, (FILE *)file) : 0;
}
static int stdio_fseek(void *file, int offset) {
  return fseek((FILE *)file, offset, SEEK_CUR) == 0 ? 0 : -1;
}
static int stdio_feof(void *file) { return feof((FILE *)file); }
static int stdio_ferror(void *file) { return ferror((FILE *)file); }

static const PACKFILE_VTABLE stdio_vtable = {
    stdio_fclose, stdio_getc,   stdio_ungetc, stdio_fread, stdio_putc,
    stdio_fwrite, stdio_fseek,  stdio_feof,   stdio_ferror,
};

static PACKFILE *packfile_over(FILE *file) {
  if (!file) return nullptr;
  // The library keeps a failed close's error through allegro_errno, which
  // is null until it is installed: the modes that write without it would
  // crash on the first close that fails (a full disk).
  if (!allegro_errno) allegro_errno = &errno;
  PACKFILE *pack = pack_fopen_vtable(&stdio_vtable, file);
  if (!pack) fclose(file);
  return pack;
}

PACKFILE *stdio_packfile_from_fd(int fd, const char *mode) {
  if (fd < 0) return nullptr;
  FILE *file = fdopen(fd, mode);
  if (!file) close(fd);
  return packfile_over(file);
}

PACKFILE *open_stdio_packfile(const char *path, const char *mode, struct stat *info) {
  if (mode[0] == 'r') return stdio_packfile_from_fd(open_regular_file(path, info), mode);
  return packfile_over(fopen(path, mode));
}

int flush_stdio_packfile(PACKFILE *pack) {
  if (!pack || pack->vtable != &stdio_vtable) return EOF;
  return fflush((FILE *)pack->userdata) == 0 ? 0 : EOF;
}

FILE *stdio_packfile_stream(PACKFILE *pack) {
  return pack && pack->vtable == &stdio_vtable ? (FILE *)pack->userdata : nullptr;
}
