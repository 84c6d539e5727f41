#include "render/export/label_places.h"

#include <cmath>

namespace {

// Cells per side of a briefing map: enough that a neighbourhood holds few
// boxes, few enough that an empty map costs nothing.
const int PLACER_CELLS = 64;

// The pixels a drawing's labels are indexed over, and their cells: the
// largest planning map; the window is smaller.
const double LABEL_AREA_PIXELS = 4096, LABEL_CELL_PIXELS = 64;

// An inclusive pixel box as the core's box: its pixels' interior.
PlacerBox pixels_box(const LabelBox &b) { return PlacerBox{(double)b.x1, (double)b.y1, b.x2 + 1.0, b.y2 + 1.0}; }

// The briefing's places, as where the label's box lies against the mark.
// dx, dy: -1 before the mark, 0 centred on it, 1 after it.
const int MARK_PLACES[][2] = {{1, 0}, {-1, 0}, {0, -1}, {0, 1}, {1, -1}, {1, 1}, {-1, -1}, {-1, 1}};

PlacerBox box_at(const PlacerBox &mark, double w, double h, double gap, int dx, int dy) {
  const double cx = (mark.x0 + mark.x1) / 2, cy = (mark.y0 + mark.y1) / 2;
  const double x0 = dx > 0 ? mark.x1 + gap : (dx < 0 ? mark.x0 - gap - w : cx - w / 2);
  // Beside the mark the label is centred on it; above and below it starts
  // from the mark's middle when it leans to a side.
  const double y0 = dy > 0 ? mark.y1 + gap : (dy < 0 ? mark.y0 - gap - h : cy - h / 2);
  return PlacerBox{x0, y0, x0 + w, y0 + h};
}

}  // namespace

LabelIndex::LabelIndex(const PlacerBox &area, double cell, bool within) : area_(area), within_(within) {
  const double w = area.x1 - area.x0, h = area.y1 - area.y0;
  cell_ = cell > 0 ? cell : 1;
  const double most = PLACER_CELLS * 2;
  columns_ = w > 0 ? (int)std::fmin(std::ceil(w / cell_) + 1, most + 1) : 1;
  rows_ = h > 0 ? (int)std::fmin(std::ceil(h / cell_) + 1, most + 1) : 1;
  cells_.resize((size_t)columns_ * rows_);
}

void LabelIndex::cells_of(const PlacerBox &box, int *c0, int *r0, int *c1, int *r1) const {
  const auto clamp = [](double v, int n) {
    if (!(v > 0)) return 0;
    return v >= n - 1 ? n - 1 : (int)v;
  };
  *c0 = clamp((box.x0 - area_.x0) / cell_, columns_);
  *c1 = clamp((box.x1 - area_.x0) / cell_, columns_);
  *r0 = clamp((box.y0 - area_.y0) / cell_, rows_);
  *r1 = clamp((box.y1 - area_.y0) / cell_, rows_);
}

int LabelIndex::take(const PlacerBox &box) {
  const int number = (int)boxes_.size();
  boxes_.push_back(box);
  int c0, r0, c1, r1;
  cells_of(box, &c0, &r0, &c1, &r1);
  for (int r = r0; r <= r1; r++)
    for (int c = c0; c <= c1; c++) cells_[(size_t)r * columns_ + c].push_back(number);
  return number;
}

int LabelIndex::take_first(const PlacerBox *candidates, int count,
                           const std::function<bool(int number, int candidate)> &blocks) {
  for (int k = 0; k < count; k++) {
    const PlacerBox &box = candidates[k];
    if (within_ && (box.x0 < area_.x0 || box.y0 < area_.y0 || box.x1 > area_.x1 || box.y1 > area_.y1)) continue;
    int c0, r0, c1, r1;
    cells_of(box, &c0, &r0, &c1, &r1);
    bool clear = true;
    for (int r = r0; r <= r1 && clear; r++)
      for (int c = c0; c <= c1 && clear; c++)
        for (int number : cells_[(size_t)r * columns_ + c])
          if (boxes_overlap(box, boxes_[(size_t)number]) && (!blocks || blocks(number, k))) {
            clear = false;
            break;
          }
    if (!clear) continue;
    take(box);
    return k;
  }
  return -1;
}

