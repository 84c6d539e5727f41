#include "tests/unit/sample_images.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <png.h>

namespace {

void le16(Bytes &out, unsigned v) {
  out.push_back((unsigned char)(v & 0xFF));
  out.push_back((unsigned char)((v >> 8) & 0xFF));
}
void le32(Bytes &out, uint32_t v) {
  for (int i = 0; i < 4; i++) out.push_back((unsigned char)(v >> (8 * i)));
}
void be16(Bytes &out, unsigned v) {
  out.push_back((unsigned char)((v >> 8) & 0xFF));
  out.push_back((unsigned char)(v & 0xFF));
}
void be32(Bytes &out, uint32_t v) {
  for (int i = 3; i >= 0; i--) out.push_back((unsigned char)(v >> (8 * i)));
}
void text(Bytes &out, const char *s) {
  while (*s) out.push_back((unsigned char)*s++);
}
void pad_even(Bytes &out) {
  if (out.size() % 2) out.push_back(0);
}

// Length of the run of equal values from i on, at most limit.
int run_length(const std::vector<uint32_t> &v, size_t i, size_t end, int limit) {
  int n = 1;
  while (i + n < end && n < limit && v[i + n] == v[i]) n++;
  return n;
}

// The 14-byte file header and the info header (40 bytes unless told) of a
// Windows bitmap; from 52 bytes on, the red, green and blue masks follow its
// first 40 bytes, from 56 on the alpha mask too, and zeros fill the rest.
Bytes bmp_headers(const SamplePicture &pic, int bits, int32_t height, uint32_t compression,
                  uint32_t data_size, uint32_t info = 40, const uint32_t *masks = nullptr) {
  const uint32_t colours = bits <= 8 ? 1u << bits : 0;
  const uint32_t offset = 14 + info + 4 * colours;
  Bytes out;
  text(out, "BM");
  le32(out, offset + data_size);
  le32(out, 0);
  le32(out, offset);
  le32(out, info);
  le32(out, (uint32_t)pic.w);
  le32(out, (uint32_t)height);
  le16(out, 1);
  le16(out, (unsigned)bits);
  le32(out, compression);
  le32(out, data_size);
  le32(out, 2835);
  le32(out, 2835);
  le32(out, colours);
  le32(out, 0);
  for (uint32_t i = 0; 40 + 4 * i < info; i++) le32(out, masks && i < 4 && 44 + 4 * i <= info ? masks[i] : 0);
  for (uint32_t i = 0; i < colours; i++) {
    const SampleRgb c = i < pic.palette.size() ? pic.palette[i] : SampleRgb{0, 0, 0};
    out.push_back((unsigned char)c.b);
    out.push_back((unsigned char)c.g);
    out.push_back((unsigned char)c.r);
    out.push_back(0);
  }
  return out;
}

// One row of a bitmap as the file packs it, padded to four bytes.
Bytes bmp_row(const SamplePicture &pic, int y, int bits) {
  Bytes row(((size_t)pic.w * bits + 31) / 32 * 4, 0);
  for (int x = 0; x < pic.w; x++) {
    const uint32_t v = pic.at(x, y);
    if (bits < 8) {
      const int per_byte = 8 / bits;
      const int shift = 8 - bits * (x % per_byte + 1);
      row[x / per_byte] |= (unsigned char)(v << shift);
    } else {
      for (int k = 0; k < bits / 8; k++) row[(size_t)x * (bits / 8) + k] = (unsigned char)(v >> (8 * k));
    }
  }
  return row;
}

void targa_pixel(Bytes &out, uint32_t v, int bits) {
  if (bits == 8) out.push_back((unsigned char)v);
  else if (bits <= 16) le16(out, v);
  else for (int k = 0; k < bits / 8; k++) out.push_back((unsigned char)(v >> (8 * k)));
}

void byte_run1(Bytes &out, const Bytes &row) {
  size_t i = 0;
  while (i < row.size()) {
    size_t n = 1;
    while (i + n < row.size() && n < 128 && row[i + n] == row[i]) n++;
    if (n >= 2) {
      out.push_back((unsigned char)(257 - n));
      out.push_back(row[i]);
      i += n;
      continue;
    }
    size_t j = i + 1;
    while (j < row.size() && j - i < 128 && !(j + 1 < row.size() && row[j + 1] == row[j])) j++;
    out.push_back((unsigned char)(j - i - 1));
    out.insert(out.end(), row.begin() + (long)i, row.begin() + (long)j);
    i = j;
  }
}

}  // namespace

