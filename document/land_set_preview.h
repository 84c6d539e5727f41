// The lands dialog's preview: one picture of the set a draft would make,
// the pattern of two of its lands (the one higher in the list to the
// north), variant 0 at the set's size, the very picture Generate writes
// (a set over LAND_PREVIEW_SIDE_MAX pixels is shown at that size).
// The pictures read and banded are kept between calls, so that a change of
// the seed or of one land's picture makes only the pair's edges and what
// changed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "document/land_set_draft.h"

enum { LAND_PREVIEW_SIDE_MAX = 256 };

struct LandPreview {
  int size = 0;                    // pixels a side of rgb
  std::vector<unsigned char> rgb;  // size * size * 3, the top row first
  std::map<std::string, LandPicture> read;                   // by path
  std::map<std::string, std::vector<unsigned char>> banded;  // by size and path
};

// The picture of lands a and b (indices of draft.lands, both with a
// picture; a == b for one land's) into preview: "" or why not.
std::string make_land_preview(const LandDraft &draft, int a, int b, LandPreview *preview);
