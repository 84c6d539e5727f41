#include "document/land_set_draft.h"

#include <allegro.h>
#include <cstring>
#include <strings.h>
#include <unordered_map>

#include "core/terrain_model.h"
#include "document/open_terrain.h"
#include "edit/land_grid.h"

namespace {

bool valid_index(const LandDraft &d, int index) { return index >= 0 && index < (int)d.lands.size(); }

std::string file_land_refusal(const LandDraft &d, int index, const char *what) {
  char lands_ini[2 * PATH_SIZE];
  sibling_path_of(d.tfd_path.c_str(), SIBLING_LANDS_INI, lands_ini, sizeof(lands_ini));
  return d.lands[(size_t)index].name + " is a land of " + get_filename(lands_ini) + ": its " + what +
         " stays as the file has it.";
}

int set_lands(const LandDraft &d) {
  int n = 0;
  for (const DraftLand &l : d.lands) n += !l.picture.empty();
  return n;
}

std::string colour_text(int colour) {
  return std::to_string(colour >> 16 & 255) + "," + std::to_string(colour >> 8 & 255) + "," + std::to_string(colour & 255);
}

}  // namespace

LandDraft draft_of_open_terrain(const char *tfd_path) {
  LandDraft d;
  d.tfd_path = tfd_path;
  const std::string folder = land_set_folder_name(tfd_path) + "/";
  for (int n = 1; n < MAX_LANDS; n++) {
    const Land &land = lands.lands[n];
    if (!land.name[0]) continue;
    DraftLand l;
    l.name = land.name;
    l.colour = land.r << 16 | land.g << 8 | land.b;
    l.number = n;
    int chosen = 0;
    for (int t = 1; t < MAX_TEXTURES && !l.prepared; t++) {
      const char *file = texture_table.textures[t].filename;
      if (lands.corners[t] != land_corners(n, n, n, n) || !lands.weight[t] || !strcmp(file, "NONE")) continue;
      if (!chosen) chosen = t;
      if (!strncmp(file, folder.c_str(), folder.size())) chosen = t, l.prepared = true;
    }
    if (chosen) {
      char path[2 * PATH_SIZE];
      replace_filename(path, tfd_path, texture_table.textures[chosen].filename, sizeof(path));
      l.picture = path;
      l.water = texture_table.textures[chosen].has_water != 0;
    }
    d.lands.push_back(l);
  }
  return d;
}

std::string draft_name_fault(const LandDraft &d, const std::string &name, int index) {
  if (name.empty()) return "A land's name cannot be empty.";
  if (name.size() >= LAND_NAME_SIZE) return "A land's name holds at most 63 characters.";
  if (name.find(',') != std::string::npos) return "A land's name cannot hold a comma: commas part the corners.";
  for (unsigned char c : name)
    if (c < 32 || c == 127) return "A land's name cannot hold control characters.";
  for (size_t k = 0; k < d.lands.size(); k++)
    if ((int)k != index && strcasecmp(d.lands[k].name.c_str(), name.c_str()) == 0)
      return "There is a land " + d.lands[k].name + " already.";
  return "";
}

std::string draft_add(LandDraft &d, const std::string &name, const std::string &picture, bool water) {
  std::string why = draft_name_fault(d, name, -1);
  if (!why.empty()) return why;
  if (set_lands(d) >= LAND_SET_LANDS_MAX) return "A land set holds at most 8 lands with pictures.";
  LandPicture p;
  why = read_land_picture(picture, &p);
  if (!why.empty()) return why;
  std::vector<int> taken;
  for (const DraftLand &l : d.lands) taken.push_back(l.colour);
  DraftLand l;
  l.name = name;
  l.picture = picture;
  l.water = water;
  l.colour = land_set_colour(p.mean, taken);
  d.lands.push_back(l);
  return "";
}

std::string draft_remove(LandDraft &d, int index) {
  if (!valid_index(d, index)) return "No land is chosen.";
  if (d.lands[(size_t)index].number) return file_land_refusal(d, index, "place");
  d.lands.erase(d.lands.begin() + index);
  return "";
}