SamplePicture sample_picture(int w, int h, int bits, uint32_t (*pick)(int x, int y)) {
  SamplePicture pic;
  pic.w = w;
  pic.h = h;
  const uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) pic.values.push_back(pick(x, y) & mask);
  if (bits <= 8)
    for (int i = 0; i < (1 << bits); i++)
      pic.palette.push_back({(i * 20) & 0xFC, (i * 44 + 64) & 0xFC, (255 - i) & 0xFC});
  return pic;
}

Bytes sample_bmp(const SamplePicture &pic, int bits, bool top_down) {
  Bytes data;
  for (int r = 0; r < pic.h; r++) {
    const Bytes row = bmp_row(pic, top_down ? r : pic.h - 1 - r, bits);
    data.insert(data.end(), row.begin(), row.end());
  }
  Bytes out = bmp_headers(pic, bits, top_down ? -pic.h : pic.h, 0, (uint32_t)data.size());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes sample_bmp_info(const SamplePicture &pic, int bits, uint32_t info, uint32_t compression,
                      const uint32_t masks[4], bool top_down) {
  Bytes data;
  for (int r = 0; r < pic.h; r++) {
    const Bytes row = bmp_row(pic, top_down ? r : pic.h - 1 - r, bits);
    data.insert(data.end(), row.begin(), row.end());
  }
  Bytes out = bmp_headers(pic, bits, top_down ? -pic.h : pic.h, compression, (uint32_t)data.size(), info, masks);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes sample_bmp_rle(const SamplePicture &pic, int bits, bool skip_zero_rows) {
  Bytes data;
  for (int r = 0; r < pic.h; r++) {
    const int y = pic.h - 1 - r;
    const size_t start = (size_t)y * pic.w, end = start + pic.w;
    bool zero = skip_zero_rows;
    for (size_t i = start; zero && i < end; i++) zero = pic.values[i] == 0;
    if (zero) {
      // A delta one row on; after the last row, the end of the bitmap alone.
      if (r + 1 < pic.h) data.insert(data.end(), {0, 2, 0, 1});
      continue;
    }
    size_t i = start;
    while (i < end) {
      const int n = run_length(pic.values, i, end, 255);
      if (n >= 3 || end - i < 3) {
        const unsigned v = pic.values[i];
        data.push_back((unsigned char)n);
        data.push_back((unsigned char)(bits == 8 ? v : (v << 4) | v));
        i += n;
        continue;
      }
      size_t j = i + 1;
      while (j < end && j - i < 254 && run_length(pic.values, j, end, 3) < 3) j++;
      if (j - i < 3) j = i + 3 <= end ? i + 3 : end;
      const size_t count = j - i;
      data.push_back(0);
      data.push_back((unsigned char)count);
      Bytes literal;
      for (size_t k = i; k < j; k++) {
        if (bits == 8) literal.push_back((unsigned char)pic.values[k]);
        else if ((k - i) % 2 == 0) literal.push_back((unsigned char)(pic.values[k] << 4));
        else literal.back() |= (unsigned char)pic.values[k];
      }
      pad_even(literal);
      data.insert(data.end(), literal.begin(), literal.end());
      i = j;
    }
    if (r + 1 < pic.h) data.insert(data.end(), {0, 0});
  }
  data.insert(data.end(), {0, 1});
  Bytes out = bmp_headers(pic, bits, pic.h, bits == 8 ? 1 : 2, (uint32_t)data.size());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes sample_tga(const SamplePicture &pic, int type, int bits, int map_bits, bool top_origin,
                 bool cross_rows) {
  const bool mapped = type == 1 || type == 9;
  const bool rle = type >= 9;
  Bytes out;
  static const char id[] = "vk!";
  out.push_back(3);
  out.push_back(mapped ? 1 : 0);
  out.push_back((unsigned char)type);
  le16(out, 0);
  le16(out, mapped ? (unsigned)pic.palette.size() : 0);
  out.push_back((unsigned char)(mapped ? map_bits : 0));
  le16(out, 0);
  le16(out, 0);
  le16(out, (unsigned)pic.w);
  le16(out, (unsigned)pic.h);
  out.push_back((unsigned char)bits);
  out.push_back((unsigned char)((top_origin ? 0x20 : 0) | (bits == 32 ? 8 : bits == 16 ? 1 : 0)));
  out.insert(out.end(), id, id + 3);
  if (mapped) {
    for (const SampleRgb &c : pic.palette) {
      if (map_bits <= 16) {
        le16(out, (unsigned)((c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3)));
      } else {
        out.push_back((unsigned char)c.b);
        out.push_back((unsigned char)c.g);
        out.push_back((unsigned char)c.r);
        if (map_bits == 32) out.push_back(255);
      }
    }
  }
  // The pixel values in file order.
  std::vector<uint32_t> order;
  for (int r = 0; r < pic.h; r++) {
    const int y = top_origin ? r : pic.h - 1 - r;
    order.insert(order.end(), pic.values.begin() + (long)y * pic.w, pic.values.begin() + (long)(y + 1) * pic.w);
  }
  if (!rle) {
    for (uint32_t v : order) targa_pixel(out, v, bits);
    return out;
  }
  const size_t span = cross_rows ? order.size() : (size_t)pic.w;
  for (size_t s = 0; s < order.size(); s += span) {
    const size_t end = s + span;
    size_t i = s;
    while (i < end) {
      const int n = run_length(order, i, end, 128);
      if (n >= 2) {
        out.push_back((unsigned char)(0x80 | (n - 1)));
        targa_pixel(out, order[i], bits);
        i += n;
        continue;
      }
      size_t j = i + 1;
      while (j < end && j - i < 128 && run_length(order, j, end, 2) < 2) j++;
      out.push_back((unsigned char)(j - i - 1));
      for (size_t k = i; k < j; k++) targa_pixel(out, order[k], bits);
      i = j;
    }
  }
  return out;
}

namespace {

Bytes lbm_file(const SamplePicture &pic, bool chunky, int planes, bool packed, int masking) {
  Bytes form;
  text(form, chunky ? "PBM " : "ILBM");
  text(form, "BMHD");
  be32(form, 20);
  be16(form, (unsigned)pic.w);
  be16(form, (unsigned)pic.h);
  be32(form, 0);
  form.push_back((unsigned char)planes);
  form.push_back((unsigned char)masking);
  form.push_back(packed ? 1 : 0);
  form.push_back(0);
  be16(form, 0);
  form.push_back(10);
  form.push_back(11);
  be16(form, (unsigned)pic.w);
  be16(form, (unsigned)pic.h);
  // An annotation of odd length: readers skip chunks they do not know, with
  // the pad byte.
  text(form, "ANNO");
  be32(form, 5);
  text(form, "Tests");
  pad_even(form);
  text(form, "CMAP");
  be32(form, (uint32_t)(3 * pic.palette.size()));
  for (const SampleRgb &c : pic.palette) {
    form.push_back((unsigned char)c.r);
    form.push_back((unsigned char)c.g);
    form.push_back((unsigned char)c.b);
  }
  pad_even(form);
  Bytes body;
  const size_t row_bytes = ((size_t)pic.w + 15) / 16 * 2;
  for (int y = 0; y < pic.h; y++) {
    if (chunky) {
      Bytes row((size_t)(pic.w + 1) / 2 * 2, 0);
      for (int x = 0; x < pic.w; x++) row[x] = (unsigned char)pic.at(x, y);
      if (packed) byte_run1(body, row);
      else body.insert(body.end(), row.begin(), row.end());
      continue;
    }
    for (int p = 0; p < planes + (masking == 1 ? 1 : 0); p++) {
      Bytes row(row_bytes, 0);
      for (int x = 0; x < pic.w; x++) {
        const bool bit = p == planes ? true : (pic.at(x, y) >> p) & 1;
        if (bit) row[x / 8] |= (unsigned char)(0x80 >> (x % 8));
      }
      if (packed) byte_run1(body, row);
      else body.insert(body.end(), row.begin(), row.end());
    }
  }
  text(form, "BODY");
  be32(form, (uint32_t)body.size());
  form.insert(form.end(), body.begin(), body.end());
  pad_even(form);
  Bytes out;
  text(out, "FORM");
  be32(out, (uint32_t)form.size());
  out.insert(out.end(), form.begin(), form.end());
  return out;
}

}  // namespace

Bytes sample_lbm(const SamplePicture &pic, int planes, bool packed, int masking) {
  return lbm_file(pic, false, planes, packed, masking);
}

Bytes sample_pbm(const SamplePicture &pic, bool packed) { return lbm_file(pic, true, 8, packed, 0); }

long long plain_file_size(const unsigned char *b, long size, bool targa) {
  auto le16 = [&](int i) { return (long long)(b[i] | b[i + 1] << 8); };
  auto le32 = [&](int i) { return (long long)(uint32_t)(b[i] | b[i + 1] << 8 | b[i + 2] << 16 | (uint32_t)b[i + 3] << 24); };
  if (targa) {
    if (size < 18 || b[2] < 1 || b[2] > 3) return -1;
    const long long map = b[1] ? le16(5) * ((b[7] + 7) / 8) : 0;
    return 18 + b[0] + map + le16(12) * le16(14) * ((b[16] + 7) / 8);
  }
  if (size < 54 || b[0] != 'B' || b[1] != 'M' || (le32(30) != 0 && le32(30) != 3) || (int32_t)le32(22) <= 0)
    return -1;
  return le32(10) + (le32(18) * le16(28) + 31) / 32 * 4 * le32(22);
}

// The writers' errors are the libraries' defaults: tests give them sound
// pictures, and a fault in one ends the program.
Bytes sample_png(int w, int h, int colour, int depth, bool interlaced, const std::vector<uint16_t> &samples,
                 const std::vector<SampleRgb> &palette, const std::vector<uint16_t> &trns) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, [](png_structp p, png_bytep b, size_t n) {
    Bytes *o = (Bytes *)png_get_io_ptr(p);
    o->insert(o->end(), b, b + n);
  }, nullptr);
  png_set_IHDR(png, info, (png_uint_32)w, (png_uint_32)h, depth, colour,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> plte;
  for (const SampleRgb &c : palette) plte.push_back({(png_byte)c.r, (png_byte)c.g, (png_byte)c.b});
  if (!plte.empty()) png_set_PLTE(png, info, plte.data(), (int)plte.size());
  png_color_16 key = {0, 0, 0, 0, 0};
  Bytes alphas(trns.begin(), trns.end());
  if (!trns.empty() && colour == PNG_COLOR_TYPE_PALETTE) {
    png_set_tRNS(png, info, alphas.data(), (int)alphas.size(), nullptr);
  } else if (!trns.empty()) {
    key.gray = trns[0];
    key.red = trns[0], key.green = trns[1 % trns.size()], key.blue = trns[2 % trns.size()];
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);
  const int channels = (int)(samples.size() / ((size_t)w * h));
  const size_t row_bytes = ((size_t)w * channels * depth + 7) / 8;
  Bytes rows(row_bytes * h, 0);
  for (size_t i = 0; i < samples.size(); i++) {
    const size_t y = i / ((size_t)w * channels), k = i % ((size_t)w * channels), bit = k * depth;
    unsigned char *row = rows.data() + y * row_bytes;
    if (depth == 16) row[2 * k] = (unsigned char)(samples[i] >> 8), row[2 * k + 1] = (unsigned char)samples[i];
    else row[bit / 8] |= (unsigned char)(samples[i] << (8 - depth - bit % 8));
  }
  std::vector<png_bytep> pointers;
  for (int y = 0; y < h; y++) pointers.push_back(rows.data() + y * row_bytes);
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes sample_jpeg(int w, int h, int components, bool progressive, const std::vector<unsigned char> &samples,
                  int steps) {
  jpeg_compress_struct c;
  jpeg_error_mgr errors;
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  unsigned char *mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = (JDIMENSION)w;
  c.image_height = (JDIMENSION)h;
  c.input_components = components;
  c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  for (int i = 0; i < c.num_components; i++) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  if (progressive) jpeg_simple_progression(&c);
  std::vector<jpeg_scan_info> scans(1, jpeg_scan_info{1, {0}, 0, 0, 0, 0});
  for (int k = 1; k <= 63 && steps > 0; k++)
    for (int a = steps - 1; a >= 0; a--) scans.push_back({1, {0}, k, k, a == steps - 1 ? 0 : a + 1, a});
  if (steps > 0) c.scan_info = scans.data(), c.num_scans = (int)scans.size();
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = (JSAMPROW)samples.data() + (size_t)c.next_scanline * w * components;
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes out(mem, mem + size);
  free(mem);
  return out;
}
