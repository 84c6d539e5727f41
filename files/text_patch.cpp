#include "files/text_patch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

enum { PATCH_COPY_PIECE = 1 << 20 };  // what the copy by hand moves at a time

OldTextReader old_text_in_memory(const char *text) {
  return [text](long at, long n, char *out) {
    memcpy(out, text + at, (size_t)n);
    return true;
  };
}

OldTextReader old_text_in_file(int fd) {
  return [fd](long at, long n, char *out) {
    while (n > 0) {
      const ssize_t got = pread(fd, out, (size_t)n, (off_t)at);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      at += got, out += got, n -= got;
    }
    return true;
  };
}

long patched_size(const TextPatch &patch) {
  long size = patch.old_size;
  for (const TextReplacement &r : patch.edits) size += (long)r.with.size() - (r.to - r.from);
  return size;
}

long patched_position(const TextPatch &patch, long p) {
  long shift = 0;
  for (const TextReplacement &r : patch.edits) {
    if (r.to > p) break;
    shift += (long)r.with.size() - (r.to - r.from);
  }
  return p + shift;
}

bool patched_bytes(const TextPatch &patch, const OldTextReader &old, long from, long to, std::string *out) {
  out->clear();
  from = std::max(from, 0L);
  to = std::min(to, patched_size(patch));
  if (from >= to) return true;
  out->resize((size_t)(to - from));
  long old_at = 0, new_at = 0;  // where the next piece begins in each text
  // The part of the piece at new_at of length n that falls in [from, to).
  auto overlap = [&](long n, long *s, long *e) {
    *s = std::max(from, new_at);
    *e = std::min(to, new_at + n);
    return *s < *e;
  };
  long s, e;
  for (const TextReplacement &r : patch.edits) {
    if (overlap(r.from - old_at, &s, &e) && !old(old_at + (s - new_at), e - s, &(*out)[(size_t)(s - from)]))
      return false;
    new_at += r.from - old_at;
    if (overlap((long)r.with.size(), &s, &e))
      memcpy(&(*out)[(size_t)(s - from)], r.with.data() + (s - new_at), (size_t)(e - s));
    new_at += (long)r.with.size();
    old_at = r.to;
    if (new_at >= to) return true;
  }
  return !overlap(patch.old_size - old_at, &s, &e) || old(old_at + (s - new_at), e - s, &(*out)[(size_t)(s - from)]);
}

std::string patched_text(const TextPatch &patch, const char *old) {
  std::string text;
  text.reserve((size_t)patched_size(patch));
  long at = 0;
  for (const TextReplacement &r : patch.edits) {
    text.append(old + at, (size_t)(r.from - at));
    text += r.with;
    at = r.to;
  }
  text.append(old + at, (size_t)(patch.old_size - at));
  return text;
}

namespace {

int write_all(int fd, const char *bytes, long n) {
  while (n > 0) {
    const ssize_t put = write(fd, bytes, (size_t)n);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return errno;
    if (put == 0) return EIO;
    bytes += put, n -= put;
  }
  return 0;
}

// Old file bytes [from, to) appended to fd: by the system where it can (no
// copy through this program's memory, and on some file systems none at
// all), else read and written a piece at a time.
int copy_range(int fd, int old_fd, long from, long to, bool *by_hand, std::vector<char> *piece) {
  off_t at = (off_t)from;
  while (at < (off_t)to) {
    const size_t n = (size_t)((off_t)to - at);
    if (!*by_hand) {
      const ssize_t copied = copy_file_range(old_fd, &at, fd, nullptr, n, 0);
      if (copied > 0) continue;
      if (copied == 0) return EIO;
      if (errno == EINTR) continue;
      if (errno != ENOSYS && errno != EXDEV && errno != EINVAL && errno != EOPNOTSUPP) return errno;
      *by_hand = true;
    }
    piece->resize(PATCH_COPY_PIECE);
    const ssize_t got = pread(old_fd, piece->data(), std::min(n, piece->size()), at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return EIO;
    if (const int error = write_all(fd, piece->data(), got)) return error;
    at += got;
  }
  return 0;
}

}  // namespace

int write_patched_file(int fd, int old_fd, const TextPatch &patch) {
  bool by_hand = false;
  std::vector<char> piece;
  long at = 0;
  for (const TextReplacement &r : patch.edits) {
    if (const int error = copy_range(fd, old_fd, at, r.from, &by_hand, &piece)) return error;
    if (const int error = write_all(fd, r.with.data(), (long)r.with.size())) return error;
    at = r.to;
  }
  return copy_range(fd, old_fd, at, patch.old_size, &by_hand, &piece);
}

std::vector<long> bracket_lines(const char *text, long size, long from) {
  std::vector<long> lines;
  if (from == 0 && size > 0 && text[0] == '[') lines.push_back(0);
  // Found two bytes at a time: most lines of a target file hold a "[".
  for (long at = std::max(from - 1, 0L); at + 1 < size;) {
    const char *found = (const char *)memmem(text + at, (size_t)(size - at), "\n[", 2);
    if (!found) break;
    at = found - text + 1;
    lines.push_back(at);
  }
  return lines;
}

bool patched_bracket_lines(const TextPatch &patch, const std::vector<long> &old_lines, const OldTextReader &old,
                           std::vector<long> *lines, std::vector<int> *from_old) {
  lines->clear();
  from_old->clear();
  auto add = [&](long q, int index) {
    // The scans around two replacements with nothing between meet at one line.
    if (!lines->empty() && q <= lines->back()) return;
    lines->push_back(q);
    from_old->push_back(index);
  };
  size_t next = 0;
  // An unchanged range old[from..to), moved by shift: its lines whose line
  // feed is in it too, or that begin the new text as they began the old.
  auto keep = [&](long from, long to, long shift) {
    for (; next < old_lines.size() && old_lines[next] < to; next++) {
      const long q = old_lines[next];
      if (q >= from && (q - 1 >= from || q + shift == 0)) add(q + shift, (int)next);
    }
  };
  long old_at = 0, shift = 0;
  std::string bytes;
  for (const TextReplacement &r : patch.edits) {
    keep(old_at, r.from, shift);
    // The new lines that begin in the replacement or right after it, and
    // the line feed before each.
    const long start = r.from + shift, end = start + (long)r.with.size();
    const long first = std::max(start - 1, 0L);
    if (!patched_bytes(patch, old, first, end + 1, &bytes)) return false;
    if (start == 0 && !bytes.empty() && bytes[0] == '[') add(0, -1);
    for (size_t i = 0; i + 1 < bytes.size(); i++)
      if (bytes[i] == '\n' && bytes[i + 1] == '[') add(first + (long)i + 1, -1);
    shift += (long)r.with.size() - (r.to - r.from);
    old_at = r.to;
  }
  keep(old_at, patch.old_size, shift);
  return true;
}
