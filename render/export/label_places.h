// Where the labels of target areas go on a map: each label in the first of
// eight places around its mark that overlaps no label placed before it and
// no runway symbol, or nowhere. Serves the map view and the planning maps.
#pragma once

#include <functional>
#include <vector>

// Pixels, corners included; empty when x2 < x1 or y2 < y1.
struct LabelBox {
  int x1, y1, x2, y2;
};

enum { LABEL_PLACES = 8 };

// The place'th box (0..7) for a label w x h pixels beside a mark at (x, y):
// 0 is right of the mark with its top 5 pixels above it, where labels have
// always been drawn; then left, above and below on the right, above and
// below on the left, and straight above and below.
LabelBox label_place(int x, int y, int w, int h, int place);

bool boxes_overlap(const LabelBox &a, const LabelBox &b);

// The labels of one drawing, placed one after another.
class LabelPlacer {
 public:
  // A box no label may cover.
  void block(const LabelBox &box) { taken_.push_back(box); }
  // A shape no label may cover (a turned runway symbol): within outer, hits
  // says whether a box covers any of its pixels.
  void block(const LabelBox &outer, std::function<bool(const LabelBox &)> hits) {
    shapes_.push_back({outer, std::move(hits)});
  }
  // The first free place for a w x h label at mark (x, y), which is then
  // taken: 0 with its box; 1 when all eight overlap something.
  int place(int x, int y, int w, int h, LabelBox *box);

 private:
  struct Shape {
    LabelBox outer;
    std::function<bool(const LabelBox &)> hits;
  };
  std::vector<LabelBox> taken_;
  std::vector<Shape> shapes_;
};
