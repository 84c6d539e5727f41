#include "render/export/briefing_grid.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

const int PREFERRED_CELLS_KM[] = {5, 10, 20, 25, 50, 100};
const int MORE_CELLS_KM[] = {1, 2, 200, 250, 500, 1000, 2000, 2500, 5000, 10000};
const int CELLS_FEWEST = 6, CELLS_MOST = 14;

// How far a count lies outside 6 .. 14.
int distance_from_range(int cells) {
  return cells < CELLS_FEWEST ? CELLS_FEWEST - cells : (cells > CELLS_MOST ? cells - CELLS_MOST : 0);
}

}  // namespace

int briefing_cells(double side_km, int cell_km) {
  if (!(side_km > 0) || cell_km <= 0) return 0;
  // A whisker of a cell left over from rounding is no cell.
  return (int)std::ceil(side_km / cell_km - 1e-9);
}

int briefing_cell_km(double longer_km) {
  for (int km : PREFERRED_CELLS_KM)
    if (distance_from_range(briefing_cells(longer_km, km)) == 0) return km;
  // Outside what the preferred sizes cover: the nearest count, the
  // smaller cell on a tie.
  int best = 0, best_distance = 0;
  for (int km : MORE_CELLS_KM) {
    const int d = distance_from_range(briefing_cells(longer_km, km));
    if (best == 0 || d < best_distance || (d == best_distance && km < best)) {
      best = km;
      best_distance = d;
    }
  }
  return best;
}

void briefing_column_name(int column, char *out) {
  // Bijective base 26: A..Z, AA..ZZ, AAA ...
  char reversed[BRIEFING_GRID_NAME_SIZE];
  int n = 0;
  long long v = column < 0 ? 0 : (long long)column + 1;
  while (v > 0 && n < BRIEFING_GRID_NAME_SIZE - 1) {
    reversed[n++] = (char)('A' + (v - 1) % 26);
    v = (v - 1) / 26;
  }
  for (int i = 0; i < n; i++) out[i] = reversed[n - 1 - i];
  out[n] = 0;
}

int briefing_grid_square(double east_m, double north_m, double width_m, double height_m, int cell_km,
                         char *out) {
  out[0] = 0;
  if (!(east_m >= 0 && east_m <= width_m && north_m >= 0 && north_m <= height_m) || cell_km <= 0) return 1;
  const double cell = cell_km * 1000.0;
  const int columns = briefing_cells(width_m / 1000.0, cell_km), rows = briefing_cells(height_m / 1000.0, cell_km);
  int column = (int)(east_m / cell), row = (int)((height_m - north_m) / cell);
  // The east and south edges belong to the last cells.
  if (column >= columns) column = columns - 1;
  if (row >= rows) row = rows - 1;
  briefing_column_name(column, out);
  const size_t used = strlen(out);
  snprintf(out + used, BRIEFING_GRID_NAME_SIZE - used, "%d", row + 1);
  return 0;
}

void briefing_runway_designators(int heading, char *out) {
  int h = heading % 360;
  if (h < 0) h += 360;
  int one = (h + 5) / 10 % 36;
  if (one == 0) one = 36;
  int other = (one + 18) % 36;
  if (other == 0) other = 36;
  const int low = one < other ? one : other, high = one < other ? other : one;
  snprintf(out, BRIEFING_GRID_NAME_SIZE, "%02d/%02d", low, high);
}

double briefing_scale_step(double longest, int segments) {
  if (!(longest > 0) || segments <= 0) return 0;
  const double most = longest / segments;
  for (double power = std::pow(10.0, std::floor(std::log10(most))); power >= 0.001; power /= 10)
    for (double mantissa : {5.0, 2.0, 1.0})
      if (mantissa * power <= most * (1 + 1e-12)) return mantissa * power;
  return 0;
}
