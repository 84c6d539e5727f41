#include "commands/new_command.h"

#include <allegro.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "commands/make_lands_command.h"
#include "commands/no_display.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "program/console_reporter.h"
#include "program/session.h"
#include "document/new_terrain.h"
#include "document/open_terrain.h"

namespace {

// A name too long for a path, in the line every mode gives it.
bool new_name_too_long(const char *tfd, const NewTerrain &t, FILE *err) {
  std::string names[NEW_FILES];
  new_terrain_names(tfd, names);
  static const int SIBLINGS[NEW_FILES] = {-1, SIBLING_HFD, SIBLING_DATA_INI, SIBLING_LANDS_INI, SIBLING_GEO_INI};
  for (int k = 0; k < NEW_FILES; k++) {
    if (!new_terrain_has_file(t, k)) continue;
    if (!names[k].empty()) continue;
    char whole[2 * PATH_SIZE], cut[PATH_CUT_SIZE];
    if (k == NEW_TFD) snprintf(whole, sizeof(whole), "%s", tfd);
    else sibling_path_of(tfd, SIBLINGS[k], whole, sizeof(whole));
    cut_middle(whole, PATH_CUT_KEEP, cut, sizeof(cut));
    fprintf(err, "%s: the path is longer than %d characters; nothing was written.\n", QuotedName(cut).text,
            PATH_SIZE - 1);
    return true;
  }
  return false;
}

// The names of --water, parted by commas.
std::vector<std::string> water_names(const char *list) {
  std::vector<std::string> names;
  for (const char *at = list;;) {
    const char *comma = strchr(at, ',');
    names.emplace_back(at, comma ? (size_t)(comma - at) : strlen(at));
    if (!comma) return names;
    at = comma + 1;
  }
}

// --lands: the set written after the terrain's files, every tile its first
// land's; when it cannot be, the terrain's files are removed again.
int write_new_land_set(const CommandLine &c, const std::vector<LandSetLand> &set, int listed, FILE *out, FILE *err) {
  std::string names[NEW_FILES];
  new_terrain_names(c.terrain, names);
  LandSetRequest r;
  r.tfd_path = c.terrain;
  r.lands = set;
  const LandSetOutcome o = make_land_set(r);
  for (const std::string &note : o.notes) fprintf(err, "%s\n", note.c_str());
  if (o.result != LAND_SET_WRITTEN) {
    for (int k = NEW_TFD; k <= NEW_LANDS_INI; k++) unlink(names[k].c_str());
    fprintf(err, "%s\n", o.why.c_str());
    return COMMAND_EXIT_FAILED;
  }
  const std::string textures = c.textures ? " (" + std::to_string(listed) + (listed == 1 ? " texture)" : " textures)") : "";
  fprintf(out, "Wrote %s (%d x %d tiles of %s), %s, %s%s and %s.\n%s\n", QuotedName(names[NEW_TFD].c_str()).text,
          c.columns, c.rows, set[0].name.c_str(), QuotedName(names[NEW_HFD].c_str()).text,
          QuotedName(names[NEW_DATA_INI].c_str()).text, textures.c_str(), QuotedName(names[NEW_LANDS_INI].c_str()).text,
          o.said.c_str());
  return COMMAND_EXIT_DONE;
}

}  // namespace

