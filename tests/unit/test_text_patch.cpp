// A text patched without being put together whole, against the text put
// together: its bytes, the file written from the old one, its lines that
// begin with "[" and the reader's window starts found from them.
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "files/target_areas.h"
#include "files/text_patch.h"
#include "tests/unit/harness.h"

namespace {

// Mostly line feeds and brackets, so that lines that begin with "[" meet
// every edge of a replacement.
std::string random_text(std::mt19937 &rng, int length) {
  static const char bytes[] = "[[\n\n\nab]";
  std::string text;
  for (int i = 0; i < length; i++) text += bytes[rng() % (sizeof(bytes) - 1)];
  return text;
}

// Replacements in order: at the start and the end, empty ones, insertions,
// side by side or apart.
TextPatch random_patch(std::mt19937 &rng, const std::string &old) {
  TextPatch patch;
  patch.old_size = (long)old.size();
  long at = 0;
  const int count = (int)(rng() % 5);
  for (int i = 0; i < count; i++) {
    const long from = std::min((long)old.size(), at + (rng() % 2 ? 0 : (long)(rng() % 8)));
    const long to = std::min((long)old.size(), from + (long)(rng() % 4));
    patch.edits.push_back({from, to, random_text(rng, (int)(rng() % 5))});
    at = to;
  }
  return patch;
}

// The model: every line start with a "[" after a line feed or at 0.
std::vector<long> model_lines(const std::string &text) {
  std::vector<long> lines;
  for (size_t i = 0; i < text.size(); i++)
    if (text[i] == '[' && (i == 0 || text[i - 1] == '\n')) lines.push_back((long)i);
  return lines;
}

std::string assembled(const TextPatch &patch, const std::string &old) {
  std::string text;
  long at = 0;
  for (const TextReplacement &r : patch.edits) {
    text += old.substr((size_t)at, (size_t)(r.from - at)) + r.with;
    at = r.to;
  }
  return text + old.substr((size_t)at);
}

TEST(TextPatch, BytesLinesAndWindowsAreThoseOfTheTextPutTogether) {
  for (unsigned seed = 1; seed <= 3000; seed++) {
    std::mt19937 rng(seed);
    const std::string old = random_text(rng, (int)(rng() % 24));
    const TextPatch patch = random_patch(rng, old);
    const std::string text = assembled(patch, old);
    const std::string context = "seed " + std::to_string(seed);
    const OldTextReader reader = old_text_in_memory(old.data());
    ASSERT_EQ((long)text.size(), patched_size(patch)) << context;
    ASSERT_EQ(text, patched_text(patch, old.data())) << context;
    std::string bytes;
    for (long from = -1; from <= (long)text.size() + 1; from++) {
      const long to = from + (long)(rng() % 9);
      ASSERT_TRUE(patched_bytes(patch, reader, from, to, &bytes));
      const long a = std::max(from, 0L), b = std::min(to, (long)text.size());
      ASSERT_EQ(a < b ? text.substr((size_t)a, (size_t)(b - a)) : "", bytes) << context << " from " << from;
    }
    const std::vector<long> old_lines = bracket_lines(old.data(), (long)old.size());
    ASSERT_EQ(model_lines(old), old_lines) << context;
    for (long from = 0; from <= (long)old.size(); from++) {
      std::vector<long> later;
      for (long q : old_lines)
        if (q >= from) later.push_back(q);
      ASSERT_EQ(later, bracket_lines(old.data(), (long)old.size(), from)) << context << " from " << from;
    }
    std::vector<long> lines;
    std::vector<int> from_old;
    ASSERT_TRUE(patched_bracket_lines(patch, old_lines, reader, &lines, &from_old));
    ASSERT_EQ(model_lines(text), lines) << context;
    for (size_t i = 0; i < lines.size(); i++)
      if (from_old[i] >= 0) {
        ASSERT_EQ(lines[i], patched_position(patch, old_lines[(size_t)from_old[i]])) << context;
      }
    // The reader's rule one window at a time.
    const int count = (int)(rng() % 8);
    const std::vector<long> windows = target_window_starts(lines, (long)text.size(), count);
    long p = 0;
    for (int n = 1; n <= count + 1; n++) {
      p = target_window_start(text.data(), (long)text.size(), p, n);
      ASSERT_EQ(p, windows[(size_t)n]) << context << " area " << n;
    }
  }
}

// The new file from the old one's descriptor, by the system's copy and, from
// a file the system will not copy from (another file system), by hand.
TEST(TextPatch, FileWrittenFromTheOldOneIsTheTextPutTogether) {
  TempDir dir;
  std::vector<std::string> old_paths = {dir.file("old.txt")};
  char shm[] = "/dev/shm/veldkit-patch-XXXXXX";
  if (mkdtemp(shm)) old_paths.push_back(std::string(shm) + "/old.txt");
  for (const std::string &old_path : old_paths) {
    for (unsigned seed = 1; seed <= 60; seed++) {
      std::mt19937 rng(seed);
      std::string old = random_text(rng, (int)(rng() % 24));
      if (seed % 10 == 0) old += std::string(3 << 20, 'x');  // more than one piece by hand
      const TextPatch patch = random_patch(rng, old);
      write_text(old_path, old);
      const int old_fd = open(old_path.c_str(), O_RDONLY);
      const int fd = open(dir.file("new.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ASSERT_GE(old_fd, 0);
      ASSERT_GE(fd, 0);
      EXPECT_EQ(0, write_patched_file(fd, old_fd, patch)) << old_path << " seed " << seed;
      close(fd);
      close(old_fd);
      const std::vector<unsigned char> written = read_file(dir.file("new.txt"));
      ASSERT_TRUE(assembled(patch, old) == std::string(written.begin(), written.end())) << old_path << " seed " << seed;
    }
  }
  // An old file shorter than the patch says: an error, never a short file.
  TextPatch longer;
  longer.old_size = 100;
  write_text(old_paths[0], "short");
  const int old_fd = open(old_paths[0].c_str(), O_RDONLY), fd = open(dir.file("new.txt").c_str(), O_WRONLY | O_TRUNC);
  EXPECT_NE(0, write_patched_file(fd, old_fd, longer));
  close(fd);
  close(old_fd);
  if (old_paths.size() > 1) {
    remove(old_paths[1].c_str());
    rmdir(shm);
  }
}

}  // namespace
