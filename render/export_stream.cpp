#include "render/export_stream.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

#include "terrain/work_threads.h"

// Large enough that a band's grid columns are long runs, small enough that
// the bands in flight stay a few dozen megabytes.
enum { STREAM_BAND_BYTES = 4 << 20 };

int stream_band_rows(long row_bytes) {
  long rows = row_bytes > 0 ? (STREAM_BAND_BYTES + row_bytes - 1) / row_bytes : 1;
  rows = (rows + 3) & ~3L;
  return rows > (long)STREAM_BAND_ROWS_MAX ? (int)STREAM_BAND_ROWS_MAX : (int)rows;
}

int write_fully(int fd, const unsigned char *p, long n) {
  while (n > 0) {
    const ssize_t done = write(fd, p, (size_t)n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return 1;
    p += done;
    n -= done;
  }
  return 0;
}

namespace {

// Bands in flight between the workers and the writer. A band's slot is
// band % slots; a worker may fill it once the band that used it before is
// written.
struct BandRing {
  const RowSource *source;
  BmpLayout layout;
  int band_rows, bands, slots;
  std::vector<unsigned char *> buffers;
  std::vector<int> ready;  // band held by each slot, -1 when none
  int written = 0;         // bands written so far
  bool stop = false;
  std::atomic<int> next{0};
  std::mutex lock;
  std::condition_variable produced, freed;

  // Picture rows of band b: the bands run up from the bottom row.
  void rows_of(int b, int *y0, int *y1) const {
    *y1 = layout.height - b * band_rows;
    *y0 = *y1 - band_rows < 0 ? 0 : *y1 - band_rows;
  }

  void produce(int b, unsigned char *out) const {
    int y0, y1;
    rows_of(b, &y0, &y1);
    source->produce(source->context, y0, y1, out, layout.row_bytes);
  }

  void work() {
    for (;;) {
      const int b = next++;
      if (b >= bands) return;
      const int slot = b % slots;
      {
        std::unique_lock<std::mutex> hold(lock);
        freed.wait(hold, [&] { return stop || b < written + slots; });
        if (stop) return;
      }
      produce(b, buffers[slot]);
      std::lock_guard<std::mutex> hold(lock);
      ready[slot] = b;
      produced.notify_all();
    }
  }
};

}  // namespace

StreamResult stream_bmp(int fd, const RowSource &source, const StreamProgress *progress) {
  BandRing ring;
  ring.source = &source;
  ring.layout = bmp_layout(source.width, source.height, source.bits);
  const BmpLayout &layout = ring.layout;

  std::vector<unsigned char> header((size_t)layout.header_bytes);
  bmp_header(layout, source.palette, header.data());
  if (write_fully(fd, header.data(), layout.header_bytes)) return STREAM_WRITE_FAILED;
  if (layout.height <= 0 || layout.width <= 0) return STREAM_WRITTEN;

  ring.band_rows = stream_band_rows(layout.row_bytes);
  ring.bands = (layout.height + ring.band_rows - 1) / ring.band_rows;
  int workers = work_thread_count() < ring.bands ? work_thread_count() : ring.bands;
  ring.slots = 2 * workers + 1 < ring.bands ? 2 * workers + 1 : ring.bands;
  const size_t band_bytes = (size_t)ring.band_rows * (size_t)layout.row_bytes;
  StreamResult result = STREAM_WRITTEN;
  // Mapped apart from the heap, so that they go back to the system when
  // the export ends; zeroed once, as the producers never write the
  // padding at the rows' ends.
  for (int s = 0; s < ring.slots; s++) {
    void *buffer = mmap(nullptr, band_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (buffer == MAP_FAILED) {
      result = STREAM_NO_MEMORY;
      break;
    }
    ring.buffers.push_back((unsigned char *)buffer);
  }
  ring.ready.assign((size_t)ring.slots, -1);

  std::vector<std::thread> threads;
  if (result == STREAM_WRITTEN) {
    for (int i = 0; i < workers; i++) {
      try {
        threads.emplace_back([&ring] { ring.work(); });
      } catch (const std::system_error &) {
        break;
      }
    }
  }

  for (int b = 0; b < ring.bands && result == STREAM_WRITTEN; b++) {
    const int slot = b % ring.slots;
    int y0, y1;
    ring.rows_of(b, &y0, &y1);
    if (threads.empty()) {
      // No worker could be started: this thread makes each band itself.
      ring.produce(b, ring.buffers[slot]);
    } else {
      std::unique_lock<std::mutex> hold(ring.lock);
      ring.produced.wait(hold, [&] { return ring.ready[slot] == b; });
    }
    if (write_fully(fd, ring.buffers[slot], (long)(y1 - y0) * layout.row_bytes)) {
      result = STREAM_WRITE_FAILED;
    }
    {
      std::lock_guard<std::mutex> hold(ring.lock);
      ring.ready[slot] = -1;
      ring.written = b + 1;
      if (result != STREAM_WRITTEN) ring.stop = true;
      ring.freed.notify_all();
    }
    if (progress && progress->report && result == STREAM_WRITTEN)
      progress->report(progress->context, layout.height - y0, layout.height);
  }
  if (!threads.empty()) {
    // Workers still waiting for a slot leave once told to stop.
    std::lock_guard<std::mutex> hold(ring.lock);
    ring.stop = true;
    ring.freed.notify_all();
  }
  for (std::thread &t : threads) t.join();
  for (unsigned char *buffer : ring.buffers) munmap(buffer, band_bytes);
  return result;
}
