#include "app/manual_viewer.h"

int show_manual() { return 1; }
