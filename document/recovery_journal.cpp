#include "document/recovery_journal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <queue>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "core/regular_file.h"
#include "core/safe_file.h"
#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "edit/edit_history.h"
#include "edit/target_edits.h"
#include "files/height_map_file.h"
#include "document/open_terrain.h"
#include "files/target_file_writer.h"
#include "files/tile_map_file.h"

namespace {

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
// A step's body above this is deflated on the writer's thread.
const size_t PACK_ABOVE = 256 * 1024;
// Places above this are gathered on every core.
const long long GATHER_ALONE = 1 << 16;
const auto SYNC_GAP = std::chrono::milliseconds(200);

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

uint64_t fnv(uint64_t h, const uint8_t *p, size_t n) {
  for (size_t k = 0; k < n; k++) h = (h ^ p[k]) * 1099511628211ULL;
  return h;
}

void put_stamp(Bytes &b, const JournalStamp &s) {
  b.put<uint8_t>((uint8_t)s.known);
  b.put<int64_t>(s.size), b.put<int64_t>(s.seconds), b.put<int64_t>(s.nanoseconds), b.put<uint64_t>(s.hash);
}

JournalStamp get_stamp(Reader &r) {
  JournalStamp s;
  s.known = r.get<uint8_t>();
  s.size = r.get<int64_t>(), s.seconds = r.get<int64_t>(), s.nanoseconds = r.get<int64_t>(), s.hash = r.get<uint64_t>();
  return s;
}

bool same_stamp(const JournalStamp &a, const JournalStamp &b) {
  return a.known == b.known && (!a.known || (a.size == b.size && a.seconds == b.seconds &&
                                             a.nanoseconds == b.nanoseconds && a.hash == b.hash));
}

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

void put_region_head(Bytes &b, const ChangedPlaces &p, long long n) {
  if (p.list) {
    b.put<uint8_t>(REGION_LIST);
    b.put<uint64_t>((uint64_t)p.listed);
    b.put_bytes(p.list, (size_t)p.listed * 4);
    return;
  }
  if (n == 0) {
    b.put<uint8_t>(REGION_NONE);
    return;
  }
  b.put<uint8_t>(REGION_RECT);
  b.put<int32_t>(p.left), b.put<int32_t>(p.top), b.put<int32_t>(p.right), b.put<int32_t>(p.bottom);
  const size_t columns = (size_t)(p.right - p.left + 1), rows = (size_t)(p.bottom - p.top + 1);
  const size_t column_bits = p.column_bits ? p.column_bits : rows;
  const size_t words = p.mask ? ((columns - 1) * column_bits + rows + 63) / 64 : 0;
  b.put<uint64_t>(column_bits), b.put<uint64_t>(words);
  b.put_bytes(p.mask, words * 8);
}

// How a rectangle's tiles are laid out: as planes, which pack best, or (for
// the big unmasked rectangles of fills) as the table holds them, copied a
// column at a time, which blocks the window least; deflate packs those
// well enough.
enum TileLayout : uint8_t { TILES_AS_PLANES = 0, TILES_AS_TABLE = 1 };
static_assert(sizeof(Tile) == 8 && offsetof(Tile, rotation) == 2 && offsetof(Tile, tag) == 3 &&
                  offsetof(Tile, extra) == 4,
              "the table's layout in the journal");

// The tiles' values now at the places.
void put_tiles(Bytes &b, const ChangedPlaces &p, bool alone) {
  const Columns cols(p);
  const long long n = cols.total();
  put_region_head(b, p, n);
  if (n == 0) return;
  const bool table = !p.mask && n > GATHER_ALONE;
  b.put<uint8_t>(table ? TILES_AS_TABLE : TILES_AS_PLANES);
  if (table) {
    uint8_t *out = b.grow((size_t)n * sizeof(Tile));
    over_columns(cols.columns(), n, alone, [&](int c0, int c1) {
      for (int c = c0; c < c1; c++)
        memcpy(out + sizeof(Tile) * (size_t)cols.start[(size_t)c], tile_map.tiles[p.left + c] + p.top,
               cols.rows * sizeof(Tile));
    });
    return;
  }
  uint8_t *texture = b.grow((size_t)n * TILE_BYTES);
  uint8_t *rotation = texture + 2 * n, *tag = rotation + n, *extra = tag + n;
  over_columns(cols.columns(), n, alone, [&](int c0, int c1) {
    for (int c = c0; c < c1; c++) {
      const Tile *column = tile_map.tiles[p.left + c] + p.top;
      cols.each(c, [&](size_t y, long long k) {
        const Tile &t = column[y];
        memcpy(texture + 2 * k, &t.texture, 2);
        rotation[k] = t.rotation, tag[k] = t.tag;
        extra[k] = t.extra[0], extra[n + k] = t.extra[1], extra[2 * n + k] = t.extra[2];
      });
    }
  });
}

void put_samples(Bytes &b, const ChangedPlaces &p, bool alone) {
  if (p.list) {
    put_region_head(b, p, p.listed);
    uint8_t *out = b.grow((size_t)p.listed * 2);
    for (long long k = 0; k < p.listed; k++)
      memcpy(out + 2 * k, &height_map.heights[p.list[k] / MAX_SAMPLES][p.list[k] % MAX_SAMPLES], 2);
    return;
  }
  const Columns cols(p);
  const long long n = cols.total();
  put_region_head(b, p, n);
  if (n == 0) return;
  uint8_t *out = b.grow((size_t)n * 2);
  over_columns(cols.columns(), n, alone, [&](int c0, int c1) {
    for (int c = c0; c < c1; c++) {
      const uint16_t *column = height_map.heights[p.left + c] + p.top;
      if (!p.mask) {
        memcpy(out + 2 * cols.start[(size_t)c], column, cols.rows * 2);
        continue;
      }
      cols.each(c, [&](size_t y, long long k) { memcpy(out + 2 * k, column + y, 2); });
    }
  });
}

// What a journal is checked against: the maps in memory, as loaded.
struct Limits {
  int columns, rows;        // tiles
  int samples_x, samples_y;  // 0 without a height map
  bool declared_list;        // the texture list declares some: others are told
  uint64_t max_raw;          // the most a step's regions can need
  uint32_t max_payload;      // the longest record that can fit the terrain
};

// Mask bytes of a rectangle at most columns x rows, a column's bits at most 63 past its rows.
uint64_t mask_bytes(uint64_t columns, uint64_t rows) { return 8 * ((columns * (rows + 63) + 63) / 64 + 1); }

Limits limits_now() {
  Limits l;
  l.columns = std::clamp(map_columns(), 0, (int)MAX_TILES);
  l.rows = std::clamp(map_rows(), 0, (int)MAX_TILES);
  const bool heights = height_map.heights_loaded > 0;
  // Height edits are a tile's samples: none lie past the tiles.
  l.samples_x = heights ? std::clamp(height_map.samples_x, 0, 4 * l.columns) : 0;
  l.samples_y = heights ? std::clamp(height_map.samples_y, 0, 4 * l.rows) : 0;
  l.declared_list = texture_table.textures_declared > 0;
  const uint64_t tiles = (uint64_t)l.columns * l.rows, samples = (uint64_t)l.samples_x * l.samples_y;
  l.max_raw = 34 + mask_bytes(l.columns, l.rows) + sizeof(Tile) * tiles + 33 + mask_bytes(l.samples_x, l.samples_y) +
              6 * samples;
  // Deflated, a step can come out a little longer than its raw bytes.
  const uint64_t step = STEP_BODY + l.max_raw + l.max_raw / 256 + 64;
  l.max_payload = (uint32_t)std::clamp<uint64_t>(step, 256 * 1024, UINT32_MAX);
  return l;
}

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

// Reads a region's places; false when one lies outside the map or a length
// is more than the rectangle needs. Nothing is applied yet.
bool read_region(Reader &r, bool tiles, const Limits &lim, RegionRead &g) {
  g.kind = r.get<uint8_t>();
  if (r.bad) return false;
  if (g.kind == REGION_NONE) return true;
  const int columns = tiles ? lim.columns : lim.samples_x, rows = tiles ? lim.rows : lim.samples_y;
  if (g.kind == REGION_LIST) {
    const uint64_t n = r.get<uint64_t>();
    if (tiles || r.bad || n > (uint64_t)columns * rows || n > (uint64_t)(r.end - r.p) / 6) return false;
    g.n = (long long)n;
    g.places = r.take(n * 4), g.values = r.take(n * 2);
    if (r.bad) return false;
    for (uint64_t k = 0; k < n; k++) {
      uint32_t place;
      memcpy(&place, g.places + 4 * k, 4);
      const int x = (int)(place / MAX_SAMPLES), y = (int)(place % MAX_SAMPLES);
      if (x >= columns || y >= rows) return false;
      if (k == 0) g.bounds[0] = g.bounds[2] = x, g.bounds[1] = g.bounds[3] = y;
      g.bounds[0] = std::min(g.bounds[0], x), g.bounds[2] = std::max(g.bounds[2], x);
      g.bounds[1] = std::min(g.bounds[1], y), g.bounds[3] = std::max(g.bounds[3], y);
    }
    return true;
  }
  if (g.kind != REGION_RECT) return false;
  ChangedPlaces &p = g.p;
  p.left = r.get<int32_t>(), p.top = r.get<int32_t>(), p.right = r.get<int32_t>(), p.bottom = r.get<int32_t>();
  const uint64_t column_bits = r.get<uint64_t>(), words = r.get<uint64_t>();
  if (r.bad || p.left < 0 || p.top < 0 || p.right < p.left || p.bottom < p.top || p.right >= columns ||
      p.bottom >= rows)
    return false;
  const uint64_t width = (uint64_t)(p.right - p.left + 1), height = (uint64_t)(p.bottom - p.top + 1);
  if (column_bits < height || column_bits > height + 63) return false;
  if (words && words != ((width - 1) * column_bits + height + 63) / 64) return false;
  if (words > (uint64_t)(r.end - r.p) / 8) return false;
  g.mask.resize(words);
  const uint8_t *m = r.take(words * 8);
  if (r.bad) return false;
  if (words) memcpy(g.mask.data(), m, words * 8);
  p.mask = words ? g.mask.data() : nullptr;
  p.column_bits = column_bits;
  const Columns cols(p);
  g.n = cols.total();
  g.layout = tiles ? r.get<uint8_t>() : (uint8_t)TILES_AS_PLANES;
  if (r.bad || g.layout > TILES_AS_TABLE) return false;
  const size_t each = !tiles ? 2 : g.layout == TILES_AS_TABLE ? sizeof(Tile) : (size_t)TILE_BYTES;
  if ((uint64_t)g.n > (uint64_t)(r.end - r.p) / each) return false;
  g.values = r.take((size_t)g.n * each);
  g.bounds[0] = p.left, g.bounds[1] = p.top, g.bounds[2] = p.right, g.bounds[3] = p.bottom;
  return !r.bad;
}

int16_t texture_of(const RegionRead &g, long long k) {
  int16_t t;
  memcpy(&t, g.values + (g.layout == TILES_AS_TABLE ? sizeof(Tile) * k : 2 * k), 2);
  return t;
}

// 1 when every value is one the map may hold: textures 0..511, heights
// 0..9999 (rotation, tag and extras fill their bytes whatever they are).
bool values_fit(const RegionRead &g, bool tiles) {
  for (long long k = 0; k < g.n; k++) {
    if (tiles) {
      const int t = texture_of(g, k);
      if (t < 0 || t >= MAX_TEXTURES) return false;
    } else {
      uint16_t h;
      memcpy(&h, g.values + 2 * k, 2);
      if (h > MAX_HEIGHT) return false;
    }
  }
  return true;
}

// The texture a tile takes from an edit, told when the list does not declare it.
void tell_texture(JournalFound &found, const Limits &lim, int was, int t) {
  if (!lim.declared_list || t == was || declared_texture_name(t)) return;
  if (found.undeclared++ == 0) found.undeclared_texture = t;
}

// Puts a checked region's values on the map.
void apply_region(const RegionRead &g, bool tiles, const Limits &lim, JournalFound &found) {
  if (g.kind == REGION_NONE) return;
  if (g.kind == REGION_LIST) {
    for (long long k = 0; k < g.n; k++) {
      uint32_t place;
      memcpy(&place, g.places + 4 * k, 4);
      memcpy(&height_map.heights[place / MAX_SAMPLES][place % MAX_SAMPLES], g.values + 2 * k, 2);
    }
    return;
  }
  const Columns cols(g.p);
  const long long n = g.n;
  const uint8_t *values = g.values;
  for (int c = 0; c < cols.columns(); c++) {
    if (tiles && g.layout == TILES_AS_TABLE) {
      Tile *column = tile_map.tiles[g.p.left + c] + g.p.top;
      cols.each(c, [&](size_t y, long long k) {
        const uint8_t *v = values + sizeof(Tile) * k;
        Tile &t = column[y];
        const int was = t.texture;
        memcpy(&t.texture, v, 2);
        t.rotation = v[2], t.tag = v[3];
        memcpy(t.extra, v + 4, 3);
        tell_texture(found, lim, was, t.texture);
      });
    } else if (tiles) {
      Tile *column = tile_map.tiles[g.p.left + c] + g.p.top;
      const uint8_t *rotation = values + 2 * n, *tag = rotation + n, *extra = tag + n;
      cols.each(c, [&](size_t y, long long k) {
        Tile &t = column[y];
        const int was = t.texture;
        memcpy(&t.texture, values + 2 * k, 2);
        t.rotation = rotation[k], t.tag = tag[k];
        t.extra[0] = extra[k], t.extra[1] = extra[n + k], t.extra[2] = extra[2 * n + k];
        tell_texture(found, lim, was, t.texture);
      });
    } else {
      uint16_t *column = height_map.heights[g.p.left + c] + g.p.top;
      cols.each(c, [&](size_t y, long long k) { memcpy(column + y, values + 2 * k, 2); });
    }
  }
}

void add_bounds(int *into, const int *b) {
  if (b[2] < b[0]) return;
  if (into[2] < into[0]) {
    memcpy(into, b, 4 * sizeof(int));
    return;
  }
  into[0] = std::min(into[0], b[0]), into[1] = std::min(into[1], b[1]);
  into[2] = std::max(into[2], b[2]), into[3] = std::max(into[3], b[3]);
}

// The target areas as a chain of states: a hash of each area as the file
// holds it, and of the whole list. A target record holds the list's hash
// before and after its change, so that it is applied only to the state it
// was made on: a save, another program's change of the file or a record
// left out breaks the chain, and the areas stay as they are.
uint64_t mix(uint64_t x) {
  x ^= x >> 30, x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27, x *= 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

uint64_t hash_float(uint64_t h, float v) {
  if (v == 0) v = 0;  // -0 reads back as 0
  uint32_t bits;
  memcpy(&bits, &v, 4);
  return fnv(h, (const uint8_t *)&bits, 4);
}

uint64_t hash_int(uint64_t h, int32_t v) { return fnv(h, (const uint8_t *)&v, 4); }

uint64_t area_hash(const TargetArea &a) {
  uint64_t h = fnv(14695981039346656037ULL, (const uint8_t *)a.name, strnlen(a.name, NAME_SIZE));
  h = hash_float(hash_float(h, a.pos_x), a.pos_y);
  h = hash_int(hash_int(h, a.enemy), a.target_count);
  for (int t = 1; t <= a.target_count && t < MAX_TARGETS; t++) {
    const Target &x = a.targets[t];
    h = fnv(hash_int(h, -1), (const uint8_t *)x.type, strnlen(x.type, NAME_SIZE));
    h = hash_float(hash_float(hash_int(h, x.heading), x.file_offset_x), x.file_offset_y);
  }
  return h;
}

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

void put_text(Bytes &b, const char *s) {
  const size_t n = strnlen(s, NAME_SIZE - 1);
  b.put<uint8_t>((uint8_t)n);
  b.put_bytes(s, n);
}

void put_area(Bytes &b, const TargetArea &a) {
  put_text(b, a.name);
  b.put<float>(a.pos_x), b.put<float>(a.pos_y);
  b.put<int32_t>(a.enemy), b.put<int32_t>(a.file_number);
  const int count = std::clamp((int)a.target_count, 0, MAX_TARGETS - 1);
  b.put<uint16_t>((uint16_t)count);
  for (int t = 1; t <= count; t++) {
    const Target &x = a.targets[t];
    put_text(b, x.type);
    b.put<int32_t>(x.heading), b.put<float>(x.file_offset_x), b.put<float>(x.file_offset_y);
    b.put<int32_t>(x.file_number);
  }
}

// A name or type as a line of the file can hold it.
bool get_text(Reader &r, char *out) {
  const uint8_t n = r.get<uint8_t>();
  const uint8_t *s = r.take(n);
  if (r.bad || n >= NAME_SIZE) return false;
  for (int k = 0; k < n; k++)
    if (s[k] < 0x20 || s[k] == 0x7f) return false;
  memcpy(out, s, n);
  out[n] = 0;
  return true;
}

// An area as the reader of the target file could have made it.
bool get_area(Reader &r, TargetArea &a) {
  if (!get_text(r, a.name)) return false;
  a.pos_x = r.get<float>(), a.pos_y = r.get<float>();
  a.enemy = r.get<int32_t>(), a.file_number = r.get<int32_t>();
  const int count = r.get<uint16_t>();
  if (r.bad || !std::isfinite(a.pos_x) || !std::isfinite(a.pos_y) || (a.enemy != 0 && a.enemy != 1) ||
      a.file_number < 0 || a.file_number >= MAX_AREAS || count >= MAX_TARGETS)
    return false;
  for (int t = 1; t <= count; t++) {
    Target &x = a.targets[t];
    if (!get_text(r, x.type)) return false;
    x.heading = r.get<int32_t>(), x.file_offset_x = r.get<float>(), x.file_offset_y = r.get<float>();
    x.file_number = r.get<int32_t>();
    if (r.bad || x.heading < 0 || x.heading > 359 || !std::isfinite(x.file_offset_x) ||
        !std::isfinite(x.file_offset_y) || x.file_number < 0 || x.file_number >= MAX_TARGETS)
      return false;
    x.offset_x = x.file_offset_x, x.offset_y = x.file_offset_y;
  }
  a.target_count = count;
  a.reach_known = 0;
  a.runway_number = area_runway_number(a);
  turn_area_targets(a);
  return true;
}

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

bool Scan::begin(Reader &r) {
  if (begun || r.get<uint32_t>() != JOURNAL_VERSION) return false;
  r.take(8);  // when it began
  const uint16_t n = r.get<uint16_t>();
  const uint8_t *name = r.take(n);
  const JournalStamp tiles = get_stamp(r), heights = get_stamp(r);
  if (r.bad || r.p != r.end) return false;
  found.tile_map.assign((const char *)name, n);
  found.stamps[HISTORY_TILE_MAP] = tiles, found.stamps[HISTORY_HEIGHT_MAP] = heights;
  return begun = true;
}

bool Scan::step(Reader &r) {
  const uint8_t event = r.get<uint8_t>();
  r.take(1);  // the action
  const int64_t time = r.get<int64_t>();
  const uint8_t packed = r.get<uint8_t>();
  const uint64_t raw = r.get<uint64_t>();
  if (r.bad || event > HISTORY_REDONE || packed > 1) return false;
  Reader body = r;
  if (packed) {
    // Never more room than the rectangles of this map can need; pages
    // are touched only as the inflating fills them.
    if (raw > lim.max_raw) return false;
    if (raw > unpacked_size) {
      uint8_t *more = (uint8_t *)realloc(unpacked, (size_t)raw);
      if (!more) return false;
      unpacked = more, unpacked_size = (size_t)raw;
    }
    uLongf n = (uLongf)raw;
    if (uncompress(unpacked, &n, r.p, (uLong)(r.end - r.p)) != Z_OK || n != raw) return false;
    body = Reader{unpacked, unpacked + raw};
  }
  RegionRead tiles, samples;
  if (!read_region(body, true, lim, tiles) || !read_region(body, false, lim, samples) || body.p != body.end)
    return false;
  if (!values_fit(tiles, true) || !values_fit(samples, false)) return false;
  if (apply & APPLY_TILES) apply_region(tiles, true, lim, found);
  if (apply & APPLY_SAMPLES) apply_region(samples, false, lim, found);
  add_bounds(found.tile_bounds, tiles.bounds);
  add_bounds(found.sample_bounds, samples.bounds);
  unsaved[samples.kind != REGION_NONE ? HISTORY_HEIGHT_MAP : HISTORY_TILE_MAP]++;
  found.last_time = time;
  return true;
}

bool Scan::target(Reader &r) {
  const uint8_t event = r.get<uint8_t>();
  const int64_t time = r.get<int64_t>();
  const uint8_t op = r.get<uint8_t>();
  const int n = r.get<uint16_t>();
  const uint64_t before = r.get<uint64_t>(), after = r.get<uint64_t>();
  if (r.bad || event > HISTORY_REDONE || op > AREA_REMOVE) return false;
  if (!area) area.reset(new TargetArea());
  TargetArea &a = *area;
  if (op != AREA_REMOVE && !get_area(r, a)) return false;
  if (r.p != r.end) return false;
  // Off the chain: made on another state of the areas than this one.
  const std::vector<uint64_t> was = hashes.of;
  if (before != hashes.total() || !hashes.change(op, n, op == AREA_REMOVE ? 0 : area_hash(a)) ||
      hashes.total() != after) {
    hashes.of = was;
    broken++;
    return true;
  }
  if (apply & APPLY_TARGETS) {
    std::unique_ptr<TargetChange> change(new TargetChange);
    change->kind = op == AREA_REPLACE ? TargetChange::REPLACED : op == AREA_INSERT ? TargetChange::INSERTED
                                                                                   : TargetChange::REMOVED;
    change->area = n;
    if (op != AREA_INSERT) change->before.reset(new TargetArea(targets.areas[n]));
    if (op != AREA_REMOVE) change->after.reset(new TargetArea(a));
    change->what = "recovered edit of " + target_area_label(n);
    change->apply(1);
    if (keep) keep(std::move(change));
  }
  unsaved[HISTORY_TARGET_FILE]++;
  found.last_time = time;
  return true;
}

bool Scan::record(Reader &r) {
  const uint8_t type = r.get<uint8_t>();
  if (type == RECORD_BEGIN) return begin(r);
  if (!begun) return false;
  if (type == RECORD_STEP) return step(r);
  if (type == RECORD_AREA) return target(r);
  if (type != RECORD_SAVED) return false;
  const uint8_t map = r.get<uint8_t>();
  const JournalStamp s = get_stamp(r);
  if (r.bad || r.p != r.end || map >= HISTORY_MAPS) return false;
  // What came before is in the file now.
  if (map != HISTORY_TARGET_FILE) found.stamps[map] = s;
  if (map == HISTORY_TARGET_FILE) broken = 0;
  unsaved[map] = 0;
  return true;
}

// A framed record: magic, length, checksum of the payload, the payload.
void frame(const uint8_t *payload, size_t n, Bytes &out) {
  out.put<uint32_t>(RECORD_MAGIC);
  out.put<uint32_t>((uint32_t)n);
  out.put<uint32_t>((uint32_t)crc32(0, payload, (uInt)n));
  out.put_bytes(payload, n);
}

// A journal read from its descriptor; every byte read or checked is counted.
struct JournalFile {
  int fd = -1;
  int64_t size = 0;
  long long *examined;
  explicit JournalFile(long long *counter) : examined(counter) {}
  ~JournalFile() {
    if (fd >= 0) close(fd);
  }
  JournalFile(const JournalFile &) = delete;
  JournalFile &operator=(const JournalFile &) = delete;
  // Never through a link, never anything but a regular file.
  bool open_at(const char *path, int *not_regular) {
    fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      *not_regular = fd >= 0 || errno == ELOOP;
      return false;
    }
    size = st.st_size;
    return true;
  }
  bool read(int64_t at, size_t n, uint8_t *out) {
    size_t got = 0;
    while (got < n) {
      const ssize_t k = pread(fd, out + got, n - got, (off_t)(at + (int64_t)got));
      if (k < 0 && errno == EINTR) continue;
      if (k <= 0) break;
      got += (size_t)k;
    }
    *examined += (long long)got;
    return got == n;
  }
  uint32_t crc(uint32_t c, const uint8_t *p, size_t n) {
    *examined += (long long)n;
    return (uint32_t)crc32(c, p, (uInt)n);
  }
};

// Walks a journal's whole records in one pass, calling record(reader) for
// each (false: it does not fit and is left out). A whole record is its
// magic, a length the terrain can need and the checksum of its payload;
// from a damaged stretch on, the walk goes on at the first whole record
// after it. Every head found on the way is checked against a running
// checksum of all bytes (a payload's checksum follows from the running one
// at its two ends), so that no byte is read twice however many heads claim
// it. Left out and damaged stretches are counted in *dropped.
template <class Record>
void walk_records(JournalFile &f, uint32_t max_payload, int *dropped, const Record &record) {
  struct Head {
    int64_t at;
    uint32_t length, crc, begin = 0;
    uint8_t state = 0;  // 0 payload not reached, 1 within it, 2 whole, 3 damaged
  };
  std::deque<Head> heads;
  int64_t first = 0, next_begin = 0;  // absolute numbers of heads.front() and of the first not reached
  std::priority_queue<std::pair<int64_t, int64_t>, std::vector<std::pair<int64_t, int64_t>>, std::greater<>> ends;
  enum { CHUNK = 1 << 18 };
  std::vector<uint8_t> buffer((size_t)std::min<int64_t>(CHUNK, f.size) + RECORD_HEAD), payload;
  int64_t buffer_at = 0, loaded = 0, crc_at = 0, taken_to = 0;
  uint32_t running = 0;  // of the bytes 0..crc_at
  for (;;) {
    while (!heads.empty()) {
      Head &h = heads.front();
      if (h.at >= taken_to && h.state < 2) break;
      if (h.at >= taken_to && h.state == 2) {
        if (h.at > taken_to) (*dropped)++;
        payload.resize(h.length);
        Reader r = {payload.data(), payload.data() + h.length};
        if (!f.read(h.at + RECORD_HEAD, h.length, payload.data()) || f.crc(0, payload.data(), h.length) != h.crc) {
          h.state = 3;  // changed since
          continue;
        }
        if (!record(r)) (*dropped)++;
        taken_to = h.at + RECORD_HEAD + h.length;
      }
      heads.pop_front();
      first++;
    }
    next_begin = std::max(next_begin, first);
    if (loaded == f.size) break;
    // The next bytes, the last head's worth of the ones before kept.
    const int64_t keep = std::min<int64_t>(RECORD_HEAD - 1, loaded - buffer_at);
    memmove(buffer.data(), buffer.data() + (loaded - buffer_at - keep), (size_t)keep);
    buffer_at = loaded - keep;
    const size_t want = (size_t)std::min<int64_t>(CHUNK, f.size - loaded);
    if (!f.read(loaded, want, buffer.data() + keep)) break;
    loaded += (int64_t)want;
    const int64_t scan_to = loaded - RECORD_HEAD;
    for (int64_t k = buffer_at; k <= scan_to; k++) {
      const uint8_t *b = buffer.data() + (k - buffer_at);
      if (b[0] != (RECORD_MAGIC & 0xff)) continue;
      uint32_t magic, length, crc;
      memcpy(&magic, b, 4), memcpy(&length, b + 4, 4), memcpy(&crc, b + 8, 4);
      if (magic != RECORD_MAGIC || length == 0 || length > max_payload ||
          (int64_t)length > f.size - k - RECORD_HEAD)
        continue;
      heads.push_back(Head{k, length, crc});
      ends.push({k + RECORD_HEAD + length, first + (int64_t)heads.size() - 1});
    }
    // The running checksum through the new bytes, stopping where a payload
    // begins or ends.
    for (;;) {
      int64_t stop = loaded;
      const bool begins = next_begin < first + (int64_t)heads.size();
      if (begins) stop = std::min(stop, heads[(size_t)(next_begin - first)].at + RECORD_HEAD);
      if (!ends.empty()) stop = std::min(stop, ends.top().first);
      running = f.crc(running, buffer.data() + (crc_at - buffer_at), (size_t)(stop - crc_at));
      crc_at = stop;
      if (begins && heads[(size_t)(next_begin - first)].at + RECORD_HEAD == stop) {
        Head &h = heads[(size_t)(next_begin++ - first)];
        h.begin = running, h.state = 1;
        continue;
      }
      if (!ends.empty() && ends.top().first == stop) {
        const int64_t n = ends.top().second;
        ends.pop();
        if (n < first) continue;
        Head &h = heads[(size_t)(n - first)];
        const uint32_t own = running ^ (uint32_t)crc32_combine(h.begin, 0, (z_off_t)h.length);
        h.state = own == h.crc ? 2 : 3;
        continue;
      }
      break;
    }
  }
  if (taken_to < f.size) (*dropped)++;
}

// Reads (and with apply, applies) a whole journal; false when it cannot be read.
bool scan_journal(const char *path, Scan &scan) {
  JournalFound &found = scan.found;
  const std::string keep_path = path;
  found = JournalFound();
  found.path = keep_path;
  JournalFile f(&found.examined);
  if (!f.open_at(keep_path.c_str(), &found.not_regular)) return false;
  walk_records(f, scan.lim.max_payload, &found.dropped, [&](Reader &r) { return scan.record(r); });
  found.steps = scan.unsaved[HISTORY_TILE_MAP] + scan.unsaved[HISTORY_HEIGHT_MAP];
  found.target_edits = scan.unsaved[HISTORY_TARGET_FILE];
  found.dropped += (int)std::min<long long>(scan.broken, INT_MAX - found.dropped);
  if (!scan.begun) found.steps = found.target_edits = 0;
  return true;
}

std::string system_reason(int error) { return strerror(error); }

// What the writer thread is handed: a record, a step's record to deflate
// first, or the journal to empty.
// A big step's values are gathered from the map there too, while the window
// draws its frame: the history waits for it (settle) before anything
// changes the maps again.
// A map's save record goes as JOB_SAVED: when the journal could not be
// written before (or this record cannot), it is emptied instead, as what it
// holds is older than the file saved.
enum JobKind { JOB_RECORD, JOB_PACKED_STEP, JOB_GATHER_STEP, JOB_EMPTY, JOB_SAVED };
struct Job {
  int kind;
  Bytes bytes;
  ChangedPlaces tiles = {}, samples = {};  // JOB_GATHER_STEP: the places, the history's until it settles
};

struct Journal {
  std::mutex lock;
  std::condition_variable wake, idle;
  std::deque<Job> jobs;
  std::thread writer;
  bool stop = false, dirty = false, busy = false, sync_now = false;
  std::condition_variable gathered;
  int gathers = 0;  // big steps whose values are still to be read from the map
  std::chrono::steady_clock::time_point last_sync;
  int fd = -1;
  int state = JOURNAL_OFF;
  bool held = false;    // kept for later: written no more
  bool paused = false;  // edits recovered meanwhile: told again when done
  bool begun = false;   // the beginning is written since the journal was last emptied
  int error = 0;        // the first failure to write
  bool error_told = false;
  bool unlinked = false;  // removed, as it could not be emptied
  long long bytes = 0;  // written
  std::string path, tile_map, hfd_path, targets_path;
  JournalStamp stamps[HISTORY_MAPS];
  // The target areas' chain as the records tell it; stale after a save or
  // a reading of the file, until the next change.
  AreaHashes hashes;
  bool hashes_stale = false;
  // The last big step's buffer, back from the writer: the next big step
  // gathers into pages already there, which fresh memory would first fault in.
  Bytes spare;
  // A program that ends without journal_stop (exit on a lost display)
  // still writes what it was handed; the journal stays for the next opening.
  ~Journal() {
    if (!writer.joinable()) return;
    {
      std::lock_guard<std::mutex> held(lock);
      stop = true;
    }
    wake.notify_one();
    writer.join();
  }
};
Journal journal;

// A step's values after its head: the tiles, then the samples, and their
// size in the head.
void gather_step(Bytes &b, const ChangedPlaces &tiles, const ChangedPlaces &samples, bool alone) {
  const size_t body = b.size;
  put_tiles(b, tiles, alone);
  put_samples(b, samples, alone);
  const uint64_t raw = b.size - body;
  memcpy(b.data + body - 8, &raw, 8);
}

// Writes all of a buffer; the system's error, or 0.
int write_whole(int fd, const uint8_t *p, size_t n) {
  while (n > 0) {
    const ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return w < 0 ? errno : ENOSPC;
    p += w, n -= (size_t)w;
  }
  return 0;
}

// A step's payload deflated: type, event, action, time, then 1, the raw size
// and the deflated body.
Bytes pack_step(const Bytes &step) {
  enum { STEP_HEAD = 1 + 1 + 1 + 8 };
  const size_t body = step.size - STEP_HEAD - 1 - 8;
  Bytes out;
  out.put_bytes(step.data, STEP_HEAD);
  out.put<uint8_t>(1);
  out.put<uint64_t>(body);
  uLongf n = compressBound((uLong)body);
  uint8_t *at = out.grow(n);
  if (compress2(at, &n, step.data + STEP_HEAD + 9, (uLong)body, 1) != Z_OK) {
    out.size -= compressBound((uLong)body);
    out.data[STEP_HEAD] = 0;
    out.put_bytes(step.data + STEP_HEAD + 9, body);
    return out;
  }
  out.size = out.size - compressBound((uLong)body) + n;
  return out;
}

void writer_thread() {
  Journal &j = journal;
  std::unique_lock<std::mutex> held(j.lock);
  for (;;) {
    if (j.jobs.empty()) {
      if (j.dirty && (j.stop || j.sync_now || std::chrono::steady_clock::now() >= j.last_sync + SYNC_GAP)) {
        held.unlock();
        if (j.fd >= 0 && !j.error) fdatasync(j.fd);
        held.lock();
        j.dirty = j.sync_now = false;
        j.last_sync = std::chrono::steady_clock::now();
        continue;
      }
      if (!j.dirty) {
        j.idle.notify_all();
        if (j.stop) return;
        j.wake.wait(held);
      } else {
        j.wake.wait_until(held, j.last_sync + SYNC_GAP);
      }
      continue;
    }
    Job job = std::move(j.jobs.front());
    j.jobs.pop_front();
    j.busy = true;
    held.unlock();
    if (job.kind == JOB_GATHER_STEP) {
      gather_step(job.bytes, job.tiles, job.samples, true);
      job.kind = JOB_PACKED_STEP;
      std::lock_guard<std::mutex> done(j.lock);
      j.gathers--;
      j.gathered.notify_all();
    }
    int error = 0;
    long long bytes = -1;
    bool cleared = false, empty = job.kind == JOB_EMPTY || (job.kind == JOB_SAVED && j.error);
    // After a failure nothing more is written: a gap would make the records
    // after it replay onto the wrong state. Emptying is always done.
    if (j.unlinked) {
    } else if (!empty && j.error) {
    } else if (!empty) {
      Bytes payload = job.kind == JOB_PACKED_STEP ? pack_step(job.bytes) : std::move(job.bytes);
      Bytes framed;
      frame(payload.data, payload.size, framed);
      if (job.kind == JOB_PACKED_STEP) {
        std::lock_guard<std::mutex> spare(j.lock);
        if (job.bytes.capacity > j.spare.capacity) j.spare = std::move(job.bytes);
      }
      error = write_whole(j.fd, framed.data, framed.size);
      empty = error && job.kind == JOB_SAVED;
      // A part of a record written is cut back: the next one must follow a whole one.
      if (error && !empty && ftruncate(j.fd, (off_t)j.bytes) == 0) lseek(j.fd, j.bytes, SEEK_SET);
      if (!error) bytes = j.bytes + (long long)framed.size;
    }
    if (empty && !j.unlinked) {
      // Nothing it holds may be offered again; removed when it cannot be emptied.
      if (ftruncate(j.fd, 0) == 0 && lseek(j.fd, 0, SEEK_SET) == 0) {
        bytes = 0;
        cleared = job.kind == JOB_EMPTY;
      } else {
        if (!error) error = errno;
        unlink(j.path.c_str());
      }
    }
    held.lock();
    j.busy = false;
    if (empty && bytes != 0) j.unlinked = true;
    // Emptied at a save of everything or a discard: a new journal begins.
    if (cleared) j.error = 0, j.error_told = false;
    if (error && !j.error) j.error = error;
    if (bytes >= 0) j.bytes = bytes;
    j.dirty = true;
  }
}

void queue(int kind, Bytes &&bytes) {
  Journal &j = journal;
  {
    std::lock_guard<std::mutex> held(j.lock);
    j.jobs.push_back(Job{kind, std::move(bytes)});
  }
  j.wake.notify_one();
}

void begin_if_new() {
  Journal &j = journal;
  if (j.begun) return;
  // Whatever the file held (a journal let go, a damaged one) goes first.
  queue(JOB_EMPTY, Bytes());
  Bytes b;
  b.put<uint8_t>(RECORD_BEGIN);
  b.put<uint32_t>(JOURNAL_VERSION);
  b.put<int64_t>((int64_t)time(nullptr));
  b.put<uint16_t>((uint16_t)j.tile_map.size());
  b.put_bytes(j.tile_map.data(), j.tile_map.size());
  put_stamp(b, j.stamps[HISTORY_TILE_MAP]);
  put_stamp(b, j.stamps[HISTORY_HEIGHT_MAP]);
  queue(JOB_RECORD, std::move(b));
  j.begun = true;
}

// A change of the target areas as a record: the area replaced, put in or
// taken out, with the chain's states before and after.
void on_target_change(const HistoryChange &change) {
  Journal &j = journal;
  const TargetChange &c = *change.targets;
  const bool forward = change.event != HISTORY_UNDONE;
  const bool inserting = (c.kind == TargetChange::INSERTED) == forward;
  const int op = c.kind == TargetChange::REPLACED ? AREA_REPLACE : inserting ? AREA_INSERT : AREA_REMOVE;
  const TargetArea *area = c.kind == TargetChange::REPLACED ? (forward ? c.after : c.before).get()
                           : c.kind == TargetChange::INSERTED ? c.after.get() : c.before.get();
  const TargetArea *was = c.kind == TargetChange::REPLACED ? (forward ? c.before : c.after).get() : area;
  if (!area || !was) return;
  if (j.hashes_stale) {
    // The areas hold the change already: the state before it is theirs without it.
    j.hashes.build(targets);
    j.hashes.change(op == AREA_INSERT ? AREA_REMOVE : op == AREA_REMOVE ? AREA_INSERT : AREA_REPLACE, c.area,
                    area_hash(*was));
    j.hashes_stale = false;
  }
  const uint64_t before = j.hashes.total();
  if (!j.hashes.change(op, c.area, area_hash(*area))) {
    j.hashes_stale = true;
    return;
  }
  begin_if_new();
  Bytes b;
  b.put<uint8_t>(RECORD_AREA);
  b.put<uint8_t>((uint8_t)change.event);
  b.put<int64_t>((int64_t)time(nullptr));
  b.put<uint8_t>((uint8_t)op);
  b.put<uint16_t>((uint16_t)c.area);
  b.put<uint64_t>(before);
  b.put<uint64_t>(j.hashes.total());
  if (op != AREA_REMOVE) put_area(b, *area);
  queue(JOB_RECORD, std::move(b));
}

void on_change(const HistoryChange &change) {
  Journal &j = journal;
  if (j.state != JOURNAL_ON || j.held || j.paused) return;
  if (change.event == HISTORY_SAVED) {
    const int map = change.action;
    const std::string &path = map == HISTORY_TILE_MAP ? j.tile_map : map == HISTORY_HEIGHT_MAP ? j.hfd_path : j.targets_path;
    j.stamps[map] = journal_stamp_of(path.c_str());
    // Saved (renumbered) or read again (maybe another file): the chain goes on from the areas as they are.
    if (map == HISTORY_TARGET_FILE) j.hashes_stale = true;
    if (!history_map_changed(HISTORY_TILE_MAP) && !history_map_changed(HISTORY_HEIGHT_MAP) &&
        !history_map_changed(HISTORY_TARGET_FILE)) {
      // Nothing is left unsaved: nothing to recover.
      if (j.begun) queue(JOB_EMPTY, Bytes());
      j.begun = false;
      return;
    }
    if (!j.begun) return;
    Bytes b;
    b.put<uint8_t>(RECORD_SAVED);
    b.put<uint8_t>((uint8_t)map);
    put_stamp(b, j.stamps[map]);
    queue(JOB_SAVED, std::move(b));
    return;
  }
  if (change.action == HISTORY_TARGETS) {
    if (change.targets) on_target_change(change);
    return;
  }
  begin_if_new();
  Bytes b;
  const auto area = [](const ChangedPlaces &p) { return (long long)(p.right - p.left + 1) * (p.bottom - p.top + 1); };
  const bool big = area(change.tiles) > GATHER_ALONE || area(change.samples) > GATHER_ALONE;
  if (big) {
    std::lock_guard<std::mutex> held(j.lock);
    b = std::move(j.spare);
    b.size = 0;
  }
  b.put<uint8_t>(RECORD_STEP);
  b.put<uint8_t>((uint8_t)change.event);
  b.put<uint8_t>((uint8_t)change.action);
  b.put<int64_t>((int64_t)time(nullptr));
  b.put<uint8_t>(0);
  b.put<uint64_t>(0);
  if (big) {
    {
      std::lock_guard<std::mutex> held(j.lock);
      j.gathers++;
      j.jobs.push_back(Job{JOB_GATHER_STEP, std::move(b), change.tiles, change.samples});
    }
    j.wake.notify_one();
    return;
  }
  gather_step(b, change.tiles, change.samples, false);
  const uint64_t raw = b.size - STEP_BODY;
  queue(raw > PACK_ABOVE ? JOB_PACKED_STEP : JOB_RECORD, std::move(b));
}

// Before the maps change again: the last big step's values are read.
void settle() {
  Journal &j = journal;
  std::unique_lock<std::mutex> held(j.lock);
  j.gathered.wait(held, [&] { return j.gathers == 0; });
}

// Waits until the writer has nothing left, synced.
void wait_idle() {
  Journal &j = journal;
  std::unique_lock<std::mutex> held(j.lock);
  if (!j.writer.joinable()) return;
  j.sync_now = true;
  j.wake.notify_one();
  j.idle.wait(held, [&] { return j.jobs.empty() && !j.busy && !j.dirty; });
}

bool make_folder(const std::string &path, int *error) {
  std::string at;
  for (size_t k = 1; k <= path.size(); k++) {
    if (k < path.size() && path[k] != '/') continue;
    at = path.substr(0, k);
    if (mkdir(at.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = errno;
      return false;
    }
  }
  return true;
}

std::string absolute_path(const char *path) {
  char resolved[PATH_MAX];
  if (realpath(path, resolved)) return resolved;
  return "";
}

}  // namespace

JournalStamp journal_stamp_of(const char *path) {
  JournalStamp s;
  const int fd = path && path[0] ? open_regular_file(path) : -1;
  if (fd < 0) return s;
  struct stat st;
  if (fstat(fd, &st) == 0) {
    s.size = st.st_size;
    s.seconds = st.st_mtim.tv_sec, s.nanoseconds = st.st_mtim.tv_nsec;
    std::vector<uint8_t> part(HASHED_BYTES);
    uint64_t h = 14695981039346656037ULL;
    const ssize_t first = pread(fd, part.data(), part.size(), 0);
    if (first > 0) h = fnv(h, part.data(), (size_t)first);
    const off_t tail = st.st_size > HASHED_BYTES ? st.st_size - HASHED_BYTES : 0;
    const ssize_t last = pread(fd, part.data(), part.size(), tail);
    if (last > 0) h = fnv(h, part.data(), (size_t)last);
    s.hash = h;
    s.known = first >= 0 && last >= 0;
  }
  close(fd);
  return s;
}

std::string journal_time_text(const JournalFound &found, const char *format) {
  char when[64] = "";
  const time_t last = (time_t)found.last_time;
  struct tm local;
  if (localtime_r(&last, &local)) strftime(when, sizeof(when), format, &local);
  return when;
}

std::string journal_folder() {
  const char *state = getenv("XDG_STATE_HOME"), *home = getenv("HOME");
  if (state && state[0] == '/') return std::string(state) + "/veldkit/recovery";
  if (home && home[0]) return std::string(home) + "/.local/state/veldkit/recovery";
  return "";
}

std::string journal_path_for(const char *tfd_path) {
  const std::string folder = journal_folder(), whole = absolute_path(tfd_path);
  if (folder.empty() || whole.empty()) return "";
  // The name and a hash of the whole path: two terrains of one name in two
  // folders keep two journals.
  const uint64_t h = fnv(14695981039346656037ULL, (const uint8_t *)whole.data(), whole.size());
  char hash[24];
  snprintf(hash, sizeof(hash), "%016llx", (unsigned long long)h);
  std::string name = whole.substr(whole.rfind('/') + 1);
  if (name.size() > 100) name.resize(100);
  return folder + "/" + name + "." + hash + ".journal";
}

int read_journal(const char *journal_path, JournalFound *found) {
  Scan scan(*found, APPLY_NONE);
  return scan_journal(journal_path, scan) && found->steps + found->target_edits > 0;
}

std::string journal_edits_text(const JournalFound &found) {
  auto count = [](long long n, const char *what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
  if (!found.target_edits) return count(found.steps, "edit");
  if (!found.steps) return count(found.target_edits, "target area edit");
  return count(found.steps, "map edit") + " and " + count(found.target_edits, "target area edit");
}

std::string journal_left_out_text(const JournalFound &found) {
  if (!found.dropped) return "";
  const long long all = found.steps + found.target_edits + found.dropped;
  return std::to_string(found.dropped) + " of " + std::to_string(all) + (all == 1 ? " edit" : " edits") +
         (found.dropped == 1 ? " could not be used and was left out." : " could not be used and were left out.");
}

std::string journal_texture_text(const JournalFound &found) {
  if (!found.undeclared) return "";
  return std::to_string(found.undeclared) + (found.undeclared == 1 ? " recovered tile takes" : " recovered tiles take") +
         " a texture the texture list does not declare (" + std::to_string(found.undeclared_texture) +
         (found.undeclared > 1 ? " and others)." : ").");
}

std::vector<JournalFound> pending_journals() {
  std::vector<JournalFound> all;
  const std::string folder = journal_folder();
  DIR *dir = folder.empty() ? nullptr : opendir(folder.c_str());
  if (!dir) return all;
  while (dirent *e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name.size() < 8 || name.compare(name.size() - 8, 8, ".journal") != 0) continue;
    JournalFound found;
    if (read_journal((folder + "/" + name).c_str(), &found)) all.push_back(found);
  }
  closedir(dir);
  std::sort(all.begin(), all.end(), [](const JournalFound &a, const JournalFound &b) { return a.path < b.path; });
  return all;
}

int journal_files_as_begun(const JournalFound &found, const char *hfd_path) {
  return same_stamp(found.stamps[HISTORY_TILE_MAP], journal_stamp_of(found.tile_map.c_str())) &&
         same_stamp(found.stamps[HISTORY_HEIGHT_MAP], journal_stamp_of(hfd_path));
}

int apply_journal(const char *journal_path, int *maps, JournalFound *out) {
  JournalFound local;
  JournalFound &found = out ? *out : local;
  Scan scan(found, APPLY_ALL);
  int applied_targets = 0;
  scan.keep = [&](std::unique_ptr<TargetChange>) { applied_targets = 1; };
  *maps = 0;
  if (!scan_journal(journal_path, scan)) return 1;
  if (found.tile_bounds[2] >= found.tile_bounds[0]) *maps |= 1 << HISTORY_TILE_MAP;
  if (found.sample_bounds[2] >= found.sample_bounds[0]) *maps |= 1 << HISTORY_HEIGHT_MAP;
  if (applied_targets) *maps |= 1 << HISTORY_TARGET_FILE;
  return 0;
}

int recover_journal(const char *journal_path, JournalFound *found) {
  Scan seen(*found, APPLY_NONE);
  if (!scan_journal(journal_path, seen)) return 1;
  const std::string path = found->path;
  // Meanwhile the journal stays as it is: it is read once for each map.
  journal.paused = true;
  const int *t = found->tile_bounds, *s = found->sample_bounds;
  if (t[2] >= t[0]) {
    history_begin_area(HISTORY_AREA_RECOVERED_TILES, t[0], t[1], t[2], t[3]);
    JournalFound pass;
    Scan tiles(pass, APPLY_TILES);
    scan_journal(path.c_str(), tiles);
    history_end_area(0, t[2] - t[0] + 1, t[3] - t[1] + 1, t[0], t[1], t[2], t[3]);
    found->undeclared = pass.undeclared, found->undeclared_texture = pass.undeclared_texture;
  }
  if (s[2] >= s[0]) {
    const int l = s[0] / 4, top = s[1] / 4, r = s[2] / 4, b = s[3] / 4;
    history_begin_area(HISTORY_AREA_RECOVERED_HEIGHTS, l, top, r, b);
    JournalFound pass;
    Scan samples(pass, APPLY_SAMPLES);
    scan_journal(path.c_str(), samples);
    history_end_area(0, r - l + 1, b - top + 1, l, top, r, b);
  }
  if (found->target_edits) {
    JournalFound pass;
    Scan areas(pass, APPLY_TARGETS);
    areas.keep = [](std::unique_ptr<TargetChange> change) { history_target_step(change.release()); };
    scan_journal(path.c_str(), areas);
  }
  journal.paused = false;
  // The journal begins anew from the files as read, with the steps just made.
  history_tell_applied();
  return 0;
}

int journal_start(const char *tfd_path, const char *hfd_path, std::string *why) {
  journal_stop();
  Journal &j = journal;
  j.state = JOURNAL_OFF;
  j.held = j.begun = j.paused = j.unlinked = false;
  j.error = 0;
  j.error_told = false;
  j.bytes = 0;
  j.path = journal_path_for(tfd_path);
  j.tile_map = absolute_path(tfd_path);
  j.hfd_path = hfd_path;
  j.targets_path = terrain_paths.targets_ini_path;
  j.hashes.build(targets);
  j.hashes_stale = false;
  if (j.path.empty()) {
    *why = "no folder for it (HOME is not set)";
    return JOURNAL_OFF;
  }
  int error = 0;
  const std::string folder = journal_folder();
  if (!make_folder(folder, &error)) {
    *why = system_reason(error);
    return JOURNAL_OFF;
  }
  j.fd = open(j.path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (j.fd < 0) {
    *why = system_reason(errno);
    return JOURNAL_OFF;
  }
  if (flock(j.fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    close(j.fd);
    j.fd = -1;
    if (e == EWOULDBLOCK) return j.state = JOURNAL_ELSEWHERE;
    *why = system_reason(e);
    return JOURNAL_OFF;
  }
  j.stamps[HISTORY_TILE_MAP] = journal_stamp_of(tfd_path);
  j.stamps[HISTORY_HEIGHT_MAP] = journal_stamp_of(hfd_path);
  j.stop = j.dirty = false;
  j.last_sync = std::chrono::steady_clock::now() - SYNC_GAP;
  j.writer = std::thread(writer_thread);
  history_watch(on_change, settle);
  return j.state = JOURNAL_ON;
}

int journal_pending(JournalFound *found) {
  Journal &j = journal;
  if (j.state != JOURNAL_ON) return 0;
  if (!read_journal(j.path.c_str(), found)) return 0;
  // A journal of another tile map of the same name and hash is no one's here.
  return found->tile_map == j.tile_map;
}

void journal_discard() {
  Journal &j = journal;
  if (j.state != JOURNAL_ON) return;
  queue(JOB_EMPTY, Bytes());
  j.begun = false;
  wait_idle();
}

void journal_hold() { journal.held = true; }

void journal_stop() {
  Journal &j = journal;
  history_watch(nullptr);
  if (j.writer.joinable()) {
    {
      std::lock_guard<std::mutex> held(j.lock);
      j.stop = true;
    }
    j.wake.notify_one();
    j.writer.join();
  }
  j.jobs.clear();
  j.gathers = 0;
  j.spare = Bytes();
  if (j.fd >= 0) {
    if (!j.held && !j.unlinked) unlink(j.path.c_str());
    close(j.fd);
    j.fd = -1;
  }
  j.state = JOURNAL_OFF;
}

std::string journal_take_problem() {
  Journal &j = journal;
  std::lock_guard<std::mutex> held(j.lock);
  if (!j.error || j.error_told) return "";
  j.error_told = true;
  return system_reason(j.error);
}

void journal_flush() { wait_idle(); }

long long journal_bytes() {
  std::lock_guard<std::mutex> held(journal.lock);
  return journal.bytes;
}


namespace {

// Writes bytes as a new file; 0, else the failure in *error.
int write_new_copy(const std::string &path, const char *data, size_t n, WriteError *error) {
  SafeFile file;
  if (safe_file_open(&file, path.c_str()) != 0) return write_failed(error, file.error, file.creating);
  file.keep_existing = 1;
  const bool ok = pack_fwrite(data, (long)n, file.pack) == (long)n;
  if (safe_file_commit(&file, ok) != 0) return write_failed(error, file.error, 0);
  return 0;
}

std::string file_part(const std::string &p) { return p.substr(p.rfind('/') + 1); }

}  // namespace

int write_recovered_terrain(const char *journal_path, const char *tfd_path, JournalFound *found,
                            std::string *written, std::string *why) {
  int maps = 0;
  if (apply_journal(journal_path, &maps, found) != 0) {
    *why = "the journal cannot be read";
    return 1;
  }
  if (found->steps + found->target_edits == 0) {
    *why = "none of its edits could be used";
    return 1;
  }
  // NAME_recovered, then NAME_recovered_2 and on, until no file of the terrain has its name.
  const std::string tfd = tfd_path;
  const size_t dot = tfd.rfind('.'), slash = tfd.rfind('/');
  const bool has_dot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = has_dot ? tfd.substr(0, dot) : tfd, extension = has_dot ? tfd.substr(dot) : ".TFD";
  enum { SIBLINGS = 4 };
  std::string name, names[SIBLINGS], originals[SIBLINGS];
  auto sibling = [](const std::string &of, int k) {
    char path[4 * PATH_MAX];
    sibling_path_of(of.c_str(), k, path, sizeof(path));
    return std::string(path);
  };
  for (int n = 1;; n++) {
    name = stem + "_recovered" + (n > 1 ? "_" + std::to_string(n) : "") + extension;
    struct stat st;
    bool taken = lstat(name.c_str(), &st) == 0;
    for (int k = 0; k < SIBLINGS; k++) {
      names[k] = sibling(name, k), originals[k] = sibling(tfd, k);
      taken = taken || lstat(names[k].c_str(), &st) == 0;
    }
    if (!taken) break;
  }
  // The maps as recovered, the texture list and lands as they are, the
  // target areas with their recovered edits: a terrain of its own.
  std::vector<std::string> done;
  WriteError error{0, 0};
  std::string failed;
  if (save_tile_map(name.c_str(), &error) != RESULT_OK) failed = name;
  if (failed.empty()) done.push_back(name);
  if (failed.empty() && height_map.heights_loaded > 0) {
    if (save_height_map(names[SIBLING_HFD].c_str(), &error) != RESULT_OK)
      failed = names[SIBLING_HFD];
    else
      done.push_back(names[SIBLING_HFD]);
  }
  std::string text_why;
  for (int k = SIBLING_DATA_INI; k < SIBLINGS && failed.empty(); k++) {
    long size = 0;
    char *text = read_whole_file(originals[k].c_str(), &size);
    if (!text) continue;
    std::string edited;
    const bool with_edits = k == SIBLING_TARGETS_INI && (maps >> HISTORY_TARGET_FILE & 1) && size > 0;
    if (with_edits) edited = target_text_after_edits(text, size, targets, &text_why);
    if (!text_why.empty()) {
      failed = names[k];
    } else if ((with_edits ? write_new_copy(names[k], edited.data(), edited.size(), &error)
                           : write_new_copy(names[k], text, (size_t)size, &error)) != 0) {
      failed = names[k];
    } else {
      done.push_back(names[k]);
    }
    free(text);
  }
  if (!failed.empty()) {
    for (const std::string &d : done) unlink(d.c_str());
    char reason[4 * PATH_MAX + 128];
    write_failure_text(failed.c_str(), error, reason, sizeof(reason));
    *why = file_part(failed) + ": " + (!text_why.empty() ? text_why : reason[0] ? reason : "the system gave no reason.");
    return 1;
  }
  // "Desert_recovered.TFD with its .hfd, _DATA.ini and _TARGETS.ini"
  *written = file_part(name);
  const size_t base = file_part(name).size() - extension.size();
  for (size_t k = 1; k < done.size(); k++) {
    const std::string part = file_part(done[k]).substr(base);
    *written += (k == 1 ? " with its " : k + 1 == done.size() ? " and " : ", ") + part;
  }
  return 0;
}
