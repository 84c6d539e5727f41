// The camera of the view from the air, the settings that shape its picture
// and the pinhole projection every part of the view follows: where a pixel
// column looks, at which row a point appears.
#pragma once

// The [View3D] settings, in the units the settings file gives them.
struct AirOptions {
  double fov_degrees = 75;   // horizontal field of view
  double exaggeration = 1;   // heights drawn this many times as high
  double distance_km = 150;  // the ground is drawn this far from the camera
  int haze = 1;              // 0: none
};

enum {
  AIR_FOV_MIN = 20,
  AIR_FOV_MAX = 120,
  AIR_DISTANCE_MIN_KM = 1,
  AIR_DISTANCE_MAX_KM = 12000,  // more than a 4000 x 4000 terrain's diagonal
  AIR_PITCH_MAX = 60,           // degrees up or down
  AIR_START_HEIGHT = 1000,      // metres above the ground where the view opens
  AIR_CLEARANCE = 5,            // metres the camera keeps above the ground
};
const double AIR_EXAGGERATION_MIN = 0.1, AIR_EXAGGERATION_MAX = 20;
const double AIR_ALTITUDE_MAX = 100000;

// The options within their limits; a value that is no number takes its default.
AirOptions air_options_within_limits(const AirOptions &options);

struct AirCamera {
  double east = 0, north = 0;  // metres from the terrain's south-west corner
  double altitude = 0;         // metres above sea
  double heading = 0;          // degrees clockwise from north
  double pitch = 0;            // degrees above the horizontal
};

// The ground as the view draws it, in metres above sea: the height samples
// (each at the centre of its 500 m cell) interpolated between them and
// exaggerated, water tiles flat at sea level, 0 beyond the terrain's edges.
double air_ground_height(double east, double north, double exaggeration);

// Level, looking north, over the centre of tile (x, y) (rows from the north
// edge), AIR_START_HEIGHT above the ground there.
AirCamera air_start_camera(int tile_x, int tile_y, const AirOptions &options);

// The tile under the camera, the nearest tile of the map when it is off it.
void air_camera_tile(const AirCamera &camera, int *tile_x, int *tile_y);

// Heading within 0..360, pitch within AIR_PITCH_MAX, the place within reach
// of the terrain and the camera AIR_CLEARANCE above the ground or more.
void air_settle_camera(AirCamera &camera, const AirOptions &options);

// Moves forward and to the right along the ground (metres, by the heading)
// and up, then settles.
void air_fly(AirCamera &camera, const AirOptions &options, double forward, double right, double up);

// Turns the camera about the vertical through a pivot by turn degrees
// (clockwise seen from above, the heading with it) and raises it about the
// pivot by rise degrees (the pitch going down as much), at the same
// distance; the angle above the pivot stays within 2..85 degrees.
void air_orbit(AirCamera &camera, const AirOptions &options, double pivot_east, double pivot_north,
               double pivot_height, double turn, double rise);

// The pinhole of a view width x height pixels. Column c looks along the
// heading turned by atan((c + 0.5 - width / 2) / focal); a point d metres
// ahead and h metres above the camera lies h / d * focal rows above
// horizon_row, which is the middle row at pitch 0 and moves down by focal *
// tan(pitch) as the camera looks up.
struct AirProjection {
  int width, height;
  double focal;        // (width / 2) / tan(fov / 2): pixels are square
  double horizon_row;  // continuous: row r covers r .. r + 1
  double forward_east, forward_north;  // the heading as a unit vector
  double right_east, right_north;      // a quarter turn clockwise from it
};
AirProjection air_projection(const AirCamera &camera, const AirOptions &options, int width, int height);

// The ground's direction of column c, per metre ahead: east and north.
void air_column_direction(const AirProjection &p, int column, double *east, double *north);
