// Heights for the open terrain from a file the window chose: an elevation
// model GDAL reads, warped through the terrain's place on the Earth, or a
// height picture (.png, .r16, .raw, as --import-heights takes them), put on
// the height map in memory as one history step, which undo takes back.
// Nothing is written: a save writes the map as after any edit.
#pragma once

#include <string>

#include "core/reporter.h"
#include "document/dem_import.h"
#include "document/height_import.h"

struct HeightStep {
  int outcome;      // HeightImportResult: IMPORT_WRITTEN once the map holds the heights, else nothing changed
  std::string why;  // the refusal, or the strip's line of what was done
  DemCounts counts;           // a picture's samples over 9999 are counted in above, set to 9999
  long long samples_changed = 0;
  int stepped = 0;            // 1 when the heights made a step (some sample changed)
};

// The file at path onto the open terrain (terrain_place for a model, the
// map's size in samples for a picture). The warp's progress goes to reporter.
HeightStep import_heights_step(const char *path, const Reporter *reporter);

// The samples (the map's columns x rows, the north row first) put on the
// height map as one step of the history; the number that changed.
long long put_heights_as_step(const std::vector<uint16_t> &samples, int *stepped);
