// The _DATA.ini terrain description: texture file names and water flags.
#pragma once

#include "core/reporter.h"

// Reads every [TextureNNN] section into the texture table and counts the
// declared textures in textures_declared. 0, or RESULT_NOTHING_READ when the
// file is missing or declares none.
int load_terrain_description(const char *path, const Reporter *reporter);
