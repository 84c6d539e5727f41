#include "terrain/safe_file.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

#include "terrain/stdio_packfile.h"
#include "terrain/temp_files.h"

enum {
  TEMP_NAME_LETTERS = 12,
  TEMP_NAME_TRIES = 64,  // a taken name is passed over; so many are never all taken
};

int create_new_file(const char *path, mode_t mode) {
  return open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

int make_temp_name(char *name, size_t size, const char *base, const char *ending) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char random[TEMP_NAME_LETTERS];
  if (getentropy(random, sizeof(random)) != 0) {
    // No system randomness: the clock, the process and a counter still keep
    // names apart; creating with O_EXCL keeps them safe.
    static unsigned counter;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    uint64_t mix = (uint64_t)now.tv_nsec ^ (uint64_t)now.tv_sec << 30 ^ (uint64_t)getpid() << 48;
    mix ^= ++counter;
    for (size_t i = 0; i < sizeof(random); i++) {
      mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
      random[i] = (unsigned char)(mix >> 56);
    }
  }
  char tail[TEMP_NAME_LETTERS + 1];
  for (int i = 0; i < TEMP_NAME_LETTERS; i++) tail[i] = letters[random[i] % (sizeof(letters) - 1)];
  tail[TEMP_NAME_LETTERS] = 0;
  return snprintf(name, size, "%s.%s%s", base, tail, ending) < (int)size ? 0 : 1;
}

int safe_file_open(SafeFile *file, const char *path) {
  file->pack = nullptr;
  file->fd = -1;
  // Write beside the file a link points to, so the rename replaces the file
  // and not the link.
  char resolved[PATH_MAX];
  const char *target = realpath(path, resolved) ? resolved : path;
  if (snprintf(file->final_path, sizeof(file->final_path), "%s", target) >=
      (int)sizeof(file->final_path)) {
    return 1;
  }
  struct stat st;
  if (stat(file->final_path, &st) == 0) {
    // Only a regular file is replaced: never a device, a folder or the like;
    // and only one the user may write, though the folder would allow the rename.
    if (!S_ISREG(st.st_mode)) return 1;
    if (faccessat(AT_FDCWD, file->final_path, W_OK, AT_EACCESS) != 0) return 1;
  }
  for (int i = 0; i < TEMP_NAME_TRIES && file->fd < 0; i++) {
    if (make_temp_name(file->temp_path, sizeof(file->temp_path), file->final_path, ".saving") != 0)
      return 1;
    // Known to the interrupt handlers before it exists.
    track_temp_file(file->temp_path);
    file->fd = create_new_file(file->temp_path, 0666);
    const int why = errno;
    if (file->fd < 0) forget_temp_file(file->temp_path);
    if (file->fd < 0 && why != EEXIST) return 1;
  }
  if (file->fd < 0) return 1;
  file->pack = stdio_packfile_from_fd(file->fd, "wb");
  if (!file->pack) {
    file->fd = -1;
    remove(file->temp_path);
    forget_temp_file(file->temp_path);
    return 1;
  }
  return 0;
}

int safe_file_commit(SafeFile *file, int ok) {
  if (!file->pack) return 1;
  // Everything is handed to the system before the new file's status is
  // taken: closing then changes nothing that a later comparison looks at.
  if (pack_ferror(file->pack) || flush_stdio_packfile(file->pack) != 0) ok = 0;
  if (ok) {
    // The new file keeps the permissions of the one it replaces.
    struct stat old_stat;
    if (stat(file->final_path, &old_stat) == 0 && fchmod(file->fd, old_stat.st_mode & 07777) != 0)
      ok = 0;
    if (fstat(file->fd, &file->written) != 0) ok = 0;
  }
  if (pack_fclose(file->pack) != 0) ok = 0;
  file->pack = nullptr;
  file->fd = -1;
  const int renamed = ok && rename(file->temp_path, file->final_path) == 0;
  if (!renamed) remove(file->temp_path);
  forget_temp_file(file->temp_path);
  return renamed ? 0 : 1;
}
