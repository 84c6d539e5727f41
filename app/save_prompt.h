// The exit prompt: offers to save a changed tile map and height map.
#pragma once

void confirm_exit();
