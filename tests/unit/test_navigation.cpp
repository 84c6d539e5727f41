// The overview's scale, place and clicks for odd terrain and window sizes,
// the ruler against a hand computation, the go-to reader and the target
// area filter.
#include <cmath>
#include <random>
#include <vector>

#include "app/area_keys.h"
#include "app/navigation.h"
#include "core/terrain_model.h"
#include "document/open_place.h"
#include "render/view/overview.h"
#include "tests/unit/harness.h"

namespace {

// For random sizes: the picture fits, twice the scale would not, it is
// centred; a click on any pixel names a tile that pixel shows, and off it
// nothing.
TEST(Overview, ClicksNameTheTilesUnderThem) {
  reset_program_state();
  const OverviewLayout empty = overview_layout(0, 10, 768, 512);
  EXPECT_TRUE(empty.width == 0 && empty.height == 0);
  std::mt19937 r(17);
  for (int n = 0; n < 300; n++) {
    tile_map.tiles_x = 1 + (int)(r() % 4000);
    tile_map.tiles_y = 1 + (int)(r() % 4000);
    const int w = 200 + (int)(r() % 1800), h = 100 + (int)(r() % 1200);
    const OverviewLayout l = overview_layout(tile_map.tiles_x, tile_map.tiles_y, w, h);
    SCOPED_TRACE(testing::Message() << tile_map.tiles_x << " x " << tile_map.tiles_y << " in " << w << " x " << h);
    const double scale = l.shift >= 0 ? 1 << l.shift : 1.0 / (1 << -l.shift);
    ASSERT_LE(tile_map.tiles_x * scale, w);
    ASSERT_LE(tile_map.tiles_y * scale, h);
    if (l.shift < 8) {
      ASSERT_TRUE(tile_map.tiles_x * scale * 2 > w || tile_map.tiles_y * scale * 2 > h);
    }
    // A last pixel that holds fewer tiles than the others still counts.
    ASSERT_EQ((int)std::ceil(tile_map.tiles_x * scale), l.width);
    ASSERT_EQ((int)std::ceil(tile_map.tiles_y * scale), l.height);
    ASSERT_EQ((w - l.width) / 2, l.left);
    ASSERT_EQ((h - l.height) / 2, l.top);
    for (int k = 0; k < 50; k++) {
      const int mx = (int)(r() % (unsigned)w), my = (int)(r() % (unsigned)h);
      int x = -1, y = -1;
      const bool inside = mx >= l.left && mx < l.left + l.width && my >= l.top && my < l.top + l.height;
      ASSERT_EQ(inside ? 0 : 1, overview_tile_at(l, mx, my, &x, &y)) << mx << "," << my;
      if (!inside) continue;
      ASSERT_TRUE(x >= 0 && x < tile_map.tiles_x && y >= 0 && y < tile_map.tiles_y);
      // The tile's pixels start at floor(tile x scale) from the picture's corner.
      const int cell = std::max(1, (int)scale);
      ASSERT_TRUE(mx - l.left >= (int)(x * scale) && mx - l.left < (int)(x * scale) + cell) << mx << " " << x;
      ASSERT_TRUE(my - l.top >= (int)(y * scale) && my - l.top < (int)(y * scale) + cell) << my << " " << y;
    }
  }
}

TEST(Navigation, RulerGivesDistanceAndBearingFromTheCursorTile) {
  reset_program_state();
  tile_map.tiles_x = tile_map.tiles_y = 100;
  // Tile (20, 79) has its centre 41 km east, 41 km north of the south-west corner.
  const struct {
    long long dx, dy;
    const char *want;
  } cases[] = {{9000, 8400, "12.3 km 047"}, {0, 12400, "12.4 km 000"}, {-5000, -5000, "7.1 km 225"},
               {3000, -12000, "12.4 km 166"}, {0, 0, "0.0 km 000"},     {-100, 40000, "40.0 km 000"}};  // -0.1 degrees is north
  for (const auto &c : cases) {
    char text[RULER_TEXT_SIZE];
    ASSERT_EQ(0, ruler_text(20, 79, 41000 + c.dx, 41000 + c.dy, text, sizeof(text)));
    EXPECT_STREQ(c.want, text);
  }
}

TEST(Navigation, GoToReadsTwoNumbersAsTheStripCountsThem) {
  reset_program_state();
  tile_map.tiles_x = 40;
  tile_map.tiles_y = 30;
  const struct {
    const char *text;
    int result, x, y;  // the map tile for result 0
  } cases[] = {{"12, 5", 0, 12, 24}, {" 12 5 ", 0, 12, 24}, {"0,0", 0, 0, 29},  {"39 ,29", 0, 39, 0},
               {"12,,5", 1, 0, 0},   {"12", 1, 0, 0},       {"1 2 3", 1, 0, 0}, {"-1, 4", 1, 0, 0},
               {"a, b", 1, 0, 0},    {"40, 0", 2, 0, 0},    {"3, 30", 2, 0, 0}, {"9999999999, 1", 1, 0, 0}};
  for (const auto &c : cases) {
    int x = -1, y = -1;
    long tx, ty;
    EXPECT_EQ(c.result, read_tile_place(c.text, &x, &y, &tx, &ty)) << c.text;
    if (c.result == 0) {
      EXPECT_EQ(c.x, x) << c.text;
      EXPECT_EQ(c.y, y) << c.text;
    }
  }
}

// Ctrl + G's table: tiles as before, kilometres, degrees in every way they
// are typed, and the refusals with the strip's line. The terrain, 40 x 30
// tiles, has its south-west corner 40 km west and 30 km south of 43N 19E in
// a transverse Mercator on that point: 43.2N 19.1E lies 8.13 km east and
// 22.23 km north of the centre (PROJ: echo 19.1 43.2 | gdaltransform
// -s_srs EPSG:4326 -t_srs TMERC), so in tile 24, 26 from the south.
TEST(Navigation, GoToTakesTilesKilometresAndDegrees) {
  reset_program_state();
  tile_map.tiles_x = 40;
  tile_map.tiles_y = 30;
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "Vale.TFD");
  GeoFile file;
  file.projection = "+proj=tmerc +lat_0=43 +lon_0=19 +k=1 +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs";
  file.origin_east = -40000;
  file.origin_north = -30000;
  std::string why;
  const GeoPlacePtr place = make_geo_place(file, &why);
  ASSERT_TRUE(place) << why;
  const struct {
    const char *text;
    bool placed;  // with the terrain placed, else without
    int result, x, y;  // x and y counted as the strip counts them, for GOTO_FOUND
    const char *line;  // part of the strip's line otherwise
  } cases[] = {
      {"12, 5", false, GOTO_FOUND, 12, 5, nullptr},
      {"40, 0", false, GOTO_OFF_MAP, 0, 0, "Tile 40, 0 is off the map (40 x 30 tiles)."},
      {"25 km, 11 km", false, GOTO_FOUND, 12, 5, nullptr},
      {"25.9, 11.2km", false, GOTO_FOUND, 12, 5, nullptr},
      {"0 km 59.99 km", false, GOTO_FOUND, 0, 29, nullptr},
      {"80 km, 3 km", false, GOTO_OFF_MAP, 0, 0, "80.0 km, 3.0 km is off the map (80 x 60 km)."},
      {"-1 km, 3 km", false, GOTO_UNREADABLE, 0, 0, "Not a tile, kilometres or degrees: -1 km, 3 km"},
      {"1e3 km, 3 km", false, GOTO_UNREADABLE, 0, 0, "Not a tile"},
      {"43.2N 19.1E", false, GOTO_NO_PLACE, 0, 0, "Degrees need a place on the Earth: Vale.TFD has no _GEO.ini."},
      {"43.2N 19.1E", true, GOTO_FOUND, 24, 26, nullptr},
      {"19.1E, 43.2N", true, GOTO_FOUND, 24, 26, nullptr},
      {"43\xC2\xB0" "12'N 19\xC2\xB0" "06'E", true, GOTO_FOUND, 24, 26, nullptr},
      {"43\xB0" "12'N 19\xB0" "06'E", true, GOTO_FOUND, 24, 26, nullptr},  // Latin-1, as the prompt types it
      {"43d12'N 19d06'E", true, GOTO_FOUND, 24, 26, nullptr},
      {"43 12 N, 19 6 E", true, GOTO_FOUND, 24, 26, nullptr},
      {"43N 19E", true, GOTO_FOUND, 20, 15, nullptr},
      {"43.5N 19.1E", true, GOTO_OFF_MAP, 0, 0, "43.5000N 19.1000E is off the terrain: 26 km north of it."},
      {"42.5N 18.1E", true, GOTO_OFF_MAP, 0, 0, "off the terrain: 34 km west and 26 km south of it."},
      {"43.2N 19.1N", true, GOTO_UNREADABLE, 0, 0, "Not a tile, kilometres or degrees"},
      {"43.2 19.1E", true, GOTO_UNREADABLE, 0, 0, "Not a tile"},
      {"43d60'N 19E", true, GOTO_UNREADABLE, 0, 0, "Not a tile"},
      {"95N 19E", true, GOTO_UNREADABLE, 0, 0, "Not a tile"},
      {"", true, GOTO_UNREADABLE, 0, 0, "Not a tile"},
  };
  for (const auto &c : cases) {
    terrain_place.place = c.placed ? place : nullptr;
    int x = -1, y = -1;
    char line[128] = "";
    EXPECT_EQ(c.result, read_go_to(c.text, &x, &y, line, sizeof(line))) << c.text << ": " << line;
    if (c.result == GOTO_FOUND) {
      EXPECT_EQ(c.x, x) << c.text;
      EXPECT_EQ(29 - c.y, y) << c.text;
    } else {
      EXPECT_NE(nullptr, strstr(line, c.line)) << c.text << ": " << line;
    }
  }
  terrain_place = TerrainPlace();
}

