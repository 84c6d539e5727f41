// The recovery journal against the terrain itself: random edits of the maps
// and the target areas, undos, redos and saves, cut off at a random moment
// as a crash would, then the files as they were left plus the journal must
// give exactly the terrain at that moment, and undo after a recovery the
// files; every cut length of a journal gives exactly the steps of the whole
// records before it, every flipped byte loses that byte's record alone; and
// random damaged and hostile journals against a model of the reader.
#include <algorithm>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <csignal>
#include <random>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>
#include <string>
#include <vector>
#include <zlib.h>

#include "core/terrain_model.h"
#include "edit/area_edits.h"
#include "edit/edit_history.h"
#include "edit/height_edits.h"
#include "edit/target_edits.h"
#include "document/open_terrain.h"
#include "files/height_map_file.h"
#include "document/recovery_journal.h"
#include "files/target_areas.h"
#include "files/target_file_writer.h"
#include "files/tile_map_file.h"
#include "tests/unit/harness.h"

namespace {

struct Maps {
  std::vector<Tile> tiles;
  std::vector<uint16_t> heights;
  std::string areas;  // the target areas' fields the file holds
  bool operator==(const Maps &o) const {
    if (heights != o.heights || areas != o.areas || tiles.size() != o.tiles.size()) return false;
    for (size_t k = 0; k < tiles.size(); k++)
      if (memcmp(&tiles[k].texture, &o.tiles[k].texture, 2) || tiles[k].rotation != o.tiles[k].rotation ||
          tiles[k].tag != o.tiles[k].tag || memcmp(tiles[k].extra, o.tiles[k].extra, 3))
        return false;
    return true;
  }
};

Maps maps_now() {
  Maps m;
  for (int x = 0; x < map_columns(); x++)
    for (int y = 0; y < map_rows(); y++) m.tiles.push_back(tile_at(x, y));
  for (int x = 0; x < height_map.samples_x; x++)
    for (int y = 0; y < height_map.samples_y; y++) m.heights.push_back(height_map.heights[x][y]);
  for (int n = 1; n <= targets.area_count; n++) {
    const TargetArea &a = targets.areas[n];
    m.areas += std::string(a.name) + ";" + std::to_string(a.pos_x) + "," + std::to_string(a.pos_y) + ";" +
               std::to_string(a.enemy);
    for (int t = 1; t <= a.target_count; t++)
      m.areas += std::string(";") + a.targets[t].type + "@" + std::to_string(a.targets[t].file_offset_x);
    m.areas += "\n";
  }
  return m;
}

void put_maps(const Maps &m) {
  size_t k = 0;
  for (int x = 0; x < map_columns(); x++)
    for (int y = 0; y < map_rows(); y++) tile_at(x, y) = m.tiles[k++];
  k = 0;
  for (int x = 0; x < height_map.samples_x; x++)
    for (int y = 0; y < height_map.samples_y; y++) height_map.heights[x][y] = m.heights[k++];
}

class RecoveryJournal : public ::testing::Test {
 protected:
  TempDir dir;
  std::string tfd, hfd;

  void SetUp() override { reset_program_state(); }
  void TearDown() override { journal_stop(); }

  // A terrain of random tiles and heights written and read back as an
  // opening reads it, with its journal started.
  void open_random(int columns, int rows, std::mt19937 &random) {
    reset_program_state();
    tile_map.tiles_x = columns, tile_map.tiles_y = rows;
    height_map.samples_x = 4 * columns, height_map.samples_y = 4 * rows;
    for (int x = 0; x < columns; x++)
      for (int y = 0; y < rows; y++)
        tile_at(x, y) = {(int16_t)(1 + random() % 9), (uint8_t)(random() % 4), (uint8_t)(random() % 3),
                         {(uint8_t)random(), 0, (uint8_t)(random() % 2)}};
    for (int x = 0; x < 4 * columns; x++)
      for (int y = 0; y < 4 * rows; y++) height_map.heights[x][y] = (uint16_t)(random() % 3000);
    tfd = dir.file("Vale.TFD"), hfd = dir.file("Vale.HFD");
    ASSERT_EQ(0, save_tile_map(tfd.c_str()));
    ASSERT_EQ(0, save_height_map(hfd.c_str()));
    write_text(dir.file("Vale_TARGETS.ini"), "[TargetArea001]\nName=Mill\nPosition=5000, 5000\nAlignment=FRIENDLY\n"
                                            "Target[001].Type=Barn\nTarget[001].Offset=0, 0\n");
    reopen();
    // The journal of an earlier terrain of this name was let go at its opening.
    unlink(journal_path_for(tfd.c_str()).c_str());
    std::string why;
    ASSERT_EQ(JOURNAL_ON, journal_start(tfd.c_str(), hfd.c_str(), &why)) << why;
  }

