#include "document/height_import.h"

#include <allegro.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/byte_order.h"
#include "core/file_stamp.h"
#include "core/regular_file.h"
#include "core/safe_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "files/grid_file.h"
#include "document/open_terrain.h"
#include "files/tile_map_file.h"
#include "images/png_grey.h"

enum { IMPORT_BATCH_ROWS = 64 };

namespace {

struct Import {
  int samples_x, samples_y;
  int fit;          // 0: as they are
  long full_range;  // the format's largest value
  long long over;   // values above MAX_HEIGHT
  int fd;           // the new height map file
  int failed;       // the system's error of a failed write, or 0
  uint16_t *memory; // the samples go here (the north row first) in place of the file, when set
  uint16_t scaled[65536];
  std::vector<unsigned char> rows;  // a batch in the file's order
};


// The first 16 bytes of a grid file: 0 when it holds them, -1 when it does
// not open (errno tells why), 1 when it is shorter.
int read_header(const char *path, int32_t *fields, struct stat *info) {
  const int fd = open_regular_file(path, info);
  if (fd < 0) return -1;
  unsigned char head[GRID_HEADER_BYTES];
  const int ok = read(fd, head, sizeof(head)) == sizeof(head);
  close(fd);
  for (int k = 0; k < 4 && ok; k++) fields[k] = (int32_t)le32(head + 4 * k);
  return ok ? 0 : 1;
}

// 0, or the system's error of the write.
int pwrite_fully(int fd, const unsigned char *p, size_t n, off_t at) {
  while (n > 0) {
    const ssize_t done = pwrite(fd, p, n, at);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) return errno;
    if (done == 0) return EIO;
    p += done;
    n -= (size_t)done;
    at += done;
  }
  return 0;
}

// Rows of the picture straight into the height map file, which stores
// them from the south: a batch is one block of the file, its rows turned.
void take_rows(void *context, int y0, int count, const uint16_t *values) {
  Import &im = *(Import *)context;
  if (im.memory) {
    for (size_t i = 0, n = (size_t)count * im.samples_x; i < n; i++) {
      const uint16_t v = im.scaled[values[i]];
      im.over += v > MAX_HEIGHT;
      im.memory[(size_t)y0 * im.samples_x + i] = v;
    }
    return;
  }
  const size_t row_bytes = 2 * (size_t)im.samples_x;
  im.rows.resize(row_bytes * (size_t)count);
  for (int k = 0; k < count; k++) {
    unsigned char *out = im.rows.data() + row_bytes * (size_t)(count - 1 - k);
    const uint16_t *in = values + (size_t)k * im.samples_x;
    long long over = 0;
    for (int x = 0; x < im.samples_x; x++) {
      const uint16_t v = im.scaled[in[x]];
      over += v > MAX_HEIGHT;
      out[2 * x] = (unsigned char)v;
      out[2 * x + 1] = (unsigned char)(v >> 8);
    }
    im.over += over;
  }
  const off_t at = GRID_HEADER_BYTES + (off_t)row_bytes * (im.samples_y - y0 - count);
  if (!im.failed) im.failed = pwrite_fully(im.fd, im.rows.data(), im.rows.size(), at);
}

// The value each possible input gets: itself, or its place on 0..fit.
void prepare_scale(Import &im) {
  for (long v = 0; v < 65536; v++) {
    long out = v;
    if (im.fit) out = v > im.full_range ? im.fit : (v * im.fit * 2 + im.full_range) / (2 * im.full_range);
    im.scaled[v] = (uint16_t)out;
  }
}


// The file's name without its folder, as messages show it.
QuotedName file_part(const char *path) { return QuotedName(get_filename(path)); }

// What the PNG is, when it is no grey picture that heights come from.
void describe_png(int looked, const GreyShape &shape, char *out, size_t size) {
  if (looked == GREY_NOT_GREY) snprintf(out, size, "a colour picture");
  else if (looked == GREY_NOT_PLAIN)
    snprintf(out, size, "%s %d-bit grey PNG%s", shape.bits == 8 ? "an" : "a", shape.bits,
             shape.alpha ? " with alpha" : "");
  else snprintf(out, size, "not a PNG picture that can be read");
}

