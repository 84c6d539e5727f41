#include "document/new_terrain.h"

#include <allegro.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "core/regular_file.h"
#include "core/temp_files.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "files/grid_file.h"
#include "files/land_file.h"
#include "files/terrain_description.h"
#include "document/open_terrain.h"
#include "images/image_header.h"
#include "images/textures.h"

enum {
  // Whole tile records and whole samples: one chunk filled once is written
  // over and over, in pieces large enough that the system's copy is all
  // the work there is.
  NEW_CHUNK_BYTES = TILE_RECORD_BYTES << 18,
};

static const int SIBLINGS[NEW_FILES] = {-1, SIBLING_HFD, SIBLING_DATA_INI, SIBLING_LANDS_INI, SIBLING_GEO_INI};

void new_terrain_names(const char *tfd_path, std::string names[NEW_FILES]) {
  names[NEW_TFD] = strlen(tfd_path) < PATH_SIZE ? tfd_path : "";
  for (int k = NEW_HFD; k < NEW_FILES; k++) {
    char name[2 * PATH_SIZE];
    sibling_path_of(tfd_path, SIBLINGS[k], name, sizeof(name));
    names[k] = strlen(name) < PATH_SIZE ? name : "";
  }
}

// The lists and the place are written only when given; a lands file only with a texture list.
bool new_terrain_has_file(const NewTerrain &terrain, int k) {
  if (k == NEW_DATA_INI) return terrain.data_ini != nullptr;
  if (k == NEW_LANDS_INI) return terrain.data_ini && terrain.lands_ini;
  if (k == NEW_GEO_INI) return terrain.geo_ini != nullptr;
  return k >= 0 && k < NEW_FILES;
}

int new_terrain_name_taken(const char *tfd_path, const NewTerrain &terrain, std::string *taken) {
  std::string names[NEW_FILES];
  new_terrain_names(tfd_path, names);
  struct stat st;
  for (int k = 0; k < NEW_FILES; k++) {
    if (!new_terrain_has_file(terrain, k) || names[k].empty() || (lstat(names[k].c_str(), &st) != 0 && errno == ENOENT)) continue;
    *taken = names[k];
    return 1;
  }
  return 0;
}

static int write_repeated(ChunkWriter *out, const unsigned char *chunk, long long total) {
  for (; total > 0; total -= NEW_CHUNK_BYTES)
    if (write_chunk_whole(out, chunk, (long)std::min<long long>(total, NEW_CHUNK_BYTES)) != 0) return 1;
  return 0;
}

// The whole content of file k into its packfile; 0, or 1 with the error in out.
static int write_content(int k, const NewTerrain &t, unsigned char *chunk, ChunkWriter *out) {
  const long long tiles = (long long)t.columns * t.rows;
  if (k == NEW_DATA_INI) return write_chunk_whole(out, (const unsigned char *)t.data_ini, t.data_ini_size);
  if (k == NEW_LANDS_INI) return write_chunk_whole(out, (const unsigned char *)t.lands_ini, t.lands_ini_size);
  if (k == NEW_GEO_INI) return write_chunk_whole(out, (const unsigned char *)t.geo_ini, t.geo_ini_size);
  memset(chunk, 0, NEW_CHUNK_BYTES);
  if (k == NEW_TFD) {
    // The texture as stored, then rotation, tag and the extra words, all 0.
    const unsigned stored = (unsigned)(t.texture - 1);
    for (long i = 0; i < NEW_CHUNK_BYTES; i += TILE_RECORD_BYTES) {
      chunk[i] = (unsigned char)(stored & 0xFF);
      chunk[i + 1] = (unsigned char)(stored >> 8);
    }
    write_grid_header(out->pack, t.columns, t.rows, 0, 0);
    return write_repeated(out, chunk, tiles * TILE_RECORD_BYTES);
  }
  for (long i = 0; i < NEW_CHUNK_BYTES; i += 2) {
    chunk[i] = (unsigned char)(t.height & 0xFF);
    chunk[i + 1] = (unsigned char)(t.height >> 8);
  }
  write_grid_header(out->pack, 4 * t.columns, 4 * t.rows, 0, 0);
  if (t.height_words) return write_chunk_whole(out, t.height_words, tiles * 16 * 2);
  return write_repeated(out, chunk, tiles * 16 * 2);
}

static int failed(NewTerrainFailure *failure, const std::string &path, int error, int creating, int outcome) {
  failure->path = path;
  failure->why = WriteError{error, creating};
  return outcome;
}

