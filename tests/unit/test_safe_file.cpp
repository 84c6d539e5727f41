#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "core/safe_file.h"
#include "core/stdio_packfile.h"
#include "core/temp_files.h"
#include "core/terrain_model.h"
#include "files/height_map_file.h"
#include "files/tile_map_file.h"
#include "tests/unit/harness.h"

namespace {

std::vector<unsigned char> small_tile_map() {
  std::vector<unsigned char> out;
  put_le32(out, 2);
  put_le32(out, 1);
  put_le32(out, 5);
  put_le32(out, 6);
  for (int n = 0; n < 12; n++) put_le16(out, (uint16_t)(n % 3));
  return out;
}

int entries_ending(const TempDir &dir, const char *ending) {
  std::string cmd = "ls -A '" + dir.path() + "' | grep -c '" + ending + "$'";
  FILE *p = popen(cmd.c_str(), "r");
  int n = -1;
  if (p && fscanf(p, "%d", &n) != 1) n = -1;
  if (p) pclose(p);
  return n;
}

bool is_link(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

class SafeFileTest : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    tfd = dir.file("land.TFD");
    write_file(tfd, small_tile_map());
    ASSERT_EQ(0, load_tile_map(tfd.c_str(), nullptr));
  }
  void TearDown() override { reset_program_state(); }
  TempDir dir;
  std::string tfd;
};

TEST_F(SafeFileTest, TemporaryNamesCannotBeGuessed) {
  std::set<std::string> names;
  const std::string base = dir.file("land.TFD");
  for (int i = 0; i < 2000; i++) {
    char name[1024];
    ASSERT_EQ(0, make_temp_name(name, sizeof(name), base.c_str(), ".saving"));
    const std::string s = name;
    ASSERT_EQ(0u, s.find(base + "."));
    ASSERT_EQ(s.size() - 7, s.rfind(".saving"));
    const std::string middle = s.substr(base.size() + 1, s.size() - base.size() - 8);
    EXPECT_EQ(12u, middle.size());
    for (char c : middle) EXPECT_TRUE(isalnum((unsigned char)c)) << s;
    names.insert(s);
  }
  EXPECT_EQ(2000u, names.size());
  // A name that does not fit is refused, not cut.
  char small[40];
  EXPECT_EQ(1, make_temp_name(small, sizeof(small), base.c_str(), ".saving"));
}

TEST_F(SafeFileTest, NewFilesNeverReplaceAnythingOrFollowLinks) {
  const std::string victim = dir.file("victim"), absent = dir.file("absent");
  write_text(victim, "victim");
  ASSERT_EQ(0, symlink(victim.c_str(), dir.file("to-victim").c_str()));
  ASSERT_EQ(0, symlink(absent.c_str(), dir.file("dangling").c_str()));
  for (const char *name : {"victim", "to-victim", "dangling"}) {
    errno = 0;
    EXPECT_EQ(-1, create_new_file(dir.file(name).c_str(), 0644)) << name;
    EXPECT_EQ(EEXIST, errno) << name;
  }
  EXPECT_EQ(std::vector<unsigned char>({'v', 'i', 'c', 't', 'i', 'm'}), read_file(victim));
  EXPECT_FALSE(file_exists(absent));
  const int fd = create_new_file(dir.file("fresh").c_str(), 0600);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(3, write(fd, "new", 3));
  close(fd);
  struct stat st;
  ASSERT_EQ(0, lstat(dir.file("fresh").c_str(), &st));
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(0600u, st.st_mode & 0777);
}

