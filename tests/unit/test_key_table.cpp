// The key table against the two places a user reads about the keys: the
// README's key table and the manual's key list.
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/key_table.h"
#include "tests/unit/harness.h"

namespace {

// How each document names a key.
struct KeyName {
  int key;
  const char *readme;
  const char *manual;
};
const KeyName KEY_NAMES[] = {
    {KEY_LEFT, "Arrow keys", "Arrow keys"},     {KEY_4_PAD, "keypad 4", "4, 6, 8 and 2 on the keypad"},
    {KEY_RIGHT, "Arrow keys", "Arrow keys"},    {KEY_6_PAD, "keypad 4/6/8/2", "4, 6, 8 and 2 on the keypad"},
    {KEY_UP, "Arrow keys", "Arrow keys"},       {KEY_8_PAD, "keypad 4/6/8/2", "4, 6, 8 and 2 on the keypad"},
    {KEY_DOWN, "Arrow keys", "Arrow keys"},     {KEY_2_PAD, "keypad 4/6/8/2", "4, 6, 8 and 2 on the keypad"},
    {KEY_PGUP, "Page Up", "Page Up"},           {KEY_PGDN, "Page Down", "Page Down"},
    {KEY_R, "`R`", "R -"},                      {KEY_T, "`T`", "T -"},
    {KEY_C, "`C`", "C -"},                      {KEY_V, "`V`", "V -"},
    {KEY_B, "`B`", "B -"},                      {KEY_D, "`D`", "D -"},
    {KEY_F, "`F`", "F -"},                      {KEY_M, "`M`", "M -"},
    {KEY_I, "`I`", "I -"},                      {KEY_TAB, "Tab", "Tab"},
    {KEY_F5, "F5", "F5"},                       {KEY_F6, "F6", "F6"},
    {KEY_F7, "F7", "F7"},                       {KEY_F8, "F8", "F8"},
    {KEY_F9, "F9", "F9"},                       {KEY_F10, "F10", "F10"},
    {KEY_ESC, "Esc", "Esc"},                    {KEY_F1, "F1", "F1"},
    {KEY_EQUALS, "`=`", "= or + on the keypad"}, {KEY_PLUS_PAD, "keypad `+`", "+ on the keypad"},
    {KEY_MINUS, "`-`", "- or - on the keypad"}, {KEY_MINUS_PAD, "keypad `-`", "- on the keypad"},
    {KEY_PRTSCR, "Print Screen", "Print Screen"}, {KEY_LSHIFT, "Left Shift", "Left Shift"},
    {KEY_S, "`S`", "S -"},                      {KEY_Z, "`Z`", "Z -"},
    {KEY_Y, "`Y`", "Y -"},                      {KEY_A, "`A`", "A -"},
    {KEY_P, "`P`", "P -"},                      {KEY_CLOSEBRACE, "`]`", "] -"},
    {KEY_OPENBRACE, "`[`", "[ -"},              {KEY_L, "`L`", "L -"},
    {KEY_H, "`H`", "H -"},                      {KEY_G, "`G`", "G -"},
    {KEY_O, "`O`", "O -"},                      {KEY_X, "`X`", "X -"},
    {KEY_N, "`N`", "N -"},                      {KEY_E, "`E`", "E -"},
    {KEY_ENTER, "Return", "Return -"},          {KEY_DEL, "Delete", "Delete -"},
    {KEY_INSERT, "Insert", "Insert -"},         {KEY_F12, "F12", "F12"},
    {KEY_F3, "F3", "F3"},
    {KEY_K, "`K`", "K -"},                      {KEY_1, "`1`", "1 to 6 -"},
    {KEY_2, "`2`", "1 to 6 -"},                 {KEY_3, "`3`", "1 to 6 -"},
    {KEY_4, "`4`", "1 to 6 -"},                 {KEY_5, "`5`", "1 to 6 -"},
    {KEY_6, "`6`", "1 to 6 -"},                 {KEY_QUOTE, "`'`", "' -"},
    {KEY_COLON, "`;`", "; -"},                  {KEY_W, "`W`", "W -"},
};

// How the documents write a row's modifier: the words a key cell or line
// holds exactly when the row has that modifier.
bool with_ctrl(int modifier) { return modifier == MODIFIER_CTRL || modifier == MODIFIER_CTRL_SHIFT; }
bool with_shift(int modifier) { return modifier == KEY_LSHIFT || modifier == MODIFIER_CTRL_SHIFT; }

std::string manual_prefix(int modifier) {
  switch (modifier) {
    case KEY_LSHIFT: return "Left Shift + ";
    case MODIFIER_CTRL: return "Ctrl + ";
    case MODIFIER_CTRL_SHIFT: return "Ctrl + Shift + ";
    default: return "";
  }
}

// The pointer's rows in the README and lines in the manual stand for no key.
bool about_the_mouse(const std::string &text) {
  return text.find("click") != std::string::npos || text.find("wheel") != std::string::npos ||
         text.find("pointer") != std::string::npos;
}

const KeyName *name_of(int key) {
  for (const KeyName &n : KEY_NAMES)
    if (n.key == key) return &n;
  return nullptr;
}

// What the documents say for each condition and need, lower case.
std::string readme_when(const KeyRow &row) {
  switch (row.condition) {
    case WHEN_TILE_EDITING: return "texture display";
    case WHEN_HEIGHT_EDITING: return "height display, level 4 or closer";
    case WHEN_EDIT_ZOOM: return "level 4 or closer";
    case WHEN_TARGETS_ENABLED: return "target areas are enabled";
    case WHEN_PICKING_SAMPLES: return "height display at the closest zoom";
    case WHEN_SELECTION_TILES: return "with a selection, texture display";
    case WHEN_TEXTURE_DISPLAY: return "texture display, any zoom";
    case WHEN_BRUSH: return "in paint or land mode";
    case WHEN_LANDS: return "in land mode, texture display";
    case WHEN_SELECTION_HEIGHTS: return "with a selection, height display";
    case WHEN_HEIGHT_DISPLAY: return "height display, any zoom";
    case WHEN_HEIGHT_AREA: return "height display, a selection or level 4 or closer";
    case WHEN_OVERVIEW: return "on the overview";
    case WHEN_TARGET_MODE: return "in target mode";
    case WHEN_SCULPT: return "in sculpt mode";
    default: break;
  }
  switch (row.need) {
    case NEED_HEIGHTS: return "height map";
    case NEED_DECLARED_TEXTURES: return "textures are declared";
    default: return "always";
  }
}

std::string manual_when(const KeyRow &row) {
  switch (row.condition) {
    case WHEN_TILE_EDITING: return "tile editing.";
    case WHEN_HEIGHT_EDITING: return "height editing.";
    case WHEN_EDIT_ZOOM: return "zoom level 4 or closer";
    case WHEN_TARGETS_ENABLED: return "only when enable_targets is not 0";
    case WHEN_PICKING_SAMPLES: return "height display at zoom level 0";
    case WHEN_NOT_PICKING_SAMPLES: return "in height display at zoom level 0 it selects";
    case WHEN_SELECTION_TILES: return "with a selection, in texture display";
    case WHEN_TEXTURE_DISPLAY: return "texture display at any zoom";
    case WHEN_BRUSH: return "in paint or land mode";
    case WHEN_LANDS: return "in land mode, in texture display";
    case WHEN_SELECTION_HEIGHTS: return "with a selection, in height display";
    case WHEN_HEIGHT_DISPLAY: return "in height display at any zoom";
    case WHEN_HEIGHT_AREA: return "in height display, on a selection or at zoom level 4 or closer";
    case WHEN_OVERVIEW: return "on the overview";
    case WHEN_TARGET_MODE: return "in target mode.";
    case WHEN_SCULPT: return "in sculpt mode.";
    default: break;
  }
  switch (row.need) {
    case NEED_HEIGHTS: return "only with a height map.";
    case NEED_DECLARED_TEXTURES: return "only when the texture list declares a texture.";
    default: return "always";
  }
}

std::string lower(std::string s) {
  for (char &c : s) c = (char)tolower((unsigned char)c);
  return s;
}

// The README's key table as (keys, when) cells.
std::vector<std::pair<std::string, std::string>> readme_rows() {
  const std::string text = source_file("README.md");
  const size_t start = text.find("## Keys");
  std::vector<std::pair<std::string, std::string>> rows;
  std::istringstream lines(text.substr(start, text.find("\n## ", start + 1) - start));
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("| ", 0) != 0 || line.find("---") != std::string::npos) continue;
    std::vector<std::string> cells;
    std::stringstream cellstream(line.substr(1));
    std::string cell;
    while (std::getline(cellstream, cell, '|')) cells.push_back(cell);
    if (cells.size() >= 3 && cells[0] != " Key ") rows.push_back({cells[0], lower(cells[2])});
  }
  return rows;
}

