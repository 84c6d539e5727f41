#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "files/target_areas.h"
#include "tests/unit/harness.h"
#include "tests/unit/target_reference.h"

namespace {

class TargetAreas : public testing::Test {
 protected:
  void SetUp() override { reset_program_state(); }
  void TearDown() override { clear_keybuf(); }
  // The number of areas held afterwards; the loader's result goes to result.
  int load(const std::string &text) {
    write_text(dir.file("T_TARGETS.ini"), text);
    result = load_target_areas(dir.file("T_TARGETS.ini").c_str(), log.get());
    return targets.area_count;
  }
  int result = -1;
  ReportLog log;
  TempDir dir;
};

std::string area(int n, const std::string &name, const std::string &position,
                 const std::string &body) {
  char header[32];
  snprintf(header, sizeof(header), "[TargetArea%03d]\n", n);
  return header + ("Name=" + name + "\nPosition=" + position + "\n") + body;
}

std::string target(int t, const std::string &type, const std::string &offset) {
  char key[32];
  snprintf(key, sizeof(key), "Target[%03d]", t);
  return std::string(key) + ".Type=" + type + "\n" + key + ".Offset=" + offset + "\n";
}

TEST_F(TargetAreas, TwoAreasAndTheirTargets) {
  ASSERT_EQ(2, load("; comment\n" +
                    area(1, "Bridge", "1000.5, 2000", "Alignment=Friendly\n" +
                         target(1, "Bridge", "10,20") + target(2, "Flak", "-5,  7.5") +
                         target(3, "Truck", "250")) +
                    area(2, "Depot", "3000,4000", "Alignment=ENEMY\n" +
                         target(1, "Tank", "1,2") + target(2, "Tank", "3,4"))));
  EXPECT_EQ(2, targets.area_count);
  EXPECT_EQ(5, targets.target_total);
  const TargetArea &a = targets.areas[1], &b = targets.areas[2];
  EXPECT_STREQ("Bridge", a.name);
  EXPECT_FLOAT_EQ(1000.5f, a.pos_x);
  EXPECT_FLOAT_EQ(2000.0f, a.pos_y);
  EXPECT_EQ(0, a.enemy);
  EXPECT_EQ(3, a.target_count);
  EXPECT_EQ(-1, a.runway_number);
  EXPECT_STREQ("Flak", a.targets[2].type);
  EXPECT_FLOAT_EQ(-5.0f, a.targets[2].offset_x);
  EXPECT_FLOAT_EQ(7.5f, a.targets[2].file_offset_y);
  EXPECT_FLOAT_EQ(250.0f, a.targets[3].offset_x);  // no comma: north offset 0
  EXPECT_EQ(0.0f, a.targets[3].offset_y);
  EXPECT_EQ(1, b.enemy);
  EXPECT_EQ(2, b.target_count);
  EXPECT_FLOAT_EQ(4.0f, b.targets[2].offset_y);
}

TEST_F(TargetAreas, SectionNamesAlignmentAndEndOfLists) {
  // An area without the three-digit number is not found.
  EXPECT_EQ(0, load(area(0, "x", "1,1", "") + "[TargetArea1]\nName=Short\nPosition=1,2\n"));
  EXPECT_EQ(0, targets.area_count);

  reset_program_state();
  ASSERT_EQ(4, load(area(1, "a", "0,0", "Alignment=F\n") + area(2, "b", "0,0", "Alignment=NEUTRAL\n") +
                    area(3, "c", "0,0", "") + area(4, "d", "0,0", "Alignment=f\n" +
                    target(1, "A", "0,0") + target(2, "B", "0,0") + target(4, "D", "0,0")) +
                    "[TargetArea005]\nName=NoPosition\n" + area(6, "late", "0,0", "")));
  EXPECT_EQ(0, targets.areas[1].enemy);
  EXPECT_EQ(1, targets.areas[2].enemy);
  EXPECT_EQ(1, targets.areas[3].enemy);
  EXPECT_EQ(1, targets.areas[4].enemy);  // only a capital F is friendly
  EXPECT_EQ(2, targets.areas[4].target_count);  // stops at the missing Target[003]
  EXPECT_EQ(2, targets.target_total);
}

TEST_F(TargetAreas, LongTextsAreCut) {
  ASSERT_EQ(1, load(area(1, std::string(100, 'n'), "5,6", target(1, std::string(90, 't'), "1,1"))));
  EXPECT_EQ(std::string(63, 'n'), targets.areas[1].name);
  EXPECT_EQ(std::string(63, 't'), targets.areas[1].targets[1].type);
}

TEST_F(TargetAreas, RunwayHeadingTurnsTheOtherTargets) {
  ASSERT_EQ(5, load(
      area(1, "West", "0,0", target(1, "Runway3", "0,0") + "Target[001].Heading=-90\n" +
           target(2, "Hangar", "100,0") + target(3, "Tower", "0,100")) +
      area(2, "East", "0,0", target(1, "Runway2", "0,0") + "Target[001].Heading=90\n" +
           target(2, "Hangar", "100,0")) +
      area(3, "Flat", "0,0", target(1, "Runway", "0,0") + target(2, "Hangar", "100,0")) +
      area(4, "Lower", "0,0", target(1, "runway3", "0,0") + "Target[001].Heading=90\n" +
           target(2, "Hangar", "100,0")) +
      area(5, "Huge", "0,0", target(1, "Runway" + std::string(40, '7'), "0,0") +
           "Target[001].Heading=450\n")));

  const TargetArea &west = targets.areas[1];
  EXPECT_EQ(3, west.runway_number);
  EXPECT_EQ(270, west.targets[1].heading);
  // Turned clockwise by 270 degrees: east becomes north, north becomes west.
  EXPECT_NEAR(0.0, west.targets[2].offset_x, 1e-3);
  EXPECT_NEAR(100.0, west.targets[2].offset_y, 1e-3);
  EXPECT_NEAR(-100.0, west.targets[3].offset_x, 1e-3);
  EXPECT_NEAR(0.0, west.targets[3].offset_y, 1e-3);
  EXPECT_FLOAT_EQ(100.0f, west.targets[2].file_offset_x);  // as read

  const TargetArea &east = targets.areas[2];
  EXPECT_NEAR(0.0, east.targets[2].offset_x, 1e-3);  // heading 90: east becomes south
  EXPECT_NEAR(-100.0, east.targets[2].offset_y, 1e-3);

  EXPECT_EQ(0, targets.areas[3].runway_number);  // no digits
  EXPECT_EQ(0, targets.areas[3].targets[1].heading);
  EXPECT_FLOAT_EQ(100.0f, targets.areas[3].targets[2].offset_x);  // heading 0: not turned

  EXPECT_EQ(-1, targets.areas[4].runway_number);  // the case must match
  EXPECT_FLOAT_EQ(100.0f, targets.areas[4].targets[2].offset_x);

  EXPECT_EQ(INT_MAX, targets.areas[5].runway_number);
  EXPECT_EQ(90, targets.areas[5].targets[1].heading);
}

TEST_F(TargetAreas, WindowsFollowTheSections) {
  // 511 areas of 30 targets: far more than one window, every area found.
  std::string text;
  for (int n = 1; n <= 511; n++) {
    std::string body = "Alignment=ENEMY\n";
    for (int t = 1; t <= 30; t++) body += target(t, "Bunker", std::to_string(n) + "," + std::to_string(t));
    text += area(n, "Area" + std::to_string(n), std::to_string(n * 10) + ",0", body);
  }
  ASSERT_GT(text.size(), 45000u * 10);
  ASSERT_EQ(511, load(text));
  EXPECT_EQ(511 * 30, targets.target_total);
  EXPECT_STREQ("Area511", targets.areas[511].name);
  EXPECT_FLOAT_EQ(5110.0f, targets.areas[511].pos_x);
  EXPECT_FLOAT_EQ(30.0f, targets.areas[511].targets[30].offset_y);
}

TEST_F(TargetAreas, AnAreaBeyondItsWindowIsNotFound) {
  const std::string filler = "; " + std::string(50000, '-') + "\n";
  // The window of area 2 begins at the header of [Other], which lags it.
  ASSERT_EQ(1, load(area(1, "a", "0,0", "") + "[Other]\n" + filler + area(2, "b", "0,0", "")));
  reset_program_state();
  ASSERT_EQ(2, load(area(1, "a", "0,0", "") + "[Other]\n" + area(2, "b", "0,0", filler)));
}

TEST_F(TargetAreas, MissingOrEmptyFileCannotBeOpened) {
  // No file is a terrain without areas; a link to nothing is a file that
  // cannot be read.
  EXPECT_EQ(RESULT_NO_FILE, load_target_areas(dir.file("absent.ini").c_str(), log.get()));
  ASSERT_EQ(0, symlink("absent.ini", dir.file("dangling.ini").c_str()));
  EXPECT_EQ(RESULT_CANNOT_OPEN, load_target_areas(dir.file("dangling.ini").c_str(), log.get()));
  EXPECT_EQ(0, load(""));
  EXPECT_EQ(RESULT_CANNOT_OPEN, result);
  // Nothing was read, so nothing is shown and nobody waits.
  EXPECT_TRUE(log.progress.empty());
  EXPECT_EQ(0, log.paused_ms);
}

TEST_F(TargetAreas, ResultProgressAndPause) {
  EXPECT_EQ(0, load("[Other]\nName=x\n"));
  EXPECT_EQ(RESULT_NOTHING_READ, result);
  EXPECT_EQ(1000, log.paused_ms);  // the first text stays a second before the areas follow
  ASSERT_EQ(1u, log.progress.size());
  EXPECT_EQ("Loading TargetArea:     - Targets:                       ", log.progress[0]);

  reset_program_state();
  log.progress.clear();
  EXPECT_EQ(2, load(area(1, "a", "0,0", target(1, "Tank", "1,2")) + area(2, "b", "5,5", "")));
  EXPECT_EQ(RESULT_OK, result);
  ASSERT_EQ(3u, log.progress.size());
  EXPECT_EQ("Loading TargetArea:   1 - Targets:   1", log.progress[1]);
  EXPECT_EQ("Loading TargetArea:   2 - Targets:   0", log.progress[2]);
  EXPECT_TRUE(log.warnings.empty());
}

}  // namespace

