// Any bytes as the recovery journal of a small terrain: read, applied and
// recovered as steps of the history, nothing out of the format may reach
// the terrain, the reading must stay linear in the bytes, and undo after a
// recovery gives back the terrain as it was.
#include <cstring>
#include <string>
#include <vector>

#include "core/terrain_model.h"
#include "edit/edit_history.h"
#include "document/recovery_journal.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Snapshot {
  std::vector<Tile> tiles;
  std::vector<uint16_t> heights;
  std::string areas;
  bool operator==(const Snapshot &o) const {
    if (heights != o.heights || areas != o.areas || tiles.size() != o.tiles.size()) return false;
    for (size_t k = 0; k < tiles.size(); k++)
      if (memcmp(&tiles[k], &o.tiles[k], 2) || tiles[k].rotation != o.tiles[k].rotation ||
          tiles[k].tag != o.tiles[k].tag || memcmp(tiles[k].extra, o.tiles[k].extra, 3))
        return false;
    return true;
  }
};

bool line_text(const char *s) {
  for (size_t k = 0; k < strnlen(s, NAME_SIZE); k++)
    if ((unsigned char)s[k] < 0x20 && s[k] != '\t') return false;
  return strnlen(s, NAME_SIZE) < NAME_SIZE;
}

// The terrain as it is; traps on anything the files could not hold.
Snapshot taken() {
  Snapshot s;
  for (int x = 0; x < tile_map.tiles_x; x++)
    for (int y = 0; y < tile_map.tiles_y; y++) {
      const Tile &t = tile_map.tiles[x][y];
      if (t.texture < 0 || t.texture >= MAX_TEXTURES) __builtin_trap();
      s.tiles.push_back(t);
    }
  for (int x = 0; x < height_map.samples_x; x++)
    for (int y = 0; y < height_map.samples_y; y++) {
      if (height_map.heights[x][y] > MAX_HEIGHT) __builtin_trap();
      s.heights.push_back(height_map.heights[x][y]);
    }
  if (targets.area_count < 0 || targets.area_count >= MAX_AREAS) __builtin_trap();
  for (int n = 1; n <= targets.area_count; n++) {
    const TargetArea &a = targets.areas[n];
    if (!line_text(a.name) || a.target_count < 0 || a.target_count >= MAX_TARGETS) __builtin_trap();
    s.areas += std::string(a.name) + std::to_string(a.pos_x) + std::to_string(a.pos_y) + std::to_string(a.enemy);
    for (int t = 1; t <= a.target_count; t++) {
      if (!line_text(a.targets[t].type)) __builtin_trap();
      s.areas += std::string(a.targets[t].type) + std::to_string(a.targets[t].file_offset_x);
    }
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz_init();
  fuzz_small_terrain();
  history_clear();
  const Snapshot base = taken();
  const std::string path = fuzz_file("Small.journal", data, size);
  JournalFound found;
  read_journal(path.c_str(), &found);
  if (found.examined > 6 * (long long)size + 4096) __builtin_trap();
  int maps = 0;
  apply_journal(path.c_str(), &maps, &found);
  taken();
  fuzz_small_terrain();
  history_clear();
  recover_journal(path.c_str(), &found);
  taken();
  int x, y;
  char text[HISTORY_TEXT_SIZE];
  while (history_undo(&x, &y, text, sizeof(text)) == 0) {
  }
  if (!(taken() == base)) __builtin_trap();
  history_clear();
  fuzz_reset_grids();
  return 0;
}
