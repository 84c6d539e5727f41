#include "document/journal/journal_records.h"

#include <climits>
#include <cmath>
#include <zlib.h>


namespace journal_records {

uint64_t fnv(uint64_t h, const uint8_t *p, size_t n) {
  for (size_t k = 0; k < n; k++) h = (h ^ p[k]) * 1099511628211ULL;
  return h;
}

void put_stamp(Bytes &b, const JournalStamp &s) {
  b.put<uint8_t>((uint8_t)s.known);
  b.put<int64_t>(s.size), b.put<int64_t>(s.seconds), b.put<int64_t>(s.nanoseconds), b.put<uint64_t>(s.hash);
}

JournalStamp get_stamp(Reader &r) {
  JournalStamp s;
  s.known = r.get<uint8_t>();
  s.size = r.get<int64_t>(), s.seconds = r.get<int64_t>(), s.nanoseconds = r.get<int64_t>(), s.hash = r.get<uint64_t>();
  return s;
}

bool same_stamp(const JournalStamp &a, const JournalStamp &b) {
  return a.known == b.known && (!a.known || (a.size == b.size && a.seconds == b.seconds &&
                                             a.nanoseconds == b.nanoseconds && a.hash == b.hash));
}

void put_region_head(Bytes &b, const ChangedPlaces &p, long long n) {
  if (p.list) {
    b.put<uint8_t>(REGION_LIST);
    b.put<uint64_t>((uint64_t)p.listed);
    b.put_bytes(p.list, (size_t)p.listed * 4);
    return;
  }
  if (n == 0) {
    b.put<uint8_t>(REGION_NONE);
    return;
  }
  b.put<uint8_t>(REGION_RECT);
  b.put<int32_t>(p.left), b.put<int32_t>(p.top), b.put<int32_t>(p.right), b.put<int32_t>(p.bottom);
  const size_t columns = (size_t)(p.right - p.left + 1), rows = (size_t)(p.bottom - p.top + 1);
  const size_t column_bits = p.column_bits ? p.column_bits : rows;
  const size_t words = p.mask ? ((columns - 1) * column_bits + rows + 63) / 64 : 0;
  b.put<uint64_t>(column_bits), b.put<uint64_t>(words);
  b.put_bytes(p.mask, words * 8);
}

static_assert(sizeof(Tile) == 8 && offsetof(Tile, rotation) == 2 && offsetof(Tile, tag) == 3 &&
                  offsetof(Tile, extra) == 4,
              "the table's layout in the journal");

// The tiles' values now at the places.
void put_tiles(Bytes &b, const ChangedPlaces &p, bool alone) {
  const Columns cols(p);
  const long long n = cols.total();
  put_region_head(b, p, n);
  if (n == 0) return;
  const bool table = !p.mask && n > GATHER_ALONE;
  b.put<uint8_t>(table ? TILES_AS_TABLE : TILES_AS_PLANES);
  if (table) {
    uint8_t *out = b.grow((size_t)n * sizeof(Tile));
    over_columns(cols.columns(), n, alone, [&](int c0, int c1) {
      for (int c = c0; c < c1; c++)
        memcpy(out + sizeof(Tile) * (size_t)cols.start[(size_t)c], tile_map.tiles[p.left + c] + p.top,
               cols.rows * sizeof(Tile));
    });
    return;
  }
  uint8_t *texture = b.grow((size_t)n * TILE_BYTES);
  uint8_t *rotation = texture + 2 * n, *tag = rotation + n, *extra = tag + n;
  over_columns(cols.columns(), n, alone, [&](int c0, int c1) {
    for (int c = c0; c < c1; c++) {
      const Tile *column = tile_map.tiles[p.left + c] + p.top;
      cols.each(c, [&](size_t y, long long k) {
        const Tile &t = column[y];
        memcpy(texture + 2 * k, &t.texture, 2);
        rotation[k] = t.rotation, tag[k] = t.tag;
        extra[k] = t.extra[0], extra[n + k] = t.extra[1], extra[2 * n + k] = t.extra[2];
      });
    }
  });
}

void put_samples(Bytes &b, const ChangedPlaces &p, bool alone) {
  if (p.list) {
    put_region_head(b, p, p.listed);
    uint8_t *out = b.grow((size_t)p.listed * 2);
    for (long long k = 0; k < p.listed; k++)
      memcpy(out + 2 * k, &height_map.heights[p.list[k] / MAX_SAMPLES][p.list[k] % MAX_SAMPLES], 2);
    return;
  }
  const Columns cols(p);
  const long long n = cols.total();
  put_region_head(b, p, n);
  if (n == 0) return;
  uint8_t *out = b.grow((size_t)n * 2);
  over_columns(cols.columns(), n, alone, [&](int c0, int c1) {
    for (int c = c0; c < c1; c++) {
      const uint16_t *column = height_map.heights[p.left + c] + p.top;
      if (!p.mask) {
        memcpy(out + 2 * cols.start[(size_t)c], column, cols.rows * 2);
        continue;
      }
      cols.each(c, [&](size_t y, long long k) { memcpy(out + 2 * k, column + y, 2); });
    }
  });
}

// Mask bytes of a rectangle at most columns x rows, a column's bits at most 63 past its rows.
uint64_t mask_bytes(uint64_t columns, uint64_t rows) { return 8 * ((columns * (rows + 63) + 63) / 64 + 1); }

Limits limits_now() {
  Limits l;
  l.columns = std::clamp(map_columns(), 0, (int)MAX_TILES);
  l.rows = std::clamp(map_rows(), 0, (int)MAX_TILES);
  const bool heights = height_map.heights_loaded > 0;
  // Height edits are a tile's samples: none lie past the tiles.
  l.samples_x = heights ? std::clamp(height_map.samples_x, 0, 4 * l.columns) : 0;
  l.samples_y = heights ? std::clamp(height_map.samples_y, 0, 4 * l.rows) : 0;
  l.declared_list = texture_table.textures_declared > 0;
  const uint64_t tiles = (uint64_t)l.columns * l.rows, samples = (uint64_t)l.samples_x * l.samples_y;
  l.max_raw = 34 + mask_bytes(l.columns, l.rows) + sizeof(Tile) * tiles + 33 + mask_bytes(l.samples_x, l.samples_y) +
              6 * samples;
  // Deflated, a step can come out a little longer than its raw bytes.
  const uint64_t step = STEP_BODY + l.max_raw + l.max_raw / 256 + 64;
  l.max_payload = (uint32_t)std::clamp<uint64_t>(step, 256 * 1024, UINT32_MAX);
  return l;
}

// Reads a region's places; false when one lies outside the map or a length
// is more than the rectangle needs. Nothing is applied yet.
bool read_region(Reader &r, bool tiles, const Limits &lim, RegionRead &g) {
  g.kind = r.get<uint8_t>();
  if (r.bad) return false;
  if (g.kind == REGION_NONE) return true;
  const int columns = tiles ? lim.columns : lim.samples_x, rows = tiles ? lim.rows : lim.samples_y;
  if (g.kind == REGION_LIST) {
    const uint64_t n = r.get<uint64_t>();
    if (tiles || r.bad || n > (uint64_t)columns * rows || n > (uint64_t)(r.end - r.p) / 6) return false;
    g.n = (long long)n;
    g.places = r.take(n * 4), g.values = r.take(n * 2);
    if (r.bad) return false;
    for (uint64_t k = 0; k < n; k++) {
      uint32_t place;
      memcpy(&place, g.places + 4 * k, 4);
      const int x = (int)(place / MAX_SAMPLES), y = (int)(place % MAX_SAMPLES);
      if (x >= columns || y >= rows) return false;
      if (k == 0) g.bounds[0] = g.bounds[2] = x, g.bounds[1] = g.bounds[3] = y;
      g.bounds[0] = std::min(g.bounds[0], x), g.bounds[2] = std::max(g.bounds[2], x);
      g.bounds[1] = std::min(g.bounds[1], y), g.bounds[3] = std::max(g.bounds[3], y);
    }
    return true;
  }
  if (g.kind != REGION_RECT) return false;
  ChangedPlaces &p = g.p;
  p.left = r.get<int32_t>(), p.top = r.get<int32_t>(), p.right = r.get<int32_t>(), p.bottom = r.get<int32_t>();
  const uint64_t column_bits = r.get<uint64_t>(), words = r.get<uint64_t>();
  if (r.bad || p.left < 0 || p.top < 0 || p.right < p.left || p.bottom < p.top || p.right >= columns ||
      p.bottom >= rows)
    return false;
  const uint64_t width = (uint64_t)(p.right - p.left + 1), height = (uint64_t)(p.bottom - p.top + 1);
  if (column_bits < height || column_bits > height + 63) return false;
  if (words && words != ((width - 1) * column_bits + height + 63) / 64) return false;
  if (words > (uint64_t)(r.end - r.p) / 8) return false;
  g.mask.resize(words);
  const uint8_t *m = r.take(words * 8);
  if (r.bad) return false;
  if (words) memcpy(g.mask.data(), m, words * 8);
  p.mask = words ? g.mask.data() : nullptr;
  p.column_bits = column_bits;
  const Columns cols(p);
  g.n = cols.total();
  g.layout = tiles ? r.get<uint8_t>() : (uint8_t)TILES_AS_PLANES;
  if (r.bad || g.layout > TILES_AS_TABLE) return false;
  const size_t each = !tiles ? 2 : g.layout == TILES_AS_TABLE ? sizeof(Tile) : (size_t)TILE_BYTES;
  if ((uint64_t)g.n > (uint64_t)(r.end - r.p) / each) return false;
  g.values = r.take((size_t)g.n * each);
  g.bounds[0] = p.left, g.bounds[1] = p.top, g.bounds[2] = p.right, g.bounds[3] = p.bottom;
  return !r.bad;
}

int16_t texture_of(const RegionRead &g, long long k) {
  int16_t t;
  memcpy(&t, g.values + (g.layout == TILES_AS_TABLE ? sizeof(Tile) * k : 2 * k), 2);
  return t;
}

// 1 when every value is one the map may hold: textures 0..511, heights
// 0..9999 (rotation, tag and extras fill their bytes whatever they are).
bool values_fit(const RegionRead &g, bool tiles) {
  for (long long k = 0; k < g.n; k++) {
    if (tiles) {
      const int t = texture_of(g, k);
      if (t < 0 || t >= MAX_TEXTURES) return false;
    } else {
      uint16_t h;
      memcpy(&h, g.values + 2 * k, 2);
      if (h > MAX_HEIGHT) return false;
    }
  }
  return true;
}

// The texture a tile takes from an edit, told when the list does not declare it.
void tell_texture(JournalFound &found, const Limits &lim, int was, int t) {
  if (!lim.declared_list || t == was || declared_texture_name(t)) return;
  if (found.undeclared++ == 0) found.undeclared_texture = t;
}

// Puts a checked region's values on the map.
void apply_region(const RegionRead &g, bool tiles, const Limits &lim, JournalFound &found) {
  if (g.kind == REGION_NONE) return;
  if (g.kind == REGION_LIST) {
    for (long long k = 0; k < g.n; k++) {
      uint32_t place;
      memcpy(&place, g.places + 4 * k, 4);
      memcpy(&height_map.heights[place / MAX_SAMPLES][place % MAX_SAMPLES], g.values + 2 * k, 2);
    }
    return;
  }
  const Columns cols(g.p);
  const long long n = g.n;
  const uint8_t *values = g.values;
  for (int c = 0; c < cols.columns(); c++) {
    if (tiles && g.layout == TILES_AS_TABLE) {
      Tile *column = tile_map.tiles[g.p.left + c] + g.p.top;
      cols.each(c, [&](size_t y, long long k) {
        const uint8_t *v = values + sizeof(Tile) * k;
        Tile &t = column[y];
        const int was = t.texture;
        memcpy(&t.texture, v, 2);
        t.rotation = v[2], t.tag = v[3];
        memcpy(t.extra, v + 4, 3);
        tell_texture(found, lim, was, t.texture);
      });
    } else if (tiles) {
      Tile *column = tile_map.tiles[g.p.left + c] + g.p.top;
      const uint8_t *rotation = values + 2 * n, *tag = rotation + n, *extra = tag + n;
      cols.each(c, [&](size_t y, long long k) {
        Tile &t = column[y];
        const int was = t.texture;
        memcpy(&t.texture, values + 2 * k, 2);
        t.rotation = rotation[k], t.tag = tag[k];
        t.extra[0] = extra[k], t.extra[1] = extra[n + k], t.extra[2] = extra[2 * n + k];
        tell_texture(found, lim, was, t.texture);
      });
    } else {
      uint16_t *column = height_map.heights[g.p.left + c] + g.p.top;
      cols.each(c, [&](size_t y, long long k) { memcpy(column + y, values + 2 * k, 2); });
    }
  }
}

void add_bounds(int *into, const int *b) {
  if (b[2] < b[0]) return;
  if (into[2] < into[0]) {
    memcpy(into, b, 4 * sizeof(int));
    return;
  }
  into[0] = std::min(into[0], b[0]), into[1] = std::min(into[1], b[1]);
  into[2] = std::max(into[2], b[2]), into[3] = std::max(into[3], b[3]);
}

// The target areas as a chain of states: a hash of each area as the file
// holds it, and of the whole list. A target record holds the list's hash
// before and after its change, so that it is applied only to the state it
// was made on: a save, another program's change of the file or a record
// left out breaks the chain, and the areas stay as they are.
uint64_t mix(uint64_t x) {
  x ^= x >> 30, x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27, x *= 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

uint64_t hash_float(uint64_t h, float v) {
  if (v == 0) v = 0;  // -0 reads back as 0
  uint32_t bits;
  memcpy(&bits, &v, 4);
  return fnv(h, (const uint8_t *)&bits, 4);
}

uint64_t hash_int(uint64_t h, int32_t v) { return fnv(h, (const uint8_t *)&v, 4); }

uint64_t area_hash(const TargetArea &a) {
  uint64_t h = fnv(14695981039346656037ULL, (const uint8_t *)a.name, strnlen(a.name, NAME_SIZE));
  h = hash_float(hash_float(h, a.pos_x), a.pos_y);
  h = hash_int(hash_int(h, a.enemy), a.target_count);
  for (int t = 1; t <= a.target_count && t < MAX_TARGETS; t++) {
    const Target &x = a.targets[t];
    h = fnv(hash_int(h, -1), (const uint8_t *)x.type, strnlen(x.type, NAME_SIZE));
    h = hash_float(hash_float(hash_int(h, x.heading), x.file_offset_x), x.file_offset_y);
  }
  return h;
}

void put_text(Bytes &b, const char *s) {
  const size_t n = strnlen(s, NAME_SIZE - 1);
  b.put<uint8_t>((uint8_t)n);
  b.put_bytes(s, n);
}

void put_area(Bytes &b, const TargetArea &a) {
  put_text(b, a.name);
  b.put<float>(a.pos_x), b.put<float>(a.pos_y);
  b.put<int32_t>(a.enemy), b.put<int32_t>(a.file_number);
  const int count = std::clamp((int)a.target_count, 0, MAX_TARGETS - 1);
  b.put<uint16_t>((uint16_t)count);
  for (int t = 1; t <= count; t++) {
    const Target &x = a.targets[t];
    put_text(b, x.type);
    b.put<int32_t>(x.heading), b.put<float>(x.file_offset_x), b.put<float>(x.file_offset_y);
    b.put<int32_t>(x.file_number);
  }
}

// A name or type as a line of the file can hold it.
bool get_text(Reader &r, char *out) {
  const uint8_t n = r.get<uint8_t>();
  const uint8_t *s = r.take(n);
  if (r.bad || n >= NAME_SIZE) return false;
  for (int k = 0; k < n; k++)
    if (s[k] < 0x20 || s[k] == 0x7f) return false;
  memcpy(out, s, n);
  out[n] = 0;
  return true;
}

// An area as the reader of the target file could have made it.
bool get_area(Reader &r, TargetArea &a) {
  if (!get_text(r, a.name)) return false;
  a.pos_x = r.get<float>(), a.pos_y = r.get<float>();
  a.enemy = r.get<int32_t>(), a.file_number = r.get<int32_t>();
  const int count = r.get<uint16_t>();
  if (r.bad || !std::isfinite(a.pos_x) || !std::isfinite(a.pos_y) || (a.enemy != 0 && a.enemy != 1) ||
      a.file_number < 0 || a.file_number >= MAX_AREAS || count >= MAX_TARGETS)
    return false;
  for (int t = 1; t <= count; t++) {
    Target &x = a.targets[t];
    if (!get_text(r, x.type)) return false;
    x.heading = r.get<int32_t>(), x.file_offset_x = r.get<float>(), x.file_offset_y = r.get<float>();
    x.file_number = r.get<int32_t>();
    if (r.bad || x.heading < 0 || x.heading > 359 || !std::isfinite(x.file_offset_x) ||
        !std::isfinite(x.file_offset_y) || x.file_number < 0 || x.file_number >= MAX_TARGETS)
      return false;
    x.offset_x = x.file_offset_x, x.offset_y = x.file_offset_y;
  }
  a.target_count = count;
  a.reach_known = 0;
  a.runway_number = area_runway_number(a);
  turn_area_targets(a);
  return true;
}

// A framed record: magic, length, checksum of the payload, the payload.
void frame(const uint8_t *payload, size_t n, Bytes &out) {
  out.put<uint32_t>(RECORD_MAGIC);
  out.put<uint32_t>((uint32_t)n);
  out.put<uint32_t>((uint32_t)crc32(0, payload, (uInt)n));
  out.put_bytes(payload, n);
}

}  // namespace journal_records
