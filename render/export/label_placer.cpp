#include "render/export/label_placer.h"

#include <cmath>

namespace {

// Buckets per side of the bounds: enough that a neighbourhood holds few
// boxes, few enough that an empty map costs nothing.
const int PLACER_BUCKETS = 64;

// The places tried, as where the label's box lies against the mark: right,
// left, above and below first (the eye finds those soonest), then the four
// corners. dx, dy: -1 before the mark, 0 centred on it, 1 after it.
const int PLACES[][2] = {{1, 0}, {-1, 0}, {0, -1}, {0, 1}, {1, -1}, {1, 1}, {-1, -1}, {-1, 1}};

PlacerBox box_at(const PlacerBox &mark, double w, double h, double gap, int dx, int dy) {
  const double cx = (mark.x0 + mark.x1) / 2, cy = (mark.y0 + mark.y1) / 2;
  const double x0 = dx > 0 ? mark.x1 + gap : (dx < 0 ? mark.x0 - gap - w : cx - w / 2);
  // Beside the mark the label is centred on it; above and below it starts
  // from the mark's middle when it leans to a side.
  const double y0 = dy > 0 ? mark.y1 + gap : (dy < 0 ? mark.y0 - gap - h : cy - h / 2);
  return PlacerBox{x0, y0, x0 + w, y0 + h};
}

}  // namespace

LabelPlacer::LabelPlacer(const PlacerBox &bounds, double gap) : bounds_(bounds), gap_(gap) {
  const double w = bounds.x1 - bounds.x0, h = bounds.y1 - bounds.y0;
  const double longer = w > h ? w : h;
  cell_ = longer > 0 ? longer / PLACER_BUCKETS : 1;
  columns_ = w > 0 ? (int)std::ceil(w / cell_) + 1 : 1;
  rows_ = h > 0 ? (int)std::ceil(h / cell_) + 1 : 1;
  if (columns_ > PLACER_BUCKETS + 1) columns_ = PLACER_BUCKETS + 1;
  if (rows_ > PLACER_BUCKETS + 1) rows_ = PLACER_BUCKETS + 1;
  buckets_.resize((size_t)columns_ * rows_);
}

void LabelPlacer::bucket_range(const PlacerBox &box, int *c0, int *r0, int *c1, int *r1) const {
  const auto clamp = [](double v, int n) {
    if (!(v > 0)) return 0;
    return v >= n - 1 ? n - 1 : (int)v;
  };
  *c0 = clamp((box.x0 - bounds_.x0) / cell_, columns_);
  *c1 = clamp((box.x1 - bounds_.x0) / cell_, columns_);
  *r0 = clamp((box.y0 - bounds_.y0) / cell_, rows_);
  *r1 = clamp((box.y1 - bounds_.y0) / cell_, rows_);
}

void LabelPlacer::add_obstacle(const PlacerBox &box) {
  const int index = (int)boxes_.size();
  boxes_.push_back(box);
  int c0, r0, c1, r1;
  bucket_range(box, &c0, &r0, &c1, &r1);
  for (int r = r0; r <= r1; r++)
    for (int c = c0; c <= c1; c++) buckets_[(size_t)r * columns_ + c].push_back(index);
}

bool LabelPlacer::free_at(const PlacerBox &box) const {
  if (box.x0 < bounds_.x0 || box.y0 < bounds_.y0 || box.x1 > bounds_.x1 || box.y1 > bounds_.y1) return false;
  int c0, r0, c1, r1;
  bucket_range(box, &c0, &r0, &c1, &r1);
  for (int r = r0; r <= r1; r++)
    for (int c = c0; c <= c1; c++)
      for (int index : buckets_[(size_t)r * columns_ + c])
        if (boxes_overlap(box, boxes_[index])) return false;
  return true;
}

bool LabelPlacer::place(const PlacerBox &mark, double w, double h, PlacerBox *placed) {
  for (const auto &p : PLACES) {
    const PlacerBox box = box_at(mark, w, h, gap_, p[0], p[1]);
    if (!free_at(box)) continue;
    add_obstacle(box);
    *placed = box;
    return true;
  }
  return false;
}

PlacerBox LabelPlacer::first_place(const PlacerBox &mark, double w, double h) const {
  return box_at(mark, w, h, gap_, PLACES[0][0], PLACES[0][1]);
}
