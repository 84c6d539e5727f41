// PNG files written in bands: each band of rows is filtered and deflated
// on its own (on any thread) into one IDAT chunk that continues a single
// zlib stream, so that bands made in parallel join into one valid file.
// libpng writes the file's head and end.
#pragma once

#include <allegro.h>
#include <cstddef>
#include <cstdint>
#include <vector>

enum PngPixels {
  PNG_PIXELS_RGB8 = 0,     // 3 bytes a pixel
  PNG_PIXELS_PALETTE8 = 1, // 1 byte a pixel, with a palette of 256 entries
  PNG_PIXELS_GREY16 = 2,   // 2 bytes a pixel, most significant first
};

// How the filtered rows are deflated.
enum PngDeflate {
  PNG_DEFLATE_ZLIB = 0,       // zlib's fastest level
  // Runs of equal bytes only (zlib's Z_RLE): faster, and smaller for
  // pictures of flat areas beside detail too fine to repeat.
  PNG_DEFLATE_ZLIB_RUNS = 1,
  PNG_DEFLATE_RUNS = 2,       // the same matches made by deflate_runs.h, about four times faster
};

struct PngShape {
  int width, height;
  int pixels;          // PngPixels
  const RGB *palette;  // PNG_PIXELS_PALETTE8 only, 6-bit components (nullptr: black)
  int deflate = PNG_DEFLATE_ZLIB;  // PngDeflate
};

// Bytes of one row's pixels, without the filter byte.
long png_pixel_bytes(const PngShape &shape);

// The signature, the header chunk, the palette and the zlib stream's first
// two bytes (in an IDAT of their own), into out. 0, or 1 when libpng fails.
int png_file_head(const PngShape &shape, std::vector<unsigned char> *out);

// Room a band of rows needs in scratch and in out.
size_t png_band_scratch_bytes(const PngShape &shape, int rows);
size_t png_band_out_bytes(const PngShape &shape, int rows);

// Filters rows (each png_pixel_bytes long, in file order; above is the row
// before the first, nullptr at the top) and deflates them into out as one
// IDAT chunk; the picture's last band ends the deflate stream. Returns the
// chunk's length in bytes and the Adler-32 of the filtered bytes with
// their length, or 0 when zlib fails. Safe on any thread.
struct PngBand {
  size_t chunk_bytes;
  uint32_t adler;
  size_t filtered_bytes;
};
PngBand png_band_chunk(const PngShape &shape, const unsigned char *const *rows, int count,
                       const unsigned char *above, int last, unsigned char *scratch, unsigned char *out);

// The stream's Adler-32 after a band (start from 1).
uint32_t png_join_adler(uint32_t adler, const PngBand &band);

// The chunk with the stream's Adler-32 and the end chunk, into out.
void png_file_tail(uint32_t adler, std::vector<unsigned char> *out);

// A whole picture as one band: room its file needs beside a head of
// head_bytes, and the file (head, the band, the tail) into out, with
// scratch of png_band_scratch_bytes for all rows. Its length, or 0 when zlib
// fails. Safe on any thread.
size_t png_whole_file_bytes(const PngShape &shape, size_t head_bytes);
size_t png_whole_file(const PngShape &shape, const std::vector<unsigned char> &head, const unsigned char *pixels,
                      unsigned char *scratch, unsigned char *out);