LabelBox label_place(int x, int y, int w, int h, int place, int gap) {
  // Left edges and top edges of the eight places, in the order they are tried.
  const int right = x + gap, left = x - gap - w, middle = x - w / 2;
  const int level = y - 5, above = y - gap - h, below = y + gap;
  static const int columns[LABEL_PLACES] = {0, 1, 0, 0, 1, 1, 2, 2};
  static const int rows[LABEL_PLACES] = {0, 0, 1, 2, 1, 2, 1, 2};
  const int k = place < 0 || place >= LABEL_PLACES ? 0 : place;
  const int x1 = columns[k] == 0 ? right : columns[k] == 1 ? left : middle;
  const int y1 = rows[k] == 0 ? level : rows[k] == 1 ? above : below;
  return {x1, y1, x1 + w - 1, y1 + h - 1};
}

bool boxes_overlap(const LabelBox &a, const LabelBox &b) { return boxes_overlap(pixels_box(a), pixels_box(b)); }

LabelPlacer::LabelPlacer() : index_(PlacerBox{0, 0, LABEL_AREA_PIXELS, LABEL_AREA_PIXELS}, LABEL_CELL_PIXELS, false) {}

void LabelPlacer::block(const LabelBox &box) {
  index_.take(pixels_box(box));
  shapes_.emplace_back();
}

void LabelPlacer::block(const LabelBox &outer, std::function<bool(const LabelBox &)> hits) {
  index_.take(pixels_box(outer));
  shapes_.push_back(std::move(hits));
}

int LabelPlacer::place(int x, int y, int w, int h, LabelBox *box) { return place_out_to(x, y, w, h, LABEL_GAP, box); }

int LabelPlacer::place_out_to(int x, int y, int w, int h, int farthest, LabelBox *box) {
  for (int gap = LABEL_GAP;; gap += LABEL_GAP_STEP) {
    if (place_at(x, y, w, h, gap, box) == 0) return 0;
    if (gap >= farthest) return 1;
  }
}

int LabelPlacer::place_at(int x, int y, int w, int h, int gap, LabelBox *box) {
  LabelBox places[LABEL_PLACES];
  PlacerBox candidates[LABEL_PLACES];
  for (int k = 0; k < LABEL_PLACES; k++) {
    places[k] = label_place(x, y, w, h, k, gap);
    candidates[k] = pixels_box(places[k]);
  }
  const int k = index_.take_first(candidates, LABEL_PLACES, [&](int number, int candidate) {
    const auto &hits = shapes_[(size_t)number];
    return !hits || hits(places[candidate]);
  });
  if (k < 0) return 1;
  // Labels are plain boxes to those after them.
  shapes_.emplace_back();
  *box = places[k];
  return 0;
}

BoundedPlacer::BoundedPlacer(const PlacerBox &bounds, double gap)
    : index_(bounds, std::fmax(bounds.x1 - bounds.x0, bounds.y1 - bounds.y0) / PLACER_CELLS, true), gap_(gap) {}

bool BoundedPlacer::place(const PlacerBox &mark, double w, double h, PlacerBox *placed) {
  PlacerBox candidates[LABEL_PLACES];
  for (int k = 0; k < LABEL_PLACES; k++)
    candidates[k] = box_at(mark, w, h, gap_, MARK_PLACES[k][0], MARK_PLACES[k][1]);
  const int k = index_.take_first(candidates, LABEL_PLACES);
  if (k >= 0) *placed = candidates[k];
  return k >= 0;
}

PlacerBox BoundedPlacer::first_place(const PlacerBox &mark, double w, double h) const {
  return box_at(mark, w, h, gap_, MARK_PLACES[0][0], MARK_PLACES[0][1]);
}