// On a placed terrain the ruler adds the geodesic: here a transverse
// Mercator of scale 0.9996 on the terrain's middle meridian, whose north is
// true north there, so the true length is the grid's over the scale.
TEST(Navigation, RulerAddsTheTrueLengthAndBearingOnAPlacedTerrain) {
  reset_program_state();
  tile_map.tiles_x = tile_map.tiles_y = 100;
  GeoFile file;
  file.projection = "+proj=tmerc +lat_0=43 +lon_0=19 +k=0.9996 +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs";
  file.origin_east = -41000;
  file.origin_north = -41000;
  std::string why;
  terrain_place.place = make_geo_place(file, &why);
  ASSERT_TRUE(terrain_place.place) << why;
  char text[RULER_TEXT_SIZE];
  ASSERT_EQ(0, ruler_text(20, 79, 41000, 41000 + 99960, text, sizeof(text)));
  EXPECT_STREQ("100.0 km 000, true 100.0 km 000", text);
  ASSERT_EQ(0, ruler_text(20, 79, 41000, 41000 - 39984, text, sizeof(text)));
  EXPECT_STREQ("40.0 km 180, true 40.0 km 180", text);
  terrain_place = TerrainPlace();
}

TEST(Navigation, FilterKeepsNamesHoldingTheLettersInNumberOrder) {
  reset_program_state();
  const char *names[] = {"Airbase North", "Rail Yard", "AIR DEFENCE", "Harbour", ""};
  targets.area_count = 5;
  for (int k = 0; k < 5; k++) snprintf(targets.areas[k + 1].name, NAME_SIZE, "%s", names[k]);
  const struct {
    const char *typed;
    std::vector<int> want;
  } cases[] = {{"", {1, 2, 3, 4, 5}}, {"air", {1, 3}}, {"AR", {2, 4}}, {"r", {1, 2, 3, 4}}, {"zz", {}}};
  for (const auto &c : cases) {
    std::vector<int> got;
    filter_target_areas(c.typed, &got);
    EXPECT_EQ(c.want, got) << c.typed;
  }
}