  // The maps as the files hold them, as an opening after a crash reads them.
  void reopen() {
    strcpy(terrain_paths.tfd_path, tfd.c_str());
    derive_terrain_paths();
    ASSERT_EQ(0, load_tile_map(tfd.c_str(), nullptr));
    ASSERT_EQ(0, load_height_map(hfd.c_str(), nullptr));
    targets.area_count = targets.target_total = 0;
    ASSERT_EQ(0, load_target_areas(terrain_paths.targets_ini_path, nullptr));
    history_clear();
  }

  // One random command of every kind the history keeps, or an undo, a redo
  // or a save of one map or both.
  // small: single tiles, undo and redo only, for short journals.
  void random_command(std::mt19937 &random, bool small = false) {
    const int columns = map_columns(), rows = map_rows();
    auto rect = [&] {
      const int x0 = (int)(random() % columns), y0 = (int)(random() % rows);
      return TileRect{x0, y0, x0 + (int)(random() % (columns - x0)), y0 + (int)(random() % (rows - y0))};
    };
    const int x = (int)(random() % columns), y = (int)(random() % rows);
    TileStamp stamp;
    copy_stamp(&stamp, x - 1, y - 1, x + 1, y + 1);
    const int32_t samples[4][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}};
    int xx, yy;
    char text[HISTORY_TEXT_SIZE];
    static const int few[] = {0, 1, 7, 9};
    const int areas = targets.area_count, area = 1 + (int)(random() % areas);
    std::string why;
    switch (small ? few[random() % 4] : random() % 15) {
      case 0:
        history_begin(HISTORY_PASTE_BLOCK, x, y, 0);
        for (int dx = -1; dx <= 1; dx++)
          if (tile_on_map(x + dx, y)) tile_at(x + dx, y).texture = (int16_t)(1 + random() % 9);
        history_end();
        break;
      case 1:
        history_begin(HISTORY_RAISE_SAMPLE, x, y, 5);
        height_map.heights[4 * x + 1][4 * y + 1] += 7;
        history_end();
        break;
      case 2: area_apply((int)(random() % 4), rect(), stamp); break;
      case 3: area_fill(stamp, rect()); break;
      case 4: heights_apply((int)(random() % 8), rect(), (int)(random() % 500), samples); break;
      case 5: {
        stroke_begin((int)(random() % 3), stamp.centre());
        stroke_line(x, y, (int)(random() % columns), (int)(random() % rows), 1 + (int)(random() % 3));
        stroke_end();
        break;
      }
      case 6: area_flood(stamp.centre(), x, y, nullptr); break;
      case 7: case 8: history_undo(&xx, &yy, text, sizeof(text)); break;
      // Target area edits and saves of their file among them.
      case 12: history_target_step(target_area_move(area, 1000.0 * (random() % 9), 500).release()); break;
      case 13:
        if (history_map_changed(HISTORY_TARGET_FILE) &&
            save_target_file(terrain_paths.targets_ini_path, &targets.stamp, targets, &why) == 0)
          history_mark_saved(HISTORY_TARGET_FILE);
        break;
      case 14: {
        const int kind = (int)(random() % 3);
        if (kind == 0) history_target_step(target_area_add("Quay", 1, 2000.0 * (random() % 5), 800, "Crane").release());
        if (kind == 1 && areas > 1) history_target_step(target_area_remove(area).release());
        if (kind == 2) history_target_step(target_add(area, "Hut", 0, 100.0 * (random() % 9)).release());
        break;
      }
      case 9: history_redo(&xx, &yy, text, sizeof(text)); break;
      default: {
        const int map = (int)(random() % 3);
        if (map != HISTORY_HEIGHT_MAP && history_map_changed(HISTORY_TILE_MAP) && save_tile_map(tfd.c_str()) == 0)
          history_mark_saved(HISTORY_TILE_MAP);
        if (map != HISTORY_TILE_MAP && history_map_changed(HISTORY_HEIGHT_MAP) && save_height_map(hfd.c_str()) == 0)
          history_mark_saved(HISTORY_HEIGHT_MAP);
      }
    }
  }

