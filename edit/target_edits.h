// The target areas edited where they are drawn: areas and targets moved,
// turned, added, removed, renamed and switched, each edit a change of one
// area that can be applied and taken back. Positions and offsets are whole
// metres; an offset is given as drawn (turned by a runway's heading) and
// kept in the file's terms. The areas are core's targets (1..area_count).
#pragma once

#include <memory>
#include <string>

#include "core/terrain_model.h"

// What an edit did to the areas: the area at number n replaced, a new area
// put in at n (the later ones one number higher) or the area at n taken
// out (the later ones one lower). apply(0) takes it back, apply(1) makes it
// again; the text names it as the history shows it ("move of
// TargetArea004").
struct TargetChange {
  enum Kind { REPLACED, INSERTED, REMOVED } kind;
  int area;
  std::unique_ptr<TargetArea> before, after;  // the area as it was and became (one of them for an insert or removal)
  std::string what;
  void apply(int forward);
  long long bytes() const;
};

// Each returns the change it made (null when it changed nothing: an area or
// target that does not exist, a heading where there is no runway, a name
// that is the same); the caller hands it to the history.
std::unique_ptr<TargetChange> target_area_move(int n, double x, double y);
std::unique_ptr<TargetChange> target_move(int n, int t, double offset_x, double offset_y);
std::unique_ptr<TargetChange> target_area_turn(int n, int degrees);
std::unique_ptr<TargetChange> target_add(int n, const char *type, double offset_x, double offset_y);
std::unique_ptr<TargetChange> target_area_add(const char *name, int enemy, double x, double y, const char *first_type);
std::unique_ptr<TargetChange> target_remove(int n, int t);
std::unique_ptr<TargetChange> target_area_remove(int n);
std::unique_ptr<TargetChange> target_area_rename(int n, const char *name);
std::unique_ptr<TargetChange> target_area_switch_side(int n);

// Whether the area's first target is a runway whose heading turns the
// others (the reader's rule), and its number from the type; -1 for none.
int area_runway_number(const TargetArea &area);

// "TargetArea004".
std::string target_area_label(int n);

// What the strip says of target mode's selection: "TargetArea004 Kestrel
// Island AB, friendly, 7 targets", or "Target[003] Hangar of TargetArea004,
// offset 250, -120 m"; "" for none.
std::string target_selection_text(int area, int target);
