// Lines, names and values of configuration text against the library's own
// reader: every byte value in every place of a line where it could matter.
#include <cstring>
#include <string>

#include "files/config_lines.h"
#include "tests/unit/harness.h"

namespace {

// The first entry of the section [S] in text as the library answers for
// key, and as config_entry_of reads the line that begins at start.
struct Answers {
  std::string library;
  std::string ours;
};

Answers answers(const std::string &text, long start, const char *key) {
  set_config_data(text.data(), (int)text.size());
  Answers a;
  a.library = get_config_string("S", key, "<missing>");
  const ConfigLine line = config_line_at(text.data(), (long)text.size(), start);
  const ConfigEntry entry = config_entry_of(text.data(), line.start, line.end);
  if (!config_name_is(text.data(), entry, key)) {
    a.ours = "<missing>";
  } else {
    // An empty value reads as missing through the library's look-ups.
    a.ours = entry.value_length ? text.substr(entry.value, entry.value_length) : "<missing>";
  }
  return a;
}

TEST(ConfigLines, EveryByteBeforeBetweenAndAfterAsTheLibraryReadsIt) {
  for (int b = 1; b < 256; b++) {
    if (b == '\n' || b == '\r') continue;
    const std::string c(1, (char)b);
    const std::string at_start = "[S]\n" + c + "K=v" + c + "w\n";
    Answers a = answers(at_start, 4, "K");
    EXPECT_EQ(a.library, a.ours) << "byte " << b << " before the name";
    a = answers("[S]\nK" + c + "v" + c + "\n", 4, "K");
    EXPECT_EQ(a.library, a.ours) << "byte " << b << " after the name and the value";
    a = answers("[S]\nK" + c + "=" + c + c + "v\n", 4, "K");
    EXPECT_EQ(a.library, a.ours) << "byte " << b << " around =";
    // A character of another case matches only where the library folds it.
    const std::string upper = "[S]\nK" + c + "=v\n";
    const bool capital = (b >= 'A' && b <= 'Z') || (b >= 192 && b <= 222);
    const char key[] = {'k', (char)(capital ? b + 32 : b), 0};
    a = answers(upper, 4, key);
    EXPECT_EQ(a.library, a.ours) << "byte " << b << " in the name";
  }
}

TEST(ConfigLines, SectionHeaders) {
  const std::string headers[] = {"[S]", " [S] ", "[s]", "[S]x", "[S] x", "[S]#x", "[S]=x", "[ S ]", "[S",
                                 "\f[S]\v", std::string("[S]") + '\0' + "x"};
  for (const std::string &h : headers) {
    const std::string text = h + "\nK=v\n";
    set_config_data(text.data(), (int)text.size());
    const bool library = strcmp(get_config_string("S", "K", "-"), "v") == 0;
    const ConfigLine line = config_line_at(text.data(), (long)text.size(), 0);
    const ConfigEntry entry = config_entry_of(text.data(), line.start, line.end);
    const bool ours = config_is_section(text.data(), entry) && config_name_is(text.data(), entry, "[S]");
    EXPECT_EQ(library, ours) << h;
  }
}

TEST(ConfigLines, LineBreaksAloneAndInPairs) {
  // Each break followed by K=v: the line found after the first break must
  // be the one the library reads K from.
  const char *breaks[] = {"\n", "\r", "\r\n", "\n\r", "\n\n", "\r\r", "\r\n\r\n", "\n\r\n"};
  for (const char *br : breaks) {
    const std::string text = std::string("[S]") + br + "K=v" + br;
    ConfigLine header = config_line_at(text.data(), (long)text.size(), 0);
    EXPECT_EQ(3, header.end);
    long at = header.next;
    std::string found = "<missing>";
    while (at < (long)text.size()) {
      const ConfigLine line = config_line_at(text.data(), (long)text.size(), at);
      const ConfigEntry entry = config_entry_of(text.data(), line.start, line.end);
      if (config_name_is(text.data(), entry, "K")) found = text.substr(entry.value, entry.value_length);
      EXPECT_GT(line.next, at);
      at = line.next;
    }
    set_config_data(text.data(), (int)text.size());
    EXPECT_EQ(get_config_string("S", "K", "<missing>"), found) << "breaks " << (int)strlen(br);
  }
  // The end of the text ends a line, even inside a pair of breaks.
  const char cut[] = "K=v\r\n";
  ConfigLine line = config_line_at(cut, 4, 0);
  EXPECT_EQ(3, line.end);
  EXPECT_EQ(4, line.next);
  line = config_line_at(cut, 2, 0);
  EXPECT_EQ(2, line.end);
  EXPECT_EQ(2, line.next);
}

}  // namespace
