// Labels beside their marks without overlaps: each label tries a few
// places around its mark, in a fixed order, and takes the first that stays
// inside the bounds and clear of every mark and every label placed before
// it. Whatever fits nowhere is left to the caller (a table, a number). In
// any unit, y growing downward; knows nothing of what it places.
#pragma once

#include <vector>

struct PlacerBox {
  double x0, y0, x1, y1;
};

// Interiors meet: boxes that only touch do not overlap.
inline bool boxes_overlap(const PlacerBox &a, const PlacerBox &b) {
  return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

class LabelPlacer {
 public:
  // Labels keep gap from their mark and stay within bounds.
  LabelPlacer(const PlacerBox &bounds, double gap);

  // Something no label may cover: every mark, before any label is placed.
  void add_obstacle(const PlacerBox &box);

  // A label of w x h for the mark box: true with the label's box in *placed
  // (now an obstacle itself), false when no place is free.
  bool place(const PlacerBox &mark, double w, double h, PlacerBox *placed);

  // The label's first place, whatever it covers (not an obstacle after).
  PlacerBox first_place(const PlacerBox &mark, double w, double h) const;

 private:
  // The boxes in buckets of a coarse grid over the bounds, so that a test
  // looks at the neighbourhood only.
  bool free_at(const PlacerBox &box) const;
  void bucket_range(const PlacerBox &box, int *c0, int *r0, int *c1, int *r1) const;

  PlacerBox bounds_;
  double gap_;
  double cell_ = 1;
  int columns_ = 1, rows_ = 1;
  std::vector<PlacerBox> boxes_;
  std::vector<std::vector<int>> buckets_;
};
