#include "program/resource_files.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "core/regular_file.h"

#ifndef VELDKIT_DATA_DIR
#define VELDKIT_DATA_DIR ""
#endif
#ifndef VELDKIT_RELATIVE_DATA_DIR
#define VELDKIT_RELATIVE_DATA_DIR "../share/veldkit"
#endif

static int add_folder(char folders[RESOURCE_FOLDERS_MAX][RESOURCE_PATH_SIZE], int n,
                      const char *folder) {
  if (n >= RESOURCE_FOLDERS_MAX) return n;
  // A folder too long to hold would name some other place once cut.
  if (strlen(folder) >= RESOURCE_PATH_SIZE) return n;
  for (int i = 0; i < n; i++)
    if (strcmp(folders[i], folder) == 0) return n;
  strcpy(folders[n], folder);
  return n + 1;
}

int resource_folders(const char *exe_path, const char *installed,
                     char folders[RESOURCE_FOLDERS_MAX][RESOURCE_PATH_SIZE]) {
  int n = add_folder(folders, 0, "");
  const char *slash = exe_path ? strrchr(exe_path, '/') : nullptr;
  if (slash) {
    char folder[RESOURCE_PATH_SIZE];
    const size_t length = (size_t)(slash - exe_path);
    if (length + 1 + sizeof(VELDKIT_RELATIVE_DATA_DIR) <= sizeof(folder)) {
      memcpy(folder, exe_path, length);
      folder[length] = 0;
      // The root folder itself: "/" rather than nothing.
      n = add_folder(folders, n, length == 0 ? "/" : folder);
      snprintf(folder + length, sizeof(folder) - length, "/%s", VELDKIT_RELATIVE_DATA_DIR);
      n = add_folder(folders, n, folder);
    }
  }
  if (installed && installed[0]) n = add_folder(folders, n, installed);
  return n;
}

int find_resource(const char *name, char *path) {
  char exe[RESOURCE_PATH_SIZE];
  const ssize_t got = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  exe[got > 0 ? got : 0] = 0;

  char folders[RESOURCE_FOLDERS_MAX][RESOURCE_PATH_SIZE];
  const int n = resource_folders(exe, VELDKIT_DATA_DIR, folders);
  for (int i = 0; i < n; i++) {
    const char *folder = folders[i];
    const int written = folder[0] ? snprintf(path, RESOURCE_PATH_SIZE, "%s/%s", folder, name)
                                  : snprintf(path, RESOURCE_PATH_SIZE, "%s", name);
    if (written <= 0 || written >= RESOURCE_PATH_SIZE) continue;
    // A pipe or device counts as missing here, as it does for every file
    // the program reads.
    if (regular_file_readable(path)) return 1;
  }
  snprintf(path, RESOURCE_PATH_SIZE, "%s", name);
  return 0;
}
