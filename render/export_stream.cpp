#include "render/export_stream.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

#include "terrain/work_threads.h"

// Large enough that a band's grid columns are long runs (each column's run
// starts in a page of its own, whose lookup costs more than the run),
// small enough that the bands in flight stay a few dozen megabytes.
enum { STREAM_BAND_BYTES = 8 << 20 };

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

struct StreamState {
  const RowSource *source;
  BmpLayout layout;
  int band_rows;
  int fd;
  const StreamProgress *progress;

  // Picture rows of band b: the bands run up from the bottom row.
  void rows_of(int b, int *y0, int *y1) const {
    *y1 = layout.height - b * band_rows;
    *y0 = *y1 - band_rows < 0 ? 0 : *y1 - band_rows;
  }
};

void make_band(void *context, int b, unsigned char *out) {
  const StreamState &state = *(const StreamState *)context;
  int y0, y1;
  state.rows_of(b, &y0, &y1);
  state.source->produce(state.source->context, y0, y1, out, state.layout.row_bytes);
}

int write_band(void *context, int b, const unsigned char *band) {
  const StreamState &state = *(const StreamState *)context;
  int y0, y1;
  state.rows_of(b, &y0, &y1);
  if (write_fully(state.fd, band, (long)(y1 - y0) * state.layout.row_bytes)) return 1;
  if (state.progress && state.progress->report)
    state.progress->report(state.progress->context, state.layout.height - y0, state.layout.height);
  return 0;
}

}  // namespace

StreamResult stream_bmp(int fd, const RowSource &source, const StreamProgress *progress) {
  StreamState state;
  state.source = &source;
  state.layout = bmp_layout(source.width, source.height, source.bits);
  state.fd = fd;
  state.progress = progress;
  const BmpLayout &layout = state.layout;

  std::vector<unsigned char> header((size_t)layout.header_bytes);
  bmp_header(layout, source.palette, header.data());
  if (write_fully(fd, header.data(), layout.header_bytes)) return STREAM_WRITE_FAILED;
  if (layout.height <= 0 || layout.width <= 0) return STREAM_WRITTEN;

  // The producers never write the padding at the rows' ends: the buffers
  // start zeroed.
  state.band_rows = stream_band_rows(layout.row_bytes);
  const int bands = (layout.height + state.band_rows - 1) / state.band_rows;
  const size_t band_bytes = (size_t)state.band_rows * (size_t)layout.row_bytes;
  switch (run_in_order(bands, band_bytes, make_band, write_band, &state)) {
    case ORDERED_DONE: return STREAM_WRITTEN;
    case ORDERED_NO_MEMORY: return STREAM_NO_MEMORY;
    default: return STREAM_WRITE_FAILED;
  }
}
