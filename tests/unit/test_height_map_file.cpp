#include <algorithm>
#include <cstdlib>
#include <csignal>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "files/height_map_file.h"
#include "tests/unit/harness.h"

namespace {

// A height file; samples are in file order (southern row first).
std::vector<unsigned char> height_file(int32_t sx, int32_t sy, int32_t h3, int32_t h4,
                                       const std::vector<uint16_t> &samples) {
  std::vector<unsigned char> out;
  put_le32(out, sx);
  put_le32(out, sy);
  put_le32(out, h3);
  put_le32(out, h4);
  for (uint16_t s : samples) put_le16(out, s);
  return out;
}

std::vector<std::string> dir_entries(const std::string &path) {
  std::vector<std::string> names;
  DIR *d = opendir(path.c_str());
  if (!d) return names;
  while (dirent *e = readdir(d))
    if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
  closedir(d);
  return names;
}

class HeightMapFile : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    tile_map.tiles_x = 20;
    tile_map.tiles_y = 20;
  }
  void TearDown() override { reset_program_state(); }

  // Loads a 80 x 80 map whose first samples are the given values, the rest 0.
  int load_values(const std::vector<std::pair<int, uint16_t>> &runs) {
    std::vector<uint16_t> samples;
    for (const auto &run : runs) samples.insert(samples.end(), run.first, run.second);
    samples.resize(80 * 80, 0);
    write_file(dir.file("s.HFD"), height_file(80, 80, 0, 0, samples));
    return load_height_map(dir.file("s.HFD").c_str(), nullptr);
  }
  TempDir dir;
};

TEST_F(HeightMapFile, RoundTripAndRowOrder) {
  // Sizes that leave partial blocks of rows and columns in the last chunk.
  tile_map.tiles_x = 131;
  tile_map.tiles_y = 67;
  const int sx = 524, sy = 268;
  std::vector<uint16_t> samples;
  srand(9);
  for (int i = 0; i < sx * sy; i++) samples.push_back((uint16_t)(rand() % 10000));
  auto bytes = height_file(sx, sy, 0x0BADF00D, -3, samples);
  write_file(dir.file("a.HFD"), bytes);
  ASSERT_EQ(0, load_height_map(dir.file("a.HFD").c_str(), nullptr));
  EXPECT_EQ(1, height_map.heights_loaded);
  EXPECT_EQ(sx, height_map.samples_x);
  EXPECT_EQ(0x0BADF00D, height_map.header3);
  EXPECT_EQ(-3, height_map.header4);
  // The first file row is the southern edge.
  EXPECT_EQ(samples[0], height_map.heights[0][sy - 1]);
  EXPECT_EQ(samples[5], height_map.heights[5][sy - 1]);
  EXPECT_EQ(samples[sx + 7], height_map.heights[7][sy - 2]);
  EXPECT_EQ(samples[(sy - 1) * sx + 100], height_map.heights[100][0]);
  ASSERT_EQ(0, save_height_map(dir.file("b.HFD").c_str()));
  EXPECT_EQ(bytes, read_file(dir.file("b.HFD")));
}

TEST_F(HeightMapFile, SizeMustBeFourTimesTheTileMap) {
  tile_map.tiles_x = 10;
  tile_map.tiles_y = 8;
  write_file(dir.file("tall.HFD"), height_file(40, 33, 7, 8, std::vector<uint16_t>(40 * 33, 1)));
  EXPECT_EQ(RESULT_BAD_HEADER, load_height_map(dir.file("tall.HFD").c_str(), nullptr));
  EXPECT_EQ(0, height_map.samples_y);  // nothing of the header is kept
  EXPECT_EQ(0, height_map.header3);
  EXPECT_EQ(0, height_map.heights[0][0]);
  EXPECT_EQ(0, height_map.heights_loaded);
  write_file(dir.file("ok.HFD"), height_file(40, 32, 0, 0, std::vector<uint16_t>(40 * 32, 1)));
  EXPECT_EQ(0, load_height_map(dir.file("ok.HFD").c_str(), nullptr));

  // More than 16000 fails even when it matches the tile map's sizes.
  tile_map.tiles_x = 4001;
  write_file(dir.file("wide.HFD"), height_file(16004, 32, 0, 0, {}));
  EXPECT_NE(0, load_height_map(dir.file("wide.HFD").c_str(), nullptr));

  tile_map.tiles_x = tile_map.tiles_y = 0;
  write_file(dir.file("empty.HFD"), height_file(0, 0, 0, 0, {}));
  EXPECT_EQ(0, load_height_map(dir.file("empty.HFD").c_str(), nullptr));
  EXPECT_NE(0, load_height_map(dir.file("missing.HFD").c_str(), nullptr));
}

