// Two terrains compared file by file, apart from the model (which holds
// one terrain): both tile maps and, when both terrains have one, both
// height maps are read side by side in large blocks, on every core.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum {
  DIFF_LINES_SHOWN = 100,  // tiles listed of each kind; the rest are counted
  DIFF_TILE_WORDS = 6,     // texture - 1, rotation, tag, three extra words
};

// What the picture shows for a tile; both together are 3.
enum DiffMark { DIFF_MARK_NONE = 0, DIFF_MARK_TILE = 1, DIFF_MARK_HEIGHTS = 2 };

enum DiffOutcome {
  DIFF_COMPARED = 0,
  DIFF_CANNOT_READ = 1,    // a tile map cannot be read: why names it
  DIFF_SIZES_DIFFER = 2,   // why gives both sizes
};

// A tile whose record differs: every word of both, as in the files.
struct DiffTile {
  int x, y;  // from the west and the south edge
  uint16_t a[DIFF_TILE_WORDS], b[DIFF_TILE_WORDS];
};

// A tile some of whose 16 height samples differ.
struct DiffHeightTile {
  int x, y;
  int changed;  // samples that differ
  int largest;  // B - A of largest size; a rise wins a tie
};

struct TerrainDiff {
  int outcome;  // DiffOutcome
  std::string why;
  int tiles_x, tiles_y;
  int heights_compared;
  long long tiles_changed, height_tiles_changed;
  // The first DIFF_LINES_SHOWN of each, rows from the south edge up, each
  // row from west to east.
  std::vector<DiffTile> tiles;
  std::vector<DiffHeightTile> heights;
  // Asked for: a DiffMark per tile, the north row first.
  std::vector<uint8_t> marks;
  // Lines for standard error, in order: files shorter than their header
  // says, a height map that is not compared and why.
  std::vector<std::string> notes;
};

TerrainDiff diff_terrains(const char *tfd_a, const char *tfd_b, int with_marks);

// "x, y: texture 5 -> 7, rotation 0 -> 1": the fields that differ.
std::string diff_tile_line(const DiffTile &tile);
// "x, y: 16 samples changed, largest change +120".
std::string diff_height_line(const DiffHeightTile &tile);
