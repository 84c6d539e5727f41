#include "terrain/terrain_description.h"

#include <cstdint>
#include <cstring>

#include "terrain/regular_file.h"
#include "terrain/terrain_model.h"
#include "terrain/text_numbers.h"

enum { DESCRIPTION_VALUE_SIZE = 64 };

int load_terrain_description(const char *path, const Reporter *reporter) {
  use_config_file(path);
  report_progress(reporter, "Loading DataFile");

  for (int n = 1; n < MAX_TEXTURES; n++) {
    TextureEntry &entry = texture_table.textures[n];
    char section[32] = "Texture";
    append_number3(section, n);
    copy_cut(entry.filename, get_config_string(section, "Filename", "NONE"), PATH_SIZE);
    if (strcmp(entry.filename, "NONE") != 0) {
      texture_table.textures_declared++;
      texture_table.last_declared_texture = n;
      char water[DESCRIPTION_VALUE_SIZE];
      copy_cut(water, get_config_string(section, "HasWater", "NONE"), sizeof(water));
      entry.has_water = (int16_t)parse_leading_int(water, INT16_MIN, INT16_MAX);
    }
    entry.loaded = 0;
  }
  return texture_table.textures_declared > 0 ? RESULT_OK : RESULT_NOTHING_READ;
}
