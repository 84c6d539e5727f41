#include "inspect/terrain_check.h"

#include <allegro.h>
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>
#include <unistd.h>

#include "core/land_table.h"
#include "core/regular_file.h"
#include "core/temp_files.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "edit/land_grid.h"
#include "inspect/land_set_check.h"
#include "files/config_lines.h"
#include "files/grid_file.h"
#include "document/open_terrain.h"
#include "files/target_areas.h"

namespace {

enum {
  CHUNK_BYTES = 1 << 20,
  LINE_SIZE = 1024,
};

struct Checker {
  const CheckOutput *output;
  int problems;
};

void emit(void (*to)(void *, const char *), void *context, const char *file, const char *format,
          va_list args) {
  char what[LINE_SIZE];
  vsnprintf(what, sizeof(what), format, args);
  char name[4 * PATH_SIZE];
  quote_name(file, name, sizeof(name));
  char line[LINE_SIZE + sizeof(name) + 2];
  snprintf(line, sizeof(line), "%s: %s", name, what);
  if (to) to(context, line);
}

void emit_problem(const CheckOutput &out, const char *file, const char *format, va_list args) {
  char what[LINE_SIZE];
  vsnprintf(what, sizeof(what), format, args);
  out.problem(out.context, file, what);
}

__attribute__((format(printf, 3, 4))) void problem(Checker &c, const char *file,
                                                   const char *format, ...) {
  va_list args;
  va_start(args, format);
  if (c.output->problem)
    emit_problem(*c.output, file, format, args);
  else
    emit(c.output->line, c.output->context, file, format, args);
  va_end(args);
  c.problems++;
}

__attribute__((format(printf, 3, 4))) void note(Checker &c, const char *file, const char *format, ...) {
  va_list args;
  va_start(args, format);
  emit(c.output->note, c.output->context, file, format, args);
  va_end(args);
}

// A problem that may repeat many times: the first few are listed.
struct Repeats {
  long count = 0;
  bool shown() { return ++count <= CHECK_REPEATS_SHOWN; }
  void summarise(Checker &c, const char *file, const char *what) {
    if (count > CHECK_REPEATS_SHOWN)
      problem(c, file, "%ld more %s", count - CHECK_REPEATS_SHOWN, what);
  }
};

// A sibling whose path is too long to be read, named by its whole name.
bool sibling_too_long(Checker &c, int sibling, const char *path) {
  if (path[0] || !terrain_paths.tfd_path[0]) return false;
  char whole[PATH_SIZE * 2], shown[PATH_CUT_SIZE];
  sibling_path(sibling, whole, sizeof(whole));
  cut_middle(whole, PATH_CUT_KEEP, shown, sizeof(shown));
  problem(c, shown, "the path is longer than %d characters, so the file is not read", PATH_SIZE - 1);
  return true;
}

// A file read whole that is over the limit, reported with its size.
bool too_large(Checker &c, const char *path) {
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= (off_t)WHOLE_FILE_LIMIT) return false;
  problem(c, path, "%lld bytes, over the %d MB a file of its kind may hold; it is not read",
          (long long)st.st_size, (int)(WHOLE_FILE_LIMIT >> 20));
  return true;
}

// Why a file is not there to read: missing, or there but unreadable and
// the system's reason, from one more try to open it.
std::string absence(const Checker &c, const char *path) {
  const int fd = open_regular_file(path);
  const int error = fd < 0 ? errno : 0;
  if (fd >= 0) close(fd);
  struct stat st;
  if (error == ENOENT && lstat(path, &st) != 0) return c.output->system_reasons ? strerror(ENOENT) : "missing";
  if (error == ENOENT) return "cannot be read: the link leads nowhere";
  return error ? std::string("cannot be read: ") + open_failure_reason(error) : "cannot be read";
}

