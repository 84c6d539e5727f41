#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/relief_shading.h"
#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "core/work_threads.h"
#include "render/export/bmp_rows.h"
#include "render/export/export_bitmap.h"
#include "render/export/export_file.h"
#include "render/export/export_passes.h"
#include "render/export/export_rows.h"
#include "render/export/export_stream.h"
#include "render/export/export_timing.h"
#include "render/export/planning_map.h"
#include "render/export/shade_cache.h"
#include "render/export/tile_blocks.h"
#include "tests/unit/harness.h"

namespace {

const int TEXTURES = 7;

// Levels with random colours and mask pixels; texture 5 has an 8 x 8 level
// (not drawable at 4 pixels per tile) and texture 6 none at all.
void make_textures() {
  for (int t = 1; t <= TEXTURES; t++) {
    if (t == 6) continue;
    const int size = t == 5 ? 8 : 4;
    BITMAP *level = create_bitmap_ex(32, size, size);
    for (int k = 0; k < size * size; k++)
      putpixel(level, k % size, k / size,
               rand() % 4 == 0 ? bitmap_mask_color(level)
                               : makecol(rand() % 256, rand() % 256, rand() % 256));
    texture_table.textures[t].levels[TILE_LEVEL] = level;
    texture_table.textures[t].has_water = (int16_t)(t % 3);
  }
  texture_table.texture_count = TEXTURES;
  texture_table.last_declared_texture = TEXTURES;
}

// Tiles over every texture number the table has, texture 0, numbers past
// texture_count and outside the table; rotation values from all of 0..255;
// tags 0..3; heights with a few samples above max_height.
void make_terrain(int tx, int ty, unsigned seed) {
  srand(seed);
  make_textures();
  tile_map.tiles_x = tx;
  tile_map.tiles_y = ty;
  const int textures[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 300, 600, -3};
  for (int x = 0; x < tx; x++)
    for (int y = 0; y < ty; y++) {
      Tile &tile = tile_at(x, y);
      tile.texture = (int16_t)textures[rand() % 12];
      tile.rotation = (uint8_t)(rand() % 3 == 0 ? rand() % 256 : rand() % 4);
      tile.tag = (uint8_t)(rand() % 4);
    }
  height_map.samples_x = 4 * tx;
  height_map.samples_y = 4 * ty;
  height_map.max_height = 700;
  for (int X = 0; X < 4 * tx; X++)
    for (int Y = 0; Y < 4 * ty; Y++)
      height_map.heights[X][Y] = (uint16_t)(rand() % 50 == 0 ? 700 + rand() % 3000 : (X * 5 + Y * 9) % 600 + rand() % 100);
  height_map.heights_loaded = 1;
}

// The file the working bitmap of the whole-picture passes gives with save_bmp.
std::vector<unsigned char> saved_working_bitmap(int kind) {
  const int scale = kind == EXPORT_DATA || kind == EXPORT_WATER ? 1 : 4;
  BITMAP *work = create_bitmap_ex(kind == EXPORT_WATER ? 8 : 32, scale * tile_map.tiles_x,
                                  scale * tile_map.tiles_y);
  PALETTE water;
  memcpy(water, black_palette, sizeof(PALETTE));
  water[1].r = 32;
  reset_shade_cache();
  switch (kind) {
    case EXPORT_DATA: draw_data_pass(work); break;
    case EXPORT_WATER: draw_water_pass(work); break;
    case EXPORT_HEIGHT_4X: draw_height_pass(work); break;
    default:
      if (kind == EXPORT_EMBOSSED_4X) compute_shade_map();
      draw_texture_pass(work, kind == EXPORT_EMBOSSED_4X, prepare_tile_blocks() == 0);
  }
  save_bmp("reference.bmp", work, kind == EXPORT_WATER ? water : nullptr);
  destroy_bitmap(work);
  std::vector<unsigned char> bytes = read_file("reference.bmp");
  remove("reference.bmp");
  return bytes;
}

const char *suffix_of(int kind) {
  switch (kind) {
    case EXPORT_DATA: return "Data1x";
    case EXPORT_WATER: return "Water1x";
    case EXPORT_TEXTURES_4X: return "Textures4x";
    case EXPORT_EMBOSSED_4X: return "Embossed4x";
    default: return "Height4x";
  }
}

// Where two files first differ, -1 when they are equal.
long first_difference(const std::vector<unsigned char> &a, const std::vector<unsigned char> &b) {
  for (size_t i = 0; i < a.size() && i < b.size(); i++)
    if (a[i] != b[i]) return (long)i;
  return a.size() == b.size() ? -1 : (long)(a.size() < b.size() ? a.size() : b.size());
}

int files_in(const std::string &dir) {
  std::string cmd = "ls -A '" + dir + "' | wc -l";
  FILE *p = popen(cmd.c_str(), "r");
  int n = -1;
  if (p && fscanf(p, "%d", &n) != 1) n = -1;
  if (p) pclose(p);
  return n;
}

class ExportStream : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    strcpy(terrain_paths.tfd_path, "Isle.TFD");
  }
  void TearDown() override {
    set_work_threads(0);
    reset_program_state();
  }
  TempDir dir;
};