  // The journal's bytes as they stand.
  std::vector<unsigned char> journal_now() {
    journal_flush();
    return read_file(journal_path_for(tfd.c_str()));
  }
};

// The heart of it: whatever was done before the crash, the files left on
// disk and the journal together are the terrain of that moment, and the
// opening sees them as its own (the stamps match). Recovered as steps of
// the history, undo gives back the files.
TEST_F(RecoveryJournal, FilesAndJournalGiveTheMapsOfAnyMomentOf20RandomSessions) {
  for (unsigned seed = 1; seed <= 20; seed++) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    open_random(6 + (int)(random() % 30), 5 + (int)(random() % 30), random);
    const int commands = 1 + (int)(random() % 60);
    for (int k = 0; k < commands; k++) random_command(random);
    const Maps expected = maps_now();
    const std::vector<unsigned char> journal = journal_now();
    journal_hold();  // the crash: the file stays as it is
    journal_stop();
    reopen();
    const std::string path = journal_path_for(tfd.c_str());
    write_file(path, journal);
    JournalFound found;
    const int pending = read_journal(path.c_str(), &found);
    EXPECT_EQ(0, found.dropped);
    if (!pending) {
      // Nothing pending: everything was saved.
      EXPECT_TRUE(expected == maps_now());
      continue;
    }
    EXPECT_TRUE(journal_files_as_begun(found, hfd.c_str()));
    int maps = 0;
    ASSERT_EQ(0, apply_journal(path.c_str(), &maps));
    EXPECT_TRUE(expected == maps_now());
    reopen();
    const Maps files = maps_now();
    ASSERT_EQ(0, recover_journal(path.c_str(), &found));
    EXPECT_TRUE(expected == maps_now());
    EXPECT_EQ(0, found.dropped);
    int x, y;
    char text[HISTORY_TEXT_SIZE];
    while (history_undo(&x, &y, text, sizeof(text)) == 0) {
    }
    EXPECT_TRUE(files == maps_now());
  }
}

