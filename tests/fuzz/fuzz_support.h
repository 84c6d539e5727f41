// Shared set-up of the fuzz targets: the library without a display, a memory
// bitmap standing in for the screen, the built-in font for every text, and a
// scratch folder in memory for the files the readers are given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

void fuzz_init();

// Writes the bytes to <scratch>/<name> and returns the path.
std::string fuzz_file(const char *name, const uint8_t *data, size_t size);
