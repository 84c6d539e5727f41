// Sculpting the height samples with round brushes: a dab changes each
// sample within the radius of its centre by the strength times the falloff
// at its distance; a stroke lays dabs at even spacing along the pointer's
// path and is one step of the edit history, kept with its own copy of the
// samples it changed.
#pragma once

#include <cstdint>

enum SculptKind { SCULPT_RAISE, SCULPT_LOWER, SCULPT_SMOOTH, SCULPT_FLATTEN, SCULPT_NOISE, SCULPT_ERODE, SCULPT_KINDS };
enum SculptFalloff { SCULPT_FALLOFF_SMOOTH, SCULPT_FALLOFF_LINEAR, SCULPT_FALLOFF_CONSTANT };

enum {
  SCULPT_RADIUS_MIN = 1,
  SCULPT_RADIUS_MAX = 256,      // samples
  SCULPT_STRENGTH_STEP = 5,     // percent, also the least strength
  SCULPT_WEIGHT_ONE = 1 << 16,  // a falloff weight of 1
  SCULPT_RAISE_METRES = 100,    // a raise or lower dab at 100 % and full weight
  SCULPT_NOISE_METRES = 100,    // the noise's amplitude at 100 %
  SCULPT_NOISE_OCTAVES = 4,     // the first as wide as the radius, each next half as wide
  // Thermal erosion: material slides from a sample to a lower neighbour
  // (north, south, east, west) while they differ by more than the talus.
  // Samples lie 500 m apart, so 88 m is a slope of 10 degrees.
  SCULPT_TALUS_METRES = 88,
  SCULPT_ERODE_PASSES = 4,  // passes over the brush a dab
};

struct SculptBrush {
  int kind = SCULPT_RAISE;
  int radius = 24;    // samples
  int strength = 50;  // percent
  int falloff = SCULPT_FALLOFF_SMOOTH;
  int hardness = 25;  // percent of the radius at full strength
  uint32_t seed = 1;  // the noise's
};

// Sculpt mode's brush, kept for the run; falloff and hardness come from the
// settings at start-up.
extern SculptBrush sculpt_brush;

// The falloff at distance d from the centre of a brush of radius r:
// SCULPT_WEIGHT_ONE within hardness percent of r, 0 from r out, between
// them the curve's fall (smooth: 1 - 3u^2 + 2u^3; linear: 1 - u; constant
// stays 1 up to the rim).
int32_t sculpt_weight(int falloff, int hardness, int r, double d);

// "raise", "lower", "smooth", "flatten", "noise", "erode".
const char *sculpt_kind_name(int kind);
// A settings word: "smooth", "linear" or "constant" in any case; -1 for another.
int sculpt_falloff_named(const char *word);
// "Sculpt: raise 24 samples 50 %" (flatten_to >= 0: "... to 1234 m").
void sculpt_strip_text(const SculptBrush &brush, int flatten_to, char *text, int size);

// The seeded fractal noise the noise brush adds, in -1..1, at sample (x, y)
// for a brush of radius r: as smooth as the brush is wide.
double sculpt_noise(uint32_t seed, int r, int x, int y);

// One dab centred on sample (x, y) (columns from the west, rows from the
// north edge), without the history; target: the flatten height. The
// samples changed.
long long sculpt_dab(const SculptBrush &brush, int x, int y, int target);

// A stroke pressed at sample coordinate (x, y), sample X covering x from X to
// X + 1; flatten_to: the flatten brush's height, or -1 for the height under
// the press. A dab at once, then wherever the way along the pointer's path
// reaches a quarter of the radius (at least a sample) past the last.
void sculpt_stroke_begin(const SculptBrush &brush, double x, double y, int flatten_to);
// On along a straight line to (x, y); 1 when a dab was laid.
int sculpt_stroke_to(double x, double y);
// Keeps the stroke as one step of the history ("sculpt raise, 5120
// samples"): the samples it changed, 0 when none (and no step).
long long sculpt_stroke_end();
int sculpt_stroke_on();