int write_new_terrain(const char *tfd_path, const NewTerrain &terrain, NewTerrainFailure *failure) {
  std::string names[NEW_FILES];
  new_terrain_names(tfd_path, names);
  for (int k = 0; k < NEW_FILES; k++)
    if (new_terrain_has_file(terrain, k) && names[k].empty()) return failed(failure, tfd_path, ENAMETOOLONG, 0, NEW_TERRAIN_FAILED);
  std::string taken;
  if (new_terrain_name_taken(tfd_path, terrain, &taken)) return failed(failure, taken, EEXIST, 0, NEW_TERRAIN_EXISTS);
  std::vector<unsigned char> chunk;
  try {
    chunk.resize(NEW_CHUNK_BYTES);
  } catch (const std::bad_alloc &) {
    return failed(failure, tfd_path, ENOMEM, 0, NEW_TERRAIN_FAILED);
  }

  // Every file complete under its temporary name before any takes its own.
  SafeFile file[NEW_FILES];
  int opened = 0, outcome = NEW_TERRAIN_WRITTEN;
  int opened_kinds[NEW_FILES];
  for (int n = 0; n < NEW_FILES && outcome == NEW_TERRAIN_WRITTEN; n++) {
    if (!new_terrain_has_file(terrain, n)) continue;
    const int k = opened;
    names[k] = names[n];
    opened_kinds[k] = n;
    if (safe_file_open(&file[k], names[k].c_str()) != 0) {
      outcome = failed(failure, names[k], file[k].error, file[k].creating, NEW_TERRAIN_FAILED);
      break;
    }
    file[k].keep_existing = 1;
    opened++;
    ChunkWriter out = {file[k].pack, 0};
    if (write_content(opened_kinds[k], terrain, chunk.data(), &out) != 0)
      outcome = failed(failure, names[k], out.error, 0, NEW_TERRAIN_FAILED);
  }
  int placed = 0;
  for (int k = 0; k < opened; k++) {
    if (safe_file_commit(&file[k], outcome == NEW_TERRAIN_WRITTEN) == 0) {
      // Until the last is in place, an interrupt removes this one as well.
      track_temp_file(names[k].c_str());
      placed++;
    } else if (outcome == NEW_TERRAIN_WRITTEN) {
      const int error = file[k].error;
      outcome = failed(failure, names[k], error, 0, error == EEXIST ? NEW_TERRAIN_EXISTS : NEW_TERRAIN_FAILED);
    }
  }
  for (int k = 0; k < placed; k++) {
    if (outcome != NEW_TERRAIN_WRITTEN) unlink(names[k].c_str());
    forget_temp_file(names[k].c_str());
  }
  return outcome;
}

namespace {

// The folder "to" as seen from the folder "from", both absolute: "" for the
// same folder, else ending in a slash.
std::string relative_folder(const std::string &from, const std::string &to) {
  auto parts = [](const std::string &path) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < path.size()) {
      const size_t slash = path.find('/', at);
      const size_t end = slash == std::string::npos ? path.size() : slash;
      if (end > at) out.push_back(path.substr(at, end - at));
      at = end + 1;
    }
    return out;
  };
  const std::vector<std::string> a = parts(from), b = parts(to);
  size_t same = 0;
  while (same < a.size() && same < b.size() && a[same] == b[same]) same++;
  std::string path;
  for (size_t i = same; i < a.size(); i++) path += "../";
  for (size_t i = same; i < b.size(); i++) path += b[i] + "/";
  return path;
}

// Why a filename cannot stand in a list as it is, or null: the reader takes
// a value up to the line's end, without blanks or "=" before it and blanks
// after it, cut to a path's length.
const char *unlistable(const std::string &filename, const char *tfd_path) {
  static const char blanks[] = " \t\r\n\f\v";
  if (filename.find_first_of("\r\n") != std::string::npos || strchr(blanks, filename[0]) ||
      filename[0] == '=' || strchr(blanks, filename.back()))
    return "its name cannot be written in a texture list";
  char joined[PATH_SIZE * 2 + 16];
  replace_filename(joined, tfd_path, filename.c_str(), sizeof(joined));
  if (filename.size() > PATH_SIZE - 1 || strlen(joined) > PATH_SIZE - 1)
    return "its path would be longer than 255 characters";
  return nullptr;
}

}  // namespace

TextureFolder list_texture_folder(const char *folder, const char *tfd_path) {
  TextureFolder listing;
  listing.error = 0;
  DIR *dir = opendir(folder);
  if (!dir) {
    listing.error = errno;
    return listing;
  }
  std::vector<std::string> names;
  while (const dirent *e = readdir(dir))
    if (image_extension_known(e->d_name)) names.push_back(e->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end());

  char resolved[PATH_MAX], tfd_folder[PATH_MAX];
  folder_of_file(tfd_path, tfd_folder, sizeof(tfd_folder));
  const std::string prefix = relative_folder(tfd_folder, realpath(folder, resolved) ? resolved : folder);
  const std::string shown_folder = std::string(folder) + (folder[strlen(folder) - 1] == '/' ? "" : "/");
  for (const std::string &name : names) {
    const std::string path = shown_folder + name;
    const std::string filename = prefix + name;
    const char *why = unlistable(filename, tfd_path);
    RGB palette[PAL_SIZE];
    BITMAP *picture = nullptr;
    if (!why && (int)listing.filenames.size() >= NEW_TERRAIN_LIST_MAX)
      why = "a texture list holds at most 511 textures";
    else if (!why && !(picture = read_texture_file(path.c_str(), palette)))
      why = "it cannot be read as a texture";
    if (picture) {
      destroy_bitmap(picture);
      listing.filenames.push_back(filename);
    } else {
      listing.left_out.push_back(std::string(QuotedName(path.c_str()).text) + ": left out: " + why);
    }
  }
  return listing;
}

