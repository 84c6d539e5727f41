// The one open terrain: tile map, height map, textures, target areas and the
// paths of their files. Every table has its full capacity for the whole run;
// pages that a terrain never touches cost no memory.
#pragma once

#include <allegro.h>
#include <cstdint>
#include <cstring>

#include "core/file_stamp.h"

enum {
  MAX_TILES = 4000,          // tile columns and rows
  MAX_SAMPLES = 16000,       // height sample columns and rows (4 per tile edge)
  MAX_TEXTURES = 512,        // texture numbers 0..511, 0 = no texture
  MAX_AREAS = 512,           // target areas 1..511
  MAX_TARGETS = 512,         // targets 1..511 per area
  MAX_HEIGHT = 9999,
  PATH_SIZE = 256,           // paths hold at most 255 characters
  NAME_SIZE = 64,            // names and target types hold at most 63
  TEXTURE_LEVELS = 8,
};

static_assert((int)STAMP_PATH_SIZE >= (int)PATH_SIZE, "a stamp keeps any path");

struct Tile {
  int16_t texture;
  uint8_t rotation;
  uint8_t tag;
  uint8_t extra[3];
};

// The high bytes of a tile record's rotation, tag and three extra words. The
// program works on the low bytes only; these are kept as read, by place, so
// that a save writes every byte it did not edit back unchanged.
enum { TILE_HIGH_WORDS = 5 };
struct TileHighBytes {
  uint8_t word[TILE_HIGH_WORDS];
};

struct TileMap {
  int32_t tiles_x;
  int32_t tiles_y;
  int32_t header3;
  int32_t header4;
  Tile tiles[MAX_TILES][MAX_TILES];  // [x][y]
  int32_t max_texture_used;
  FileStamp stamp;  // the file as it was read or last saved
  // Whole records the file held; below tiles_x * tiles_y for a cut file.
  int64_t records_read;
  // Tiles with any high byte set. While 0 the table below is all zero and
  // never touched, so files without high bytes cost nothing more.
  int64_t high_byte_tiles;
  TileHighBytes high_bytes[MAX_TILES][MAX_TILES];  // [x][y]
};

struct HeightMap {
  int32_t samples_x;
  int32_t samples_y;
  int32_t header3;
  int32_t header4;
  uint16_t heights[MAX_SAMPLES][MAX_SAMPLES];  // [X][Y]
  int32_t max_height;
  int32_t detected_height_step;
  int32_t height_step;
  int32_t heights_loaded;
  FileStamp stamp;  // the file as it was read or last saved
};

struct TextureEntry {
  BITMAP *levels[TEXTURE_LEVELS];
  PALETTE palette;
  char filename[PATH_SIZE];
  int16_t has_water;
  int32_t sample_color;
  int16_t loaded;
  int16_t file_width;
  int16_t file_height;
};

struct TextureTable {
  TextureEntry textures[MAX_TEXTURES];
  int32_t textures_declared;
  int32_t last_declared_texture;
  int32_t textures_loaded;
  int32_t texture_count;
};

struct Target {
  char type[NAME_SIZE];
  int32_t heading;
  float offset_x;
  float file_offset_x;
  float offset_y;
  float file_offset_y;
  int32_t file_number;  // its number in the file as read or saved; 0 for a new one
};

struct TargetArea {
  char name[NAME_SIZE];
  float pos_x;
  float pos_y;
  int32_t enemy;
  int32_t target_count;
  int32_t runway_number;
  Target targets[MAX_TARGETS];
  int32_t file_number;  // as the target's
  // The farthest drawn offset east or north, as turn_area_targets last
  // found it (reach_known 0: not found), so that a view can pass over an
  // area whose targets all lie outside it.
  float reach;
  int32_t reach_known;
};

// The offsets targets 2.. are drawn at: their file offsets turned clockwise
// by the runway's heading when target 1 is a runway with a heading (and
// there are others), else the file offsets themselves.
void turn_area_targets(TargetArea &area);

// Where target t stands as drawn (the area's position plus its drawn offset
// in whole metres, given in *east and *north): on land, on a tile whose
// texture has water, or off the terrain.
// Metres as a whole number, as targets are drawn. Values far outside any
// terrain (and NaN) are brought to a distance that still rounds within int
// and stays off every view.
int drawn_metres(float value);
enum TargetGround { TARGET_ON_LAND, TARGET_ON_WATER, TARGET_OFF_TERRAIN };
int target_ground(const TargetArea &area, int t, double *east, double *north);

// The areas read from the target file: 1..area_count are in use.
struct TargetSet {
  TargetArea areas[MAX_AREAS];
  int32_t area_count;
  int32_t target_total;
  FileStamp stamp;  // the file as it was read or last saved
};

// A target type that makes an airfield of its area as the area's first
// target: Runway1 to Runway6 (and whatever follows "Runway").
inline bool is_runway_type(const char *type) { return strncmp(type, "Runway", 6) == 0; }
inline bool is_airfield(const TargetArea &area) {
  return area.target_count >= 1 && is_runway_type(area.targets[1].type);
}

// The tile map's path, as named by the user, and the four derived from it.
struct TerrainPaths {
  char tfd_path[PATH_SIZE];
  char hfd_path[PATH_SIZE];
  char data_ini_path[PATH_SIZE];
  char targets_ini_path[PATH_SIZE];
  char lands_ini_path[PATH_SIZE];
};

extern TileMap tile_map;
extern HeightMap height_map;
extern uint8_t shade_map[MAX_SAMPLES][MAX_SAMPLES];  // [X][Y]
extern int32_t height_palette[MAX_HEIGHT + 1];
extern TextureTable texture_table;
extern TargetSet targets;
extern TerrainPaths terrain_paths;

// The areas in use are 1..areas_in_use(), whatever area_count was set to.
inline int areas_in_use() {
  return targets.area_count < 0 ? 0 : (targets.area_count > MAX_AREAS - 1 ? MAX_AREAS - 1 : targets.area_count);
}

// The tile at (x, y); callers keep 0 <= x < tiles_x and 0 <= y < tiles_y.
inline Tile &tile_at(int x, int y) { return tile_map.tiles[x][y]; }

// The map's extent. The loaders store a header only after checking it, so
// tiles_x and tiles_y always lie within 0..MAX_TILES.
inline int map_columns() { return tile_map.tiles_x; }
inline int map_rows() { return tile_map.tiles_y; }
inline int tile_on_map(int x, int y) {
  return x >= 0 && x < tile_map.tiles_x && y >= 0 && y < tile_map.tiles_y;
}

// The file name texture t is declared with in the texture list; null for a
// number outside 1..last_declared_texture or one the list leaves out (NONE).
const char *declared_texture_name(int t);

// Gives every texture entry its placeholder sample colour (a random magenta
// shade; entries 1 and 2 fixed) and clears its loaded flag. Needs the
// graphics mode, as colours are made with makecol.
void init_placeholder_colours();

// Destroys the level bitmaps of entries 1..texture_count that have them.
void release_textures();

// Readies the pages of the part of a column-ordered table a terrain is
// about to fill, the first used_bytes of each of columns columns
// column_bytes apart: all faulted in at once, on every core. The contents
// stay as they are.
void prepare_table_pages(void *first_column, size_t column_bytes, int columns, size_t used_bytes);

// Zeroes the kept high bytes of the tiles within the stored extent.
void clear_tile_high_bytes();

// Returns the model to its start state before a second opening attempt:
// counters and the used extents of the grids are zeroed, texture bitmaps
// released, placeholder colours drawn afresh, the lands forgotten.
void clear_terrain_model();
