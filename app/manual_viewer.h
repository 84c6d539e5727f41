// F1: the program's manual in a scrollable dialog.
#pragma once

#define MANUAL_FILE "Veldkit.htm"

int show_manual();
