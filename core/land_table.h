// The land types of the open terrain and the corners of its textures, as
// its lands file declares them (files/land_file.h reads it): what the land
// grid and the choice of a tile for four corner lands work from. Empty when
// the terrain has no lands file; nothing about lands shows then.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/terrain_model.h"

enum {
  MAX_LANDS = 256,       // land numbers 1..255; 0 is no land
  LAND_NAME_SIZE = 64,   // names hold at most 63 characters
  LAND_CORNERS = 4,      // north-west, north-east, south-east, south-west
};

// Four corner lands in one word: north-west in the lowest byte, then
// north-east, south-east and south-west (clockwise), so that a quarter
// turn clockwise is a rotation of the word by a byte.
typedef uint32_t LandCorners;

inline LandCorners land_corners(int nw, int ne, int se, int sw) {
  return (uint32_t)(nw & 255) | (uint32_t)(ne & 255) << 8 | (uint32_t)(se & 255) << 16 | (uint32_t)(sw & 255) << 24;
}
inline int corner_land(LandCorners c, int corner) { return (int)(c >> (8 * corner) & 255); }
// 1 when every corner has a land.
inline int corners_known(LandCorners c) {
  return (c & 0xFFu) && (c & 0xFF00u) && (c & 0xFF0000u) && (c & 0xFF000000u);
}
// A texture's corners as a tile turned r quarter turns clockwise shows them:
// tile corner (i + r) mod 4 is texture corner i.
inline LandCorners turned_corners(LandCorners c, int r) {
  const int bits = 8 * (r & 3);
  return bits ? c << bits | c >> (32 - bits) : c;
}

struct Land {
  char name[LAND_NAME_SIZE];  // "" for a number the file does not declare
  uint8_t r, g, b;
};

// A texture and rotation that shows some corners, with its texture's weight.
struct LandCandidate {
  LandCorners corners;
  int16_t texture;
  uint8_t rotation;
  uint32_t weight;
  // Its run's weights summed up to and including this one: a pick by a
  // number below the run's total is the first whose upto exceeds it.
  uint32_t upto;
};

// A line of the lands file that was left out, with what is wrong. The file
// is the table's path; what names the section and the line number.
struct LandProblem {
  std::string what;
};

struct LandTable {
  int file_read;   // 1 once a lands file was read (with problems or not)
  int land_count;  // lands declared
  Land lands[MAX_LANDS];
  // Per texture: its corners at rotation 0 (0: it has none) and weight.
  LandCorners corners[MAX_TEXTURES];
  uint32_t weight[MAX_TEXTURES];
  // The corners of texture t turned r: turned[4 * t + r]; 0 for none.
  LandCorners turned[MAX_TEXTURES * 4];
  // Every (texture, rotation) of weight above 0, sorted by corners, then
  // texture, then rotation, and the open-addressed index from corners to
  // the first of a run of them (slot holds corners + 1 of its run start).
  std::vector<LandCandidate> candidates;
  std::vector<uint32_t> index_key;    // corners of the slot's run; 0: empty slot
  std::vector<uint32_t> index_first;  // where its run begins in candidates
  std::vector<uint32_t> index_count;
  std::vector<uint64_t> index_total;  // its run's summed weight
  std::vector<LandProblem> problems;
  uint32_t generation;  // one more at every index_land_table: caches of it go stale
};

extern LandTable lands;

// 1 when the open terrain has lands to work with.
inline int lands_in_use() { return lands.file_read && lands.land_count > 0; }

// The lands and the texture corners cleared: no lands file.
void clear_land_table();

// Builds turned, candidates and the index from lands, corners and weight;
// the reader calls it once the file is read.
void index_land_table();

// The candidates showing exactly corners (weight above 0): *count of them
// from the returned one, *total their summed weight; null when none.
const LandCandidate *land_candidates(LandCorners corners, uint32_t *count, uint64_t *total);

// The number of the land named name (case-insensitive), 0 for none.
int land_named(const char *name);

// The four corners as their names: "Water, Sand, Sand, Grass" ("none" for 0).
std::string land_corner_names(LandCorners corners);