std::string draft_rename(LandDraft &d, int index, const std::string &name) {
  if (!valid_index(d, index)) return "No land is chosen.";
  if (d.lands[(size_t)index].number) return file_land_refusal(d, index, "name");
  const std::string why = draft_name_fault(d, name, index);
  if (why.empty()) d.lands[(size_t)index].name = name;
  return why;
}

std::string draft_colour(LandDraft &d, int index, int colour) {
  if (!valid_index(d, index)) return "No land is chosen.";
  if (d.lands[(size_t)index].number) return file_land_refusal(d, index, "colour");
  if (colour < 0 || colour > 0xFFFFFF) return "A colour is three numbers from 0 to 255.";
  for (size_t k = 0; k < d.lands.size(); k++)
    if ((int)k != index && d.lands[k].colour == colour)
      return "The colour " + colour_text(colour) + " is " + d.lands[k].name + "'s already.";
  d.lands[(size_t)index].colour = colour;
  return "";
}

std::string draft_picture(LandDraft &d, int index, const std::string &picture) {
  if (!valid_index(d, index)) return "No land is chosen.";
  DraftLand &l = d.lands[(size_t)index];
  if (l.picture.empty() && set_lands(d) >= LAND_SET_LANDS_MAX) return "A land set holds at most 8 lands with pictures.";
  LandPicture p;
  const std::string why = read_land_picture(picture, &p);
  if (!why.empty()) return why;
  l.picture = picture;
  l.prepared = false;
  return "";
}

std::string draft_water(LandDraft &d, int index, bool water) {
  if (!valid_index(d, index)) return "No land is chosen.";
  d.lands[(size_t)index].water = water;
  return "";
}

LandSetRequest draft_request(const LandDraft &d) {
  LandSetRequest r;
  r.tfd_path = d.tfd_path;
  r.variants = d.variants;
  r.style.seed = d.seed;
  r.skip_covered = true;
  for (const DraftLand &l : d.lands) {
    if (l.picture.empty()) continue;
    LandSetLand land;
    land.name = l.name;
    land.picture = l.picture;
    land.water = l.water;
    land.prepared = l.prepared;
    if (!l.number) land.colour = l.colour;
    r.lands.push_back(land);
  }
  return r;
}

std::vector<LandMissing> missing_transitions() {
  std::vector<LandMissing> out;
  if (!lands_in_use()) return out;
  std::unordered_map<LandCorners, size_t> at;
  for (int x = 0; x < map_columns(); x++)
    for (int y = 0; y < map_rows(); y++) {
      const LandCorners want = grid_corners(x, y);
      uint32_t count;
      uint64_t total;
      if (!corners_known(want) || land_candidates(want, &count, &total)) continue;
      const auto found = at.emplace(want, out.size());
      if (found.second) out.push_back({want, 0});
      out[found.first->second].tiles++;
    }
  return out;
}

std::vector<LandMissing> missing_after_draft(const LandDraft &d, const std::vector<LandMissing> &missing) {
  std::vector<LandMissing> out;
  for (const LandMissing &m : missing) {
    bool made = true;
    for (int i = 0; i < LAND_CORNERS && made; i++) {
      const int n = corner_land(m.corners, i);
      bool in_set = false;
      for (const DraftLand &l : d.lands) in_set = in_set || (l.number == n && !l.picture.empty());
      made = in_set;
    }
    if (!made) out.push_back(m);
  }
  return out;
}

std::vector<std::string> missing_lines(const std::vector<LandMissing> &missing, size_t most) {
  std::vector<std::string> out;
  for (size_t k = 0; k < missing.size() && k < most; k++)
    out.push_back(land_corner_names(missing[k].corners) + ": " + std::to_string(missing[k].tiles) +
                  (missing[k].tiles == 1 ? " tile" : " tiles"));
  if (missing.size() > most) out.push_back("and " + std::to_string(missing.size() - most) + " more");
  if (missing.empty()) out.push_back("none");
  return out;
}

LandSetOutcome generate_land_draft(const LandDraft &d, const Reporter *reporter) {
  report_progress(reporter, "Making the land set...");
  LandSetOutcome o = make_land_set(draft_request(d));
  if (o.result != LAND_SET_WRITTEN) return o;
  // The grid keeps what was painted: the file's lands keep their numbers.
  read_texture_list_again(reporter);
  return o;
}