TEST_F(HeightMapFile, HighestAllowedSampleIs9999) {
  EXPECT_EQ(0, load_values({{1, 9999}}));
  EXPECT_EQ(9999, height_map.max_height);
  EXPECT_EQ(39, height_map.detected_height_step);
  EXPECT_EQ(1, height_map.heights_loaded);

  reset_program_state();
  tile_map.tiles_x = tile_map.tiles_y = 20;
  height_map.detected_height_step = height_map.height_step = 4;
  EXPECT_EQ(RESULT_BAD_DATA, load_values({{3, 17}, {1, 10000}, {1, 23}}));
  EXPECT_EQ(10000, height_map.max_height);
  // The samples stay; the steps and the loaded flag do not change.
  EXPECT_EQ(17, height_map.heights[2][79]);
  EXPECT_EQ(10000, height_map.heights[3][79]);
  EXPECT_EQ(23, height_map.heights[4][79]);
  EXPECT_EQ(4, height_map.detected_height_step);
  EXPECT_EQ(4, height_map.height_step);
  EXPECT_EQ(0, height_map.heights_loaded);
}

TEST_F(HeightMapFile, FileCutShortReadsEndOfFileAndFails) {
  std::vector<uint16_t> samples(80 * 80, 12);
  auto bytes = height_file(80, 80, 0, 0, samples);
  bytes.resize(16 + 2 * 100 + 1);  // 100 whole samples and one byte of the next
  write_file(dir.file("cut.HFD"), bytes);
  EXPECT_NE(0, load_height_map(dir.file("cut.HFD").c_str(), nullptr));
  EXPECT_EQ(65535, height_map.max_height);
  EXPECT_EQ(12, height_map.heights[19][78]);  // sample 99: second file row, column 19
  EXPECT_EQ(65535, height_map.heights[20][78]);  // the partial word
  EXPECT_EQ(65535, height_map.heights[0][0]);
  EXPECT_EQ(0, height_map.heights_loaded);
}

TEST_F(HeightMapFile, HeightStepDetection) {
  const struct {
    std::vector<std::pair<int, uint16_t>> runs;
    int step;
  } cases[] = {
      {{{1001, 12}, {1001, 24}}, 12},          // c12 = 2002, c6 = 2002
      {{{2500, 6}, {1001, 12}}, 6},            // c12 = 1001, c6 = 3501
      {{{1001, 10}}, 10},                      // c10 = c5 = 1001
      {{{1001, 10}, {1001, 5}}, 5},            // c10 = 1001, c5 = 2002
      {{{1001, 6}, {1, 2000}}, 7},             // c12 = 0: 2000 / 255
      {{{1, 1000}}, 3},                        // nothing counted
      {{{1, 254}}, 1},                         // 0 by the rule: at least 1
      {{{1001, 60}, {1001, 120}, {1, 300}}, 1},  // above 59: not counted
      {{{1000, 12}, {1, 600}}, 2},             // 1000 is not enough
      {{{1001, 8}}, 8},
      {{{1001, 8}, {1001, 10}}, 10},           // later rules override
      {{{1001, 40}, {1001, 12}}, 12},          // c8 and c10 and c12
      {{{1001, 24}}, 12},                      // c6 = c12
  };
  for (const auto &c : cases) {
    reset_program_state();
    tile_map.tiles_x = tile_map.tiles_y = 20;
    ASSERT_EQ(0, load_values(c.runs));
    EXPECT_EQ(c.step, height_map.detected_height_step) << c.runs[0].first << "x" << c.runs[0].second;
    EXPECT_EQ(c.step, height_map.height_step);
  }
}

TEST_F(HeightMapFile, StepCountsLeaveOutWhatDoesNotCount) {
  // 1204 x 1204 samples: the samples in the last four columns and the last
  // four file rows lie outside whole blocks of eight; the rest inside.
  tile_map.tiles_x = tile_map.tiles_y = 301;
  const int n = 1204;
  using Runs = std::vector<std::pair<int, uint16_t>>;
  const struct {
    Runs runs;
    int step;
  } cases[] = {
      {{{1001, 12}, {1000, 6}, {3000, 9}}, 12},  // c6 = 2001: odd multiples of 3 do not count
      {{{1001, 10}, {1001, 15}}, 5},             // c5 = 2002, c10 = 1001
      {{{1001, 4}, {1001, 60}, {1001, 64}}, 1},  // c8 = 0; 0 by the rule, at least 1
      {{{1001, 0}, {1, 600}}, 2},                // 0 does not count
      {{{1001, 48}}, 12},                        // c12 = c8 = c6 = 1001
      {{{1001, 16}, {1001, 59}, {999, 20}}, 8},  // c8 = 1001, c10 = 999
  };
  for (bool at_edges : {false, true}) {
    for (const auto &c : cases) {
      std::vector<uint16_t> samples(n * n, 100);
      std::vector<int> places;
      for (int i = 0; i < n; i++)
        for (int x = 0; x < n; x++)
          if (!at_edges || x >= n - 4 || i >= n - 4) places.push_back(i * n + x);
      size_t next = 0;
      for (const auto &run : c.runs)
        for (int k = 0; k < run.first; k++) samples[places[next++]] = run.second;
      write_file(dir.file("e.HFD"), height_file(n, n, 0, 0, samples));
      height_map.max_height = 0;
      ASSERT_EQ(0, load_height_map(dir.file("e.HFD").c_str(), nullptr));
      EXPECT_EQ(c.step, height_map.detected_height_step)
          << c.runs[0].second << (at_edges ? " at the edges" : " inside");
    }
  }
}