int32_t int_at(const unsigned char *p) {
  return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

// A grid file's descriptor (positioned after its header), its four header
// words and its size; -1 when it does not open, -2 when the header is cut.
int open_grid(const char *path, int32_t header[4], long long *size) {
  struct stat st;
  const int fd = open_regular_file(path, &st);
  if (fd < 0) return -1;
  *size = st.st_size;
  unsigned char bytes[GRID_HEADER_BYTES];
  long got = 0;
  while (got < GRID_HEADER_BYTES) {
    const ssize_t n = read(fd, bytes + got, GRID_HEADER_BYTES - got);
    if (n <= 0) break;
    got += n;
  }
  if (got < GRID_HEADER_BYTES) {
    close(fd);
    return -2;
  }
  for (int i = 0; i < 4; i++) header[i] = int_at(bytes + 4 * i);
  return fd;
}

// Calls each(k, record) for every whole record of record_bytes in the rest
// of the file, k counting from 0, up to limit records.
template <typename Each>
void for_each_record(int fd, int record_bytes, long long limit, Each each) {
  static unsigned char chunk[CHUNK_BYTES];
  long long k = 0;
  long held = 0;
  while (k < limit) {
    const ssize_t n = read(fd, chunk + held, sizeof(chunk) - held);
    if (n <= 0) break;
    held += n;
    const long whole = held / record_bytes;
    for (long i = 0; i < whole && k < limit; i++, k++) each(k, chunk + i * record_bytes);
    const long used = whole * record_bytes;
    memmove(chunk, chunk + used, held - used);
    held -= used;
  }
}

// The tile map's own problems; CHECK_NO_TILE_MAP when it cannot open.
int check_tile_map(Checker &c) {
  const char *path = terrain_paths.tfd_path;
  int32_t header[4];
  long long size = 0;
  const int fd = open_grid(path, header, &size);
  if (fd == -1) {
    problem(c, path, "%s", absence(c, path).c_str());
    return CHECK_NO_TILE_MAP;
  }
  if (fd == -2) {
    problem(c, path, "%lld bytes, shorter than its %d-byte header", size, GRID_HEADER_BYTES);
    return CHECK_NO_TILE_MAP;
  }
  const int32_t tx = header[0], ty = header[1];
  if (tx < 0 || ty < 0 || tx > MAX_TILES || ty > MAX_TILES) {
    close(fd);
    problem(c, path, "%d x %d tiles: over the capacity of %d x %d", tx, ty, MAX_TILES, MAX_TILES);
    return CHECK_NO_TILE_MAP;
  }
  if (tx == 0 || ty == 0) problem(c, path, "%d x %d tiles: the terrain has no tiles", tx, ty);
  const long long expected = GRID_HEADER_BYTES + (long long)tx * ty * TILE_RECORD_BYTES;
  if (size < expected)
    problem(c, path, "%lld bytes, shorter than the %lld its header gives for %d x %d tiles", size,
            expected, tx, ty);

  Repeats bad, high;
  for_each_record(fd, TILE_RECORD_BYTES, (long long)tx * ty, [&](long long k, const unsigned char *r) {
    if ((r[3] | r[5] | r[7] | r[9] | r[11]) && high.shown()) {
      note(c, path,
           "note: tile %d,%d: high bytes set in its words (rotation 0x%04X, tag 0x%04X, extra 0x%04X "
           "0x%04X 0x%04X); Veldkit edits the low bytes and keeps the high bytes as read",
           (int)(k % tx), (int)(k / tx), r[2] | r[3] << 8, r[4] | r[5] << 8, r[6] | r[7] << 8,
           r[8] | r[9] << 8, r[10] | r[11] << 8);
    }
    const int texture = (int16_t)(uint16_t)((r[0] | r[1] << 8) + 1);
    if (texture >= 0 && texture < MAX_TEXTURES) return;
    if (bad.shown()) {
      const int x = (int)(k % tx), y = (int)(k / tx);
      problem(c, path, "tile %d,%d: texture number %d is outside 0..%d", x, y, texture,
              MAX_TEXTURES - 1);
    }
  });
  close(fd);
  if (high.count > CHECK_REPEATS_SHOWN)
    note(c, path, "note: %ld more tiles with high bytes set", high.count - CHECK_REPEATS_SHOWN);
  bad.summarise(c, path, "tiles with a texture number outside 0..511");
  return bad.count > 0 ? CHECK_NO_TILE_MAP : CHECK_CLEAN;
}

void check_height_map(Checker &c) {
  const char *path = terrain_paths.hfd_path;
  if (sibling_too_long(c, SIBLING_HFD, path)) return;
  int32_t header[4];
  long long size = 0;
  const int fd = open_grid(path, header, &size);
  if (fd == -1) {
    problem(c, path, "%s", absence(c, path).c_str());
    return;
  }
  if (fd == -2) {
    problem(c, path, "%lld bytes, shorter than its %d-byte header", size, GRID_HEADER_BYTES);
    return;
  }
  const int32_t sx = header[0], sy = header[1];
  const int32_t tx = tile_map.tiles_x, ty = tile_map.tiles_y;
  if (sx != 4 * tx || sy != 4 * ty) {
    close(fd);
    problem(c, path, "%d x %d samples; the %d x %d tiles of the tile map need %d x %d", sx, sy, tx,
            ty, 4 * tx, 4 * ty);
    return;
  }
  const long long expected = GRID_HEADER_BYTES + 2LL * sx * sy;
  if (size < expected)
    problem(c, path, "%lld bytes, shorter than the %lld its header gives for %d x %d samples", size,
            expected, sx, sy);

  Repeats high;
  for_each_record(fd, 2, (long long)sx * sy, [&](long long k, const unsigned char *r) {
    const int height = r[0] | r[1] << 8;
    if (height <= MAX_HEIGHT || !high.shown()) return;
    const int X = (int)(k % sx), Y = (int)(k / sx);
    problem(c, path, "sample %d,%d (tile %d,%d): height %d is over %d", X, Y, X / 4, Y / 4, height,
            MAX_HEIGHT);
  });
  close(fd);
  high.summarise(c, path, "samples over 9999");
}

// The texture list itself.
void check_texture_list(Checker &c) {
  const char *list = terrain_paths.data_ini_path;
  if (sibling_too_long(c, SIBLING_DATA_INI, list) || too_large(c, list)) {
  } else if (!regular_file_readable(list)) problem(c, list, "%s", absence(c, list).c_str());
  else if (texture_table.textures_declared == 0) problem(c, list, "declares no texture");
}

// The pictures the list names.
void check_texture_files(Checker &c) {
  for (int n = 1; n < MAX_TEXTURES; n++) {
    const TextureEntry &entry = texture_table.textures[n];
    if (strcmp(entry.filename, "NONE") == 0 || entry.loaded == 1) continue;
    char file[PATH_SIZE * 2 + 16];
    replace_filename(file, terrain_paths.tfd_path, entry.filename, sizeof(file));
    const std::string why = regular_file_readable(file) ? "cannot be read as a texture" : absence(c, file);
    problem(c, file, "texture %d: %s", n, why.c_str());
  }
}

// The numbers the tiles use.
void check_texture_uses(Checker &c) {
  static long uses[MAX_TEXTURES];
  static int first_x[MAX_TEXTURES], first_y[MAX_TEXTURES];
  memset(uses, 0, sizeof(uses));
  for (int x = 0; x < tile_map.tiles_x; x++) {
    const Tile *column = tile_map.tiles[x];
    for (int y = 0; y < tile_map.tiles_y; y++) {
      const int t = column[y].texture;
      if (t < 0 || t >= MAX_TEXTURES) continue;  // the loader refuses these
      // The first in the file's order: rows from the south edge, each from
      // the west. Columns come west to east, so only a lower row wins.
      const int row = tile_map.tiles_y - 1 - y;
      if (uses[t]++ == 0 || row < first_y[t]) {
        first_x[t] = x;
        first_y[t] = row;
      }
    }
  }
  for (int t = 0; t < MAX_TEXTURES; t++) {
    if (uses[t] == 0) continue;
    const TextureEntry &entry = texture_table.textures[t];
    const char *why = nullptr;
    if (t == 0 || strcmp(entry.filename, "NONE") == 0) why = "it is not declared";
    else if (entry.loaded != 1) why = "its file did not load";
    if (!why) continue;
    problem(c, terrain_paths.tfd_path, "texture %d: used by %ld tile%s (first tile %d,%d) but %s", t,
            uses[t], uses[t] == 1 ? "" : "s", first_x[t], first_y[t], why);
  }
}

bool starts_ci(const char *text, long length, const char *prefix) {
  const long n = (long)strlen(prefix);
  if (length < n) return false;
  for (long i = 0; i < n; i++) {
    const char ch = text[i] >= 'A' && text[i] <= 'Z' ? text[i] + 32 : text[i];
    if (ch != prefix[i]) return false;
  }
  return true;
}

// The number in "[TargetAreaNNN]" or "Target[NNN]..." after prefix, up to
// the closing bracket; -1 when it is not such a name. *rest is set after it.
int bracket_number(const char *name, long length, const char *prefix, long *rest) {
  if (!starts_ci(name, length, prefix)) return -1;
  long i = (long)strlen(prefix);
  int n = 0, digits = 0;
  while (i < length && name[i] >= '0' && name[i] <= '9') {
    if (n < 100000) n = n * 10 + (name[i] - '0');
    i++;
    digits++;
  }
  if (digits == 0 || i >= length || name[i] != ']') return -1;
  *rest = i + 1;
  return n;
}

// The keys one area section holds.
struct AreaKeys {
  int number = -1;  // -1: not in an area section
  bool name = false, position = false, alignment = false;
  bool type[MAX_TARGETS] = {}, offset[MAX_TARGETS] = {};
};

void report_area_keys(Checker &c, const char *path, const AreaKeys &a) {
  if (a.number < 0) return;
  if (!a.name) problem(c, path, "target area %d: no Name key", a.number);
  if (!a.position) problem(c, path, "target area %d: no Position key", a.number);
  if (!a.alignment) problem(c, path, "target area %d: no Alignment key (counts as enemy)", a.number);
  int gap = 0;
  for (int t = 1; t < MAX_TARGETS; t++) {
    if (!a.type[t]) {
      if (!gap) gap = t;
      continue;
    }
    if (gap) {
      problem(c, path, "target area %d, target %d: target %d has no Type, so it and those after it are not read",
              a.number, t, gap);
      break;
    }
    if (!a.offset[t]) problem(c, path, "target area %d, target %d: no Offset key", a.number, t);
  }
}

void check_target_sections(Checker &c, const char *path, const char *text, long size,
                           int *sections) {
  static AreaKeys area;
  area = AreaKeys();
  int previous = 0;
  *sections = 0;
  long at = 0;
  ConfigEntry entry;
  while (config_next_entry(text, size, &at, &entry)) {
    const char *name = text + entry.name;
    long rest = 0;
    if (config_is_section(text, entry)) {
      report_area_keys(c, path, area);
      area = AreaKeys();
      const int n = bracket_number(name, entry.name_length, "[targetarea", &rest);
      if (n < 0 || rest != entry.name_length) continue;
      (*sections)++;
      area.number = n;
      if (n != previous + 1)
        problem(c, path, "target area %d: section %.*s %s", n, (int)entry.name_length, name,
                previous == 0 ? "comes first, before [TargetArea001]"
                              : "is out of order");
      previous = n;
      continue;
    }
    if (area.number < 0) continue;
    const bool has_value = entry.value_length > 0;
    const long length = entry.name_length;
    if (length == 4 && starts_ci(name, length, "name")) area.name |= has_value;
    else if (length == 8 && starts_ci(name, length, "position")) area.position |= has_value;
    else if (length == 9 && starts_ci(name, length, "alignment")) area.alignment |= has_value;
    else {
      const int t = bracket_number(name, length, "target[", &rest);
      if (t < 1 || t >= MAX_TARGETS) continue;
      if (length - rest == 5 && starts_ci(name + rest, 5, ".type")) area.type[t] |= has_value;
      if (length - rest == 7 && starts_ci(name + rest, 7, ".offset")) area.offset[t] |= has_value;
    }
  }
  report_area_keys(c, path, area);
}

// Targets where they are drawn (the area's position and the target's
// offset, turned by a runway's heading, in whole metres): those on a tile
// whose texture has water, and those off the terrain. The first few of each
// by name, then how many there are.
enum { TARGET_GROUND_NAMED = 10 };
void check_target_ground(Checker &c, const char *path) {
  // At an opening in the window they are no fault that needs a box: the
  // check names them.
  if (c.output->problem != nullptr) return;
  const long long east = (long long)tile_map.tiles_x * TILE_METRES, north = (long long)tile_map.tiles_y * TILE_METRES;
  int wet = 0, off = 0;
  for (int n = 1; n <= targets.area_count && n < MAX_AREAS; n++) {
    const TargetArea &a = targets.areas[n];
    // An area off the terrain is named as such already.
    if (!(a.pos_x >= 0 && a.pos_x <= east && a.pos_y >= 0 && a.pos_y <= north)) continue;
    for (int t = 1; t <= a.target_count && t < MAX_TARGETS; t++) {
      const Target &target = a.targets[t];
      double de, dn;
      const int ground = target_ground(a, t, &de, &dn);
      if (ground == TARGET_OFF_TERRAIN) {
        if (off++ < TARGET_GROUND_NAMED)
          problem(c, path, "target area %d (%s), target %d (%s): at %.0f, %.0f metres it lies off the terrain", n,
                  a.name, t, target.type, de, dn);
        continue;
      }
      if (ground != TARGET_ON_WATER) continue;
      const int x = (int)(de / TILE_METRES), y = tile_map.tiles_y - 1 - (int)(dn / TILE_METRES);
      const int texture = tile_map.tiles[x][y].texture;
      if (wet++ < TARGET_GROUND_NAMED)
        problem(c, path, "target area %d (%s), target %d (%s): at %.0f, %.0f metres it stands on water (tile %d, %d, texture %d)",
                n, a.name, t, target.type, de, dn, x, tile_map.tiles_y - 1 - y, texture);
    }
  }
  if (wet > TARGET_GROUND_NAMED || off > TARGET_GROUND_NAMED)
    problem(c, path, "%d targets stand on water and %d lie off the terrain", wet, off);
}

void check_targets(Checker &c) {
  const char *path = terrain_paths.targets_ini_path;
  if (sibling_too_long(c, SIBLING_TARGETS_INI, path) || too_large(c, path)) return;
  long size = 0;
  char *text = read_whole_file(path, &size);
  if (!text && target_file_absent(path)) {
    note(c, path, "note: no target areas file; the terrain has no target areas");
    return;
  }
  if (!text) {
    problem(c, path, "%s", absence(c, path).c_str());
    return;
  }
  if (size == 0) {
    free(text);
    problem(c, path, "empty");
    return;
  }
  int sections = 0;
  check_target_sections(c, path, text, size, &sections);
  free(text);

  const double east = (double)tile_map.tiles_x * TILE_METRES;
  const double north = (double)tile_map.tiles_y * TILE_METRES;
  for (int n = 1; n <= targets.area_count && n < MAX_AREAS; n++) {
    const TargetArea &a = targets.areas[n];
    if (a.pos_x >= 0 && a.pos_x <= east && a.pos_y >= 0 && a.pos_y <= north) continue;
    problem(c, path, "target area %d (%s): position %g, %g lies outside the terrain (0..%g, 0..%g metres)",
            n, a.name, a.pos_x, a.pos_y, east, north);
  }
  if (sections > targets.area_count)
    problem(c, path, "only %d of the %d target areas are read", targets.area_count, sections);
  check_target_ground(c, path);
}

// The lands file's own problems, each with its section and line.
void check_land_file(Checker &c) {
  for (const LandProblem &p : lands.problems) problem(c, terrain_paths.lands_ini_path, "%s", p.what.c_str());
}

// The map against the lands: edges whose corners two tiles tell apart,
// textures in use without corners, and corners the land grid asks of a
// tile that no texture shows. Reads the land grid afresh.
void check_land_map(Checker &c) {
  if (!lands_in_use()) return;
  const char *tfd = terrain_paths.tfd_path, *file = terrain_paths.lands_ini_path;
  const int columns = map_columns(), rows = map_rows();
  auto name = [](LandCorners k, int corner) { return lands.lands[corner_land(k, corner)].name; };
  Repeats edges;
  static long uses[MAX_TEXTURES];
  static int first_x[MAX_TEXTURES], first_y[MAX_TEXTURES];
  memset(uses, 0, sizeof(uses));
  for (int x = 0; x < columns; x++)
    for (int y = 0; y < rows; y++) {
      const Tile &tile = tile_map.tiles[x][y];
      const LandCorners k = tile_said_corners(tile);
      if (!k) {
        const int t = tile.texture;
        if (t > 0 && t < MAX_TEXTURES && uses[t]++ == 0) first_x[t] = x, first_y[t] = rows - 1 - y;
        continue;
      }
      // Places as the strip counts them: rows from the south edge.
      const int row = rows - 1 - y;
      const LandCorners e = x + 1 < columns ? tile_said_corners(tile_map.tiles[x + 1][y]) : 0;
      if (e && (corner_land(k, 1) != corner_land(e, 0) || corner_land(k, 2) != corner_land(e, 3)) && edges.shown())
        problem(c, tfd, "%d, %d: east edge %s, %s against %s, %s of %d, %d", x, row, name(k, 1), name(k, 2),
                name(e, 0), name(e, 3), x + 1, row);
      const LandCorners n = y > 0 ? tile_said_corners(tile_map.tiles[x][y - 1]) : 0;
      if (n && (corner_land(k, 0) != corner_land(n, 3) || corner_land(k, 1) != corner_land(n, 2)) && edges.shown())
        problem(c, tfd, "%d, %d: north edge %s, %s against %s, %s of %d, %d", x, row, name(k, 0), name(k, 1),
                name(n, 3), name(n, 2), x, row + 1);
    }
  edges.summarise(c, tfd, "tile edges whose corners disagree");
  Repeats bare;
  for (int t = 1; t < MAX_TEXTURES; t++)
    if (uses[t] && bare.shown())
      problem(c, file, "texture %d has no Corners, but %ld %s it (first tile %d, %d)", t, uses[t],
              uses[t] == 1 ? "tile uses" : "tiles use", first_x[t], first_y[t]);
  bare.summarise(c, file, "textures in use without Corners");

  read_land_grid();
  struct Need {
    long tiles;
    int x, y;
  };
  std::unordered_map<LandCorners, Need> needs;
  std::vector<LandCorners> order;
  for (int x = 0; x < columns; x++)
    for (int y = 0; y < rows; y++) {
      const LandCorners want = grid_corners(x, y);
      uint32_t count;
      uint64_t total;
      if (!corners_known(want) || land_candidates(want, &count, &total)) continue;
      Need &need = needs[want];
      if (need.tiles++ == 0) {
        need.x = x, need.y = rows - 1 - y;
        order.push_back(want);
      }
    }
  Repeats missing;
  for (LandCorners k : order)
    if (missing.shown())
      problem(c, file, "no texture has the corners %s, which %ld %s (first tile %d, %d)",
              land_corner_names(k).c_str(), needs[k].tiles, needs[k].tiles == 1 ? "tile needs" : "tiles need",
              needs[k].x, needs[k].y);
  missing.summarise(c, file, "corner combinations that no texture has");
}

// The pictures of a land set whose edges no longer meet the set's others.
void check_land_set(Checker &c) {
  if (!lands_in_use()) return;
  Repeats seams;
  for (const SeamProblem &p : land_set_seams(terrain_paths.tfd_path))
    if (seams.shown()) problem(c, p.file.c_str(), "%s", p.what.c_str());
  seams.summarise(c, terrain_paths.lands_ini_path, "land set pictures whose edges do not meet");
}

// name is "<stem>.<letters><ending>" with count letters or digits.
bool temp_name_of(const char *name, int count, const char *ending, std::string *stem) {
  const size_t length = strlen(name), tail = strlen(ending) + (size_t)count + 1;
  if (length <= tail || strcmp(name + length - strlen(ending), ending) != 0) return false;
  const char *letters = name + length - tail;
  if (letters[0] != '.') return false;
  for (int i = 1; i <= count; i++)
    if (!isalnum((unsigned char)letters[i])) return false;
  *stem = std::string(name, length - tail);
  return true;
}

// Temporary files of this terrain that a save or an export cut off by a
// kill or a power loss left behind: saves write beside the maps, exports
// into the working folder, each under at most the first TEMP_NAME_KEEP
// bytes of its name.
void list_leftovers(Checker &c) {
  const char *tfd_name = get_filename(terrain_paths.tfd_path);
  const char *hfd_name = get_filename(terrain_paths.hfd_path);
  char base[PATH_SIZE];
  replace_extension(base, tfd_name, "", sizeof(base));
  const size_t dot = strlen(base);
  if (dot > 0 && base[dot - 1] == '.') base[dot - 1] = 0;
  const std::string export_prefix = std::string(base) + "_";

  char folder[PATH_SIZE];
  snprintf(folder, sizeof(folder), "%.*s", (int)(tfd_name - terrain_paths.tfd_path), terrain_paths.tfd_path);
  const char *folders[2] = {folder[0] ? folder : "./", "./"};
  struct stat first_folder = {};
  for (int f = 0; f < 2; f++) {
    struct stat st;
    if (stat(folders[f], &st) != 0) continue;
    if (f == 1 && st.st_dev == first_folder.st_dev && st.st_ino == first_folder.st_ino) break;
    if (f == 0) first_folder = st;
    DIR *dir = opendir(folders[f]);
    if (!dir) continue;
    std::vector<std::string> found[2];
    while (const dirent *e = readdir(dir)) {
      std::string stem;
      if (temp_name_of(e->d_name, 12, ".saving", &stem) &&
          (stem == std::string(tfd_name).substr(0, TEMP_NAME_KEEP) ||
           (hfd_name[0] && stem == std::string(hfd_name).substr(0, TEMP_NAME_KEEP))))
        found[0].push_back(e->d_name);
      else if (temp_name_of(e->d_name, 16, ".part", &stem) &&
               (stem.compare(0, export_prefix.size(), export_prefix) == 0 ||
                (stem.size() == TEMP_NAME_KEEP && export_prefix.compare(0, TEMP_NAME_KEEP, stem) == 0)))
        found[1].push_back(e->d_name);
    }
    closedir(dir);
    for (int kind = 0; kind < 2; kind++) {
      std::sort(found[kind].begin(), found[kind].end());
      for (const std::string &name : found[kind]) {
        const std::string path = (strcmp(folders[f], "./") == 0 ? std::string() : std::string(folders[f])) + name;
        note(c, path.c_str(), "note: left by %s that was cut off (Veldkit killed, or the power lost); it may be deleted",
             kind == 0 ? "a save" : "an export");
      }
    }
  }
}

}  // namespace

