// An export's file is written under a temporary name beside its final one
// and gets the final name only when it is complete, without replacing a
// file that took that name in the meantime: a failed, cut or killed export
// never leaves a partial file under a numbered name.
#pragma once

#include <string>
#include <vector>

#include "core/reporter.h"
#include "core/safe_file.h"

enum { EXPORT_TEMP_NAME_SIZE = 320 };

struct ExportFile {
  int fd;  // -1 when closed
  char temp_name[EXPORT_TEMP_NAME_SIZE];
  int error;  // the system's error of the call that failed, or 0
};

// Creates a new, empty temporary file in the folder of name, under a name
// nobody can guess or have taken; RESULT_OK, else RESULT_CANNOT_WRITE with
// file->error set.
int export_file_create(ExportFile *file, const char *name);

// Closes the temporary file and gives it the final name; 0 when done,
// RESULT_NAME_TAKEN when name exists by now (the complete file is kept
// under its temporary name, for another try under another name),
// RESULT_CANNOT_WRITE when
// closing or naming failed (the temporary file is removed then; file->error
// says why).
int export_file_publish(ExportFile *file, const char *name);

// Closes and removes the temporary file.
void export_file_discard(ExportFile *file);

// The first free "<terrain><suffix>NNN.<extension>" in the working directory, into
// name (256 bytes); RESULT_OK when found, RESULT_NO_FREE_NAME when all of
// 000..998 are taken,
// RESULT_NAME_TOO_LONG when the name would be longer than a file name may
// be (name then holds it cut in the middle, to be shown). With
// also_free, the same name with that extension must be free too.
int numbered_output_name(const char *suffix, char *name, const char *extension = "bmp",
                         const char *also_free = nullptr);

// Reports what numbered_output_name found (RESULT_NO_FREE_NAME or
// RESULT_NAME_TOO_LONG) and
// returns RESULT_NO_FREE_NAME or RESULT_CANNOT_WRITE. word names the kind of
// file in the message ("bitmap", "heights").
int report_name_failure(const Reporter *r, int found, const char *name, const char *word = "bitmap");

// Failures of an export or screenshot: report the warning and return
// RESULT_CANNOT_WRITE, RESULT_NO_MEMORY or RESULT_NO_FREE_NAME. The write
// failure's first line names the kind of file by word.
int report_write_failure(const Reporter *r, const char *name, const WriteError &error = WriteError{0, 0},
                         const char *word = "bitmap");
int report_memory_failure(const Reporter *r, const char *name);
int report_no_free_name(const Reporter *r);

// "Wrote A in FOLDER." for the files one key wrote (in the working folder):
// the names after the first only from where they differ, the folder cut in
// the middle so that the whole fits in width characters.
std::string written_files_text(const std::vector<std::string> &names, int width);
