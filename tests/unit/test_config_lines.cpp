// Lines, names and values of configuration text against the library's own
// reader: every byte value in every place of a line where it could matter.
#include <cstring>
#include <string>
#include <vector>

#include "core/regular_file.h"
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

// Values set in a text: only their characters change (a number's alone,
// what follows it on its line stays), missing keys go after their
// section's last key and missing sections at the end, in the text's line
// ends and the section's spacing; and the library reads each value back.
TEST(ConfigLines, ValuesSetKeepEveryOtherByte) {
  const std::string mark = "\xEF\xBB\xBF";
  const struct {
    std::string before;
    std::vector<ConfigValue> values;
    std::string after;
  } cases[] = {
      // comments, order, spacing and unknown keys around a changed number
      {"# mine\n[Display]\nScreen-Width = 1024   ; wide\nMyKey=keep\n\n[Other]\nx=1\n",
       {{"display", "screen-width", "1100", true}},
       "# mine\n[Display]\nScreen-Width = 1100   ; wide\nMyKey=keep\n\n[Other]\nx=1\n"},
      // a word is its whole value; a hexadecimal number is one number
      {"[Display]\nStart_Zoom = fit ; far\nFullScreen=0x0 # no\n",
       {{"Display", "Start_Zoom", "3"}, {"Display", "FullScreen", "1", true}},
       "[Display]\nStart_Zoom = 3\nFullScreen=1 # no\n"},
      // a missing key after its section's last key, in its spacing
      {"[Display]\nScreen-Width=800\n# of the export\n\n[Export]\nFormat = png\n",
       {{"Display", "UI_Scale", "2"}, {"Export", "Briefing_Pixels", "2048", true}},
       "[Display]\nScreen-Width=800\nUI_Scale=2\n# of the export\n\n[Export]\nFormat = png\nBriefing_Pixels = 2048\n"},
      // a missing section at the end after a blank line, also where the
      // last line has no line end, which it keeps so
      {"[Display]\nScreen-Width=800\n", {{"Export", "Briefing_Page", "A4"}},
       "[Display]\nScreen-Width=800\n\n[Export]\nBriefing_Page=A4\n"},
      {"[Display]\nScreen-Width=800", {{"Export", "Format", "png"}, {"Display", "UI_Scale", "3"}},
       "[Display]\nScreen-Width=800\nUI_Scale=3\n\n[Export]\nFormat=png"},
      {"", {{"Display", "UI_Scale", "2"}, {"Export", "Format", "png"}},
       "[Display]\nUI_Scale = 2\n\n[Export]\nFormat = png\n"},
      // CR LF, and a byte order mark the reader passes over
      {"[Display]\r\nScreen-Width = 800\r\n\r\n", {{"Display", "Screen-Width", "900", true}, {"Display", "FullScreen", "1", true}},
       "[Display]\r\nScreen-Width = 900\r\nFullScreen = 1\r\n\r\n"},
      {mark + "[Display]\r\nScreen-Width=800\r\n", {{"Display", "Screen-Width", "1280", true}, {"Export", "Format", "png"}},
       mark + "[Display]\r\nScreen-Width=1280\r\n\r\n[Export]\r\nFormat=png\r\n"},
      // the reader's line: in a second section of the name, the first of
      // two lines, a name without "=" or a value
      {"[Display]\nA=1\n[Export]\nFormat=bmp\n[display]\nScreen-Width=800\n", {{"Display", "Screen-Width", "900", true}},
       "[Display]\nA=1\n[Export]\nFormat=bmp\n[display]\nScreen-Width=900\n"},
      {"[Display]\nScreen-Width=\nScreen-Width=900\nFullScreen\n",
       {{"Display", "Screen-Width", "1100", true}, {"Display", "FullScreen", "1", true}},
       "[Display]\nScreen-Width=1100\nScreen-Width=900\nFullScreen=1\n"},
      // digits the reader's number stops before (an octal "08" reads as 0)
      // go with it, or they would run on the new number
      {"[Display]\nScreen-Width=08\nFullScreen = 09 # x\n",
       {{"Display", "Screen-Width", "642", true}, {"Display", "FullScreen", "1", true}},
       "[Display]\nScreen-Width=642\nFullScreen = 1 # x\n"},
      // a line added after a line of another end than the text's first
      // takes that line's end: a return would pair with the blank line after
      {"[Display]\r8\n\n", {{"Display", "UI_Scale", "2"}}, "[Display]\r8\nUI_Scale = 2\n\n"},
      // a last line without its end keeps it so, also when the values set
      // make the text shorter than it was
      {"[Export]\nBriefing_Pixels =0xfffffffffffffffffffffffffff", {{"Export", "Briefing_Pixels", "522", true}, {"Display", "UI_Scale", "2"}},
       "[Export]\nBriefing_Pixels =522\n\n[Display]\nUI_Scale =2"},
  };
  for (const auto &c : cases) {
    const std::string out = config_text_with_values(c.before.data(), (long)c.before.size(), c.values);
    EXPECT_EQ(c.after, out) << c.before;
    use_config_text(out.data(), (long)out.size());
    for (const ConfigValue &v : c.values) {
      if (v.number) {
        EXPECT_EQ(atoi(v.value.c_str()), get_config_int(v.section.c_str(), v.key.c_str(), -1)) << out;
      } else {
        EXPECT_STREQ(v.value.c_str(), get_config_string(v.section.c_str(), v.key.c_str(), "")) << out;
      }
    }
  }
}

}  // namespace