int targets_on_water_to_tell() {
  int wet = 0;
  for (int n = 1; n <= targets.area_count && n < MAX_AREAS; n++) {
    const TargetArea &a = targets.areas[n];
    bool bridge = false;
    for (int t = 1; t <= a.target_count && t < MAX_TARGETS && !bridge; t++) bridge = lower_case(a.targets[t].type).find("bridge") != std::string::npos;
    for (int t = 1; t <= a.target_count && t < MAX_TARGETS && !bridge; t++) {
      double e, north;
      wet += target_ground(a, t, &e, &north) == TARGET_ON_WATER;
    }
  }
  return wet;
}


int check_terrain(const CheckOutput &output, int *problems) {
  Checker c = {&output, 0};
  derive_terrain_paths();
  int outcome = check_tile_map(c);
  if (outcome == CHECK_CLEAN) {
    OpenReport report;
    if (open_terrain_files(1, nullptr, &report) == OPEN_NO_TILE_MAP) {
      problem(c, terrain_paths.tfd_path, "cannot be read");
      outcome = CHECK_NO_TILE_MAP;
    } else {
      if (report.outcome == OPEN_NO_TEXTURES)
        problem(c, terrain_paths.data_ini_path, "not enough memory for the textures");
      check_height_map(c);
      check_texture_list(c);
      check_texture_files(c);
      check_texture_uses(c);
      check_targets(c);
      check_land_file(c);
      check_land_map(c);
      check_land_set(c);
    }
  }
  if (outcome != CHECK_NO_TILE_MAP || terrain_paths.tfd_path[0]) list_leftovers(c);
  if (problems) *problems = c.problems;
  if (outcome == CHECK_NO_TILE_MAP) return outcome;
  return c.problems > 0 ? CHECK_PROBLEMS : CHECK_CLEAN;
}

int check_opened_subject(int subject, const CheckOutput &output) {
  Checker c = {&output, 0};
  switch (subject) {
    case SUBJECT_TILE_MAP: check_tile_map(c); break;
    case SUBJECT_HEIGHT_MAP: check_height_map(c); break;
    case SUBJECT_TEXTURE_LIST: check_texture_list(c); break;
    case SUBJECT_TEXTURE_FILES: check_texture_files(c); break;
    case SUBJECT_TEXTURE_USES: check_texture_uses(c); break;
    case SUBJECT_TARGETS: check_targets(c); break;
    case SUBJECT_LANDS: check_land_file(c); break;
    default: break;
  }
  return c.problems;
}
