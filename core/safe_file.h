// Writing a file so that the original is replaced only by a complete copy.
#pragma once

#include <allegro.h>
#include <cstddef>
#include <sys/stat.h>

struct SafeFile {
  PACKFILE *pack;
  int fd;                  // the temporary file's descriptor, owned by pack
  char final_path[1024];
  char temp_path[1024];
  struct stat written;     // the new file's status once committed
  int error;               // errno of the call that failed, 0 when none is known
  int creating;            // 1 when the temporary file could not be created
  int keep_existing;       // set by the caller: the commit never replaces a file
};

// Opens a temporary file beside path for writing; 0 on success. Refused: a
// path that is not a regular file (error EISDIR for a folder, EINVAL for
// the rest), and a file the user may not write.
int safe_file_open(SafeFile *file, const char *path);

// Closes the temporary file and renames it over the original when every
// write succeeded (ok != 0); otherwise removes it. 0 on success. With
// keep_existing set, a file that has the final name by then stays, the new
// one is removed and the error is EEXIST.
int safe_file_commit(SafeFile *file, int ok);

// Why a file was not written: the system's error of the call that failed
// (0 when none is known), and whether it was the creation of the file.
struct WriteError {
  int error;
  int creating;
};

// What a message's line says of a write that failed, into out (size
// bytes): the system's reason ("No space left on device."), and when the
// file could not be created, the absolute path of its folder, quoted as
// quote_name does ("No file can be created in /home/ann/maps: Permission
// denied."); "" when no reason is known.
void write_failure_text(const char *path, const WriteError &why, char *out, size_t size);

// Sets *why (may be null) and returns RESULT_CANNOT_WRITE.
int write_failed(WriteError *why, int error, int creating);

// A writer of whole chunks to a safe file's packfile for run_in_order: the
// system's error of the first short write is kept.
struct ChunkWriter {
  PACKFILE *pack;
  int error;
};
int write_chunk_whole(ChunkWriter *writer, const unsigned char *bytes, long n);

// The absolute path of the folder path is in (the working directory for a
// bare name), into out (size bytes): what a message names when no file can
// be created there. As given when it cannot be resolved.
void folder_of_file(const char *path, char *out, size_t size);

// Creates path as a new file for writing: never an existing one, never
// through a link (dangling or not). A descriptor, or -1.
int create_new_file(const char *path, mode_t mode);

// A new temporary name beside base, beginning with as much of it as
// temp_name_stem keeps and ending in ending, hard to guess; it still has to
// be created with create_new_file. 0 when it fits.
int make_temp_name(char *name, size_t size, const char *base, const char *ending);
