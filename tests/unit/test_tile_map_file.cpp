#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "files/tile_map_file.h"
#include "tests/unit/harness.h"

namespace {

struct Record {
  uint16_t words[6];
};

std::vector<unsigned char> tile_file(int32_t tx, int32_t ty, int32_t h3, int32_t h4,
                                     const std::vector<Record> &records) {
  std::vector<unsigned char> out;
  put_le32(out, tx);
  put_le32(out, ty);
  put_le32(out, h3);
  put_le32(out, h4);
  for (const Record &r : records)
    for (uint16_t w : r.words) put_le16(out, w);
  return out;
}

class TileMapFile : public testing::Test {
 protected:
  void SetUp() override { reset_program_state(); }
  TempDir dir;
};

TEST_F(TileMapFile, RandomMapRoundTripsByteForByte) {
  const int tx = 37, ty = 23;
  std::vector<Record> records;
  srand(7);
  for (int i = 0; i < tx * ty; i++)
    records.push_back({{(uint16_t)(rand() % 511), (uint16_t)(rand() % 4), (uint16_t)(rand() % 3),
                        (uint16_t)(rand() % 256), (uint16_t)(rand() % 256), (uint16_t)(rand() % 256)}});
  auto bytes = tile_file(tx, ty, 0x12345678, -42, records);
  write_file(dir.file("a.TFD"), bytes);
  ASSERT_EQ(0, load_tile_map(dir.file("a.TFD").c_str(), nullptr));
  EXPECT_EQ(tx, tile_map.tiles_x);
  EXPECT_EQ(0x12345678, tile_map.header3);
  EXPECT_EQ(-42, tile_map.header4);
  // The first file row is the southern edge: record 0 is tile (0, ty - 1).
  EXPECT_EQ(records[0].words[0] + 1, tile_at(0, ty - 1).texture);
  EXPECT_EQ(records[(ty - 1) * tx + 5].words[0] + 1, tile_at(5, 0).texture);
  EXPECT_EQ(records[tx + 2].words[3], tile_at(2, ty - 2).extra[0]);
  ASSERT_EQ(0, save_tile_map(dir.file("b.TFD").c_str()));
  EXPECT_EQ(bytes, read_file(dir.file("b.TFD")));
}

TEST_F(TileMapFile, EmptyAndLimitSizes) {
  write_file(dir.file("empty.TFD"), tile_file(0, 0, 1, 2, {}));
  EXPECT_EQ(0, load_tile_map(dir.file("empty.TFD").c_str(), nullptr));
  EXPECT_EQ(0, tile_map.tiles_x);

  // 4001 fails on the header alone, and nothing of it reaches the model.
  write_file(dir.file("small.TFD"), tile_file(3, 2, 1, 2, std::vector<Record>(3 * 2)));
  ASSERT_EQ(0, load_tile_map(dir.file("small.TFD").c_str(), nullptr));
  write_file(dir.file("wide.TFD"), tile_file(4001, 1, 5, 6, {}));
  EXPECT_EQ(RESULT_BAD_HEADER, load_tile_map(dir.file("wide.TFD").c_str(), nullptr));
  EXPECT_EQ(3, tile_map.tiles_x);
  EXPECT_EQ(2, tile_map.tiles_y);
  EXPECT_EQ(1, tile_map.header3);
  write_file(dir.file("neg.TFD"), tile_file(1, -1, 0, 0, {}));
  EXPECT_EQ(RESULT_BAD_HEADER, load_tile_map(dir.file("neg.TFD").c_str(), nullptr));
  EXPECT_EQ(3, tile_map.tiles_x);

  // 4000 is accepted; a bare header reads every tile past the end.
  write_file(dir.file("tall.TFD"), tile_file(1, 4000, 0, 0, {}));
  EXPECT_EQ(0, load_tile_map(dir.file("tall.TFD").c_str(), nullptr));
  EXPECT_EQ(0, tile_at(0, 3999).texture);
  EXPECT_EQ(255, tile_at(0, 0).rotation);

  EXPECT_NE(0, load_tile_map(dir.file("missing.TFD").c_str(), nullptr));
}

TEST_F(TileMapFile, TextureWordRange) {
  write_file(dir.file("t.TFD"), tile_file(3, 1, 0, 0,
                                          {{{0xFFFF, 0, 0, 0, 0, 0}},
                                           {{510, 0x0102, 0, 0, 0, 0}},
                                           {{0, 0, 0, 0, 0, 0}}}));
  ASSERT_EQ(0, load_tile_map(dir.file("t.TFD").c_str(), nullptr));
  EXPECT_EQ(0, tile_at(0, 0).texture);
  EXPECT_EQ(511, tile_at(1, 0).texture);
  EXPECT_EQ(2, tile_at(1, 0).rotation);
  EXPECT_EQ(511, tile_map.max_texture_used);

  // The rotation word 0x0102 is written back whole.
  ASSERT_EQ(0, save_tile_map(dir.file("u.TFD").c_str()));
  auto out = read_file(dir.file("u.TFD"));
  EXPECT_EQ(0x02, out[16 + 12 + 2]);
  EXPECT_EQ(0x01, out[16 + 12 + 3]);

  // Texture 512 fails; the tiles before it stay.
  write_file(dir.file("bad.TFD"), tile_file(3, 1, 0, 0,
                                            {{{4, 1, 0, 0, 0, 0}},
                                             {{511, 0, 0, 0, 0, 0}},
                                             {{6, 0, 0, 0, 0, 0}}}));
  EXPECT_NE(0, load_tile_map(dir.file("bad.TFD").c_str(), nullptr));
  EXPECT_EQ(5, tile_at(0, 0).texture);
}

TEST_F(TileMapFile, FileCutShortReadsMissingWordsAsEndOfFile) {
  auto bytes = tile_file(2, 2, 0, 0,
                         {{{9, 1, 1, 7, 7, 7}}, {{9, 1, 1, 7, 7, 7}}, {{9, 1, 1, 7, 7, 7}}});
  bytes.resize(bytes.size() - 5);  // the third record ends inside its fourth word
  write_file(dir.file("cut.TFD"), bytes);
  ASSERT_EQ(0, load_tile_map(dir.file("cut.TFD").c_str(), nullptr));
  const Tile &third = tile_at(0, 0);
  EXPECT_EQ(10, third.texture);
  EXPECT_EQ(1, third.tag);
  EXPECT_EQ(255, third.extra[0]);  // a word with one byte left reads as end of file
  const Tile &fourth = tile_at(1, 0);
  EXPECT_EQ(0, fourth.texture);
  EXPECT_EQ(255, fourth.rotation);
  EXPECT_EQ(255, fourth.extra[2]);
  EXPECT_EQ(2, tile_map.records_read);
  // The end-of-file words' high bytes are no file's: a save writes zeros.
  ASSERT_EQ(0, save_tile_map(dir.file("full.TFD").c_str()));
  EXPECT_EQ(0, read_file(dir.file("full.TFD"))[16 + 3 * 12 + 3]);

  // A header cut short reads its missing values as -1 and fails.
  write_file(dir.file("head.TFD"), std::vector<unsigned char>(6, 1));
  EXPECT_NE(0, load_tile_map(dir.file("head.TFD").c_str(), nullptr));
}

TEST_F(TileMapFile, FailedSaveKeepsTheOriginal) {
  write_file(dir.file("keep.TFD"), tile_file(1, 1, 3, 4, {{{1, 2, 0, 0, 0, 0}}}));
  ASSERT_EQ(0, load_tile_map(dir.file("keep.TFD").c_str(), nullptr));
  auto before = read_file(dir.file("keep.TFD"));
  tile_at(0, 0).texture = 9;
  if (chmod(dir.path().c_str(), 0555) == 0 && access(dir.file("probe").c_str(), F_OK) != 0 &&
      geteuid() != 0) {
    EXPECT_NE(0, save_tile_map(dir.file("keep.TFD").c_str()));
    EXPECT_EQ(before, read_file(dir.file("keep.TFD")));
  }
  chmod(dir.path().c_str(), 0755);
  // A device that takes no bytes: the write fails and nothing is replaced.
  if (file_exists("/dev/full")) {
    EXPECT_NE(0, save_tile_map("/dev/full/x.TFD"));
  }
  ASSERT_EQ(0, save_tile_map(dir.file("keep.TFD").c_str()));
  EXPECT_EQ(8, read_file(dir.file("keep.TFD"))[16]);
}

}  // namespace

