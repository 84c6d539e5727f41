// Writing a picture to a BMP file in bands of rows: worker threads make the
// bands, the caller's thread writes them in file order (bottom row first)
// with large writes and reports the progress. Memory stays at a few bands
// whatever the picture's size.
#pragma once

#include "render/export/bmp_rows.h"

// A picture made band by band.
struct RowSource {
  int width, height;
  int bits;            // 8 or 24 bits per pixel in the file; 16: grey 16-bit
                       // values in the machine's order (PNG and raw only)
  const RGB *palette;  // 8 bits only
  // Makes picture rows y0..y1 - 1 (row 0 at the top) in file order: out +
  // k * row_bytes receives row y1 - 1 - k, without its padding bytes. Runs
  // on any thread, several at once: it must not touch the library.
  void (*produce)(const void *context, int y0, int y1, unsigned char *out, long row_bytes);
  const void *context;
  // Rows a band of a BMP should have (a multiple of 4), or 0 for bands of
  // about STREAM_BAND_BYTES.
  int band_rows = 0;
  // How a PNG's bands are deflated (PngDeflate), and the rows a band
  // should have at most (0: as many as the budget allows).
  int png_deflate = 0;
  int png_band_rows = 0;
};

// Told how many of the picture's rows are written, on the caller's thread.
struct StreamProgress {
  void (*report)(void *context, int rows_written, int rows);
  void *context;
};

enum StreamResult { STREAM_WRITTEN = 0, STREAM_WRITE_FAILED = 1, STREAM_NO_MEMORY = 2 };

// Writes the whole file (header, palette, rows) to fd from its current
// position. progress may be nullptr; error (may be nullptr) gets the
// system's error of a failed write, taken right after it, else 0.
StreamResult stream_bmp(int fd, const RowSource &source, const StreamProgress *progress, int *error = nullptr);

// The same picture as a PNG file: 8-bit RGB, 8-bit palette or 16-bit grey,
// its bands filtered and compressed on every core.
StreamResult stream_png(int fd, const RowSource &source, const StreamProgress *progress, int *error = nullptr);

// 16-bit rows as little-endian words, the top row first, no header.
StreamResult stream_raw16(int fd, const RowSource &source, const StreamProgress *progress, int *error = nullptr);

// Rows per band for a row size: about 8 MB, a multiple of 4 rows (a tile at
// 4 pixels per tile), at most STREAM_BAND_ROWS_MAX.
enum { STREAM_BAND_ROWS_MAX = 256 };
int stream_band_rows(long row_bytes);

// Writes n bytes whole, across short writes and interruptions; 0 when done,
// else the system's error of the write that failed.
int write_fully(int fd, const unsigned char *p, long n);