// Every prefix of a journal gives the maps after exactly the steps whose
// records lie wholly before the cut; a byte flipped anywhere loses the
// record it is in, as if that record had never been written (one in the
// beginning loses them all), and counts it.
TEST_F(RecoveryJournal, CutOrFlippedJournalsRecoverTheWholeRecordsBefore) {
  std::mt19937 random(7);
  open_random(8, 6, random);
  const Maps base = maps_now();
  std::vector<Maps> after;  // the maps after each step
  std::vector<size_t> ends;  // where each record ends
  for (int k = 0; k < 10; k++) {
    const size_t before = journal_now().size();
    random_command(random, true);
    const std::vector<unsigned char> now = journal_now();
    if (now.size() == before) continue;
    if (before == 0) ends.push_back(0);  // the beginning's end comes with the first step
    ends.push_back(now.size());
    after.push_back(maps_now());
  }
  const std::vector<unsigned char> whole = journal_now();
  ASSERT_GE(after.size(), 3u);
  // The beginning record: its end is where the first step record starts.
  {
    size_t at = 0;
    uint32_t length;
    memcpy(&length, whole.data() + 4, 4);
    at = 12 + length;
    ends[0] = at;
  }
  journal_hold();
  journal_stop();
  const std::string path = journal_path_for(tfd.c_str());
  auto check = [&](const std::vector<unsigned char> &bytes, size_t steps, const Maps &expected, int dropped,
                   const std::string &what) {
    write_file(path, bytes);
    JournalFound found;
    read_journal(path.c_str(), &found);
    ASSERT_EQ((long long)steps, found.steps) << what;
    EXPECT_EQ(dropped, found.dropped) << what;
    put_maps(base);
    int maps = 0;
    apply_journal(path.c_str(), &maps);
    EXPECT_TRUE(expected == maps_now()) << what;
  };
  for (size_t cut = 0; cut < whole.size(); cut++) {
    const bool between = cut == 0 || std::find(ends.begin(), ends.end(), cut) != ends.end();
    size_t steps = 0;
    while (steps < after.size() && ends[steps + 1] <= cut) steps++;
    check(std::vector<unsigned char>(whole.begin(), whole.begin() + (long)cut), steps,
          steps ? after[steps - 1] : base, between ? 0 : 1, "cut at " + std::to_string(cut));
  }
  // Each step's record left out, as the flips should leave it out.
  std::vector<Maps> without(after.size() + 1);
  for (size_t m = 1; m <= after.size(); m++) {
    std::vector<unsigned char> bytes(whole.begin(), whole.begin() + (long)ends[m - 1]);
    bytes.insert(bytes.end(), whole.begin() + (long)ends[m], whole.end());
    write_file(path, bytes);
    put_maps(base);
    int maps = 0;
    apply_journal(path.c_str(), &maps);
    without[m] = maps_now();
  }
  for (size_t k = 0; k < whole.size(); k++) {
    std::vector<unsigned char> flipped = whole;
    flipped[k] ^= (unsigned char)(1 + random() % 255);
    size_t m = 0;
    while (m < after.size() && ends[m] <= k) m++;
    // In the beginning: every step after it is no one's.
    check(flipped, m ? after.size() - 1 : 0, m ? without[m] : base, m ? 1 : 1 + (int)after.size(),
          "byte " + std::to_string(k) + " flipped");
  }
}