namespace {

// The model's start state with every area record zeroed, so that two
// readings compare byte for byte.
void fresh_tables() {
  reset_program_state();
  memset(targets.areas, 0, sizeof(targets.areas));
}

// Synthetic target files of every odd shape the format allows: sections
// out of order, repeated or misnamed, keys repeated, missing, in other
// cases, without "=", with blanks and comments around, values with blanks,
// zero bytes and bytes above 127, every kind of line break, and lines long
// enough for a window to end inside them.
class OddFiles {
 public:
  explicit OddFiles(unsigned seed) : rng_(seed) {}

  std::string make() {
    // Half the files are mostly well formed, so that areas with many
    // targets are read far enough to meet the odd lines.
    odd_ = pick(2) ? 4 : 1;
    std::string text;
    if (pick(4) == 0) text += line("; a comment before the first section");
    int n = 1;
    const int sections = 1 + pick(24);
    for (int i = 0; i < sections; i++) {
      const int r = pick(20);
      if (r == 0) n += 1 + pick(2);                  // a gap
      else if (r == 1 && n > 1) n -= 1 + pick(2);    // back again: repeated or out of order
      text += header(n);
      const int keys = pick(odd_ == 1 ? 14 : 60);
      int t = 1;
      if (pick(8 * odd_)) text += key_line("Name", name_value());
      if (pick(10 * odd_)) text += key_line("Position", number_pair());
      if (pick(3)) text += key_line("Alignment", pick(2) ? "FRIENDLY" : pick(2) ? "ENEMY" : "f");
      for (int k = 0; k < keys; k++) {
        const int what = pick(16 * odd_);
        if (what == 0) t += 1 + pick(2);
        if (what == 1 && t > 1) t--;
        char key[40];
        snprintf(key, sizeof(key), "Target[%03d].", t);
        if (what == 2) snprintf(key, sizeof(key), "Target[%d].", t);  // not three digits
        text += key_line(std::string(key) + "Type", type_value());
        if (pick(6 * odd_)) text += key_line(std::string(key) + "Offset", number_pair());
        if (t == 1 && pick(2)) text += key_line(std::string(key) + "Heading", heading_value());
        if (what == 3) text += key_line("Name", name_value());  // a second Name
        if (what == 4) text += noise();
        if (what == 5) text += filler(44800 + pick(400));  // the window's end lands near here
        t++;
      }
      if (pick(6) == 0) text += noise();
      if (pick(3) == 0) n++;
      n += pick(3) ? 1 : 0;
    }
    if (pick(3) == 0 && !text.empty()) text.pop_back();  // no line break at the end
    return text;
  }

