// What a generated land set adds to a terrain's texture list (_DATA.ini)
// and lands file (_LANDS.ini): new sections after the old text, whose
// every byte stays, and the numbers already taken in each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SetTexture {
  int number;            // 1..MAX_TEXTURES - 1
  std::string filename;  // from the tile map's folder
  int has_water;         // 2 water, 0 land
  std::string corners;   // "Water,Grass,Grass,Water": north-west, north-east, south-east, south-west at rotation 0
  uint32_t weight;
};

struct SetLand {
  int number;  // 1..MAX_LANDS - 1
  std::string name;
  int r, g, b;
};

// The highest [TextureNNN] of a texture list, numbered as its reader numbers
// them (three digits, 1..511); 0 for none.
int highest_listed_texture(const char *text, long size);

// The highest [LandNNN] and [TextureNNN] of a lands file, of any number of
// digits as its reader takes them (a section left out as faulty still
// holds its number); 0 for none.
void highest_land_sections(const char *text, long size, long *land, long *texture);

// The old text with a [TextureNNN] section for each texture (Filename,
// HasWater) after it.
std::string texture_list_with(const char *text, long size, const std::vector<SetTexture> &textures);

// The old text with a [LandNNN] section for each new land (Name, Color) and
// a [TextureNNN] section for each texture (Corners, Weight) after it.
std::string lands_file_with(const char *text, long size, const std::vector<SetLand> &new_lands,
                            const std::vector<SetTexture> &textures);
