// The target areas written back into their file: only the lines of the keys
// an edit changed are rewritten, every other byte stays as it was. The
// quick patch (files/target_quick_patch.h) when it can vouch for its
// result, else the whole rewrite (files/target_rewrite.h).
#pragma once

#include <string>
#include <vector>

#include "core/file_stamp.h"
#include "files/target_areas.h"

// The text after the edits that made now (areas 1..area_count) from the
// areas the text holds: each area and target knows the number it has in the
// text (file_number; 0 for a new one). Changed values are written into
// their lines in place, renumbered sections and keys are renamed in place,
// the lines of removed areas and targets go, a new target's lines follow
// its area's last target line and a new area's section the last area's.
// When the result would not read back as now (a section out of number
// order, or one the reader's 45000-byte window no longer reaches), *why
// says so, names the section and the result is empty; else *why is empty.
// file_areas, when given, are the areas the text holds as read (their
// numbers 1..area_count): then only the sections of changed areas are
// parsed and written anew, as fast as the file can be copied.
std::string target_text_after_edits(const char *text, long size, const TargetSet &now, std::string *why,
                                    const TargetSet *file_areas = nullptr);

// Writes the areas into the file at path as a save does (a new file renamed
// over the old one), from the file as it is on disk, refused when stamp
// says another program changed it since it was read, unless overwrite:
// then what it holds now is compared with the areas. While the file is the
// one last read or saved, only the changed areas' sections are read from it
// and the rest is copied by the system; else it is read whole. RESULT_OK (stamp then
// records the new file; every area's and target's file_number is its
// number), RESULT_CHANGED_ON_DISK, or RESULT_CANNOT_WRITE with *why the
// sentence to show. kept (may be null: the file is read whole) is the
// file as last read or saved, renewed by the save.
int save_target_file(const char *path, FileStamp *stamp, TargetSet &now, std::string *why, int overwrite = 0,
                     TargetFile *kept = nullptr);

// How many saves took the quick way from the kept file since the program
// started: the benchmark and the tests tell the two ways apart by it.
int target_saves_taken_quickly();
