// The benchmark of terrains from the real world: a new terrain of an area
// from elevation models, and land cover, against GDAL's own tools.
#pragma once

#include <string>

// In dir: four elevation models of a synthetic region written once, then
// veldkit --new --area --dem of them as a 4000 x 4000 terrain against
// gdalwarp of the same models onto the same grid plus dd of the height
// map's bytes; and --import-landcover onto that terrain against gdalwarp
// -r mode onto the corner points plus --import-lands of that picture.
// veldkit is the program's path. 0 when it ran.
int bench_geo(const std::string &veldkit, const std::string &dir);
