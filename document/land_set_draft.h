// The land set the lands dialog (Ctrl + L) is drafting for the open
// terrain: the lands of its lands file, each with the picture its one-land
// texture has, and the lands to be made, each with a name, colour, picture
// and water flag; what the map needs that no texture shows, now and once
// the set is made; and the making, which writes the set as --make-lands
// does (only the patterns the lands file lacks) and reads the texture list,
// its pictures and the lands file in again. No window: the dialog in app/
// shows the lands and the refusals these calls word.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/land_table.h"
#include "core/reporter.h"
#include "document/land_set.h"
#include "edit/land_edits.h"

struct DraftLand {
  std::string name;
  std::string picture;    // its path, "" for none: a land without one is left out of the set
  bool water = false;     // the set's pictures of it alone get HasWater=2
  int colour = 0;         // 0xRRGGBB
  int number = 0;         // its number in the lands file; 0 for a land to be made
  bool prepared = false;  // the picture is a set's picture of it alone (see LandSetLand)
};

struct LandDraft {
  std::string tfd_path;
  std::vector<DraftLand> lands;  // the file's in number order, then the new ones as added
  int variants = 2;              // 1..LAND_SET_VARIANTS_MAX
  uint32_t seed = 1;             // the seed an older set was made with, for its edges to meet the new
};

// The open terrain's lands (the land table) with the pictures of their
// one-land textures: one of the land set's folder first (a picture taken
// as it is), else the first texture whose four corners are that land.
LandDraft draft_of_open_terrain(const char *tfd_path);

// Each returns "" when done, else the refusal as a line, the draft as it was.
// A new land: the name empty, too long, with a comma or another land's (in
// any case) is refused, and so is a ninth land of the set; the picture is
// read for its colour, the set's one nearest the picture's own.
std::string draft_add(LandDraft &draft, const std::string &name, const std::string &picture, bool water);
// The lands file's lands stay as it has them: removed, renamed or given
// another colour, they are refused.
std::string draft_remove(LandDraft &draft, int index);
std::string draft_rename(LandDraft &draft, int index, const std::string &name);
std::string draft_colour(LandDraft &draft, int index, int colour);
std::string draft_picture(LandDraft &draft, int index, const std::string &picture);
std::string draft_water(LandDraft &draft, int index, bool water);

// "Water, Sand, Sand, Grass": why a name cannot be a land's, "" when it can
// (index: the land renamed, -1 for a new one).
std::string draft_name_fault(const LandDraft &draft, const std::string &name, int index);

// The lands in the set (those with a picture), as --make-lands takes them.
LandSetRequest draft_request(const LandDraft &draft);

// Every corner combination the map's land grid gives a tile that no texture
// shows, with its tiles, in the order of the first tile met (columns west
// to east, each north to south), as the land grid has them now.
std::vector<LandMissing> missing_transitions();

// Of missing, those the draft's set would still leave without a texture:
// combinations with a land outside the set.
std::vector<LandMissing> missing_after_draft(const LandDraft &draft, const std::vector<LandMissing> &missing);

// "Water, Grass, Grass, Sand: 12 tiles" lines; "none" for none.
std::vector<std::string> missing_lines(const std::vector<LandMissing> &missing, size_t most);

// Writes the draft's set beside the open terrain, then reads the texture
// list, its pictures and the lands file in again; the tiles keep their
// bytes and the land grid its lands (painting a land again gives its tiles
// the new transitions). The outcome of make_land_set.
LandSetOutcome generate_land_draft(const LandDraft &draft, const Reporter *reporter);
