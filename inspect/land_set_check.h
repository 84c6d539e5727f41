// The pictures a land set made for a terrain (its TERRAIN_lands/ textures
// with Corners), edge against edge: every picture's outer line along an edge
// should be the strip the set's other pictures with the same two corner
// lands have there, read the same from either end when the lands are one.
#pragma once

#include <string>
#include <vector>

struct SeamProblem {
  int texture;
  std::string file;  // the picture's path
  std::string what;  // "texture 17: its east edge (Grass, Sand) does not meet texture 16's"
};

// Of the texture list and lands file as loaded (texture_table, lands),
// ordered by texture. Pictures that cannot be read are left to the check of
// the texture files.
std::vector<SeamProblem> land_set_seams(const char *tfd_path);
