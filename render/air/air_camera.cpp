#include "render/air/air_camera.h"

#include <algorithm>
#include <cmath>

#include "core/terrain_model.h"
#include "render/air/air_ground.h"

namespace {

double within(double v, double low, double high, double otherwise) {
  if (!std::isfinite(v)) return otherwise;
  return v < low ? low : (v > high ? high : v);
}

double radians(double degrees) { return degrees * M_PI / 180.0; }
double degrees(double radians) { return radians * 180.0 / M_PI; }

}  // namespace

AirOptions air_options_within_limits(const AirOptions &o) {
  const AirOptions defaults;
  AirOptions out;
  out.fov_degrees = within(o.fov_degrees, AIR_FOV_MIN, AIR_FOV_MAX, defaults.fov_degrees);
  out.exaggeration = within(o.exaggeration, AIR_EXAGGERATION_MIN, AIR_EXAGGERATION_MAX, defaults.exaggeration);
  out.distance_km = within(o.distance_km, AIR_DISTANCE_MIN_KM, AIR_DISTANCE_MAX_KM, defaults.distance_km);
  out.haze = o.haze != 0;
  return out;
}

double air_ground_height(double east, double north, double exaggeration) {
  AirGround g;
  prepare_air_heights(g, exaggeration);
  const double sx = sample_x_of(east), sy = sample_y_of(north, g.tiles_y);
  GroundPlace p;
  if (!ground_on_terrain(g, sx, sy) || !ground_place_on(g, sx, sy, &p)) return 0;
  return ground_height(g, p, ground_tile(g, p));
}

AirCamera air_start_camera(int tile_x, int tile_y, const AirOptions &options) {
  AirCamera c;
  c.east = 2000.0 * tile_x + 1000;
  c.north = 2000.0 * (map_rows() - tile_y) - 1000;
  c.altitude = air_ground_height(c.east, c.north, options.exaggeration) + AIR_START_HEIGHT;
  air_settle_camera(c, options);
  return c;
}

void air_camera_tile(const AirCamera &c, int *x, int *y) {
  const double tx = std::floor(c.east / 2000.0), ty = std::floor(map_rows() - c.north / 2000.0);
  *x = (int)within(tx, 0, std::max(map_columns() - 1, 0), 0);
  *y = (int)within(ty, 0, std::max(map_rows() - 1, 0), 0);
}

void air_settle_camera(AirCamera &c, const AirOptions &options) {
  // Far enough to see the whole terrain from outside it, near enough for
  // every product of metres to stay exact.
  const double reach = 2000.0 * std::max(map_columns(), map_rows()) + 1000.0 * AIR_DISTANCE_MAX_KM;
  c.east = within(c.east, -reach, reach, 0);
  c.north = within(c.north, -reach, reach, 0);
  c.heading = std::fmod(within(c.heading, -1e6, 1e6, 0), 360.0);
  if (c.heading < 0) c.heading += 360.0;
  c.pitch = within(c.pitch, -AIR_PITCH_MAX, AIR_PITCH_MAX, 0);
  const double floor = air_ground_height(c.east, c.north, options.exaggeration) + AIR_CLEARANCE;
  c.altitude = within(c.altitude, floor, std::max(floor, AIR_ALTITUDE_MAX), floor);
}

void air_fly(AirCamera &c, const AirOptions &options, double forward, double right, double up) {
  const double h = radians(c.heading);
  c.east += forward * std::sin(h) + right * std::cos(h);
  c.north += forward * std::cos(h) - right * std::sin(h);
  c.altitude += up;
  air_settle_camera(c, options);
}

void air_orbit(AirCamera &c, const AirOptions &options, double pe, double pn, double ph, double turn,
               double rise) {
  const double de = c.east - pe, dn = c.north - pn, dh = c.altitude - ph;
  const double flat = std::hypot(de, dn), distance = std::hypot(flat, dh);
  if (!(distance > 1)) return;
  const double elevation = within(degrees(std::atan2(dh, flat)) + rise, 2, 85, 2);
  // Bearing from the pivot to the camera, clockwise from north.
  const double bearing = (flat > 0.5 ? degrees(std::atan2(de, dn)) : c.heading + 180) + turn;
  const double e = radians(elevation), b = radians(bearing);
  const double raised = degrees(std::atan2(dh, flat));
  c.east = pe + distance * std::cos(e) * std::sin(b);
  c.north = pn + distance * std::cos(e) * std::cos(b);
  c.altitude = ph + distance * std::sin(e);
  c.heading += turn;
  c.pitch -= elevation - raised;
  air_settle_camera(c, options);
}

AirProjection air_projection(const AirCamera &c, const AirOptions &options, int width, int height) {
  AirProjection p;
  p.width = width;
  p.height = height;
  const double fov = within(options.fov_degrees, AIR_FOV_MIN, AIR_FOV_MAX, 75);
  p.focal = (width / 2.0) / std::tan(radians(fov) / 2);
  p.horizon_row = height / 2.0 + p.focal * std::tan(radians(within(c.pitch, -AIR_PITCH_MAX, AIR_PITCH_MAX, 0)));
  const double h = radians(c.heading);
  p.forward_east = std::sin(h);
  p.forward_north = std::cos(h);
  p.right_east = std::cos(h);
  p.right_north = -std::sin(h);
  return p;
}

void air_column_direction(const AirProjection &p, int column, double *east, double *north) {
  const double t = (column + 0.5 - p.width / 2.0) / p.focal;
  *east = p.forward_east + t * p.right_east;
  *north = p.forward_north + t * p.right_north;
}