// The manual's key list: one line per key, "<keys> - <what>. <when>."
std::vector<std::string> manual_lines() {
  const std::string text = source_file("resources/Veldkit.htm");
  const size_t start = text.find("<H2>4. Keys</H2>"), end = text.find("<H2>5.", start);
  std::vector<std::string> out;
  std::string part = text.substr(start, end - start), line;
  for (size_t p; (p = part.find("<BR>")) != std::string::npos;) part.replace(p, 4, "\n");
  for (size_t p; (p = part.find("</P>")) != std::string::npos;) part.replace(p, 4, "\n");
  std::istringstream lines(part);
  while (std::getline(lines, line))
    if (line.find(" - ") != std::string::npos) out.push_back(line.substr(line.find('>') + 1));
  return out;
}

TEST(KeyTable, RowsAreWellFormed) {
  int count;
  const KeyRow *rows = key_table(&count);
  ASSERT_EQ(98, count);
  int any_key_rows = 0;
  for (int k = 0; k < count; k++) {
    EXPECT_NE(nullptr, rows[k].action) << k;
    // One row takes any key; every other names at least one.
    any_key_rows += rows[k].keys[0] == 0 && rows[k].keys[1] == 0;
    for (int key : rows[k].keys) {
      if (key) {
        EXPECT_NE(nullptr, name_of(key)) << "row " << k + 1 << " key " << key;
      }
    }
    // A row that marks a map changed also shows the change.
    if (rows[k].marks != MARKS_NOTHING) {
      EXPECT_EQ(1, rows[k].redraw) << k;
    }
  }
  EXPECT_EQ(1, any_key_rows);
}

