#include "document/land_set.h"

#include <allegro.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/land_table.h"
#include "core/regular_file.h"
#include "core/safe_file.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "core/work_threads.h"
#include "document/open_terrain.h"
#include "files/land_file.h"
#include "files/land_set_text.h"
#include "images/image_pixels.h"
#include "images/plain_image.h"
#include "images/png_write.h"

namespace {

const char LAND_SET_NOTHING_WRITTEN[] = " Nothing was written.";

// Colours a reader tells apart at a glance, for lands the file lacks: each
// new land takes the free one nearest its picture's own colour.
const int LAND_SET_COLOURS[][3] = {
    {40, 90, 170},  {90, 160, 60},  {200, 180, 90}, {120, 120, 120}, {30, 100, 40},  {240, 240, 240},
    {140, 90, 50},  {170, 60, 40},  {100, 170, 200}, {180, 140, 200}, {230, 140, 40}, {70, 60, 120},
    {200, 200, 80}, {60, 140, 130}, {160, 160, 110}, {90, 40, 30},
};
std::string quoted(const std::string &path) { return QuotedName(path.c_str()).text; }

}  // namespace

std::string read_land_picture(const std::string &path, LandPicture *out) {
  const int fd = open_regular_file(path.c_str());
  if (fd < 0) return quoted(path) + " cannot be read: " + open_failure_reason(errno) + ".";
  close(fd);
  if (!image_pixels_extension(path.c_str())) return quoted(path) + " cannot be read: it is no PNG, JPEG or BMP file.";
  long size = 0;
  unsigned char *bytes = read_image_file(path.c_str(), &size);
  ImagePixels image = {0, 0, nullptr};
  const int bad = !bytes || read_image_pixels(path.c_str(), bytes, size, &image) != 0;
  free(bytes);
  if (bad) return quoted(path) + " cannot be read: it is no sound picture of its kind, or too large.";
  out->width = image.width;
  out->height = image.height;
  out->rgb.resize((size_t)image.width * image.height * 3);
  double sum[3] = {0, 0, 0};
  for (size_t i = 0, n = (size_t)image.width * image.height; i < n; i++)
    for (int c = 0; c < 3; c++) sum[c] += out->rgb[i * 3 + c] = image.rgba[i * 4 + c];
  for (int c = 0; c < 3; c++) out->mean[c] = (int)(sum[c] / ((double)image.width * image.height));
  free_image_pixels(&image);
  return "";
}

int land_set_side(const LandSetRequest &r, const std::vector<LandPicture> &pictures) {
  for (size_t l = 0; l < pictures.size(); l++)
    if (r.lands[l].prepared) return pictures[l].width;
  int side = LAND_SET_SIZE_MAX;
  for (const LandPicture &p : pictures) side = std::min(side, std::min(p.width, p.height));
  int size = LAND_SET_SIZE_MIN;
  while (size * 2 <= side && size < LAND_SET_SIZE_MAX) size *= 2;
  return size;
}

