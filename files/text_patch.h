// A large text changed in a few places without being put together whole:
// byte ranges of the old text replaced, the new text's bytes taken from the
// old one and the replacements, the new file written with the old file's
// unchanged ranges copied by the system, and the lines that begin with "["
// (where a section may begin) followed from the old text into the new.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct TextReplacement {
  long from, to;  // old text[from..to) becomes with
  std::string with;
};

struct TextPatch {
  long old_size = 0;
  std::vector<TextReplacement> edits;  // by from, none overlapping
};

// Reads n bytes of the old text at `at` into out; false when it cannot.
using OldTextReader = std::function<bool(long at, long n, char *out)>;

// The reader of a text in memory, and of a file through its descriptor.
OldTextReader old_text_in_memory(const char *text);
OldTextReader old_text_in_file(int fd);

long patched_size(const TextPatch &patch);

// Where old position p is in the new text; p in a replaced range moves as
// the range's start does.
long patched_position(const TextPatch &patch, long p);

// The new text's bytes [from, to), clipped to it, into *out.
bool patched_bytes(const TextPatch &patch, const OldTextReader &old, long from, long to, std::string *out);

// The whole new text, of an old text in memory.
std::string patched_text(const TextPatch &patch, const char *old);

// Writes the new text to fd from its offset on: the unchanged ranges copied
// by the system from old_fd (whose offset stays), the replacements written.
// 0, or the errno of the call that failed (EIO when old_fd ended early).
int write_patched_file(int fd, int old_fd, const TextPatch &patch);

// Where the lines of text[0..size) that begin with "[" begin: at 0 when the
// text does, and after every line feed followed by "[", from `from` on.
std::vector<long> bracket_lines(const char *text, long size, long from = 0);

// The same of the new text, from the old text's (old_lines): those in
// unchanged ranges moved, the rest looked for around each replacement.
// from_old[i] is the index in old_lines of new line i, or -1 for a line
// found anew. false when old cannot be read.
bool patched_bracket_lines(const TextPatch &patch, const std::vector<long> &old_lines, const OldTextReader &old,
                           std::vector<long> *lines, std::vector<int> *from_old);