int run_new_terrain(const CommandLine &c, FILE *out, FILE *err) {
  set_uformat(U_ASCII);
  NewTerrain t = {c.columns, c.rows, c.texture ? c.texture : 1, c.height >= 0 ? c.height : 0, nullptr, 0};
  // The names first: a folder of pictures is not read for a terrain that
  // cannot be written.
  if (c.textures) t.data_ini = "";
  if (c.lands_from) t.lands_ini = "";
  // A land set starts from an empty texture list and lands file, which it extends.
  std::vector<LandSetLand> set;
  if (c.new_lands) read_new_lands(c, &set), t.data_ini = t.lands_ini = "";
  std::string taken;
  if (new_name_too_long(c.terrain, t, err)) return COMMAND_EXIT_USAGE;
  struct stat st;
  const std::string set_folder = land_set_folder_path(c.terrain);
  if (c.new_lands && (lstat(set_folder.c_str(), &st) == 0 || errno != ENOENT)) taken = set_folder;
  if (!taken.empty() || new_terrain_name_taken(c.terrain, t, &taken)) {
    fprintf(err, "%s exists already. Nothing was written.\n", QuotedName(taken.c_str()).text);
    return COMMAND_EXIT_USAGE;
  }
  std::string list, lands;
  int listed = 0, wet = 0;
  if (c.textures || c.new_lands) {
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
      fputs("Veldkit: the library cannot start\n", err);
      return COMMAND_EXIT_FAILED;
    }
    set_uformat(U_ASCII);
    set_color_depth(32);
  }
  if (c.textures) {
    const TextureFolder folder = list_texture_folder(c.textures, c.terrain);
    if (folder.error) {
      fprintf(err, "%s: the folder cannot be read: %s. Nothing was written.\n", QuotedName(c.textures).text,
              strerror(folder.error));
      return COMMAND_EXIT_USAGE;
    }
    for (const std::string &line : folder.left_out) fprintf(err, "%s\n", line.c_str());
    listed = (int)folder.filenames.size();
    if (c.new_lands) t.texture = listed + 1;
    // Tiles of a texture the list does not hold would open as unavailable.
    if (t.texture > listed && !c.new_lands) {
      if (listed == 0)
        fprintf(err, "%s: no picture in it can be a texture. Nothing was written.\n", QuotedName(c.textures).text);
      else
        fprintf(err, "--texture %d: the list from %s holds %d texture%s. Nothing was written.\n", t.texture,
                QuotedName(c.textures).text, listed, listed == 1 ? "" : "s");
      return COMMAND_EXIT_USAGE;
    }
    std::vector<bool> water;
    std::string why = c.water ? water_flags(folder.filenames, water_names(c.water), &water) : "";
    if (why.empty() && c.lands_from) why = lands_for_new_terrain(c.lands_from, c.terrain, folder.filenames, &lands);
    if (!why.empty()) {
      fprintf(err, "%s Nothing was written.\n", why.c_str());
      return COMMAND_EXIT_USAGE;
    }
    wet = (int)std::count(water.begin(), water.end(), true);
    list = texture_list_text(folder.filenames, c.water ? &water : nullptr);
    t.data_ini = list.c_str();
    t.data_ini_size = (long)list.size();
    if (c.lands_from) t.lands_ini = lands.data(), t.lands_ini_size = (long)lands.size();
  }
  NewTerrainFailure failure;
  const int outcome = write_new_terrain(c.terrain, t, &failure);
  if (outcome != NEW_TERRAIN_WRITTEN) {
    fprintf(err, "%s %s Nothing was written.\n", QuotedName(failure.path.c_str()).text,
            new_terrain_failure_text(outcome, failure).c_str());
    return outcome == NEW_TERRAIN_EXISTS ? COMMAND_EXIT_USAGE : COMMAND_EXIT_FAILED;
  }
  if (c.new_lands) return write_new_land_set(c, set, listed, out, err);
  std::string names[NEW_FILES];
  new_terrain_names(c.terrain, names);
  fprintf(out, "Wrote %s (%d x %d tiles)", QuotedName(names[NEW_TFD].c_str()).text, c.columns, c.rows);
  std::string textures = std::to_string(listed) + (listed == 1 ? " texture" : " textures");
  if (c.water) textures += ", " + std::to_string(wet) + " with water";
  if (c.lands_from)
    fprintf(out, ", %s, %s (%s) and %s.\n", QuotedName(names[NEW_HFD].c_str()).text,
            QuotedName(names[NEW_DATA_INI].c_str()).text, textures.c_str(),
            QuotedName(names[NEW_LANDS_INI].c_str()).text);
  else if (c.textures)
    fprintf(out, ", %s and %s (%s).\n", QuotedName(names[NEW_HFD].c_str()).text,
            QuotedName(names[NEW_DATA_INI].c_str()).text, textures.c_str());
  else
    fprintf(out, " and %s.\n", QuotedName(names[NEW_HFD].c_str()).text);
  return COMMAND_EXIT_DONE;
}
