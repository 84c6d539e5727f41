// --import-lands on arbitrary picture bytes: the first byte picks PNG or
// BMP and the tile map's size (1 to 8 tiles a side), so that pictures of a
// size the map takes are within reach. The map and its lands file lie in
// the scratch folder; after the import every tile record of the file is
// within the format, and each one the import changed shows a texture of
// the lands file at a quarter turn.
#include <string>
#include <vector>

#include "core/land_table.h"
#include "core/terrain_model.h"
#include "document/land_import.h"
#include "files/tile_map_file.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::vector<unsigned char> bytes_of(const std::string &path) {
  std::vector<unsigned char> v;
  FILE *f = fopen(path.c_str(), "rb");
  for (int c; f && (c = fgetc(f)) != EOF;) v.push_back((unsigned char)c);
  if (f) fclose(f);
  return v;
}

unsigned word(const std::vector<unsigned char> &v, size_t at) { return v[at] | v[at + 1] << 8; }

// The file holds a tile's texture number less one (0xFFFF for none).
unsigned texture_at(const std::vector<unsigned char> &v, size_t at) { return (word(v, at) + 1) & 0xFFFF; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  if (size < 1) return 0;
  const int columns = 1 + (data[0] & 7), rows = 1 + ((data[0] >> 3) & 7);
  fuzz_reset_grids();
  tile_map.tiles_x = columns, tile_map.tiles_y = rows;
  for (int x = 0; x < columns; x++)
    for (int y = 0; y < rows; y++)
      tile_map.tiles[x][y] = {(int16_t)((x * 5 + y * 3) % 14), (uint8_t)((x + y) % 5), (uint8_t)x, {1, 0, (uint8_t)y}};
  const std::string tfd = fuzz_file("L.TFD", nullptr, 0);
  if (save_tile_map(tfd.c_str()) != 0) __builtin_trap();
  fuzz_file("L_LANDS.ini", (const uint8_t *)FUZZ_LANDS_TEXT, sizeof(FUZZ_LANDS_TEXT) - 1);
  const std::vector<unsigned char> before = bytes_of(tfd);
  const std::string picture = fuzz_file(data[0] & 64 ? "in.bmp" : "in.png", data + 1, size - 1);
  const LandImport im = import_lands(picture.c_str(), tfd.c_str());
  const std::vector<unsigned char> after = bytes_of(tfd);
  if (im.outcome != LAND_IMPORT_WRITTEN) {
    if (im.why.empty() || after != before) __builtin_trap();  // a refusal says why and writes nothing
    return 0;
  }
  if (after.size() != before.size() || (im.written == 0) != (after == before)) __builtin_trap();
  for (size_t at = 16; at + 12 <= after.size(); at += 12) {
    if (texture_at(after, at) >= MAX_TEXTURES) __builtin_trap();
    if (std::equal(after.begin() + (long)at, after.begin() + (long)at + 12, before.begin() + (long)at)) continue;
    const unsigned texture = texture_at(after, at), rotation = word(after, at + 2);
    if (rotation > 3 || !lands.corners[texture] || !lands.weight[texture]) __builtin_trap();
  }
  return 0;
}
