// F12: the settings of Veldkit.ini in a dialog, checked as the reader takes
// them and written back into the file with every other byte kept; what can
// take effect at once does, the rest from the next opening or start.
#pragma once

#include "app/key_table.h"

void edit_settings(KeyCommand &c);
