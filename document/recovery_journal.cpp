#include "document/recovery_journal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

#include "core/regular_file.h"
#include "core/terrain_model.h"
#include "core/work_threads.h"
#include "edit/edit_history.h"
#include "files/height_map_file.h"
#include "files/tile_map_file.h"

namespace {

enum : uint32_t { RECORD_MAGIC = 0x4a4b4456, JOURNAL_VERSION = 1 };
enum { RECORD_HEAD = 12, HASHED_BYTES = 65536 };
// A step record's head before its body: type, event, action, time, packed, raw size.
enum { STEP_BODY = 1 + 1 + 1 + 8 + 1 + 8 };
enum RecordType : uint8_t { RECORD_BEGIN = 'B', RECORD_STEP = 'S', RECORD_SAVED = 'M' };
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

// Reads a region's places back and applies its values; false when it does
// not fit the maps.
bool apply_region(Reader &r, int tiles) {
  const uint8_t kind = r.get<uint8_t>();
  if (kind == REGION_NONE) return !r.bad;
  const int limit = tiles ? MAX_TILES : MAX_SAMPLES;
  if (kind == REGION_LIST) {
    const uint64_t n = r.get<uint64_t>();
    if (tiles || n > (uint64_t)(r.end - r.p) / 6) return false;
    const uint8_t *places = r.take(n * 4), *values = r.take(n * 2);
    if (r.bad) return false;
    for (uint64_t k = 0; k < n; k++) {
      uint32_t place;
      memcpy(&place, places + 4 * k, 4);
      if (place / MAX_SAMPLES >= (uint32_t)limit) return false;
      memcpy(&height_map.heights[place / MAX_SAMPLES][place % MAX_SAMPLES], values + 2 * k, 2);
    }
    return true;
  }
  if (kind != REGION_RECT) return false;
  ChangedPlaces p;
  p.left = r.get<int32_t>(), p.top = r.get<int32_t>(), p.right = r.get<int32_t>(), p.bottom = r.get<int32_t>();
  const uint64_t column_bits = r.get<uint64_t>(), words = r.get<uint64_t>();
  if (r.bad || p.left < 0 || p.top < 0 || p.right < p.left || p.bottom < p.top || p.right >= limit || p.bottom >= limit)
    return false;
  const uint64_t columns = (uint64_t)(p.right - p.left + 1), rows = (uint64_t)(p.bottom - p.top + 1);
  if (column_bits < rows || column_bits > 2 * (uint64_t)limit) return false;
  if (words && words != ((columns - 1) * column_bits + rows + 63) / 64) return false;
  if (words > (uint64_t)(r.end - r.p) / 8) return false;
  std::vector<uint64_t> mask(words);
  const uint8_t *m = r.take(words * 8);
  if (r.bad) return false;
  if (words) memcpy(mask.data(), m, words * 8);
  p.mask = words ? mask.data() : nullptr;
  p.column_bits = column_bits;
  const Columns cols(p);
  const long long n = cols.total();
  const uint8_t layout = tiles ? r.get<uint8_t>() : 0;
  if (layout > TILES_AS_TABLE) return false;
  const uint8_t *values = r.take((size_t)n * (!tiles ? 2 : layout == TILES_AS_TABLE ? sizeof(Tile) : (size_t)TILE_BYTES));
  if (r.bad) return false;
  for (int c = 0; c < cols.columns(); c++) {
    if (tiles && layout == TILES_AS_TABLE) {
      Tile *column = tile_map.tiles[p.left + c] + p.top;
      cols.each(c, [&](size_t y, long long k) {
        const uint8_t *v = values + sizeof(Tile) * k;
        Tile &t = column[y];
        memcpy(&t.texture, v, 2);
        t.rotation = v[2], t.tag = v[3];
        memcpy(t.extra, v + 4, 3);
      });
    } else if (tiles) {
      Tile *column = tile_map.tiles[p.left + c] + p.top;
      const uint8_t *rotation = values + 2 * n, *tag = rotation + n, *extra = tag + n;
      cols.each(c, [&](size_t y, long long k) {
        Tile &t = column[y];
        memcpy(&t.texture, values + 2 * k, 2);
        t.rotation = rotation[k], t.tag = tag[k];
        t.extra[0] = extra[k], t.extra[1] = extra[n + k], t.extra[2] = extra[2 * n + k];
      });
    } else {
      uint16_t *column = height_map.heights[p.left + c] + p.top;
      cols.each(c, [&](size_t y, long long k) { memcpy(column + y, values + 2 * k, 2); });
    }
  }
  return true;
}

// A framed record: magic, length, checksum of the payload, the payload.
void frame(const uint8_t *payload, size_t n, Bytes &out) {
  out.put<uint32_t>(RECORD_MAGIC);
  out.put<uint32_t>((uint32_t)n);
  out.put<uint32_t>((uint32_t)crc32(0, payload, (uInt)n));
  out.put_bytes(payload, n);
}

// Walks a journal's whole records, calling record(type, reader) for each;
// stops at the first damage. The records after it that are whole all the
// same are counted in *dropped, with the damaged one.
template <class Record>
long long walk_records(const uint8_t *data, size_t size, int *dropped, const Record &record) {
  size_t at = 0;
  *dropped = 0;
  auto whole_at = [&](size_t k, uint32_t *length) {
    if (size - k < RECORD_HEAD) return false;
    uint32_t magic, crc;
    memcpy(&magic, data + k, 4), memcpy(length, data + k + 4, 4), memcpy(&crc, data + k + 8, 4);
    return magic == RECORD_MAGIC && *length <= size - k - RECORD_HEAD && *length > 0 &&
           crc32(0, data + k + RECORD_HEAD, *length) == crc;
  };
  uint32_t length = 0;
  while (at < size && whole_at(at, &length)) {
    Reader r = {data + at + RECORD_HEAD, data + at + RECORD_HEAD + length};
    if (!record(r)) break;
    at += RECORD_HEAD + length;
  }
  if (at < size) {
    // What follows the damage: the first record, and every whole one after.
    *dropped = 1;
    for (size_t k = at + 1; k + RECORD_HEAD <= size; k++)
      if (whole_at(k, &length)) (*dropped)++, k += RECORD_HEAD + length - 1;
  }
  return (long long)at;
}

bool read_all(const char *path, std::vector<uint8_t> *data) {
  const int fd = open_regular_file(path);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0;
  if (ok) data->resize((size_t)st.st_size);
  size_t got = 0;
  while (ok && got < data->size()) {
    const ssize_t n = read(fd, data->data() + got, data->size() - got);
    if (n <= 0) break;
    got += (size_t)n;
  }
  data->resize(got);
  close(fd);
  return ok;
}

// Reads a whole journal; with apply set, its steps are applied to the maps
// and the maps changed collected in *maps.
bool scan_journal(const char *path, JournalFound *found, bool apply, int *maps) {
  std::vector<uint8_t> data;
  *found = JournalFound();
  found->path = path;
  if (!read_all(path, &data)) return false;
  bool begun = false;
  found->whole_bytes = walk_records(data.data(), data.size(), &found->dropped, [&](Reader &r) {
    const uint8_t type = r.get<uint8_t>();
    if (type == RECORD_BEGIN) {
      if (begun || r.get<uint32_t>() != JOURNAL_VERSION) return false;
      r.take(8);  // when it began
      const uint16_t n = r.get<uint16_t>();
      const uint8_t *name = r.take(n);
      if (r.bad) return false;
      found->tile_map.assign((const char *)name, n);
      found->stamps[0] = get_stamp(r), found->stamps[1] = get_stamp(r);
      begun = !r.bad;
      return begun;
    }
    if (!begun) return false;
    if (type == RECORD_SAVED) {
      const uint8_t map = r.get<uint8_t>();
      const JournalStamp s = get_stamp(r);
      if (r.bad || (map != HISTORY_TILE_MAP && map != HISTORY_HEIGHT_MAP)) return false;
      found->stamps[map] = s;
      return true;
    }
    if (type != RECORD_STEP) return false;
    r.take(2);  // the event and the action
    const int64_t time = r.get<int64_t>();
    const uint8_t packed = r.get<uint8_t>();
    const uint64_t raw = r.get<uint64_t>();
    if (r.bad || packed > 1 || raw > (1ULL << 33)) return false;
    found->steps++;
    found->last_time = time;
    if (!apply) return true;
    std::vector<uint8_t> unpacked;
    Reader body = r;
    if (packed) {
      unpacked.resize((size_t)raw);
      uLongf n = (uLongf)raw;
      if (uncompress(unpacked.data(), &n, r.p, (uLong)(r.end - r.p)) != Z_OK || n != raw) return false;
      body = Reader{unpacked.data(), unpacked.data() + raw};
    }
    const uint8_t *tiles_at = body.p;
    // Tile regions first, then sample regions; each map changed is told.
    if (!apply_region(body, 1)) return false;
    if (body.p - tiles_at > 1) *maps |= 1 << HISTORY_TILE_MAP;
    const uint8_t *samples_at = body.p;
    if (!apply_region(body, 0)) return false;
    if (body.p - samples_at > 1) *maps |= 1 << HISTORY_HEIGHT_MAP;
    return true;
  });
  if (!begun) found->whole_bytes = 0;
  return true;
}

std::string system_reason(int error) { return strerror(error); }

// What the writer thread is handed: a record, a step's record to deflate
// first, or the journal to empty.
// A big step's values are gathered from the map there too, while the window
// draws its frame: the history waits for it (settle) before anything
// changes the maps again.
enum JobKind { JOB_RECORD, JOB_PACKED_STEP, JOB_GATHER_STEP, JOB_EMPTY };
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
  bool begun = false;   // the beginning is written since the journal was last emptied
  int error = 0;        // the first failure to write
  bool error_told = false;
  long long bytes = 0;  // written
  std::string path, tile_map, hfd_path;
  JournalStamp stamps[HISTORY_MAPS];
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
    // After a failure nothing more is written: a gap would make the records
    // after it replay onto the wrong state.
    if (j.error) {
    } else if (job.kind == JOB_EMPTY) {
      if (ftruncate(j.fd, 0) != 0 || lseek(j.fd, 0, SEEK_SET) != 0) error = errno;
      bytes = 0;
    } else {
      Bytes payload = job.kind == JOB_PACKED_STEP ? pack_step(job.bytes) : std::move(job.bytes);
      Bytes framed;
      frame(payload.data, payload.size, framed);
      if (job.kind == JOB_PACKED_STEP) {
        std::lock_guard<std::mutex> spare(j.lock);
        if (job.bytes.capacity > j.spare.capacity) j.spare = std::move(job.bytes);
      }
      error = write_whole(j.fd, framed.data, framed.size);
      // A part of a record written is cut back: the next one must follow a whole one.
      if (error && ftruncate(j.fd, (off_t)j.bytes) == 0) lseek(j.fd, j.bytes, SEEK_SET);
      if (!error) bytes = j.bytes + (long long)framed.size;
    }
    held.lock();
    j.busy = false;
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

void on_change(const HistoryChange &change) {
  Journal &j = journal;
  if (j.state != JOURNAL_ON || j.held) return;
  // The journal keeps the maps: target area steps and saves change neither.
  if (change.event == HISTORY_SAVED ? change.action == HISTORY_TARGET_FILE : change.action == HISTORY_TARGETS) return;
  if (change.event == HISTORY_SAVED) {
    const int map = change.action;
    j.stamps[map] = journal_stamp_of(map == HISTORY_TILE_MAP ? j.tile_map.c_str() : j.hfd_path.c_str());
    if (!history_map_changed(HISTORY_TILE_MAP) && !history_map_changed(HISTORY_HEIGHT_MAP)) {
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
    queue(JOB_RECORD, std::move(b));
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
  return scan_journal(journal_path, found, false, nullptr) && found->steps > 0;
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

int apply_journal(const char *journal_path, int *maps) {
  JournalFound found;
  *maps = 0;
  return scan_journal(journal_path, &found, true, maps) ? 0 : 1;
}

int journal_start(const char *tfd_path, const char *hfd_path, std::string *why) {
  journal_stop();
  Journal &j = journal;
  j.state = JOURNAL_OFF;
  j.held = j.begun = false;
  j.error = 0;
  j.error_told = false;
  j.bytes = 0;
  j.path = journal_path_for(tfd_path);
  j.tile_map = absolute_path(tfd_path);
  j.hfd_path = hfd_path;
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

void journal_continue() {
  Journal &j = journal;
  JournalFound found;
  if (j.state != JOURNAL_ON || !read_journal(j.path.c_str(), &found)) return;
  // Appended after the last whole record; the new stamps are the journal's own.
  std::lock_guard<std::mutex> held(j.lock);
  if (ftruncate(j.fd, (off_t)found.whole_bytes) != 0 || lseek(j.fd, found.whole_bytes, SEEK_SET) < 0) return;
  j.bytes = found.whole_bytes;
  j.begun = true;
  j.stamps[0] = found.stamps[0], j.stamps[1] = found.stamps[1];
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
    if (!j.held) unlink(j.path.c_str());
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

int write_recovered_maps(const char *journal_path, const char *tfd_path, std::string *written, std::string *why) {
  int maps = 0;
  if (apply_journal(journal_path, &maps) != 0) {
    *why = "the journal cannot be read";
    return 1;
  }
  // NAME_recovered, then NAME_recovered_2 and on, until neither map's name is taken.
  const std::string tfd = tfd_path;
  const size_t dot = tfd.rfind('.'), slash = tfd.rfind('/');
  const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? tfd.substr(0, dot) : tfd;
  const std::string tfd_ext = stem.size() < tfd.size() ? tfd.substr(stem.size()) : ".TFD";
  // The height map's name ends as the terrain's own does.
  const std::string hfd = terrain_paths.hfd_path;
  const size_t hfd_dot = hfd.rfind('.');
  const std::string hfd_ext = hfd_dot != std::string::npos && hfd_dot > hfd.rfind('/') ? hfd.substr(hfd_dot) : ".HFD";
  const bool heights = height_map.heights_loaded > 0;
  std::string tiles_name, heights_name;
  for (int n = 1;; n++) {
    const std::string base = stem + "_recovered" + (n > 1 ? "_" + std::to_string(n) : "");
    tiles_name = base + tfd_ext, heights_name = base + hfd_ext;
    struct stat st;
    if (lstat(tiles_name.c_str(), &st) != 0 && lstat(heights_name.c_str(), &st) != 0) break;
  }
  WriteError error{0, 0};
  if (save_tile_map(tiles_name.c_str(), &error) != RESULT_OK ||
      (heights && save_height_map(heights_name.c_str(), &error) != RESULT_OK)) {
    char reason[4 * PATH_MAX + 128];
    write_failure_text(heights && error.error && tiles_name.empty() ? heights_name.c_str() : tiles_name.c_str(),
                       error, reason, sizeof(reason));
    *why = reason[0] ? reason : "the system gave no reason";
    return 1;
  }
  auto file_part = [](const std::string &p) { return p.substr(p.rfind('/') + 1); };
  *written = file_part(tiles_name) + (heights ? " and " + file_part(heights_name) : "");
  return 0;
}