// A whole-map fill of one texture goes to the journal deflated, in a small
// part of the tiles' bytes, and recovers exactly; a save of both maps
// empties the journal, a save of one keeps it going.
TEST_F(RecoveryJournal, BigFillIsPackedAndSavesEmptyTheJournal) {
  std::mt19937 random(3);
  open_random(500, 400, random);
  TileStamp stamp;
  copy_stamp(&stamp, 3, 3, 3, 3);
  area_fill(stamp, TileRect{0, 0, 499, 399});
  const long long bytes = (long long)journal_now().size();
  EXPECT_LT(bytes, 500LL * 400 * 7 / 4);
  // Big steps one straight after another, each while the one before may
  // still be read on the writer's thread: the same tiles again, every
  // height, and an undo.
  area_apply(AREA_TURN, TileRect{0, 0, 499, 399}, stamp);
  heights_apply(HEIGHTS_SET, TileRect{0, 0, 499, 399}, 77, nullptr);
  int ux, uy;
  char text[HISTORY_TEXT_SIZE];
  history_undo(&ux, &uy, text, sizeof(text));
  const Maps expected = maps_now();
  journal_now();
  journal_hold();
  journal_stop();
  const std::vector<unsigned char> journal_bytes_then = read_file(journal_path_for(tfd.c_str()));
  reopen();
  int maps = 0;
  ASSERT_EQ(0, apply_journal(journal_path_for(tfd.c_str()).c_str(), &maps));
  EXPECT_EQ(3, maps);  // the undone heights are written back too
  EXPECT_TRUE(expected == maps_now());
  // Written beside it with room for the tile map alone: the height map's
  // failure under its own name, and nothing left.
  reopen();
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit was, room;
  getrlimit(RLIMIT_FSIZE, &was);
  room = {3 << 20, was.rlim_max};
  setrlimit(RLIMIT_FSIZE, &room);
  JournalFound beside;
  std::string written, failed;
  EXPECT_EQ(1, write_recovered_terrain(journal_path_for(tfd.c_str()).c_str(), tfd.c_str(), &beside, &written, &failed));
  setrlimit(RLIMIT_FSIZE, &was);
  EXPECT_EQ("Vale_recovered.hfd: File too large.", failed);
  EXPECT_FALSE(file_exists(dir.file("Vale_recovered.TFD")));

  // Saves: one map keeps the journal (the other is unsaved), both empty it.
  // Recovered as steps again, the journal begins anew with them.
  reopen();
  std::string why;
  ASSERT_EQ(JOURNAL_ON, journal_start(tfd.c_str(), hfd.c_str(), &why));
  JournalFound recovered;
  ASSERT_EQ(0, recover_journal(journal_path_for(tfd.c_str()).c_str(), &recovered));
  EXPECT_EQ(1, history_undo_count());  // the heights came back as they were: no step
  EXPECT_TRUE(expected == maps_now());
  journal_flush();
  JournalFound again;
  ASSERT_TRUE(journal_pending(&again));
  EXPECT_EQ(1, again.steps);
  heights_apply(HEIGHTS_SET, TileRect{2, 2, 3, 3}, 50, nullptr);
  ASSERT_EQ(0, save_tile_map(tfd.c_str()));
  history_mark_saved(HISTORY_TILE_MAP);
  JournalFound found;
  journal_flush();
  ASSERT_TRUE(journal_pending(&found));
  EXPECT_TRUE(journal_files_as_begun(found, hfd.c_str()));
  ASSERT_EQ(0, save_height_map(hfd.c_str()));
  history_mark_saved(HISTORY_HEIGHT_MAP);
  journal_flush();
  EXPECT_FALSE(journal_pending(&found));
  EXPECT_EQ(0u, read_file(journal_path_for(tfd.c_str())).size());
  (void)journal_bytes_then;
}

// A journal that could not be written (its folder full) is no lie: a save
// of everything empties it and it goes on again; a save of one map while it
// is off empties it too, so that no opening offers edits a later save wrote.
TEST_F(RecoveryJournal, AJournalThatCouldNotBeWrittenOffersNothingSaved) {
  std::mt19937 random(9);
  const std::string path = journal_path_for(dir.file("Vale.TFD").c_str());
  for (int both = 0; both < 2; both++) {
    open_random(8, 6, random);
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit was, full;
    getrlimit(RLIMIT_FSIZE, &was);
    full = {3000, was.rlim_max};
    setrlimit(RLIMIT_FSIZE, &full);
    for (int k = 0; k < 40; k++) {
      history_begin(k % 2 ? HISTORY_RAISE_SAMPLE : HISTORY_PASTE_TILE, k % 8, k % 6, 0);
      if (k % 2) height_map.heights[4 * (k % 8)][4 * (k % 6)] += 5;
      else tile_at(k % 8, k % 6).texture = (int16_t)(1 + k % 7);
      history_end();
    }
    journal_flush();
    setrlimit(RLIMIT_FSIZE, &was);
    EXPECT_EQ("File too large", journal_take_problem());
    ASSERT_EQ(0, save_tile_map(tfd.c_str()));
    history_mark_saved(HISTORY_TILE_MAP);
    if (both) {
      ASSERT_EQ(0, save_height_map(hfd.c_str()));
      history_mark_saved(HISTORY_HEIGHT_MAP);
    }
    journal_flush();
    EXPECT_EQ(0u, read_file(path).size()) << both;
    // Emptied at a save of everything, it keeps the edits again.
    history_begin(HISTORY_PASTE_TILE, 1, 1, 0);
    tile_at(1, 1).texture = (int16_t)(tile_at(1, 1).texture % 9 + 1);
    history_end();
    journal_flush();
    JournalFound found;
    EXPECT_EQ(both, journal_pending(&found));
    journal_stop();
  }
}