 private:
  int pick(int n) { return (int)(rng_() % (unsigned)n); }

  std::string line_break() {
    static const char *const breaks[] = {"\n", "\n", "\n", "\r\n", "\r", "\n\r", "\r\r", "\n\n"};
    return breaks[pick(8)];
  }

  std::string line(const std::string &body) { return body + line_break(); }

  std::string blanks() {
    static const char *const b[] = {"", "", "", " ", "  ", "\t", " \t ", "\f", "\v"};
    return b[pick(9)];
  }

  std::string in_some_case(std::string text) {
    const int how = pick(6);
    for (char &c : text) {
      if (how == 0 && c >= 'a' && c <= 'z') c -= 32;
      if (how == 1 && c >= 'A' && c <= 'Z') c += 32;
    }
    return text;
  }

  std::string header(int n) {
    char name[40];
    snprintf(name, sizeof(name), "TargetArea%03d", n);
    switch (pick(16 * odd_)) {
      case 0: return line("[Other]");
      case 1: return line("[" + std::string(name) + "]x");  // no section: the name does not end in ]
      case 2: return line(blanks() + "[" + in_some_case(name) + "]" + blanks() + "# note");
      case 3: return line("[ " + std::string(name) + " ]");
      case 4: return line("[TargetArea" + std::to_string(n) + "]");
      case 5: return line("[" + std::string(name) + "] = value");
      default: return line(blanks() + "[" + std::string(name) + "]" + blanks());
    }
  }