// The type list of a new target: one row per type whatever its case, and a
// last row offering the typed word unless a type is exactly that word.
TEST(Navigation, TypeListNarrowsAndOffersANewWord) {
  reset_program_state();
  const char *types[][3] = {{"Hangar", "Gun", "hangar"}, {"Hangar2", "Radar", "GUN"}};
  targets.area_count = 2;
  for (int n = 1; n <= 2; n++) {
    targets.areas[n].target_count = 3;
    for (int t = 1; t <= 3; t++) snprintf(targets.areas[n].targets[t].type, NAME_SIZE, "%s", types[n - 1][t - 1]);
  }
  const std::vector<TargetType> rows = target_types_in_use();
  std::vector<std::string> names;
  std::vector<int> counts;
  for (const TargetType &r : rows) names.push_back(r.name), counts.push_back(r.count);
  EXPECT_EQ((std::vector<std::string>{"Gun", "Hangar", "Hangar2", "Radar"}), names);
  EXPECT_EQ((std::vector<int>{2, 2, 1, 1}), counts);
  const struct {
    const char *typed;
    std::vector<int> want;  // 4: the typed word as a new type
  } cases[] = {{"", {0, 1, 2, 3}}, {"han", {1, 2, 4}}, {"HANGAR", {1, 2}}, {"a", {1, 2, 3, 4}}, {"Fuel", {4}}};
  for (const auto &c : cases) {
    std::vector<int> got;
    filter_target_types(rows, c.typed, &got);
    EXPECT_EQ(c.want, got) << c.typed;
  }
  // Without a runway type (a new file has no types at all) the six that
  // make an airfield come after them; with one, nothing is added.
  for (int areas : {0, 2, -1}) {
    targets.area_count = areas < 0 ? 2 : areas;
    if (areas < 0) snprintf(targets.areas[2].targets[3].type, NAME_SIZE, "Runway3");
    std::vector<TargetType> offered = target_types_in_use();
    const size_t in_use = offered.size();
    EXPECT_EQ(areas >= 0, offer_runway_types(&offered));
    EXPECT_EQ(in_use + (areas >= 0 ? 6 : 0), offered.size());
    if (areas >= 0) {
      EXPECT_TRUE(offered[in_use].name == "Runway1" && offered.back().name == "Runway6" && !offered.back().count);
    }
  }
}

}  // namespace
