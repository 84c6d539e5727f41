// Target areas from a list of places (geo/place_list.h) added to a
// georeferenced terrain's target file, each at its projected metres, and
// the file written as target mode's save writes it (terrain_save.h). A
// place outside the terrain is named and left out.
#pragma once

#include <string>
#include <vector>

enum TargetImportOutcome {
  TARGET_IMPORT_WRITTEN = 0,      // written, or nothing to add
  TARGET_IMPORT_NOT_WRITTEN = 1,  // the target file could not be written, or changed meanwhile
  TARGET_IMPORT_REFUSED = 2,      // the list, the tile map, its place or its target file does not do
};

struct TargetImport {
  int outcome = TARGET_IMPORT_REFUSED;
  std::string why;                 // the one line of a refusal or failure
  std::vector<std::string> notes;  // rows left out and places outside the terrain, a line each
  int added = 0, outside = 0, total = 0;  // areas added, left out as outside, in the file after
  std::string written;             // the target file rewritten, or ""
};

// Each place becomes an area of its name, friendly when its side begins
// with F (any case), else enemy, its one target of the type given (else
// TARGET_IMPORT_TYPE) turned by the heading when it is a runway.
#define TARGET_IMPORT_TYPE "Target"
TargetImport import_targets(const char *places_path, const char *tfd_path);