  std::string key_line(const std::string &key, const std::string &value) {
    const std::string k = in_some_case(key);
    switch (pick(14 * odd_)) {
      case 0: return line(blanks() + k);                       // no value at all
      case 1: return line(k + " =" + blanks());                 // an empty value
      case 2: return line(k + "#" + value);                     // a name cut by #
      case 3: return line("#" + k + "=" + value);               // a comment
      case 4: return line(k + " == " + value + blanks());
      case 5: return line(k + "\t" + value);                    // a blank instead of =
      default: return line(blanks() + k + blanks() + "=" + blanks() + value + blanks());
    }
  }

  std::string name_value() {
    static const char *const names[] = {"Harbour", "NONE", "Bridge North", "", "  spaced  ",
                                         "x=y", "Dam # 2"};
    std::string v = names[odd_ == 1 ? pick(7) : 0];
    if (pick(8) == 0) v = std::string(70 + pick(30), 'n');
    if (pick(10) == 0) v += std::string(1, '\0') + "after a zero byte";
    if (pick(10) == 0) v += "\xc4\xe9\xa0\x85";
    return v;
  }

  std::string number_pair() {
    static const char *const parts[] = {"12000.5", "-3", "1e3", "  7", "nan", "inf", "0x10",
                                        "1e999", "", ".5", "abc"};
    std::string v = parts[pick(11)];
    const int sep = pick(5);
    if (sep == 1) v += ",";
    if (sep == 2) v += ", ";
    if (sep == 3) v += " ,";
    if (sep != 0 && sep != 4) v += parts[pick(11)];
    if (pick(12) == 0) v = std::string(80, '1') + "," + v;  // beyond the position's 63 characters
    return v;
  }

  std::string type_value() {
    static const char *const types[] = {"Runway3", "Runway", "runway2", "Runway-7", "Runway 12x",
                                         "Hangar", "Tank", "NONE", "", "Bunker  "};
    std::string v = types[pick(odd_ == 1 ? 10 : 7)];
    if (pick(15) == 0) v = "Runway" + std::string(40, '9');
    return v;
  }

