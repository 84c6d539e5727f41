#include "core/safe_file.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <fcntl.h>
#include <unistd.h>

#include "core/reporter.h"
#include "core/stdio_packfile.h"
#include "core/temp_files.h"
#include "core/text_numbers.h"

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
  return snprintf(name, size, "%.*s.%s%s", (int)temp_name_stem(base), base, tail, ending) < (int)size ? 0 : 1;
}

void folder_of_file(const char *path, char *out, size_t size) {
  const char *slash = strrchr(path, '/');
  std::string folder = slash ? std::string(path, slash == path ? 1 : (size_t)(slash - path)) : std::string(".");
  char resolved[PATH_MAX];
  snprintf(out, size, "%s", realpath(folder.c_str(), resolved) ? resolved : folder.c_str());
}

void write_failure_text(const char *path, const WriteError &why, char *out, size_t size) {
  char reason[128];
  // What open_regular_file and safe_file_open leave for what is no regular file.
  snprintf(reason, sizeof(reason), "%s", why.error == EINVAL ? "not a regular file" : strerror(why.error));
  if (!why.error) {
    snprintf(out, size, "%s", "");
  } else if (!why.creating) {
    reason[0] = (char)toupper((unsigned char)reason[0]);
    snprintf(out, size, "%s.", reason);
  } else {
    // The folder by its absolute path: a bare name says nothing of where.
    char folder[PATH_MAX], shown[4 * PATH_MAX];
    folder_of_file(path, folder, sizeof(folder));
    quote_name(folder, shown, sizeof(shown));
    snprintf(out, size, "No file can be created in %s: %s.", shown, reason);
  }
}

int write_failed(WriteError *why, int error, int creating) {
  if (why) *why = WriteError{error, creating};
  return RESULT_CANNOT_WRITE;
}

int write_chunk_whole(ChunkWriter *writer, const unsigned char *bytes, long n) {
  if (pack_fwrite(bytes, n, writer->pack) == n) return 0;
  if (!writer->error) writer->error = errno ? errno : EIO;
  return 1;
}

int safe_file_open(SafeFile *file, const char *path) {
  file->pack = nullptr;
  file->fd = -1;
  file->error = ENAMETOOLONG;
  file->creating = 0;
  file->keep_existing = 0;
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
    if (!S_ISREG(st.st_mode)) {
      file->error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
      return 1;
    }
    if (faccessat(AT_FDCWD, file->final_path, W_OK, AT_EACCESS) != 0) {
      file->error = errno;
      return 1;
    }
  }
  for (int i = 0; i < TEMP_NAME_TRIES && file->fd < 0; i++) {
    if (make_temp_name(file->temp_path, sizeof(file->temp_path), file->final_path, ".saving") != 0)
      return 1;
    // Known to the interrupt handlers before it exists.
    track_temp_file(file->temp_path);
    file->fd = create_new_file(file->temp_path, 0666);
    const int why = errno;
    if (file->fd < 0) forget_temp_file(file->temp_path);
    if (file->fd < 0 && why != EEXIST) {
      file->error = why;
      file->creating = 1;
      return 1;
    }
  }
  if (file->fd < 0) {
    file->error = EEXIST;
    file->creating = 1;
    return 1;
  }
  file->error = 0;
  file->pack = stdio_packfile_from_fd(file->fd, "wb");
  if (!file->pack) {
    file->error = ENOMEM;
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
  // The reason of the first call that fails; an earlier failed write's is
  // its writer's to keep.
  const auto failed = [file, &ok]() {
    if (ok) file->error = errno;
    ok = 0;
  };
  if (pack_ferror(file->pack)) ok = 0;
  if (ok && flush_stdio_packfile(file->pack) != 0) failed();
  if (ok) {
    // The new file keeps the permissions of the one it replaces.
    struct stat old_stat;
    if (stat(file->final_path, &old_stat) == 0 && fchmod(file->fd, old_stat.st_mode & 07777) != 0) failed();
    if (ok && fstat(file->fd, &file->written) != 0) failed();
  }
  if (pack_fclose(file->pack) != 0 && ok) failed();
  file->pack = nullptr;
  file->fd = -1;
  int linked = 0;
  if (ok && file->keep_existing) {
    // Some file systems cannot rename without replacing: a second link then
    // takes the name, which fails as well when it is taken.
    if (renameat2(AT_FDCWD, file->temp_path, AT_FDCWD, file->final_path, RENAME_NOREPLACE) != 0) {
      if (errno == EINVAL && link(file->temp_path, file->final_path) == 0) linked = 1;
      else failed();
    }
  } else if (ok && rename(file->temp_path, file->final_path) != 0) {
    failed();
  }
  const int renamed = ok;
  if (!renamed || linked) remove(file->temp_path);
  forget_temp_file(file->temp_path);
  return renamed ? 0 : 1;
}
