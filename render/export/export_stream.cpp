#include "render/export/export_stream.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "core/work_threads.h"
#include "images/png_write.h"

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
    if (done < 0) return errno;
    if (done == 0) return EIO;
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
  int error;  // of the write that failed

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
  StreamState &state = *(StreamState *)context;
  int y0, y1;
  state.rows_of(b, &y0, &y1);
  state.error = write_fully(state.fd, band, (long)(y1 - y0) * state.layout.row_bytes);
  if (state.error) return 1;
  if (state.progress && state.progress->report)
    state.progress->report(state.progress->context, state.layout.height - y0, state.layout.height);
  return 0;
}

}  // namespace

StreamResult stream_bmp(int fd, const RowSource &source, const StreamProgress *progress, int *error) {
  int ignored;
  if (!error) error = &ignored;
  *error = 0;
  StreamState state;
  state.source = &source;
  state.layout = bmp_layout(source.width, source.height, source.bits);
  state.fd = fd;
  state.progress = progress;
  state.error = 0;
  const BmpLayout &layout = state.layout;

  std::vector<unsigned char> header((size_t)layout.header_bytes);
  bmp_header(layout, source.palette, header.data());
  *error = write_fully(fd, header.data(), layout.header_bytes);
  if (*error) return STREAM_WRITE_FAILED;
  if (layout.height <= 0 || layout.width <= 0) return STREAM_WRITTEN;

  // The producers never write the padding at the rows' ends: the buffers
  // start zeroed.
  state.band_rows = source.band_rows > 0 && source.band_rows <= STREAM_BAND_ROWS_MAX ? source.band_rows
                                                                                     : stream_band_rows(layout.row_bytes);
  const int bands = (layout.height + state.band_rows - 1) / state.band_rows;
  const size_t band_bytes = (size_t)state.band_rows * (size_t)layout.row_bytes;
  const int ordered = run_in_order(bands, band_bytes, make_band, write_band, &state);
  *error = state.error;
  switch (ordered) {
    case ORDERED_DONE: return STREAM_WRITTEN;
    case ORDERED_NO_MEMORY: return STREAM_NO_MEMORY;
    default: return STREAM_WRITE_FAILED;
  }
}

