// Opening a terrain from its tile map's path: the derived names, the loaders
// in their fixed order, and what went wrong, in order. No dialogs: the
// caller shows the warnings (each also goes to the reporter as it happens).
#pragma once

#include <cstdint>

#include "core/reporter.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "files/target_areas.h"
#include "images/textures.h"

enum OpenOutcome {
  OPEN_DONE = 0,          // the terrain is open, perhaps with warnings
  OPEN_NO_TILE_MAP = 1,   // the tile map cannot be read: nothing opens
  OPEN_NO_TEXTURES = 2,   // the texture bitmaps cannot be made: nothing opens
};

enum { OPEN_WARNINGS_MAX = 8 };

// What a warning of the opening is about: the window gathers the problems
// of each into one box.
enum OpenSubject {
  SUBJECT_TILE_MAP,
  SUBJECT_HEIGHT_MAP,
  SUBJECT_TEXTURE_LIST,   // the _DATA.ini file itself
  SUBJECT_TEXTURE_FILES,  // the pictures it names
  SUBJECT_TEXTURE_USES,   // tiles naming textures without a picture
  SUBJECT_TARGETS,
  SUBJECT_LANDS,          // the _LANDS.ini file
  SUBJECT_PLACE,          // the _GEO.ini file: a note when it cannot be used
  SUBJECT_COUNT,
};

// The warnings of one opening, oldest first; only the first
// OPEN_WARNINGS_MAX are kept, the count goes on.
struct OpenReport {
  int outcome;  // OpenOutcome
  int warning_count;
  Warning warnings[OPEN_WARNINGS_MAX];
  int subjects[OPEN_WARNINGS_MAX];  // OpenSubject of each warning
  char detail[64];  // the third line of the short tile map's warning
  char long_paths[4][PATH_CUT_SIZE];  // siblings too long to read, cut to be shown
  char list_note[PATH_SIZE + 40];     // the note of a terrain without a texture list
  char place_note[PATH_SIZE + 200];   // the note of a _GEO.ini that cannot be used
};

// Derives the height map, description, target and lands paths from
// terrain_paths.tfd_path into terrain_paths. One that would be longer than
// a path may be is left empty: a cut name could be some other file.
void derive_terrain_paths();

// The place on the Earth (_GEO.ini) is read by the opening into terrain_place
// (document/open_place.h); the commands that write from it read it themselves.
enum TerrainSibling { SIBLING_HFD, SIBLING_DATA_INI, SIBLING_TARGETS_INI, SIBLING_LANDS_INI, SIBLING_GEO_INI };

// The sibling's whole name, however long, into dest (size bytes).
void sibling_path(int sibling, char *dest, int size);
// The same for any tile map's path.
void sibling_path_of(const char *tfd_path, int sibling, char *dest, int size);

// Reads the tile map and the height map in place of load_tile_map and
// load_height_map, with their results, for a caller that needs less of them
// than the whole maps stored. Without the tiles, textures_used (set by
// read_tiles: MAX_TEXTURES entries) tells which texture numbers they name.
struct TerrainReader {
  int (*read_tiles)(void *context, const char *path);
  int (*read_heights)(void *context, const char *path);
  const uint8_t *textures_used;
  void *context;
};

// Loads the terrain named by terrain_paths.tfd_path into the model, which
// must be in its start state (see clear_terrain_model); the target file only
// when read_targets is set. A texture list that does not exist is a note,
// and the tiles' textures are then not warned of. The lands file is read
// after the texture list; its problems are one warning of SUBJECT_LANDS. The
// place on the Earth is read last into terrain_place; a _GEO.ini that
// cannot be used is a note of SUBJECT_PLACE, and the terrain has no place. A
// texture watcher (may be null) chooses the textures loaded first and sees
// the rest come in; a terrain reader (may be null) takes the maps' places
// in the order.
// Returns the outcome.
int open_terrain_files(int read_targets, const Reporter *reporter, OpenReport *report,
                       const TextureWatcher *watcher = nullptr, const TerrainReader *reader = nullptr);

// The target file as the open terrain last read or saved it, handed to its
// writer so that a save after a few edits reads only the changed sections.
extern TargetFile target_file;

// The texture list, the pictures it names and the lands file read again
// for the open terrain (after a land set was added to them); the maps stay
// as they are. load_textures's result; the lands file's problems are in
// the land table.
int read_texture_list_again(const Reporter *reporter);

// The areas dropped and the target file read again into targets (and
// target_file); load_target_areas's result.
int read_target_file_again(const Reporter *reporter);
