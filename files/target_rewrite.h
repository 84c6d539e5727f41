// The whole rewrite of the target file: every line the areas' edits touch
// rewritten in place, the rest as it was; and the pieces of it the quick
// patch (files/target_quick_patch.h) writes one section with.
#pragma once

#include <string>

struct TargetArea;
struct TargetSet;

// The text after the edits that made now from was (the areas the text
// holds, as read): see target_text_after_edits in files/target_file_writer.h.
// Empty, with *why naming the section, when it would not read back as now.
std::string target_text_rewritten(const char *text, long size, const TargetSet &was, const TargetSet &now,
                                  std::string *why);

// One area's section with area old's edits to area (number n), in the
// spacing around "=" given where the section shows none.
std::string target_section_edited(const char *section, long size, const std::string &spacing, int n,
                                  const TargetArea &area, const TargetArea &old);
// New area n's section in the line ends of sample, to follow text that
// ends in a blank line or not.
std::string target_section_new(const char *sample, long size, const std::string &spacing, int n,
                               const TargetArea &area, bool after_blank);
// The spacing around "=" of the section's first area key line; empty: none.
std::string target_first_spacing(const char *section, long size);

// Whether b reads as a; what differs first into *what (may be null).
bool same_target_area(const TargetArea &a, const TargetArea &b, std::string *what);

// A file whose last line has no end keeps it so when lines are added after
// (out: the text with them, ending with them).
void keep_last_line_open(const char *text, long size, std::string *out);

// A number as the file holds it: whole metres when whole, else the
// shortest form that reads back as the same value.
std::string target_number_text(float value);
