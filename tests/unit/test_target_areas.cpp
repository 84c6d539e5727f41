#include <cfloat>
#include <chrono>
#include <climits>
#include <cstdio>
#include <string>

#include "terrain/target_areas.h"
#include "terrain/terrain_model.h"
#include "terrain/text_numbers.h"
#include "tests/unit/harness.h"

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
  EXPECT_EQ(RESULT_CANNOT_OPEN, load_target_areas(dir.file("absent.ini").c_str(), log.get()));
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

// Not part of the regular run: the largest file the table holds, timed.
TEST_F(TargetAreas, DISABLED_LargestFileTiming) {
  std::string text;
  for (int n = 1; n <= 511; n++) {
    std::string body = "Alignment=F\n";
    for (int t = 1; t <= 511; t++) body += target(t, "Building", "100.5,200.25");
    text += area(n, "Area" + std::to_string(n), "1000,2000", body);
  }
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(511, load(text));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(511 * 511, targets.target_total);
  printf("%zu bytes, 511 x 511 targets: %.2f s (1 s of it the pause)\n", text.size(), seconds);
}

}  // namespace