namespace {

// PNG and raw files store the top row first; the row sources make bands in
// the BMP's order, so each band is turned over here. A PNG band is made with
// the row above it, the one its first row's filters look at.
enum {
  TOP_DOWN_BUDGET = 40 << 20,             // every band buffer in flight together
  TOP_DOWN_BAND_ROWS_MAX = STREAM_BAND_ROWS_MAX - 1,  // and the row above
  TOP_DOWN_HEAD = 64,                     // the band's result, before its bytes
};

struct TopDownState {
  const RowSource *source;
  int png;  // 1 for PNG, 0 for raw
  PngShape shape;
  long stride;     // a made row, padded as the row sources expect
  long out_row;    // a row in the file (raw) or its pixels (PNG)
  int band_rows, bands;
  size_t raw_offset, scratch_offset, out_offset, buffer_bytes;
  int fd;
  const StreamProgress *progress;
  uint32_t adler;
  int error;  // of the write that failed
};

// What a made band holds before its bytes.
struct BandResult {
  PngBand band;
};
static_assert(sizeof(BandResult) <= TOP_DOWN_HEAD, "room for the band's result");

void top_down_rows_of(const TopDownState &s, int b, int *y0, int *y1) {
  *y0 = b * s.band_rows;
  *y1 = *y0 + s.band_rows > s.source->height ? s.source->height : *y0 + s.band_rows;
}

// Row y of a band made for rows first..y1 - 1, turned into file bytes.
unsigned char *made_row(const TopDownState &s, unsigned char *raw, int y, int y1) {
  return raw + (long)(y1 - 1 - y) * s.stride;
}

void to_file_order(const TopDownState &s, unsigned char *row) {
  const int w = s.source->width;
  if (s.source->bits == 24) {
    for (int x = 0; x < w; x++) {
      unsigned char *p = row + 3 * x;
      const unsigned char blue = p[0];
      p[0] = p[2];
      p[2] = blue;
    }
  } else if (s.source->bits == 16) {
    // PNG wants the high byte first, the raw layout the low one.
    for (int x = 0; x < w; x++) {
      uint16_t v;
      memcpy(&v, row + 2 * x, 2);
      row[2 * x] = (unsigned char)(s.png ? v >> 8 : v);
      row[2 * x + 1] = (unsigned char)(s.png ? v : v >> 8);
    }
  }
}

void make_top_down_band(void *context, int b, unsigned char *buffer) {
  const TopDownState &s = *(const TopDownState *)context;
  int y0, y1;
  top_down_rows_of(s, b, &y0, &y1);
  const int first = s.png && y0 > 0 ? y0 - 1 : y0;
  unsigned char *raw = buffer + s.raw_offset;
  s.source->produce(s.source->context, first, y1, raw, s.stride);
  const unsigned char *rows[STREAM_BAND_ROWS_MAX];
  for (int y = first; y < y1; y++) {
    unsigned char *row = made_row(s, raw, y, y1);
    to_file_order(s, row);
    if (y >= y0) rows[y - y0] = row;
  }
  BandResult result = {{0, 1, 0}};
  if (s.png) {
    const unsigned char *above = first < y0 ? made_row(s, raw, first, y1) : nullptr;
    result.band = png_band_chunk(s.shape, rows, y1 - y0, above, b == s.bands - 1, buffer + s.scratch_offset,
                                 buffer + s.out_offset);
  } else {
    // Rows in file order, one after another.
    unsigned char *out = buffer + s.out_offset;
    for (int y = y0; y < y1; y++) memcpy(out + (long)(y - y0) * s.out_row, rows[y - y0], (size_t)s.out_row);
    result.band.chunk_bytes = (size_t)(y1 - y0) * (size_t)s.out_row;
  }
  memcpy(buffer, &result, sizeof(result));
}

int write_top_down_band(void *context, int b, const unsigned char *buffer) {
  TopDownState &s = *(TopDownState *)context;
  BandResult result;
  memcpy(&result, buffer, sizeof(result));
  if (result.band.chunk_bytes == 0) return 1;
  s.error = write_fully(s.fd, buffer + s.out_offset, (long)result.band.chunk_bytes);
  if (s.error) return 1;
  if (s.png) s.adler = png_join_adler(s.adler, result.band);
  int y0, y1;
  top_down_rows_of(s, b, &y0, &y1);
  if (s.progress && s.progress->report) s.progress->report(s.progress->context, y1, s.source->height);
  return 0;
}

size_t round_up(size_t n) { return (n + 63) & ~(size_t)63; }

StreamResult stream_top_down(int fd, const RowSource &source, const StreamProgress *progress, int png, int *error) {
  int ignored;
  if (!error) error = &ignored;
  *error = 0;
  TopDownState s;
  s.source = &source;
  s.png = png;
  s.shape = PngShape{source.width, source.height,
                     source.bits == 24 ? PNG_PIXELS_RGB8 : source.bits == 16 ? PNG_PIXELS_GREY16 : PNG_PIXELS_PALETTE8,
                     source.palette, source.png_deflate};
  s.fd = fd;
  s.progress = progress;
  s.adler = 1;
  s.error = 0;
  if (source.width <= 0 || source.height <= 0) return STREAM_WRITE_FAILED;
  s.stride = ((long)source.width * (source.bits / 8) + 3) & ~3L;
  s.out_row = png_pixel_bytes(s.shape);
  // As many rows a band as the budget allows for every buffer in flight.
  const long per_row = s.stride + (png ? 2 * (s.out_row + 1) + (s.out_row + 1) / 128 : s.out_row);
  const long slots = work_thread_count() + 2;
  long rows = TOP_DOWN_BUDGET / slots / per_row;
  if (png && source.png_band_rows > 0 && source.png_band_rows < rows) rows = source.png_band_rows;
  rows = rows < 1 ? 1 : rows > (long)TOP_DOWN_BAND_ROWS_MAX ? (long)TOP_DOWN_BAND_ROWS_MAX : rows;
  s.band_rows = (int)rows;
  s.bands = (source.height + s.band_rows - 1) / s.band_rows;
  s.raw_offset = TOP_DOWN_HEAD;
  s.scratch_offset = round_up(s.raw_offset + (size_t)(s.band_rows + 1) * (size_t)s.stride);
  s.out_offset = round_up(s.scratch_offset + (png ? png_band_scratch_bytes(s.shape, s.band_rows) : 0));
  s.buffer_bytes = s.out_offset + (png ? png_band_out_bytes(s.shape, s.band_rows)
                                       : (size_t)s.band_rows * (size_t)s.out_row);

  std::vector<unsigned char> head;
  if (png && png_file_head(s.shape, &head) != 0) return STREAM_NO_MEMORY;
  if (!head.empty()) {
    *error = write_fully(fd, head.data(), (long)head.size());
    if (*error) return STREAM_WRITE_FAILED;
  }
  const int ordered = run_in_order(s.bands, s.buffer_bytes, make_top_down_band, write_top_down_band, &s);
  *error = s.error;
  switch (ordered) {
    case ORDERED_DONE: break;
    case ORDERED_NO_MEMORY: return STREAM_NO_MEMORY;
    default: return STREAM_WRITE_FAILED;
  }
  if (!png) return STREAM_WRITTEN;
  std::vector<unsigned char> tail;
  png_file_tail(s.adler, &tail);
  *error = write_fully(fd, tail.data(), (long)tail.size());
  return *error ? STREAM_WRITE_FAILED : STREAM_WRITTEN;
}

}  // namespace

StreamResult stream_png(int fd, const RowSource &source, const StreamProgress *progress, int *error) {
  return stream_top_down(fd, source, progress, 1, error);
}

StreamResult stream_raw16(int fd, const RowSource &source, const StreamProgress *progress, int *error) {
  return stream_top_down(fd, source, progress, 0, error);
}
