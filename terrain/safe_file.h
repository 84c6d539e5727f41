// Writing a file so that the original is replaced only by a complete copy.
#pragma once

#include <allegro.h>

struct SafeFile {
  PACKFILE *pack;
  char final_path[1024];
  char temp_path[1024];
};

// Opens a temporary file beside path for writing; 0 on success.
int safe_file_open(SafeFile *file, const char *path);

// Closes the temporary file and renames it over the original when every
// write succeeded (ok != 0); otherwise removes it. 0 on success.
int safe_file_commit(SafeFile *file, int ok);
