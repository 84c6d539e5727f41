// The recovery journal's inner parts, shared by the files of this folder
// only: the record format (framing, stamps, regions of tiles and samples,
// target areas), the reading of a journal, and the writer's pause.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "document/recovery_journal.h"
#include "edit/edit_history.h"
#include "edit/target_edits.h"

namespace journal_records {

enum : uint32_t { RECORD_MAGIC = 0x4a4b4456, JOURNAL_VERSION = 1 };
enum { RECORD_HEAD = 12, HASHED_BYTES = 65536 };
// A step record's head before its body: type, event, action, time, packed, raw size.
enum { STEP_BODY = 1 + 1 + 1 + 8 + 1 + 8 };
enum RecordType : uint8_t { RECORD_BEGIN = 'B', RECORD_STEP = 'S', RECORD_SAVED = 'M', RECORD_AREA = 'A' };
// What a target area record does to the areas' list at its number.
enum AreaOp : uint8_t { AREA_REPLACE = 0, AREA_INSERT = 1, AREA_REMOVE = 2 };
enum Region : uint8_t { REGION_NONE = 0, REGION_RECT = 1, REGION_LIST = 2 };
// Bytes of a tile in a record: texture (2), rotation, tag, three extras,
// each a plane of its own, which packs best.
enum { TILE_BYTES = 7 };

// Places above this are gathered on every core.
const long long GATHER_ALONE = 1 << 16;

// Bytes grown without zeroing: a whole-map step's values are written once.
struct Bytes {
  uint8_t *data = nullptr;
  size_t size = 0, capacity = 0;
  Bytes() = default;
  Bytes(const Bytes &) = delete;
  Bytes &operator=(const Bytes &) = delete;
  Bytes(Bytes &&o) noexcept : data(o.data), size(o.size), capacity(o.capacity) { o.data = nullptr, o.size = o.capacity = 0; }
  Bytes &operator=(Bytes &&o) noexcept {
    std::swap(data, o.data), std::swap(size, o.size), std::swap(capacity, o.capacity);
    return *this;
  }
  ~Bytes() { free(data); }
  uint8_t *grow(size_t n) {
    if (size + n > capacity) {
      const size_t want = std::max(size + n, 2 * capacity + 256);
      uint8_t *more = (uint8_t *)realloc(data, want);
      if (!more) throw std::bad_alloc();
      data = more, capacity = want;
    }
    size += n;
    return data + size - n;
  }
  template <class T>
  void put(T v) { memcpy(grow(sizeof(T)), &v, sizeof(T)); }
  void put_bytes(const void *p, size_t n) { if (n) memcpy(grow(n), p, n); }
};

// Reads a record's fields in order; any read past the end marks it bad.
struct Reader {
  const uint8_t *p, *end;
  bool bad = false;
  template <class T>
  T get() {
    T v{};
    if ((size_t)(end - p) < sizeof(T)) {
      bad = true;
      p = end;
      return v;
    }
    memcpy(&v, p, sizeof(T));
    p += sizeof(T);
    return v;
  }
  const uint8_t *take(size_t n) {
    if ((size_t)(end - p) < n) {
      bad = true;
      p = end;
      return nullptr;
    }
    p += n;
    return p - n;
  }
};

// The places of a region, column by column, and how many lie before each column.
struct Columns {
  const ChangedPlaces &at;
  size_t rows, column_bits;
  std::vector<long long> start;  // per column, and the total last
  explicit Columns(const ChangedPlaces &p) : at(p) {
    const int columns = p.right - p.left + 1;
    rows = columns > 0 ? (size_t)(p.bottom - p.top + 1) : 0;
    column_bits = p.column_bits ? p.column_bits : rows;
    start.assign((size_t)std::max(columns, 0) + 1, 0);
    for (int c = 0; c < columns; c++) start[(size_t)c + 1] = start[(size_t)c] + count(c);
  }
  long long count(int c) const {
    if (!at.mask) return (long long)rows;
    long long n = 0;
    const size_t first = (size_t)c * column_bits, last = first + rows;
    for (size_t bit = first; bit < last;) {
      const size_t word = bit / 64, shift = bit % 64, take = std::min<size_t>(64 - shift, last - bit);
      uint64_t w = at.mask[word] >> shift;
      if (take < 64) w &= (1ULL << take) - 1;
      n += __builtin_popcountll(w);
      bit += take;
    }
    return n;
  }
  // Calls visit(row, index) for each place of column c.
  template <class Visit>
  void each(int c, const Visit &visit) const {
    long long k = start[(size_t)c];
    if (!at.mask) {
      for (size_t y = 0; y < rows; y++) visit(y, k++);
      return;
    }
    const size_t first = (size_t)c * column_bits;
    for (size_t y = 0; y < rows; y++)
      if (at.mask[(first + y) / 64] >> ((first + y) % 64) & 1) visit(y, k++);
  }
  long long total() const { return start.back(); }
  int columns() const { return (int)start.size() - 1; }
};

// Runs work(c0, c1) over the columns, on every core when there are many places.
template <class Work>
void over_columns(int columns, long long places, bool alone, const Work &work) {
  if (alone || places < GATHER_ALONE || columns < 2) {
    work(0, columns);
    return;
  }
  const int parts = std::min(columns, 64);
  run_parts(parts, [&](int k) { work((int)((long long)columns * k / parts), (int)((long long)columns * (k + 1) / parts)); });
}

// How a rectangle's tiles are laid out: as planes, which pack best, or (for
// the big unmasked rectangles of fills) as the table holds them, copied a
// column at a time, which blocks the window least; deflate packs those
// well enough.
enum TileLayout : uint8_t { TILES_AS_PLANES = 0, TILES_AS_TABLE = 1 };

// What a journal is checked against: the maps in memory, as loaded.
struct Limits {
  int columns, rows;        // tiles
  int samples_x, samples_y;  // 0 without a height map
  bool declared_list;        // the texture list declares some: others are told
  uint64_t max_raw;          // the most a step's regions can need
  uint32_t max_payload;      // the longest record that can fit the terrain
};

// A region of a step record as read: where its places and values lie.
struct RegionRead {
  uint8_t kind = REGION_NONE;
  ChangedPlaces p;
  std::vector<uint64_t> mask;
  uint8_t layout = TILES_AS_PLANES;
  const uint8_t *values = nullptr, *places = nullptr;
  long long n = 0;
  int bounds[4] = {0, 0, -1, -1};
};

uint64_t fnv(uint64_t h, const uint8_t *p, size_t n);
void put_stamp(Bytes &b, const JournalStamp &s);
JournalStamp get_stamp(Reader &r);
bool same_stamp(const JournalStamp &a, const JournalStamp &b);
void put_region_head(Bytes &b, const ChangedPlaces &p, long long n);
// The tiles' values now at the places.
void put_tiles(Bytes &b, const ChangedPlaces &p, bool alone);
void put_samples(Bytes &b, const ChangedPlaces &p, bool alone);
// Mask bytes of a rectangle at most columns x rows, a column's bits at most 63 past its rows.
uint64_t mask_bytes(uint64_t columns, uint64_t rows);
Limits limits_now();
// Reads a region's places; false when one lies outside the map or a length
// is more than the rectangle needs. Nothing is applied yet.
bool read_region(Reader &r, bool tiles, const Limits &lim, RegionRead &g);
int16_t texture_of(const RegionRead &g, long long k);
// 1 when every value is one the map may hold: textures 0..511, heights
// 0..9999 (rotation, tag and extras fill their bytes whatever they are).
bool values_fit(const RegionRead &g, bool tiles);
// The texture a tile takes from an edit, told when the list does not declare it.
void tell_texture(JournalFound &found, const Limits &lim, int was, int t);
// Puts a checked region's values on the map.
void apply_region(const RegionRead &g, bool tiles, const Limits &lim, JournalFound &found);
void add_bounds(int *into, const int *b);
uint64_t mix(uint64_t x);
uint64_t hash_float(uint64_t h, float v);
uint64_t hash_int(uint64_t h, int32_t v);
uint64_t area_hash(const TargetArea &a);
void put_text(Bytes &b, const char *s);
void put_area(Bytes &b, const TargetArea &a);
// A name or type as a line of the file can hold it.
bool get_text(Reader &r, char *out);
// An area as the reader of the target file could have made it.
bool get_area(Reader &r, TargetArea &a);
// A framed record: magic, length, checksum of the payload, the payload.
void frame(const uint8_t *payload, size_t n, Bytes &out);

// The target areas as a chain of states: a hash of each area as the file
// holds it, and of the whole list. A target record holds the list's hash
// before and after its change, so that it is applied only to the state it
// was made on: a save, another program's change of the file or a record
// left out breaks the chain, and the areas stay as they are.
struct AreaHashes {
  std::vector<uint64_t> of;  // area n's at n - 1
  void build(const TargetSet &set) {
    of.clear();
    for (int n = 1; n <= set.area_count && n < MAX_AREAS; n++) of.push_back(area_hash(set.areas[n]));
  }
  uint64_t total() const {
    uint64_t t = mix(of.size() + 0x9e3779b97f4a7c15ULL);
    for (size_t k = 0; k < of.size(); k++) t += mix(of[k] + (k + 1) * 0x9e3779b97f4a7c15ULL);
    return t;
  }
  // Area n replaced, put in or taken out; false when n is no place for it.
  bool change(int op, int n, uint64_t h) {
    const int count = (int)of.size();
    if (op == AREA_REPLACE && n >= 1 && n <= count) return of[(size_t)n - 1] = h, true;
    if (op == AREA_INSERT && n >= 1 && n <= count + 1 && count < MAX_AREAS - 1)
      return of.insert(of.begin() + (n - 1), h), true;
    if (op == AREA_REMOVE && n >= 1 && n <= count) return of.erase(of.begin() + (n - 1)), true;
    return false;
  }
};

// Which parts of the records a scan puts on the terrain.
enum ScanApply { APPLY_NONE = 0, APPLY_TILES = 1, APPLY_SAMPLES = 2, APPLY_TARGETS = 4, APPLY_ALL = 7 };

// One reading of a journal: every record checked whole against the terrain
// before any of it is applied.
struct Scan {
  JournalFound &found;
  int apply;
  Limits lim = limits_now();
  bool begun = false;
  long long unsaved[HISTORY_MAPS] = {};  // edits since each map's last save
  long long broken = 0;                  // target records off the chain since their last save
  AreaHashes hashes;
  std::unique_ptr<TargetArea> area;  // made at the first target record
  // Applied target changes go here (null: applied and let go).
  std::function<void(std::unique_ptr<TargetChange>)> keep;
  uint8_t *unpacked = nullptr;
  size_t unpacked_size = 0;
  Scan(JournalFound &f, int a) : found(f), apply(a) { hashes.build(targets); }
  ~Scan() { free(unpacked); }
  Scan(const Scan &) = delete;
  Scan &operator=(const Scan &) = delete;

  bool record(Reader &r);
  bool begin(Reader &r);
  bool step(Reader &r);
  bool target(Reader &r);
};

// Reads (and with apply, applies) a whole journal; false when it cannot be read.
bool scan_journal(const char *path, Scan &scan);

// The whole path of a file, or "" when it cannot be resolved.
std::string absolute_path(const char *path);

// While paused the writer is told nothing of the history's steps.
void journal_pause(bool paused);

}  // namespace journal_records
