#include "edit/target_edits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <climits>
#include <cstring>

#include "core/text_numbers.h"

namespace {

// A whole metre within what a float holds exactly.
float whole_metres(double v) {
  if (!std::isfinite(v)) return 0;
  return (float)std::round(std::clamp(v, -16000000.0, 16000000.0));
}

bool has_area(int n) { return n >= 1 && n <= targets.area_count && n < MAX_AREAS; }

std::unique_ptr<TargetArea> copy_of(const TargetArea &area) {
  std::unique_ptr<TargetArea> copy(new TargetArea);
  *copy = area;
  return copy;
}

// The area's drawn offsets and runway from its file offsets and types.
void settle(TargetArea &area) {
  area.runway_number = area_runway_number(area);
  turn_area_targets(area);
}

bool turns(const TargetArea &area) {
  return area.target_count > 1 && area.runway_number >= 0 && area.targets[1].heading != 0;
}

// Target t's file offsets for a drawn offset: turned back by the heading.
void set_drawn_offset(TargetArea &area, int t, double x, double y) {
  Target &target = area.targets[t];
  if (t > 1 && turns(area)) {
    const double a = -area.targets[1].heading * 0.01745329, c = cos(a), s = sin(a);
    const double fx = x * c + y * s, fy = -x * s + y * c;
    x = fx, y = fy;
  }
  target.file_offset_x = whole_metres(x);
  target.file_offset_y = whole_metres(y);
}

void recount();

// The change of area n from before to what it is now; null when no byte
// the file holds differs.
std::unique_ptr<TargetChange> replaced(int n, std::unique_ptr<TargetArea> before, const std::string &what) {
  recount();
  const TargetArea &now = targets.areas[n];
  bool same = strcmp(now.name, before->name) == 0 && now.pos_x == before->pos_x && now.pos_y == before->pos_y &&
              now.enemy == before->enemy && now.target_count == before->target_count;
  for (int t = 1; same && t <= now.target_count; t++) {
    const Target &a = now.targets[t], &b = before->targets[t];
    same = strcmp(a.type, b.type) == 0 && a.file_offset_x == b.file_offset_x && a.file_offset_y == b.file_offset_y &&
           a.heading == b.heading && a.file_number == b.file_number;
  }
  if (same) return nullptr;
  std::unique_ptr<TargetChange> change(new TargetChange);
  change->kind = TargetChange::REPLACED;
  change->area = n;
  change->before = std::move(before);
  change->after = copy_of(now);
  change->what = what;
  return change;
}

void recount() {
  targets.target_total = 0;
  for (int n = 1; n <= targets.area_count; n++) targets.target_total += targets.areas[n].target_count;
}

void insert_area(int n, const TargetArea &area) {
  for (int k = targets.area_count; k >= n; k--) targets.areas[k + 1] = targets.areas[k];
  targets.areas[n] = area;
  targets.area_count++;
  recount();
}

void remove_area(int n) {
  for (int k = n; k < targets.area_count; k++) targets.areas[k] = targets.areas[k + 1];
  targets.area_count--;
  recount();
}

std::string target_label(int t) {
  char text[16] = "";
  append_number3(text, t);
  return std::string("Target[") + text + "]";
}

}  // namespace

int area_runway_number(const TargetArea &area) {
  if (!is_airfield(area)) return -1;
  return (int)parse_leading_int(area.targets[1].type + 6, INT32_MIN, INT32_MAX);
}

std::string target_area_label(int n) {
  char text[16] = "";
  append_number3(text, n);
  return std::string("TargetArea") + text;
}

void TargetChange::apply(int forward) {
  if (kind == REPLACED) {
    targets.areas[area] = forward ? *after : *before;
    recount();
    return;
  }
  // An insert made is a removal taken back, and the other way round.
  const bool inserting = (kind == INSERTED) == (forward != 0);
  if (inserting)
    insert_area(area, kind == INSERTED ? *after : *before);
  else
    remove_area(area);
}

long long TargetChange::bytes() const {
  return (long long)sizeof(*this) + (before ? (long long)sizeof(TargetArea) : 0) +
         (after ? (long long)sizeof(TargetArea) : 0) + (long long)what.size();
}

std::unique_ptr<TargetChange> target_area_move(int n, double x, double y) {
  if (!has_area(n)) return nullptr;
  std::unique_ptr<TargetArea> before = copy_of(targets.areas[n]);
  targets.areas[n].pos_x = whole_metres(x);
  targets.areas[n].pos_y = whole_metres(y);
  return replaced(n, std::move(before), "move of " + target_area_label(n));
}