// Every streamed kind, byte for byte the saved working bitmap, on sizes
// that leave row padding and span one or many bands, with one thread and
// with several.
TEST_F(ExportStream, FilesEqualTheSavedWorkingBitmap) {
  const int sizes[][2] = {{1, 1}, {3, 2}, {37, 23}, {700, 70}, {3, 600}};
  unsigned seed = 1;
  for (const auto &size : sizes) {
    reset_program_state();
    strcpy(terrain_paths.tfd_path, "Isle.TFD");
    make_terrain(size[0], size[1], seed++);
    for (int kind : {EXPORT_DATA, EXPORT_WATER, EXPORT_TEXTURES_4X, EXPORT_EMBOSSED_4X, EXPORT_HEIGHT_4X}) {
      const std::vector<unsigned char> reference = saved_working_bitmap(kind);
      ASSERT_GT(reference.size(), 54u);
      for (int threads : {1, 3}) {
        set_work_threads(threads);
        ASSERT_EQ(0, export_bitmap(kind, nullptr));
        char name[64];
        snprintf(name, sizeof(name), "Isle_%s_000.bmp", suffix_of(kind));
        const std::vector<unsigned char> streamed = read_file(dir.file(name));
        EXPECT_EQ(-1, first_difference(reference, streamed))
            << name << " of " << size[0] << " x " << size[1] << ", " << threads << " threads";
        remove(name);
      }
    }
  }
}