// Why the height map cannot be written, as one line.
void cannot_write(const char *hfd, const WriteError &error, char *why, size_t size) {
  char reason[4 * PATH_MAX + 128];
  write_failure_text(hfd, error, reason, sizeof(reason));
  if (error.creating) reason[0] = (char)tolower((unsigned char)reason[0]);  // mid-sentence
  snprintf(why, size, "%s cannot be written: %s", QuotedName(hfd).text, reason[0] ? reason : "the system gave no reason.");
}

// The picture's size in samples, as a user reads it.
void describe_raw(long long bytes, char *out, size_t size) {
  const long long samples = bytes / 2;
  const long long side = (long long)llround(sqrt((double)samples));
  if (bytes % 2) snprintf(out, size, "%lld bytes, not whole 16-bit samples", bytes);
  else if (side * side == samples) snprintf(out, size, "%lld x %lld samples", side, side);
  else snprintf(out, size, "%lld samples", samples);
}

int read_raw(FILE *file, Import &im) {
  std::vector<uint16_t> batch((size_t)im.samples_x * IMPORT_BATCH_ROWS);
  for (int y0 = 0; y0 < im.samples_y; y0 += IMPORT_BATCH_ROWS) {
    const int n = im.samples_y - y0 < IMPORT_BATCH_ROWS ? im.samples_y - y0 : IMPORT_BATCH_ROWS;
    const size_t count = (size_t)n * im.samples_x;
    if (fread(batch.data(), 2, count, file) != count) return 1;
    // Little-endian words in the file: the same on this machine's order.
    for (size_t i = 0; i < count; i++) {
      const unsigned char *p = (const unsigned char *)&batch[i];
      batch[i] = (uint16_t)(p[0] | p[1] << 8);
    }
    take_rows(&im, y0, n, batch.data());
  }
  return 0;
}

}  // namespace

int read_terrain_size(const char *tfd_path, int *columns, int *rows, char *why, size_t size) {
  int32_t tfd[4];
  struct stat info;
  const int header = read_header(tfd_path, tfd, &info);
  if (header != 0 || tfd[0] < 1 || tfd[0] > MAX_TILES || tfd[1] < 1 || tfd[1] > MAX_TILES) {
    const int error = header < 0 ? errno : 0;
    char reason[96] = "";
    if (header > 0) snprintf(reason, sizeof(reason), "shorter than its %d-byte header", GRID_HEADER_BYTES);
    else if (header == 0)
      snprintf(reason, sizeof(reason), "%d x %d tiles, not 1 to %d a side", tfd[0], tfd[1], MAX_TILES);
    tile_map_failure_line(tfd_path, error, reason, why, (int)size);
    return IMPORT_REFUSED;
  }
  *columns = tfd[0];
  *rows = tfd[1];
  return IMPORT_WRITTEN;
}

int prepare_height_target(const char *tfd_path, HeightTarget *t, char *why, size_t size) {
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", tfd_path);
  derive_terrain_paths();
  snprintf(t->hfd, sizeof(t->hfd), "%s", terrain_paths.hfd_path);
  if (!t->hfd[0]) {
    snprintf(why, size, "%s: the height map's path is longer than 255 characters.", file_part(tfd_path).text);
    return IMPORT_REFUSED;
  }
  int32_t old[4] = {0, 0, 0, 0};
  struct stat info;
  t->existed = read_header(t->hfd, old, &info) == 0;
  t->field3 = t->existed ? old[2] : 0;
  t->field4 = t->existed ? old[3] : 0;
  record_file_stamp(&t->stamp, t->hfd, t->existed ? &info : nullptr);
  return IMPORT_WRITTEN;
}

