#include "document/land_set_preview.h"

#include <algorithm>

namespace {

const LandPicture *picture_of(LandPreview &p, const std::string &path, std::string *why) {
  auto found = p.read.find(path);
  if (found == p.read.end()) {
    LandPicture picture;
    *why = read_land_picture(path, &picture);
    if (!why->empty()) return nullptr;
    found = p.read.emplace(path, std::move(picture)).first;
  }
  return &found->second;
}

}  // namespace

std::string make_land_preview(const LandDraft &d, int a, int b, LandPreview *p) {
  if (a < 0 || b < 0 || a >= (int)d.lands.size() || b >= (int)d.lands.size()) return "Choose two lands in the list.";
  if (d.lands[(size_t)a].picture.empty() || d.lands[(size_t)b].picture.empty()) return "A land without a picture has no preview.";
  const LandSetRequest r = draft_request(d);
  // The lands' places in the set, which the pattern's noise is drawn from.
  int at[2] = {-1, -1};
  std::vector<const LandPicture *> pictures;
  std::vector<LandPicture> sides;
  std::string why;
  for (size_t l = 0; l < r.lands.size(); l++) {
    const LandPicture *q = picture_of(*p, r.lands[l].picture, &why);
    if (!q) return why;
    pictures.push_back(q);
    LandPicture side;
    side.width = q->width, side.height = q->height;
    sides.push_back(side);
    if (r.lands[l].name == d.lands[(size_t)a].name) at[0] = (int)l;
    if (r.lands[l].name == d.lands[(size_t)b].name) at[1] = (int)l;
  }
  LandSetStyle style = r.style;
  // Beyond 256 pixels a banded picture alone takes over 100 ms: a larger
  // set is shown at 256, the same noise and pictures a quarter the side.
  style.size = std::min((int)LAND_PREVIEW_SIDE_MAX, land_set_side(r, sides));
  std::vector<LandSource> sources;
  for (size_t l = 0; l < r.lands.size(); l++)
    sources.push_back({r.lands[l].name, pictures[l]->width, pictures[l]->height, pictures[l]->rgb.data(), r.lands[l].prepared});
  // Each of the two lands banded once at this size; then only their edges.
  for (int k : at) {
    const std::string key = std::to_string(style.size) + ":" + r.lands[(size_t)k].picture;
    auto found = p->banded.find(key);
    if (found == p->banded.end()) {
      LandTransitions one;
      std::vector<bool> only(sources.size(), false);
      only[(size_t)k] = true;
      prepare_land_transitions(sources, style, &one, &only);
      found = p->banded.emplace(key, std::move(one.pictures[(size_t)k])).first;
    }
    sources[(size_t)k].width = sources[(size_t)k].height = style.size;
    sources[(size_t)k].rgb = found->second.data();
    sources[(size_t)k].prepared = true;
  }
  LandTransitions set;
  std::vector<bool> only(sources.size(), false);
  only[(size_t)at[0]] = only[(size_t)at[1]] = true;
  prepare_land_transitions(sources, style, &set, &only);
  const int north = std::min(at[0], at[1]) + 1, south = std::max(at[0], at[1]) + 1;
  p->size = style.size;
  p->rgb.resize((size_t)style.size * style.size * 3);
  make_land_transition(set, land_corners(north, north, south, south), 0, p->rgb.data());
  return "";
}
