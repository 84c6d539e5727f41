#include "render/shade_cache.h"

#include <cstring>

uint64_t shade_cache_keys[SHADE_CACHE_SIZE];
int32_t shade_cache_values[SHADE_CACHE_SIZE];

void reset_shade_cache() { memset(shade_cache_keys, 0, sizeof(shade_cache_keys)); }
