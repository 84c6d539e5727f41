#include "render/export/shade_cache.h"

#include <cstring>

ShadeCacheSlot shade_cache[SHADE_CACHE_SIZE];

void reset_shade_cache() { memset(shade_cache, 0, sizeof(shade_cache)); }
