// The view from the air against its pinhole rule, on memory bitmaps: where a
// ridge of known height meets the sky in every column, what hides behind
// it, east and west, a turn; the horizon; every pixel drawn on terrains of
// any size; the marks; the exported picture.
#include <cmath>
#include <string>
#include <vector>

#include "core/terrain_model.h"
#include "app/air_view_mode.h"
#include "images/image_pixels.h"
#include "render/air/air_export.h"
#include "render/air/air_view.h"
#include "tests/unit/harness.h"
#include "ui/display.h"

namespace {

enum { W = 400, H = 300 };
enum { SEA = 1, RIDGE = 2, BEHIND = 3, EAST_TOWER = 4, WEST_TOWER = 5, LAND = 6 };

// What a pixel shows, by its hue: shading and haze keep a texture's hue.
enum Seen { SEEN_SKY, SEEN_RIDGE, SEEN_BEHIND, SEEN_EAST, SEEN_WEST, SEEN_OTHER };
Seen seen(BITMAP *bmp, int x, int y) {
  const Rgb c = pixel_rgb(bmp, x, y);
  if (c.r > c.g + 40 && c.r > c.b + 40) return SEEN_RIDGE;
  if (c.g > c.r + 40 && c.b > c.r + 40 && std::abs(c.g - c.b) < 30) return SEEN_BEHIND;
  if (c.r > c.b + 60 && c.g > c.b + 60) return SEEN_EAST;
  if (c.r > c.g + 40 && c.b > c.g + 40) return SEEN_WEST;
  if (c.b > c.r + 15 && c.b >= c.g) return SEEN_SKY;
  return SEEN_OTHER;
}

class AirView : public testing::Test {
 protected:
  void SetUp() override {
    reset_program_state();
    forget_air_view();
    const int colours[][4] = {{SEA, 30, 60, 200}, {RIDGE, 200, 40, 40}, {BEHIND, 40, 190, 190},
                              {EAST_TOWER, 220, 210, 30}, {WEST_TOWER, 200, 40, 200}, {LAND, 150, 110, 60}};
    for (const auto &c : colours) {
      TextureEntry &e = texture_table.textures[c[0]];
      for (int k = 0; k < TEXTURE_LEVELS; k++) {
        e.levels[k] = create_bitmap_ex(32, 256 >> k, 256 >> k);
        clear_to_color(e.levels[k], makecol(c[1], c[2], c[3]));
      }
      e.sample_color = makecol(c[1], c[2], c[3]);
      e.has_water = c[0] == SEA ? 2 : 0;
    }
    texture_table.texture_count = LAND;
    picture = create_bitmap_ex(32, W, H);
    options.haze = 0;
  }
  void TearDown() override {
    destroy_bitmap(picture);
    reset_program_state();  // releases the levels
  }
  void terrain(int tx, int ty, int texture) {
    tile_map.tiles_x = tx, tile_map.tiles_y = ty;
    height_map.samples_x = 4 * tx, height_map.samples_y = 4 * ty;
    height_map.heights_loaded = 1;
    // The largest terrains keep their tiles of no texture: a test need not fill 128 MB.
    for (int x = 0; x < tx && (long)tx * ty <= 1000000; x++)
      for (int y = 0; y < ty; y++) tile_at(x, y) = Tile{(int16_t)texture, 0, 0, {0, 0, 0}};
  }
  // Tile (x, y) (rows from the north) of a texture, its 16 samples at height.
  void tile(int x, int y, int texture, int height) {
    tile_at(x, y).texture = (int16_t)texture;
    for (int i = 0; i < 4; i++)
      for (int j = 0; j < 4; j++) height_map.heights[4 * x + i][4 * y + j] = (uint16_t)height;
    if (height > height_map.max_height) height_map.max_height = height;
  }
  void draw(const AirCamera &c) {
    forget_air_view();
    draw_air_view(picture, W, H, c, options, look);
  }
  // The first row from the top of column x that shows what, or -1.
  int first_row(int x, Seen what) {
    for (int y = 0; y < H; y++)
      if (seen(picture, x, y) == what) return y;
    return -1;
  }
  BITMAP *picture = nullptr;
  AirOptions options;
  AirLook look;
};

// Sea south of the camera's row, a ridge one tile deep right across the
// terrain, lower land behind it.
const int TX = 40, TY = 60, RIDGE_ROW = 34, RIDGE_M = 900, BEHIND_M = 700, CAMERA_M = 500;
AirCamera ridge_camera(double heading) {
  AirCamera c;
  c.east = 41000, c.north = 39000, c.altitude = CAMERA_M, c.heading = heading;
  return c;
}
// The ridge's southmost samples lie at the centres of their cells.
const double RIDGE_NORTH = 2000.0 * (TY - RIDGE_ROW - 1) + 250;

TEST_F(AirView, TheRidgeMeetsTheSkyWhereThePinholeRuleSays) {
  terrain(TX, TY, SEA);
  for (int x = 0; x < TX; x++) {
    tile(x, RIDGE_ROW, RIDGE, RIDGE_M);
    for (int y = 0; y < RIDGE_ROW; y++) tile(x, y, BEHIND, BEHIND_M);
  }
  const struct {
    double heading, fov, exaggeration;
  } cases[] = {{0, 75, 1}, {90, 75, 1}, {270, 75, 1}, {180, 75, 1}, {30, 75, 1}, {330, 60, 1}, {0, 100, 1.5}, {90, 40, 1}};
  for (const auto &k : cases) {
    options.fov_degrees = k.fov, options.exaggeration = k.exaggeration;
    const AirCamera camera = ridge_camera(k.heading);
    draw(camera);
    // The rule, worked out here: column c looks along the heading turned by
    // atan(t), t = (c + 0.5 - W / 2) / f; a point d ahead and h above lies
    // h / d * f rows above the middle row.
    const double f = (W / 2.0) / std::tan(k.fov * M_PI / 360), a = k.heading * M_PI / 180;
    int columns_with_ridge = 0;
    for (int c = 0; c < W; c++) {
      const double t = (c + 0.5 - W / 2.0) / f;
      const double de = std::sin(a) + t * std::cos(a), dn = std::cos(a) - t * std::sin(a);
      const double d = dn > 0 ? (RIDGE_NORTH - camera.north) / dn : -1;  // metres ahead to the ridge
      const double east = camera.east + d * de;
      SCOPED_TRACE("heading " + std::to_string(k.heading) + " column " + std::to_string(c));
      for (int y = 0; y < H; y++) ASSERT_NE(SEEN_BEHIND, seen(picture, c, y)) << "row " << y;
      if (d < 0 || east < -2000 || east > 2000.0 * TX + 2000) {
        EXPECT_EQ(-1, first_row(c, SEEN_RIDGE));
        continue;
      }
      if (east < 2000 || east > 2000.0 * TX - 2000) continue;  // the ridge's ends
      const double row = H / 2.0 - (k.exaggeration * RIDGE_M - CAMERA_M) / d * f;
      const int expected = (int)std::ceil(row - 0.5);
      EXPECT_NEAR(expected, first_row(c, SEEN_RIDGE), 1) << "the ridge's row";
      EXPECT_EQ(SEEN_SKY, seen(picture, c, expected - 2));
      columns_with_ridge++;
    }
    // Ahead: every column; a quarter turn either way: the columns on that side.
    if (k.heading == 0) {
      EXPECT_EQ(W, columns_with_ridge);
    } else if (k.heading == 90) {
      EXPECT_GT(columns_with_ridge, k.fov > 60 ? W / 5 : 0);
    } else if (k.heading == 180) {
      EXPECT_EQ(0, columns_with_ridge);
    }
  }
}

TEST_F(AirView, EastIsRightAndWestLeftLookingNorth) {
  terrain(TX, TY, LAND);
  // The camera over the centre of tile (20, 30); towers 6 km east and west, 10 km ahead.
  tile(23, 25, EAST_TOWER, 3000);
  tile(17, 25, WEST_TOWER, 3000);
  AirCamera c;
  c.east = 41000, c.north = 2000.0 * (TY - 30) - 1000, c.altitude = CAMERA_M;
  draw(c);
  const double f = (W / 2.0) / std::tan(75 * M_PI / 360);
  // Their tiles lie 5 to 7 km aside and 9 to 11 km ahead.
  const int near_side = (int)std::floor(W / 2.0 + 5000.0 / 11000 * f) - 1;
  const int far_side = (int)std::ceil(W / 2.0 + 7000.0 / 9000 * f) + 1;
  int east = 0, west = 0;
  for (int x = 0; x < W; x++)
    for (int y = 0; y < H; y++) {
      const Seen s = seen(picture, x, y);
      if (s == SEEN_EAST) {
        EXPECT_TRUE(x >= near_side && x <= far_side) << x << "," << y;
        east++;
      }
      if (s == SEEN_WEST) {
        EXPECT_TRUE(W - 1 - x >= near_side && W - 1 - x <= far_side) << x << "," << y;
        west++;
      }
    }
  EXPECT_GT(east, 20);
  EXPECT_GT(west, 20);
  // The tower's centre column shows it.
  EXPECT_NE(-1, first_row((int)std::floor(W / 2.0 + 0.6 * f), SEEN_EAST));
}

TEST_F(AirView, TheHorizonOfFlatGroundIsTheMiddleRowAtPitchZero) {
  terrain(10, 10, LAND);
  options.distance_km = AIR_DISTANCE_MAX_KM;
  const double f = (W / 2.0) / std::tan(75 * M_PI / 360);
  for (double pitch : {0.0, 10.0, -20.0}) {
    AirCamera c;
    c.east = c.north = 10000, c.altitude = CAMERA_M, c.pitch = pitch;
    for (double heading : {0.0, 123.0}) {
      c.heading = heading;
      draw(c);
      // The ground at the farthest depth lies a hair below the horizon.
      const int expected = (int)std::ceil(H / 2.0 + f * std::tan(pitch * M_PI / 180) - 0.5);
      for (int x = 0; x < W; x += 7) {
        EXPECT_EQ(SEEN_SKY, seen(picture, x, expected - 1)) << "pitch " << pitch << " column " << x;
        EXPECT_NE(SEEN_SKY, seen(picture, x, expected)) << "pitch " << pitch << " column " << x;
      }
    }
  }
}

// Whatever the terrain's size and wherever the camera, every pixel is the
// sky or ground: none keeps what the bitmap held.
TEST_F(AirView, EveryPixelIsDrawnOnTerrainsOfAnySize) {
  const int sentinel = makecol(1, 2, 3);
  const struct {
    int tiles;
    double east, north, altitude, heading, pitch, distance;
  } cases[] = {
      {1, 1000, 1000, 300, 0, 0, 150},     {1, -50000, -9000, 20, 45, 30, 150},
      {1, 1000, 1000, 90000, 10, -60, 12000}, {4000, 4e6, 4e6, 2000, 200, -10, 12000},
      {4000, 0, 8e6, 6, 135, 60, 150},      {3, 1e9, -1e9, 1e9, 1e9, 1e9, 150},
  };
  for (const auto &k : cases) {
    terrain(k.tiles, k.tiles, LAND);
    options.distance_km = k.distance;
    AirCamera c;
    c.east = k.east, c.north = k.north, c.altitude = k.altitude, c.heading = k.heading, c.pitch = k.pitch;
    air_settle_camera(c, options);
    clear_to_color(picture, sentinel);
    draw(c);
    long left = 0;
    for (int y = 0; y < H; y++)
      for (int x = 0; x < W; x++) left += getpixel(picture, x, y) == sentinel;
    EXPECT_EQ(0, left) << k.tiles << " tiles, camera " << k.east << ", " << k.north;
  }
}

TEST_F(AirView, AnAreaMarkStandsOverItsPlaceAndNearerGroundHidesItsFoot) {
  terrain(TX, TY, SEA);
  for (int x = 0; x < TX; x++) {
    tile(x, RIDGE_ROW, RIDGE, RIDGE_M);
    for (int y = 0; y < RIDGE_ROW; y++) tile(x, y, BEHIND, BEHIND_M);
  }
  targets.area_count = 2;
  TargetArea &front = targets.areas[1], &behind = targets.areas[2];
  snprintf(front.name, sizeof(front.name), "Front");
  snprintf(behind.name, sizeof(behind.name), "Behind");
  front.pos_x = behind.pos_x = 41000;
  front.pos_y = 45000, behind.pos_y = 60000;
  behind.enemy = 1;
  look.targets = 1;
  draw(ridge_camera(0));
  const int x = W / 2;  // straight ahead
  const double f = (W / 2.0) / std::tan(75 * M_PI / 360);
  const int ridge_row = (int)std::ceil(H / 2.0 - (RIDGE_M - CAMERA_M) / (RIDGE_NORTH - 39000) * f - 0.5);
  int front_rows = 0, behind_rows = 0;
  for (int y = 0; y < H; y++) {
    front_rows += getpixel(picture, x, y) == display.colour_blue;
    if (getpixel(picture, x, y) == display.colour_red) {
      behind_rows++;
      EXPECT_LT(y, ridge_row) << "the ridge hides the foot of the mark behind it";
    }
  }
  // The front mark stands on the sea 6 km ahead: its foot below the horizon.
  EXPECT_GT(front_rows, 10);
  EXPECT_EQ(display.colour_blue, getpixel(picture, x, (int)std::floor(H / 2.0 + CAMERA_M * f / 6000) - 1));
  EXPECT_GT(behind_rows, 5);
  // Without the setting's target areas there are none.
  look.targets = 0;
  draw(ridge_camera(0));
  for (int y = 0; y < H; y++) EXPECT_NE(display.colour_blue, getpixel(picture, x, y));
}

TEST_F(AirView, TheExportIsTheViewAsAPicture) {
  TempDir dir;
  terrain(TX, TY, SEA);
  for (int x = 0; x < TX; x++) tile(x, RIDGE_ROW, RIDGE, RIDGE_M);
  snprintf(terrain_paths.tfd_path, sizeof(terrain_paths.tfd_path), "Isle.TFD");
  ReportLog log;
  char name[PATH_SIZE];
  ASSERT_EQ(RESULT_OK, export_air_view(ridge_camera(0), options, look, W, H, log.get(), name));
  EXPECT_STREQ("Isle_View_000.png", name);
  const std::vector<unsigned char> bytes = read_file(dir.file(name));
  ImagePixels image;
  ASSERT_EQ(0, read_png_pixels(bytes.data(), (long)bytes.size(), &image));
  draw(ridge_camera(0));
  EXPECT_EQ(W, image.width);
  EXPECT_EQ(H, image.height);
  long differ = 0;
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      const unsigned char *p = image.rgba + 4 * (y * W + x);
      differ += !(Rgb{p[0], p[1], p[2]} == pixel_rgb(picture, x, y));
    }
  free_image_pixels(&image);
  EXPECT_EQ(0, differ);
  ASSERT_EQ(RESULT_OK, export_air_view(ridge_camera(0), options, look, 64, 48, log.get(), name));
  EXPECT_STREQ("Isle_View_001.png", name);
}

}  // namespace

