// Writes the seed corpora of the fuzz targets, made by the project's own
// code: small valid files of each kind and a few broken ones.
#include <allegro.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/terrain_model.h"
#include "edit/area_edits.h"
#include "edit/edit_history.h"
#include "edit/height_edits.h"
#include "edit/target_edits.h"
#include "files/geo_file.h"
#include "files/height_map_file.h"
#include "document/recovery_journal.h"
#include "files/tile_map_file.h"
#include "tests/fuzz/fuzz_support.h"
#include "render/export/export_bitmap.h"
#include "tests/unit/sample_images.h"

static std::string out_dir;

static void put32(std::vector<unsigned char> &v, int32_t x) {
  for (int i = 0; i < 4; i++) v.push_back((unsigned char)((uint32_t)x >> (8 * i)));
}
static void put16(std::vector<unsigned char> &v, unsigned x) {
  v.push_back((unsigned char)(x & 0xFF));
  v.push_back((unsigned char)(x >> 8));
}

static void seed(const std::string &target, const std::string &name, const std::vector<unsigned char> &bytes) {
  std::string dir = out_dir + "/" + target;
  mkdir(dir.c_str(), 0755);
  FILE *f = fopen((dir + "/" + name).c_str(), "wb");
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

static void seed_text(const std::string &target, const std::string &name, const std::string &text) {
  seed(target, name, std::vector<unsigned char>(text.begin(), text.end()));
}

static std::vector<unsigned char> file_bytes(const std::string &path) {
  std::vector<unsigned char> v;
  FILE *f = fopen(path.c_str(), "rb");
  int c;
  while (f && (c = fgetc(f)) != EOF) v.push_back((unsigned char)c);
  if (f) fclose(f);
  return v;
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
    return 1;
  }
  out_dir = argv[1];
  mkdir(out_dir.c_str(), 0755);
  fuzz_init();

  for (int n : {0, 1, 3, 8}) {
    std::vector<unsigned char> tfd, hfd;
    put32(tfd, n); put32(tfd, n); put32(tfd, 7); put32(tfd, 9);
    for (int i = 0; i < n * n; i++)
      for (unsigned w : {(unsigned)(i % 12), (unsigned)(i % 4), (unsigned)(i % 3), 0u, 0u, 0u}) put16(tfd, w);
    put32(hfd, 4 * n); put32(hfd, 4 * n); put32(hfd, 0); put32(hfd, 0);
    for (int i = 0; i < 16 * n * n; i++) put16(hfd, (unsigned)((i * 10) % 3000));
    seed("tile_map", "map" + std::to_string(n), tfd);
    seed("height_map", "heights" + std::to_string(n), hfd);
    if (n == 3) {
      tfd.resize(tfd.size() - 5);
      seed("tile_map", "cut", tfd);
      hfd.resize(hfd.size() - 3);
      seed("height_map", "cut", hfd);
    }
  }

  for (const char *target : {"terrain_description", "terrain_description_library"}) {
    seed_text(target, "two",
              "[Texture001]\nFilename=water.bmp\nHasWater=2\n\n[Texture003]\nFilename=grass.bmp\nHasWater=-0012x\n");
    seed_text(target, "none", "[Texture002]\nFilename=NONE\n[Texture1]\nFilename=a.bmp\n");
    seed_text(target, "again", "[texture004]\r\nHasWater=\n[Texture004]\nfilename = b.bmp \nHASWATER=7\n");
  }

  // The reader alone and the comparison with the library's reader start
  // from the same file.
  const char *areas =
      "[TargetArea001]\nName=Harbour\nPosition=12000.5, 8000\nAlignment=FRIENDLY\n"
      "Target[001].Type=Runway3\nTarget[001].Offset=0,0\nTarget[001].Heading=-90\n"
      "Target[002].Type=Hangar\nTarget[002].Offset=100, 0\n\n"
      "[TargetArea002]\nName=Depot\nPosition=2e3,4000\nAlignment=ENEMY\n"
      "Target[001].Type=Tank\nTarget[001].Offset=250\n";
  seed_text("target_areas", "areas", areas);
  seed_text("target_areas_library", "areas", areas);
  // The writer's: the same file and others, then six bytes an edit and their count.
  const std::string files[] = {areas, std::string("; kept\r\n[Other]\r\nKey=1\r\n\r\n") + areas,
                               "[TargetArea001]\nName=A\nPosition=100, 200\nTarget[001].Type=Hangar\nTarget[001].Offset=5, 6"};
  const unsigned char edits[][6] = {{0, 0, 0, 10, 20, 30}, {1, 1, 1, 250, 7, 9}, {2, 0, 0, 45, 0, 0}, {3, 1, 0, 3, 4, 5},
                                    {4, 0, 0, 1, 2, 3},    {5, 0, 1, 0, 0, 0},   {6, 0, 0, 0, 0, 0},  {7, 1, 0, 0, 0, 2},
                                    {8, 0, 0, 0, 0, 0},    {255, 0, 0, 0, 0, 0}};
  for (int k = 0; k < 3; k++)
    for (int e = 0; e < 4; e++) {
      std::string text = files[k];
      const int count = e == 0 ? 0 : 3 * e;
      for (int i = 0; i < count; i++) text.append((const char *)edits[(k + e + 3 * i) % 10], 6);
      text += (char)count;
      seed_text("target_writer", "file" + std::to_string(k) + "_" + std::to_string(e), text);
    }

  seed_text("lands", "lands", FUZZ_LANDS_TEXT);
  seed_text("lands", "faults", "[Land001]\nName=Sea\nColor=1,2,3\n[land001]\nName=Sea\n[Land002]\nName=sea\nColor=1,2,3\n"
                               "[Texture512]\nCorners=Sea,Sea,Sea,Sea\n[Texture002]\nCorners=Sea,Sea,Sea\nWeight=x\n");

  // Settings: six bytes choosing what is saved, then the file.
  const std::string settings[] = {"", "; kept\n[Display]\nScreen-Width = 1024\nFullScreen = -1\nMine=1\n",
                                  "\xEF\xBB\xBF[display]\r\nscreen-height=600 px\r\n[Export]\r\nFormat=png\r\nBriefing_Page = a4",
                                  "[Display]\nUI_Scale\n\n[Export]\nBriefing_Pixels = 99999\n[Display]\nStart_Zoom = 3\n"};
  const unsigned char choices[][6] = {{0x7F, 1, 2, 3, 4, 0x09}, {0x81, 9, 9, 0, 200, 0}, {0x11, 0, 0, 4, 0, 0x0B}};
  for (int k = 0; k < 4; k++)
    for (int c = 0; c < 3; c++)
      seed_text("settings", "settings" + std::to_string(k) + "_" + std::to_string(c),
                std::string((const char *)choices[c], 6) + settings[k]);

  GeoFile geo;
  geo.projection = "EPSG:32633";
  geo.origin_east = 500000, geo.origin_north = 5000000.25;
  seed_text("geo_file", "epsg", geo_file_text(geo));
  geo.projection = "+proj=tmerc +lat_0=0 +lon_0=15 +k=0.9996 +x_0=500000 +y_0=0 +datum=WGS84 +units=m +no_defs";
  seed_text("geo_file", "proj", geo_file_text(geo) + "[After]\nOrigin=x\n");
  seed_text("geo_file", "bad", "Origin = 1e400, 3\nProjection=EPSG:4326\n");

  seed_text("class_table", "classes", "; ESA-like\n[Classes]\n80=Water\n10 = Forest\n-1=Rock\n");
  seed_text("class_table", "faults", "7=Sand\n[Classes]\n8x=Sand\n80=Water\n80=Grass\n9=\n[Other]\n1=Water\n");
  // Places: the first byte chooses a CSV (odd) or GeoJSON (even).
  seed_text("place_list", "csv", "\x01name,lat,lon,side,type,heading\nHarbour,43.2N,15.1E,F,Runway3,270\n"
                                 "\"Depot, north\",43\xC2\xB0""12'N,15\xC2\xB0""06'E,E,,\n,1,2\nBad,95,0\nTurn,43,15,,,9x\n");
  seed_text("place_list", "geojson",
            "\x02{\"type\":\"FeatureCollection\",\"features\":[{\"type\":\"Feature\",\"properties\":{\"Name\":\"Depot\","
            "\"side\":\"friendly\",\"heading\":\"90\"},\"geometry\":{\"type\":\"Point\",\"coordinates\":[15.2,43.1]}},"
            "{\"type\":\"Feature\",\"properties\":{},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[[0,0],[1,1]]}}]}");

  // Elevation models: an ASCII grid (first byte odd, the projection next)
  // and GeoTIFFs (size, cell type, void and place, projection, cell, then
  // the cells), both over the terrain's 2 x 2 tiles.
  {
    std::string grid = std::string("\x13") + '\0' + "ncols 12\nnrows 10\nxllcorner 499000\nyllcorner 4999000\ncellsize 600\nNODATA_value -9999\n";
    for (int y = 0; y < 10; y++) {
      for (int x = 0; x < 12; x++) grid += std::to_string(x == 3 && y == 4 ? -9999 : (x * 97 + y * 31) % 3000 - 50) + " ";
      grid += "\n";
    }
    seed_text("dem_import", "ascii", grid);
    for (int k = 0; k < 3; k++) {
      const unsigned char head[8] = {0x12, 15, 15, (unsigned char)(k == 2 ? 4 : 1), (unsigned char)(k == 1 ? 1 : 0), 0,
                                     (unsigned char)(k == 1 ? 1 : 3), 20};
      std::vector<unsigned char> bytes(head, head + 8);
      for (int i = 0; i < 256; i++) {
        if (k == 2) {
          const float v = i == 17 ? 1e30f : (float)(i * 40.5 - 300);
          const unsigned char *b = (const unsigned char *)&v;
          bytes.insert(bytes.end(), b, b + 4);
        } else {
          const int v = i == 40 ? -32768 : i * 47 % 12000 - 100;
          bytes.push_back((unsigned char)v), bytes.push_back((unsigned char)(v >> 8));
        }
      }
      seed("dem_import", "geotiff" + std::to_string(k), bytes);
    }
  }

  // Pictures of lands for a 3 x 2 tile map: by corner point and by tile,
  // PNG and BMP, some pixels black, one of no land's colour.
  {
    const int colours[5][3] = {{0, 0, 0}, {40, 90, 170}, {90, 160, 60}, {200, 180, 90}, {120, 120, 120}};
    for (int k = 0; k < 4; k++) {
      const int w = k % 2 ? 3 : 4, h = k % 2 ? 2 : 3;
      BITMAP *pic = create_bitmap_ex(32, w, h);
      for (int x = 0; x < w; x++)
        for (int y = 0; y < h; y++) {
          const int *c = colours[(x * 3 + y * 2 + k) % 5];
          putpixel(pic, x, y, k == 3 && x == 1 && y == 1 ? makecol32(1, 2, 3) : makecol32(c[0], c[1], c[2]));
        }
      const bool bmp = k >= 2;
      const std::string tmp = out_dir + (bmp ? "/lands.bmp" : "/lands.png");
      if (bmp) save_bmp(tmp.c_str(), pic, nullptr);
      else save_new_png(tmp.c_str(), pic);
      destroy_bitmap(pic);
      std::vector<unsigned char> bytes = file_bytes(tmp);
      remove(tmp.c_str());
      bytes.insert(bytes.begin(), (unsigned char)(2 | 1 << 3 | (bmp ? 64 : 0)));
      seed("land_import", "picture" + std::to_string(k), bytes);
    }
  }

  // Journals of the fuzzed small terrain as the journal's own writer makes
  // them: tiles, heights, a big packed fill, target areas, undos, a save.
  {
    const std::string state = out_dir + "/journal-state", tfd = out_dir + "/Small.TFD", hfd = out_dir + "/Small.hfd";
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    fuzz_small_terrain();
    save_tile_map(tfd.c_str());
    save_height_map(hfd.c_str());
    history_clear();
    std::string why;
    journal_start(tfd.c_str(), hfd.c_str(), &why);
    TileStamp stamp;
    copy_stamp(&stamp, 1, 1, 3, 3);
    int x, y;
    char text[HISTORY_TEXT_SIZE];
    for (int k = 0; k < 4; k++) {
      if (k == 0) area_fill(stamp, TileRect{2, 1, 9, 6});
      if (k == 1) heights_apply(HEIGHTS_SET, TileRect{0, 0, 5, 4}, 700, nullptr);
      if (k == 2) history_target_step(target_area_move(2, 9000, 4000).release());
      if (k == 3) history_target_step(target_area_add("Depot", 1, 1000, 1000, "Fuel").release()), history_undo(&x, &y, text, sizeof(text));
      journal_flush();
      FILE *f = fopen(journal_path_for(tfd.c_str()).c_str(), "rb");
      std::vector<unsigned char> bytes;
      for (int c; f && (c = fgetc(f)) != EOF;) bytes.push_back((unsigned char)c);
      if (f) fclose(f);
      seed("journal", "edits" + std::to_string(k), bytes);
    }
    journal_stop();
    fuzz_reset_grids();
  }

  seed_text("html_text", "page",
            "<HTML><HEAD><TITLE>x</TITLE></HEAD><BODY><H1>Title</H1><P>Some words that wrap "
            "around the box.<BR>Next line &amp; more.<HR>\tTabbed</P><B>bold</B><BR></BODY>\r\n");
  seed_text("html_text", "nobody", "plain text without a body");

  // Image files of each kind the loader reads, as the library writes them.
  BITMAP *b = create_bitmap_ex(32, 20, 12);
  for (int y = 0; y < 12; y++)
    for (int x = 0; x < 20; x++) putpixel(b, x, y, makecol(x * 12, y * 20, 90));
  PALETTE pal;
  generate_332_palette(pal);
  const char *types[] = {"bmp", "pcx", "tga"};
  for (int i = 0; i < 3; i++) {
    std::string tmp = out_dir + "/image." + types[i];
    save_bitmap(tmp.c_str(), b, pal);
    std::vector<unsigned char> bytes = file_bytes(tmp);
    bytes.insert(bytes.begin(), (unsigned char)i);
    seed("textures", std::string("image_") + types[i], bytes);
    remove(tmp.c_str());
  }
  destroy_bitmap(b);

  // Top-down, run-length and interleaved files for the plain copies, and for
  // the texture loader (whose first byte picks bmp 0, tga 2, lbm 3).
  static uint32_t (*const picks[])(int, int) = {
      [](int x, int y) { return (uint32_t)(x * 7 + y * 13) * 2654435761u >> 7; },
      [](int x, int y) { return (uint32_t)(x / 5 + 3 * y) * 40503u; },
      [](int x, int y) { return y % 3 ? (uint32_t)(x / 3 + y) | 1 : 0u; }};
  struct Kind {
    const char *name;
    int plain_kind, texture_kind;
    Bytes bytes;
  };
  for (int i = 0; i < 3; i++) {
    const SamplePicture p8 = sample_picture(19, 7, 8, picks[i]), p4 = sample_picture(19, 7, 4, picks[i]);
    const SamplePicture p16 = sample_picture(19, 7, 16, picks[i]), p32 = sample_picture(19, 7, 32, picks[i]);
    const Kind kinds[] = {
        {"down8", 0, 0, sample_bmp(p8, 8, true)},
        {"down4", 0, 0, sample_bmp(p4, 4, true)},
        {"down32", 0, 0, sample_bmp(p32, 32, true)},
        {"rle8", 0, 0, sample_bmp_rle(p8, 8, i == 2)},
        {"rle4", 0, 0, sample_bmp_rle(p4, 4, i == 2)},
        {"tga9", 1, 2, sample_tga(p8, 9, 8, i == 0 ? 15 : 24, i == 1)},
        {"tga10", 1, 2, sample_tga(i == 0 ? p16 : p32, 10, i == 0 ? 16 : 32, 0, i == 1, i == 2)},
        {"tga11", 1, 2, sample_tga(p8, 11, 8, 0, false, i == 1)},
        {"tga1_15", 1, 2, sample_tga(p8, 1, 8, 15, false)},
        {"ilbm", 2, 3, sample_lbm(p4, 4, i != 0, i == 1 ? 1 : 0)},
        {"ilbm8", 2, 3, sample_lbm(p8, 8, i != 1)},
        {"pbm", 2, 3, sample_pbm(p8, i != 2)},
    };
    for (const Kind &k : kinds) {
      const std::string name = std::string(k.name) + "_" + std::to_string(i);
      Bytes bytes = k.bytes;
      bytes.insert(bytes.begin(), (unsigned char)k.plain_kind);
      seed("plain_image", name, bytes);
      bytes[0] = (unsigned char)k.texture_kind;
      seed("textures", name, bytes);
    }
  }

  // Pictures for the readers of today's formats, a few of each kind.
  std::vector<uint16_t> samples;
  for (int i = 0; i < 19 * 7 * 4; i++) samples.push_back((uint16_t)(i * 40503));
  const SamplePicture p4 = sample_picture(19, 7, 4, picks[0]), p32 = sample_picture(19, 7, 32, picks[0]);
  std::vector<uint16_t> index(19 * 7), rgba8(19 * 7 * 4);
  for (size_t i = 0; i < rgba8.size(); i++) rgba8[i] = samples[i] & 0xFF, index[i / 4] = samples[i] & 0xF;
  seed("png_texture", "palette4", sample_png(19, 7, 3, 4, true, index, p4.palette, {0, 100, 200}));
  seed("png_texture", "rgb16", sample_png(19, 7, 2, 16, true, std::vector<uint16_t>(samples.begin(), samples.begin() + 19 * 7 * 3), {}, {1, 2, 3}));
  seed("png_texture", "rgba8", sample_png(19, 7, 6, 8, false, rgba8));
  const Bytes rgb(rgba8.begin(), rgba8.begin() + 19 * 7 * 3);
  seed("jpeg_texture", "baseline", sample_jpeg(19, 7, 3, false, rgb));
  seed("jpeg_texture", "progressive_grey", sample_jpeg(19, 7, 1, true, Bytes(rgb.begin(), rgb.begin() + 19 * 7)));
  const uint32_t argb[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, argb1555[4] = {0x7C00, 0x3E0, 0x1F, 0x8000};
  seed("bmp_info_texture", "v5_32", sample_bmp_info(p32, 32, 124, 3, argb, false));
  seed("bmp_info_texture", "alpha56_16", sample_bmp_info(sample_picture(19, 7, 16, picks[1]), 16, 56, 6, argb1555, true));
  seed("bmp_info_texture", "os2_4", sample_bmp_info(p4, 4, 64, 0, argb, true));

  // Height pictures of a 2 x 1 tile map (8 x 4 samples): the first byte
  // picks the format, the size and whether the values are fitted.
  const std::vector<uint16_t> grid(samples.begin(), samples.begin() + 32);
  Bytes grey = sample_png(8, 4, 0, 16, false, grid);
  grey.insert(grey.begin(), 0x01);
  seed("height_import", "grey16", grey);
  grey = sample_png(8, 4, 0, 8, true, std::vector<uint16_t>(index.begin(), index.begin() + 32));
  grey.insert(grey.begin(), 0x81);
  seed("height_import", "grey8_fitted", grey);
  Bytes words = {0x41};
  for (uint16_t v : grid) words.insert(words.end(), {(unsigned char)(v % 9000), (unsigned char)(v % 9000 >> 8)});
  seed("height_import", "raw", words);
  return 0;
}
