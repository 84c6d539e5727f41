// The keys of the area tools: selection, the stamp clipboards, fills, the
// height tools and the brush; each an action of the key table.
#pragma once

#include <string>
#include <vector>

#include "app/key_table.h"

void select_whole_map(KeyCommand &c);
void copy_selection(KeyCommand &c);
void paste_stamp_at_corner(KeyCommand &c);
void fill_selection(KeyCommand &c);
void raise_selected_textures(KeyCommand &c);
void lower_selected_textures(KeyCommand &c);
void turn_selected_tiles(KeyCommand &c);
void next_selected_tags(KeyCommand &c);
void paste_on_selection(KeyCommand &c);
void paste_height_stamp_at_corner(KeyCommand &c);
void fill_selection_heights(KeyCommand &c);
void raise_selected_heights(KeyCommand &c);
void lower_selected_heights(KeyCommand &c);
void turn_selected_heights(KeyCommand &c);
void paste_heights_on_selection(KeyCommand &c);
// On the selection, or without one the cursor tile.
void level_heights(KeyCommand &c);
void smooth_heights(KeyCommand &c);
void set_heights(KeyCommand &c);
void ramp_heights(KeyCommand &c);
// P and N: the left button paints, paints lands, or (pressed again) pans.
void toggle_paint_mode(KeyCommand &c);
void toggle_land_mode(KeyCommand &c);
// Target mode: E, [ and ] on a selected runway area, Delete.
void toggle_target_mode(KeyCommand &c);
void turn_area_right(KeyCommand &c);
void turn_area_left(KeyCommand &c);
void delete_selected_target(KeyCommand &c);
void rename_selected_area(KeyCommand &c);
void switch_selected_side(KeyCommand &c);
void add_target_here(KeyCommand &c);

// The target types the file uses, one row per type whatever its case (as
// first written), in alphabetical order, with how many targets have it.
struct TargetType {
  std::string name;
  int count = 0;
};
std::vector<TargetType> target_types_in_use();
// Where no type is a runway, Runway1 to Runway6 are added (count 0): the
// types that make an airfield. True when they were.
bool offer_runway_types(std::vector<TargetType> *types);
// The rows left by what is typed (any case, anywhere in the name); when no
// type is exactly what is typed, a last row numbered types.size() offers it
// as a new type.
void filter_target_types(const std::vector<TargetType> &types, const char *typed, std::vector<int> *shown);
void add_area_here(KeyCommand &c);
// Ctrl + F in land mode: every corner point of the selection's tiles gets the current land.
void fill_selection_lands(KeyCommand &c);
// W and Left Shift + W in land mode, the land picked being the sea's: the
// corner points from the heights at a sea level asked for, or the sea's
// tiles' samples at a depth asked for; each one step.
void lands_from_heights_here(KeyCommand &c);
void heights_from_lands_here(KeyCommand &c);
// Ctrl + I: an elevation model or a height picture chosen in the file
// selector put on the height map as one step, its counts in the strip.
void import_heights_here(KeyCommand &c);
void grow_brush(KeyCommand &c);
void shrink_brush(KeyCommand &c);
