// Print Screen: the back buffer to a numbered BMP.
#pragma once

int save_screenshot();  // 0 written, 1 not
