// The file formats' manual page against the program: grid files put
// together by following the page's byte layouts literally read back as the
// page says, and the keys it lists are the keys the readers look for.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/terrain_model.h"
#include "files/grid_file.h"
#include "files/height_map_file.h"
#include "files/tile_map_file.h"
#include "tests/unit/harness.h"

namespace {

const std::string &page() {
  static const std::string text = source_file("resources/desktop/veldkit-terrain.5");
  return text;
}

// The page's lines after its comment ".\" NAME", up to end.
std::vector<std::string> block(const std::string &name, const std::string &end) {
  const size_t at = page().find(".\\\" " + name);
  EXPECT_NE(std::string::npos, at) << name;
  std::istringstream lines(page().substr(at, page().find(end, at) - at));
  std::vector<std::string> out;
  for (std::string line; std::getline(lines, line);) out.push_back(line);
  return out;
}

// A layout's rows, "FIRST\-LAST  what the bytes hold".
struct Field {
  int first, last;
  std::string what;
};

std::vector<Field> layout(const std::string &name) {
  std::vector<Field> fields;
  for (const std::string &line : block("layout: " + name, ".fi")) {
    int first, last, what = 0;
    if (sscanf(line.c_str(), "%d\\-%d %n", &first, &last, &what) == 2 && what > 0)
      fields.push_back({first, last, line.substr((size_t)what)});
  }
  EXPECT_FALSE(fields.empty()) << name;
  return fields;
}

// The bytes a layout spans; its rows must follow one another from 0.
int bytes_of(const std::vector<Field> &fields) {
  int next = 0;
  for (const Field &f : fields) {
    EXPECT_EQ(next, f.first) << f.what;
    next = f.last + 1;
  }
  return next;
}

// Puts value little-endian into the field whose description begins with what.
void put(std::vector<unsigned char> &bytes, size_t base, const std::vector<Field> &fields, const std::string &what,
         long value) {
  for (const Field &f : fields) {
    if (f.what.rfind(what, 0) != 0) continue;
    for (int b = f.first; b <= f.last; b++) bytes[base + b] = (unsigned char)(value >> (8 * (b - f.first)));
    return;
  }
  ADD_FAILURE() << "the page names no field \"" << what << "\"";
}

TEST(FileFormats, GridFilesLaidOutAsThePageSaysReadAsItSays) {
  reset_program_state();
  TempDir dir;
  const std::vector<Field> header = layout("TFD header"), record = layout("TFD record");
  const std::vector<Field> hfd_header = layout("HFD header"), sample = layout("HFD sample");
  ASSERT_EQ(GRID_HEADER_BYTES, bytes_of(header));
  ASSERT_EQ(GRID_HEADER_BYTES, bytes_of(hfd_header));
  const int head = bytes_of(header), size = bytes_of(record), tx = 3, ty = 2;

  // Records row by row from the south edge, each row from the west.
  std::vector<unsigned char> tfd((size_t)(head + tx * ty * size));
  put(tfd, 0, header, "columns", tx);
  put(tfd, 0, header, "rows", ty);
  put(tfd, 0, header, "kept: read", 1234567);
  put(tfd, 0, header, "kept: the same", -2);
  for (int k = 0; k < tx * ty; k++) {
    const size_t base = (size_t)(head + k * size);
    put(tfd, base, record, "texture", 500 + k - 1);  // one less than shown
    put(tfd, base, record, "rotation", k % 4);
    put(tfd, base, record, "tag", k % 3);
    for (int e = 0; e < 3; e++) put(tfd, base, record, "extra " + std::to_string(e + 1), 10 * k + e);
  }
  write_file(dir.file("T.TFD"), tfd);
  ASSERT_EQ(RESULT_OK, load_tile_map(dir.file("T.TFD").c_str(), nullptr));
  EXPECT_EQ(tx, map_columns());
  EXPECT_EQ(ty, map_rows());
  EXPECT_EQ(1234567, tile_map.header3);
  EXPECT_EQ(-2, tile_map.header4);
  for (int k = 0; k < tx * ty; k++) {
    // The model keeps the north row first.
    const Tile &tile = tile_at(k % tx, ty - 1 - k / tx);
    EXPECT_EQ(500 + k, tile.texture) << k;
    EXPECT_EQ(k % 4, tile.rotation) << k;
    EXPECT_EQ(k % 3, tile.tag) << k;
    for (int e = 0; e < 3; e++) EXPECT_EQ(10 * k + e, tile.extra[e]) << k;
  }

  // Samples, 4 x 4 a tile, row by row from the south edge.
  const int sx = 4 * tx, sy = 4 * ty, word = bytes_of(sample);
  std::vector<unsigned char> hfd((size_t)(head + sx * sy * word));
  put(hfd, 0, hfd_header, "sample columns", sx);
  put(hfd, 0, hfd_header, "sample rows", sy);
  for (int k = 0; k < sx * sy; k++) put(hfd, (size_t)(head + k * word), sample, "height", 9999 - 7 * k);
  write_file(dir.file("T.hfd"), hfd);
  ASSERT_EQ(RESULT_OK, load_height_map(dir.file("T.hfd").c_str(), nullptr));
  for (int k = 0; k < sx * sy; k++) EXPECT_EQ(9999 - 7 * k, height_map.heights[k % sx][sy - 1 - k / sx]) << k;
  reset_program_state();
}

// The key names of a list of the page, lower case.
std::set<std::string> page_keys(const std::string &file) {
  std::set<std::string> keys;
  for (const std::string &line : block("keys: " + file, ".PP")) {
    if (line.rfind(".B ", 0) != 0) continue;
    std::string key = line.substr(3);
    for (char &c : key) c = (char)tolower((unsigned char)c);
    keys.insert(key);
  }
  return keys;
}

// The names the source compares with, "NAME" right after before, lower
// case; names that are not whole words are prefixes of others.
std::set<std::string> found(const std::string &source, const std::string &before) {
  std::set<std::string> out;
  for (size_t at = source.find(before); at != std::string::npos; at = source.find(before, at + 1)) {
    const size_t start = at + before.size(), end = source.find('"', start);
    std::string name = source.substr(start, end - start);
    bool word = !name.empty();
    for (char &c : name) {
      word = word && isalnum((unsigned char)c);
      c = (char)tolower((unsigned char)c);
    }
    if (word) out.insert(name);
  }
  return out;
}

TEST(FileFormats, ThePageListsTheKeysTheReadersLookFor) {
  const std::string description = source_file("files/terrain_description.cpp");
  EXPECT_EQ(found(description, "config_name_is(text, entry, \""), page_keys("_DATA.ini"));

  const std::string targets = source_file("files/target_areas.cpp");
  std::set<std::string> keys = found(targets, "ascii_equal_ci(name, \"");
  const size_t at = targets.find("fields[TARGET_FIELDS] = {");
  for (const std::string &field : found(targets.substr(at, targets.find('}', at) - at), "\""))
    keys.insert("target[nnn]." + field);
  EXPECT_EQ(6u, keys.size());
  EXPECT_EQ(keys, page_keys("_TARGETS.ini"));

  const std::string lands = source_file("files/land_file.cpp");
  std::set<std::string> land_keys;
  for (const char *list : {"names[] = {"}) {
    for (size_t at = lands.find(list); at != std::string::npos; at = lands.find(list, at + 1))
      for (const std::string &key : found(lands.substr(at, lands.find('}', at) - at), "\""))
        land_keys.insert(key);
  }
  EXPECT_EQ(4u, land_keys.size());
  EXPECT_EQ(land_keys, page_keys("_LANDS.ini"));
}

}  // namespace
