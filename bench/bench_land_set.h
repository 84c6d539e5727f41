// veldkit --make-lands of 4 lands x 2 variants, whole command, against
// libpng encoding as many pictures of the same size at the same level.
#pragma once

#include <string>

// Into dir/land-set; veldkit is the program to run. 0 when it ran.
int bench_land_set(const std::string &dir, const std::string &veldkit);
