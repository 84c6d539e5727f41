#include "document/journal/journal_records.h"

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <queue>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>


namespace journal_records {

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

}  // namespace journal_records

using namespace journal_records;

namespace {

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

}  // namespace

// Reads (and with apply, applies) a whole journal; false when it cannot be read.
bool journal_records::scan_journal(const char *path, Scan &scan) {
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

int read_journal(const char *journal_path, JournalFound *found) {
  Scan scan(*found, APPLY_NONE);
  return scan_journal(journal_path, scan) && found->steps + found->target_edits > 0;
}