int write_height_target(const HeightTarget &t, int samples_x, int samples_y, const unsigned char *words, char *why,
                        size_t size) {
  SafeFile out;
  if (safe_file_open(&out, t.hfd) != 0) {
    cannot_write(t.hfd, WriteError{out.error, out.creating}, why, size);
    return IMPORT_CANNOT_WRITE;
  }
  unsigned char head[GRID_HEADER_BYTES];
  const int32_t fields[4] = {samples_x, samples_y, t.field3, t.field4};
  for (int k = 0; k < 4; k++) put_le32(head + 4 * k, fields[k]);
  int failed = pwrite_fully(out.fd, head, sizeof(head), 0);
  if (!failed) failed = pwrite_fully(out.fd, words, 2 * (size_t)samples_x * samples_y, GRID_HEADER_BYTES);
  const int changed = !failed && t.existed && file_changed_on_disk(&t.stamp, t.hfd);
  const int committed = safe_file_commit(&out, !failed && !changed) == 0;
  if (changed) {
    snprintf(why, size, "%s changed on disk during the import; nothing written.", file_part(t.hfd).text);
    return IMPORT_CANNOT_WRITE;
  }
  if (failed || !committed) {
    cannot_write(t.hfd, WriteError{failed ? failed : out.error, 0}, why, size);
    return IMPORT_CANNOT_WRITE;
  }
  return IMPORT_WRITTEN;
}

// Opens the picture and reads its size, which must be the terrain's in
// samples: IMPORT_WRITTEN with *out open (a PNG's bits in *bits_out), else
// IMPORT_REFUSED with why said.
static int open_picture(const char *picture_path, const char *tfd_path, const Import &im, FILE **out, int *is_png,
                        int *bits_out, char *why, size_t size) {
  struct stat info;
  const int picture_fd = open_regular_file(picture_path, &info);
  if (picture_fd < 0) {
    const int error = errno;
    snprintf(why, size, "%s: cannot be read: %s.", file_part(picture_path).text, open_failure_reason(error));
    return IMPORT_REFUSED;
  }
  FILE *file = fdopen(picture_fd, "rb");
  if (!file) {
    const int error = errno;
    close(picture_fd);
    snprintf(why, size, "%s: cannot be read: %s.", file_part(picture_path).text, strerror(error));
    return IMPORT_REFUSED;
  }
  const char *ext = get_extension(picture_path);
  const int png = ustricmp(ext, "png") == 0;
  if (!png && ustricmp(ext, "r16") != 0 && ustricmp(ext, "raw") != 0) {
    fclose(file);
    snprintf(why, size, "%s: not a .png, .r16 or .raw file.", file_part(picture_path).text);
    return IMPORT_REFUSED;
  }
  int width = 0, height = 0, bits = 16;
  char found[96] = "";
  if (png) {
    GreyShape shape;
    const int looked = png_grey_size(file, &shape);
    if (looked != GREY_READ) {
      fclose(file);
      describe_png(looked, shape, found, sizeof(found));
      snprintf(why, size, "%s: %s%s", file_part(picture_path).text, found,
               looked == GREY_NOT_PNG ? "." : "; " IMPORT_ACCEPTED_TEXT);
      return IMPORT_REFUSED;
    }
    width = shape.width;
    height = shape.height;
    bits = shape.bits;
    snprintf(found, sizeof(found), "%d x %d samples", width, height);
  } else if ((long long)info.st_size == 2LL * im.samples_x * im.samples_y) {
    width = im.samples_x;
    height = im.samples_y;
  } else {
    describe_raw((long long)info.st_size, found, sizeof(found));
  }
  if (width != im.samples_x || height != im.samples_y) {
    fclose(file);
    snprintf(why, size, "%s: %s; %s needs %d x %d.", file_part(picture_path).text, found, file_part(tfd_path).text,
             im.samples_x, im.samples_y);
    return IMPORT_REFUSED;
  }
  *out = file;
  *is_png = png;
  *bits_out = bits;
  return IMPORT_WRITTEN;
}

