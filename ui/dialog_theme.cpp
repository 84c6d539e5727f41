#include "ui/dialog_theme.h"

int theme_fg_color, theme_bg_color, theme_mid_color, theme_light_color, theme_focus_color;
void install_dialog_theme() {}
