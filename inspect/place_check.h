// The terrain's place on the Earth as --check reports it: nothing when it
// has no _GEO.ini; else a note naming the projection and the scale error
// at the corners, or one problem for a file that cannot be used.
#pragma once

#include <string>

// The note, or the problem when *problem is set; "" when there is no file.
std::string check_place(const char *tfd_path, int columns, int rows, bool *problem);
