// Synthetic terrains for the benchmark, written once and kept between runs.
#pragma once

#include <string>

// Writes <dir>/<name>.TFD, .hfd, _DATA.ini, _TARGETS.ini and the textures
// for a terrain of tiles x tiles, unless they are there already. Returns
// the tile map's path.
std::string make_bench_terrain(const std::string &dir, const std::string &name, int tiles);

// The terrain's heights as a grid other tools read (ENVI/EHdr: <name>.bil,
// 16-bit little-endian, north row first, with its <name>.hdr), written
// once beside the tile map. Returns the .bil path.
std::string make_bench_grid(const std::string &tfd);

// Writes <dir>/Largest_TARGETS.ini, 511 areas of 511 targets (about 16 MB),
// unless it is there already. Returns its path.
std::string make_largest_target_file(const std::string &dir);

// Writes <dir>/Palette.TFD (256 x 256 tiles), its height map and a texture
// list declaring textures 1..511, each its own BMP (256 x 256, every
// sixteenth 512 x 512), unless they are there already. Returns the tile
// map's path.
std::string make_palette_terrain(const std::string &dir);

// Writes <dir>/Set.TFD (100 x 100 tiles), its height map and a texture list
// of 400 textures, each a file of side x side pixels in format ("bmp": 24
// bits, or "png": RGB), as real texture sets have them, unless they are
// there already. Returns the tile map's path ("" when a file cannot be
// written).
std::string make_texture_set_terrain(const std::string &dir, int side, const char *format);

// <dir>/Full.TFD standing for the full terrain (links to its files) with a
// target file of its own: 511 areas spread over the whole terrain, every
// third an airfield, names of 7 to 40 characters. Made once. Returns the
// tile map's path.
std::string make_briefing_terrain(const std::string &dir, const std::string &full_tfd);

// <dir>/Air.TFD: the full terrain's heights and targets (links) with tiles
// of 400 textures (256 x 256 BMPs, texture 1 water), as a real terrain's
// view from the air meets them. Made once. Returns the tile map's path.
std::string make_air_terrain(const std::string &dir, const std::string &full_tfd);
