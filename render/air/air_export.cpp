#include "render/air/air_export.h"

#include <cstdio>

#include "core/huge_pages.h"
#include "core/terrain_model.h"
#include "images/png_write.h"
#include "render/export/export_bitmap.h"
#include "render/export/export_rows.h"
#include "render/export/export_stream.h"

enum { AIR_EXPORT_BAND_ROWS = 32 };

int export_air_view(const AirCamera &camera, const AirOptions &options, const AirLook &look, int width, int height,
                    const Reporter *reporter, char *final_name) {
  final_name[0] = 0;
  BITMAP *picture = create_bitmap_ex(32, width, height);
  if (!picture) {
    char name[PATH_SIZE];
    if (numbered_output_name("_View_", name, "png") != 0) name[0] = 0;
    return report_memory_failure(reporter, name);
  }
  // A fresh picture of 33 MB otherwise takes a fault every 4 KB as it is drawn.
  huge_pages_advise(picture->line[0], (size_t)width * (size_t)height * 4);
  AirCamera settled = camera;
  air_settle_camera(settled, options);
  draw_air_view(picture, width, height, settled, options, look);
  // Deflate for runs only: the sky's rows repeat, the textured ground's
  // pixels seldom do, and a picture for a script is wanted soon. Bands of
  // a few rows stay in the cache between their steps, and their buffers
  // are few pages to fault in.
  RowSource source = bitmap_row_source(picture, nullptr);
  source.png_deflate = PNG_DEFLATE_RUNS;
  source.png_band_rows = AIR_EXPORT_BAND_ROWS;
  const int result = export_picture_file("_View_", "png", source, reporter, final_name);
  destroy_bitmap(picture);
  return result;
}
