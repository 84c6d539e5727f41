#include "render/screenshot.h"

int save_screenshot() { return 1; }
