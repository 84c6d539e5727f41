#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "core/regular_file.h"
#include "core/stdio_packfile.h"
#include "tests/unit/harness.h"

namespace {

// A named pipe that nobody writes to: an ordinary open of it waits for good.
// The alarm ends the test program instead of letting a fault hang it.
class RegularFile : public testing::Test {
 protected:
  void SetUp() override {
    alarm(60);
    write_text(dir.file("plain.txt"), "plain text\n");
    ASSERT_EQ(0, mkfifo(dir.file("pipe").c_str(), 0644));
    ASSERT_EQ(0, mkdir(dir.file("folder").c_str(), 0755));
    ASSERT_EQ(0, symlink(dir.file("plain.txt").c_str(), dir.file("link.txt").c_str()));
    ASSERT_EQ(0, symlink("/dev/zero", dir.file("zero.txt").c_str()));
    ASSERT_EQ(0, symlink(dir.file("pipe").c_str(), dir.file("pipe-link.txt").c_str()));
  }
  void TearDown() override { alarm(0); }
  TempDir dir;
};

TEST_F(RegularFile, OnlyRegularFilesOpen) {
  for (const char *name : {"plain.txt", "link.txt"}) {
    struct stat info;
    const int fd = open_regular_file(dir.file(name).c_str(), &info);
    ASSERT_GE(fd, 0) << name;
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(11, info.st_size);
    char text[32] = {};
    EXPECT_EQ(11, read(fd, text, sizeof(text)));
    EXPECT_STREQ("plain text\n", text);
    // The descriptor reads like any other: waiting is allowed again.
    EXPECT_EQ(0, fcntl(fd, F_GETFL) & O_NONBLOCK);
    close(fd);
    EXPECT_EQ(1, regular_file_readable(dir.file(name).c_str()));
  }
  for (const char *name : {"pipe", "pipe-link.txt", "folder", "zero.txt", "missing.txt"}) {
    struct stat info;
    info.st_size = 12345;
    EXPECT_EQ(-1, open_regular_file(dir.file(name).c_str(), &info)) << name;
    EXPECT_EQ(12345, info.st_size) << name;
    EXPECT_EQ(0, regular_file_readable(dir.file(name).c_str())) << name;
  }
  EXPECT_EQ(-1, open_regular_file("/dev/null"));
  EXPECT_EQ(-1, open_regular_file(nullptr));

  // The stdio packfile reads through the same check.
  EXPECT_EQ(nullptr, open_stdio_packfile(dir.file("pipe").c_str(), "rb"));
  EXPECT_EQ(nullptr, open_stdio_packfile(dir.file("folder").c_str(), "rb"));
  struct stat info;
  PACKFILE *f = open_stdio_packfile(dir.file("link.txt").c_str(), "rb", &info);
  ASSERT_NE(nullptr, f);
  EXPECT_EQ('p', pack_getc(f));
  pack_fclose(f);
  struct stat direct;
  ASSERT_EQ(0, stat(dir.file("plain.txt").c_str(), &direct));
  EXPECT_EQ(direct.st_ino, info.st_ino);
}

// Every section, key and value the library's own file reader finds.
std::string whole_config() {
  std::string all;
  const char **sections = nullptr;
  const int section_count = list_config_sections(&sections);
  std::vector<std::string> names(1, "");
  for (int i = 0; i < section_count; i++) names.push_back(sections[i]);
  free_config_entries(&sections);
  for (const std::string &section : names) {
    const char **keys = nullptr;
    const int key_count = list_config_entries(section.empty() ? nullptr : section.c_str(), &keys);
    all += "[" + section + "]";
    for (int k = 0; k < key_count; k++)
      all += std::string(keys[k]) + "=" +
             get_config_string(section.empty() ? nullptr : section.c_str(), keys[k], "?") + ";";
    free_config_entries(&keys);
  }
  return all;
}

TEST_F(RegularFile, ConfigTextReadsAsTheLibraryReadsTheFile) {
  const char *texts[] = {
      "[Display]\nScreen-Width=800\nScreen-Height = 600 \n",
      "top=1\n[A]\nx=1\nx=2\n# comment=3\n[B]\n  spaced key  =  v a l  \n[A]\ny=4",
      "[Texture001]\r\nFilename=sea.bmp\r\nHasWater=2\r\n\r\n[Texture002]\r\nFilename=a=b.bmp\r\n",
      "no section, no equals\n[]\n=empty key\n[C]\nk=\n",
      "",
      "[Long]\nvalue=" "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz0123456789"
      "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz0123456789\n",
  };
  for (const char *text : texts) {
    write_text(dir.file("f.ini"), text);
    set_config_file(dir.file("f.ini").c_str());
    const std::string expected = whole_config();
    set_config_data("", 0);
    use_config_file(dir.file("f.ini").c_str());
    EXPECT_EQ(expected, whole_config()) << text;
  }
  // The comparison sees the content, not just two empty lists.
  write_text(dir.file("f.ini"), texts[1]);
  use_config_file(dir.file("f.ini").c_str());
  EXPECT_EQ("[]top=1;[[A]]x=1;y=4;[[B]]spaced=key  =  v a l;", whole_config());
}

TEST_F(RegularFile, ConfigThatIsNoRegularFileIsEmpty) {
  for (const char *name : {"pipe", "folder", "zero.txt", "missing.ini"}) {
    write_text(dir.file("f.ini"), "[Display]\nScreen-Width=900\n");
    use_config_file(dir.file("f.ini").c_str());
    ASSERT_EQ(900, get_config_int("Display", "Screen-Width", 1));
    use_config_file(dir.file(name).c_str());
    EXPECT_EQ(1, get_config_int("Display", "Screen-Width", 1)) << name;
    EXPECT_EQ("[]", whole_config()) << name;
  }
}

}  // namespace