namespace {

std::vector<int> colours_of(const std::vector<SetLand> &taken) {
  std::vector<int> out;
  for (const SetLand &l : taken) out.push_back(l.r << 16 | l.g << 8 | l.b);
  return out;
}

// The old text of a file that may be missing: false with *why when it
// exists and cannot be read.
bool old_text(const std::string &path, std::string *text, bool *exists, std::string *why) {
  struct stat st;
  *exists = lstat(path.c_str(), &st) == 0 || errno != ENOENT;
  text->clear();
  if (!*exists) return true;
  long size = 0;
  int result = 0;
  char *bytes = read_whole_file(path.c_str(), &size, &result);
  if (!bytes) {
    *why = quoted(path) + " cannot be read" +
           (result == WHOLE_FILE_TOO_LARGE ? ": it is over 64 MB." : std::string(": ") + open_failure_reason(errno) + ".");
    return false;
  }
  text->assign(bytes, (size_t)size);
  free(bytes);
  return true;
}

struct Plan {
  std::vector<LandCorners> patterns;  // by the request's lands, 1-based
  std::vector<SetTexture> textures;
  std::vector<SetLand> new_lands;
  std::vector<std::string> paths;     // each texture's picture
  std::string data_path, lands_path, folder;
  std::string data_text, lands_text;  // as they are
  bool data_exists = false, lands_exists = false;
};

// The numbers, names and colours of everything the set adds; "" or why not.
std::string plan_set(const LandSetRequest &r, const std::vector<LandPicture> &pictures, Plan *p) {
  long high_land = 0, high_lands_texture = 0;
  highest_land_sections(p->lands_text.data(), (long)p->lands_text.size(), &high_land, &high_lands_texture);
  const int high_data = highest_listed_texture(p->data_text.data(), (long)p->data_text.size());
  const long first = std::max<long>(high_data, high_lands_texture) + 1;
  p->patterns = land_set_patterns((int)r.lands.size());
  if (r.skip_covered) {
    const std::vector<bool> covered = land_set_covered(r.lands);
    std::vector<LandCorners> left;
    for (size_t k = 0; k < p->patterns.size(); k++)
      if (!covered[k]) left.push_back(p->patterns[k]);
    p->patterns = left;
    if (left.empty()) return "the lands file has a texture for every pattern of these lands already.";
  }
  const long needed = (long)p->patterns.size() * r.variants, free_numbers = std::max<long>(0, MAX_TEXTURES - first);
  if (needed > free_numbers)
    return std::to_string(p->patterns.size()) + " patterns x " + std::to_string(r.variants) + " variants need " +
           std::to_string(needed) + " textures; " + std::to_string(free_numbers) + " are free after texture " +
           std::to_string(first - 1) + " (at most " + std::to_string(MAX_TEXTURES - 1) + ").";
  std::vector<SetLand> taken;
  for (int n = 1; n < MAX_LANDS; n++)
    if (lands.lands[n].name[0]) taken.push_back({n, lands.lands[n].name, lands.lands[n].r, lands.lands[n].g, lands.lands[n].b});
  std::vector<std::string> names;
  long next_land = high_land + 1;
  for (size_t l = 0; l < r.lands.size(); l++) {
    const int number = land_named(r.lands[l].name.c_str());
    names.push_back(number ? lands.lands[number].name : r.lands[l].name);
    if (number) continue;
    if (next_land > MAX_LANDS - 1)
      return quoted(p->lands_path) + " has no land number free after " + std::to_string(high_land) + " for " +
             r.lands[l].name + " (at most " + std::to_string(MAX_LANDS - 1) + ").";
    const std::vector<int> colours = colours_of(taken);
    int colour = r.lands[l].colour;
    if (colour >= 0) {
      for (size_t k = 0; k < colours.size(); k++)
        if (colours[k] == colour) return "the colour of " + r.lands[l].name + " is " + taken[k].name + "'s already.";
    } else {
      colour = land_set_colour(pictures[l].mean, colours);
    }
    SetLand land = {(int)next_land++, r.lands[l].name, colour >> 16 & 255, colour >> 8 & 255, colour & 255};
    taken.push_back(land);
    p->new_lands.push_back(land);
  }
  const std::string folder_name = land_set_folder_name(r.tfd_path);
  for (size_t k = 0; k < p->patterns.size() * (size_t)r.variants; k++) {
    const LandCorners c = p->patterns[k / (size_t)r.variants];
    SetTexture t;
    t.number = (int)(first + (long)k);
    char file[32];
    snprintf(file, sizeof(file), "/%03d.png", t.number);
    t.filename = folder_name + file;
    bool water = true;
    for (int i = 0; i < LAND_CORNERS; i++) {
      t.corners += (i ? "," : "") + names[(size_t)corner_land(c, i) - 1];
      water = water && r.lands[(size_t)corner_land(c, i) - 1].water;
    }
    t.has_water = water ? 2 : 0;
    t.weight = 1;
    if (t.filename.size() >= PATH_SIZE) return "the pictures' names would be longer than 255 characters.";
    p->paths.push_back(p->folder + file);
    p->textures.push_back(t);
  }
  return "";
}

}  // namespace

