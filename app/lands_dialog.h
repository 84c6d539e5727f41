// Ctrl + L: the lands dialog. The lands of the open terrain's lands file and
// the lands to be made, each with its colour, picture and water flag; a
// preview of one transition between the two lands chosen last; the corner
// combinations the map needs that no texture has, now and after Generate;
// and Generate, which writes the set (document/land_set_draft.h) and reads
// the new textures and the lands file in, the tiles keeping their bytes.
#pragma once

#include "app/key_table.h"

void edit_lands(KeyCommand &c);
