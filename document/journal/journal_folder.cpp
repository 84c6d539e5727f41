#include "document/journal/journal_records.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/regular_file.h"

namespace journal_records {

std::string absolute_path(const char *path) {
  char resolved[PATH_MAX];
  if (realpath(path, resolved)) return resolved;
  return "";
}

}  // namespace journal_records

using namespace journal_records;

JournalStamp journal_stamp_of(const char *path) {
  JournalStamp s;
  const int fd = path && path[0] ? open_regular_file(path) : -1;
  if (fd < 0) return s;
  struct stat st;
  if (fstat(fd, &st) == 0) {
    s.size = st.st_size;
    s.seconds = st.st_mtim.tv_sec, s.nanoseconds = st.st_mtim.tv_nsec;
    std::vector<uint8_t> part(HASHED_BYTES);
    uint64_t h = 14695981039346656037ULL;
    const ssize_t first = pread(fd, part.data(), part.size(), 0);
    if (first > 0) h = fnv(h, part.data(), (size_t)first);
    const off_t tail = st.st_size > HASHED_BYTES ? st.st_size - HASHED_BYTES : 0;
    const ssize_t last = pread(fd, part.data(), part.size(), tail);
    if (last > 0) h = fnv(h, part.data(), (size_t)last);
    s.hash = h;
    s.known = first >= 0 && last >= 0;
  }
  close(fd);
  return s;
}

std::string journal_time_text(const JournalFound &found, const char *format) {
  char when[64] = "";
  const time_t last = (time_t)found.last_time;
  struct tm local;
  if (localtime_r(&last, &local)) strftime(when, sizeof(when), format, &local);
  return when;
}

std::string journal_folder() {
  const char *state = getenv("XDG_STATE_HOME"), *home = getenv("HOME");
  if (state && state[0] == '/') return std::string(state) + "/veldkit/recovery";
  if (home && home[0]) return std::string(home) + "/.local/state/veldkit/recovery";
  return "";
}

std::string journal_path_for(const char *tfd_path) {
  const std::string folder = journal_folder(), whole = absolute_path(tfd_path);
  if (folder.empty() || whole.empty()) return "";
  // The name and a hash of the whole path: two terrains of one name in two
  // folders keep two journals.
  const uint64_t h = fnv(14695981039346656037ULL, (const uint8_t *)whole.data(), whole.size());
  char hash[24];
  snprintf(hash, sizeof(hash), "%016llx", (unsigned long long)h);
  std::string name = whole.substr(whole.rfind('/') + 1);
  if (name.size() > 100) name.resize(100);
  return folder + "/" + name + "." + hash + ".journal";
}


std::string journal_edits_text(const JournalFound &found) {
  auto count = [](long long n, const char *what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
  if (!found.target_edits) return count(found.steps, "edit");
  if (!found.steps) return count(found.target_edits, "target area edit");
  return count(found.steps, "map edit") + " and " + count(found.target_edits, "target area edit");
}

std::string journal_left_out_text(const JournalFound &found) {
  if (!found.dropped) return "";
  const long long all = found.steps + found.target_edits + found.dropped;
  return std::to_string(found.dropped) + " of " + std::to_string(all) + (all == 1 ? " edit" : " edits") +
         (found.dropped == 1 ? " could not be used and was left out." : " could not be used and were left out.");
}

std::string journal_texture_text(const JournalFound &found) {
  if (!found.undeclared) return "";
  return std::to_string(found.undeclared) + (found.undeclared == 1 ? " recovered tile takes" : " recovered tiles take") +
         " a texture the texture list does not declare (" + std::to_string(found.undeclared_texture) +
         (found.undeclared > 1 ? " and others)." : ").");
}

std::vector<JournalFound> pending_journals() {
  std::vector<JournalFound> all;
  const std::string folder = journal_folder();
  DIR *dir = folder.empty() ? nullptr : opendir(folder.c_str());
  if (!dir) return all;
  while (dirent *e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name.size() < 8 || name.compare(name.size() - 8, 8, ".journal") != 0) continue;
    JournalFound found;
    if (read_journal((folder + "/" + name).c_str(), &found)) all.push_back(found);
  }
  closedir(dir);
  std::sort(all.begin(), all.end(), [](const JournalFound &a, const JournalFound &b) { return a.path < b.path; });
  return all;
}
