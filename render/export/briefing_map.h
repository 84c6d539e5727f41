// The briefing export: NAME_Briefing_NNN.pdf, one page of vector text and
// lines over the shaded picture for mission briefings, and the same page
// as NAME_Briefing_NNN.png beside it, both under the first number free for
// both. The page itself is briefing_page.h; this module finds the fonts,
// the settings and the names and writes the two files.
#pragma once

#include <string>

#include "core/export_format.h"
#include "core/relief_shading.h"
#include "core/reporter.h"

// Writes both files for the open terrain and its target areas; 0 with the
// PDF's name in pdf_name (PATH_SIZE bytes), or the failure reported and
// returned (RESULT_NO_TILES, RESULT_NO_MEMORY, RESULT_CANNOT_WRITE,
// RESULT_NO_FREE_NAME, RESULT_CANNOT_OPEN), no file left behind. The maps
// are the loaded ones, or for an opening that stored neither the relief
// read beforehand (read_briefing_relief) and the tiles read again from
// the tile map file.
int write_briefing_map(const Reporter *reporter, char *pdf_name, const ReliefGrid *relief = nullptr);

// The PNG's name beside the PDF's: the same but for ".png".
std::string briefing_png_name(const std::string &pdf_name);
