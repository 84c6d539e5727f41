// Latitudes and longitudes as people type and read them: "43.2N",
// "43°12'N", "43°12.3'N 19°05.6'E". Text only; no projection.
#pragma once

#include <string>

// One angle: a decimal number (a leading '-' for south or west) or degrees
// with whole or decimal minutes ("43°12'", "43°12.5'", "43 12"), then an
// optional hemisphere letter N, S, E or W (either case), blanks around any
// part. *axis gets 'N' for a latitude, 'E' for a longitude, 0 when no
// letter said. False for anything else (minutes of 60 or more, nothing
// after a sign, a trailing word).
bool parse_angle(const char *text, double *degrees, char *axis);

// A place: two angles apart by blanks or a comma, with letters that say
// which is the latitude ("43.2N 19.1E", "19°06'E, 43°12'N"). False when a
// letter is missing, both are of one axis, or either is out of range.
bool parse_place(const char *text, double *latitude, double *longitude);

// "43°12.3'N 19°05.6'E": minutes to a tenth, the degree written as
// degree_sign (the strip's font has no "°" of its own).
std::string place_text(double latitude, double longitude, const char *degree_sign = "\xC2\xB0");
// "43.2050°N 19.0933°E": decimal degrees to four places (some 10 m).
std::string place_decimal_text(double latitude, double longitude, const char *degree_sign = "\xC2\xB0");
