// A step's changed height samples, kept in each of their forms, against a
// plain copy of the states: catches samples kept in the wrong place or lost
// when columns are gathered on several threads, and a count of changes that
// is not the number of samples that differ.
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "edit/sample_changes.h"
#include "tests/unit/harness.h"

namespace {

enum { SX = 150, SY = 170 };

std::vector<uint16_t> map_samples() {
  std::vector<uint16_t> s;
  for (int x = 0; x < SX; x++) s.insert(s.end(), height_map.heights[x], height_map.heights[x] + SY);
  return s;
}

TEST(SampleChanges, EveryFormSwapsBackAndForthExactly) {
  reset_program_state();
  height_map.samples_x = SX;
  height_map.samples_y = SY;
  std::mt19937 r(3);
  // One in a thousand samples changed (listed), one in three (masked), all (whole).
  for (int threads : {1, 3})
    for (unsigned every : {1000u, 3u, 1u}) {
      SCOPED_TRACE(testing::Message() << threads << " threads, one change in " << every);
      set_work_threads(threads);
      for (int x = 0; x < SX; x++)
        for (int y = 0; y < SY; y++) height_map.heights[x][y] = (uint16_t)(r() % 10000);
      const int left = 3, top = 5, right = SX - 2, bottom = SY - 7;
      const size_t rows = (size_t)(bottom - top + 1);
      uint16_t *before = (uint16_t *)malloc(sizeof(uint16_t) * rows * (size_t)(right - left + 1));
      for (int x = left; x <= right; x++) memcpy(before + (size_t)(x - left) * rows, height_map.heights[x] + top, rows * 2);
      const std::vector<uint16_t> was = map_samples();
      long long differ = 0;
      for (int x = left; x <= right; x++)
        for (int y = top; y <= bottom; y++)
          if (r() % every == 0) {
            height_map.heights[x][y] = (uint16_t)(height_map.heights[x][y] + 1 + r() % 100);
            differ++;
          }
      const std::vector<uint16_t> now = map_samples();
      SampleChanges changes;
      changes.take_copy(left, top, right, bottom, before);
      if (every > 1) {
        EXPECT_EQ(differ, changes.count());
      }
      changes.swap_with_map();
      EXPECT_TRUE(was == map_samples());
      changes.swap_with_map();
      EXPECT_TRUE(now == map_samples());
    }
  set_work_threads(0);
}

}  // namespace
