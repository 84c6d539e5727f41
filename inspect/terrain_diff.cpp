#include "inspect/terrain_diff.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "core/regular_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "core/work_threads.h"
#include "files/grid_file.h"
#include "document/open_terrain.h"
#include "files/tile_map_file.h"

namespace {

enum {
  // Tile rows per block of either pass: about 3 MB of tile records, 2 MB
  // of height samples, a pair per thread.
  DIFF_TILE_BLOCK_ROWS = 64,
  DIFF_HEIGHT_BLOCK_ROWS = 16,
  DIFF_NAME_SIZE = 4 * PATH_SIZE,
};

struct GridFile {
  int fd = -1;
  int32_t header[4] = {0, 0, 0, 0};
  long long size = 0;
  GridFile() = default;
  GridFile(const GridFile &) = delete;
  GridFile &operator=(const GridFile &) = delete;
  ~GridFile() {
    if (fd >= 0) close(fd);
  }
};

// Opens a grid file and reads its header; why not, or "" when open. *error
// (may be null) gets the system's error when it does not open, else 0.
std::string open_grid(const char *path, GridFile *g, int *error = nullptr) {
  struct stat st;
  g->fd = open_regular_file(path, &st);
  const int why = g->fd < 0 ? errno : 0;
  if (error) *error = why;
  if (g->fd < 0) return why == ENOENT ? "missing" : open_failure_reason(why);
  g->size = st.st_size;
  if (g->size < GRID_HEADER_BYTES) return "shorter than its 16-byte header";
  unsigned char bytes[GRID_HEADER_BYTES];
  read_grid_words_at(g->fd, 0, bytes, GRID_HEADER_BYTES);
  for (int i = 0; i < 4; i++)
    g->header[i] = (int32_t)((uint32_t)word_at(bytes + 4 * i) | (uint32_t)word_at(bytes + 4 * i + 2) << 16);
  return "";
}

std::string quoted(const char *name) {
  char text[DIFF_NAME_SIZE];
  quote_name(name, text, sizeof(text));
  return text;
}

std::string printed(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string printed(const char *format, ...) {
  char text[2 * DIFF_NAME_SIZE];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  return text;
}

// The words the file does not hold read as 0xFFFF, as the loaders read them.
void note_short(TerrainDiff &d, const GridFile &g, const char *path, const char *kind, long long units,
                int unit_bytes, const char *what) {
  const long long held = (g.size - GRID_HEADER_BYTES) / unit_bytes;
  if (held >= units) return;
  d.notes.push_back(printed("Warning: %s file is shorter than its size. %s %lld of %lld %s read.", kind,
                            quoted(path).c_str(), held, units, what));
}

// Each thread's pair of blocks, kept for its later blocks.
struct BlockPair {
  std::vector<unsigned char> a, b;
};

BlockPair &thread_blocks(size_t bytes) {
  thread_local BlockPair blocks;
  if (blocks.a.size() < bytes) {
    blocks.a.resize(bytes);
    blocks.b.resize(bytes);
  }
  return blocks;
}

// What one block found, joined in block order afterwards.
struct BlockFinds {
  long long count = 0;
  std::vector<DiffTile> tiles;
  std::vector<DiffHeightTile> heights;
};

// Reads both files in blocks of tile rows on every core and calls
// on_row(pa, pb, y, found) for each tile row of tile_row_bytes that differs;
// the finds come back in row order.
template <typename OnRow>
std::vector<BlockFinds> differing_rows(const GridFile &a, const GridFile &b, int ty, int block_rows,
                                       long tile_row_bytes, OnRow on_row) {
  const int blocks = (ty + block_rows - 1) / block_rows;
  std::vector<BlockFinds> finds((size_t)blocks);
  run_parts(blocks, [&](int k) {
    const int y0 = k * block_rows;
    const int rows = ty - y0 < block_rows ? ty - y0 : block_rows;
    const long bytes = rows * tile_row_bytes;
    BlockPair &block = thread_blocks((size_t)bytes);
    // File row i is the row i from the south edge.
    const long long offset = GRID_HEADER_BYTES + (long long)y0 * tile_row_bytes;
    read_grid_words_at(a.fd, offset, block.a.data(), bytes);
    read_grid_words_at(b.fd, offset, block.b.data(), bytes);
    if (memcmp(block.a.data(), block.b.data(), (size_t)bytes) == 0) return;
    for (int r = 0; r < rows; r++) {
      const unsigned char *pa = block.a.data() + r * tile_row_bytes, *pb = block.b.data() + r * tile_row_bytes;
      if (memcmp(pa, pb, (size_t)tile_row_bytes) != 0) on_row(pa, pb, y0 + r, finds[(size_t)k]);
    }
  });
  return finds;
}

void compare_tile_maps(const GridFile &a, const GridFile &b, TerrainDiff &d) {
  const int tx = d.tiles_x, ty = d.tiles_y;
  uint8_t *marks = d.marks.empty() ? nullptr : d.marks.data();
  const std::vector<BlockFinds> finds = differing_rows(
      a, b, ty, DIFF_TILE_BLOCK_ROWS, (long)tx * TILE_RECORD_BYTES,
      [&](const unsigned char *pa, const unsigned char *pb, int y, BlockFinds &found) {
        for (int x = 0; x < tx; x++, pa += TILE_RECORD_BYTES, pb += TILE_RECORD_BYTES) {
          if (memcmp(pa, pb, TILE_RECORD_BYTES) == 0) continue;
          found.count++;
          if (marks) marks[(long)(ty - 1 - y) * tx + x] |= DIFF_MARK_TILE;
          if (found.tiles.size() >= DIFF_LINES_SHOWN) continue;
          DiffTile t;
          t.x = x;
          t.y = y;
          for (int w = 0; w < DIFF_TILE_WORDS; w++) {
            t.a[w] = (uint16_t)word_at(pa + 2 * w);
            t.b[w] = (uint16_t)word_at(pb + 2 * w);
          }
          found.tiles.push_back(t);
        }
      });
  for (const BlockFinds &f : finds) {
    d.tiles_changed += f.count;
    for (const DiffTile &t : f.tiles)
      if (d.tiles.size() < DIFF_LINES_SHOWN) d.tiles.push_back(t);
  }
}

// The 4 x 4 samples of tile x in four sample rows row_bytes apart.
bool height_tile_changed(const unsigned char *pa, const unsigned char *pb, long row_bytes, int x,
                         DiffHeightTile *t) {
  int changed = 0, largest = 0;
  for (int r = 0; r < 4; r++) {
    const unsigned char *qa = pa + r * row_bytes + 8 * x, *qb = pb + r * row_bytes + 8 * x;
    if (memcmp(qa, qb, 8) == 0) continue;
    for (int c = 0; c < 4; c++) {
      const int change = (int)word_at(qb + 2 * c) - (int)word_at(qa + 2 * c);
      if (change == 0) continue;
      changed++;
      const int size = change < 0 ? -change : change, best = largest < 0 ? -largest : largest;
      if (size > best || (size == best && change > largest)) largest = change;
    }
  }
  t->changed = changed;
  t->largest = largest;
  return changed > 0;
}

void compare_height_maps(const GridFile &a, const GridFile &b, TerrainDiff &d) {
  const int tx = d.tiles_x, ty = d.tiles_y;
  const long row_bytes = 8L * tx;  // 4 samples a tile, 2 bytes each
  uint8_t *marks = d.marks.empty() ? nullptr : d.marks.data();
  // A tile row's four sample rows lie together in the file.
  const std::vector<BlockFinds> finds = differing_rows(
      a, b, ty, DIFF_HEIGHT_BLOCK_ROWS, 4 * row_bytes,
      [&](const unsigned char *pa, const unsigned char *pb, int y, BlockFinds &found) {
        for (int x = 0; x < tx; x++) {
          DiffHeightTile t;
          if (!height_tile_changed(pa, pb, row_bytes, x, &t)) continue;
          found.count++;
          if (marks) marks[(long)(ty - 1 - y) * tx + x] |= DIFF_MARK_HEIGHTS;
          if (found.heights.size() >= DIFF_LINES_SHOWN) continue;
          t.x = x;
          t.y = y;
          found.heights.push_back(t);
        }
      });
  for (const BlockFinds &f : finds) {
    d.height_tiles_changed += f.count;
    for (const DiffHeightTile &t : f.heights)
      if (d.heights.size() < DIFF_LINES_SHOWN) d.heights.push_back(t);
  }
}

// Opens a tile map; false with d.why set when it cannot be compared.
bool open_tile_map(const char *path, GridFile *g, TerrainDiff &d) {
  std::string why;
  int error = 0;
  if (strlen(path) > PATH_SIZE - 1) why = "its path is longer than 255 characters";
  else why = open_grid(path, g, &error);
  const int32_t tx = g->header[0], ty = g->header[1];
  if (why.empty() && (tx < 0 || ty < 0 || tx > MAX_TILES || ty > MAX_TILES))
    why = printed("%d x %d tiles, over %d x %d", tx, ty, MAX_TILES, MAX_TILES);
  if (why.empty()) return true;
  d.outcome = DIFF_CANNOT_READ;
  char line[2 * DIFF_NAME_SIZE];
  tile_map_failure_line(path, error, why.c_str(), line, sizeof(line));
  d.why = line;
  return false;
}

// Opens the height map beside a tile map; why it cannot be compared, or "".
std::string open_height_map(const char *tfd, const TerrainDiff &d, GridFile *g, std::string *name) {
  char path[2 * PATH_SIZE];
  sibling_path_of(tfd, SIBLING_HFD, path, sizeof(path));
  *name = quoted(path);
  if (strlen(path) > PATH_SIZE - 1) return "its path is longer than 255 characters";
  const std::string why = open_grid(path, g);
  if (!why.empty()) return why;
  const long long sx = 4LL * d.tiles_x, sy = 4LL * d.tiles_y;
  if (g->header[0] != sx || g->header[1] != sy)
    return printed("%d x %d samples, not the %lld x %lld of the tiles", g->header[0], g->header[1], sx, sy);
  return "";
}

}  // namespace

TerrainDiff diff_terrains(const char *tfd_a, const char *tfd_b, int with_marks) {
  TerrainDiff d{};
  d.outcome = DIFF_COMPARED;
  GridFile tiles_a, tiles_b;
  if (!open_tile_map(tfd_a, &tiles_a, d) || !open_tile_map(tfd_b, &tiles_b, d)) return d;
  if (tiles_a.header[0] != tiles_b.header[0] || tiles_a.header[1] != tiles_b.header[1]) {
    d.outcome = DIFF_SIZES_DIFFER;
    d.why = printed("%s is %d x %d tiles; %s is %d x %d.", quoted(tfd_a).c_str(), tiles_a.header[0],
                    tiles_a.header[1], quoted(tfd_b).c_str(), tiles_b.header[0], tiles_b.header[1]);
    return d;
  }
  d.tiles_x = tiles_a.header[0];
  d.tiles_y = tiles_a.header[1];
  const long long tiles = (long long)d.tiles_x * d.tiles_y;
  if (with_marks) d.marks.assign((size_t)tiles, DIFF_MARK_NONE);
  note_short(d, tiles_a, tfd_a, "Tile map", tiles, TILE_RECORD_BYTES, "tiles");
  note_short(d, tiles_b, tfd_b, "Tile map", tiles, TILE_RECORD_BYTES, "tiles");
  compare_tile_maps(tiles_a, tiles_b, d);

  GridFile heights_a, heights_b;
  std::string name_a, name_b;
  const std::string why_a = open_height_map(tfd_a, d, &heights_a, &name_a);
  const std::string why_b = open_height_map(tfd_b, d, &heights_b, &name_b);
  if (why_a.empty() && why_b.empty()) {
    d.heights_compared = 1;
    note_short(d, heights_a, name_a.c_str(), "Height map", 16 * tiles, 2, "samples");
    note_short(d, heights_b, name_b.c_str(), "Height map", 16 * tiles, 2, "samples");
    compare_height_maps(heights_a, heights_b, d);
  } else if (why_a.empty() || why_b.empty()) {
    const bool a_has = why_a.empty();
    d.notes.push_back(printed("Only %s has a height map (%s: %s); only the tile maps are compared.",
                              quoted(a_has ? tfd_a : tfd_b).c_str(), (a_has ? name_b : name_a).c_str(),
                              (a_has ? why_b : why_a).c_str()));
  } else {
    d.notes.push_back(printed("Neither terrain has a height map (%s: %s; %s: %s); only the tile maps are compared.",
                              name_a.c_str(), why_a.c_str(), name_b.c_str(), why_b.c_str()));
  }
  return d;
}

namespace {

int texture_number(uint16_t word) { return (int16_t)(uint16_t)(word + 1); }

// One value for the three extra words when they agree, as the editor
// gives all three one value; else each.
std::string extra_words(const uint16_t *w) {
  if (w[0] == w[1] && w[1] == w[2]) return printed("%u", w[0]);
  return printed("%u/%u/%u", w[0], w[1], w[2]);
}

}  // namespace

std::string diff_tile_line(const DiffTile &t) {
  std::string line = printed("%d, %d:", t.x, t.y);
  const char *between = " ";
  auto field = [&](const std::string &text) {
    line += between + text;
    between = ", ";
  };
  if (t.a[0] != t.b[0]) field(printed("texture %d -> %d", texture_number(t.a[0]), texture_number(t.b[0])));
  if (t.a[1] != t.b[1]) field(printed("rotation %u -> %u", t.a[1], t.b[1]));
  if (t.a[2] != t.b[2]) field(printed("tag %u -> %u", t.a[2], t.b[2]));
  if (memcmp(t.a + 3, t.b + 3, 3 * sizeof(uint16_t)) != 0)
    field("extra " + extra_words(t.a + 3) + " -> " + extra_words(t.b + 3));
  return line;
}

std::string diff_height_line(const DiffHeightTile &t) {
  return printed("%d, %d: %d sample%s changed, largest change %+d", t.x, t.y, t.changed,
                 t.changed == 1 ? "" : "s", t.largest);
}
