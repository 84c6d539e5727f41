// Where labels go beside their marks without overlaps: each label tries
// its places around its mark in a fixed order and takes the first that is
// clear of every mark and every label placed before it. One core serves
// two placers: the pixel boxes of the map view and the planning maps
// (LabelPlacer: target names beside their points, clear of runway
// symbols), and the boxes in points of the briefing map (BoundedPlacer:
// labels beside mark boxes, kept within the map). Whatever fits nowhere is
// left to the caller. y grows downward.
#pragma once

#include <functional>
#include <vector>

// A box by its edges; boxes whose interiors meet overlap, and an empty box
// (no width or no height) overlaps nothing.
struct PlacerBox {
  double x0, y0, x1, y1;
};

inline bool boxes_overlap(const PlacerBox &a, const PlacerBox &b) {
  return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1 && a.x0 < a.x1 && a.y0 < a.y1 && b.x0 < b.x1 &&
         b.y0 < b.y1;
}

// The core: the boxes taken, in buckets of a grid over an area (boxes
// beyond it share its edge cells), so that a test looks at the
// neighbourhood only.
class LabelIndex {
 public:
  // Cells of cell units over the area; within, labels must keep inside it.
  LabelIndex(const PlacerBox &area, double cell, bool within);

  // A box no label may cover from now on; its number, from 0 up.
  int take(const PlacerBox &box);

  // The first of the candidates that is clear of every box taken (of those
  // for which blocks(number, candidate) says so: a shape may leave room
  // inside its box), which is then taken too; -1 when none is.
  int take_first(const PlacerBox *candidates, int count,
                 const std::function<bool(int number, int candidate)> &blocks = nullptr);

 private:
  void cells_of(const PlacerBox &box, int *c0, int *r0, int *c1, int *r1) const;

  PlacerBox area_;
  bool within_;
  double cell_ = 1;
  int columns_ = 1, rows_ = 1;
  std::vector<PlacerBox> boxes_;
  std::vector<std::vector<int>> cells_;
};

// --- The map view and the planning maps: pixels ---

// Pixels, corners included; empty when x2 < x1 or y2 < y1.
struct LabelBox {
  int x1, y1, x2, y2;
};

enum { LABEL_PLACES = 8, LABEL_GAP = 6, LABEL_GAP_STEP = 4 };

// The place'th box (0..7) for a label w x h pixels beside a mark at (x, y):
// 0 is right of the mark with its top 5 pixels above it, where labels have
// always been drawn; then left, above and below on the right, above and
// below on the left, and straight above and below. gap: the pixels between
// the mark and the label's near edge.
LabelBox label_place(int x, int y, int w, int h, int place, int gap = LABEL_GAP);

bool boxes_overlap(const LabelBox &a, const LabelBox &b);

// The labels of one drawing, placed one after another.
class LabelPlacer {
 public:
  LabelPlacer();
  // A box no label may cover.
  void block(const LabelBox &box);
  // A shape no label may cover (a turned runway symbol): within outer, hits
  // says whether a box covers any of its pixels.
  void block(const LabelBox &outer, std::function<bool(const LabelBox &)> hits);
  // The first free place for a w x h label at mark (x, y), which is then
  // taken: 0 with its box; 1 when all eight overlap something.
  int place(int x, int y, int w, int h, LabelBox *box);
  // As place, and where the eight are taken, the eight again ever farther
  // out, LABEL_GAP_STEP pixels a round, until the gap reaches farthest: for
  // a mark amid a shape (an airfield's own runways).
  int place_out_to(int x, int y, int w, int h, int farthest, LabelBox *box);

 private:
  int place_at(int x, int y, int w, int h, int gap, LabelBox *box);

  LabelIndex index_;
  std::vector<std::function<bool(const LabelBox &)>> shapes_;  // by box number; empty: a plain box
};

// --- The briefing map: points ---

class BoundedPlacer {
 public:
  // Labels keep gap from their mark and stay within bounds.
  BoundedPlacer(const PlacerBox &bounds, double gap);

  // Something no label may cover: every mark, before any label is placed.
  void add_obstacle(const PlacerBox &box) { index_.take(box); }

  // A label of w x h for the mark box, in the first free of eight places:
  // right, left, above and below first (the eye finds those soonest), then
  // the four corners. True with the label's box in *placed (now an
  // obstacle itself), false when no place is free.
  bool place(const PlacerBox &mark, double w, double h, PlacerBox *placed);

  // The label's first place, whatever it covers (not an obstacle after).
  PlacerBox first_place(const PlacerBox &mark, double w, double h) const;

 private:
  LabelIndex index_;
  double gap_;
};