  std::string heading_value() {
    static const char *const headings[] = {"90", "-90", "450", "0", "", "0x5A", "010", "-0",
                                            "99999999999", "-2147483648", "12abc", " 30"};
    return headings[pick(12)];
  }

  std::string noise() {
    switch (pick(8)) {
      case 0: return line("");
      case 1: return line(blanks());
      case 2: return line("; " + std::string(pick(200), '-'));
      case 3: return line(std::string("Name") + '\0' + "=Hidden");
      case 4: return line("=only a value");
      case 5: return line("\xff\xfe[TargetArea001]");
      case 6: return line("[");
      default: return line("Unrelated=1");
    }
  }

  std::string filler(int length) { return line("; " + std::string(length, 'f')); }

  std::mt19937 rng_;
  int odd_ = 1;  // 1: odd lines often; more: seldom
};

TEST(TargetReader, SameAsTheLibraryReaderOnOddFiles) {
  fresh_tables();
  for (unsigned seed = 1; seed <= 400; seed++) {
    OddFiles files(seed);
    const std::string text = files.make();
    if (text.empty()) continue;
    ASSERT_EQ("", compare_with_library_reader(text.data(), (long)text.size())) << "seed " << seed << ", " << text.size() << " bytes";
  }
}

TEST(TargetReader, SameAsTheLibraryReaderOnHandMadeShapes) {
  fresh_tables();
  const std::string shapes[] = {
      "[TargetArea001]\nName=A\nPosition=1,2\n[TargetArea001]\nTarget[001].Type=Late\n",
      "[TargetArea001]\nName=A\n[Other]\nPosition=9,9\n[targetarea001]\nPosition=1,2\n",
      "Name=Outside\n[TargetArea001]\nPosition=1,2\nName=Inside\nname=Second\n",
      "[TargetArea002]\nName=B\nPosition=0,0\n[TargetArea001]\nName=A\nPosition=1,1\n",
      "x",
      "[",
      "\n[TargetArea001]\nName=A\nPosition=1,1\n",
      "[TargetArea001]\rName=A\rPosition=1,1\r\r[TargetArea002]\n\rName=B\n\rPosition=2,2",
      std::string("[TargetArea001]\nName=A") + '\0' + "B\nPosition=1,1\n",
      "[TargetArea001]\nName=A\nPosition=1,1\nTarget[001].Type=Runway5\nTarget[001].Heading=0x5A\n"
      "Target[002].Type=T\nTarget[002].Offset=100,0\n",
  };
  for (const std::string &text : shapes) EXPECT_EQ("", compare_with_library_reader(text.data(), (long)text.size())) << text;

  // The window of an area ends at every place in and around its last lines.
  const std::string head = "[TargetArea001]\nName=A\nPosition=1,2\nTarget[001].Type=Bunker\n";
  const std::string tail = "Target[002].Type=Hangar\r\nTarget[002].Offset=5,6 \nTarget[003].Type=X\n";
  for (int cut = -2; cut <= (int)tail.size() + 2; cut++) {
    const std::string filler = "; " + std::string(45000 - head.size() - 3 - cut, '-') + "\n";
    const std::string text = head + filler + tail + "[TargetArea002]\nName=B\nPosition=3,4\n";
    EXPECT_EQ("", compare_with_library_reader(text.data(), (long)text.size())) << "window ends " << cut << " bytes into the last lines";
  }
}

TEST(TargetReader, SameAsTheLibraryReaderOnTheLargestFile) {
  fresh_tables();
  std::string text;
  for (int n = 1; n <= 511; n++) {
    std::string body = "Alignment=F\n";
    body += target(1, "Runway2", "0,0") + "Target[001].Heading=" + std::to_string(n * 7) + "\n";
    for (int t = 2; t <= 511; t++)
      body += target(t, "Storage Building", std::to_string(t) + ".5," + std::to_string(n));
    text += area(n, "Area" + std::to_string(n), "1000,2000", body);
  }
  ASSERT_GT(text.size(), 15000000u);
  EXPECT_EQ("", compare_with_library_reader(text.data(), (long)text.size()));
}

}  // namespace
