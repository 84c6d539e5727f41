// An export's file is written under a temporary name beside its final one
// and gets the final name only when it is complete, without replacing a
// file that took that name in the meantime: a failed, cut or killed export
// never leaves a partial file under a numbered name.
#pragma once

enum { EXPORT_TEMP_NAME_SIZE = 320 };

struct ExportFile {
  int fd;  // -1 when closed
  char temp_name[EXPORT_TEMP_NAME_SIZE];
  int error;  // the system's error of the call that failed, or 0
};

// Creates a new, empty temporary file in the folder of name, under a name
// nobody can guess or have taken; 0 when done, else 1 with file->error set.
int export_file_create(ExportFile *file, const char *name);

enum { EXPORT_NAME_TAKEN = 2 };

// Closes the temporary file and gives it the final name; 0 when done,
// EXPORT_NAME_TAKEN when name exists by now (the complete file is kept
// under its temporary name, for another try under another name), 1 when
// closing or naming failed (the temporary file is removed then; file->error
// says why).
int export_file_publish(ExportFile *file, const char *name);

// Closes and removes the temporary file.
void export_file_discard(ExportFile *file);