// A second session on the same terrain gets no journal: the first holds it.
TEST_F(RecoveryJournal, SecondOpeningFindsTheJournalLocked) {
  std::mt19937 random(5);
  open_random(5, 5, random);
  const std::string path = journal_path_for(tfd.c_str());
  const int fd = open(path.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  EXPECT_NE(0, flock(fd, LOCK_EX | LOCK_NB));
  close(fd);
  journal_stop();
  EXPECT_FALSE(file_exists(path));
}

}  // namespace

namespace {

// The reader's model: journals built record by record from what each record
// means, with damage and hostile records among them; what a reader must make
// of them follows from that meaning alone.
using Bytes = std::vector<unsigned char>;
template <class T>
void put(Bytes &b, T v) {
  b.insert(b.end(), (const unsigned char *)&v, (const unsigned char *)&v + sizeof(T));
}
Bytes framed(const Bytes &payload) {
  Bytes out;
  put<uint32_t>(out, 0x4a4b4456), put<uint32_t>(out, (uint32_t)payload.size());
  put<uint32_t>(out, (uint32_t)crc32(0, payload.data(), (uInt)payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

struct Place {
  int x, y;
  Tile tile;
  uint16_t height;
};
enum { USED, LEFT_OUT, DAMAGE };
struct Record {
  Bytes bytes;
  int kind, map;  // a step's or a save's map
  bool saved;
  std::vector<Place> places;  // a step's, in the order they are applied
};

// A step of up to 6 x 6 random places of one map, as a rectangle (every
// place or a mask of them, a column's bits maybe padded) or a list; hostile:
// one thing of it out of the format.
Record random_step(std::mt19937 &r, int columns, int rows, bool hostile) {
  int map = r() % 2 ? HISTORY_HEIGHT_MAP : HISTORY_TILE_MAP;
  const int w = map ? 4 * columns : columns, h = map ? 4 * rows : rows, form = (int)(r() % 3);
  const int l = (int)(r() % w), t = (int)(r() % h), right = l + (int)(r() % std::min(w - l, 6));
  const int bottom = t + (int)(r() % std::min(h - t, 6));
  const size_t height = (size_t)(bottom - t + 1), bits = height + (r() % 2 ? r() % 64 : 0);
  std::vector<uint64_t> mask(((right - l) * bits + height + 63) / 64, 0);
  std::vector<Place> places;
  for (int x = l; x <= right; x++)
    for (int y = t; y <= bottom; y++) {
      if (form && r() % 3 == 0 && (x > l || y > t)) continue;
      const size_t bit = (size_t)(x - l) * bits + (size_t)(y - t);
      mask[bit / 64] |= 1ULL << (bit % 64);
      places.push_back({x, y, {(int16_t)(r() % 12), (uint8_t)r(), (uint8_t)r(), {(uint8_t)r(), (uint8_t)r(), (uint8_t)r()}},
                        (uint16_t)(r() % 10000)});
    }
  int flaw = hostile ? (int)(r() % 9) : -1;
  if (flaw == 3 && form == 2 && map) flaw = 2;  // a list has no columns
  if (flaw == 0) places[0].tile.texture = (int16_t)(r() % 2 ? 512 : -300), map = HISTORY_TILE_MAP;
  if (flaw == 1) places[0].height = (uint16_t)(10000 + r() % 55000), map = HISTORY_HEIGHT_MAP;
  const bool listed = map && form == 2;
  Bytes body;
  if (map) body.push_back(0);  // no tiles
  body.push_back(listed ? 2 : 1);
  if (listed) {
    put<uint64_t>(body, places.size());
    for (const Place &p : places) put<uint32_t>(body, (uint32_t)((p.x + (flaw == 2) * w) * MAX_SAMPLES + p.y));
  } else {
    put<int32_t>(body, l), put<int32_t>(body, t), put<int32_t>(body, flaw == 2 ? w : right);
    put<int32_t>(body, bottom), put<uint64_t>(body, flaw == 3 ? height + 64 : bits);
    put<uint64_t>(body, form ? mask.size() : 0);
    for (size_t k = 0; form && k < mask.size(); k++) put<uint64_t>(body, mask[k]);
  }
  const bool table = r() % 2;
  if (!map) body.push_back(table);
  for (const Place &p : places) {
    const Tile &v = p.tile;
    if (map) put<uint16_t>(body, p.height);
    if (!map) put<int16_t>(body, v.texture);
    if (!map && table) body.insert(body.end(), {v.rotation, v.tag, v.extra[0], v.extra[1], v.extra[2], 0});
  }
  for (int plane = 0; !map && !table && plane < 5; plane++)
    for (const Place &p : places) body.push_back(plane < 2 ? (plane ? p.tile.tag : p.tile.rotation) : p.tile.extra[plane - 2]);
  if (!map) body.push_back(0);  // no samples
  if (flaw == 4) body.push_back(7);  // more than the places need
  Bytes p = {'S', (unsigned char)(flaw == 5 ? 9 : r() % 3), 0};
  put<int64_t>(p, 1700000000);
  const bool packed = flaw >= 6 || r() % 3 == 0;
  p.push_back(packed);
  // 2^33 bytes, far more than the map can need; one more than it inflates to.
  put<uint64_t>(p, flaw == 6 ? 1ULL << 33 : body.size() + (flaw == 7));
  if (packed) {
    Bytes deflated(compressBound((uLong)body.size()));
    uLongf size = (uLongf)deflated.size();
    compress2(deflated.data(), &size, body.data(), (uLong)body.size(), 1);
    deflated.resize(flaw == 8 ? size / 2 : size);  // cut short
    body = deflated;
  }
  p.insert(p.end(), body.begin(), body.end());
  if (hostile) places.clear();
  return {framed(p), hostile ? LEFT_OUT : USED, map, false, places};
}

// A target area record of no state the areas had, of an area number not
// there, or of a name no line can hold.
Record hostile_area(std::mt19937 &r) {
  Bytes p = {'A', (unsigned char)(r() % 3), 0, 0, 0, 0, 0, 0, 0, 0, (unsigned char)(r() % 3)};
  put<uint16_t>(p, (uint16_t)(r() % 2 ? 1 : 900)), put<uint64_t>(p, r()), put<uint64_t>(p, r());
  const std::string name = r() % 2 ? "Depot\n[TargetArea001]" : "Depot";
  p.push_back((unsigned char)name.size());
  p.insert(p.end(), name.begin(), name.end());
  put<float>(p, 100), put<float>(p, 100), put<int32_t>(p, 1), put<int32_t>(p, 0);
  put<uint16_t>(p, (uint16_t)(r() % 2 ? 600 : 0));
  return {framed(p), LEFT_OUT, 0, false, {}};
}

// Bytes no record begins at: noise, a record cut short or flipped, heads
// claiming 200,000 bytes (as much as a record of this map may hold).
Record damage(std::mt19937 &r, const Bytes &some, bool claims) {
  Bytes b = some;
  const int kind = claims ? 3 : (int)(r() % 4);
  if (kind == 0 || kind == 3) b.clear();
  for (int k = kind == 0 ? 1 + (int)(r() % 40) : 0; k > 0; k--) b.push_back((unsigned char)r());
  if (kind == 1) b.resize(1 + r() % (b.size() - 1));
  if (kind == 2) b[r() % b.size()] ^= (unsigned char)(1 + r() % 255);
  for (int k = kind == 3 ? 1 + (int)(r() % 30) : 0; k > 0; k--)
    put<uint32_t>(b, 0x4a4b4456), put<uint32_t>(b, 200000), put<uint32_t>(b, (uint32_t)r());
  return {b, DAMAGE, 0, false, {}};
}

}  // namespace

// Random journals with damaged stretches (records cut, flipped, noise,
// heads claiming 200,000 bytes) and hostile records (textures and heights
// out of range, places off the map, lengths the places do not need, a step
// claiming 2^33 bytes, target areas of no line or no state): the maps get
// exactly the records that fit, in order, so never a value out of range;
// each record left out and each damaged stretch is counted, so are the
// tiles given undeclared textures; each byte is looked at a few times at
// most, however many heads claim it.
TEST_F(RecoveryJournal, RandomDamagedAndHostileJournalsAgainstTheReadersModel) {
  std::mt19937 random(11);
  open_random(12, 9, random);
  journal_stop();
  texture_table.textures_declared = texture_table.last_declared_texture = 5;
  for (int t = 1; t <= 5; t++) strcpy(texture_table.textures[t].filename, "t.bmp");
  const Maps base = maps_now();
  const std::string path = journal_path_for(tfd.c_str());
  char whole[PATH_MAX];
  ASSERT_TRUE(realpath(tfd.c_str(), whole));
  Bytes begin = {'B', 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, (unsigned char)strlen(whole), 0};
  begin.insert(begin.end(), whole, whole + strlen(whole));
  begin.resize(begin.size() + 2 * 33, 0);  // both stamps unknown
  for (int round = 0; round < 300; round++) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<Record> records = {{framed(begin), USED, 0, false, {}}};
    // The last round: 3,000 stretches of heads claiming 200,000 bytes, each before a whole record.
    const bool claims = round == 299;
    for (int k = 0, count = claims ? 6000 : 1 + (int)(random() % 25); k < count; k++) {
      const int what = claims ? (k % 2 ? 0 : 8) : (int)(random() % 10);
      size_t some = records.size() - 1;
      while (records[some].kind == DAMAGE) some--;
      if (what < 6) records.push_back(random_step(random, map_columns(), map_rows(), what >= 4));
      if (what == 6) records.push_back(hostile_area(random));
      if (what == 7) {
        const int map = (int)(random() % 2);
        Bytes saved = {'M', (unsigned char)map};
        saved.resize(2 + 33, 0);
        records.push_back({framed(saved), USED, map, true, {}});
      }
      if (what >= 8) records.push_back(damage(random, records[some].bytes, claims));
    }
    Bytes bytes;
    for (const Record &m : records) bytes.insert(bytes.end(), m.bytes.begin(), m.bytes.end());
    // Sometimes cut at a random byte, as a crash mid-write leaves it.
    if (random() % 3 == 0) {
      const size_t cut = random() % bytes.size();
      bytes.resize(cut);
      for (size_t k = 0, at = 0; k < records.size(); at += records[k++].bytes.size()) {
        if (at + records[k].bytes.size() <= cut) continue;
        if (at < cut) records[k++].kind = DAMAGE;
        records.erase(records.begin() + (long)k, records.end());
        break;
      }
    }
    Maps expected = base;
    long long steps[2] = {0, 0}, undeclared = 0;
    int dropped = 0;
    for (size_t k = 0; k < records.size(); k++) {
      const Record &m = records[k];
      dropped += m.kind == LEFT_OUT || (m.kind == DAMAGE && (k == 0 || records[k - 1].kind != DAMAGE));
      if (m.kind != USED || k == 0) continue;
      steps[m.map] = m.saved ? 0 : steps[m.map] + 1;
      for (const Place &p : m.places) {
        if (m.map) expected.heights[(size_t)p.x * height_map.samples_y + p.y] = p.height;
        if (m.map) continue;
        Tile &tile = expected.tiles[(size_t)p.x * map_rows() + p.y];
        undeclared += p.tile.texture != tile.texture && (p.tile.texture == 0 || p.tile.texture > 5);
        tile = p.tile;
      }
    }
    write_file(path, bytes);
    JournalFound found;
    read_journal(path.c_str(), &found);
    EXPECT_EQ(steps[0] + steps[1], found.steps);
    EXPECT_EQ(dropped, found.dropped);
    EXPECT_LE(found.examined, 6 * (long long)bytes.size() + 4096) << bytes.size() << " bytes";
    put_maps(base);
    int maps = 0;
    ASSERT_EQ(0, apply_journal(path.c_str(), &maps, &found));
    EXPECT_TRUE(expected == maps_now());
    EXPECT_EQ(undeclared, found.undeclared);
    if (::testing::Test::HasFailure()) break;
  }
}
