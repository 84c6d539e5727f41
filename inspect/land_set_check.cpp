#include "inspect/land_set_check.h"

#include <allegro.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "core/land_table.h"
#include "core/terrain_model.h"
#include "document/land_set.h"
#include "images/image_pixels.h"
#include "images/plain_image.h"

namespace {

const char *const SEAM_EDGE_NAMES[4] = {"north", "east", "south", "west"};

struct Edge {
  int texture, edge;
  std::vector<unsigned char> line, inside;  // the outer line from its key's first end, and the line inward of it
};

// Edge e's outer line (and the one inward) clockwise round the picture.
void edge_lines(const ImagePixels &p, int e, std::vector<unsigned char> *line, std::vector<unsigned char> *inside) {
  const int n = p.width, m = n - 1;
  for (int k = 0; k < n; k++) {
    const int x[4] = {k, m, m - k, 0}, y[4] = {0, k, m, m - k};
    const int ix[4] = {k, m - 1, m - k, 1}, iy[4] = {1, k, m - 1, m - k};
    for (int c = 0; c < 3; c++) {
      line->push_back(p.rgba[((size_t)y[e] * n + x[e]) * 4 + c]);
      inside->push_back(p.rgba[((size_t)iy[e] * n + ix[e]) * 4 + c]);
    }
  }
}

double gap(const std::vector<unsigned char> &a, const std::vector<unsigned char> &b) {
  if (a.size() != b.size()) return 1e9;
  long sum = 0;
  for (size_t i = 0; i < a.size(); i++) sum += std::abs((int)a[i] - (int)b[i]);
  return (double)sum / (double)std::max<size_t>(1, a.size());
}

void reverse_pixels(std::vector<unsigned char> *line) {
  const size_t n = line->size() / 3;
  for (size_t i = 0; i < n / 2; i++)
    for (int c = 0; c < 3; c++) std::swap((*line)[i * 3 + c], (*line)[(n - 1 - i) * 3 + c]);
}

bool read_picture(const std::string &path, ImagePixels *out) {
  long size = 0;
  unsigned char *bytes = read_image_file(path.c_str(), &size);
  const bool good = bytes && read_image_pixels(path.c_str(), bytes, size, out) == 0;
  free(bytes);
  if (good && out->width != out->height) free_image_pixels(out);
  return good && out->rgba;
}

}  // namespace

std::vector<SeamProblem> land_set_seams(const char *tfd_path) {
  const std::string folder = land_set_folder_name(tfd_path) + "/";
  std::map<uint32_t, std::vector<Edge>> by_key;  // lower land, higher land
  std::map<int, std::string> paths;
  for (int t = 1; t < MAX_TEXTURES; t++) {
    const LandCorners c = lands.corners[t];
    const char *name = texture_table.textures[t].filename;
    if (!c || strncmp(name, folder.c_str(), folder.size()) != 0) continue;
    char path[2 * PATH_SIZE];
    replace_filename(path, tfd_path, name, sizeof(path));
    ImagePixels p = {0, 0, nullptr};
    if (!read_picture(path, &p)) continue;
    paths[t] = path;
    for (int e = 0; e < 4; e++) {
      const int a = corner_land(c, e), b = corner_land(c, (e + 1) & 3);
      Edge edge{t, e, {}, {}};
      edge_lines(p, e, &edge.line, &edge.inside);
      if (a > b) reverse_pixels(&edge.line), reverse_pixels(&edge.inside);
      by_key[(uint32_t)std::min(a, b) << 8 | (uint32_t)std::max(a, b)].push_back(edge);
    }
    free_image_pixels(&p);
  }
  std::vector<SeamProblem> found;
  for (const auto &k : by_key) {
    // The strip most of the key's edges have is the set's.
    std::map<std::vector<unsigned char>, int> counts;
    for (const Edge &e : k.second) counts[e.line]++;
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto &x, const auto &y) { return x.second < y.second; });
    int holder = 0;
    for (const Edge &e : k.second)
      if (!holder && e.line == most->first) holder = e.texture;
    const int a = (int)(k.first >> 8), b = (int)(k.first & 255);
    for (const Edge &e : k.second) {
      std::vector<unsigned char> reversed = e.line;
      reverse_pixels(&reversed);
      const double allowed = std::max(1.0, gap(e.line, e.inside));
      const bool meets = gap(e.line, most->first) <= allowed && (a != b || gap(e.line, reversed) <= allowed);
      if (meets) continue;
      std::string what = "texture " + std::to_string(e.texture) + ": its " + SEAM_EDGE_NAMES[e.edge] + " edge (" +
                         lands.lands[a].name + ", " + lands.lands[b].name + ") ";
      what += holder == e.texture || counts.size() == 1 ? "does not read the same from either end"
                                                        : "does not meet texture " + std::to_string(holder) + "'s";
      found.push_back({e.texture, paths[e.texture], what});
    }
  }
  std::stable_sort(found.begin(), found.end(), [](const SeamProblem &x, const SeamProblem &y) { return x.texture < y.texture; });
  return found;
}