namespace {

TEST_F(TileMapFile, OnlyARegularFileIsReplaced) {
  write_file(dir.file("m.TFD"), tile_file(0, 0, 0, 0, {}));
  ASSERT_EQ(0, load_tile_map(dir.file("m.TFD").c_str(), nullptr));
  EXPECT_NE(0, save_tile_map("/dev/null"));
  EXPECT_NE(0, save_tile_map(dir.path().c_str()));
  // A link is followed: the file it names is replaced and the link stays.
  ASSERT_EQ(0, symlink(dir.file("m.TFD").c_str(), dir.file("link.TFD").c_str()));
  tile_map.header3 = 77;
  ASSERT_EQ(0, save_tile_map(dir.file("link.TFD").c_str()));
  EXPECT_EQ(77, read_file(dir.file("m.TFD"))[8]);
  struct stat st;
  ASSERT_EQ(0, lstat(dir.file("link.TFD").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

}  // namespace

namespace {

// Several chunks and a width that is no multiple of the column blocks, high
// bytes in some records: after edits of the low bytes a save changes only
// those, on one thread and on several.
TEST_F(TileMapFile, LargeMapsKeepEveryByteNotEditedOnAnyNumberOfThreads) {
  const int tx = 53, ty = 200;
  std::vector<Record> records;
  srand(17);
  for (int i = 0; i < tx * ty; i++) {
    const int high = i % 3 == 0 ? 0 : 255;
    records.push_back({{(uint16_t)(rand() % 511), (uint16_t)(rand() % (high * 256 + 256)),
                        (uint16_t)(rand() % 3), (uint16_t)(rand() % (high * 256 + 256)),
                        (uint16_t)(rand() % 256), (uint16_t)(rand() % (high * 256 + 256))}});
  }
  const auto bytes = tile_file(tx, ty, 3, 4, records);
  write_file(dir.file("big.TFD"), bytes);
  for (int threads : {1, 3}) {
    set_work_threads(threads);
    reset_program_state();
    ASSERT_EQ(0, load_tile_map(dir.file("big.TFD").c_str(), nullptr));
    EXPECT_EQ(records[(ty - 1 - 150) * tx + 52].words[1] & 0xFF, tile_at(52, 150).rotation);
    auto expected = bytes;
    for (int e = 0; e < 300; e++) {
      const int x = rand() % tx, y = rand() % ty;
      Tile &t = tile_at(x, y);
      t.texture = (int16_t)(rand() % 512);
      t.rotation = (uint8_t)rand();
      t.tag = (uint8_t)rand();
      t.extra[0] = t.extra[1] = t.extra[2] = (uint8_t)rand();
      unsigned char *r = &expected[16 + 12 * ((size_t)(ty - 1 - y) * tx + x)];
      r[0] = (unsigned char)(t.texture - 1);
      r[1] = (unsigned char)((t.texture - 1) >> 8);
      const uint8_t low[5] = {t.rotation, t.tag, t.extra[0], t.extra[1], t.extra[2]};
      for (int w = 0; w < 5; w++) r[2 + 2 * w] = low[w];
    }
    ASSERT_EQ(0, save_tile_map(dir.file("copy.TFD").c_str()));
    EXPECT_TRUE(read_file(dir.file("copy.TFD")) == expected) << threads << " threads";
  }
  set_work_threads(0);

  // The next file's tiles get none of these high bytes.
  const auto plain = tile_file(tx, ty, 3, 4, std::vector<Record>(tx * ty, Record{{4, 1, 0, 0, 0, 0}}));
  write_file(dir.file("plain.TFD"), plain);
  ASSERT_EQ(0, load_tile_map(dir.file("plain.TFD").c_str(), nullptr));
  ASSERT_EQ(0, save_tile_map(dir.file("copy.TFD").c_str()));
  EXPECT_TRUE(read_file(dir.file("copy.TFD")) == plain);

  // A bad texture in a later chunk: the tiles after it keep what they had,
  // however many threads read the chunks after it meanwhile.
  records[130 * tx + 9].words[0] = 600;
  write_file(dir.file("bad.TFD"), tile_file(tx, ty, 0, 0, records));
  for (int threads : {1, 2, 5}) {
    set_work_threads(threads);
    reset_program_state();
    for (int x = 0; x < tx; x++)
      for (int y = 0; y < ty; y++) tile_at(x, y).texture = 77;
    EXPECT_EQ(RESULT_BAD_DATA, load_tile_map(dir.file("bad.TFD").c_str(), nullptr));
    EXPECT_EQ(records[130 * tx + 8].words[0] + 1, tile_at(8, ty - 1 - 130).texture);
    EXPECT_EQ(601, tile_at(9, ty - 1 - 130).texture);
    EXPECT_EQ(77, tile_at(10, ty - 1 - 130).texture);
    EXPECT_EQ(77, tile_at(0, 0).texture) << threads;
    EXPECT_EQ((130 / 64 + 1) * 64 * tx, tile_map.records_read) << threads;
  }
  set_work_threads(0);
}

}  // namespace

namespace {

size_t resident_pages(const void *start, size_t bytes) {
  const size_t page = (size_t)sysconf(_SC_PAGESIZE);
  const uintptr_t begin = (uintptr_t)start & ~(page - 1);
  const size_t pages = ((uintptr_t)start + bytes - begin + page - 1) / page;
  std::vector<unsigned char> in_core(pages);
  if (mincore((void *)begin, pages * page, in_core.data()) != 0) return (size_t)-1;
  size_t count = 0;
  for (unsigned char c : in_core) count += c & 1;
  return count;
}

// A wide, short map: each column's few used tiles are faulted in, not the
// whole table (128 MB).
TEST_F(TileMapFile, LoadingFaultsInOnlyTheUsedRows) {
  const size_t table = sizeof(tile_map.tiles);
  const size_t page = (size_t)sysconf(_SC_PAGESIZE);
  const uintptr_t begin = ((uintptr_t)tile_map.tiles + page - 1) & ~(page - 1);
  ASSERT_EQ(0, madvise((void *)begin, ((uintptr_t)tile_map.tiles + table - begin) & ~(page - 1), MADV_DONTNEED));
  ASSERT_LT(resident_pages(tile_map.tiles, table), 16u);

  const int tx = 4000, ty = 3;
  write_file(dir.file("wide.TFD"), tile_file(tx, ty, 0, 0, std::vector<Record>(tx * ty, Record{{4, 1, 0, 0, 0, 0}})));
  ASSERT_EQ(0, load_tile_map(dir.file("wide.TFD").c_str(), nullptr));
  EXPECT_EQ(5, tile_at(3999, 2).texture);
  const size_t resident = resident_pages(tile_map.tiles, table);
  EXPECT_GE(resident, 3000u);  // each column starts on a page of its own, but a few
  EXPECT_LE(resident, 8000u);  // and far from the 31250 pages of the whole table (neighbours may add a few hundred)
  // Without high bytes their table is never touched.
  EXPECT_LT(resident_pages(tile_map.high_bytes, sizeof(tile_map.high_bytes)), 16u);
}

}  // namespace

namespace {

// Checking a tile map through without storing it (for a picture that reads
// its rows again) finds what loading it does: the same result, sizes,
// counts and highest texture, the textures its stored tiles name, and rows
// read again equal to the stored ones; on any number of threads.
TEST_F(TileMapFile, ScanFindsWhatTheLoadFinds) {
  const int tx = 37, ty = 150;
  std::vector<Record> records;
  srand(23);
  for (int i = 0; i < tx * ty; i++)
    records.push_back({{(uint16_t)(rand() % 40 * 3), (uint16_t)(rand() % 256), 0, (uint16_t)(rand() % 2 * 300), 0, 0}});
  auto bad = records;
  bad[(size_t)100 * tx + 5].words[0] = 2000;
  auto cut = tile_file(tx, ty, 1, 2, records);
  cut.resize(cut.size() - 12 * 50 - 7);
  const std::vector<std::vector<unsigned char>> files = {tile_file(tx, ty, 1, 2, records), tile_file(tx, ty, 1, 2, bad),
                                                         cut, tile_file(0, 5, 0, 0, {}),
                                                         std::vector<unsigned char>(6, 1)};
  for (size_t f = 0; f < files.size(); f++)
    for (int threads : {1, 3}) {
      set_work_threads(threads);
      write_file(dir.file("t.TFD"), files[f]);
      reset_program_state();
      const int loaded = load_tile_map(dir.file("t.TFD").c_str(), nullptr);
      const TileMap &map = tile_map;
      const long long records_read = map.records_read;
      const int tiles_x = map.tiles_x, tiles_y = map.tiles_y, highest = map.max_texture_used;
      std::vector<uint8_t> named(MAX_TEXTURES, 0);
      // The tiles up to the first bad texture number are the stored ones.
      for (int x = 0; x < tiles_x; x++)
        for (int y = 0; y < tiles_y; y++)
          if (tile_at(x, y).texture >= 0 && tile_at(x, y).texture < MAX_TEXTURES) named[tile_at(x, y).texture] = 1;
      std::vector<Tile> stored;
      for (int y = 0; y < tiles_y; y++)
        for (int x = 0; x < tiles_x; x++) stored.push_back(tile_at(x, y));
      reset_program_state();
      std::vector<uint8_t> used(MAX_TEXTURES, 7);
      ASSERT_EQ(loaded, scan_tile_map(dir.file("t.TFD").c_str(), used.data())) << f;
      EXPECT_EQ(tiles_x, tile_map.tiles_x);
      EXPECT_EQ(tiles_y, tile_map.tiles_y);
      EXPECT_EQ(records_read, tile_map.records_read) << f;
      EXPECT_EQ(highest, tile_map.max_texture_used) << f;
      EXPECT_EQ(0, tile_at(0, 0).texture) << "nothing stored";
      if (loaded != 0) continue;
      EXPECT_TRUE(named == used) << f << ", " << threads << " threads";
      const int fd = open_tile_rows(dir.file("t.TFD").c_str());
      ASSERT_GE(fd, 0);
      std::vector<Tile> again((size_t)tiles_x * tiles_y);
      std::vector<unsigned char> buffer((size_t)tiles_x * tiles_y * 12 + 1);
      for (int y0 = 0; y0 < tiles_y; y0 += 7)
        read_tile_rows(fd, y0, std::min(7, tiles_y - y0), again.data() + (size_t)y0 * tiles_x, buffer.data());
      close(fd);
      EXPECT_TRUE(stored.empty() || memcmp(stored.data(), again.data(), stored.size() * sizeof(Tile)) == 0) << f;
    }
  set_work_threads(0);
}

}  // namespace
