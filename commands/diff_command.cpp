#include "commands/diff_command.h"

#include <allegro.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands/no_display.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "program/console_reporter.h"
#include "program/session.h"
#include "core/export_format.h"
#include "inspect/terrain_diff.h"
#include "render/export/diff_picture.h"

namespace {

void print_diff_lines(FILE *out, long long count, const std::vector<std::string> &lines, const char *what) {
  for (const std::string &line : lines) fprintf(out, "%s\n", line.c_str());
  const long long rest = count - (long long)lines.size();
  if (rest > 0) fprintf(out, "... and %lld more %s%s\n", rest, what, rest == 1 ? "" : "s");
}

// The picture, named on err; false when it cannot be written.
bool write_picture_of(const CommandLine &c, const TerrainDiff &d, FILE *err) {
  if (d.tiles_x == 0 || d.tiles_y == 0) {
    fputs("No picture written: the terrains have no tiles.\n", err);
    return true;
  }
  // Named after the first terrain, numbered as its exports are.
  copy_cut(terrain_paths.tfd_path, c.terrain, PATH_SIZE);
  char written[PATH_SIZE], name[4 * PATH_SIZE];
  if (write_diff_picture(d.marks.data(), d.tiles_x, d.tiles_y, c.format == EXPORT_FORMAT_PNG, console_reporter(),
                         written) != RESULT_OK)
    return false;
  quote_name(written, name, sizeof(name));
  fprintf(err, "%s\n", name);
  return true;
}

}  // namespace

int run_diff(const CommandLine &c, FILE *out, FILE *err) {
  // No display and no settings: the library's text functions only.
  set_uformat(U_ASCII);
  const TerrainDiff d = diff_terrains(c.terrain, c.other, c.picture);
  if (d.outcome != DIFF_COMPARED) {
    fprintf(err, "%s\n", d.why.c_str());
    return COMMAND_EXIT_USAGE;
  }
  for (const std::string &note : d.notes) fprintf(err, "%s\n", note.c_str());
  std::vector<std::string> lines;
  for (const DiffTile &t : d.tiles) lines.push_back(diff_tile_line(t));
  print_diff_lines(out, d.tiles_changed, lines, "tile");
  lines.clear();
  for (const DiffHeightTile &t : d.heights) lines.push_back(diff_height_line(t));
  print_diff_lines(out, d.height_tiles_changed, lines, "height tile");
  fflush(out);
  const bool pictured = !c.picture || write_picture_of(c, d, err);
  const long long tiles = d.tiles_changed, heights = d.height_tiles_changed;
  if (d.heights_compared && tiles + heights > 0)
    fprintf(err, "%lld tile%s and %lld height tile%s differ.\n", tiles, tiles == 1 ? "" : "s", heights,
            heights == 1 ? "" : "s");
  else if (d.heights_compared)
    fputs("The terrains are the same.\n", err);
  else if (tiles > 0)
    fprintf(err, "%lld tile%s.\n", tiles, tiles == 1 ? " differs" : "s differ");
  else
    fputs("The tile maps are the same.\n", err);
  fflush(err);
  if (!pictured) return COMMAND_EXIT_USAGE;
  return tiles + heights > 0 ? COMMAND_EXIT_FAILED : COMMAND_EXIT_DONE;
}
