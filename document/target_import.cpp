#include "document/target_import.h"

#include <cctype>

#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "document/height_import.h"
#include "document/open_terrain.h"
#include "document/terrain_geo.h"
#include "document/terrain_save.h"
#include "edit/target_edits.h"
#include "files/target_areas.h"
#include "geo/degrees_text.h"
#include "geo/place_list.h"

namespace {

const double TILE_METRES = 2000;

std::string named(const char *path) { return QuotedName(get_filename(path)).text; }

// A name the file can hold on its one line: no control character, at most 63 bytes.
bool name_fits(const std::string &name) {
  for (unsigned char ch : name)
    if (ch < 32 || ch == 127) return false;
  return !name.empty() && name.size() < NAME_SIZE;
}

// The target file read into the model; "" or why it cannot be added to.
std::string read_targets(const char *tfd_path) {
  if (strlen(tfd_path) >= PATH_SIZE) return named(tfd_path) + ": " + PATH_TOO_LONG_TEXT;
  strcpy(terrain_paths.tfd_path, tfd_path);
  derive_terrain_paths();
  const char *path = terrain_paths.targets_ini_path;
  if (!path[0]) return named(tfd_path) + ": the target file's path is longer than 255 characters.";
  targets.area_count = targets.target_total = 0;
  const int read = load_target_areas(path, nullptr, &target_file);
  if (read == RESULT_CANNOT_OPEN) return named(path) + ": the target file is empty or cannot be read; nothing added.";
  return "";
}

int answer_no(void *, const char *) { return 0; }
void keep_failure(void *context, const char *, const char *path, const char *why) {
  *(std::string *)context = named(path) + " cannot be written: " + (why[0] ? why : "the system gave no reason.");
}

// Adds a place as an area; false when it lies outside the terrain.
bool add_place(const ListedPlace &p, double width, double height, TargetImport &im) {
  const std::string where = place_text(p.latitude, p.longitude);
  if (!p.placed || p.east < 0 || p.north < 0 || p.east >= width || p.north >= height) {
    char metres[64] = "";
    if (p.placed) snprintf(metres, sizeof(metres), ", %.0f, %.0f m", p.east, p.north);
    im.notes.push_back(p.name + " (" + where + metres + ") lies outside the terrain; left out");
    im.outside++;
    return false;
  }
  const bool friendly = !p.side.empty() && toupper((unsigned char)p.side[0]) == 'F';
  const std::string type = p.type.empty() ? TARGET_IMPORT_TYPE : p.type;
  std::unique_ptr<TargetChange> change = target_area_add(p.name.c_str(), !friendly, p.east, p.north, type.c_str());
  if (!change) {
    im.notes.push_back(p.name + ": the target file holds " + std::to_string(MAX_AREAS - 1) + " areas already; left out");
    return false;
  }
  if (p.has_heading && p.heading % 360) target_area_turn(targets.area_count, p.heading);
  im.added++;
  return true;
}

}  // namespace

TargetImport import_targets(const char *places_path, const char *tfd_path) {
  TargetImport im;
  char line[8 * PATH_SIZE];
  int columns, rows;
  if (read_terrain_size(tfd_path, &columns, &rows, line, sizeof(line)) != 0) {
    im.why = line;
    return im;
  }
  GeoPlacePtr place = read_terrain_place(tfd_path, &im.why);
  if (!place) return im;
  im.why = read_targets(tfd_path);
  if (!im.why.empty()) return im;
  const PlaceList list = read_place_list(places_path, *place);
  if (!list.why.empty()) {
    im.why = list.why;
    return im;
  }
  for (const std::string &p : list.problems) im.notes.push_back(QuotedName(places_path).text + std::string(": ") + p);
  for (const ListedPlace &p : list.places) {
    if (!name_fits(p.name)) {
      im.notes.push_back(QuotedName(places_path).text + std::string(": row ") + std::to_string(p.row) +
                         ": the name is empty, longer than 63 bytes or holds a control character; left out");
      continue;
    }
    add_place(p, columns * TILE_METRES, rows * TILE_METRES, im);
  }
  im.outcome = TARGET_IMPORT_WRITTEN;
  im.total = targets.area_count;
  if (im.added == 0) return im;
  std::string failure;
  const SaveQuestions questions = {answer_no, keep_failure, &failure};
  SaveAnswers answers;
  if (save_terrain_file(TERRAIN_TARGET_FILE, nullptr, questions, &answers) == RESULT_OK) {
    im.written = terrain_paths.targets_ini_path;
    return im;
  }
  im.outcome = TARGET_IMPORT_NOT_WRITTEN;
  im.why = failure.empty() ? named(terrain_paths.targets_ini_path) + " changed on disk meanwhile; nothing written." : failure;
  return im;
}
