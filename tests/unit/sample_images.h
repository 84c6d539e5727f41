// Writers of small image files in the encodings the texture loader reads,
// for the unit tests and the fuzz seeds. Independent of the loader: each
// follows the file layout from scratch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<unsigned char>;

struct SampleRgb {
  int r, g, b;
};

// A picture as a file stores it: one value per pixel, top row first; the
// value is a palette index, or a colour packed as the file packs it
// (0xRRGGBB for 24 bits, 0xAARRGGBB for 32, the raw word for 15 and 16).
struct SamplePicture {
  int w = 0, h = 0;
  std::vector<uint32_t> values;
  std::vector<SampleRgb> palette;
  uint32_t at(int x, int y) const { return values[(size_t)y * w + x]; }
};

// w x h pixels whose value is pick(x, y) reduced to the given bits, with a
// palette of 1 << bits distinct colours when bits is at most 8.
SamplePicture sample_picture(int w, int h, int bits, uint32_t (*pick)(int x, int y));

// Windows bitmap, uncompressed, bottom-up or top-down (negative height).
Bytes sample_bmp(const SamplePicture &pic, int bits, bool top_down);

// The same with an info header of info bytes (52, 56, 64, 108, 124), the
// given compression (0 or bit fields 3 or 6) and red, green, blue and alpha
// masks (those the header has room for).
Bytes sample_bmp_info(const SamplePicture &pic, int bits, uint32_t info, uint32_t compression,
                      const uint32_t masks[4], bool top_down);

// Windows bitmap with run-length rows: bits 8 (RLE8) or 4 (RLE4). Runs of
// three or more equal values are encoded, the rest is written in absolute
// mode; skip_zero_rows leaves rows whose values are all 0 out with a delta.
Bytes sample_bmp_rle(const SamplePicture &pic, int bits, bool skip_zero_rows = false);

// Targa of the given image type (1, 2, 3 plain; 9, 10, 11 run-length) and
// pixel bits; colour-mapped types carry the palette as map_bits entries.
// Packets may run on across rows (as the format allows) when cross_rows.
Bytes sample_tga(const SamplePicture &pic, int type, int bits, int map_bits, bool top_origin,
                 bool cross_rows = false);

// Interleaved bitmap (ILBM) with the given bit planes, plain or ByteRun1
// packed, masking 0 (none), 1 (a mask plane after each row's planes) or 2.
Bytes sample_lbm(const SamplePicture &pic, int planes, bool packed, int masking = 0);

// Chunky bitmap (PBM): one byte a pixel, rows padded to a word.
Bytes sample_pbm(const SamplePicture &pic, bool packed);

// The size that a plain file's own header gives it (a bottom-up bitmap,
// uncompressed or with bit fields, or a Targa of types 1 to 3), worked out
// from the layout alone; -1 when the header is not of such a file.
long long plain_file_size(const unsigned char *bytes, long size, bool targa);

// PNG of the given colour type and depth; samples holds the channels the type
// has, per pixel, top row first. palette is PLTE for type 3; trns, when not
// empty, is the tRNS chunk: the alphas of the first palette entries, or the
// one grey or RGB value that is transparent. The writer is libpng's.
Bytes sample_png(int w, int h, int colour, int depth, bool interlaced, const std::vector<uint16_t> &samples,
                 const std::vector<SampleRgb> &palette = {}, const std::vector<uint16_t> &trns = {});

// JPEG by libjpeg at quality 100 without subsampling: components 1 (grey),
// 3 (RGB) or 4 (CMYK), samples interleaved, top row first. Grey progressive
// files with steps > 0 are sent in 1 + 63 * steps scans: each AC coefficient
// on its own, in steps successive approximations.
Bytes sample_jpeg(int w, int h, int components, bool progressive, const std::vector<unsigned char> &samples,
                  int steps = 0);
