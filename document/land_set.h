// A land set made for a terrain: the transition pictures of every corner
// pattern of the lands given (images/land_transitions.h), written as PNGs
// into TERRAIN_lands/ beside the tile map, listed after the texture list's
// highest texture, and described in the lands file (its lands kept, new
// ones added with colours of their own, every picture's corners). The old
// files are extended, never rewritten; all or nothing.
#pragma once

#include <string>
#include <vector>

#include "images/land_transitions.h"

struct LandSetLand {
  std::string name;     // as the lands file names it
  std::string picture;  // PNG, JPEG or BMP
  bool water = false;   // its pictures get HasWater=2
  // The picture is one a set made of this land alone (its one-land
  // texture): taken as it is, the set's size then its side.
  bool prepared = false;
  int colour = -1;      // a new land's colour as 0xRRGGBB; -1: one chosen near its picture's
};

struct LandSetRequest {
  std::string tfd_path;
  std::vector<LandSetLand> lands;
  int variants = 2;  // 1..LAND_SET_VARIANTS_MAX
  LandSetStyle style;  // size 0: the pictures' (the largest power of two their smallest side holds)
  // Patterns that a texture of the lands file shows already (in any turn)
  // are not made again: only what the lands file lacks is added.
  bool skip_covered = false;
  LandSetRequest() { style.size = 0; }
};

enum LandSetResult {
  LAND_SET_WRITTEN = 0,
  LAND_SET_NOT_WRITTEN = 1,  // refused or failed: nothing was written, nothing left behind
};

struct LandSetOutcome {
  int result = LAND_SET_NOT_WRITTEN;
  std::string said;                // what was written, one line
  std::string why;                 // why nothing was, one line
  std::vector<std::string> notes;  // the lands file's problems, kept as they were
  int first_texture = 0, textures = 0;
};

// What keeps the lands from being a set, as a line ("" when nothing): a
// name given twice (in any case), empty, too long or with a comma, no
// lands or more than LAND_SET_LANDS_MAX.
std::string land_set_request_fault(const std::vector<LandSetLand> &lands);

// A land's picture as read, RGB rows from the top, and its mean colour.
struct LandPicture {
  std::vector<unsigned char> rgb;
  int width = 0, height = 0;
  int mean[3] = {0, 0, 0};
};

// Reads a PNG, JPEG or BMP: "" or why it cannot be had, naming it.
std::string read_land_picture(const std::string &path, LandPicture *out);

// The colour (0xRRGGBB) a new land with a picture of mean colour gets: the
// set's colour nearest it at least LAND_SET_COLOUR_GAP from every colour
// of taken, else one not in taken.
int land_set_colour(const int mean[3], const std::vector<int> &taken);

enum { LAND_SET_COLOUR_GAP = 40 };

// The side of the set's pictures when the request gives none: a one-land
// picture's of an older set, else the largest power of two the smallest
// picture's sides hold, within LAND_SET_SIZE_MIN..MAX.
int land_set_side(const LandSetRequest &request, const std::vector<LandPicture> &pictures);  // largest channel difference from another land's

// The patterns of the request's lands (1-based, as land_set_patterns gives
// them) that the lands file in the land table shows already in some turn,
// a flag each; lands the table lacks cover nothing.
std::vector<bool> land_set_covered(const std::vector<LandSetLand> &lands);

// Makes and writes the set. Needs the library (the safe files' packfiles).
LandSetOutcome make_land_set(const LandSetRequest &request);

// The folder the set's pictures go in, as the texture list names it from
// the tile map's folder ("Coast_lands"), and as a path ("maps/Coast_lands").
std::string land_set_folder_name(const std::string &tfd_path);
std::string land_set_folder_path(const std::string &tfd_path);