// Links planted where the temporary file used to be named (file name,
// process number, ".saving") change nothing: the save goes to a name of its
// own and replaces the map file with a plain file.
TEST_F(SafeFileTest, PlantedLinksAtThePredictableNameChangeNothing) {
  const std::string victim = dir.file("victim.TFD");
  write_text(victim, "someone else's");
  const std::string predictable = tfd + "." + std::to_string(getpid()) + ".saving";
  ASSERT_EQ(0, symlink(victim.c_str(), predictable.c_str()));
  const std::string beside_victim = victim + "." + std::to_string(getpid()) + ".saving";
  ASSERT_EQ(0, symlink(dir.file("made-elsewhere").c_str(), beside_victim.c_str()));
  tile_at(1, 0).texture = 3;
  ASSERT_EQ(0, save_tile_map(tfd.c_str()));
  const auto kept = read_file(victim);
  EXPECT_EQ(std::string("someone else's"), std::string(kept.begin(), kept.end()));
  EXPECT_FALSE(is_link(tfd));
  auto saved = read_file(tfd);
  ASSERT_EQ(16u + 24u, saved.size());
  EXPECT_EQ(2, saved[16 + 12]);  // texture 3 stored as 2, second record
  EXPECT_TRUE(is_link(predictable));
  EXPECT_FALSE(file_exists(dir.file("made-elsewhere")));
  EXPECT_EQ(2, entries_ending(dir, ".saving"));  // the two planted links only
}

// The permission bits of the replaced file carry over to the new one.
TEST_F(SafeFileTest, PermissionsAreKept) {
  ASSERT_EQ(0, chmod(tfd.c_str(), 0640));
  ASSERT_EQ(0, save_tile_map(tfd.c_str()));
  struct stat st;
  ASSERT_EQ(0, stat(tfd.c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 07777);
}

// Saves the tile map as the unprivileged user and returns the saver's
// result; -1 when no such user can be taken on here.
int save_as_nobody(const TempDir &dir, const std::string &path) {
  const passwd *nobody = getpwnam("nobody");
  if (!nobody) return -1;
  if (geteuid() != 0) return save_tile_map(path.c_str());
  if (chown(dir.path().c_str(), nobody->pw_uid, nobody->pw_gid) != 0 ||
      chown(path.c_str(), nobody->pw_uid, nobody->pw_gid) != 0)
    return -1;
  const pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
      _exit(100);
    _exit(save_tile_map(path.c_str()));
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) == 100 ? -1 : WEXITSTATUS(status);
}

TEST_F(SafeFileTest, ReadOnlyFileIsNotReplaced) {
  const auto original = read_file(tfd);
  tile_at(0, 0).texture = 3;
  ASSERT_EQ(0, chmod(tfd.c_str(), 0444));
  const int refused = save_as_nobody(dir, tfd);
  if (refused < 0) GTEST_SKIP() << "no unprivileged user to save as";
  EXPECT_EQ(RESULT_CANNOT_WRITE, refused);
  EXPECT_EQ(original, read_file(tfd));
  EXPECT_EQ(0, entries_ending(dir, ".saving"));
  struct stat st;
  ASSERT_EQ(0, stat(tfd.c_str(), &st));
  EXPECT_EQ(0444u, st.st_mode & 07777);

  // The same user may replace it once it is writable: the refusal was the
  // file's mode, not the folder's.
  ASSERT_EQ(0, chmod(tfd.c_str(), 0644));
  EXPECT_EQ(0, save_as_nobody(dir, tfd));
  EXPECT_NE(original, read_file(tfd));
}

}  // namespace

namespace {

// Interrupted while a save writes: the temporary file goes, the original
// stays, and the process ends by the signal itself. A file done with is
// not touched.
TEST_F(SafeFileTest, InterruptsRemoveTheFileBeingWritten) {
  const std::vector<unsigned char> original = read_file(tfd);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SafeFile file;
      if (safe_file_open(&file, tfd.c_str()) != 0) _exit(3);
      pack_fwrite("partial", 7, file.pack);
      flush_stdio_packfile(file.pack);
      const std::string done = dir.file("done.part");
      write_file(done, {1});
      track_temp_file(done.c_str());
      forget_temp_file(done.c_str());
      raise(sig);
      _exit(4);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFSIGNALED(status)) << sig << ": " << status;
    EXPECT_EQ(sig, WTERMSIG(status));
    EXPECT_EQ(0, entries_ending(dir, ".saving")) << sig;
    EXPECT_TRUE(file_exists(dir.file("done.part")));
    EXPECT_EQ(original, read_file(tfd));
  }

}

}  // namespace