TEST_F(HeightMapFile, HighestSampleIsNotResetBetweenLoads) {
  ASSERT_EQ(0, load_values({{1, 700}}));
  EXPECT_EQ(700, height_map.max_height);
  ASSERT_EQ(0, load_values({{1, 100}}));
  EXPECT_EQ(700, height_map.max_height);
  EXPECT_EQ(2, height_map.detected_height_step);
}

TEST_F(HeightMapFile, FailedSaveKeepsTheOriginal) {
  ASSERT_EQ(0, load_values({{5, 300}}));
  const std::string path = dir.file("keep.HFD");
  ASSERT_EQ(0, save_height_map(path.c_str()));
  const auto before = read_file(path);
  height_map.heights[0][79] = 9;
  if (geteuid() != 0 && chmod(dir.path().c_str(), 0555) == 0) {
    EXPECT_NE(0, save_height_map(path.c_str()));
    EXPECT_EQ(before, read_file(path));
    chmod(dir.path().c_str(), 0755);
  }
  EXPECT_NE(0, save_height_map("/dev/full/x.HFD"));
  EXPECT_EQ(before, read_file(path));

  // Writing stops part-way (file size limit, effective for root too).
  struct rlimit old_limit;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old_limit));
  struct rlimit small = old_limit;
  small.rlim_cur = 1000;
  void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
  const int result = save_height_map(path.c_str());
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(RESULT_CANNOT_WRITE, result);
  EXPECT_EQ(before, read_file(path));

  // The rename over a folder of that name fails: the folder stays as it was.
  ASSERT_EQ(0, mkdir(dir.file("folder.HFD").c_str(), 0755));
  EXPECT_NE(0, save_height_map(dir.file("folder.HFD").c_str()));
  EXPECT_TRUE(dir_entries(dir.file("folder.HFD")).empty());
  // No temporary file is left behind.
  auto names = dir_entries(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"folder.HFD", "keep.HFD", "s.HFD"}), names);
  ASSERT_EQ(0, save_height_map(path.c_str()));
  EXPECT_EQ(9, read_file(path)[16]);
}

}  // namespace

namespace {

// Many chunks, a file cut inside a sample: loads and saves on one thread
// and on several give the same heights, statistics and bytes.
TEST_F(HeightMapFile, ThreadsDoNotChangeLoadsOrSaves) {
  tile_map.tiles_x = 37;
  tile_map.tiles_y = 95;
  const int sx = 148, sy = 380;
  srand(21);
  std::vector<uint16_t> samples((size_t)sx * sy);
  for (uint16_t &s : samples) s = (uint16_t)(rand() % 3 == 0 ? 10 * (rand() % 6) : rand() % 9000);
  const std::vector<unsigned char> whole = height_file(sx, sy, 5, 6, samples);
  write_file(dir.file("whole.HFD"), whole);
  std::vector<unsigned char> bytes = whole;
  bytes.resize(bytes.size() - 1001);
  write_file(dir.file("cut.HFD"), bytes);

  std::vector<uint16_t> first;
  std::vector<unsigned char> first_saved;
  int first_max = 0;
  for (int threads : {1, 3, 8}) {
    reset_program_state();
    tile_map.tiles_x = 37;
    tile_map.tiles_y = 95;
    set_work_threads(threads);
    // Whole: the highest sample and the step found from all chunks.
    ASSERT_EQ(0, load_height_map(dir.file("whole.HFD").c_str(), nullptr));
    EXPECT_EQ(8999, height_map.max_height);
    EXPECT_EQ(10, height_map.detected_height_step);
    // Cut: end-of-file words, above the highest allowed sample, so it fails.
    reset_program_state();
    tile_map.tiles_x = 37;
    tile_map.tiles_y = 95;
    EXPECT_EQ(RESULT_BAD_DATA, load_height_map(dir.file("cut.HFD").c_str(), nullptr));
    ASSERT_EQ(0, save_height_map(dir.file("saved.HFD").c_str()));
    std::vector<uint16_t> loaded;
    for (int x = 0; x < sx; x++) loaded.insert(loaded.end(), height_map.heights[x], height_map.heights[x] + sy);
    const std::vector<unsigned char> saved = read_file(dir.file("saved.HFD"));
    if (first.empty()) {
      first = loaded;
      first_saved = saved;
      first_max = height_map.max_height;
      // The missing samples read as end of file; the one cut in half too.
      EXPECT_EQ(0xFFFF, height_map.heights[sx - 1][0]);
      EXPECT_EQ(samples[(size_t)(sy - 4) * sx + 7], height_map.heights[7][3]);
      continue;
    }
    EXPECT_TRUE(loaded == first) << threads << " threads";
    EXPECT_TRUE(saved == first_saved) << threads << " threads";
    EXPECT_EQ(first_max, height_map.max_height);
  }
  set_work_threads(0);
  // The save writes back what was loaded, row for row.
  ASSERT_EQ(bytes.size() + 1001, first_saved.size());
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 16 + 2 * sx * 300, first_saved.begin()));
}

}  // namespace