namespace {

// The camera's moves as the keys and drags make them: where the view
// opens, what settling keeps, that an orbit keeps its distance to the
// pivot, that a look drag turns by the pixels' share of the view.
TEST_F(AirView, TheCameraOpensSettlesAndOrbitsAsSaid) {
  terrain(10, 8, LAND);
  tile(3, 2, LAND, 700);
  const AirCamera start = air_start_camera(3, 2, options);
  // Tile (3, 2) from the north edge of 8 rows: its centre 7 km east, 11 km north.
  EXPECT_EQ(7000, start.east);
  EXPECT_EQ(11000, start.north);
  EXPECT_NEAR(700 + AIR_START_HEIGHT, start.altitude, 1e-3);
  EXPECT_EQ(0, start.heading);
  EXPECT_EQ(0, start.pitch);
  int x, y;
  air_camera_tile(start, &x, &y);
  EXPECT_EQ(3, x);
  EXPECT_EQ(2, y);

  AirCamera c = start;
  c.heading = -30, c.pitch = 95, c.altitude = -50;
  air_settle_camera(c, options);
  EXPECT_EQ(330, c.heading);
  EXPECT_EQ(AIR_PITCH_MAX, c.pitch);
  EXPECT_NEAR(700 + AIR_CLEARANCE, c.altitude, 1e-3);

  // Flying forward at heading 90 goes east.
  c = start;
  c.heading = 90;
  air_fly(c, options, 1000, 0, 0);
  EXPECT_NEAR(8000, c.east, 1e-6);
  EXPECT_NEAR(11000, c.north, 1e-6);

  const double pivot[3] = {7000, 14000, 700};
  for (const auto &turn : {std::make_pair(40.0, 0.0), std::make_pair(-170.0, 10.0), std::make_pair(15.0, -80.0)}) {
    AirCamera o = start;
    air_orbit(o, options, pivot[0], pivot[1], pivot[2], turn.first, turn.second);
    const double before = std::hypot(std::hypot(start.east - pivot[0], start.north - pivot[1]), start.altitude - pivot[2]);
    const double after = std::hypot(std::hypot(o.east - pivot[0], o.north - pivot[1]), o.altitude - pivot[2]);
    EXPECT_NEAR(before, after, 1e-6) << turn.first;
    EXPECT_NEAR(std::fmod(turn.first + 360, 360), o.heading, 1e-9);
    const double elevation = std::atan2(o.altitude - pivot[2], std::hypot(o.east - pivot[0], o.north - pivot[1])) * 180 / M_PI;
    EXPECT_GE(elevation, 2 - 1e-9);
    EXPECT_LE(elevation, 85 + 1e-9);
  }
  // A quarter of the view's width to the right: the ground follows the
  // pointer, the heading turns left by a quarter of the field of view.
  const AirGestureView v = {W, H, options};
  const AirCamera looked = air_look_drag(start, v, W / 4, 30);
  EXPECT_NEAR(360 - 75.0 / 4, looked.heading, 1e-9);
  EXPECT_NEAR(30 * 75.0 / W, looked.pitch, 1e-9);
  // A second held to the right, another held up, at their rates.
  int held[AIR_HELD_KEYS] = {};
  held[AIR_TURN_RIGHT] = held[AIR_CLIMB] = 1;
  AirCamera flown = start;
  fly_held_keys(flown, options, held, 0, 1.0);
  const AirRates rates = air_rates(AIR_START_HEIGHT, 0);
  EXPECT_NEAR(rates.turn, flown.heading, 1e-9);
  EXPECT_NEAR(start.altitude + rates.climb, flown.altitude, 1e-6);
  EXPECT_EQ(start.east, flown.east);
}

}  // namespace
