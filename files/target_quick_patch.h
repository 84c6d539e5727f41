// The quick patch of the target file, for a large file after a few edits: only the sections of
// the areas that changed are read, parsed and written anew, the rest copied
// as they are, and only the areas whose reader's window saw a change read
// back. It works from where the file's lines that begin with "[" are and
// reads the file's bytes through old, so that a save need not read the
// whole file again. false when it cannot vouch for its result (the caller
// then takes the whole way, which also says why a file cannot be written).
#pragma once

#include <string>
#include <vector>

#include "files/target_areas.h"
#include "files/text_patch.h"

// A save planned the quick way: the patch of the old text, the new text's
// sections, the areas (by their new numbers) not as the file held them.
struct QuickSave {
  TextPatch patch;
  TargetSections after;           // the new file's
  std::vector<int> renewed;  // the areas (by their new numbers) not as the file held them
};

// Plans the save of now over the file whose areas and sections are file
// and lines, reading its bytes through old; false when it cannot vouch for
// its result.
bool plan_quick_save(const TargetSet &file, const TargetSections &lines, const OldTextReader &old, const TargetSet &now,
                     QuickSave *plan);

// The quick way over a text in memory: false when it cannot vouch for its
// result (a file with carriage returns, an area put back beside the one
// that took its place, a section the window rule would miss).
bool target_text_quickly(const char *text, long size, const TargetSet &file_areas, const TargetSet &now,
                         std::string *out);
