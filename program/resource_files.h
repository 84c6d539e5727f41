// Where the program's own files (the datafiles and the manual) are found:
// the working directory first, then the executable's folder, then the data
// folder of an installed tree (beside the executable as ../share/veldkit, so
// that a moved tree still finds its files, and where the build installs it).
#pragma once

enum { RESOURCE_FOLDERS_MAX = 4, RESOURCE_PATH_SIZE = 4096 };

// The folders looked in, in order, for an executable at exe_path (empty or
// null: unknown) and the data folder compiled in (may be empty). Each is
// written into folders[i] (RESOURCE_PATH_SIZE bytes, "" for the working
// directory); returns how many there are.
int resource_folders(const char *exe_path, const char *installed,
                     char folders[RESOURCE_FOLDERS_MAX][RESOURCE_PATH_SIZE]);

// The path of the first readable regular file called name in the folders
// of this program, into path (RESOURCE_PATH_SIZE bytes); name itself when
// no folder holds one, so that a message names the file. 1 when found.
int find_resource(const char *name, char *path);
