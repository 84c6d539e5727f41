// veldkit --make-lands of 4 lands x 2 variants, whole command, against
// libpng encoding as many pictures of the same size at the same level.
#pragma once

#include <string>

// Into dir/land-set; veldkit is the program to run. 0 when it ran.
int bench_land_set(const std::string &dir, const std::string &veldkit);

// The lands dialog's preview of a pair of four lands at 256 and 1024 pixels:
// the first, after a change of the seed and after a change of a picture.
int bench_land_preview(const std::string &dir);
