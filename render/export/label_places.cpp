#include "render/export/label_places.h"

LabelBox label_place(int x, int y, int w, int h, int place) {
  // Left edges and top edges of the eight places, in the order they are tried.
  const int right = x + 6, left = x - 6 - w, middle = x - w / 2;
  const int level = y - 5, above = y - 6 - h, below = y + 6;
  static const int columns[LABEL_PLACES] = {0, 1, 0, 0, 1, 1, 2, 2};
  static const int rows[LABEL_PLACES] = {0, 0, 1, 2, 1, 2, 1, 2};
  const int k = place < 0 || place >= LABEL_PLACES ? 0 : place;
  const int x1 = columns[k] == 0 ? right : columns[k] == 1 ? left : middle;
  const int y1 = rows[k] == 0 ? level : rows[k] == 1 ? above : below;
  return {x1, y1, x1 + w - 1, y1 + h - 1};
}

bool boxes_overlap(const LabelBox &a, const LabelBox &b) {
  return a.x1 <= b.x2 && b.x1 <= a.x2 && a.y1 <= b.y2 && b.y1 <= a.y2 && a.x1 <= a.x2 && a.y1 <= a.y2 &&
         b.x1 <= b.x2 && b.y1 <= b.y2;
}

int LabelPlacer::place(int x, int y, int w, int h, LabelBox *box) {
  for (int k = 0; k < LABEL_PLACES; k++) {
    const LabelBox b = label_place(x, y, w, h, k);
    bool free = true;
    for (const LabelBox &t : taken_)
      if (boxes_overlap(b, t)) {
        free = false;
        break;
      }
    for (const Shape &shape : shapes_)
      if (free && boxes_overlap(b, shape.outer) && shape.hits(b)) free = false;
    if (free) {
      taken_.push_back(b);
      *box = b;
      return 0;
    }
  }
  return 1;
}
