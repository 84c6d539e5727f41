// The target areas as the library's configuration reader finds them: every
// key looked up with get_config_string and get_config_int, one window of
// the text at a time, the way the areas were first read. The tests and a
// fuzz target compare the program's reader with it.
#pragma once

#include <string>

// Reads text[0..size) with read_target_text and with the library's
// look-ups; "" when both leave the same counters and the same bytes in
// every area record they touch, else the first difference. The records
// must start zeroed; both readings' records are zeroed again afterwards
// and the counters set to 0.
std::string compare_with_library_reader(const char *text, long size);

// Reads the terrain description at path with load_terrain_description and
// with the library's look-ups; "" when both leave the same counters, file
// names and water flags, else the first difference. Only sections the text
// names are looked up: no other can hold a key.
std::string compare_description_with_library(const char *path);