std::unique_ptr<TargetChange> target_move(int n, int t, double offset_x, double offset_y) {
  if (!has_area(n) || t < 1 || t > targets.areas[n].target_count) return nullptr;
  TargetArea &area = targets.areas[n];
  std::unique_ptr<TargetArea> before = copy_of(area);
  set_drawn_offset(area, t, offset_x, offset_y);
  settle(area);
  return replaced(n, std::move(before), "move of " + target_label(t) + " of " + target_area_label(n));
}

std::unique_ptr<TargetChange> target_area_turn(int n, int degrees) {
  if (!has_area(n) || area_runway_number(targets.areas[n]) < 0) return nullptr;
  TargetArea &area = targets.areas[n];
  std::unique_ptr<TargetArea> before = copy_of(area);
  area.targets[1].heading = ((area.targets[1].heading + degrees) % 360 + 360) % 360;
  settle(area);
  return replaced(n, std::move(before), "turn of " + target_area_label(n));
}

std::unique_ptr<TargetChange> target_add(int n, const char *type, double offset_x, double offset_y) {
  if (!has_area(n) || targets.areas[n].target_count >= MAX_TARGETS - 1 || !type || !type[0]) return nullptr;
  TargetArea &area = targets.areas[n];
  std::unique_ptr<TargetArea> before = copy_of(area);
  const int t = ++area.target_count;
  Target &target = area.targets[t];
  target = Target();
  copy_cut(target.type, type, NAME_SIZE);
  area.runway_number = area_runway_number(area);
  set_drawn_offset(area, t, offset_x, offset_y);
  settle(area);
  return replaced(n, std::move(before), "new target " + target_label(t) + " of " + target_area_label(n));
}

std::unique_ptr<TargetChange> target_area_add(const char *name, int enemy, double x, double y, const char *first_type) {
  if (targets.area_count >= MAX_AREAS - 1 || !name || !name[0] || !first_type || !first_type[0]) return nullptr;
  std::unique_ptr<TargetArea> area(new TargetArea());
  copy_cut(area->name, name, NAME_SIZE);
  area->enemy = enemy ? 1 : 0;
  area->pos_x = whole_metres(x);
  area->pos_y = whole_metres(y);
  area->target_count = 1;
  copy_cut(area->targets[1].type, first_type, NAME_SIZE);
  settle(*area);
  const int n = targets.area_count + 1;
  insert_area(n, *area);
  std::unique_ptr<TargetChange> change(new TargetChange);
  change->kind = TargetChange::INSERTED;
  change->area = n;
  change->after = std::move(area);
  change->what = "new area " + target_area_label(n);
  return change;
}

std::unique_ptr<TargetChange> target_remove(int n, int t) {
  if (!has_area(n) || t < 1 || t > targets.areas[n].target_count || targets.areas[n].target_count <= 1) return nullptr;
  TargetArea &area = targets.areas[n];
  std::unique_ptr<TargetArea> before = copy_of(area);
  for (int k = t; k < area.target_count; k++) area.targets[k] = area.targets[k + 1];
  area.target_count--;
  settle(area);
  return replaced(n, std::move(before), "removal of " + target_label(t) + " of " + target_area_label(n));
}

std::unique_ptr<TargetChange> target_area_remove(int n) {
  if (!has_area(n)) return nullptr;
  std::unique_ptr<TargetChange> change(new TargetChange);
  change->kind = TargetChange::REMOVED;
  change->area = n;
  change->before = copy_of(targets.areas[n]);
  change->what = "removal of " + target_area_label(n);
  remove_area(n);
  return change;
}

std::unique_ptr<TargetChange> target_area_rename(int n, const char *name) {
  if (!has_area(n) || !name || !name[0]) return nullptr;
  std::unique_ptr<TargetArea> before = copy_of(targets.areas[n]);
  copy_cut(targets.areas[n].name, name, NAME_SIZE);
  return replaced(n, std::move(before), "new name of " + target_area_label(n));
}

std::unique_ptr<TargetChange> target_area_switch_side(int n) {
  if (!has_area(n)) return nullptr;
  std::unique_ptr<TargetArea> before = copy_of(targets.areas[n]);
  targets.areas[n].enemy = !targets.areas[n].enemy;
  return replaced(n, std::move(before), "side of " + target_area_label(n));
}

std::string target_selection_text(int n, int t) {
  if (!has_area(n)) return "";
  const TargetArea &area = targets.areas[n];
  char text[256];
  if (t >= 1 && t <= area.target_count) {
    const Target &target = area.targets[t];
    snprintf(text, sizeof(text), "%s %s of %s, offset %.0f, %.0f m", target_label(t).c_str(), target.type,
             target_area_label(n).c_str(), (double)target.file_offset_x, (double)target.file_offset_y);
  } else {
    snprintf(text, sizeof(text), "%s %s, %s, %d target%s", target_area_label(n).c_str(), area.name,
             area.enemy ? "enemy" : "friendly", area.target_count, area.target_count == 1 ? "" : "s");
  }
  return text;
}