// The header and palette of an 8-bit file and the padding of 32-bit rows,
// against the library's own save_bmp with a palette using every level.
TEST_F(ExportStream, RowWriterMatchesTheLibrary) {
  for (int bits : {8, 32}) {
    for (int width = 1; width <= 5; width++) {
      BITMAP *bmp = create_bitmap_ex(bits, width, 3);
      PALETTE palette;
      for (int i = 0; i < 256; i++) palette[i] = RGB{(unsigned char)(i % 64), (unsigned char)(i / 4 % 64), (unsigned char)((i * 7) % 64), 0};
      for (int y = 0; y < 3; y++)
        for (int x = 0; x < width; x++)
          putpixel(bmp, x, y, bits == 8 ? (x * 31 + y * 7) % 256 : makecol(x * 50, y * 80, 255 - x));
      save_bmp("library.bmp", bmp, bits == 8 ? palette : nullptr);
      const int fd = open("streamed.bmp", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ASSERT_GE(fd, 0);
      set_work_threads(2);
      EXPECT_EQ(STREAM_WRITTEN, stream_bmp(fd, bitmap_row_source(bmp, bits == 8 ? palette : nullptr), nullptr));
      close(fd);
      EXPECT_EQ(-1, first_difference(read_file("library.bmp"), read_file("streamed.bmp")))
          << bits << " bits, width " << width;
      destroy_bitmap(bmp);
    }
  }
}

struct ProgressLog {
  std::vector<int> rows;
  int total = 0;
};

void note_progress(void *context, int rows_written, int rows) {
  ProgressLog &log = *(ProgressLog *)context;
  log.rows.push_back(rows_written);
  log.total = rows;
}

// A source whose rows are their own numbers: bands come out in file order
// whatever the threads; progress climbs to the whole picture.
void numbered_rows(const void *, int y0, int y1, unsigned char *out, long row_bytes) {
  for (int y = y0; y < y1; y++) memset(out + (long)(y1 - 1 - y) * row_bytes, y % 251, 30);
}

TEST_F(ExportStream, BandsComeOutInFileOrder) {
  const RowSource source = {10, 5000, 24, nullptr, numbered_rows, nullptr};
  const BmpLayout layout = bmp_layout(10, 5000, 24);
  for (int threads : {1, 2, 7}) {
    set_work_threads(threads);
    const int fd = open("rows.bmp", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ProgressLog log;
    const StreamProgress progress = {note_progress, &log};
    ASSERT_EQ(STREAM_WRITTEN, stream_bmp(fd, source, &progress));
    close(fd);
    const std::vector<unsigned char> bytes = read_file("rows.bmp");
    ASSERT_EQ((size_t)(layout.header_bytes + layout.image_bytes), bytes.size());
    for (int k = 0; k < 5000; k++) {
      const unsigned char *row = bytes.data() + layout.header_bytes + k * layout.row_bytes;
      const int y = 4999 - k;
      ASSERT_EQ(y % 251, row[0]) << "file row " << k << ", " << threads << " threads";
      ASSERT_EQ(y % 251, row[29]);
      ASSERT_EQ(0, row[30] | row[31]) << "padding";
    }
    ASSERT_GT(log.rows.size(), 1u);
    for (size_t i = 1; i < log.rows.size(); i++) EXPECT_LT(log.rows[i - 1], log.rows[i]);
    EXPECT_EQ(5000, log.rows.back());
    EXPECT_EQ(5000, log.total);
  }
  // A file that cannot take the bytes: a failure, not a hang.
  const int fd = open("rows.bmp", O_RDONLY);
  EXPECT_EQ(STREAM_WRITE_FAILED, stream_bmp(fd, source, nullptr));
  close(fd);
}

// The temporary file never takes a name that exists: a file that appears
// under the final name meanwhile stays as it was, and the complete file is
// kept for another name.
TEST_F(ExportStream, FinishedFileNeverReplacesAnother) {
  ExportFile file;
  ASSERT_EQ(0, export_file_create(&file, "Isle_Data1x_000.bmp"));
  ASSERT_EQ(0, write(file.fd, "new", 3) == 3 ? 0 : 1);
  write_text("Isle_Data1x_000.bmp", "theirs");
  EXPECT_EQ(RESULT_NAME_TAKEN, export_file_publish(&file, "Isle_Data1x_000.bmp"));
  EXPECT_EQ(2, files_in(dir.path()));
  const std::vector<unsigned char> theirs = read_file("Isle_Data1x_000.bmp");
  EXPECT_EQ("theirs", std::string(theirs.begin(), theirs.end()));
  EXPECT_EQ(0, export_file_publish(&file, "Isle_Data1x_002.bmp"));
  const std::vector<unsigned char> ours = read_file("Isle_Data1x_002.bmp");
  EXPECT_EQ("new", std::string(ours.begin(), ours.end()));
  EXPECT_EQ(2, files_in(dir.path()));

  // Two temporary files for one name never clash.
  ExportFile a, b;
  ASSERT_EQ(0, export_file_create(&a, "Isle_Data1x_001.bmp"));
  ASSERT_EQ(0, export_file_create(&b, "Isle_Data1x_001.bmp"));
  EXPECT_STRNE(a.temp_name, b.temp_name);
  EXPECT_EQ(0, export_file_publish(&a, "Isle_Data1x_001.bmp"));
  EXPECT_EQ(RESULT_NAME_TAKEN, export_file_publish(&b, "Isle_Data1x_001.bmp"));
  export_file_discard(&b);
  EXPECT_EQ(3, files_in(dir.path()));
}

// Killed part way, a writer leaves its partial file under the temporary
// name only.
void rows_then_kill(const void *, int y0, int y1, unsigned char *out, long row_bytes) {
  if (y0 < 2000) raise(SIGKILL);
  numbered_rows(nullptr, y0, y1, out, row_bytes);
}

TEST_F(ExportStream, KilledExportLeavesNoNumberedFile) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ExportFile file;
    if (export_file_create(&file, "Isle_Height4x_000.bmp") != 0) _exit(2);
    const RowSource source = {4000, 8000, 24, nullptr, rows_then_kill, nullptr};
    stream_bmp(file.fd, source, nullptr);
    export_file_publish(&file, "Isle_Height4x_000.bmp");
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_FALSE(file_exists(dir.file("Isle_Height4x_000.bmp")));
  EXPECT_EQ(1, files_in(dir.path()));
  char name[64];
  ASSERT_EQ(0, numbered_output_name("_Height4x_", name));
  EXPECT_STREQ("Isle_Height4x_000.bmp", name);
}

// A planning map made the plain way from the shade map as it is: the
// whole picture drawn sprite by sprite, shaded, stretched into the middle
// at the terrain's proportions, black around it, under the grid.
BITMAP *planning_reference(int kind) {
  const int f = planning_scale(kind), E = 512 * f;
  const int tx = tile_map.tiles_x, ty = tile_map.tiles_y, longer = tx > ty ? tx : ty;
  const int w = (E * tx + longer / 2) / longer, h = (E * ty + longer / 2) / longer;
  const int x0 = (E - w) / 2, y0 = (E - h) / 2;
  BITMAP *work = create_bitmap_ex(32, 4 * tx, 4 * ty);
  reset_shade_cache();
  draw_texture_pass(work, 1, 0);
  BITMAP *map = create_bitmap_ex(32, E, E);
  clear_to_color(map, makecol(0, 0, 0));
  stretch_blit(work, map, 0, 0, work->w, work->h, x0, y0, w, h);
  destroy_bitmap(work);
  rect(map, x0, y0, x0 + w - 1, y0 + h - 1, makecol(0, 0, 0));
  for (int k = 1; round_to_int(k * 51.2 * f) < h - 1; k++)
    hline(map, x0 + 1, y0 + round_to_int(k * 51.2 * f), x0 + w - 2, makecol(0, 0, 0));
  for (int k = 1; round_to_int(k * 51.2 * f) < w - 1; k++)
    vline(map, x0 + round_to_int(k * 51.2 * f), y0 + 1, y0 + h - 2, makecol(0, 0, 0));
  return map;
}

int differing_pixels(BITMAP *a, const char *file) {
  BITMAP *b = load_bitmap(file, nullptr);
  EXPECT_TRUE(b != nullptr) << file;
  if (!b) return -1;
  int count = 0;
  for (int y = 0; y < a->h; y++)
    for (int x = 0; x < a->w; x++) count += !(pixel_rgb(a, x, y) == pixel_rgb(b, x, y));
  destroy_bitmap(b);
  return count;
}

// The planning maps use the relief of the last embossed export or first
// planning map, not the heights of the moment; all 0 before either.
TEST_F(ExportStream, PlanningMapsKeepTheLastRelief) {
  make_terrain(30, 20, 9);
  std::vector<uint16_t> old_heights;
  for (int X = 0; X < 120; X++) old_heights.insert(old_heights.end(), height_map.heights[X], height_map.heights[X] + 80);

  ASSERT_EQ(0, export_bitmap(EXPORT_PLANNING_MAP_2, nullptr));
  BITMAP *ref = planning_reference(EXPORT_PLANNING_MAP_2);  // shade map all 0
  EXPECT_EQ(0, differing_pixels(ref, "Isle_PlanningMap2_000.bmp"));
  destroy_bitmap(ref);

  ASSERT_EQ(0, export_bitmap(EXPORT_EMBOSSED_4X, nullptr));
  for (int X = 0; X < 120; X++)
    for (int Y = 0; Y < 80; Y++) height_map.heights[X][Y] = (uint16_t)((X * 37 + Y * 11) % 700);
  set_work_threads(3);
  ASSERT_EQ(0, export_bitmap(EXPORT_PLANNING_MAP_3, nullptr));
  ASSERT_EQ(0, export_bitmap(EXPORT_PLANNING_MAP_1, nullptr));
  ASSERT_EQ(0, export_bitmap(EXPORT_PLANNING_MAP_2, nullptr));

  // Map 3 still has the relief of the heights before the edit.
  std::vector<uint16_t> new_heights;
  for (int X = 0; X < 120; X++) {
    new_heights.insert(new_heights.end(), height_map.heights[X], height_map.heights[X] + 80);
    memcpy(height_map.heights[X], &old_heights[X * 80], 80 * sizeof(uint16_t));
  }
  compute_shade_map();
  ref = planning_reference(EXPORT_PLANNING_MAP_3);
  EXPECT_EQ(0, differing_pixels(ref, "Isle_PlanningMap3_000.bmp"));
  destroy_bitmap(ref);

  // Maps 1 and 2 after it have the edited relief.
  for (int X = 0; X < 120; X++) memcpy(height_map.heights[X], &new_heights[X * 80], 80 * sizeof(uint16_t));
  compute_shade_map();
  for (int kind : {EXPORT_PLANNING_MAP_1, EXPORT_PLANNING_MAP_2}) {
    ref = planning_reference(kind);
    EXPECT_EQ(0, differing_pixels(ref, kind == EXPORT_PLANNING_MAP_1 ? "Isle_PlanningMap1_000.bmp"
                                                                     : "Isle_PlanningMap2_001.bmp"));
    destroy_bitmap(ref);
  }
}

// The strip's texts of a long export: the opening text, percentages that
// only climb, no more often than four times a second, then "Done"; each as
// long as the opening text or longer, so it covers it.
TEST_F(ExportStream, ProgressInPercentAFewTimesASecond) {
  make_terrain(4000, 600, 5);
  set_work_threads(1);
  ReportLog log;
  const double started = export_clock();
  ASSERT_EQ(0, export_bitmap(EXPORT_EMBOSSED_4X, log.get()));
  const double seconds = export_clock() - started;
  ASSERT_GE(log.progress.size(), 2u);
  const std::string blanks(46, ' ');
  EXPECT_EQ("Exporting Bitmap (6)..." + blanks, log.progress.front());
  EXPECT_EQ("Exporting Bitmap (6) Done." + blanks, log.progress.back());
  int last = -1;
  for (size_t i = 1; i + 1 < log.progress.size(); i++) {
    int percent = -1;
    char tail[8] = "";
    const std::string &text = log.progress[i];
    ASSERT_EQ(2, sscanf(text.c_str(), "Exporting Bitmap (6)... %d%7s", &percent, tail)) << text;
    EXPECT_STREQ("%", tail);
    EXPECT_GE(text.size(), log.progress.front().size());
    EXPECT_GT(percent, last);
    EXPECT_LE(percent, 100);
    last = percent;
  }
  EXPECT_LE((double)log.progress.size() - 2, seconds * 4 + 1);
  EXPECT_TRUE(log.warnings.empty());
}

// A picture far larger than the memory left is still written: only a few
// bands live at a time. With no room even for those, the export says so
// and leaves nothing.
#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER 1
#endif
#endif

[[maybe_unused]] rlim_t address_space_in_use() {
  FILE *status = fopen("/proc/self/statm", "r");
  unsigned long pages = 0;
  if (status && fscanf(status, "%lu", &pages) != 1) pages = 0;
  if (status) fclose(status);
  return (rlim_t)pages * (rlim_t)sysconf(_SC_PAGESIZE);
}

TEST_F(ExportStream, LargePicturesNeedOnlyAFewBands) {
#ifdef UNDER_ADDRESS_SANITIZER
  GTEST_SKIP() << "address-space limits do not mix with the sanitizer";
#else
  make_terrain(4000, 600, 3);
  struct rlimit old_limit;
  getrlimit(RLIMIT_AS, &old_limit);
  set_work_threads(2);
  struct rlimit limit = old_limit;
  // The picture is 16000 x 2400 pixels: 150 MB as a working bitmap.
  limit.rlim_cur = address_space_in_use() + (48u << 20);
  ASSERT_EQ(0, setrlimit(RLIMIT_AS, &limit));
  const int written = export_bitmap(EXPORT_TEXTURES_4X, nullptr);
  ReportLog log;
  limit.rlim_cur = address_space_in_use() + (1u << 20);
  setrlimit(RLIMIT_AS, &limit);
  const int refused = export_bitmap(EXPORT_TEXTURES_4X, log.get());
  setrlimit(RLIMIT_AS, &old_limit);
  EXPECT_EQ(0, written);
  EXPECT_EQ(54 + 16000LL * 3 * 2400, (long long)read_file(dir.file("Isle_Textures4x_000.bmp")).size());
  EXPECT_EQ(RESULT_NO_MEMORY, refused);
  EXPECT_EQ("Not enough memory for the export.|Isle_Textures4x_001.bmp|", log.texts());
  EXPECT_EQ(1, files_in(dir.path()));
#endif
}

}  // namespace
