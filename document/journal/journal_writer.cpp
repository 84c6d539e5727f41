#include "document/journal/journal_records.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

#include "core/regular_file.h"
#include "core/safe_file.h"
#include "files/height_map_file.h"
#include "files/tile_map_file.h"

using namespace journal_records;

namespace {

// A step's body above this is deflated on the writer's thread.
const size_t PACK_ABOVE = 256 * 1024;

const auto SYNC_GAP = std::chrono::milliseconds(200);

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

}  // namespace

void journal_records::journal_pause(bool paused) { journal.paused = paused; }

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
