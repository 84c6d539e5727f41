// A terrain made from nothing: a tile map whose tiles all have one texture,
// a height map whose samples all have one height and, when there are, a
// texture list and a lands file. Written all or nothing, and never over an
// existing file.
#pragma once

#include <string>
#include <vector>

#include "core/safe_file.h"

enum NewTerrainFile { NEW_TFD, NEW_HFD, NEW_DATA_INI, NEW_LANDS_INI, NEW_GEO_INI, NEW_FILES };

enum NewTerrainOutcome {
  NEW_TERRAIN_WRITTEN = 0,
  NEW_TERRAIN_EXISTS = 1,   // a file has one of the names: nothing written
  NEW_TERRAIN_FAILED = 2,   // a file could not be written: nothing left behind
};

struct NewTerrain {
  int columns, rows;      // 1..MAX_TILES each
  int texture;            // as the strip shows it, 1..MAX_TEXTURES - 1; stored one less
  int height;             // 0..MAX_HEIGHT
  const char *data_ini;   // the texture list's text, or null for none
  long data_ini_size;
  const char *lands_ini = nullptr;  // the lands file's text (only with a texture list), or null
  long lands_ini_size = 0;
  // The samples as the height map holds them (little-endian words, the
  // south row first), or null for every sample height.
  const unsigned char *height_words = nullptr;
  const char *geo_ini = nullptr;  // the place on the Earth's text, or null for none
  long geo_ini_size = 0;
};

// Whether the terrain has file k (NewTerrainFile): the tile map and height
// map always, the texture list and the place when their texts are given.
bool new_terrain_has_file(const NewTerrain &terrain, int k);

struct NewTerrainFailure {
  std::string path;  // the file that exists or could not be written
  WriteError why;
};

// The names of the four files of a new terrain of tile map tfd_path, as
// the opening derives them; "" where a name would be longer than a path
// may be.
void new_terrain_names(const char *tfd_path, std::string names[NEW_FILES]);

// The first of the terrain's files (the texture list and lands file only
// when it has them)
// that has its name taken by anything, a dangling link included, into
// *taken; 0 when none has.
int new_terrain_name_taken(const char *tfd_path, const NewTerrain &terrain, std::string *taken);

// Writes the files. Each is written whole under a temporary name first, then
// takes its name only if the name is still free; when any step fails, the
// files already in place are removed again. A NewTerrainOutcome; *failure
// names the file otherwise.
int write_new_terrain(const char *tfd_path, const NewTerrain &terrain, NewTerrainFailure *failure);

enum { NEW_TERRAIN_LIST_MAX = 511 };

// The pictures of a folder that can serve as textures, for a tile map at
// tfd_path: every file with a picture's extension that loads as a texture,
// by name in byte order, at most NEW_TERRAIN_LIST_MAX. Needs the library
// with a colour depth. error is the system's error when the folder cannot
// be read (0 otherwise).
struct TextureFolder {
  std::vector<std::string> filenames;  // as the list names them: relative to the tile map's folder
  std::vector<std::string> left_out;   // "NAME: why", for pictures that are not listed
  int error;
};
TextureFolder list_texture_folder(const char *folder, const char *tfd_path);

// The texture list for the filenames: [Texture001] up, each with its
// Filename and HasWater=0, or HasWater=2 where water (when given) is set.
std::string texture_list_text(const std::vector<std::string> &filenames, const std::vector<bool> *water = nullptr);

// Which of the listed filenames are the pictures named in water (their
// names in the folder, "sea.bmp"), into *flags; "" when each name is one of
// them, else the line naming the first that is not.
std::string water_flags(const std::vector<std::string> &filenames, const std::vector<std::string> &water,
                        std::vector<bool> *flags);

// The lands file of the terrain other_tfd, for a new one at tfd whose list
// holds filenames: its bytes into *text, and "" when every texture it gives
// corners is in the new list as the same picture as in other_tfd's own list
// (by number, both paths resolved; without a list of other_tfd's, the
// number alone), else the line saying what does not fit. Reads other_tfd's
// list into the texture table.
std::string lands_for_new_terrain(const char *other_tfd, const char *tfd, const std::vector<std::string> &filenames,
                                  std::string *text);

// What keeps the failed file from being written, as a line goes on after
// its name: "exists already." or "cannot be written: REASON".
std::string new_terrain_failure_text(int outcome, const NewTerrainFailure &failure);

// 1 when the name ends in ".TFD", in any case: the names a tile map is
// given here.
int names_a_tile_map(const char *path);