namespace {

struct Writing {
  const LandTransitions *set;
  const Plan *plan;
  int variants;
  PngShape shape;
  std::vector<unsigned char> head;
  std::vector<std::string> written;
  std::string failed;  // the picture that could not be written
  WriteError why = {0, 0};
};

// Picture k made and compressed into buffer: its length first, then the file.
void make_picture(void *context, int k, unsigned char *buffer) {
  const Writing &w = *(const Writing *)context;
  const int n = w.set->style.size;
  std::vector<unsigned char> rgb((size_t)n * n * 3), scratch(png_band_scratch_bytes(w.shape, n));
  make_land_transition(*w.set, w.plan->patterns[(size_t)(k / w.variants)], k % w.variants, rgb.data());
  const size_t bytes = png_whole_file(w.shape, w.head, rgb.data(), scratch.data(), buffer + sizeof(size_t));
  memcpy(buffer, &bytes, sizeof(size_t));
}

int write_picture(void *context, int k, const unsigned char *buffer) {
  Writing &w = *(Writing *)context;
  const std::string &path = w.plan->paths[(size_t)k];
  size_t bytes;
  memcpy(&bytes, buffer, sizeof(size_t));
  const int fd = bytes ? create_new_file(path.c_str(), 0644) : -1;
  if (fd < 0) {
    w.failed = path;
    write_failed(&w.why, bytes ? errno : ENOMEM, bytes != 0);
    return 1;
  }
  w.written.push_back(path);
  const unsigned char *at = buffer + sizeof(size_t);
  while (bytes > 0) {
    const ssize_t n = write(fd, at, bytes);
    if (n <= 0) break;
    at += n, bytes -= (size_t)n;
  }
  const int error = bytes ? (errno ? errno : EIO) : 0;
  if (close(fd) != 0 || error) {
    w.failed = path;
    write_failed(&w.why, error ? error : errno, 0);
    return 1;
  }
  return 0;
}

std::string failure_line(const std::string &path, const WriteError &why) {
  char reason[4096];
  write_failure_text(path.c_str(), why, reason, sizeof(reason));
  return quoted(path) + " cannot be written: " + (reason[0] ? reason : "the system gave no reason.");
}

// The text whole under a temporary name, then over path: 0, or 1 with *why.
int write_text_file(const std::string &path, const std::string &text, std::string *why) {
  SafeFile file;
  WriteError error = {0, 0};
  if (safe_file_open(&file, path.c_str()) != 0) {
    write_failed(&error, file.error, file.creating);
  } else {
    // A short write's reason is the writer's to keep: the commit only fails after it.
    ChunkWriter writer = {file.pack, 0};
    const bool whole = write_chunk_whole(&writer, (const unsigned char *)text.data(), (long)text.size()) == 0;
    if (safe_file_commit(&file, whole) == 0) return 0;
    write_failed(&error, whole ? file.error : writer.error, 0);
  }
  *why = failure_line(path, error);
  return 1;
}

// Writes the pictures, then the texture list and the lands file; when any
// of it fails, what was written is taken back. "" or why.
std::string write_set(const LandTransitions &set, const Plan &p, int variants) {
  bool made_folder = false;
  if (mkdir(p.folder.c_str(), 0777) == 0) {
    made_folder = true;
  } else {
    struct stat st;
    if (errno != EEXIST || stat(p.folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return quoted(p.folder) + " cannot be made a folder: " + (errno == EEXIST ? "something else has the name." : strerror(errno));
  }
  Writing w;
  w.set = &set;
  w.plan = &p;
  w.variants = variants;
  w.shape = PngShape{set.style.size, set.style.size, PNG_PIXELS_RGB8, nullptr, false};
  std::string why;
  if (png_file_head(w.shape, &w.head) != 0) why = "the pictures cannot be compressed.";
  const size_t buffer = sizeof(size_t) + png_whole_file_bytes(w.shape, w.head.size());
  std::vector<unsigned char> spare(why.empty() ? buffer : 0);
  if (why.empty() && run_in_order_or_alone((int)p.paths.size(), buffer, make_picture, write_picture, &w, spare.data()) != 0)
    why = failure_line(w.failed, w.why);
  const std::string data = texture_list_with(p.data_text.data(), (long)p.data_text.size(), p.textures);
  const std::string lands_text = lands_file_with(p.lands_text.data(), (long)p.lands_text.size(), p.new_lands, p.textures);
  bool data_written = false;
  if (why.empty()) data_written = write_text_file(p.data_path, data, &why) == 0;
  if (why.empty() && write_text_file(p.lands_path, lands_text, &why) != 0 && data_written) {
    std::string ignored;
    if (p.data_exists) write_text_file(p.data_path, p.data_text, &ignored);
    else unlink(p.data_path.c_str());
  }
  if (why.empty()) return "";
  for (const std::string &path : w.written) unlink(path.c_str());
  if (made_folder) rmdir(p.folder.c_str());
  return why;
}

// Reads both files and every picture; "" or why not.
std::string read_inputs(const LandSetRequest &r, Plan *p, std::vector<LandPicture> *pictures, std::vector<std::string> *notes) {
  char path[2 * PATH_SIZE];
  sibling_path_of(r.tfd_path.c_str(), SIBLING_DATA_INI, path, sizeof(path));
  p->data_path = path;
  sibling_path_of(r.tfd_path.c_str(), SIBLING_LANDS_INI, path, sizeof(path));
  p->lands_path = path;
  p->folder = land_set_folder_path(r.tfd_path);
  std::string why;
  if (!old_text(p->data_path, &p->data_text, &p->data_exists, &why) ||
      !old_text(p->lands_path, &p->lands_text, &p->lands_exists, &why))
    return why;
  clear_land_table();
  if (p->lands_exists && read_land_text(p->lands_text.data(), (long)p->lands_text.size()) != RESULT_OK)
    for (const LandProblem &problem : lands.problems) notes->push_back(quoted(p->lands_path) + ": " + problem.what);
  pictures->resize(r.lands.size());
  for (size_t l = 0; l < r.lands.size(); l++) {
    why = read_land_picture(r.lands[l].picture, &(*pictures)[l]);
    if (!why.empty()) return why;
    const LandPicture &q = (*pictures)[l];
    if (r.lands[l].prepared && (q.width != q.height || q.width != (*pictures)[0].width || (q.width & (q.width - 1)) ||
                                q.width < LAND_SET_SIZE_MIN || q.width > LAND_SET_SIZE_MAX))
      return quoted(r.lands[l].picture) + " is no picture of a land set: " + std::to_string(q.width) + " x " +
             std::to_string(q.height) + " pixels.";
  }
  return "";
}

std::string name_taken(const Plan &p) {
  struct stat st;
  if (lstat(p.folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) return quoted(p.folder) + " exists and is no folder.";
  for (const std::string &path : p.paths)
    if (lstat(path.c_str(), &st) == 0 || errno != ENOENT) return quoted(path) + " exists already.";
  return "";
}

}  // namespace

std::string land_set_request_fault(const std::vector<LandSetLand> &set) {
  if (set.empty()) return "--make-lands takes at least one --land NAME=PICTURE";
  if (set.size() > LAND_SET_LANDS_MAX)
    return std::to_string(set.size()) + " lands given; a set holds at most " + std::to_string(LAND_SET_LANDS_MAX);
  for (size_t l = 0; l < set.size(); l++) {
    const std::string &name = set[l].name;
    if (name.empty()) return "a land's name is empty";
    if (name.size() >= LAND_NAME_SIZE) return "the land name " + name.substr(0, 40) + "... is longer than 63 characters";
    if (name.find(',') != std::string::npos) return "the land name " + name + " holds a comma, which parts the Corners";
    if (set[l].picture.empty()) return "the picture of land " + name + " is empty";
    for (size_t k = 0; k < l; k++)
      if (strcasecmp(set[k].name.c_str(), name.c_str()) == 0) return "the land " + name + " is given twice";
  }
  return "";
}

std::string land_set_folder_name(const std::string &tfd_path) {
  std::string base = get_filename(tfd_path.c_str());
  const size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  return base + "_lands";
}

std::string land_set_folder_path(const std::string &tfd_path) {
  const size_t slash = tfd_path.rfind('/');
  return (slash == std::string::npos ? "" : tfd_path.substr(0, slash + 1)) + land_set_folder_name(tfd_path);
}

LandSetOutcome make_land_set(const LandSetRequest &r) {
  LandSetOutcome o;
  o.why = land_set_request_fault(r.lands);
  if (o.why.empty() && (r.variants < 1 || r.variants > LAND_SET_VARIANTS_MAX)) o.why = "the variants run from 1 to 8.";
  if (!o.why.empty()) {
    o.why += ".";
    return o;
  }
  const std::unique_ptr<LandTable> kept(new LandTable(lands));
  Plan p;
  std::vector<LandPicture> pictures;
  o.why = read_inputs(r, &p, &pictures, &o.notes);
  LandSetStyle style = r.style;
  if (o.why.empty() && style.size == 0) style.size = land_set_side(r, pictures);
  if (o.why.empty()) o.why = plan_set(r, pictures, &p);
  if (o.why.empty()) o.why = name_taken(p);
  if (o.why.empty()) {
    std::vector<LandSource> sources;
    for (size_t l = 0; l < r.lands.size(); l++)
      sources.push_back({r.lands[l].name, pictures[l].width, pictures[l].height, pictures[l].rgb.data(), r.lands[l].prepared});
    LandTransitions set;
    prepare_land_transitions(sources, style, &set);
    o.why = write_set(set, p, r.variants);
  }
  lands = *kept;
  if (!o.why.empty()) {
    o.why += LAND_SET_NOTHING_WRITTEN;
    return o;
  }
  o.result = LAND_SET_WRITTEN;
  o.first_texture = p.textures.front().number;
  o.textures = (int)p.textures.size();
  o.said = std::to_string(p.patterns.size()) + " patterns x " + std::to_string(r.variants) + " variant" +
           (r.variants == 1 ? "" : "s") + ": " + std::to_string(o.textures) + " pictures in " +
           land_set_folder_name(r.tfd_path) + "/, textures " + std::to_string(o.first_texture) + " to " +
           std::to_string(p.textures.back().number) + " in " + get_filename(p.data_path.c_str()) + ", " +
           std::to_string(r.lands.size()) + " land" + (r.lands.size() == 1 ? "" : "s") + " in " +
           get_filename(p.lands_path.c_str()) + (p.new_lands.empty() ? "" : " (" + std::to_string(p.new_lands.size()) + " new)");
  return o;
}

int land_set_colour(const int mean[3], const std::vector<int> &taken) {
  auto channel = [](int colour, int i) { return colour >> (16 - 8 * i) & 255; };
  int best = -1;
  long best_distance = 0;
  for (int k = 0; k < (int)(sizeof(LAND_SET_COLOURS) / sizeof(LAND_SET_COLOURS[0])); k++) {
    const int *c = LAND_SET_COLOURS[k];
    bool free = true;
    for (int t : taken)
      free = free && std::max(abs(channel(t, 0) - c[0]), std::max(abs(channel(t, 1) - c[1]), abs(channel(t, 2) - c[2]))) >=
                         LAND_SET_COLOUR_GAP;
    if (!free) continue;
    long distance = 0;
    for (int i = 0; i < 3; i++) distance += (long)(c[i] - mean[i]) * (c[i] - mean[i]);
    if (best < 0 || distance < best_distance) best = k, best_distance = distance;
  }
  const int *first = LAND_SET_COLOURS[best < 0 ? 0 : best];
  int colour = first[0] << 16 | first[1] << 8 | first[2];
  // When none is free, steps round from the first colour until one is unused.
  for (int step = 1; best < 0 && std::find(taken.begin(), taken.end(), colour) != taken.end(); step++)
    colour = ((mean[0] + 37 * step) & 255) << 16 | ((mean[1] + 91 * step) & 255) << 8 | ((mean[2] + 53 * step) & 255);
  return colour;
}

std::vector<bool> land_set_covered(const std::vector<LandSetLand> &set) {
  const std::vector<LandCorners> patterns = land_set_patterns((int)set.size());
  std::vector<int> numbers;
  for (const LandSetLand &l : set) numbers.push_back(land_named(l.name.c_str()));
  std::vector<bool> out;
  for (LandCorners c : patterns) {
    int in_file[LAND_CORNERS];
    for (int i = 0; i < LAND_CORNERS; i++) in_file[i] = numbers[(size_t)corner_land(c, i) - 1];
    uint32_t count;
    uint64_t total;
    const LandCorners k = land_corners(in_file[0], in_file[1], in_file[2], in_file[3]);
    out.push_back(corners_known(k) && land_candidates(k, &count, &total) != nullptr);
  }
  return out;
}