TEST(KeyTable, EveryRowIsInTheReadme) {
  const auto readme = readme_rows();
  ASSERT_GE(readme.size(), 20u);
  int count;
  const KeyRow *rows = key_table(&count);
  std::vector<bool> used(readme.size());
  for (int k = 0; k < count; k++) {
    const KeyRow &row = rows[k];
    if (row.keys[0] == 0) continue;
    bool found = false;
    for (size_t r = 0; r < readme.size() && !found; r++) {
      const std::string &cell = readme[r].first;
      bool keys = cell.find(name_of(row.keys[0])->readme) != std::string::npos;
      // The README writes the modifiers as "Shift" or "Left Shift", and "Ctrl".
      keys = keys && with_shift(row.modifier) == (cell.find("Shift") != std::string::npos);
      keys = keys && with_ctrl(row.modifier) == (cell.find("Ctrl") != std::string::npos);
      if (keys && readme[r].second.find(readme_when(row)) != std::string::npos) found = used[r] = true;
    }
    EXPECT_TRUE(found) << "row " << k + 1 << ": " << name_of(row.keys[0])->readme << ", "
                       << readme_when(row);
  }
  int mouse_rows = 0;
  for (size_t r = 0; r < readme.size(); r++) {
    if (about_the_mouse(readme[r].first)) {
      mouse_rows++;
      continue;
    }
    EXPECT_TRUE(used[r]) << readme[r].first;
  }
  // click, drag, wheel, overview click, ruler, right drag, right click, Ctrl + click, paint, paint heights,
  // paint lands, flood lands, sculpt, Shift + click and Shift + wheel in sculpt mode
  EXPECT_EQ(15, mouse_rows);
}

TEST(KeyTable, EveryRowIsInTheManual) {
  const auto manual = manual_lines();
  ASSERT_GE(manual.size(), 25u);
  int count;
  const KeyRow *rows = key_table(&count);
  for (int k = 0; k < count; k++) {
    const KeyRow &row = rows[k];
    if (row.keys[0] == 0) continue;
    bool found = false;
    for (int key : row.keys) {
      if (!key) continue;
      const std::string name = name_of(key)->manual;
      const std::string prefix = manual_prefix(row.modifier);
      for (const std::string &line : manual) {
        const bool modified = line.rfind("Left Shift", 0) == 0 || line.rfind("Ctrl", 0) == 0;
        const bool keys = line.find(name) != std::string::npos &&
                          (row.modifier ? line.rfind(prefix + name, 0) == 0 : !modified);
        if (keys && lower(line).find(manual_when(row)) != std::string::npos) found = true;
      }
    }
    EXPECT_TRUE(found) << "row " << k + 1 << ": " << name_of(row.keys[0])->manual << ", "
                       << manual_when(row);
  }
  bool any_other = false;
  int mouse_lines = 0;
  for (const std::string &line : manual) {
    any_other |= line.rfind("Any other key", 0) == 0;
    mouse_lines += about_the_mouse(line.substr(0, line.find(" - ")));
  }
  EXPECT_TRUE(any_other);
  EXPECT_EQ(15, mouse_lines);  // as the README's
}

}  // namespace