int import_heights(const char *picture_path, const char *tfd_path, int fit, char *why, char *written,
                   size_t size) {
  why[0] = written[0] = 0;
  int columns = 0, rows = 0;
  if (read_terrain_size(tfd_path, &columns, &rows, why, size) != IMPORT_WRITTEN) return IMPORT_REFUSED;
  struct stat info;
  static Import im;
  im.samples_x = 4 * columns;
  im.samples_y = 4 * rows;
  im.fit = fit;
  im.over = 0;
  im.memory = nullptr;

  // The height map beside the tile map, its own header fields kept; as
  // read now, before the picture, which may take a while.
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "%s", tfd_path);
  derive_terrain_paths();
  const char *hfd = terrain_paths.hfd_path;
  if (!hfd[0]) {
    snprintf(why, size, "%s: the height map's path is longer than 255 characters.", file_part(tfd_path).text);
    return IMPORT_REFUSED;
  }
  int32_t old[4] = {0, 0, 0, 0};
  FileStamp stamp;
  const int existed = read_header(hfd, old, &info) == 0;
  record_file_stamp(&stamp, hfd, existed ? &info : nullptr);
  FILE *file = nullptr;
  int png = 0, bits = 16;
  if (open_picture(picture_path, tfd_path, im, &file, &png, &bits, why, size) != IMPORT_WRITTEN) return IMPORT_REFUSED;
  im.full_range = bits == 8 ? 255 : 65535;
  prepare_scale(im);
  SafeFile out;
  if (safe_file_open(&out, hfd) != 0) {
    fclose(file);
    cannot_write(hfd, WriteError{out.error, out.creating}, why, size);
    return IMPORT_CANNOT_WRITE;
  }
  im.fd = out.fd;
  unsigned char head[GRID_HEADER_BYTES];
  const int32_t fields[4] = {im.samples_x, im.samples_y, existed ? old[2] : 0, existed ? old[3] : 0};
  for (int k = 0; k < 4; k++) put_le32(head + 4 * k, fields[k]);
  im.failed = pwrite_fully(im.fd, head, sizeof(head), 0);
  int damaged;
  if (png) {
    const GreyRows rows = {take_rows, &im};
    damaged = png_grey_read(file, rows) != GREY_READ;
  } else {
    damaged = read_raw(file, im);
  }
  fclose(file);
  const int keep = !damaged && im.over == 0 && !im.failed;
  // Another program wrote it meanwhile: its work is not ours to replace.
  const int changed = keep && existed && file_changed_on_disk(&stamp, hfd);
  const int committed = safe_file_commit(&out, keep && !changed) == 0;
  if (damaged) {
    snprintf(why, size, "%s: damaged or cut short; nothing written.", file_part(picture_path).text);
    return IMPORT_REFUSED;
  }
  if (im.over > 0) {
    snprintf(why, size, "%s: %lld sample%s above 9999; nothing written (--fit MAX scales them).",
             file_part(picture_path).text, im.over, im.over == 1 ? "" : "s");
    return IMPORT_REFUSED;
  }
  if (changed) {
    snprintf(why, size, "%s changed on disk during the import; nothing written.", file_part(hfd).text);
    return IMPORT_CANNOT_WRITE;
  }
  if (im.failed || !committed) {
    cannot_write(hfd, WriteError{im.failed ? im.failed : out.error, 0}, why, size);
    return IMPORT_CANNOT_WRITE;
  }
  snprintf(written, size, "%s", hfd);
  snprintf(why, size, "Wrote %s (%d x %d samples from %s).", QuotedName(hfd).text, im.samples_x, im.samples_y,
           QuotedName(picture_path).text);
  return IMPORT_WRITTEN;
}

int read_height_picture(const char *picture_path, const char *tfd_path, int columns, int rows,
                        std::vector<uint16_t> *samples, long long *over, char *why, size_t size) {
  static Import im;
  im.samples_x = 4 * columns;
  im.samples_y = 4 * rows;
  im.fit = 0;
  im.over = 0;
  im.failed = 0;
  im.fd = -1;
  FILE *file = nullptr;
  int png = 0, bits = 16;
  if (open_picture(picture_path, tfd_path, im, &file, &png, &bits, why, size) != IMPORT_WRITTEN) return IMPORT_REFUSED;
  im.full_range = bits == 8 ? 255 : 65535;
  prepare_scale(im);
  samples->assign((size_t)im.samples_x * im.samples_y, 0);
  im.memory = samples->data();
  int damaged;
  if (png) {
    const GreyRows reader = {take_rows, &im};
    damaged = png_grey_read(file, reader) != GREY_READ;
  } else {
    damaged = read_raw(file, im);
  }
  fclose(file);
  im.memory = nullptr;
  *over = im.over;
  if (damaged) {
    snprintf(why, size, "%s: damaged or cut short; nothing changed.", file_part(picture_path).text);
    return IMPORT_REFUSED;
  }
  return IMPORT_WRITTEN;
}