std::string texture_list_text(const std::vector<std::string> &filenames, const std::vector<bool> *water) {
  std::string text;
  for (size_t i = 0; i < filenames.size(); i++) {
    char section[32] = "[Texture";
    append_number3(section, (int)i + 1);
    const bool wet = water && i < water->size() && (*water)[i];
    text += std::string(section) + "]\nFilename=" + filenames[i] + (wet ? "\nHasWater=2\n\n" : "\nHasWater=0\n\n");
  }
  return text;
}

std::string water_flags(const std::vector<std::string> &filenames, const std::vector<std::string> &water,
                        std::vector<bool> *flags) {
  flags->assign(filenames.size(), false);
  for (const std::string &name : water) {
    bool found = false;
    for (size_t i = 0; i < filenames.size(); i++) {
      const size_t slash = filenames[i].rfind('/');
      if (filenames[i].compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, name) != 0) continue;
      (*flags)[i] = found = true;
    }
    if (!found) return std::string("--water ") + QuotedName(name.c_str()).text + ": no listed picture has that name.";
  }
  return "";
}

std::string lands_for_new_terrain(const char *other_tfd, const char *tfd, const std::vector<std::string> &filenames,
                                  std::string *text) {
  char lands_path[2 * PATH_SIZE], list_path[2 * PATH_SIZE];
  sibling_path_of(other_tfd, SIBLING_LANDS_INI, lands_path, sizeof(lands_path));
  sibling_path_of(other_tfd, SIBLING_DATA_INI, list_path, sizeof(list_path));
  const std::string shown = QuotedName(lands_path).text;
  struct stat st;
  if (lstat(lands_path, &st) != 0 && errno == ENOENT) return shown + " does not exist: there are no lands to take.";
  long size = 0;
  int why = 0;
  char *bytes = read_whole_file(lands_path, &size, &why);
  if (!bytes) return shown + (why == WHOLE_FILE_TOO_LARGE ? " is over 64 MB." : " cannot be read.");
  text->assign(bytes, (size_t)size);
  free(bytes);
  // The texture numbers must mean the same pictures in both lists.
  const int their_list = load_terrain_description(list_path, nullptr) == RESULT_OK;
  for (const int t : land_file_textures(text->data(), size)) {
    char section[32] = "[Texture";
    append_number3(section, t);
    if (t > (int)filenames.size())
      return shown + ": " + section + "] gives texture " + std::to_string(t) + " corners; the new list holds " +
             std::to_string(filenames.size()) + " texture" + (filenames.size() == 1 ? "." : "s.");
    const char *theirs = their_list ? declared_texture_name(t) : nullptr;
    if (!theirs) continue;
    char a[PATH_SIZE * 2 + 16], b[PATH_SIZE * 2 + 16], ra[PATH_MAX], rb[PATH_MAX];
    replace_filename(a, other_tfd, theirs, sizeof(a));
    replace_filename(b, tfd, filenames[(size_t)t - 1].c_str(), sizeof(b));
    if (!realpath(a, ra) || !realpath(b, rb) || strcmp(ra, rb) != 0)
      return shown + ": texture " + std::to_string(t) + " is " + QuotedName(theirs).text + " in " +
             QuotedName(get_filename(list_path)).text + " but " + QuotedName(filenames[(size_t)t - 1].c_str()).text +
             " in the new list.";
  }
  return "";
}

std::string new_terrain_failure_text(int outcome, const NewTerrainFailure &failure) {
  if (outcome == NEW_TERRAIN_EXISTS) return "exists already.";
  char reason[4 * PATH_MAX + 128];
  write_failure_text(failure.path.c_str(), failure.why, reason, sizeof(reason));
  if (failure.why.creating) reason[0] = (char)tolower((unsigned char)reason[0]);  // mid-sentence
  return std::string("cannot be written: ") + (reason[0] ? reason : "the system gave no reason.");
}

int names_a_tile_map(const char *path) {
  const size_t length = strlen(path);
  return length > 4 && strcasecmp(path + length - 4, ".tfd") == 0;
}
