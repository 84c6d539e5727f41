// Checking a terrain before it ships: every problem of its files, one line
// each, naming the file, the place and what is wrong. Places count as the
// status strip does: columns from the west edge, rows from the south edge,
// both from 0 (for tiles and for height samples alike), which is also the
// files' order. Data only: the lines go to whatever the caller hands over.
#pragma once

enum CheckOutcome {
  CHECK_CLEAN = 0,        // nothing to report
  CHECK_PROBLEMS = 1,     // at least one line was written
  CHECK_NO_TILE_MAP = 2,  // the tile map cannot be read: the terrain does not open
};

enum {
  // Problems of one kind that repeat (bad samples, bad texture numbers) are
  // listed up to this many, then counted in one more line.
  CHECK_REPEATS_SHOWN = 10,
  TILE_METRES = 2000,  // the side of a tile
};

// Problems go to line; notes (things worth knowing that are no fault of the
// terrain, such as high bytes kept as read or files left by a cut save) go
// to note and are not counted. File names in both are quoted when they hold
// control characters, so that each stays one line.
struct CheckOutput {
  void (*line)(void *context, const char *text);
  void (*note)(void *context, const char *text);
  void *context;
  // When set, each problem comes here as its file (unquoted) and what is
  // wrong, in place of line.
  void (*problem)(void *context, const char *file, const char *what) = nullptr;
  // A file that is not there is named by the system's reason ("No such
  // file or directory") in place of "missing".
  int system_reasons = 0;
};

// Opens the terrain named by terrain_paths.tfd_path into the model (which
// must be in its start state), the target areas included, and writes one
// line per problem. With a lands file: its problems, tile edges whose
// corner lands disagree, textures in use without Corners and corners the
// map needs that no texture shows (the land grid is read afresh for them). *problems (may be null) receives their number.
int check_terrain(const CheckOutput &output, int *problems);

// The problems of one subject (OpenSubject) of the terrain as
// open_terrain_files left it in the model, without opening it again; the
// files of that subject alone are read again (SUBJECT_LANDS: the lands
// file's problems as read, the map left out). Returns their number.
int check_opened_subject(int subject, const CheckOutput &output);

// The targets on water an opening tells of: bridges and the targets of an
// area holding one are left out, as they guard its banks, which a tile of
// 2 km cannot tell from the river.
int targets_on_water_to_tell();
