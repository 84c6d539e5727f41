// Lands against a plain model written here: random lands files (some
// corner combinations without a texture), random maps, random land fills,
// floods and strokes. After each the grid holds exactly the painted lands,
// tiles whose corners did not change keep every byte, retiled tiles show
// their corners where some texture does, and undo and redo walk between
// the exact states of tiles and grid. Then the lands file's faults and the
// check's lines.
#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/land_table.h"
#include "edit/edit_history.h"
#include "edit/land_edits.h"
#include "edit/land_grid.h"
#include "files/land_file.h"
#include "document/new_terrain.h"
#include "files/tile_map_file.h"
#include "inspect/terrain_check.h"
#include "tests/unit/harness.h"

namespace {

enum { TEXTURES = 24 };

struct Model {
  int columns, rows;
  int corners[TEXTURES + 1][4];  // 0: no corners
  int weight[TEXTURES + 1];
  std::vector<Tile> tiles;        // [x * rows + y]
  std::vector<int> grid;          // [x * (rows + 1) + y]
  Tile &tile(int x, int y) { return tiles[(size_t)x * rows + y]; }
  int &point(int x, int y) { return grid[(size_t)x * (rows + 1) + y]; }
  // Tile corner (i + r) mod 4 is texture corner i.
  int said(const Tile &t, int corner) const {
    if (t.texture < 0 || t.texture > TEXTURES || !corners[t.texture][0]) return 0;
    return corners[t.texture][(corner - (t.rotation & 3) + 4) % 4];
  }
  void read_grid() {
    grid.assign((size_t)(columns + 1) * (rows + 1), 0);
    for (int x = 0; x <= columns; x++)
      for (int y = 0; y <= rows; y++) {
        int count[MAX_LANDS] = {};
        const int around[4][3] = {{x - 1, y - 1, 2}, {x, y - 1, 3}, {x - 1, y, 1}, {x, y, 0}};
        for (const auto &a : around)
          if (a[0] >= 0 && a[1] >= 0 && a[0] < columns && a[1] < rows) count[said(tile(a[0], a[1]), a[2])]++;
        int best = 0;
        for (int land = 1; land < MAX_LANDS; land++)
          if (count[land] > count[best] || (best == 0 && count[land] > 0)) best = land;
        point(x, y) = best;
      }
  }
  int want(int x, int y, int corner) {
    const int d[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    return point(x + d[corner][0], y + d[corner][1]);
  }
  // The most corners any (texture, rotation) of weight above 0 matches.
  int best_match(int x, int y) {
    int best = 0;
    for (int t = 1; t <= TEXTURES; t++)
      for (int r = 0; r < 4 && corners[t][0] && weight[t] > 0; r++) {
        const Tile probe = {(int16_t)t, (uint8_t)r, 0, {}};
        int n = 0;
        for (int i = 0; i < 4; i++) n += said(probe, i) == want(x, y, i);
        best = std::max(best, n);
      }
    return best;
  }
};

bool same(const Tile &a, const Tile &b) { return memcmp(&a, &b, sizeof(Tile)) == 0; }

std::string lands_text(Model &m, std::mt19937 &r, int land_count) {
  static const char *const names[] = {"Water", "Grass", "Sand", "Rock", "Snow"};
  std::string text;
  for (int n = 1; n <= land_count; n++)
    text += "[Land00" + std::to_string(n) + "]\nName=" + names[n - 1] + "\nColor=" + std::to_string(n * 40) + ",1,2\n";
  for (int t = 1; t <= TEXTURES; t++) {
    m.corners[t][0] = 0;
    m.weight[t] = 0;
    if (r() % 5 == 0) continue;  // no Corners: the tile says nothing
    text += "[Texture0" + std::to_string(10 + t) + "]\nCorners=";
    for (int i = 0; i < 4; i++) {
      m.corners[t][i] = 1 + (int)(r() % land_count);
      text += std::string(i ? ", " : "") + names[m.corners[t][i] - 1];
    }
    m.weight[t] = (int)(r() % 4);
    text += "\nWeight=" + std::to_string(m.weight[t]) + "\n";
  }
  return text;
}

TEST(Lands, EditsAgainstAPlainModel) {
  std::mt19937 r(7);
  for (int round = 0; round < 12; round++) {
    reset_program_state();
    history_clear();
    Model m;
    m.columns = 3 + (int)(r() % 14);
    m.rows = 3 + (int)(r() % 11);
    tile_map.tiles_x = m.columns;
    tile_map.tiles_y = m.rows;
    // Texture numbers in the file are 10 above the model's.
    const std::string text = lands_text(m, r, 2 + (int)(r() % 3));
    ASSERT_EQ(RESULT_OK, read_land_text(text.data(), (long)text.size()));
    m.corners[0][0] = 0;
    m.weight[0] = 0;
    m.tiles.clear();
    for (int x = 0; x < m.columns; x++)
      for (int y = 0; y < m.rows; y++) {
        const int t = (int)(r() % (TEXTURES + 1));
        Tile tile = {(int16_t)(t ? t + 10 : 0), (uint8_t)(r() % 8), (uint8_t)r(), {(uint8_t)r(), (uint8_t)r(), 3}};
        tile_at(x, y) = tile;
        tile.texture = (int16_t)t;
        m.tiles.push_back(tile);
      }
    auto model_tile = [&](int x, int y) {
      Tile t = tile_at(x, y);
      t.texture = (int16_t)(t.texture ? t.texture - 10 : 0);
      return t;
    };
    read_land_grid();
    m.read_grid();
    auto grid_is = [&](const std::vector<int> &g) {
      for (int x = 0; x <= m.columns; x++)
        for (int y = 0; y <= m.rows; y++)
          if (land_point(x, y) != g[(size_t)x * (m.rows + 1) + y]) return false;
      return true;
    };
    ASSERT_TRUE(grid_is(m.grid)) << "round " << round;

    for (int op = 0; op < 10; op++) {
      const int land = 1 + (int)(r() % lands.land_count);
      const std::vector<int> grid_before = m.grid;
      const std::vector<Tile> tiles_before = m.tiles;
      const int kind = (int)(r() % 3);
      LandResult result;
      const int x0 = (int)(r() % m.columns), y0 = (int)(r() % m.rows);
      const TileRect rect = {std::min(x0, (int)(r() % m.columns)), std::min(y0, (int)(r() % m.rows)),
                             std::max(x0, (int)(r() % m.columns)), std::max(y0, (int)(r() % m.rows))};
      if (kind == 0) {
        result = land_fill(land, rect);
        for (int x = rect.left; x <= rect.right + 1; x++)
          for (int y = rect.top; y <= rect.bottom + 1; y++) m.point(x, y) = land;
      } else if (kind == 1) {
        const bool within = r() % 2;
        const int px = within ? rect.left : (int)(r() % (m.columns + 1)), py = within ? rect.bottom : (int)(r() % (m.rows + 1));
        result = land_flood(land, px, py, within ? &rect : nullptr);
        const int from = m.point(px, py);
        std::vector<std::pair<int, int>> todo = {{px, py}};
        while (from != land && !todo.empty()) {
          const auto [x, y] = todo.back();
          todo.pop_back();
          const bool inside = within ? x >= rect.left && x <= rect.right + 1 && y >= rect.top && y <= rect.bottom + 1
                                     : x >= 0 && x <= m.columns && y >= 0 && y <= m.rows;
          if (!inside || m.point(x, y) != from) continue;
          m.point(x, y) = land;
          todo.insert(todo.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
        }
      } else {
        land_stroke_begin(land);
        int x = x0, y = y0;
        for (int line = 0; line < 3; line++) {
          const int nx = (int)(r() % m.columns), ny = (int)(r() % m.rows), size = 1 + (int)(r() % 4);
          land_stroke_line(x, y, nx, ny, size);
          // The brush's squares on every tile of the line, as the paint brush goes.
          const int dx = std::abs(nx - x), dy = -std::abs(ny - y), sx = x < nx ? 1 : -1, sy = y < ny ? 1 : -1;
          for (int error = dx + dy;;) {
            for (int px = x - (size - 1) / 2; px <= x + size / 2 + 1; px++)
              for (int py = y - (size - 1) / 2; py <= y + size / 2 + 1; py++)
                if (px >= 0 && py >= 0 && px <= m.columns && py <= m.rows) m.point(px, py) = land;
            if (x == nx && y == ny) break;
            const int e2 = 2 * error;
            if (e2 >= dy) error += dy, x += sx;
            if (e2 <= dx) error += dx, y += sy;
          }
        }
        result = land_stroke_end();
      }
      ASSERT_TRUE(grid_is(m.grid)) << "round " << round << " op " << op << " kind " << kind;

      // Tiles: unchanged unless a corner changed; retiled ones show their
      // corners when some texture does, else as many as any texture can.
      long long changed = 0, missing = 0;
      for (int x = 0; x < m.columns; x++)
        for (int y = 0; y < m.rows; y++) {
          const Tile now = model_tile(x, y), &was = m.tile(x, y);
          bool corner_changed = false, known = true;
          for (int i = 0; i < 4; i++) {
            const int dx = i == 1 || i == 2, dy = i >= 2;
            corner_changed |= grid_before[(size_t)(x + dx) * (m.rows + 1) + y + dy] != m.want(x, y, i);
            known &= m.want(x, y, i) != 0;
          }
          ASSERT_TRUE(now.tag == was.tag && memcmp(now.extra, was.extra, 3) == 0);
          if (!corner_changed || !known) {
            ASSERT_TRUE(same(now, was)) << x << "," << y;
            continue;
          }
          int shown = 0;
          for (int i = 0; i < 4; i++) shown += m.said(now, i) == m.want(x, y, i);
          const bool was_shown = m.weight[was.texture] > 0 && m.said(was, 0) == m.want(x, y, 0) &&
                                 m.said(was, 1) == m.want(x, y, 1) && m.said(was, 2) == m.want(x, y, 2) &&
                                 m.said(was, 3) == m.want(x, y, 3);
          const int best = m.best_match(x, y);
          ASSERT_TRUE(!was_shown || same(now, was));
          ASSERT_TRUE(best == 0 || best == shown) << x << "," << y;
          ASSERT_TRUE(best < 4 || m.weight[now.texture] > 0);
          missing += best < 4;
          changed += now.texture != was.texture || now.rotation != was.rotation;
        }
      EXPECT_EQ(changed, result.tiles_changed);
      EXPECT_EQ(missing, result.missing);

      // Undo restores both, byte for byte; redo the state after.
      std::vector<Tile> after;
      for (int x = 0; x < m.columns; x++)
        for (int y = 0; y < m.rows; y++) after.push_back(model_tile(x, y));
      if (result.stepped) {
        int ux, uy;
        char text[HISTORY_TEXT_SIZE];
        ASSERT_EQ(0, history_undo(&ux, &uy, text, sizeof(text)));
        EXPECT_EQ(0, strncmp(text, "land ", 5)) << text;
        ASSERT_TRUE(grid_is(grid_before));
        for (int x = 0; x < m.columns; x++)
          for (int y = 0; y < m.rows; y++) ASSERT_TRUE(same(model_tile(x, y), tiles_before[(size_t)x * m.rows + y]));
        ASSERT_EQ(0, history_redo(&ux, &uy, text, sizeof(text)));
        ASSERT_TRUE(grid_is(m.grid));
      } else {
        EXPECT_TRUE(grid_before == m.grid);
      }
      m.tiles = after;
    }
  }
  reset_program_state();
}

// Each fault of the lands file: one problem naming its section and line;
// the section is left out, the rest is read.
TEST(Lands, EachFaultOfTheFileIsOneLineAndItsSectionIsLeftOut) {
  const std::string good = "[Land001]\nName=Water\nColor=40,90,170\n[Land002]\nName=Grass\nColor=90,160,60\n";
  struct Case {
    std::string text, problem;
  } cases[] = {
      {"[Land003]\nName=water\nColor=1,2,3\n", "[Land003], line 8: the Name water is land 1's already"},
      {"[Land003]\nName=Sand\nColor=40,90,170\n", "[Land003], line 9: Color 40,90,170 is land 1's already"},
      {"[Land003]\nName=Sand\nName=Dune\nColor=1,2,3\n", "[Land003], line 9: Name is given twice"},
      {"[Land003]\nColor=1,2,3\nColor=1,2,4\nName=Sand\n", "[Land003], line 9: Color is given twice"},
      {"[Land003]\nName=Sand\nColor=1,2,300\n", "[Land003], line 9: Color 1,2,300 is not three numbers from 0 to 255 (r,g,b)"},
      {"[Land003]\nName=Sand\n", "[Land003], line 7: no Color"},
      {"[Land256]\nName=Sand\nColor=1,2,3\n", "[Land256], line 7: land numbers run from 001 to 255"},
      {"[Land003]\nName=" + std::string(64, 'x') + "\nColor=1,2,3\n", "[Land003], line 8: the Name is longer than 63 characters"},
      {"[Land001]\nName=Sand\nColor=1,2,3\n", "[Land001], line 7: the section is given twice"},
      {"[Texture007]\nCorners=Water,Water,Sand,Grass\n", "[Texture007], line 8: Corners names Sand, which is no land"},
      {"[Texture007]\nCorners=Water,Water,Grass\n", "[Texture007], line 8: Corners lists 3 names, not four"},
      {"[Texture007]\nWeight=2\n", "[Texture007], line 7: no Corners"},
      {"[Texture007]\nCorners=Water,Water,Grass,Grass\nWeight=-1\n", "[Texture007], line 9: Weight -1 is not a whole number from 0 to 1000000"},
      {"[Texture512]\nCorners=Water,Water,Grass,Grass\n", "[Texture512], line 7: texture numbers run from 001 to 511"},
  };
  for (const Case &c : cases) {
    const std::string text = good + c.text + "[Texture009]\nCorners=Water, grass, Grass, WATER\n";
    EXPECT_EQ(RESULT_BAD_DATA, read_land_text(text.data(), (long)text.size())) << c.text;
    ASSERT_EQ(1u, lands.problems.size()) << c.text;
    EXPECT_EQ(c.problem, lands.problems[0].what);
    // The good sections still count, and the faulty one is left out.
    EXPECT_EQ(land_corners(1, 2, 2, 1), lands.corners[9]);
    EXPECT_EQ(2, lands.land_count) << c.text;
    EXPECT_EQ(0u, lands.corners[7]);
  }
  const std::string text = good + "[Texture007]\nCorners=Water,Water,Grass,Grass\nWeight=0\n";
  EXPECT_EQ(RESULT_OK, read_land_text(text.data(), (long)text.size()));
  uint32_t count;
  uint64_t total;
  // Weight 0: understood when reading a map, never chosen.
  EXPECT_EQ(land_corners(2, 1, 1, 2), lands.turned[4 * 7 + 1]);
  EXPECT_EQ(nullptr, land_candidates(lands.corners[7], &count, &total));
  clear_land_table();
}

void keep_line(void *lines, const char *text) { ((std::vector<std::string> *)lines)->push_back(text); }

// The check: the file's problems, an edge the two tiles tell apart, a
// texture without corners and corners no texture has, in the strip's places.
TEST(Lands, TheCheckNamesTheFileTheEdgesAndTheMissingCorners) {
  TempDir dir;
  reset_program_state();
  NewTerrainFailure failure;
  const NewTerrain terrain = {3, 2, 1, 0, nullptr, 0};
  ASSERT_EQ(NEW_TERRAIN_WRITTEN, write_new_terrain("T.TFD", terrain, &failure));
  ASSERT_EQ(RESULT_OK, load_tile_map("T.TFD", nullptr));
  // Row 0 (north): Water Water | Grass; row 1: texture 3 (no corners).
  tile_at(0, 0) = {1, 0, 0, {}};
  tile_at(1, 0) = {1, 0, 0, {}};
  tile_at(2, 0) = {2, 0, 0, {}};
  for (int x = 0; x < 3; x++) tile_at(x, 1) = {3, 0, 0, {}};
  ASSERT_EQ(RESULT_OK, save_tile_map("T.TFD"));
  write_text("T_LANDS.ini",
             "[Land001]\nName=Water\nColor=0,0,255\n[Land002]\nName=Grass\nColor=0,255,0\n[Land003]\nName=x\n"
             "[Texture001]\nCorners=Water,Water,Water,Water\n[Texture002]\nCorners=Grass,Grass,Grass,Grass\n");
  reset_program_state();
  strcpy(terrain_paths.tfd_path, "T.TFD");
  std::vector<std::string> lines, notes;
  const CheckOutput output = {keep_line, keep_line, &notes};
  CheckOutput only_problems = output;
  only_problems.context = &lines;
  only_problems.note = nullptr;
  int count = 0;
  EXPECT_EQ(CHECK_PROBLEMS, check_terrain(only_problems, &count));
  std::vector<std::string> about_lands;
  for (const std::string &line : lines)
    if (line.find("LANDS") != std::string::npos || line.find("edge") != std::string::npos) about_lands.push_back(line);
  EXPECT_EQ((std::vector<std::string>{
                "T_LANDS.ini: [Land003], line 7: no Color",
                "T.TFD: 1, 1: east edge Water, Water against Grass, Grass of 2, 1",
                "T_LANDS.ini: texture 3 has no Corners, but 3 tiles use it (first tile 0, 0)",
                "T_LANDS.ini: no texture has the corners Water, Grass, Grass, Water, which 1 tile needs (first tile 2, 1)",
            }),
            about_lands);
  release_textures();
  reset_program_state();
}

}  // namespace
